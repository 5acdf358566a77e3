// The Open JTalk voices: one HTS voice, three speakers, with pitch accent.

#include "japanese/OpenJTalkFiles.h"
#include "voices/EmbeddedVoices.h"
#include "voices/OpenJTalkSynth.h"
#include "voices/SynthBackend.h"

namespace lessora {

namespace {

class OpenJTalkBackend : public SynthBackend {
public:
    QString vendor() const override { return QStringLiteral("Open JTalk"); }

    // One HTS voice, three speakers: pitch shifted by half-tones (-fm) and the vocal tract made
    // longer or shorter by the all-pass constant (-a). Takumi is the voice as recorded (about
    // 118 Hz), Kenji four half-tones lower and darker (about 93 Hz), Aoi nine half-tones higher
    // and brighter (about 198 Hz). Their Latin runs are spoken by eSpeak NG with a pitch of
    // their own.
    std::vector<EmbeddedVoice> voices() const override {
        const auto voice = [this](QString description, QString gender,
                                  OpenJTalkVoiceSettings settings, double gainDb,
                                  QByteArray latinVoice, int latinPitch, double latinGainDb) {
            EmbeddedVoice v;
            v.description = std::move(description);
            v.language = QStringLiteral("411");
            v.gender = std::move(gender);
            v.backend = this;
            v.openJTalk = settings;
            v.gainDb = gainDb;
            v.latinVoice = std::move(latinVoice);
            v.pitch = latinPitch; // of the English counterpart
            v.latinGainDb = latinGainDb;
            return v;
        };
        const QString female = QStringLiteral("Female");
        const QString male = QStringLiteral("Male");
        return {
            voice(QStringLiteral("OpenJTalk Takumi - Japanese (Japan)"), male, {0.0, 0.55, 1.0},
                  4.0, "gmw/en-US+m3", 50, -0.9),
            voice(QStringLiteral("OpenJTalk Kenji - Japanese (Japan)"), male, {-4.0, 0.60, 1.0},
                  4.6, "gmw/en-US+m7", 35, -0.9),
            voice(QStringLiteral("OpenJTalk Aoi - Japanese (Japan)"), female, {9.0, 0.45, 1.1}, 3.0,
                  "gmw/en-US+f4", 55, -2.3),
        };
    }

    // It needs three packages: the program, its dictionary and the voice.
    bool isInstalled() const override { return OpenJTalkSynth::available(); }
    QString missingVoicePackage() const override {
        return OpenJTalkSynth::installation().lacksVoice() ? kOpenJTalkVoicePackage : QString();
    }
    bool usesEspeak() const override { return true; }
    // Each sentence is a run of the program, which takes a while to start.
    bool preparesLinesAhead() const override { return true; }

    int sampleRate(SynthesisContext&) const override { return OpenJTalkSynth::kSampleRate; }

    void load(SynthesisContext& context, const EmbeddedVoice& voice) const override {
        context.stateOf<OpenJTalkSynth>(*this).startAhead(voice.openJTalk);
    }

    void speak(SynthesisContext& context, const EmbeddedVoice& voice, double speed,
               const QString& text, const SampleHandler& handler) const override {
        context.stateOf<OpenJTalkSynth>(*this).speak(voice.openJTalk, speed, text, handler);
    }

    // Open JTalk is given kanji as written where the reading keeps the dictionary's, so that
    // its accent stays.
    QList<ReadingSegment> segments(const QString& piece) const override {
        return openJTalkSegments(piece);
    }
    QString reading(const QString& text) const override { return openJTalkReading(text); }
    // The pronunciation of Open JTalk's own analysis (one run of the program per sentence).
    QString spokenReading(const QString& text) const override {
        OpenJTalkSynth synth;
        QString reading;
        for (const ReadingSegment& segment : openJTalkSegments(text)) {
            if (segment.kind == ReadingSegment::Kind::Latin)
                reading += segment.text;
            else
                reading += synth.analyse(segment.text);
        }
        return reading;
    }
    bool analysesAccent() const override { return true; }
    // Kanji as written where the dictionary's reading stands, numbers and words read by a rule
    // in katakana, as the voices are given them; Latin runs as phrases without marks.
    QList<AccentPhrase> accent(const QString& text) const override {
        QList<AccentPhrase> phrases;
        OpenJTalkSynth synth;
        for (const ReadingSegment& segment : openJTalkSegments(text)) {
            if (segment.kind != ReadingSegment::Kind::Latin)
                phrases << synth.analyseAccent(segment.text);
            else if (const QString words = segment.text.trimmed(); !words.isEmpty())
                phrases.append({{words}, 0, {}, true});
        }
        return phrases;
    }
    // It reads with its own dictionary.
    QString readingProblem() const override { return {}; }
};

} // namespace

const SynthBackend& openJTalkBackend() {
    static const OpenJTalkBackend backend;
    return backend;
}

} // namespace lessora
