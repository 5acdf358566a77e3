#pragma once

#include <QtGlobal>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace lessora {

// The integrated loudness (ITU-R BS.1770, as EBU R128 measures it) every spoken line is brought
// to, in LUFS: R128's own target. The voices' peaks stand at most about 22 dB above their
// loudness, so at this level they stay below -1 dBFS and no line is held back to avoid clipping;
// it is about 1 dB below the RMS level of -20 dBFS the lines were evened out to before.
inline constexpr double kSpeechLoudnessLufs = -23.0;

// The integrated loudness of mono 16-bit samples in LUFS, gated as EBU R128 gates it; nothing for
// silence. The silence at its ends is left out, and audio shorter than a second is measured as
// if it repeated, so that a short word has a loudness of its own (R128 measures in 400 ms blocks).
std::optional<double> integratedLoudness(const qint16* samples, qint64 count, int sampleRate);

// The gain that brings samples of that loudness to kSpeechLoudnessLufs, held back so that the
// highest peak stays at -1 dBFS and near-silence is not raised by more than 24 dB.
double gainToSpeechLoudness(std::optional<double> loudness, int peak);

// Brings speech to kSpeechLoudnessLufs while it streams: its first three seconds (all of most
// lesson lines) are held and measured, which sets the gain, so that a long line still starts
// early; the gain is then refined as the rest passes, in ramps and within 3 dB, so that the piece
// as a whole ends near the target.
class SpeechLeveller {
public:
    using Sink = std::function<bool(const qint16* samples, qint64 count)>;
    SpeechLeveller(int sampleRate, Sink sink);
    ~SpeechLeveller();
    SpeechLeveller(const SpeechLeveller&) = delete;
    SpeechLeveller& operator=(const SpeechLeveller&) = delete;

    // False when the sink wants no more.
    bool push(const qint16* samples, qint64 count);
    bool finish();

private:
    bool release();
    bool handOn(const qint16* samples, qint64 count);

    struct Meter;
    const int m_sampleRate;
    Sink m_sink;
    std::vector<qint16> m_held;
    bool m_started = false;
    double m_firstGain = 1;
    double m_gain = 1;
    std::unique_ptr<Meter> m_meter; // of what was handed on
    std::vector<qint16> m_out;
};

} // namespace lessora
