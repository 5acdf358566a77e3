#include "audio/SampleRateConverter.h"

#include <algorithm>
#include <cmath>

namespace lessora {

namespace {
constexpr int kZeroCrossings = 12;
constexpr int kTableResolution = 256; // kernel samples per input sample
constexpr double kPi = 3.14159265358979323846;

// cos and sin of successive multiples of an angle, by rotation: the kernel table takes
// thousands of them, and a converter is made as every line starts to speak.
class Rotation {
public:
    explicit Rotation(double step)
        : m_stepCos(std::cos(step))
        , m_stepSin(std::sin(step)) {}
    double cos() const { return m_cos; }
    double sin() const { return m_sin; }
    void advance() {
        const double cos = m_cos * m_stepCos - m_sin * m_stepSin;
        m_sin = m_sin * m_stepCos + m_cos * m_stepSin;
        m_cos = cos;
    }

private:
    const double m_stepCos;
    const double m_stepSin;
    double m_cos = 1.0;
    double m_sin = 0.0;
};
} // namespace

SampleRateConverter::SampleRateConverter(int inputRate, int outputRate)
    : m_step(double(inputRate) / outputRate)
    , m_cutoff(std::min(1.0, double(outputRate) / inputRate) * 0.95)
    , m_halfWidth(int(std::ceil(kZeroCrossings / m_cutoff)))
    , m_passThrough(inputRate == outputRate) {
    if (m_passThrough)
        return;
    m_table.resize(size_t(m_halfWidth) * kTableResolution + 2);
    // The windowed sinc at x = i / kTableResolution input samples: sin(t) / t with
    // t = pi * cutoff * x, and a Blackman window over the half width,
    // 0.42 + 0.5 cos(a) + 0.08 cos(2a) with a = pi * x / halfWidth.
    Rotation sinc(kPi * m_cutoff / kTableResolution);
    Rotation window(kPi / (double(m_halfWidth) * kTableResolution));
    for (size_t i = 0; i < m_table.size(); ++i) {
        const double x = double(i) / kTableResolution;
        const double t = kPi * m_cutoff * x;
        const double sincValue = x == 0 ? 1.0 : sinc.sin() / t;
        const double cosA = window.cos();
        const double windowValue =
            x >= m_halfWidth ? 0.0 : 0.42 + 0.5 * cosA + 0.08 * (2 * cosA * cosA - 1);
        m_table[i] = float(m_cutoff * sincValue * windowValue);
        sinc.advance();
        window.advance();
    }
    m_history.assign(size_t(m_halfWidth), 0.0f); // silence before the first sample
    m_historyStart = -m_halfWidth;
}

float SampleRateConverter::kernel(double offset) const {
    const double position = std::abs(offset) * kTableResolution;
    const size_t index = size_t(position);
    if (index + 1 >= m_table.size())
        return 0.0f;
    const float fraction = float(position - double(index));
    return m_table[index] + (m_table[index + 1] - m_table[index]) * fraction;
}

void SampleRateConverter::produce(std::vector<float>& output, qint64 availableUntil) {
    for (;;) {
        const double time = m_outputCount * m_step;
        const qint64 centre = qint64(std::floor(time));
        if (centre + m_halfWidth >= availableUntil)
            break;
        double sum = 0;
        for (qint64 k = centre - m_halfWidth + 1; k <= centre + m_halfWidth; ++k)
            sum += m_history[size_t(k - m_historyStart)] * kernel(time - double(k));
        output.push_back(float(sum));
        ++m_outputCount;
    }
    // Drop input that no later output reaches.
    const qint64 keepFrom = qint64(std::floor(m_outputCount * m_step)) - m_halfWidth;
    if (keepFrom - m_historyStart > 4096) {
        m_history.erase(m_history.begin(), m_history.begin() + (keepFrom - m_historyStart));
        m_historyStart = keepFrom;
    }
}

void SampleRateConverter::process(const qint16* input, qint64 count, std::vector<float>& output) {
    if (m_passThrough) {
        output.insert(output.end(), input, input + count);
        return;
    }
    m_history.insert(m_history.end(), input, input + count);
    m_inputCount += count;
    produce(output, m_historyStart + qint64(m_history.size()));
}

void SampleRateConverter::finish(std::vector<float>& output) {
    if (m_passThrough)
        return;
    const qint64 wanted = qint64(std::ceil(m_inputCount / m_step));
    m_history.insert(m_history.end(), size_t(m_halfWidth) + 2, 0.0f);
    const qint64 before = m_outputCount;
    produce(output, m_historyStart + qint64(m_history.size()));
    // Only as many samples as the input's duration; the padding is not part of it.
    const qint64 excess = m_outputCount - std::max(before, wanted);
    if (excess > 0) {
        output.resize(output.size() - size_t(excess));
        m_outputCount -= excess;
    }
}

} // namespace lessora
