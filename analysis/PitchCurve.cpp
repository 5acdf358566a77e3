#include "analysis/PitchCurve.h"

#include "analysis/Logging.h"
#include "platform/AppError.h"
#include "platform/LazyLibrary.h"

#include <QCoreApplication>

#include <aubio/aubio.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <type_traits>

namespace lessora {

namespace {

// Samples are handed to aubio as they are: Debian builds it with single precision.
static_assert(std::is_same_v<smpl_t, float>);

#define AUBIO_FUNCTIONS(F)                                                                         \
    F(new_aubio_pitch)                                                                             \
    F(del_aubio_pitch)                                                                             \
    F(aubio_pitch_do)                                                                              \
    F(aubio_pitch_set_unit)                                                                        \
    F(aubio_pitch_set_silence)                                                                     \
    F(aubio_pitch_get_confidence)                                                                  \
    F(new_fvec)                                                                                    \
    F(del_fvec)                                                                                    \
    F(new_aubio_resampler)                                                                         \
    F(del_aubio_resampler)                                                                         \
    F(aubio_resampler_do)

// aubio, loaded when the first curve is drawn.
struct AubioLibrary : LazyLibrary {
    AUBIO_FUNCTIONS(LESSORA_LAZY_FUNCTION)
    AubioLibrary()
        : LazyLibrary("aubio", 5) {
        AUBIO_FUNCTIONS(LESSORA_LAZY_RESOLVE)
    }
};

const AubioLibrary& aubio() {
    static const AubioLibrary loaded;
    if (!loaded.isLoaded())
        throw AppError(
            QCoreApplication::translate(
                "PitchCurve", "声の高さを調べるためのライブラリ aubio を読み込めません。\r\n%1")
                .arg(loaded.problem()));
    return loaded;
}

// libsamplerate's SRC_LINEAR, as aubio's resampler takes it.
constexpr uint_t kLinearConverter = 4;

// The analysis window: the smallest power of two holding 40 ms, two periods of the lowest
// voice looked for.
uint_t windowFor(int sampleRate) {
    uint_t size = 256;
    while (size < uint_t(sampleRate * 0.04))
        size *= 2;
    return size;
}

double percentile(std::vector<double> sorted, double fraction) {
    // `sorted` is sorted; linear interpolation between the two nearest ranks.
    const double rank = fraction * double(sorted.size() - 1);
    const size_t below = size_t(std::floor(rank));
    const size_t above = std::min(sorted.size() - 1, below + 1);
    return sorted[below] + (sorted[above] - sorted[below]) * (rank - double(below));
}

// Each frame of a voiced stretch takes the median of itself and the two frames on each side in
// the stretch, so that a frame or two that the detector took an octave off do not draw a spike;
// a stretch shorter than 30 ms, more often a click than a syllable, is left out.
std::vector<PitchPoint> smoothed(const std::vector<PitchPoint>& raw) {
    std::vector<PitchPoint> curve;
    curve.reserve(raw.size());
    for (size_t begin = 0; begin < raw.size();) {
        size_t end = begin + 1;
        while (end < raw.size() &&
               raw[end].seconds - raw[end - 1].seconds < 1.5 * kPitchStepSeconds)
            ++end;
        if (end - begin >= 3) {
            for (size_t i = begin; i < end; ++i) {
                double window[5];
                size_t count = 0;
                for (size_t j = std::max(begin, i >= 2 ? i - 2 : 0); j < std::min(end, i + 3); ++j)
                    window[count++] = raw[j].semitones;
                std::nth_element(window, window + count / 2, window + count);
                curve.push_back({raw[i].seconds, window[count / 2]});
            }
        }
        begin = end;
    }
    return curve;
}

} // namespace

double semitonesOf(double hz) {
    return 12 * std::log2(hz / kPitchReferenceHz);
}

double hzOf(double semitones) {
    return kPitchReferenceHz * std::exp2(semitones / 12);
}

std::vector<PitchPoint> pitchCurve(const float* samples, qint64 count, int sampleRate) {
    std::vector<PitchPoint> curve;
    if (count <= 0 || sampleRate <= 0)
        return curve;
    const AubioLibrary& a = aubio();
    const auto deleteVector = [&a](fvec_t* vector) { a.del_fvec(vector); };
    using Vector = std::unique_ptr<fvec_t, decltype(deleteVector)>;
    // A voice's pitch lies far below 6 kHz: a recording at a higher rate is analysed at
    // kPitchAnalysisRate, a quarter of the work at 48 kHz for the same curve. libsamplerate's
    // linear converter (through aubio) is enough for the fundamental and costs little.
    Vector resampled(nullptr, deleteVector);
    int rate = sampleRate;
    if (sampleRate > kPitchAnalysisRate) {
        const double ratio = double(kPitchAnalysisRate) / sampleRate;
        const auto deleteResampler = [&a](aubio_resampler_t* resampler) {
            a.del_aubio_resampler(resampler);
        };
        std::unique_ptr<aubio_resampler_t, decltype(deleteResampler)> resampler(
            a.new_aubio_resampler(smpl_t(ratio), kLinearConverter), deleteResampler);
        resampled.reset(a.new_fvec(uint_t(std::lround(double(count) * ratio))));
        if (resampler && resampled && resampled->length > 0) {
            const fvec_t input{uint_t(count), const_cast<smpl_t*>(samples)};
            a.aubio_resampler_do(resampler.get(), &input, resampled.get());
            samples = resampled->data;
            count = resampled->length;
            rate = kPitchAnalysisRate;
        }
    }
    const uint_t window = windowFor(rate);
    const uint_t hop = uint_t(std::lround(rate * kPitchStepSeconds));
    const auto deletePitch = [&a](aubio_pitch_t* pitch) { a.del_aubio_pitch(pitch); };
    std::unique_ptr<aubio_pitch_t, decltype(deletePitch)> detector(
        a.new_aubio_pitch("yinfast", window, hop, uint_t(rate)), deletePitch);
    Vector input(a.new_fvec(hop), deleteVector);
    Vector output(a.new_fvec(1), deleteVector);
    if (!detector || !input || !output)
        throw AppError(QCoreApplication::translate(
                           "PitchCurve", "声の高さを調べられません(aubio が %1 Hz を扱えません)。")
                           .arg(sampleRate));
    a.aubio_pitch_set_unit(detector.get(), "Hz");
    a.aubio_pitch_set_silence(detector.get(), smpl_t(kPitchSilenceDb));
    curve.reserve(size_t(count / hop + 1));
    // aubio keeps the last `window` samples and reports the pitch of that window each hop; its
    // centre lies half a window before the end of the hop just given.
    for (qint64 begin = 0; begin < count; begin += hop) {
        const qint64 taken = std::min<qint64>(hop, count - begin);
        std::copy(samples + begin, samples + begin + taken, input->data);
        std::fill(input->data + taken, input->data + hop, smpl_t(0));
        a.aubio_pitch_do(detector.get(), input.get(), output.get());
        const double hz = output->data[0];
        if (hz < kLowestPitchHz || hz > kHighestPitchHz ||
            a.aubio_pitch_get_confidence(detector.get()) < kVoicedConfidence)
            continue;
        const double centre = double(begin + hop) - double(window) / 2;
        if (centre < 0)
            continue; // the window still reaches before the first sample
        curve.push_back({centre / rate, semitonesOf(hz)});
    }
    return smoothed(curve);
}

PitchFigures pitchFigures(const std::vector<PitchPoint>& curve) {
    PitchFigures figures;
    if (curve.empty())
        return figures;
    std::vector<double> values;
    values.reserve(curve.size());
    for (const PitchPoint& point : curve)
        values.push_back(point.semitones);
    std::sort(values.begin(), values.end());
    figures.voicedFrames = int(values.size());
    figures.lowSemitones = percentile(values, 0.05);
    figures.highSemitones = percentile(values, 0.95);
    figures.medianHz = hzOf(percentile(values, 0.5));
    return figures;
}

VoiceAnalysis analyseVoice(Sound sound) {
    VoiceAnalysis voice;
    voice.span = speechSpan(sound);
    if (voice.span.frames() > 0) {
        voice.pitch = pitchCurve(sound.samples.data() + voice.span.start, voice.span.frames(),
                                 sound.sampleRate);
        voice.figures = pitchFigures(voice.pitch);
    }
    qCDebug(lcAnalysis) << "voice of" << voice.seconds() << "s," << voice.figures.voicedFrames
                        << "voiced frames, median" << voice.figures.medianHz << "Hz";
    voice.sound = std::move(sound);
    return voice;
}

} // namespace lessora
