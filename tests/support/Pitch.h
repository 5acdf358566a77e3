#pragma once

#include <QVector>

#include <algorithm>
#include <cmath>
#include <vector>

namespace lessora::test {

// Fundamental frequency of a 30 ms frame of speech centred at `centre`, searched between `lowHz`
// and `highHz` (YIN: the first dip of the cumulative mean normalised difference under a strict
// threshold, so that a shallow dip at half the period is not taken for it); 0 when unvoiced.
inline double frameF0(const QVector<qint16>& samples, int rate, qsizetype centre, double lowHz,
                      double highHz) {
    const int minLag = int(rate / highHz);
    const int maxLag = int(rate / lowHz);
    const int window = rate * 3 / 100;
    if (centre < window / 2 || centre + window / 2 + maxLag + 1 >= samples.size())
        return 0;
    const qint16* x = samples.constData() + centre - window / 2;
    double energy = 0;
    for (int i = 0; i < window; ++i)
        energy += double(x[i]) * x[i];
    if (energy / window < 32768.0 * 32768.0 * 1e-5)
        return 0;
    std::vector<double> normalised(size_t(maxLag) + 2, 1.0);
    double running = 0;
    for (int lag = 1; lag <= maxLag + 1; ++lag) {
        double difference = 0;
        for (int i = 0; i < window; ++i) {
            const double d = double(x[i]) - x[i + lag];
            difference += d * d;
        }
        running += difference;
        normalised[size_t(lag)] = running > 0 ? difference * lag / running : 1.0;
    }
    int best = -1;
    for (int lag = minLag; lag <= maxLag; ++lag) {
        if (normalised[size_t(lag)] < 0.12) {
            while (lag + 1 <= maxLag && normalised[size_t(lag) + 1] < normalised[size_t(lag)])
                ++lag;
            best = lag;
            break;
        }
    }
    if (best < 0) {
        best = minLag;
        for (int lag = minLag; lag <= maxLag; ++lag)
            if (normalised[size_t(lag)] < normalised[size_t(best)])
                best = lag;
        if (normalised[size_t(best)] > 0.35)
            return 0;
    }
    const double a = normalised[size_t(best) - 1];
    const double b = normalised[size_t(best)];
    const double c = normalised[size_t(best) + 1];
    const double curvature = a - 2 * b + c;
    const double shift = curvature != 0 ? 0.5 * (a - c) / curvature : 0;
    return rate / (best + shift);
}

// Median F0 of the voiced 5 ms frames between two times (seconds); 0 when none is voiced.
inline double medianF0(const QVector<qint16>& samples, int rate, double from, double to,
                       double lowHz = 60, double highHz = 500) {
    std::vector<double> values;
    for (qsizetype centre = qsizetype(from * rate); centre < qsizetype(to * rate);
         centre += rate / 200) {
        if (const double f0 = frameF0(samples, rate, centre, lowHz, highHz); f0 > 0)
            values.push_back(f0);
    }
    if (values.empty())
        return 0;
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

inline double semitones(double fromHz, double toHz) {
    return 12 * std::log2(toHz / fromHz);
}

} // namespace lessora::test
