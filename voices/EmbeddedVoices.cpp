#include "voices/EmbeddedVoices.h"

#include "audio/AudioOutput.h"
#include "audio/Loudness.h"
#include "audio/SampleRateConverter.h"
#include "japanese/JapaneseReading.h"
#include "settings/AsciiCase.h"
#include "voices/Logging.h"
#include "voices/SpeechEngine.h"
#include "voices/SpeechPieces.h"

#include <QCoreApplication>
#include <algorithm>
#include <cmath>
#include <optional>

namespace lessora {

namespace {

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

// Says the text with the backend, resampled to the output rate with the gain applied.
void speakRun(SynthesisContext& context, const SynthBackend& backend, const EmbeddedVoice& voice,
              double gainDb, double speed, const QString& text, int outputRate,
              const SampleHandler& handler, bool& stopped) {
    OutputStage stage(backend.sampleRate(context), outputRate, gainDb, handler);
    backend.speak(context, voice, speed, text, [&](const qint16* samples, qint64 count) {
        stopped = count == 0 ? !handler(nullptr, 0) : !stage.push(samples, count);
        return !stopped;
    });
    if (!stopped)
        stopped = !stage.finish();
}

// Says a run of Latin letters of a Japanese line with the voice's English counterpart, the
// same pitch and variant, so that it still sounds like one speaker.
void speakLatin(SynthesisContext& context, const EmbeddedVoice& voice, double speed,
                const QString& text, int outputRate, const SampleHandler& handler, bool& stopped) {
    if (!context.espeak.available())
        throw SpeechError(
            QCoreApplication::translate("Voices", "eSpeak NG の音声データが見つかりません"));
    OutputStage stage(context.espeak.sampleRate(), outputRate, voice.latinGainDb, handler);
    context.espeak.speak({voice.latinVoice, voice.pitch, voice.range, voice.wordsPerMinute}, speed,
                         text, [&](const qint16* samples, qint64 count) {
                             stopped = !stage.push(samples, count);
                             return !stopped;
                         });
    if (!stopped)
        stopped = !stage.finish();
}

} // namespace

const std::vector<EmbeddedVoice>& embeddedVoices() {
    static const std::vector<EmbeddedVoice> voices = [] {
        std::vector<EmbeddedVoice> all;
        for (const SynthBackend* backend : synthBackends()) {
            std::vector<EmbeddedVoice> own = backend->voices();
            all.insert(all.end(), own.begin(), own.end());
        }
        std::stable_partition(all.begin(), all.end(),
                              [](const EmbeddedVoice& voice) { return !voice.isJapanese(); });
        return all;
    }();
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
    return voice.backend->isInstalled();
}

std::vector<const EmbeddedVoice*> preferredVoices(bool japanese) {
    std::vector<const EmbeddedVoice*> result;
    const SynthBackend* first = nullptr; // the first installed voice's synthesiser
    for (const EmbeddedVoice& voice : embeddedVoices()) {
        if (voice.isJapanese() != japanese || !isInstalled(voice))
            continue;
        if (!first)
            first = voice.backend;
        if (voice.backend == first || japanese == false)
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
    if (voice.isJapanese()) {
        // Japanese lines go through the reading front end first.
        synthesizeSegments(context, voice, voice.backend->segments(piece), d->rate, outputRate,
                           output);
    } else {
        speakRun(context, *voice.backend, voice, voice.gainDb, speed, piece, outputRate, output,
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
    bool stopped = false;
    for (const ReadingSegment& segment : segments) {
        if (stopped)
            break;
        if (segment.kind == ReadingSegment::Kind::Latin)
            speakLatin(context, voice, speed, segment.text, outputRate, handler, stopped);
        else
            speakRun(context, *voice.backend, voice, voice.gainDb, speed, segment.text, outputRate,
                     handler, stopped);
    }
}

QString readingOf(const EmbeddedVoice& voice, const QString& text) {
    return voice.backend->reading(text);
}

QString spokenReading(const EmbeddedVoice& voice, const QString& text) {
    return voice.isJapanese() ? voice.backend->spokenReading(text) : text;
}

void warmUpVoice(SynthesisContext& context, const EmbeddedVoice& voice) {
    try {
        voice.backend->load(context, voice);
        // The dictionary of the reading that the Japanese voices speak from.
        if (voice.isJapanese())
            readingOf(voice, QStringLiteral("ア"));
    } catch (const SpeechError& error) {
        // A voice that cannot speak says so when it is used.
        qCWarning(lcVoices).noquote()
            << "cannot load the voice" << voice.description << "ahead:" << error.message();
    }
}

} // namespace lessora
