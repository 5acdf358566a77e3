#pragma once

#include "platform/AppError.h"

#include <QCoreApplication>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>
#include <memory>
#include <mutex>

namespace lessora {

// A failure of the speech engine; its message is the engine's own text.
class SpeechError : public AppError {
public:
    using AppError::AppError;
};

// Values of SpeechVoice::runningState().
inline constexpr int kRunningStateNone = 0; // nothing has been spoken on this voice object yet
inline constexpr int kRunningStateDone =
    1; // the last utterance has ended (finished, stopped or failed)
inline constexpr int kRunningStateSpeaking =
    2; // from the Speak call until its last sample was played

// Flags of SpeechVoice::speak().
inline constexpr int kSpeakSync = 0;  // returns when the text has been spoken
inline constexpr int kSpeakAsync = 1; // starts speaking and returns at once
inline constexpr int kSpeakPurge = 2; // ends what is being spoken first; speak("", 3) silences

// Identifier of the second voice category, kept as the settings files know it.
inline const QString kOneCoreVoicesCategory =
    QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Speech_OneCore\\Voices");

// One installed voice. Its description is its only identity in the program.
class VoiceToken {
public:
    virtual ~VoiceToken() = default;
    virtual QString description() const = 0;
    // "Language": hexadecimal language identifiers separated by ";" (409 US English, 411 Japanese).
    virtual QString attribute(const QString& name) const = 0;
};
using VoiceTokenPtr = std::shared_ptr<const VoiceToken>;

// A list of voices in the engine's order.
class TokenCollection {
public:
    TokenCollection() = default;
    explicit TokenCollection(QList<VoiceTokenPtr> tokens)
        : m_tokens(std::move(tokens)) {}

    int count() const { return static_cast<int>(m_tokens.size()); }
    VoiceTokenPtr item(int index) const {
        if (index < 0 || index >= count())
            throw SpeechError(
                QCoreApplication::translate("Voices", "音声の番号が範囲外です: %1").arg(index));
        return m_tokens[index];
    }

private:
    QList<VoiceTokenPtr> m_tokens;
};

// Samples of synthesised speech (mono, 16 bit).
struct SynthesizedAudio {
    QVector<qint16> samples;
    int sampleRate = 0;

    qint64 durationMs() const {
        return sampleRate > 0 ? qint64(samples.size()) * 1000 / sampleRate : 0;
    }
};

// How long a text takes to speak, worked out in the background (SpeechVoice::measure): the
// engine fills it in on a thread of its own and emits done() once, from that thread.
// Thread-safe.
class PendingLength : public QObject {
    Q_OBJECT
public:
    bool isDone() const;
    // Once done: the length in milliseconds. Throws SpeechError when the synthesis failed.
    qint64 ms() const;
    // For engines: the outcome, set once; the first of them emits done().
    void finish(qint64 ms);
    void fail(const QString& error);

    // Calls `handler` once on `receiver`'s thread when the length is known or has failed, also
    // when it already is; never after `receiver` is destroyed.
    void whenDone(QObject* receiver, std::function<void()> handler);

signals:
    void done();

private:
    mutable std::mutex m_mutex; // guards the fields below
    bool m_done = false;
    qint64 m_ms = 0;
    QString m_error;
};
using PendingLengthPtr = std::shared_ptr<PendingLength>;

// A voice object: speaks with one voice at a time; a new one speaks with the default voice.
// Every member may fail with SpeechError.
// What a voice object reports while it speaks. Engines emit these from any thread; receivers
// connect to them with queued connections, so the signals arrive on their own thread.
class SpeechVoiceEvents : public QObject {
    Q_OBJECT
signals:
    // The utterance spoken asynchronously has begun to sound (running state "speaking").
    void utteranceStarted();
    // The utterance has ended: its last sample was played, it was silenced or it failed
    // (running state "done"; utteranceError() tells a failure).
    void utteranceEnded();
};

class SpeechVoice {
public:
    virtual ~SpeechVoice() = default;
    // The signals of this object's utterances.
    SpeechVoiceEvents& events() { return m_events; }
    virtual TokenCollection voices() = 0; // the ordinary voices ("SAPI")
    virtual void setVoice(const VoiceTokenPtr& token) = 0;
    virtual void setRate(int rate) = 0; // -2 .. 2 as chosen by the user, 0 normal
    virtual void speak(const QString& text, int flags) = 0;
    virtual int runningState() = 0;
    // Why the last utterance spoken on this object failed, once it has ended (running state
    // "done"): the synthesiser failed or hung after speak() had returned. Empty while it is
    // spoken, when it ended well or was silenced, and before anything was spoken.
    virtual QString utteranceError() { return {}; }
    // Synthesises the text with this object's voice and rate into memory instead of playing
    // it, so that its length is known before it is heard or it can be written to a file.
    // Waits for the synthesis; engines that cannot synthesise to memory throw SpeechError.
    virtual SynthesizedAudio synthesize(const QString& text);
    // Starts working out how long the text takes to speak with this object's voice and rate
    // (the length synthesize() gives) and returns at once; the result outlives this object.
    // Engines that still know a line they prepared or spoke answer from it. A voice that cannot
    // speak at all fails here, as synthesize() does; a failing synthesis fails the result. This
    // default waits for synthesize().
    virtual PendingLengthPtr measure(const QString& text);
    // A hint that `text` comes next with the current voice and rate: the engine may synthesise
    // it now, so that speaking it later (on any voice object of the engine) starts at once.
    // Silencing a voice object drops what was prepared. Never fails.
    virtual void prepare(const QString& /*text*/) {}

private:
    SpeechVoiceEvents m_events;
};

// A voice category; with kOneCoreVoicesCategory it lists the second category of voices ("OneCore").
class VoiceCategory {
public:
    virtual ~VoiceCategory() = default;
    virtual void setId(const QString& id, bool createIfNotExist) = 0;
    virtual TokenCollection enumerateTokens() = 0;
};

// The speech engine: creates voice objects and categories.
class SpeechEngine {
public:
    virtual ~SpeechEngine() = default;
    virtual std::unique_ptr<SpeechVoice> createVoice() = 0;
    virtual std::unique_ptr<VoiceCategory> createVoiceCategory() = 0;

    // Brackets one operation that uses the engine (speaking a row, listing, checking or
    // testing voices). Use EngineOperation rather than calling these directly.
    virtual void beginOperation() {}
    virtual void endOperation() {}

    // A short note for the user about the engine's state, for example that no sound device
    // was found; empty when all is well.
    virtual QString availabilityNote() const { return {}; }
    // The Debian package of a voice whose synthesiser is installed without it, so that the
    // voice is not listed; empty when no voice is missing.
    virtual QString missingVoicePackage() const { return {}; }
};

// Scope of one engine operation; ends it on every path, errors included.
class EngineOperation {
public:
    explicit EngineOperation(SpeechEngine& engine)
        : m_engine(engine) {
        m_engine.beginOperation();
    }
    ~EngineOperation() { m_engine.endOperation(); }
    EngineOperation(const EngineOperation&) = delete;
    EngineOperation& operator=(const EngineOperation&) = delete;

private:
    SpeechEngine& m_engine;
};

// The voices of both kinds: the ordinary voices, as the voice object lists them, then the
// second category's. Engine failures propagate.
struct CategorisedVoices {
    TokenCollection ordinary; // type "SAPI"
    TokenCollection oneCore;  // type "OneCore"
};
CategorisedVoices listVoiceCategories(SpeechEngine& engine, SpeechVoice& voice);

// The voice of that description (ASCII letter case ignored) in the list, or null.
VoiceTokenPtr findVoiceToken(const TokenCollection& voices, const QString& description);

} // namespace lessora
