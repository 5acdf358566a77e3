#include "voices/EmbeddedSpeechEngine.h"

#include "audio/AudioDevice.h"
#include "settings/AsciiCase.h"
#include "settings/LanguageName.h"
#include "voices/EmbeddedVoices.h"
#include "voices/Logging.h"
#include "voices/SynthesisWorker.h"

#include <QCoreApplication>
#include <algorithm>
#include <deque>
#include <mutex>
#include <optional>
#include <set>

namespace lessora {

namespace {

class EmbeddedToken : public VoiceToken {
public:
    explicit EmbeddedToken(const EmbeddedVoice& voice)
        : m_voice(voice) {}
    QString description() const override { return m_voice.description; }
    QString attribute(const QString& name) const override {
        if (equalsIgnoringAsciiCase(name, QStringLiteral("Language")))
            return m_voice.language;
        if (equalsIgnoringAsciiCase(name, QStringLiteral("Gender")))
            return m_voice.gender;
        if (equalsIgnoringAsciiCase(name, QStringLiteral("Name")))
            return m_voice.description.section(QStringLiteral(" - "), 0, 0);
        if (equalsIgnoringAsciiCase(name, QStringLiteral("Vendor")))
            return m_voice.backend->vendor();
        return {};
    }
    const EmbeddedVoice& voice() const { return m_voice; }

private:
    const EmbeddedVoice& m_voice;
};

TokenCollection ordinaryVoices() {
    QList<VoiceTokenPtr> tokens;
    for (const EmbeddedVoice& voice : embeddedVoices())
        if (isInstalled(voice))
            tokens << std::make_shared<EmbeddedToken>(voice);
    return TokenCollection(tokens);
}

// Whether the voice's synthesiser can speak on this machine (espeak-ng needs its data files).
void ensureUsable(const EmbeddedVoice& voice) {
    if (!isInstalled(voice))
        throw SpeechError(
            QCoreApplication::translate("Voices", "Open JTalk の音声がインストールされていません"));
    if (!voice.backend->usesEspeak())
        return;
    static std::mutex mutex;
    static std::optional<bool> espeakAvailable;
    std::lock_guard lock(mutex);
    if (!espeakAvailable) {
        bool available = false;
        SynthesisWorker::instance().runAndWait(
            [&available](SynthesisContext& context) { available = context.espeak.available(); });
        espeakAvailable = available;
    }
    if (!*espeakAvailable)
        throw SpeechError(
            QCoreApplication::translate("Voices", "eSpeak NG の音声データが見つかりません"));
}

// Has the worker load the voice, once per process.
void warmUpOnce(const EmbeddedVoice& voice) {
    static std::mutex mutex;
    static std::set<const EmbeddedVoice*> warmed; // guarded by mutex
    std::lock_guard lock(mutex);
    if (!warmed.insert(&voice).second)
        return;
    SynthesisWorker::instance().post(
        [&voice](SynthesisContext& context) { warmUpVoice(context, voice); });
}

void checkRate(int rate) {
    if (rate < -10 || rate > 10)
        throw SpeechError(
            QCoreApplication::translate("Voices", "話す速さは -10 から 10 までです: %1").arg(rate));
}

// The longest line held whole in memory ahead of its turn; a longer one streams when it comes.
constexpr qsizetype kLongestPreparedLine = 1000;

qint64 durationMsOf(qint64 samples) {
    return samples * 1000 / kSpeechSampleRate;
}

QString messageOf(const std::exception& error) {
    if (const auto* speechError = dynamic_cast<const SpeechError*>(&error))
        return speechError->message();
    return QString::fromLocal8Bit(error.what());
}

} // namespace

// Lines synthesised into memory ahead of their turn, and the lengths of the lines synthesised
// lately, shared by the engine's voice objects. A line is prepared to be spoken (SpeechVoice::
// prepare: the next line of a lesson while the current one plays, for the voices that take
// long to start) or to be measured (SpeechVoice::measure: a learner's line, whose length sets
// the answer gap); speaking or measuring it later takes what is there instead of synthesising
// it again. A few lines at a time; silencing drops those no measurement waits for.
class PreparedSpeech : public std::enable_shared_from_this<PreparedSpeech> {
public:
    struct Key {
        const EmbeddedVoice* voice = nullptr;
        QString text;
        int rate = 0;
        bool operator==(const Key&) const = default;
    };

    void prepare(const Key& key) {
        std::lock_guard lock(m_mutex);
        prepareLocked(key);
    }

    PendingLengthPtr measure(const Key& key) {
        auto length = std::make_shared<PendingLength>();
        std::lock_guard lock(m_mutex);
        if (key.text.isEmpty()) {
            length->finish(0);
        } else if (const auto known = std::find_if(m_lengths.begin(), m_lengths.end(),
                                                   [&](const auto& l) { return l.first == key; });
                   known != m_lengths.end()) {
            length->finish(known->second);
        } else if (key.text.size() > kLongestPreparedLine) {
            postCounting(key, length); // too long to hold: only counted
        } else {
            const std::shared_ptr<Entry> entry = prepareLocked(key);
            std::lock_guard entryLock(entry->mutex);
            if (entry->done)
                settle(*entry, *length);
            else
                entry->measurements.push_back(length);
        }
        return length;
    }

    // Starts the utterance from what was prepared for this key: at once when it is ready, else
    // as soon as its synthesis ends. False when nothing was prepared for it.
    bool start(const Key& key, const std::shared_ptr<AudioOutput>& output,
               const UtterancePtr& utterance) {
        std::shared_ptr<Entry> entry;
        {
            std::lock_guard lock(m_mutex);
            const auto found = std::find_if(m_entries.begin(), m_entries.end(),
                                            [&](const auto& e) { return e->key == key; });
            if (found == m_entries.end())
                return false;
            entry = *found;
            m_entries.erase(found);
        }
        std::lock_guard entryLock(entry->mutex);
        entry->output = output;
        entry->utterance = utterance;
        if (entry->done)
            deliver(*entry);
        return true;
    }

    // The length of a line synthesised for speaking, for a measurement that comes later.
    void remember(const Key& key, qint64 samples) {
        std::lock_guard lock(m_mutex);
        std::erase_if(m_lengths, [&](const auto& l) { return l.first == key; });
        m_lengths.emplace_back(key, durationMsOf(samples));
        if (m_lengths.size() > kRememberedLengths)
            m_lengths.pop_front();
    }

    void drop() {
        std::lock_guard lock(m_mutex);
        std::erase_if(m_entries, [](const std::shared_ptr<Entry>& entry) {
            std::lock_guard entryLock(entry->mutex);
            if (!entry->measurements.empty())
                return false;        // a measurement waits for it: it ends as usual
            entry->cancelled = true; // its program is killed within a few milliseconds
            return true;
        });
    }

private:
    struct Entry {
        Key key;
        std::atomic<bool> cancelled = false;
        std::mutex mutex; // guards the fields below
        bool done = false;
        std::vector<qint16> samples;
        QString error;
        std::vector<PendingLengthPtr> measurements; // waiting for its length
        std::shared_ptr<AudioOutput> output;        // where it is to be spoken, once started
        UtterancePtr utterance;

        // Nobody needs it any more: dropped, or its utterance silenced, with no measurement
        // waiting.
        bool unwanted() {
            std::lock_guard lock(mutex);
            return cancelled || (utterance && utterance->cancelRequested && measurements.empty());
        }
    };

    static constexpr size_t kEntries = 3;
    static constexpr size_t kRememberedLengths = 64;

    std::shared_ptr<Entry> prepareLocked(const Key& key) {
        const auto found = std::find_if(m_entries.begin(), m_entries.end(),
                                        [&](const auto& e) { return e->key == key; });
        if (found != m_entries.end())
            return *found;
        auto entry = std::make_shared<Entry>();
        entry->key = key;
        m_entries.push_back(entry);
        if (m_entries.size() > kEntries) {
            const std::shared_ptr<Entry> oldest = m_entries.front();
            m_entries.erase(m_entries.begin());
            std::lock_guard entryLock(oldest->mutex);
            if (oldest->measurements.empty())
                oldest->cancelled = true;
        }
        SynthesisWorker::instance().post([self = shared_from_this(),
                                          entry](SynthesisContext& context) {
            std::vector<qint16> samples;
            QString error;
            if (!entry->unwanted()) {
                try {
                    synthesizeVoice(context, *entry->key.voice, entry->key.text, entry->key.rate,
                                    kSpeechSampleRate, [&](const qint16* data, qint64 count) {
                                        if (entry->unwanted())
                                            return false;
                                        samples.insert(samples.end(), data, data + count);
                                        return true;
                                    });
                } catch (const std::exception& e) {
                    error = messageOf(e);
                }
            }
            const bool whole = !entry->unwanted();
            if (!error.isEmpty() && !whole) // nobody is told: it is no longer wanted
                qCWarning(lcVoices).noquote()
                    << "a line prepared ahead failed:" << entry->key.voice->description << error;
            if (whole && error.isEmpty())
                self->remember(entry->key, qint64(samples.size()));
            std::lock_guard lock(entry->mutex);
            entry->samples = std::move(samples);
            entry->error = whole ? error : QString();
            entry->done = true;
            for (const PendingLengthPtr& length : entry->measurements)
                settle(*entry, *length);
            entry->measurements.clear();
            if (entry->utterance)
                deliver(*entry);
        });
        return entry;
    }

    // Counts the samples of a line without keeping them; stops when nobody waits any more.
    void postCounting(const Key& key, const PendingLengthPtr& length) {
        SynthesisWorker::instance().post([self = shared_from_this(), key,
                                          weak = std::weak_ptr(length)](SynthesisContext& context) {
            qint64 count = 0;
            try {
                synthesizeVoice(context, *key.voice, key.text, key.rate, kSpeechSampleRate,
                                [&](const qint16*, qint64 n) {
                                    count += n;
                                    return !weak.expired();
                                });
                if (const PendingLengthPtr waiting = weak.lock()) {
                    self->remember(key, count);
                    waiting->finish(durationMsOf(count));
                }
            } catch (const std::exception& e) {
                if (const PendingLengthPtr waiting = weak.lock())
                    waiting->fail(messageOf(e));
                else
                    qCWarning(lcVoices).noquote()
                        << "measuring a line nobody waits for failed:" << key.voice->description
                        << messageOf(e);
            }
        });
    }

    // With the entry's mutex held.
    static void settle(const Entry& entry, PendingLength& length) {
        if (entry.error.isEmpty())
            length.finish(durationMsOf(qint64(entry.samples.size())));
        else
            length.fail(entry.error);
    }

    // Hands the finished line to the output. With the entry's mutex held.
    static void deliver(Entry& entry) {
        if (entry.error.isEmpty() && !entry.samples.empty() && !entry.utterance->cancelRequested)
            entry.output->append(entry.utterance, entry.samples.data(),
                                 qint64(entry.samples.size()));
        entry.output->finishSynthesis(entry.utterance, entry.error);
        std::vector<qint16>().swap(entry.samples);
    }

    std::mutex m_mutex; // guards the fields below; taken before an entry's
    std::vector<std::shared_ptr<Entry>> m_entries; // oldest first
    std::deque<std::pair<Key, qint64>> m_lengths;  // in ms, oldest first
};

namespace {

// A line synthesised for speaking, a piece at a time, each piece a job of the worker: between
// pieces the worker is free for other work (the next line prepared, a lesson written to a file)
// while the ear catches up with a long line, instead of waiting inside it.
struct StreamedLine {
    std::shared_ptr<AudioOutput> output;
    std::shared_ptr<PreparedSpeech> prepared;
    UtterancePtr utterance;
    PreparedSpeech::Key key;
    std::optional<LineSynthesis> line; // made on the worker, with its first piece
    qint64 count = 0;                  // samples so far
};

// The next piece of the line; a call with no samples asks whether to go on. The length of a
// line synthesised whole is remembered for a measurement that may follow.
void synthesizeNextPiece(const std::shared_ptr<StreamedLine>& streamed, SynthesisContext& context) {
    StreamedLine& s = *streamed;
    QString error;
    bool goOn = !s.utterance->cancelRequested;
    if (goOn) {
        try {
            if (!s.line)
                s.line.emplace(*s.key.voice, s.key.text, s.key.rate, s.output->sampleRate());
            goOn = s.line->next(context, [&s](const qint16* samples, qint64 n) {
                if (s.utterance->cancelRequested)
                    return false;
                if (n > 0)
                    s.output->append(s.utterance, samples, n);
                s.count += n;
                return true;
            });
        } catch (const std::exception& e) {
            error = messageOf(e);
            goOn = false;
        }
    }
    if (goOn && !s.line->atEnd()) {
        s.output->whenRoom(s.utterance, [streamed] {
            SynthesisWorker::instance().post(
                [streamed](SynthesisContext& context) { synthesizeNextPiece(streamed, context); });
        });
        return;
    }
    if (error.isEmpty() && !s.utterance->cancelRequested)
        s.prepared->remember(s.key, s.count);
    s.output->finishSynthesis(s.utterance, error);
}

// Queues the utterance on the output and has the worker synthesise it, or takes what was
// prepared for it.
UtterancePtr startUtterance(const std::shared_ptr<AudioOutput>& output,
                            const std::shared_ptr<PreparedSpeech>& prepared, quint64 owner,
                            const std::shared_ptr<UtteranceListener>& listener,
                            const PreparedSpeech::Key& key) {
    UtterancePtr utterance = output->enqueue(owner, listener);
    if (prepared->start(key, output, utterance))
        return utterance;
    auto streamed = std::make_shared<StreamedLine>();
    streamed->output = output;
    streamed->prepared = prepared;
    streamed->utterance = utterance;
    streamed->key = key;
    SynthesisWorker::instance().post(
        [streamed](SynthesisContext& context) { synthesizeNextPiece(streamed, context); });
    return utterance;
}

SynthesizedAudio synthesizeVoiceToMemory(const EmbeddedVoice& voice, const QString& text,
                                         int rate) {
    SynthesizedAudio audio;
    audio.sampleRate = kSpeechSampleRate;
    SynthesisWorker::instance().runAndWait([&](SynthesisContext& context) {
        synthesizeVoice(context, voice, text, rate, kSpeechSampleRate,
                        [&](const qint16* samples, qint64 count) {
                            const qsizetype start = audio.samples.size();
                            audio.samples.resize(start + count);
                            std::copy_n(samples, count, audio.samples.begin() + start);
                            return true;
                        });
    });
    return audio;
}

// Only the second kind of voice is asked for by name; it does not exist here, so it is empty.
class EmbeddedCategory : public VoiceCategory {
public:
    void setId(const QString& id, bool) override {
        if (!equalsIgnoringAsciiCase(id, kOneCoreVoicesCategory))
            throw SpeechError(
                QCoreApplication::translate("Voices", "音声のカテゴリが見つかりません: %1")
                    .arg(id));
        m_known = true;
    }
    TokenCollection enumerateTokens() override {
        if (!m_known)
            throw SpeechError(
                QCoreApplication::translate("Voices", "音声のカテゴリが設定されていません"));
        return {};
    }

private:
    bool m_known = false;
};

// Passes the output's news of a voice object's utterances on as its signals. The output tells
// it on the thread that learns it (the output's, the synthesiser's or the caller's) with its
// lock held, so the signal is posted to the events object's own thread; the voice object cuts
// the link before it goes away.
class VoiceEventsRelay : public UtteranceListener {
public:
    explicit VoiceEventsRelay(SpeechVoiceEvents& events)
        : m_events(&events) {}

    void started() override { post(&SpeechVoiceEvents::utteranceStarted); }
    void ended() override { post(&SpeechVoiceEvents::utteranceEnded); }
    void detach() {
        std::lock_guard lock(m_mutex);
        m_events = nullptr;
    }

private:
    void post(void (SpeechVoiceEvents::*signal)()) {
        std::lock_guard lock(m_mutex);
        if (!m_events)
            return;
        // Dropped by Qt if the events object is destroyed before it arrives.
        QMetaObject::invokeMethod(
            m_events, [events = m_events, signal] { (events->*signal)(); }, Qt::QueuedConnection);
    }

    std::mutex m_mutex; // guards m_events against the voice object going away meanwhile
    SpeechVoiceEvents* m_events;
};

class EmbeddedVoiceObject : public SpeechVoice {
public:
    EmbeddedVoiceObject(std::shared_ptr<AudioOutput> output,
                        std::shared_ptr<PreparedSpeech> prepared, bool drivenByCaller)
        : m_output(std::move(output))
        , m_prepared(std::move(prepared))
        , m_drivenByCaller(drivenByCaller)
        , m_owner(AudioOutput::newOwner())
        , m_relay(std::make_shared<VoiceEventsRelay>(events())) {}

    // A voice object that goes away takes its speech with it.
    ~EmbeddedVoiceObject() override {
        m_output->cancel(m_owner);
        m_relay->detach();
    }

    TokenCollection voices() override { return ordinaryVoices(); }

    void setVoice(const VoiceTokenPtr& token) override {
        const auto* embedded = dynamic_cast<const EmbeddedToken*>(token.get());
        if (!embedded)
            throw SpeechError(
                QCoreApplication::translate("Voices", "この音声はこのエンジンでは使用できません"));
        ensureUsable(embedded->voice());
        m_voice = &embedded->voice();
    }

    void setRate(int rate) override {
        checkRate(rate);
        m_rate = rate;
    }

    void speak(const QString& text, int flags) override {
        if (flags & kSpeakPurge) {
            m_output->cancel(m_owner);
            m_last.reset(); // silenced: no failure of it is reported any more
        }
        if (text.isEmpty()) {
            if (flags & kSpeakPurge)
                m_prepared->drop();
            else
                m_relay->ended(); // an utterance with nothing to say ends at once
            m_spoken = true;
            return;
        }
        const EmbeddedVoice& voice = m_voice ? *m_voice : defaultVoiceFor(text);
        ensureUsable(voice);
        m_spoken = true;
        forgetFinished();
        UtterancePtr utterance =
            startUtterance(m_output, m_prepared, m_owner, m_relay, {&voice, text, m_rate});
        m_utterances.push_back(utterance);
        m_last = utterance;
        if (flags & kSpeakAsync)
            return;
        m_output->waitFinished(utterance, m_drivenByCaller);
        if (const QString error = m_output->errorOf(utterance); !error.isEmpty())
            throw SpeechError(error);
    }

    SynthesizedAudio synthesize(const QString& text) override {
        const EmbeddedVoice& voice = m_voice ? *m_voice : defaultVoiceFor(text);
        ensureUsable(voice);
        return synthesizeVoiceToMemory(voice, text, m_rate);
    }

    PendingLengthPtr measure(const QString& text) override {
        const EmbeddedVoice& voice = m_voice ? *m_voice : defaultVoiceFor(text);
        ensureUsable(voice);
        return m_prepared->measure({&voice, text, m_rate});
    }

    void prepare(const QString& text) override {
        if (text.isEmpty())
            return;
        const EmbeddedVoice& voice = m_voice ? *m_voice : defaultVoiceFor(text);
        if (!isInstalled(voice))
            return;
        // Each voice is loaded when a line of it comes up first, while the line before plays.
        warmUpOnce(voice);
        // A very long line is not held whole in memory ahead: it streams when its turn comes.
        if (voice.backend->preparesLinesAhead() && text.size() <= kLongestPreparedLine)
            m_prepared->prepare({&voice, text, m_rate});
    }

    int runningState() override {
        if (m_drivenByCaller)
            m_output->pump();
        if (!m_spoken)
            return kRunningStateNone;
        forgetFinished();
        return m_utterances.empty() ? kRunningStateDone : kRunningStateSpeaking;
    }

    QString utteranceError() override {
        return m_last && m_output->isFinished(m_last) ? m_output->errorOf(m_last) : QString();
    }

private:
    void forgetFinished() {
        std::erase_if(m_utterances,
                      [this](const UtterancePtr& u) { return m_output->isFinished(u); });
    }

    std::shared_ptr<AudioOutput> m_output;
    std::shared_ptr<PreparedSpeech> m_prepared;
    bool m_drivenByCaller;
    quint64 m_owner;
    std::shared_ptr<VoiceEventsRelay> m_relay;
    const EmbeddedVoice* m_voice = nullptr; // null: chosen by the text's script
    int m_rate = 0;
    bool m_spoken = false;
    std::vector<UtterancePtr> m_utterances;
    UtterancePtr m_last; // the latest utterance with text, for its error
};

} // namespace

SynthesizedAudio synthesizeToMemory(const QString& voiceDescription, const QString& text,
                                    int rate) {
    const EmbeddedVoice* voice = findEmbeddedVoice(voiceDescription);
    if (!voice)
        throw SpeechError(QCoreApplication::translate("Voices", "音声が見つかりません: %1")
                              .arg(voiceDescription));
    checkRate(rate);
    return synthesizeVoiceToMemory(*voice, text, rate);
}

EmbeddedSpeechEngine::EmbeddedSpeechEngine(EmbeddedEngineOptions options) {
    std::shared_ptr<const AudioClock> clock =
        options.clock ? options.clock : std::make_shared<SteadyAudioClock>();
    auto silent = std::make_unique<SilentPcmSink>(clock, kSpeechSampleRate);
    if (options.output == EmbeddedEngineOptions::Output::Silent) {
        m_output = std::make_shared<AudioOutput>(
            options.makeSink ? options.makeSink() : std::move(silent), kSpeechSampleRate, clock);
    } else {
        auto device = std::make_unique<PulsePcmSink>(kSpeechSampleRate);
        const bool reachable = device->connect();
        m_hasDevice = true;
        m_output = std::make_shared<AudioOutput>(std::move(device), kSpeechSampleRate, clock);
        // Without a sound server speech goes on in silence, and tries the server again at
        // the start of each line.
        m_output->setFallbackSink(std::move(silent), !reachable);
    }
    m_prepared = std::make_shared<PreparedSpeech>();
    if (options.pumpThread) {
        m_pump = std::make_unique<AudioPump>(*m_output);
        m_output->setWakeHandler([pump = m_pump.get()] { pump->wake(); });
    }
}

EmbeddedSpeechEngine::~EmbeddedSpeechEngine() {
    m_prepared->drop();
    m_output->cancelAll();
    waitForSynthesis(); // no job may still be writing when the output shuts down
    if (m_pump) {
        m_output->setWakeHandler(nullptr); // the sound server's callbacks included
        m_pump.reset();                    // shuts the output down once its thread has ended
    }
    m_output->shutdown();
}

std::unique_ptr<SpeechVoice> EmbeddedSpeechEngine::createVoice() {
    return std::make_unique<EmbeddedVoiceObject>(m_output, m_prepared, m_pump == nullptr);
}

std::unique_ptr<VoiceCategory> EmbeddedSpeechEngine::createVoiceCategory() {
    return std::make_unique<EmbeddedCategory>();
}

bool EmbeddedSpeechEngine::isSilent() const {
    return !m_hasDevice || m_output->onFallback();
}

QString EmbeddedSpeechEngine::availabilityNote() const {
    return isSilent() ? QCoreApplication::translate("Voices", "音声出力装置が見つかりません")
                      : QString();
}

QString EmbeddedSpeechEngine::missingVoicePackage() const {
    for (const SynthBackend* backend : synthBackends()) {
        if (const QString package = backend->missingVoicePackage(); !package.isEmpty())
            return package;
    }
    return {};
}

void EmbeddedSpeechEngine::warmUp(const QStringList& voiceDescriptions) {
    for (const QString& description : voiceDescriptions) {
        if (const EmbeddedVoice* voice = findEmbeddedVoice(description))
            warmUpOnce(*voice);
    }
}

void EmbeddedSpeechEngine::waitForSynthesis() {
    SynthesisWorker::instance().runAndWait([](SynthesisContext&) {});
}

} // namespace lessora
