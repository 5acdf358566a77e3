#pragma once

#include "japanese/JapaneseReading.h"
#include "voices/EspeakSynth.h"
#include "voices/FliteSynth.h"
#include "voices/OpenJTalkSynth.h"

#include <QString>

#include <memory>
#include <vector>

namespace lessora {

// The synthesisers, owned by the synthesis thread (SynthesisWorker).
class SynthesisContext {
public:
    EspeakSynth espeak;
    FliteSynth flite;
    OpenJTalkSynth openJTalk;
};

// One of the voices this program brings along.
struct EmbeddedVoice {
    enum class Synth { Flite, Espeak, OpenJTalk };
    QString description; // "Name - Language (Region)": its identity in settings files
    QString language;    // the "Language" attribute: Windows language identifiers in hex
    QString gender;
    Synth synth;
    QByteArray synthVoice;            // flite voice or espeak-ng voice with variant
    OpenJTalkVoiceSettings openJTalk; // Open JTalk only
    int pitch = 50;                   // espeak-ng only
    int range = 50;
    int wordsPerMinute = 175;
    double gainDb = 0; // evens out the loudness of the voices
    // Japanese voices: the espeak-ng voice for runs of Latin letters, and its gain.
    QByteArray latinVoice;
    double latinGainDb = 0;

    bool isJapanese() const { return !latinVoice.isEmpty(); }
};

// In a fixed order: English voices first, then Japanese ones, the Open JTalk voices first among
// them.
const std::vector<EmbeddedVoice>& embeddedVoices();
// Whether the voice's synthesiser is installed (the Open JTalk voices need three packages);
// the engine lists only these.
bool isInstalled(const EmbeddedVoice& voice);
// The installed voices of one language that speakers get by default, best first: the first for
// the first speaker of the language, the second for the second, and so on. The Open JTalk
// voices when installed, for their pitch accent.
std::vector<const EmbeddedVoice*> preferredVoices(bool japanese);
// The voice with this description, compared without regard to ASCII letter case; or null.
const EmbeddedVoice* findEmbeddedVoice(const QString& description);
// The voice a fresh voice object speaks with: the first preferred Japanese voice for text with
// kana or kanji, else the first English voice.
const EmbeddedVoice& defaultVoiceFor(const QString& text);

// Speed factor of a rate: each step is 3^(1/10), so that +10 would be three times as fast.
double speedForRate(int rate);

// Loads what the voice speaks with (its library or data, the reading's dictionary, a run of
// Open JTalk started ahead) without speaking, so that its first line starts as quickly as the
// later ones. On the synthesis thread.
void warmUpVoice(SynthesisContext& context, const EmbeddedVoice& voice);

// The reading a Japanese voice says for the text, Latin runs left as they are: the katakana it
// is given (espeak-ng), or for the Open JTalk voices the reading with their own dictionary,
// worked out in this process (quick enough for many lines).
QString readingOf(const EmbeddedVoice& voice, const QString& text);
// The same from the voice itself: for the Open JTalk voices the pronunciation of Open JTalk's
// own analysis of what they are given (one run of the program per sentence). Throws
// SpeechError when that fails. An English voice says the text as it is.
QString spokenReading(const EmbeddedVoice& voice, const QString& text);

// A line synthesised a piece at a time (speechPieces: bounded pieces, so that the first sound
// comes as soon for a long line as for a short one, a stop waits for one piece at most and no
// synthesiser holds a whole long line), so that the work can pause between its pieces. On the
// synthesis thread, as mono 16-bit samples at `outputRate`, loudness evened out.
class LineSynthesis {
public:
    LineSynthesis(const EmbeddedVoice& voice, const QString& text, int rate, int outputRate);
    ~LineSynthesis();
    LineSynthesis(const LineSynthesis&) = delete;
    LineSynthesis& operator=(const LineSynthesis&) = delete;

    bool atEnd() const;
    // Synthesises the next piece; false at the end, or when the handler stopped it by returning
    // false (the line is then at its end). Throws SpeechError.
    bool next(SynthesisContext& context, const SampleHandler& handler);

private:
    struct State;
    std::unique_ptr<State> d;
};

// Synthesises the whole text, on the synthesis thread, as LineSynthesis does. The handler may
// stop it by returning false. Throws SpeechError.
void synthesizeVoice(SynthesisContext& context, const EmbeddedVoice& voice, const QString& text,
                     int rate, int outputRate, const SampleHandler& handler);

// Speaks the segments of a Japanese line with a Japanese voice: the Japanese ones with the voice
// itself (katakana for espeak-ng, text as written for Open JTalk), runs of Latin words with its
// English counterpart, so that they are read as words.
void synthesizeSegments(SynthesisContext& context, const EmbeddedVoice& voice,
                        const QList<ReadingSegment>& segments, int rate, int outputRate,
                        const SampleHandler& handler);

} // namespace lessora
