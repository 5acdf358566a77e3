#include "voices/SpeechEngine.h"

namespace lessora {

CategorisedVoices listVoiceCategories(SpeechEngine& engine, SpeechVoice& voice) {
    CategorisedVoices voices;
    voices.ordinary = voice.voices();
    const std::unique_ptr<VoiceCategory> category = engine.createVoiceCategory();
    category->setId(kOneCoreVoicesCategory, false);
    voices.oneCore = category->enumerateTokens();
    return voices;
}

} // namespace lessora
