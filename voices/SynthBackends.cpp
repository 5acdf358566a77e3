#include "voices/SynthBackend.h"

namespace lessora {

// Each in a file of its own.
const SynthBackend& fliteBackend();
const SynthBackend& openJTalkBackend();
const SynthBackend& espeakBackend();

const std::vector<const SynthBackend*>& synthBackends() {
    static const std::vector<const SynthBackend*> backends = {
        &fliteBackend(),
        &openJTalkBackend(), // before espeak-ng, for its pitch accent
        &espeakBackend(),
    };
    return backends;
}

} // namespace lessora
