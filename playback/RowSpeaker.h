#pragma once

#include <QString>
#include <memory>

namespace lessora {

class MessageBoxes;
class SpeechEngine;
class SpeechVoice;

// The engine rate for the index chosen in the English-speed list ("遅い" -2 … "速い" 2); 0 for
// no choice or an unknown index.
int englishRateForIndex(int index);

// The two fixed voices that replace a configured voice of the wrong language.
inline const QString kDefaultJapaneseVoice = QStringLiteral("Microsoft Haruka Desktop - Japanese");
inline const QString kDefaultEnglishVoice =
    QStringLiteral("Microsoft Zira Desktop - English (United States)");

// The cells of the row to speak, exactly as they stand in the table.
struct RowCells {
    QString text;
    QString language;
    QString speaker;
};

// Speaks lesson rows, each with its speaker's configured voice: looks the voice up in the
// settings file and its catalogue, falls back to a fixed or a matching installed voice when it
// cannot be used, and starts speaking asynchronously on a voice object of its own. Errors it
// does not turn into a message propagate.
class RowSpeaker {
public:
    RowSpeaker(SpeechEngine& engine, MessageBoxes& messages, QString settingsPath);
    ~RowSpeaker();

    // Speaks the row on a fresh voice object, which replaces the previous one. `englishRate`
    // applies to rows whose Language cell is "English"; other rows speak at 0.
    void speak(const RowCells& row, int englishRate);
    // The voice object's running state; "none" while there is no voice object (its creation
    // failed, or nothing has been spoken yet).
    int runningState();
    // Ends whatever the voice object is saying.
    void silence();
    bool hasVoice() const { return m_voice != nullptr; }

    // The fallback messages are shown once per run: a new run may show them again.
    void beginRun() { m_fallbackMessageShown = false; }
    bool fallbackMessageShown() const { return m_fallbackMessageShown; }

private:
    SpeechEngine& m_engine;
    MessageBoxes& m_messages;
    QString m_settingsPath;
    std::unique_ptr<SpeechVoice> m_voice;
    bool m_fallbackMessageShown = false;
};

} // namespace lessora
