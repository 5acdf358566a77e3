#include "playback/RowSpeaker.h"

#include "platform/MessageBoxes.h"
#include "playback/Logging.h"
#include "settings/AsciiCase.h"
#include "settings/LanguageName.h"
#include "settings/SettingsFile.h"
#include "settings/Speakers.h"

#include <QScopedValueRollback>

#include <algorithm>

#include <QCoreApplication>
#include <exception>

namespace lessora {

namespace {

// Lines measured are kept up to this many; a lesson rarely has more learner's lines.
constexpr qsizetype kMaxMeasuredLines = 4096;
// Lines measured ahead, not yet asked for: the next learner's line or two.
constexpr qsizetype kMaxMeasuredAhead = 8;

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
    } catch (const std::exception& error) {
        qCDebug(lcPlayback) << "voice without a readable language, passed over:" << error.what();
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
            } catch (const std::exception& error) {
                qCInfo(lcPlayback) << "voice refused:" << description << error.what();
                m_messages.showMessage(refusedMessage + description);
                return false;
            }
        }
        return false;
    }

    // The speaker's own voice of the row's language: the ordinal-th voice of that language in
    // the engine's order, counted round when there are fewer. A voice that cannot be used, or
    // the one to avoid, passes the turn to the next of the language; while the language has a
    // voice of another synthesiser (the "Vendor" attribute), the avoided voice's synthesiser is
    // passed over too, since its program is likely as broken for the next voice. Without any
    // voice of the language the object keeps the voice it has.
    void selectSpeakerDefault(const TokenCollection& ordinary, const QString& rowLanguage,
                              int ordinal, const QString& avoid = {}) {
        QList<VoiceTokenPtr> ofLanguage;
        QString avoidVendor;
        for (int i = 0; i < ordinary.count(); ++i) {
            VoiceTokenPtr token = ordinary.item(i);
            if (!avoid.isEmpty() && equalsIgnoringAsciiCase(token->description(), avoid))
                avoidVendor = token->attribute(QStringLiteral("Vendor"));
            if (equalsIgnoringAsciiCase(languageOfToken(*token), rowLanguage))
                ofLanguage << std::move(token);
        }
        const auto otherVendor = [&](const VoiceTokenPtr& token) {
            return token->attribute(QStringLiteral("Vendor")) != avoidVendor;
        };
        if (!avoidVendor.isEmpty() &&
            std::any_of(ofLanguage.begin(), ofLanguage.end(), otherVendor))
            ofLanguage.removeIf([&](const VoiceTokenPtr& token) { return !otherVendor(token); });
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
            } catch (const std::exception& error) {
                // A voice that cannot be used is passed over like one of another language.
                qCInfo(lcPlayback) << "default voice passed over:" << description << error.what();
            }
        }
    }

    // The fallback messages share one flag: at most one of them per run. Each names the voice
    // that was configured; the voice settings window shows the one that speaks instead.
    void showOncePerRun(const QString& message) {
        if (m_fallbackMessageShown)
            return;
        m_fallbackMessageShown = true;
        m_messages.showMessage(message);
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

QString unusableVoiceMessage(const QString& failedVoice, const QString& error) {
    return QCoreApplication::translate(
               "Playback",
               "設定された音声が使用できないため、\r\n代替音声で読み上げます。\r\n音声: ") +
           (failedVoice.isEmpty() ? QCoreApplication::translate("Playback", "(既定の音声)")
                                  : failedVoice) +
           QCoreApplication::translate("Playback", "\r\nエラー: ") + error;
}

} // namespace

RowSpeaker::RowSpeaker(SpeechEngine& engine, MessageBoxes& messages, QString settingsPath)
    : m_engine(engine)
    , m_messages(messages)
    , m_settingsPath(std::move(settingsPath)) {}

RowSpeaker::~RowSpeaker() = default;

int RowSpeaker::runningState() {
    if (!m_voice)
        return kRunningStateNone;
    const int state = m_voice->runningState();
    if (state == kRunningStateNone && m_spoken && m_spoken->again)
        return kRunningStateSpeaking; // spoken again; the engine has not begun yet
    if (state != kRunningStateDone || !m_spoken || m_spoken->fellBack)
        return state;
    const QString error = m_voice->utteranceError();
    if (error.isEmpty())
        return state;
    // Taken up once: whatever happens below, a later call finds the row done or spoken again.
    m_spoken->fellBack = true;
    try {
        const EngineOperation operation(m_engine);
        std::unique_ptr<SpeechVoice> voice = createLineVoice();
        m_spoken->voice = fallBack(*voice, *m_spoken, error);
        voice->speak(m_spoken->row.text, kSpeakAsync);
        m_voice = std::move(voice);
    } catch (const std::exception& fallbackError) {
        // The default voice cannot speak it either: the row is over.
        qCWarning(lcPlayback) << "row not spoken, default voice failed too:"
                              << fallbackError.what();
        return kRunningStateDone;
    }
    m_spoken->again = true;
    return runningState();
}

void RowSpeaker::setLineEvents(QObject* receiver, std::function<void()> started,
                               std::function<void()> ended) {
    m_receiver = receiver;
    m_started = std::move(started);
    m_ended = std::move(ended);
}

std::unique_ptr<SpeechVoice> RowSpeaker::createLineVoice() {
    std::unique_ptr<SpeechVoice> voice = m_engine.createVoice();
    const quint64 line = ++m_line;
    if (m_receiver) {
        const auto forward = [this, line](const std::function<void()>& handler) {
            return [this, line, handler] {
                if (line == m_line && handler)
                    handler();
            };
        };
        SpeechVoiceEvents& events = voice->events();
        QObject::connect(&events, &SpeechVoiceEvents::utteranceStarted, m_receiver,
                         forward(m_started), Qt::QueuedConnection);
        QObject::connect(&events, &SpeechVoiceEvents::utteranceEnded, m_receiver, forward(m_ended),
                         Qt::QueuedConnection);
    }
    return voice;
}

void RowSpeaker::silence() {
    ++m_line;         // the end of what is silenced is no line's end
    m_spoken.reset(); // what fails from now on was cut short anyway
    if (m_voice)
        m_voice->speak(QString(), kSpeakAsync | kSpeakPurge);
}

QString RowSpeaker::fallBack(SpeechVoice& voice, const Turn& failed, const QString& error) {
    RowVoiceChoice choice(voice, m_messages, m_fallbackMessageShown);
    choice.selectSpeakerDefault(voice.voices(), failed.row.language,
                                speakerOrdinal(failed.row.speaker), failed.voice);
    choice.showOncePerRun(unusableVoiceMessage(failed.voice, error));
    voice.setRate(failed.rates.forLanguage(failed.row.language));
    return choice.used();
}

template <typename Action>
RowSpeaker::Turn RowSpeaker::withRowVoice(SpeechVoice& voice, const RowCells& row,
                                          SpeechRates rates, Action action) {
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
        // A voice that cannot read the row's language gives way to the speaker's own voice of
        // that language without a word.
        choice.selectSpeakerDefault(ordinary, row.language, ordinal);
    } else {
        bool found = false;
        if (equalsIgnoringAsciiCase(configured.type, kVoiceTypeOneCore)) {
            found = choice.selectByName(
                voices.oneCore, configured.name,
                QCoreApplication::translate("Playback", "このOneCore音声は使用できません。\r\n"));
        } else if (equalsIgnoringAsciiCase(configured.type, kVoiceTypeSapi)) {
            found = choice.selectByName(
                ordinary, configured.name,
                QCoreApplication::translate("Playback", "この音声は使用できません。\r\n"));
        }
        if (!found) {
            choice.selectSpeakerDefault(ordinary, row.language, ordinal);
            choice.showOncePerRun(
                QCoreApplication::translate(
                    "Playback",
                    "設定された音声が見つからないため、\r\n代替音声で読み上げます。\r\n音声: ") +
                configured.name);
        }
    }

    try {
        voice.setRate(rates.forLanguage(row.language));
        action(voice, choice.used());
        return {row, rates, choice.used(), false};
    } catch (const std::exception& error) {
        const QString failed = choice.used();
        choice.selectSpeakerDefault(ordinary, row.language, ordinal, failed);
        choice.showOncePerRun(unusableVoiceMessage(failed, errorText(error)));
        voice.setRate(rates.forLanguage(row.language));
        action(voice, choice.used());
        return {row, rates, choice.used(), true};
    }
}

void RowSpeaker::speak(const RowCells& row, SpeechRates rates) {
    const EngineOperation operation(m_engine);
    // The previous voice object is silent by now; letting it go first means a failure below
    // leaves no stale voice whose finished state could be taken for this row's.
    m_voice.reset();
    m_spoken.reset();
    m_voice = createLineVoice();
    m_spoken = withRowVoice(*m_voice, row, rates, [&row](SpeechVoice& voice, const QString&) {
        voice.speak(row.text, kSpeakAsync);
    });
}

void RowSpeaker::startMeasuring(const RowCells& row, SpeechRates rates) {
    m_measuring.reset();
    const EngineOperation operation(m_engine);
    const std::unique_ptr<SpeechVoice> voice = m_engine.createVoice();
    Measuring measuring;
    measuring.turn =
        withRowVoice(*voice, row, rates, [&](SpeechVoice& chosen, const QString& used) {
            measuring.key = measureKey(used, rates.forLanguage(row.language), row.text);
            if (const auto known = m_measured.constFind(measuring.key); known != m_measured.cend())
                measuring.length = *known;
            else if (PendingLengthPtr ahead = m_ahead.take(measuring.key))
                measuring.pending = std::move(ahead);
            else
                measuring.pending = chosen.measure(row.text);
        });
    m_measuring = std::move(measuring);
}

std::optional<qint64> RowSpeaker::measuredMs() {
    if (!m_measuring)
        return 0;
    Measuring& measuring = *m_measuring;
    if (measuring.length)
        return measuring.length;
    if (!measuring.pending->isDone())
        return std::nullopt;
    try {
        measuring.length = measuring.pending->ms();
    } catch (const std::exception& error) {
        return measuringFailed(errorText(error));
    }
    if (m_measured.size() >= kMaxMeasuredLines)
        m_measured.clear();
    m_measured.insert(measuring.key, *measuring.length);
    return measuring.length;
}

void RowSpeaker::whenMeasured(QObject* receiver, std::function<void()> handler) {
    if (m_measuring && m_measuring->pending && !m_measuring->length) {
        m_measuring->pending->whenDone(receiver, std::move(handler));
        return;
    }
    QMetaObject::invokeMethod(receiver, std::move(handler), Qt::QueuedConnection);
}

std::optional<qint64> RowSpeaker::measuringFailed(const QString& error) {
    Measuring& measuring = *m_measuring;
    measuring.pending.reset();
    if (measuring.turn.fellBack) {
        measuring.length = 0; // no voice can say it: no time to wait for
        return measuring.length;
    }
    measuring.turn.fellBack = true;
    try {
        const EngineOperation operation(m_engine);
        const std::unique_ptr<SpeechVoice> voice = m_engine.createVoice();
        measuring.turn.voice = fallBack(*voice, measuring.turn, error);
        const Turn& turn = measuring.turn;
        measuring.key =
            measureKey(turn.voice, turn.rates.forLanguage(turn.row.language), turn.row.text);
        measuring.pending = voice->measure(turn.row.text);
    } catch (const std::exception& fallbackError) {
        qCWarning(lcPlayback) << "line not measured, default voice failed too:"
                              << fallbackError.what();
        measuring.length = 0;
        return measuring.length;
    }
    return measuredMs();
}

void RowSpeaker::measureAhead(const RowCells& row, SpeechRates rates) {
    // Only a hint, like prepare(): the row's own turn reports whatever goes wrong.
    const QScopedValueRollback quiet(m_quiet, true);
    try {
        const EngineOperation operation(m_engine);
        const std::unique_ptr<SpeechVoice> voice = m_engine.createVoice();
        withRowVoice(*voice, row, rates, [&](SpeechVoice& chosen, const QString& used) {
            const QString key = measureKey(used, rates.forLanguage(row.language), row.text);
            if (m_measured.contains(key) || m_ahead.contains(key))
                return;
            if (m_ahead.size() >= kMaxMeasuredAhead)
                m_ahead.clear();
            m_ahead.insert(key, chosen.measure(row.text));
        });
    } catch (const std::exception& error) {
        qCDebug(lcPlayback) << "not measured ahead (its turn will say why):" << error.what();
    }
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
    } catch (const std::exception& error) {
        qCDebug(lcPlayback) << "not prepared (its turn will say why):" << error.what();
    }
}

} // namespace lessora
