#pragma once

#include "analysis/Sound.h"
#include "platform/AppError.h"

#include <QString>

namespace lessora {

// A sound file that cannot be read; the message says which and why, for the user.
class SoundFileError : public AppError {
public:
    using AppError::AppError;
};

// The longest sound read: far more than a line, and little enough memory for any file.
inline constexpr int kLongestSoundSeconds = 300;

// Reads a sound file of any kind and rate libsndfile knows (FLAC, WAV, Ogg, …), its channels
// mixed down to one. Throws SoundFileError when it cannot be opened or read, or is longer than
// kLongestSoundSeconds.
Sound readSound(const QString& path);

} // namespace lessora
