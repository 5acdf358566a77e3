#include "playback/RowSpeaker.h"

#include "platform/MessageBoxes.h"
#include "settings/AsciiCase.h"
#include "settings/LanguageName.h"
#include "settings/SettingsFile.h"
#include "settings/Speakers.h"

#include <QScopedValueRollback>

#include <exception>

namespace lessora {

namespace {

// Lines measured are kept up to this many; a lesson rarely has more learner's lines.
constexpr qsizetype kMaxMeasuredLines = 4096;

const QString kEngineDefaultVoice = QStringLiteral("(既定の音声)");

QString errorText(const std::exception& error) {
    if (const auto* appError = dynamic_cast<const AppError*>(&error))
        return appError->message();
    return QString::fromUtf8(error.what());
}

QString languageInJapanese(const QString& language) {
    if (equalsIgnoringAsciiCase(language, kLanguageEnglish))
        return QStringLiteral("英語");
    if (equalsIgnoringAsciiCase(language, kLanguageJapanese))
        return QStringLiteral("日本語");
    return language;
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

// A catalogued voice of the other language cannot read the row.
bool isOfOtherLanguage(const ConfiguredVoice& voice, const QString& rowLanguage) {
    return (equalsIgnoringAsciiCase(rowLanguage, kLanguageJapanese) &&
            equalsIgnoringAsciiCase(voice.language, kLanguageEnglish)) ||
           (equalsIgnoringAsciiCase(rowLanguage, kLanguageEnglish) &&
            equalsIgnoringAsciiCase(voice.language, kLanguageJapanese));
}

// The place of the speaker among the speakers of its language: A and Q 0, B and R 1, C and S 2.
// Any other code counts as the first.
int speakerOrdinal(const QString& speakerCell) {
    const Speaker* speaker = speakerOfCode(speakerCell);
    if (!speaker)
        return 0;
    int ordinal = 0;
    for (const Speaker& other : speakers()) {
        if (other.code == speaker->code)
            return ordinal;
        if (other.language == speaker->language)
            ++ordinal;
    }
    return 0;
}

QString languageOfToken(const VoiceToken& token) {
    try {
        return languageNameOf(token.attribute(QStringLiteral("Language")));
    } catch (const std::exception&) {
        return {};
    }
}

// Chooses and sets the voice of one row on a voice object, and shows what the user should
// know about the choice.
class RowVoiceChoice {
public:
    RowVoiceChoice(SpeechVoice& voice, MessageBoxes& messages, bool& fallbackMessageShown)
        : m_voice(voice)
        , m_messages(messages)
        , m_fallbackMessageShown(fallbackMessageShown) {}

    // The voice set on the object; empty while it speaks with the engine's default voice.
    const QString& used() const { return m_used; }

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
                m_used = description;
                return true;
            } catch (const std::exception&) {
                m_messages.showMessage(refusedMessage + description);
                return false;
            }
        }
        return false;
    }

    // The speaker's own voice of the row's language: the ordinal-th voice of that language in
    // the engine's order, counted round when there are fewer. A voice that cannot be used, or
    // the one to avoid, passes the turn to the next of the language. Without any voice of the
    // language the object keeps the voice it has.
    void selectSpeakerDefault(const TokenCollection& ordinary, const QString& rowLanguage,
                              int ordinal, const QString& avoid = {}) {
        QList<VoiceTokenPtr> ofLanguage;
        for (int i = 0; i < ordinary.count(); ++i) {
            VoiceTokenPtr token = ordinary.item(i);
            if (equalsIgnoringAsciiCase(languageOfToken(*token), rowLanguage))
                ofLanguage << std::move(token);
        }
        const qsizetype count = ofLanguage.size();
        for (qsizetype step = 0; step < count; ++step) {
            const VoiceTokenPtr& token = ofLanguage[(ordinal + step) % count];
            const QString description = token->description();
            if (!avoid.isEmpty() && equalsIgnoringAsciiCase(description, avoid) && count > 1)
                continue;
            try {
                m_voice.setVoice(token);
                m_used = description;
                return;
            } catch (const std::exception&) {
                // A voice that cannot be used is passed over like one of another language.
            }
        }
    }

    // The fallback messages share one flag: at most one of them per run. Each names the voice
    // that was configured and the one that speaks instead.
    void showOncePerRun(const QString& message) {
        if (m_fallbackMessageShown)
            return;
        m_fallbackMessageShown = true;
        m_messages.showMessage(message + QStringLiteral("\r\n使用する音声: ") +
                               (m_used.isEmpty() ? kEngineDefaultVoice : m_used));
    }

private:
    SpeechVoice& m_voice;
    MessageBoxes& m_messages;
    bool& m_fallbackMessageShown;
    QString m_used;
};

// A message box that shows nothing: a voice chosen for preparing alone says nothing.
class NoMessages : public MessageBoxes {
public:
    void showMessage(const QString&) override {}
    bool confirm(const QString&) override { return false; }
    YesNoCancel askYesNoCancel(const QString&) override { return YesNoCancel::Cancel; }
};

QString measureKey(const QString& voice, int rate, const QString& text) {
    return voice + QChar(u'\n') + QString::number(rate) + QChar(u'\n') + text;
}

} // namespace

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

template <typename Action>
void RowSpeaker::withRowVoice(SpeechVoice& voice, const RowCells& row, SpeechRates rates,
                              Action action) {
    const ConfiguredVoice configured = readConfiguredVoice(m_settingsPath, row.speaker);
    const CategorisedVoices voices = listVoiceCategories(m_engine, voice);
    const TokenCollection& ordinary = voices.ordinary;
    const int ordinal = speakerOrdinal(row.speaker);

    NoMessages noMessages;
    bool noMessageAgain = true;
    RowVoiceChoice choice(voice, m_quiet ? noMessages : m_messages,
                          m_quiet ? noMessageAgain : m_fallbackMessageShown);
    if (configured.name.isEmpty()) {
        // Nothing chosen yet (a first run): the speaker's own voice, without a word.
        choice.selectSpeakerDefault(ordinary, row.language, ordinal);
    } else if (isOfOtherLanguage(configured, row.language)) {
        choice.selectSpeakerDefault(ordinary, row.language, ordinal);
        choice.showOncePerRun(QStringLiteral("設定された音声は%1の行を読めないため、\r\n代替音声で"
                                             "読み上げます。\r\n音声: ")
                                  .arg(languageInJapanese(row.language)) +
                              configured.name);
    } else {
        bool found = false;
        if (equalsIgnoringAsciiCase(configured.type, kVoiceTypeOneCore)) {
            found = choice.selectByName(voices.oneCore, configured.name,
                                        QStringLiteral("このOneCore音声は使用できません。\r\n"));
        } else if (equalsIgnoringAsciiCase(configured.type, kVoiceTypeSapi)) {
            found = choice.selectByName(ordinary, configured.name,
                                        QStringLiteral("この音声は使用できません。\r\n"));
        }
        if (!found) {
            choice.selectSpeakerDefault(ordinary, row.language, ordinal);
            choice.showOncePerRun(
                QStringLiteral(
                    "設定された音声が見つからないため、\r\n代替音声で読み上げます。\r\n音声: ") +
                configured.name);
        }
    }

    try {
        voice.setRate(rates.forLanguage(row.language));
        action(voice, choice.used());
    } catch (const std::exception& error) {
        const QString failed = choice.used().isEmpty() ? kEngineDefaultVoice : choice.used();
        choice.selectSpeakerDefault(ordinary, row.language, ordinal, choice.used());
        choice.showOncePerRun(
            QStringLiteral(
                "設定された音声が使用できないため、\r\n代替音声で読み上げます。\r\n音声: ") +
            failed + QStringLiteral("\r\nエラー: ") + errorText(error));
        voice.setRate(rates.forLanguage(row.language));
        action(voice, choice.used());
    }
}

void RowSpeaker::speak(const RowCells& row, SpeechRates rates) {
    const EngineOperation operation(m_engine);
    // The previous voice object is silent by now; letting it go first means a failure below
    // leaves no stale voice whose finished state could be taken for this row's.
    m_voice.reset();
    m_voice = m_engine.createVoice();
    withRowVoice(*m_voice, row, rates, [&row](SpeechVoice& voice, const QString&) {
        voice.speak(row.text, kSpeakAsync);
    });
}

qint64 RowSpeaker::measureMs(const RowCells& row, SpeechRates rates) {
    const EngineOperation operation(m_engine);
    const std::unique_ptr<SpeechVoice> voice = m_engine.createVoice();
    qint64 length = 0;
    withRowVoice(*voice, row, rates, [&](SpeechVoice& chosen, const QString& used) {
        const QString key = measureKey(used, rates.forLanguage(row.language), row.text);
        if (const auto known = m_measured.constFind(key); known != m_measured.cend()) {
            length = *known;
            return;
        }
        length = chosen.synthesize(row.text).durationMs();
        if (m_measured.size() >= kMaxMeasuredLines)
            m_measured.clear();
        m_measured.insert(key, length);
    });
    return length;
}

SynthesizedAudio RowSpeaker::synthesize(const RowCells& row, SpeechRates rates) {
    const EngineOperation operation(m_engine);
    const std::unique_ptr<SpeechVoice> voice = m_engine.createVoice();
    SynthesizedAudio audio;
    withRowVoice(*voice, row, rates,
                 [&](SpeechVoice& chosen, const QString&) { audio = chosen.synthesize(row.text); });
    return audio;
}

void RowSpeaker::prepare(const RowCells& row, SpeechRates rates) {
    // The voice is chosen as speak() would choose it, quietly; the voice object serves only for
    // the choice. Only a hint: the row's own turn reports whatever goes wrong.
    const QScopedValueRollback quiet(m_quiet, true);
    try {
        const EngineOperation operation(m_engine);
        const std::unique_ptr<SpeechVoice> voice = m_engine.createVoice();
        withRowVoice(*voice, row, rates,
                     [&row](SpeechVoice& chosen, const QString&) { chosen.prepare(row.text); });
    } catch (const std::exception&) {
    }
}

} // namespace lessora
