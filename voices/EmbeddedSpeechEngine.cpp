#include "voices/EmbeddedSpeechEngine.h"

#include "settings/AsciiCase.h"
#include "settings/LanguageName.h"
#include "voices/AudioDevice.h"
#include "voices/EmbeddedVoices.h"
#include "voices/SynthesisWorker.h"

#include <mutex>
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
            return m_voice.synth == EmbeddedVoice::Synth::Flite       ? QStringLiteral("Flite")
                   : m_voice.synth == EmbeddedVoice::Synth::OpenJTalk ? QStringLiteral("Open JTalk")
                                                                      : QStringLiteral("eSpeak NG");
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
        throw SpeechError(QStringLiteral("Open JTalk の音声がインストールされていません"));
    if (voice.synth == EmbeddedVoice::Synth::Flite)
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
        throw SpeechError(QStringLiteral("eSpeak NG の音声データが見つかりません"));
}

void checkRate(int rate) {
    if (rate < -10 || rate > 10)
        throw SpeechError(QStringLiteral("話す速さは -10 から 10 までです: %1").arg(rate));
}

// Synthesises into the utterance on the worker; a call with no samples asks whether to go on.
void synthesizeInto(SynthesisContext& context, const std::shared_ptr<AudioOutput>& output,
                    const UtterancePtr& utterance, const EmbeddedVoice& voice, const QString& text,
                    int rate) {
    QString error;
    if (!utterance->cancelRequested) {
        try {
            synthesizeVoice(context, voice, text, rate, output->sampleRate(),
                            [&](const qint16* samples, qint64 count) {
                                if (utterance->cancelRequested)
                                    return false;
                                if (count > 0)
                                    output->append(utterance, samples, count);
                                return true;
                            });
        } catch (const SpeechError& e) {
            error = e.message();
        } catch (const std::exception& e) {
            error = QString::fromLocal8Bit(e.what());
        }
    }
    output->finishSynthesis(utterance, error);
}

} // namespace

// The line that comes next, synthesised ahead while the current one plays (SpeechVoice::
// prepare). Only for the voices that take long to start (Open JTalk runs a program); one line
// at a time: preparing another, speaking another or silencing stops it.
class PreparedSpeech {
public:
    struct Key {
        const EmbeddedVoice* voice = nullptr;
        QString text;
        int rate = 0;
        bool operator==(const Key&) const = default;
    };

    explicit PreparedSpeech(int sampleRate)
        : m_sampleRate(sampleRate) {}

    void prepare(const Key& key) {
        std::lock_guard lock(m_mutex);
        if (m_entry && m_entry->key == key)
            return;
        dropLocked();
        auto entry = std::make_shared<Entry>();
        entry->key = key;
        m_entry = entry;
        const int sampleRate = m_sampleRate;
        SynthesisWorker::instance().post([entry, sampleRate](SynthesisContext& context) {
            std::vector<qint16> samples;
            QString error;
            if (!entry->cancelled) {
                try {
                    synthesizeVoice(context, *entry->key.voice, entry->key.text, entry->key.rate,
                                    sampleRate, [&](const qint16* data, qint64 count) {
                                        if (entry->cancelled)
                                            return false;
                                        samples.insert(samples.end(), data, data + count);
                                        return true;
                                    });
                } catch (const SpeechError& e) {
                    error = e.message();
                } catch (const std::exception& e) {
                    error = QString::fromLocal8Bit(e.what());
                }
            }
            std::lock_guard lock(entry->mutex);
            entry->samples = std::move(samples);
            entry->error = error;
            entry->done = true;
        });
    }

    // Starts the utterance from what was prepared for this key: at once when it is ready, else
    // on the worker right after the preparation (which is ahead of it there). False when
    // nothing was prepared for it; what was prepared for another line is dropped.
    bool start(const Key& key, const std::shared_ptr<AudioOutput>& output,
               const UtterancePtr& utterance) {
        std::shared_ptr<Entry> entry;
        {
            std::lock_guard lock(m_mutex);
            if (!m_entry || !(m_entry->key == key)) {
                dropLocked();
                return false;
            }
            entry = std::move(m_entry);
        }
        if (deliver(*entry, output, utterance))
            return true;
        SynthesisWorker::instance().post([entry, output, utterance](SynthesisContext& context) {
            if (!deliver(*entry, output, utterance))
                synthesizeInto(context, output, utterance, *entry->key.voice, entry->key.text,
                               entry->key.rate);
        });
        return true;
    }

    void drop() {
        std::lock_guard lock(m_mutex);
        dropLocked();
    }

private:
    struct Entry {
        Key key;
        std::atomic<bool> cancelled = false;
        std::mutex mutex;
        bool done = false;
        std::vector<qint16> samples;
        QString error;
    };

    // Hands a finished preparation to the output; false when it is not finished (or was cut
    // short), so that the line is synthesised as usual.
    static bool deliver(Entry& entry, const std::shared_ptr<AudioOutput>& output,
                        const UtterancePtr& utterance) {
        std::lock_guard lock(entry.mutex);
        if (!entry.done || entry.cancelled)
            return false;
        if (entry.error.isEmpty() && !entry.samples.empty())
            output->append(utterance, entry.samples.data(), qint64(entry.samples.size()));
        output->finishSynthesis(utterance, entry.error);
        return true;
    }

    void dropLocked() {
        if (m_entry)
            m_entry->cancelled = true; // its program is killed within a few milliseconds
        m_entry.reset();
    }

    const int m_sampleRate;
    std::mutex m_mutex;
    std::shared_ptr<Entry> m_entry;
};

namespace {

// Queues the utterance on the output and has the worker synthesise it, or takes what was
// prepared for it.
UtterancePtr startUtterance(const std::shared_ptr<AudioOutput>& output, PreparedSpeech& prepared,
                            quint64 owner, const EmbeddedVoice& voice, const QString& text,
                            int rate) {
    UtterancePtr utterance = output->enqueue(owner);
    if (prepared.start({&voice, text, rate}, output, utterance))
        return utterance;
    SynthesisWorker::instance().post(
        [output, utterance, &voice, text, rate](SynthesisContext& context) {
            synthesizeInto(context, output, utterance, voice, text, rate);
        });
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
            throw SpeechError(QStringLiteral("音声のカテゴリが見つかりません: %1").arg(id));
        m_known = true;
    }
    TokenCollection enumerateTokens() override {
        if (!m_known)
            throw SpeechError(QStringLiteral("音声のカテゴリが設定されていません"));
        return {};
    }

private:
    bool m_known = false;
};

constexpr qsizetype kLongestPreparedLine = 1000;

class EmbeddedVoiceObject : public SpeechVoice {
public:
    EmbeddedVoiceObject(std::shared_ptr<AudioOutput> output,
                        std::shared_ptr<PreparedSpeech> prepared, bool drivenByCaller)
        : m_output(std::move(output))
        , m_prepared(std::move(prepared))
        , m_drivenByCaller(drivenByCaller)
        , m_owner(AudioOutput::newOwner()) {}

    // A voice object that goes away takes its speech with it.
    ~EmbeddedVoiceObject() override { m_output->cancel(m_owner); }

    TokenCollection voices() override { return ordinaryVoices(); }

    void setVoice(const VoiceTokenPtr& token) override {
        const auto* embedded = dynamic_cast<const EmbeddedToken*>(token.get());
        if (!embedded)
            throw SpeechError(QStringLiteral("この音声はこのエンジンでは使用できません"));
        ensureUsable(embedded->voice());
        m_voice = &embedded->voice();
    }

    void setRate(int rate) override {
        checkRate(rate);
        m_rate = rate;
    }

    void speak(const QString& text, int flags) override {
        if (flags & kSpeakPurge)
            m_output->cancel(m_owner);
        if (text.isEmpty()) {
            if (flags & kSpeakPurge)
                m_prepared->drop();
            m_spoken = true;
            return;
        }
        const EmbeddedVoice& voice = m_voice ? *m_voice : defaultVoiceFor(text);
        ensureUsable(voice);
        m_spoken = true;
        forgetFinished();
        UtterancePtr utterance =
            startUtterance(m_output, *m_prepared, m_owner, voice, text, m_rate);
        m_utterances.push_back(utterance);
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

    void prepare(const QString& text) override {
        // A very long line is not held whole in memory ahead: it streams when its turn comes.
        if (text.isEmpty() || text.size() > kLongestPreparedLine)
            return;
        const EmbeddedVoice& voice = m_voice ? *m_voice : defaultVoiceFor(text);
        if (voice.synth == EmbeddedVoice::Synth::OpenJTalk && isInstalled(voice))
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

private:
    void forgetFinished() {
        std::erase_if(m_utterances,
                      [this](const UtterancePtr& u) { return m_output->isFinished(u); });
    }

    std::shared_ptr<AudioOutput> m_output;
    std::shared_ptr<PreparedSpeech> m_prepared;
    bool m_drivenByCaller;
    quint64 m_owner;
    const EmbeddedVoice* m_voice = nullptr; // null: chosen by the text's script
    int m_rate = 0;
    bool m_spoken = false;
    std::vector<UtterancePtr> m_utterances;
};

} // namespace

SynthesizedAudio synthesizeToMemory(const QString& voiceDescription, const QString& text,
                                    int rate) {
    const EmbeddedVoice* voice = findEmbeddedVoice(voiceDescription);
    if (!voice)
        throw SpeechError(QStringLiteral("音声が見つかりません: %1").arg(voiceDescription));
    checkRate(rate);
    return synthesizeVoiceToMemory(*voice, text, rate);
}

EmbeddedSpeechEngine::EmbeddedSpeechEngine(EmbeddedEngineOptions options) {
    std::shared_ptr<const AudioClock> clock =
        options.clock ? options.clock : std::make_shared<SteadyAudioClock>();
    auto silent = std::make_unique<SilentPcmSink>(clock, kSpeechSampleRate);
    if (options.output == EmbeddedEngineOptions::Output::Silent) {
        m_output = std::make_shared<AudioOutput>(std::move(silent), kSpeechSampleRate, clock);
    } else {
        auto device = std::make_unique<PulsePcmSink>(kSpeechSampleRate);
        const bool reachable = device->connect();
        m_hasDevice = true;
        m_output = std::make_shared<AudioOutput>(std::move(device), kSpeechSampleRate, clock);
        // Without a sound server speech goes on in silence, and tries the server again at
        // the start of each line.
        m_output->setFallbackSink(std::move(silent), !reachable);
    }
    m_prepared = std::make_shared<PreparedSpeech>(kSpeechSampleRate);
    if (options.pumpThread) {
        m_pumpThread = std::make_unique<AudioPumpThread>(*m_output);
        m_output->setWakeHandler([thread = m_pumpThread.get()] { thread->wake(); });
        m_pumpThread->start();
    }
}

EmbeddedSpeechEngine::~EmbeddedSpeechEngine() {
    m_prepared->drop();
    m_output->cancelAll();
    waitForSynthesis(); // no job may still be writing when the output shuts down
    if (m_pumpThread) {
        m_output->setWakeHandler(nullptr);
        m_pumpThread.reset(); // shuts the output down on its own thread
    }
    m_output->shutdown();
}

std::unique_ptr<SpeechVoice> EmbeddedSpeechEngine::createVoice() {
    return std::make_unique<EmbeddedVoiceObject>(m_output, m_prepared, m_pumpThread == nullptr);
}

std::unique_ptr<VoiceCategory> EmbeddedSpeechEngine::createVoiceCategory() {
    return std::make_unique<EmbeddedCategory>();
}

bool EmbeddedSpeechEngine::isSilent() const {
    return !m_hasDevice || m_output->onFallback();
}

QString EmbeddedSpeechEngine::availabilityNote() const {
    return isSilent() ? QStringLiteral("音声出力装置が見つかりません") : QString();
}

void EmbeddedSpeechEngine::warmUp(const QStringList& voiceDescriptions) {
    static std::mutex mutex;
    static std::set<const EmbeddedVoice*> warmed; // guarded by mutex
    std::lock_guard lock(mutex);
    for (const QString& description : voiceDescriptions) {
        const EmbeddedVoice* voice = findEmbeddedVoice(description);
        if (!voice || !warmed.insert(voice).second)
            continue;
        SynthesisWorker::instance().post(
            [voice](SynthesisContext& context) { warmUpVoice(context, *voice); });
    }
}

QStringList EmbeddedSpeechEngine::preferredVoices(const QString& language) const {
    QStringList descriptions;
    if (!equalsIgnoringAsciiCase(language, kLanguageEnglish) &&
        !equalsIgnoringAsciiCase(language, kLanguageJapanese))
        return descriptions;
    for (const EmbeddedVoice* voice :
         lessora::preferredVoices(equalsIgnoringAsciiCase(language, kLanguageJapanese)))
        descriptions << voice->description;
    return descriptions;
}

void EmbeddedSpeechEngine::waitForSynthesis() {
    SynthesisWorker::instance().runAndWait([](SynthesisContext&) {});
}

} // namespace lessora
