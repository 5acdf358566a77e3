#pragma once

#include <QString>
#include <memory>

namespace lessora {

class MessageBoxes;
class SpeechEngine;
class SpVoice;

// GetEnglishRate's table: the engine rate for the index chosen in the English-speed list
// ("遅い" -2 … "速い" 2); 0 for no choice or an unknown index.
int englishRateForIndex(int index);

// The two fixed voices that replace a configured voice of the wrong language.
inline const QString kDefaultJapaneseVoice = QStringLiteral("Microsoft Haruka Desktop - Japanese");
inline const QString kDefaultEnglishVoice =
    QStringLiteral("Microsoft Zira Desktop - English (United States)");

// What the row speaker reads and changes of the playback state.
struct SpeakingVoice {
    std::unique_ptr<SpVoice>& voice; // FVoice: replaced by a fresh voice object on every call
    bool& voiceErrorShown;           // FVoiceErrorShown: fallback messages once per run
};

// The cells of the row to speak, exactly as they stand in the table.
struct RowCells {
    QString text;
    QString language;
    QString speaker;
};

// Speaks one lesson row with its speaker's configured voice: looks the voice up in the settings
// file and its catalogue, falls back to a fixed or a matching installed voice when it cannot be
// used, and starts speaking asynchronously. Errors it does not turn into a message propagate.
class RowSpeaker {
public:
    RowSpeaker(SpeechEngine& engine, MessageBoxes& messages, QString settingsPath);

    // `englishRate` applies to rows whose Language cell is "English"; other rows speak at 0.
    void SpeakRow(SpeakingVoice state, const RowCells& row, int englishRate);

private:
    SpeechEngine& m_engine;
    MessageBoxes& m_messages;
    QString m_settingsPath;
};

} // namespace lessora
