// Flite's English voices.

#include "voices/EmbeddedVoices.h"
#include "voices/FliteSynth.h"
#include "voices/SynthBackend.h"

namespace lessora {

namespace {

class FliteBackend : public SynthBackend {
public:
    QString vendor() const override { return QStringLiteral("Flite"); }

    std::vector<EmbeddedVoice> voices() const override {
        const auto voice = [this](QString description, QString language, QString gender,
                                  QByteArray name, double gainDb) {
            EmbeddedVoice v;
            v.description = std::move(description);
            v.language = std::move(language);
            v.gender = std::move(gender);
            v.backend = this;
            v.synthVoice = std::move(name);
            v.gainDb = gainDb;
            return v;
        };
        const QString us = QStringLiteral("409");
        const QString gb = QStringLiteral("809");
        const QString female = QStringLiteral("Female");
        const QString male = QStringLiteral("Male");
        return {
            voice(QStringLiteral("Flite Slt - English (United States)"), us, female, "cmu_us_slt",
                  -5.0),
            voice(QStringLiteral("Flite Rms - English (United States)"), us, male, "cmu_us_rms",
                  0.5),
            voice(QStringLiteral("Flite Awb - English (United Kingdom)"), gb, male, "cmu_us_awb",
                  0.2),
            voice(QStringLiteral("Flite Kal - English (United States)"), us, male, "cmu_us_kal16",
                  8.1),
        };
    }

    int sampleRate(SynthesisContext&) const override { return FliteSynth::kSampleRate; }

    void load(SynthesisContext& context, const EmbeddedVoice& voice) const override {
        context.stateOf<FliteSynth>(*this).load(voice.synthVoice);
    }

    void speak(SynthesisContext& context, const EmbeddedVoice& voice, double speed,
               const QString& text, const SampleHandler& handler) const override {
        context.stateOf<FliteSynth>(*this).speak(voice.synthVoice, speed, text, handler);
    }
};

} // namespace

const SynthBackend& fliteBackend() {
    static const FliteBackend backend;
    return backend;
}

} // namespace lessora
