#include "voices/EmbeddedVoices.h"

#include "audio/AudioOutput.h"
#include "audio/Loudness.h"
#include "audio/SampleRateConverter.h"
#include "japanese/JapaneseReading.h"
#include "settings/AsciiCase.h"
#include "voices/SpeechEngine.h"
#include "voices/SpeechPieces.h"
#include "voices/VoicesLog.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace lessora {

namespace {

EmbeddedVoice flite(QString description, QString language, QString gender, QByteArray name,
                    double gainDb) {
    EmbeddedVoice voice;
    voice.description = std::move(description);
    voice.language = std::move(language);
    voice.gender = std::move(gender);
    voice.synth = EmbeddedVoice::Synth::Flite;
    voice.synthVoice = std::move(name);
    voice.gainDb = gainDb;
    return voice;
}

EmbeddedVoice openJTalk(QString description, QString gender, OpenJTalkVoiceSettings settings,
                        double gainDb, QByteArray latinVoice, int latinPitch, double latinGainDb) {
    EmbeddedVoice voice;
    voice.description = std::move(description);
    voice.language = QStringLiteral("411");
    voice.gender = std::move(gender);
    voice.synth = EmbeddedVoice::Synth::OpenJTalk;
    voice.openJTalk = settings;
    voice.gainDb = gainDb;
    voice.latinVoice = std::move(latinVoice);
    voice.pitch = latinPitch; // of the English counterpart
    voice.latinGainDb = latinGainDb;
    return voice;
}

EmbeddedVoice espeak(QString description, QString language, QString gender, QByteArray name,
                     int pitch, int range, int wordsPerMinute, double gainDb,
                     QByteArray latinVoice = {}, double latinGainDb = 0) {
    EmbeddedVoice voice;
    voice.description = std::move(description);
    voice.language = std::move(language);
    voice.gender = std::move(gender);
    voice.synth = EmbeddedVoice::Synth::Espeak;
    voice.synthVoice = std::move(name);
    voice.pitch = pitch;
    voice.range = range;
    voice.wordsPerMinute = wordsPerMinute;
    voice.gainDb = gainDb;
    voice.latinVoice = std::move(latinVoice);
    voice.latinGainDb = latinGainDb;
    return voice;
}

// Gains bring each voice to about -20 dBFS RMS over its voiced parts (measured on a few
// sentences), so that switching speakers does not jump in loudness.
std::vector<EmbeddedVoice> makeVoices() {
    const QString us = QStringLiteral("409");
    const QString gb = QStringLiteral("809");
    const QString ja = QStringLiteral("411");
    const QString female = QStringLiteral("Female");
    const QString male = QStringLiteral("Male");
    return {
        flite(QStringLiteral("Flite Slt - English (United States)"), us, female, "cmu_us_slt",
              -5.0),
        flite(QStringLiteral("Flite Rms - English (United States)"), us, male, "cmu_us_rms", 0.5),
        flite(QStringLiteral("Flite Awb - English (United Kingdom)"), gb, male, "cmu_us_awb", 0.2),
        flite(QStringLiteral("Flite Kal - English (United States)"), us, male, "cmu_us_kal16", 8.1),
        espeak(QStringLiteral("eSpeak Alex - English (United States)"), us, male, "gmw/en-US", 50,
               50, 175, 0.0),
        espeak(QStringLiteral("eSpeak Fiona - English (United Kingdom)"), gb, female, "gmw/en+f3",
               55, 60, 175, -1.3),
        // One HTS voice, three speakers: pitch shifted by half-tones (-fm) and the vocal tract
        // made longer or shorter by the all-pass constant (-a). Takumi is the voice as
        // recorded (about 118 Hz), Kenji four half-tones lower and darker (about 93 Hz), Aoi
        // nine half-tones higher and brighter (about 198 Hz).
        openJTalk(QStringLiteral("OpenJTalk Takumi - Japanese (Japan)"), male, {0.0, 0.55, 1.0},
                  4.0, "gmw/en-US+m3", 50, -0.9),
        openJTalk(QStringLiteral("OpenJTalk Kenji - Japanese (Japan)"), male, {-4.0, 0.60, 1.0},
                  4.6, "gmw/en-US+m7", 35, -0.9),
        openJTalk(QStringLiteral("OpenJTalk Aoi - Japanese (Japan)"), female, {9.0, 0.45, 1.1}, 3.0,
                  "gmw/en-US+f4", 55, -2.3),
        espeak(QStringLiteral("eSpeak Kenta - Japanese (Japan)"), ja, male, "ja+m7", 35, 50, 175,
               -0.2, "gmw/en-US+m7", -0.9),
        espeak(QStringLiteral("eSpeak Hiro - Japanese (Japan)"), ja, male, "ja+m3", 70, 50, 175,
               -0.8, "gmw/en-US+m3", -0.9),
        espeak(QStringLiteral("eSpeak Yuki - Japanese (Japan)"), ja, female, "ja+f4", 55, 80, 175,
               -1.7, "gmw/en-US+f4", -2.3),
    };
}

// Kana, half-width kana or kanji (the rarer ones outside the basic plane included).
bool hasJapaneseScript(const QString& text) {
    for (const char32_t u : text.toUcs4()) {
        if ((u >= 0x3040 && u <= 0x30FF) || (u >= 0x3400 && u <= 0x9FFF) ||
            (u >= 0xFF66 && u <= 0xFF9F) || (u >= 0x20000 && u <= 0x3FFFF))
            return true;
    }
    return false;
}

// Resamples to the output rate, applies the gain and hands the result on.
class OutputStage {
public:
    OutputStage(int inputRate, int outputRate, double gainDb, const SampleHandler& handler)
        : m_converter(inputRate, outputRate)
        , m_gain(float(std::pow(10.0, gainDb / 20.0)))
        , m_handler(handler) {}

    bool push(const qint16* samples, qint64 count) {
        m_converter.process(samples, count, m_buffer);
        return flush();
    }
    bool finish() {
        m_converter.finish(m_buffer);
        return flush();
    }

private:
    bool flush() {
        if (m_buffer.empty())
            return true;
        m_samples.resize(m_buffer.size());
        for (size_t i = 0; i < m_buffer.size(); ++i)
            m_samples[i] = qint16(std::clamp(std::lround(m_buffer[i] * m_gain), -32768L, 32767L));
        m_buffer.clear();
        return m_handler(m_samples.data(), qint64(m_samples.size()));
    }

    SampleRateConverter m_converter;
    float m_gain;
    const SampleHandler& m_handler;
    std::vector<float> m_buffer;
    std::vector<qint16> m_samples;
};

// Drops the near-silence a voice starts with (Flite's voices begin with up to a quarter of a
// second of it), keeping a few milliseconds before the first audible sample so that the onset
// is whole; everything after passes unchanged.
class LeadInTrimmer {
public:
    explicit LeadInTrimmer(int sampleRate)
        : m_preRoll(sampleRate * kPreRollMs / 1000) {}

    bool push(const qint16* samples, qint64 count, const SampleHandler& handler) {
        if (m_heard)
            return handler(samples, count);
        m_held.insert(m_held.end(), samples, samples + count);
        const auto audible = std::find_if(m_held.begin(), m_held.end(), [](qint16 s) {
            return std::abs(s) >= AudioOutput::kAudibleLevel;
        });
        if (audible == m_held.end()) {
            // Only the last few milliseconds can still become the pre-roll.
            if (qint64(m_held.size()) > m_preRoll)
                m_held.erase(m_held.begin(), m_held.end() - m_preRoll);
            return true;
        }
        m_heard = true;
        const auto start = audible - std::min<qint64>(m_preRoll, audible - m_held.begin());
        return handler(&*start, qint64(m_held.end() - start));
    }

private:
    static constexpr int kPreRollMs = 5;
    const qint64 m_preRoll;
    std::vector<qint16> m_held;
    bool m_heard = false;
};

void speakEspeak(EspeakSynth& synth, const EspeakVoiceSettings& settings, double gainDb,
                 double speed, const QString& text, int outputRate, const SampleHandler& handler,
                 bool& stopped) {
    if (!synth.available())
        throw SpeechError(QStringLiteral("eSpeak NG の音声データが見つかりません"));
    OutputStage stage(synth.sampleRate(), outputRate, gainDb, handler);
    synth.speak(settings, speed, text, [&](const qint16* samples, qint64 count) {
        stopped = !stage.push(samples, count);
        return !stopped;
    });
    if (!stopped)
        stopped = !stage.finish();
}

void speakOpenJTalk(OpenJTalkSynth& synth, const EmbeddedVoice& voice, double speed,
                    const QString& text, int outputRate, const SampleHandler& handler,
                    bool& stopped) {
    OutputStage stage(OpenJTalkSynth::kSampleRate, outputRate, voice.gainDb, handler);
    synth.speak(voice.openJTalk, speed, text, [&](const qint16* samples, qint64 count) {
        stopped = count == 0 ? !handler(nullptr, 0) : !stage.push(samples, count);
        return !stopped;
    });
    if (!stopped)
        stopped = !stage.finish();
}

} // namespace

const std::vector<EmbeddedVoice>& embeddedVoices() {
    static const std::vector<EmbeddedVoice> voices = makeVoices();
    return voices;
}

const EmbeddedVoice* findEmbeddedVoice(const QString& description) {
    for (const EmbeddedVoice& voice : embeddedVoices()) {
        if (equalsIgnoringAsciiCase(voice.description, description))
            return &voice;
    }
    return nullptr;
}

bool isInstalled(const EmbeddedVoice& voice) {
    return voice.synth != EmbeddedVoice::Synth::OpenJTalk || OpenJTalkSynth::available();
}

std::vector<const EmbeddedVoice*> preferredVoices(bool japanese) {
    std::vector<const EmbeddedVoice*> result;
    std::optional<EmbeddedVoice::Synth> synth; // the first installed voice's kind
    for (const EmbeddedVoice& voice : embeddedVoices()) {
        if (voice.isJapanese() != japanese || !isInstalled(voice))
            continue;
        if (!synth)
            synth = voice.synth;
        if (voice.synth == *synth || japanese == false)
            result.push_back(&voice);
    }
    return result;
}

const EmbeddedVoice& defaultVoiceFor(const QString& text) {
    const std::vector<const EmbeddedVoice*> preferred = preferredVoices(hasJapaneseScript(text));
    return preferred.empty() ? embeddedVoices().front() : *preferred.front();
}

double speedForRate(int rate) {
    return std::pow(3.0, rate / 10.0);
}

struct LineSynthesis::State {
    State(const EmbeddedVoice& voice, const QString& text, int rate, int outputRate)
        : voice(voice)
        , pieces(speechPieces(text))
        , rate(rate)
        , outputRate(outputRate)
        , trimmer(outputRate) {}
    const EmbeddedVoice& voice;
    const QStringList pieces;
    const int rate;
    const int outputRate;
    LeadInTrimmer trimmer; // the line's leading silence, however many pieces it spans
    qsizetype next = 0;
};

LineSynthesis::LineSynthesis(const EmbeddedVoice& voice, const QString& text, int rate,
                             int outputRate)
    : d(std::make_unique<State>(voice, text, rate, outputRate)) {}

LineSynthesis::~LineSynthesis() = default;

bool LineSynthesis::atEnd() const {
    return d->next >= d->pieces.size();
}

bool LineSynthesis::next(SynthesisContext& context, const SampleHandler& handler) {
    if (atEnd())
        return false;
    const QString& piece = d->pieces[d->next++];
    const EmbeddedVoice& voice = d->voice;
    const int outputRate = d->outputRate;
    const double speed = speedForRate(d->rate);
    bool stopped = false;
    // Brought to the common loudness on the way (SpeechLeveller): its first seconds set the gain
    // (Flite and espeak-ng give their sound in small chunks, Open JTalk a clause at a time), the
    // rest refines it.
    SpeechLeveller leveller(outputRate, [&](const qint16* samples, qint64 count) {
        return d->trimmer.push(samples, count, handler);
    });
    const SampleHandler output = [&](const qint16* samples, qint64 count) {
        // A call without samples only asks whether to go on (Open JTalk waiting for its run).
        stopped = stopped || (count == 0 ? !handler(nullptr, 0) : !leveller.push(samples, count));
        return !stopped;
    };
    if (voice.synth == EmbeddedVoice::Synth::Flite) {
        OutputStage stage(FliteSynth::kSampleRate, outputRate, voice.gainDb, output);
        context.flite.speak(
            voice.synthVoice, speed, piece,
            [&stage](const qint16* samples, qint64 count) { return stage.push(samples, count); });
        if (!stopped)
            stage.finish();
    } else if (voice.synth == EmbeddedVoice::Synth::OpenJTalk) {
        // Japanese lines go through the reading front end first: Open JTalk is given kanji as
        // written where the reading keeps the dictionary's, so that its accent stays.
        synthesizeSegments(context, voice, openJTalkSegments(piece), d->rate, outputRate, output);
    } else if (voice.isJapanese()) {
        // Japanese lines go through the reading front end first.
        synthesizeSegments(context, voice, japaneseSpeechSegments(piece), d->rate, outputRate,
                           output);
    } else {
        const EspeakVoiceSettings settings{voice.synthVoice, voice.pitch, voice.range,
                                           voice.wordsPerMinute};
        speakEspeak(context.espeak, settings, voice.gainDb, speed, piece, outputRate, output,
                    stopped);
    }
    if (!stopped)
        stopped = !leveller.finish();
    if (stopped)
        d->next = d->pieces.size();
    return !stopped;
}

void synthesizeVoice(SynthesisContext& context, const EmbeddedVoice& voice, const QString& text,
                     int rate, int outputRate, const SampleHandler& handler) {
    LineSynthesis line(voice, text, rate, outputRate);
    while (line.next(context, handler)) {
    }
}

void synthesizeSegments(SynthesisContext& context, const EmbeddedVoice& voice,
                        const QList<ReadingSegment>& segments, int rate, int outputRate,
                        const SampleHandler& handler) {
    const double speed = speedForRate(rate);
    const EspeakVoiceSettings japanese{voice.synthVoice, voice.pitch, voice.range,
                                       voice.wordsPerMinute};
    // The same pitch and variant in English, so that it still sounds like one speaker.
    const EspeakVoiceSettings latin{voice.latinVoice, voice.pitch, voice.range,
                                    voice.wordsPerMinute};
    bool stopped = false;
    for (const ReadingSegment& segment : segments) {
        if (stopped)
            break;
        if (segment.kind == ReadingSegment::Kind::Latin)
            speakEspeak(context.espeak, latin, voice.latinGainDb, speed, segment.text, outputRate,
                        handler, stopped);
        else if (voice.synth == EmbeddedVoice::Synth::OpenJTalk)
            speakOpenJTalk(context.openJTalk, voice, speed, segment.text, outputRate, handler,
                           stopped);
        else
            speakEspeak(context.espeak, japanese, voice.gainDb, speed, segment.text, outputRate,
                        handler, stopped);
    }
}

QString readingOf(const EmbeddedVoice& voice, const QString& text) {
    return voice.synth == EmbeddedVoice::Synth::OpenJTalk ? openJTalkReading(text)
                                                          : japaneseReading(text);
}

QString spokenReading(const EmbeddedVoice& voice, const QString& text) {
    if (!voice.isJapanese())
        return text;
    if (voice.synth != EmbeddedVoice::Synth::OpenJTalk)
        return japaneseReading(text);
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

void warmUpVoice(SynthesisContext& context, const EmbeddedVoice& voice) {
    try {
        switch (voice.synth) {
        case EmbeddedVoice::Synth::Flite:
            context.flite.load(voice.synthVoice);
            break;
        case EmbeddedVoice::Synth::Espeak:
            context.espeak.load(voice.synthVoice);
            break;
        case EmbeddedVoice::Synth::OpenJTalk:
            context.openJTalk.startAhead(voice.openJTalk);
            break;
        }
        // The dictionary of the reading that the Japanese voices speak from.
        if (voice.isJapanese())
            readingOf(voice, QStringLiteral("ア"));
    } catch (const SpeechError& error) {
        // A voice that cannot speak says so when it is used.
        qCWarning(voicesLog).noquote()
            << "cannot load the voice" << voice.description << "ahead:" << error.message();
    }
}

} // namespace lessora
