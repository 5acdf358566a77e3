#include "voices/SpeechEngine.h"

namespace lessora {

SynthesizedAudio SpeechVoice::synthesize(const QString&) {
    throw SpeechError(QStringLiteral("この音声エンジンは音声をファイルに書き出せません"));
}

CategorisedVoices listVoiceCategories(SpeechEngine& engine, SpeechVoice& voice) {
    CategorisedVoices voices;
    voices.ordinary = voice.voices();
    const std::unique_ptr<VoiceCategory> category = engine.createVoiceCategory();
    category->setId(kOneCoreVoicesCategory, false);
    voices.oneCore = category->enumerateTokens();
    return voices;
}

} // namespace lessora
