#include "audio/Loudness.h"

#include "audio/AudioOutput.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace lessora {

namespace {

constexpr double kPeakCeiling = 0.89; // -1 dBFS
constexpr double kMaxGainDb = 24.0;
// Quieter ends are left out of a measurement, as the lead-in of a line is trimmed before it is
// heard (AudioOutput::kAudibleLevel).
constexpr int kEdgeLevel = AudioOutput::kAudibleLevel;
constexpr double kHeldSeconds = 3.0; // held before the first sound, to set the gain
constexpr double kRefineDb = 3.0;    // how far the gain may move from there

struct StateDeleter {
    void operator()(ebur128_state* state) const { ebur128_destroy(&state); }
};

} // namespace

std::optional<double> integratedLoudness(const qint16* samples, qint64 count, int sampleRate) {
    // The silence at either end is left out: it would count in a short word repeated, and
    // padding added on the way to the ear would change the word's loudness.
    const auto audible = [](qint16 sample) { return std::abs(int(sample)) >= kEdgeLevel; };
    const qint16* end = samples + std::max<qint64>(count, 0);
    samples = std::find_if(samples, end, audible);
    while (end > samples && !audible(end[-1]))
        --end;
    count = end - samples;
    if (count <= 0 || sampleRate <= 0)
        return std::nullopt;
    const std::unique_ptr<ebur128_state, StateDeleter> state(
        ebur128_init(1, unsigned(sampleRate), EBUR128_MODE_I));
    if (!state)
        return std::nullopt;
    // At least one second, so that several blocks are measured.
    qint64 fed = 0;
    do {
        if (ebur128_add_frames_short(state.get(), samples, size_t(count)) != EBUR128_SUCCESS)
            return std::nullopt;
        fed += count;
    } while (fed < sampleRate);
    double loudness = 0;
    if (ebur128_loudness_global(state.get(), &loudness) != EBUR128_SUCCESS ||
        !std::isfinite(loudness))
        return std::nullopt;
    return loudness;
}

double gainToSpeechLoudness(std::optional<double> loudness, int peak) {
    if (!loudness)
        return 1.0;
    const double wanted = std::min(kSpeechLoudnessLufs - *loudness, kMaxGainDb);
    double gain = std::pow(10.0, wanted / 20.0);
    if (peak > 0)
        gain = std::min(gain, kPeakCeiling * 32767.0 / peak);
    return gain;
}

struct SpeechLeveller::Meter {
    std::unique_ptr<ebur128_state, StateDeleter> state;
};

SpeechLeveller::SpeechLeveller(int sampleRate, Sink sink)
    : m_sampleRate(sampleRate)
    , m_sink(std::move(sink))
    , m_meter(std::make_unique<Meter>()) {
    m_meter->state.reset(ebur128_init(1, unsigned(std::max(sampleRate, 1)), EBUR128_MODE_I));
}

SpeechLeveller::~SpeechLeveller() = default;

bool SpeechLeveller::push(const qint16* samples, qint64 count) {
    if (count <= 0)
        return true;
    if (m_started)
        return handOn(samples, count);
    m_held.insert(m_held.end(), samples, samples + count);
    return qint64(m_held.size()) < kHeldSeconds * m_sampleRate || release();
}

bool SpeechLeveller::finish() {
    return m_started || release();
}

bool SpeechLeveller::release() {
    m_started = true;
    int peak = 0;
    for (const qint16 sample : m_held)
        peak = std::max(peak, std::abs(int(sample)));
    m_firstGain = m_gain = gainToSpeechLoudness(
        integratedLoudness(m_held.data(), qint64(m_held.size()), m_sampleRate), peak);
    std::vector<qint16> held;
    held.swap(m_held);
    return held.empty() || handOn(held.data(), qint64(held.size()));
}

bool SpeechLeveller::handOn(const qint16* samples, qint64 count) {
    // The gain this chunk ends on: what brings all handed on so far to the target, within
    // kRefineDb of the first gain and never above the chunk's peak ceiling.
    double target = m_gain;
    double handedOn = 0;
    if (m_meter->state &&
        ebur128_loudness_global(m_meter->state.get(), &handedOn) == EBUR128_SUCCESS &&
        std::isfinite(handedOn))
        target = m_gain * std::pow(10.0, (kSpeechLoudnessLufs - handedOn) / 20.0);
    const double range = std::pow(10.0, kRefineDb / 20.0);
    target = std::clamp(target, m_firstGain / range, m_firstGain * range);
    int peak = 0;
    for (qint64 i = 0; i < count; ++i)
        peak = std::max(peak, std::abs(int(samples[i])));
    if (peak > 0)
        target = std::min(target, kPeakCeiling * 32767.0 / peak);
    m_out.resize(size_t(count));
    const double start = m_gain;
    for (qint64 i = 0; i < count; ++i) {
        const double gain = start + (target - start) * double(i + 1) / double(count);
        m_out[size_t(i)] = qint16(std::clamp(std::lround(samples[i] * gain), -32768L, 32767L));
    }
    m_gain = target;
    if (m_meter->state)
        ebur128_add_frames_short(m_meter->state.get(), m_out.data(), size_t(count));
    return m_sink(m_out.data(), count);
}

} // namespace lessora
