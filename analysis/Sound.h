#pragma once

#include <QtGlobal>

#include <vector>

namespace lessora {

// Mono samples between -1 and 1 at a sampling rate: a recording or a synthesised line.
struct Sound {
    std::vector<float> samples;
    int sampleRate = 0;

    bool isEmpty() const { return samples.empty() || sampleRate <= 0; }
    double seconds() const { return sampleRate > 0 ? double(samples.size()) / sampleRate : 0; }
};

// 16-bit samples as a Sound.
Sound soundFromPcm(const qint16* samples, qint64 count, int sampleRate);

// Where the speech of a sound starts and ends, in frames: from the first to the end of the last
// 10 ms block whose level is above kSpeechFloorDb and within kSpeechBelowPeakDb of the loudest
// block, so that the hiss of a microphone and the breath before a line are left out. Empty
// (start == end) for a sound without speech.
struct SpeechSpan {
    qint64 start = 0;
    qint64 end = 0;
    qint64 frames() const { return end - start; }
};
inline constexpr double kSpeechFloorDb = -50;
inline constexpr double kSpeechBelowPeakDb = 35;
SpeechSpan speechSpan(const Sound& sound);

// The outline of a waveform for drawing `columns` columns: the lowest and the highest sample of
// each column's share of the samples. A column without a sample of its own (more columns than
// samples) takes its nearest sample.
struct EnvelopeColumn {
    float low = 0;
    float high = 0;
};
std::vector<EnvelopeColumn> envelope(const float* samples, qint64 count, int columns);

} // namespace lessora
