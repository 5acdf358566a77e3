// eSpeak NG's voices, English and Japanese (the Japanese ones speak the katakana of the reading).

#include "voices/EmbeddedVoices.h"
#include "voices/SpeechEngine.h"
#include "voices/SynthBackend.h"
#include <QCoreApplication>

namespace lessora {

namespace {

class EspeakBackend : public SynthBackend {
public:
    QString vendor() const override { return QStringLiteral("eSpeak NG"); }

    std::vector<EmbeddedVoice> voices() const override {
        const auto voice = [this](QString description, QString language, QString gender,
                                  QByteArray name, int pitch, int range, double gainDb,
                                  QByteArray latinVoice = {}, double latinGainDb = 0) {
            EmbeddedVoice v;
            v.description = std::move(description);
            v.language = std::move(language);
            v.gender = std::move(gender);
            v.backend = this;
            v.synthVoice = std::move(name);
            v.pitch = pitch;
            v.range = range;
            v.wordsPerMinute = 175;
            v.gainDb = gainDb;
            v.latinVoice = std::move(latinVoice);
            v.latinGainDb = latinGainDb;
            return v;
        };
        const QString us = QStringLiteral("409");
        const QString gb = QStringLiteral("809");
        const QString ja = QStringLiteral("411");
        const QString female = QStringLiteral("Female");
        const QString male = QStringLiteral("Male");
        return {
            voice(QStringLiteral("eSpeak Alex - English (United States)"), us, male, "gmw/en-US",
                  50, 50, 0.0),
            voice(QStringLiteral("eSpeak Fiona - English (United Kingdom)"), gb, female,
                  "gmw/en+f3", 55, 60, -1.3),
            voice(QStringLiteral("eSpeak Kenta - Japanese (Japan)"), ja, male, "ja+m7", 35, 50,
                  -0.2, "gmw/en-US+m7", -0.9),
            voice(QStringLiteral("eSpeak Hiro - Japanese (Japan)"), ja, male, "ja+m3", 70, 50, -0.8,
                  "gmw/en-US+m3", -0.9),
            voice(QStringLiteral("eSpeak Yuki - Japanese (Japan)"), ja, female, "ja+f4", 55, 80,
                  -1.7, "gmw/en-US+f4", -2.3),
        };
    }

    bool usesEspeak() const override { return true; }

    int sampleRate(SynthesisContext& context) const override {
        if (!context.espeak.available())
            throw SpeechError(
                QCoreApplication::translate("Voices", "eSpeak NG の音声データが見つかりません"));
        return context.espeak.sampleRate();
    }

    void load(SynthesisContext& context, const EmbeddedVoice& voice) const override {
        context.espeak.load(voice.synthVoice);
    }

    void speak(SynthesisContext& context, const EmbeddedVoice& voice, double speed,
               const QString& text, const SampleHandler& handler) const override {
        context.espeak.speak({voice.synthVoice, voice.pitch, voice.range, voice.wordsPerMinute},
                             speed, text, handler);
    }
};

} // namespace

const SynthBackend& espeakBackend() {
    static const EspeakBackend backend;
    return backend;
}

} // namespace lessora
