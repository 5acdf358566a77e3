// The pitch curve of a 5 s recording (the compare window's work for the learner's voice),
// beside, in the same run: its floor, aubio's own pitch loop over the samples already brought to
// the analysis rate, with nothing of ours around it; the same loop at the file's own rate (what
// analysing without resampling would cost); and reading the FLAC file alone. Medians of
// interleaved rounds, for a recording at 48 kHz (a microphone's usual rate) and at 22.05 kHz
// (the voices' rate).
// Usage: bench_pitch [rounds]
#include "Median.h"
#include "analysis/PitchCurve.h"
#include "analysis/SoundFile.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <aubio/aubio.h>
#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <numbers>

using namespace lessora;

namespace {

// Five seconds of speech-like sound: vowels whose pitch glides as a sentence's does, 0.15 s
// apart, through two formants, with a little noise.
Sound speechLike(int rate) {
    Sound sound;
    sound.sampleRate = rate;
    const qint64 count = 5 * qint64(rate);
    double phase = 0;
    double y1 = 0, y2 = 0;
    const double r = std::exp(-std::numbers::pi * 100.0 / rate);
    const double c = 2 * r * std::cos(2 * std::numbers::pi * 700 / rate);
    unsigned noise = 1;
    for (qint64 i = 0; i < count; ++i) {
        const double t = double(i) / rate;
        const bool voiced = std::fmod(t, 0.6) < 0.45;
        const double hz = 180 * std::pow(2.0, (std::sin(t * 2.1) * 4 - t) / 12);
        phase += hz / rate;
        double x = 0;
        if (phase >= 1) {
            phase -= 1;
            x = voiced ? 1 : 0;
        }
        noise = noise * 1664525u + 1013904223u;
        x += (double(noise >> 8) / double(1 << 24) - 0.5) * 0.002;
        const double y = x + c * y1 - r * r * y2;
        y2 = y1;
        y1 = y;
        sound.samples.push_back(float(y * 0.05));
    }
    return sound;
}

void writeFlac(const QString& path, const Sound& sound) {
    SF_INFO info{};
    info.samplerate = sound.sampleRate;
    info.channels = 1;
    info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (!file) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
    sf_writef_float(file, sound.samples.data(), sf_count_t(sound.samples.size()));
    sf_close(file);
}

// The sound at the analysis rate, as pitchCurve brings it there.
Sound atAnalysisRate(const Sound& sound) {
    if (sound.sampleRate <= kPitchAnalysisRate)
        return sound;
    const double ratio = double(kPitchAnalysisRate) / sound.sampleRate;
    aubio_resampler_t* resampler = new_aubio_resampler(smpl_t(ratio), 4);
    fvec_t* output = new_fvec(uint_t(std::lround(double(sound.samples.size()) * ratio)));
    const fvec_t input{uint_t(sound.samples.size()), const_cast<float*>(sound.samples.data())};
    aubio_resampler_do(resampler, &input, output);
    Sound resampled{std::vector<float>(output->data, output->data + output->length),
                    kPitchAnalysisRate};
    del_fvec(output);
    del_aubio_resampler(resampler);
    return resampled;
}

// aubio alone: the same method, window and hop as pitchCurve, no confidence, no curve.
int bareAubio(const Sound& sound) {
    uint_t window = 256;
    while (window < uint_t(sound.sampleRate * 0.04))
        window *= 2;
    const uint_t hop = uint_t(std::lround(sound.sampleRate * kPitchStepSeconds));
    aubio_pitch_t* pitch = new_aubio_pitch("yinfast", window, hop, uint_t(sound.sampleRate));
    fvec_t* input = new_fvec(hop);
    fvec_t* output = new_fvec(1);
    int voiced = 0;
    for (size_t begin = 0; begin + hop <= sound.samples.size(); begin += hop) {
        std::copy_n(sound.samples.data() + begin, hop, input->data);
        aubio_pitch_do(pitch, input, output);
        voiced += output->data[0] > 0;
    }
    del_fvec(output);
    del_fvec(input);
    del_aubio_pitch(pitch);
    return voiced;
}

double msOf(const std::function<void()>& work) {
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 21;
    QTemporaryDir folder;
    std::printf("pitch curve of a 5 s recording, medians of %d rounds (ms)\n", rounds);
    std::printf("%-8s %12s %12s %16s %14s %11s %9s\n", "rate", "pitch curve", "aubio alone",
                "aubio, own rate", "read the FLAC", "read+curve", "voiced");
    for (const int rate : {48000, 22050}) {
        const QString path = folder.filePath(QStringLiteral("take-%1.flac").arg(rate));
        writeFlac(path, speechLike(rate));
        const Sound sound = readSound(path);
        const Sound analysed = atAnalysisRate(sound);
        // Once before timing: the libraries are loaded on first use.
        std::vector<PitchPoint> curve =
            pitchCurve(sound.samples.data(), qint64(sound.samples.size()), sound.sampleRate);
        bareAubio(analysed);
        bareAubio(sound);
        std::vector<double> ours, bare, ownRate, reading, whole;
        for (int round = 0; round < rounds; ++round) {
            ours.push_back(msOf([&] {
                curve = pitchCurve(sound.samples.data(), qint64(sound.samples.size()),
                                   sound.sampleRate);
            }));
            bare.push_back(msOf([&] { bareAubio(analysed); }));
            ownRate.push_back(msOf([&] { bareAubio(sound); }));
            reading.push_back(msOf([&] { readSound(path); }));
            whole.push_back(msOf([&] { analyseVoice(readSound(path)); }));
        }
        std::printf("%-8d %12.2f %12.2f %16.2f %14.2f %11.2f %5zu/%zu\n", rate, median(ours),
                    median(bare), median(ownRate), median(reading), median(whole), curve.size(),
                    sound.samples.size() / size_t(std::lround(rate * kPitchStepSeconds)));
    }
    std::printf("target: pitch curve <= 20 ms\n");
    return 0;
}
