#pragma once

#include <QtGlobal>

#include <vector>

namespace lessora {

// Converts a stream of mono samples from one sampling rate to another by windowed-sinc
// interpolation; the synthesisers speak at 16 and 22.05 kHz, the output may want another rate.
class SampleRateConverter {
public:
    SampleRateConverter(int inputRate, int outputRate);

    // Appends the output for these input samples.
    void process(const qint16* input, qint64 count, std::vector<float>& output);
    // Appends the output that the last input samples still owe.
    void finish(std::vector<float>& output);

private:
    float kernel(double offset) const;
    void produce(std::vector<float>& output, qint64 availableUntil);

    const double m_step;   // input samples per output sample
    const double m_cutoff; // relative to the input's Nyquist frequency
    const int m_halfWidth; // input samples on each side of an output sample
    const bool m_passThrough;
    std::vector<float> m_table; // the kernel, sampled finely for interpolation
    std::vector<float> m_history;
    qint64 m_historyStart = 0; // input index of m_history[0]
    qint64 m_inputCount = 0;
    qint64 m_outputCount = 0;
};

} // namespace lessora
