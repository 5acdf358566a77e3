#include "settings/Speakers.h"

#include "settings/AsciiCase.h"

namespace lessora {

const QList<Speaker>& speakers() {
    // Spelled out rather than taken from the language-name constants: callers may ask during
    // static initialisation, when those may not be initialised yet.
    static const QList<Speaker> all = {
        {QStringLiteral("A"), QStringLiteral("English"), QStringLiteral("SpeakerA_English")},
        {QStringLiteral("Q"), QStringLiteral("Japanese"), QStringLiteral("SpeakerA_Japanese")},
        {QStringLiteral("B"), QStringLiteral("English"), QStringLiteral("SpeakerB_English")},
        {QStringLiteral("R"), QStringLiteral("Japanese"), QStringLiteral("SpeakerB_Japanese")},
        {QStringLiteral("C"), QStringLiteral("English"), QStringLiteral("SpeakerC_English")},
        {QStringLiteral("S"), QStringLiteral("Japanese"), QStringLiteral("SpeakerC_Japanese")},
    };
    return all;
}

const Speaker* speakerOfCode(QStringView code) {
    for (const Speaker& speaker : speakers()) {
        if (equalsIgnoringAsciiCase(code, speaker.code))
            return &speaker;
    }
    return nullptr;
}

const QStringList& speakerVoiceKeys() {
    static const QStringList keys = [] {
        QStringList list;
        for (const Speaker& speaker : speakers())
            list << speaker.voiceKey;
        return list;
    }();
    return keys;
}

} // namespace lessora
