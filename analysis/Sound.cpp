#include "analysis/Sound.h"

#include <algorithm>
#include <cmath>

namespace lessora {

Sound soundFromPcm(const qint16* samples, qint64 count, int sampleRate) {
    Sound sound;
    sound.sampleRate = sampleRate;
    sound.samples.resize(size_t(std::max<qint64>(count, 0)));
    std::transform(samples, samples + sound.samples.size(), sound.samples.begin(),
                   [](qint16 sample) { return float(sample) / 32768.0f; });
    return sound;
}

SpeechSpan speechSpan(const Sound& sound) {
    if (sound.isEmpty())
        return {};
    const qint64 block = std::max(1, sound.sampleRate / 100);
    const qint64 count = qint64(sound.samples.size());
    std::vector<double> levels; // mean square of each block
    levels.reserve(size_t(count / block + 1));
    for (qint64 begin = 0; begin < count; begin += block) {
        const qint64 end = std::min(count, begin + block);
        double sum = 0;
        for (qint64 i = begin; i < end; ++i)
            sum += double(sound.samples[size_t(i)]) * sound.samples[size_t(i)];
        levels.push_back(sum / double(end - begin));
    }
    const double loudest = *std::max_element(levels.begin(), levels.end());
    const double threshold = std::max(std::pow(10.0, kSpeechFloorDb / 10),
                                      loudest * std::pow(10.0, -kSpeechBelowPeakDb / 10));
    const auto loud = [threshold](double level) { return level > threshold; };
    const auto first = std::find_if(levels.begin(), levels.end(), loud);
    if (first == levels.end())
        return {};
    const auto last = std::find_if(levels.rbegin(), levels.rend(), loud);
    const qint64 start = qint64(first - levels.begin()) * block;
    const qint64 end = std::min(count, qint64(levels.rend() - last) * block);
    return {start, end};
}

std::vector<EnvelopeColumn> envelope(const float* samples, qint64 count, int columns) {
    std::vector<EnvelopeColumn> outline;
    if (count <= 0 || columns <= 0)
        return outline;
    outline.reserve(size_t(columns));
    for (int column = 0; column < columns; ++column) {
        qint64 begin = count * column / columns;
        qint64 end = count * (column + 1) / columns;
        if (end <= begin)
            end = std::min(count, begin + 1);
        const auto [low, high] = std::minmax_element(samples + begin, samples + end);
        outline.push_back({*low, *high});
    }
    return outline;
}

} // namespace lessora
