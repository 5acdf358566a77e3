#include "voices/SpeechBackend.h"

namespace lessora {

namespace {
// Stands in until the embedded voices are built: no voices, nothing is heard.
class SilentVoice : public SpVoice {
public:
    TokenCollection GetVoices() override { return {}; }
    void SetVoice(const VoiceTokenPtr&) override {}
    void SetRate(int) override {}
    void Speak(const QString&, int) override { m_state = kRunningStateDone; }
    int RunningState() override { return m_state; }

private:
    int m_state = kRunningStateNone;
};

class EmptyCategory : public TokenCategory {
public:
    void SetId(const QString&, bool) override {}
    TokenCollection EnumerateTokens() override { return {}; }
};

class SilentEngine : public SpeechEngine {
public:
    std::unique_ptr<SpVoice> CreateVoice() override { return std::make_unique<SilentVoice>(); }
    std::unique_ptr<TokenCategory> CreateTokenCategory() override {
        return std::make_unique<EmptyCategory>();
    }
};

class SilentBeeper : public Beeper {
public:
    void beep() override {}
};
} // namespace

SpeechBackend createSpeechBackend() {
    return {std::make_unique<SilentEngine>(), std::make_unique<SilentBeeper>()};
}

} // namespace lessora
