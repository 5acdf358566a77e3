#include "audio/TimeStretch.h"

#include <algorithm>
#include <cmath>

namespace lessora {

std::vector<qint16> timeStretched(const std::vector<qint16>& samples, int sampleRate,
                                  double speed) {
    if (std::abs(speed - 1.0) < 1e-3 || samples.empty())
        return samples;
    const qsizetype window = sampleRate * 30 / 1000; // 30 ms, a few pitch periods
    const qsizetype hop = window / 2;                // output advances by half a window
    const qsizetype search = sampleRate * 8 / 1000;  // where the next window may start
    const auto inputSize = qsizetype(samples.size());
    std::vector<float> hann(static_cast<size_t>(window));
    for (qsizetype i = 0; i < window; ++i)
        hann[size_t(i)] = float(0.5 - 0.5 * std::cos(2 * M_PI * double(i) / double(window)));

    const auto outputSize = qsizetype(double(inputSize) / speed) + window;
    std::vector<float> output(static_cast<size_t>(outputSize + window), 0.0f);
    qsizetype previous = 0; // where the last window was taken from the input
    for (qsizetype out = 0; out + window < outputSize; out += hop) {
        const auto nominal = qsizetype(double(out) * speed);
        qsizetype from =
            std::clamp<qsizetype>(nominal, 0, std::max<qsizetype>(0, inputSize - window));
        if (out > 0) {
            // The natural continuation of the last window, hop samples on; the candidate that
            // resembles it most is taken, so that the periods line up.
            const qsizetype natural = previous + hop;
            double best = -1e300;
            const qsizetype low = std::max<qsizetype>(0, nominal - search);
            const qsizetype high = std::min<qsizetype>(inputSize - window, nominal + search);
            for (qsizetype candidate = low; candidate <= high; candidate += 2) {
                double score = 0;
                for (qsizetype i = 0; i < hop && natural + i < inputSize; i += 2)
                    score += double(samples[size_t(candidate + i)]) * samples[size_t(natural + i)];
                if (score > best) {
                    best = score;
                    from = candidate;
                }
            }
        }
        if (from + window > inputSize)
            break;
        for (qsizetype i = 0; i < window; ++i)
            output[size_t(out + i)] += hann[size_t(i)] * samples[size_t(from + i)];
        previous = from;
    }
    std::vector<qint16> result(static_cast<size_t>(double(inputSize) / speed));
    for (size_t i = 0; i < result.size(); ++i)
        result[i] = qint16(std::clamp(std::lround(output[i]), -32768L, 32767L));
    return result;
}

} // namespace lessora
