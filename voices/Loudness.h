#pragma once

#include <QtGlobal>

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

// Brings each piece of speech to kSpeechLoudnessLufs in place; returns the gain applied.
double levelSpeech(std::vector<qint16>& samples, int sampleRate);

} // namespace lessora
