#pragma once

#include <QVector>
#include <cmath>

namespace lessora::test {

// Loudness of speech: RMS over the 20 ms frames above -50 dBFS, in dBFS (-120 for silence).
// Shared by the engine's tests and its benchmark so both measure alike.
inline double activeRmsDb(const QVector<qint16>& samples, int rate) {
    const int frame = rate / 50;
    double energy = 0;
    qint64 count = 0;
    for (qsizetype start = 0; start + frame <= samples.size(); start += frame) {
        double sum = 0;
        for (int i = 0; i < frame; ++i)
            sum += double(samples[start + i]) * samples[start + i];
        if (sum / frame > 32768.0 * 32768.0 * 1e-5) {
            energy += sum;
            count += frame;
        }
    }
    return count ? 10 * std::log10(energy / count / (32768.0 * 32768.0)) : -120;
}

} // namespace lessora::test
