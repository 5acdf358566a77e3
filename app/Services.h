#pragma once

#include <QChar>
#include <QList>
#include <QString>
#include <functional>

namespace lessora {

struct AccentPhrase;
class AudioInput;
class Beeper;
class ClipboardText;
class FileDialogs;
class MessageBoxes;
class SamplePlayer;
class SpeechEngine;

// The platform services a window works with. The program passes the real ones, tests
// pass fakes; nothing here is global.
struct Services {
    MessageBoxes& messages;
    FileDialogs& fileDialogs;
    ClipboardText& clipboard;
    Beeper& beeper;
    SpeechEngine& speech;
    QString settingsPath;   // full path of the settings file ("Lessora.ini")
    QChar decimalSeparator; // the user's decimal separator
    // Where the lessons used lately and the dialogs' last folder are kept; empty: this run only
    QString lessonHistoryPath = {};
    // The accent the Open JTalk voices say for a Japanese line; empty: their own (spokenAccent)
    std::function<QList<AccentPhrase>(const QString& text)> spokenAccent = {};
    // The microphone the learner's answers are recorded from, and the player they are heard
    // back through; null: the window records nothing.
    AudioInput* audioInput = nullptr;
    SamplePlayer* samplePlayer = nullptr;
};

} // namespace lessora
