#include "support/FakeSpeechEngine.h"

#include <cmath>
#include <utility>

namespace lessora::test {

namespace {

class FakeToken : public VoiceToken {
public:
    FakeToken(FakeSpeechEngine& engine, const FakeVoice& voice)
        : m_engine(engine)
        , m_voice(voice) {}

    QString description() const override {
        m_engine.maybeFail(FakeOp::GetDescription);
        return m_voice.description;
    }
    QString attribute(const QString& name) const override {
        m_engine.maybeFail(FakeOp::GetAttribute);
        if (!m_voice.attributeError.isEmpty())
            throw SpeechError(m_voice.attributeError);
        if (name.compare(u"Vendor", Qt::CaseInsensitive) == 0)
            return m_voice.vendor;
        return name.compare(u"Language", Qt::CaseInsensitive) == 0 ? m_voice.language : QString();
    }
    const FakeVoice& voice() const { return m_voice; }

private:
    FakeSpeechEngine& m_engine;
    const FakeVoice& m_voice;
};

class FakeVoiceObject : public SpeechVoice {
public:
    FakeVoiceObject(FakeSpeechEngine& engine, std::shared_ptr<FakeSpeechEngine::VoiceState> state,
                    bool startsAtOnce)
        : m_engine(engine)
        , m_state(std::move(state))
        , m_startsAtOnce(startsAtOnce) {
        m_state->events = &events();
    }
    ~FakeVoiceObject() override { m_state->events = nullptr; }

    TokenCollection voices() override {
        m_engine.maybeFail(FakeOp::GetVoices);
        return m_engine.tokens(false);
    }
    void setVoice(const VoiceTokenPtr& token) override {
        m_engine.maybeFail(FakeOp::SetVoice);
        const auto* fake = dynamic_cast<const FakeToken*>(token.get());
        if (!fake)
            throw SpeechError(QStringLiteral("not a voice of this engine"));
        if (!fake->voice().setVoiceError.isEmpty())
            throw SpeechError(fake->voice().setVoiceError);
        m_state->voice = fake->voice().description;
    }
    void setRate(int rate) override {
        m_engine.maybeFail(FakeOp::SetRate);
        m_state->rate = rate;
    }
    void speak(const QString& text, int flags) override {
        if (text.isEmpty() && (flags & kSpeakPurge)) {
            ++m_engine.silenced;
            const bool cutShort = m_state->runningState == kRunningStateSpeaking || m_state->queued;
            if (cutShort)
                m_state->runningState = kRunningStateDone;
            m_state->queued = false;
            m_state->error.clear();
            if (cutShort)
                m_state->emitEnded();
            return;
        }
        m_engine.maybeFail(FakeOp::Speak);
        if (const FakeVoice* voice = m_engine.voiceByDescription(m_state->voice);
            voice && !voice->speakError.isEmpty())
            throw SpeechError(voice->speakError);
        m_engine.spoken.append({text, m_state->voice, m_state->rate, flags});
        m_state->queued = false;
        m_state->error.clear();
        if (!(flags & kSpeakAsync)) {
            m_state->runningState = kRunningStateDone;
        } else if (text.isEmpty()) {
            m_state->runningState = kRunningStateDone;
            m_state->emitEnded(); // nothing to say: over at once
        } else if (m_startsAtOnce) {
            m_state->runningState = kRunningStateSpeaking;
            m_state->emitStarted();
        } else {
            m_state->queued = true;
            m_state->runningState = kRunningStateNone;
        }
    }
    int runningState() override {
        m_engine.maybeFail(FakeOp::RunningState);
        return m_state->runningState;
    }
    QString utteranceError() override {
        return m_state->runningState == kRunningStateDone ? m_state->error : QString();
    }
    PendingLengthPtr measure(const QString& text) override {
        startSynthesis(text);
        return m_engine.startMeasurement(qint64(text.size()) * m_engine.msPerCharacter);
    }
    SynthesizedAudio synthesize(const QString& text) override {
        if (m_engine.whileSynthesizing)
            m_engine.whileSynthesizing();
        startSynthesis(text);
        SynthesizedAudio audio;
        audio.sampleRate = FakeSpeechEngine::kSampleRate;
        const qsizetype count =
            qsizetype(text.size()) * m_engine.msPerCharacter * audio.sampleRate / 1000;
        audio.samples.resize(count);
        // A 400 Hz tone at -12 dBFS, so that speech and silence can be told apart.
        for (qsizetype i = 0; i < count; ++i)
            audio.samples[i] =
                qint16(8192 * std::sin(2 * M_PI * 400 * double(i) / audio.sampleRate));
        return audio;
    }

private:
    // What a synthesis to memory and a measurement share: their failures and their record.
    void startSynthesis(const QString& text) {
        m_engine.maybeFail(FakeOp::Synthesize);
        if (const FakeVoice* voice = m_engine.voiceByDescription(m_state->voice);
            voice && !voice->speakError.isEmpty())
            throw SpeechError(voice->speakError);
        m_engine.synthesized.append({text, m_state->voice, m_state->rate, 0});
    }

    FakeSpeechEngine& m_engine;
    std::shared_ptr<FakeSpeechEngine::VoiceState> m_state;
    bool m_startsAtOnce;
};

class FakeCategory : public VoiceCategory {
public:
    explicit FakeCategory(FakeSpeechEngine& engine)
        : m_engine(engine) {}
    void setId(const QString& id, bool) override {
        m_engine.maybeFail(FakeOp::SetId);
        m_id = id;
    }
    TokenCollection enumerateTokens() override {
        m_engine.maybeFail(FakeOp::EnumerateTokens);
        return m_id == kOneCoreVoicesCategory ? m_engine.tokens(true) : TokenCollection();
    }

private:
    FakeSpeechEngine& m_engine;
    QString m_id;
};

} // namespace

void FakeSpeechEngine::VoiceState::emitStarted() const {
    if (events)
        emit events->utteranceStarted();
}

void FakeSpeechEngine::VoiceState::emitEnded() const {
    if (events)
        emit events->utteranceEnded();
}

FakeSpeechEngine::FakeSpeechEngine() = default;
FakeSpeechEngine::~FakeSpeechEngine() = default;

FakeVoice& FakeSpeechEngine::addVoice(const QString& description, const QString& language,
                                      bool oneCore) {
    m_voices.push_back(
        std::make_unique<FakeVoice>(FakeVoice{description, language, oneCore, {}, {}, {}}));
    return *m_voices.back();
}

void FakeSpeechEngine::failOperation(FakeOp op, const QString& message, int times) {
    m_failures.insert(static_cast<int>(op), {message, times});
}

void FakeSpeechEngine::maybeFail(FakeOp op) {
    auto it = m_failures.find(static_cast<int>(op));
    if (it == m_failures.end())
        return;
    const QString message = it->first;
    if (it->second > 0 && --it->second == 0)
        m_failures.erase(it);
    throw SpeechError(message);
}

const FakeVoice* FakeSpeechEngine::voiceByDescription(const QString& description) const {
    for (const auto& voice : m_voices) {
        if (voice->description == description)
            return voice.get();
    }
    return nullptr;
}

TokenCollection FakeSpeechEngine::tokens(bool oneCore) const {
    QList<VoiceTokenPtr> list;
    for (const auto& voice : m_voices) {
        if (voice->oneCore == oneCore)
            list << std::make_shared<FakeToken>(const_cast<FakeSpeechEngine&>(*this), *voice);
    }
    return TokenCollection(list);
}

std::unique_ptr<SpeechVoice> FakeSpeechEngine::createVoice() {
    maybeFail(FakeOp::CreateVoice);
    ++voicesCreated;
    auto state = std::make_shared<VoiceState>();
    for (const auto& voice : m_voices) {
        if (!voice->oneCore) {
            state->voice = voice->description; // the default voice
            break;
        }
    }
    m_voiceStates.push_back(state);
    return std::make_unique<FakeVoiceObject>(*this, state, m_startsAtOnce);
}

std::unique_ptr<VoiceCategory> FakeSpeechEngine::createVoiceCategory() {
    maybeFail(FakeOp::CreateTokenCategory);
    return std::make_unique<FakeCategory>(*this);
}

void FakeSpeechEngine::beginOperation() {
    ++operationsBegun;
    ++operationDepth;
}

void FakeSpeechEngine::endOperation() {
    --operationDepth;
}

void FakeSpeechEngine::startSpeech() {
    for (const auto& weak : m_voiceStates) {
        if (auto state = weak.lock(); state && state->queued) {
            state->queued = false;
            state->runningState = kRunningStateSpeaking;
            state->emitStarted();
        }
    }
}

void FakeSpeechEngine::finishSpeech() {
    for (const auto& weak : m_voiceStates) {
        if (auto state = weak.lock();
            state && (state->runningState == kRunningStateSpeaking || state->queued)) {
            state->queued = false;
            state->runningState = kRunningStateDone;
            state->emitEnded();
        }
    }
}

void FakeSpeechEngine::failSpeech(const QString& message) {
    for (const auto& weak : m_voiceStates) {
        if (auto state = weak.lock();
            state && (state->runningState == kRunningStateSpeaking || state->queued)) {
            state->queued = false;
            state->runningState = kRunningStateDone;
            state->error = message;
            state->emitEnded();
        }
    }
}

PendingLengthPtr FakeSpeechEngine::startMeasurement(qint64 ms) {
    auto length = std::make_shared<PendingLength>();
    if (m_measurementsWait)
        m_waitingMeasurements.append({length, ms});
    else
        length->finish(ms);
    return length;
}

void FakeSpeechEngine::finishMeasurements() {
    for (const auto& [length, ms] : std::exchange(m_waitingMeasurements, {}))
        length->finish(ms);
}

void FakeSpeechEngine::failMeasurements(const QString& message) {
    for (const auto& [length, ms] : std::exchange(m_waitingMeasurements, {}))
        length->fail(message);
}

bool FakeSpeechEngine::isSpeaking() const {
    for (const auto& weak : m_voiceStates) {
        if (auto state = weak.lock(); state && state->runningState == kRunningStateSpeaking)
            return true;
    }
    return false;
}

} // namespace lessora::test
