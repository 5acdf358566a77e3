#include "voices/SpokenAccent.h"

#include "voices/EmbeddedVoices.h"
#include "voices/SynthBackend.h"

namespace lessora {

bool hasAccentAnalysis(const EmbeddedVoice& voice) {
    return voice.backend && voice.backend->analysesAccent();
}

QList<AccentPhrase> spokenAccent(const QString& text) {
    for (const SynthBackend* backend : synthBackends()) {
        if (backend->analysesAccent() && backend->isInstalled())
            return backend->accent(text);
    }
    return {};
}

} // namespace lessora
