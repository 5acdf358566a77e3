#pragma once

#include "voices/SpeechEngine.h"

#include <QHash>
#include <QList>
#include <functional>
#include <memory>
#include <vector>

namespace lessora::test {

// Operations of the engine that a test can make fail.
enum class FakeOp {
    CreateVoice,
    CreateTokenCategory,
    GetVoices,
    SetId,
    EnumerateTokens,
    GetDescription,
    GetAttribute,
    SetVoice,
    SetRate,
    Speak,
    RunningState,
    Synthesize,
};

// A scripted voice. A non-empty error text makes that step fail with it for this voice.
struct FakeVoice {
    QString description;
    QString language; // the "Language" attribute
    bool oneCore = false;
    QString attributeError;
    QString setVoiceError;
    QString speakError;
    QString vendor; // the "Vendor" attribute: the synthesiser
};

// A speech engine for tests: scripted voices in both categories, failures on demand, and
// speech that advances only when the test says so.
class FakeSpeechEngine : public SpeechEngine {
public:
    struct Utterance {
        QString text;
        QString voice; // description of the voice that spoke ("" for the default voice)
        int rate = 0;
        int flags = 0;
    };

    FakeSpeechEngine();
    ~FakeSpeechEngine() override;

    // Adds a voice at the end of its category and returns it for further scripting.
    FakeVoice& addVoice(const QString& description, const QString& language, bool oneCore = false);
    // The operation fails with the message the next `times` calls (-1: every call).
    void failOperation(FakeOp op, const QString& message, int times = -1);
    // When false, an asynchronous Speak leaves the running state at 0 until startSpeech().
    void setSpeechStartsAtOnce(bool atOnce) { m_startsAtOnce = atOnce; }

    // Utterances queued but not started begin speaking (running state 2).
    void startSpeech();
    // Every utterance started or queued ends (running state 1).
    void finishSpeech();
    // Every utterance started or queued fails with the message, as a synthesiser that dies
    // after speak() has returned: it ends, and its voice object reports the error.
    void failSpeech(const QString& message);
    // Each of these, like an asynchronous speak that starts at once and a purge that silences,
    // emits the voice object's utteranceStarted() or utteranceEnded() as the engine does, from
    // the calling thread: receivers connected with queued connections see them once they
    // process their events.

    // When true, measurements (SpeechVoice::measure) wait until the test finishes or fails
    // them; otherwise they are done at once.
    void setMeasurementsWait(bool wait) { m_measurementsWait = wait; }
    void finishMeasurements();
    void failMeasurements(const QString& message);
    int waitingMeasurements() const { return int(m_waitingMeasurements.size()); }
    // True while some voice object reports 2.
    bool isSpeaking() const;

    // Synthesised speech: a tone as long as the text's characters times this, at kSampleRate.
    static constexpr int kSampleRate = 16000;
    int msPerCharacter = 100;
    // Called at each synthesis to memory, on the thread that asks for it: a test may hold a
    // worker there.
    std::function<void()> whileSynthesizing;

    // What happened.
    QList<Utterance> spoken;      // every Speak with text, sync and async
    QList<Utterance> synthesized; // every synthesis to memory
    int silenced = 0;             // speak("", flags with purge)
    int voicesCreated = 0;
    int operationsBegun = 0;
    int operationDepth = 0; // open EngineOperation scopes

    // SpeechEngine
    std::unique_ptr<SpeechVoice> createVoice() override;
    std::unique_ptr<VoiceCategory> createVoiceCategory() override;
    void beginOperation() override;
    void endOperation() override;
    QString availabilityNote() const override { return availability; }
    QString missingVoicePackage() const override { return missingVoice; }
    // What the two above report.
    QString availability;
    QString missingVoice;

    // Used by the fake's objects.
    void maybeFail(FakeOp op);
    const FakeVoice* voiceByDescription(const QString& description) const;
    TokenCollection tokens(bool oneCore) const;

    struct VoiceState {
        int runningState = kRunningStateNone;
        QString voice;
        int rate = 0;
        bool queued = false;                 // spoken asynchronously, not started yet
        QString error;                       // why the last utterance failed
        SpeechVoiceEvents* events = nullptr; // of the voice object while it lives

        void emitStarted() const;
        void emitEnded() const;
    };

    // Used by the fake's objects.
    PendingLengthPtr startMeasurement(qint64 ms);

private:
    std::vector<std::unique_ptr<FakeVoice>> m_voices;
    QHash<int, std::pair<QString, int>> m_failures; // op -> message, remaining (-1 always)
    std::vector<std::weak_ptr<VoiceState>> m_voiceStates;
    bool m_startsAtOnce = true;
    bool m_measurementsWait = false;
    QList<std::pair<PendingLengthPtr, qint64>> m_waitingMeasurements;
};

} // namespace lessora::test
