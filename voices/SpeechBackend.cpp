#include "voices/SpeechBackend.h"

#include "settings/SettingsFile.h"
#include "settings/SettingsLocation.h"
#include "settings/Speakers.h"
#include "voices/AudioBeeper.h"
#include "voices/EmbeddedSpeechEngine.h"
#include "voices/SynthesisWorker.h"

namespace lessora {

SpeechBackend createSpeechBackend() {
    auto engine = std::make_unique<EmbeddedSpeechEngine>();
    auto beeper = std::make_unique<AudioBeeper>(engine->audioOutput());
    return {std::move(engine), std::move(beeper)};
}

void warmUpSpeakerVoices() {
    // The settings file is read on the synthesis thread too: nothing of this on the caller's.
    SynthesisWorker::instance().post([](SynthesisContext&) {
        QStringList voices;
        try {
            const SettingsFile settings(settingsFilePath());
            for (const QString& key : speakerVoiceKeys())
                voices << settings.readString(kVoiceSection, key, QString());
        } catch (const std::exception&) {
            return; // an unreadable settings file is reported when a line is spoken
        }
        EmbeddedSpeechEngine::warmUp(voices);
    });
}

} // namespace lessora
