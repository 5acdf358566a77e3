#pragma once

class QLabel;
class QRect;
class QWidget;

namespace lessora {

class SpeechEngine;

// One line under the voice lists of a voice window when a voice's synthesiser is installed
// without the voice (Open JTalk without its HTS voice), naming the package that brings it.
// Nothing is added when no voice is missing. Returns the line, or null.
QLabel* addMissingVoiceNote(QWidget& window, const SpeechEngine& engine, const QRect& geometry);

} // namespace lessora
