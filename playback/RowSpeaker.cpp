#include "playback/RowSpeaker.h"

#include "platform/MessageBoxes.h"
#include "settings/AsciiCase.h"
#include "settings/LanguageName.h"
#include "settings/SettingsFile.h"
#include "settings/Speakers.h"
#include "voices/SpeechEngine.h"

#include <exception>

namespace lessora {

namespace {

QString errorText(const std::exception& error) {
    if (const auto* appError = dynamic_cast<const AppError*>(&error))
        return appError->message();
    return QString::fromUtf8(error.what());
}

// The configured voice of one row as the settings file describes it.
struct ConfiguredVoice {
    QString name;
    QString type;     // "SAPI", "OneCore" or whatever the catalogue holds; empty when not listed
    QString language; // the catalogue's language name; empty when not listed
};

ConfiguredVoice readConfiguredVoice(const QString& settingsPath, const QString& speakerCell) {
    const SettingsFile settings(settingsPath);
    ConfiguredVoice voice;
    if (const Speaker* speaker = speakerOfCode(speakerCell))
        voice.name = settings.readString(kVoiceSection, speaker->voiceKey, QString());
    // An unset speaker has no name, which no catalogue entry stands for.
    if (voice.name.isEmpty())
        return voice;
    for (const CatalogueEntry& entry : readCatalogue(settings)) {
        if (equalsIgnoringAsciiCase(entry.voice, voice.name)) {
            voice.type = entry.type;
            voice.language = entry.language;
            break;
        }
    }
    return voice;
}

// A voice catalogued for the other language is replaced by the fixed voice of the row's one.
void applyLanguageCheck(ConfiguredVoice& voice, const QString& rowLanguage) {
    if (equalsIgnoringAsciiCase(rowLanguage, kLanguageJapanese) &&
        equalsIgnoringAsciiCase(voice.language, kLanguageEnglish)) {
        voice = {kDefaultJapaneseVoice, kVoiceTypeSapi, kLanguageJapanese};
    } else if (equalsIgnoringAsciiCase(rowLanguage, kLanguageEnglish) &&
               equalsIgnoringAsciiCase(voice.language, kLanguageJapanese)) {
        voice = {kDefaultEnglishVoice, kVoiceTypeSapi, kLanguageEnglish};
    }
}

class RowVoiceChoice {
public:
    RowVoiceChoice(SpeechVoice& voice, MessageBoxes& messages, bool& fallbackMessageShown)
        : m_voice(voice)
        , m_messages(messages)
        , m_fallbackMessageShown(fallbackMessageShown) {}

    // Sets the voice whose description equals the name; a voice that refuses is reported with
    // `refusedMessage` and ends the search. True when the voice was set.
    bool selectByName(const TokenCollection& voices, const QString& name,
                      const QString& refusedMessage) {
        for (int i = 0; i < voices.count(); ++i) {
            const VoiceTokenPtr token = voices.item(i);
            const QString description = token->description();
            if (!equalsIgnoringAsciiCase(description, name))
                continue;
            try {
                m_voice.setVoice(token);
                return true;
            } catch (const std::exception&) {
                m_messages.showMessage(refusedMessage + description);
                return false;
            }
        }
        return false;
    }

    // The fixed fallback: the first ordinary voice named "Zira" for English rows or "Haruka" for
    // Japanese ones. Without such a voice, the first ordinary voice whose Language attribute
    // names the row's language, so that a row is never read in the other language merely
    // because those two voices are not installed. Without that either, the voice stays as is.
    void fallbackSearch(const TokenCollection& ordinary, const QString& rowLanguage) {
        QString fragment;
        QString language;
        if (equalsIgnoringAsciiCase(rowLanguage, kLanguageEnglish)) {
            fragment = QStringLiteral("Zira");
            language = kLanguageEnglish;
        } else if (equalsIgnoringAsciiCase(rowLanguage, kLanguageJapanese)) {
            fragment = QStringLiteral("Haruka");
            language = kLanguageJapanese;
        } else {
            return;
        }
        for (int i = 0; i < ordinary.count(); ++i) {
            const VoiceTokenPtr token = ordinary.item(i);
            if (token->description().contains(fragment, Qt::CaseSensitive)) {
                m_voice.setVoice(token);
                return;
            }
        }
        for (int i = 0; i < ordinary.count(); ++i) {
            const VoiceTokenPtr token = ordinary.item(i);
            if (languageOfToken(*token) != language)
                continue;
            try {
                m_voice.setVoice(token);
                return;
            } catch (const std::exception&) {
                // A voice that cannot be used is passed over like one of another language.
            }
        }
    }

    void speak(const RowCells& row, int englishRate) {
        m_voice.setRate(equalsIgnoringAsciiCase(row.language, kLanguageEnglish) ? englishRate : 0);
        m_voice.speak(row.text, kSpeakAsync);
    }

    // The fallback messages share one flag: at most one of them per run.
    void showOncePerRun(const QString& message) {
        if (m_fallbackMessageShown)
            return;
        m_fallbackMessageShown = true;
        m_messages.showMessage(message);
    }

private:
    static QString languageOfToken(const VoiceToken& token) {
        try {
            return languageNameOf(token.attribute(QStringLiteral("Language")));
        } catch (const std::exception&) {
            return {};
        }
    }

    SpeechVoice& m_voice;
    MessageBoxes& m_messages;
    bool& m_fallbackMessageShown;
};

} // namespace

int englishRateForIndex(int index) {
    return (index >= 0 && index <= 4) ? index - 2 : 0;
}

RowSpeaker::RowSpeaker(SpeechEngine& engine, MessageBoxes& messages, QString settingsPath)
    : m_engine(engine)
    , m_messages(messages)
    , m_settingsPath(std::move(settingsPath)) {}

RowSpeaker::~RowSpeaker() = default;

int RowSpeaker::runningState() {
    return m_voice ? m_voice->runningState() : kRunningStateNone;
}

void RowSpeaker::silence() {
    if (m_voice)
        m_voice->speak(QString(), kSpeakAsync | kSpeakPurge);
}

void RowSpeaker::speak(const RowCells& row, int englishRate) {
    ConfiguredVoice configured = readConfiguredVoice(m_settingsPath, row.speaker);
    applyLanguageCheck(configured, row.language);

    const EngineOperation operation(m_engine);
    // The previous voice object is silent by now; letting it go first means a failure below
    // leaves no stale voice whose finished state could be taken for this row's.
    m_voice.reset();
    m_voice = m_engine.createVoice();
    SpeechVoice& voice = *m_voice;
    const CategorisedVoices voices = listVoiceCategories(m_engine, voice);
    const TokenCollection& ordinary = voices.ordinary;

    RowVoiceChoice call(voice, m_messages, m_fallbackMessageShown);
    bool found = false;
    if (equalsIgnoringAsciiCase(configured.type, kVoiceTypeOneCore)) {
        found = call.selectByName(voices.oneCore, configured.name,
                                  QStringLiteral("このOneCore音声は使用できません。\r\n"));
    } else if (equalsIgnoringAsciiCase(configured.type, kVoiceTypeSapi)) {
        found = call.selectByName(ordinary, configured.name,
                                  QStringLiteral("この音声は使用できません。\r\n"));
    }
    if (!found) {
        call.showOncePerRun(
            QStringLiteral(
                "設定された音声が見つからないため、\r\n代替音声で読み上げます。\r\n音声: ") +
            configured.name);
        call.fallbackSearch(ordinary, row.language);
    }

    try {
        call.speak(row, englishRate);
    } catch (const std::exception& error) {
        call.showOncePerRun(
            QStringLiteral(
                "設定された音声が使用できないため、\r\n代替音声で読み上げます。\r\n音声: ") +
            configured.name + QStringLiteral("\r\nエラー: ") + errorText(error));
        call.fallbackSearch(ordinary, row.language);
        call.speak(row, englishRate);
    }
}

} // namespace lessora
