#include "voices/Loudness.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace lessora {

namespace {

constexpr double kPeakCeiling = 0.89; // -1 dBFS
constexpr double kMaxGainDb = 24.0;
constexpr int kEdgeLevel = 33; // -60 dBFS

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

double levelSpeech(std::vector<qint16>& samples, int sampleRate) {
    int peak = 0;
    for (const qint16 sample : samples)
        peak = std::max(peak, std::abs(int(sample)));
    const double gain = gainToSpeechLoudness(
        integratedLoudness(samples.data(), qint64(samples.size()), sampleRate), peak);
    for (qint16& sample : samples)
        sample = qint16(std::clamp(std::lround(sample * gain), -32768L, 32767L));
    return gain;
}

} // namespace lessora
