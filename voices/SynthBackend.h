#pragma once

#include "japanese/AccentPhrases.h"
#include "japanese/JapaneseReading.h"
#include "voices/EspeakSynth.h"

#include <QList>
#include <QString>

#include <map>
#include <memory>
#include <vector>

namespace lessora {

class SynthBackend;
struct EmbeddedVoice;

// What the synthesisers hold on the synthesis thread (SynthesisWorker): espeak-ng, which every
// Japanese voice also speaks its runs of Latin letters with, and each backend's own state,
// made when it is first used there.
class SynthesisContext {
public:
    EspeakSynth espeak;

    template <typename State> State& stateOf(const SynthBackend& backend) {
        std::shared_ptr<void>& slot = m_states[&backend];
        if (!slot)
            slot = std::make_shared<State>();
        return *static_cast<State*>(slot.get());
    }

private:
    std::map<const SynthBackend*, std::shared_ptr<void>> m_states;
};

// One synthesiser of the embedded engine: its voices, how they are loaded and speak, and the
// reading its Japanese voices speak from. The backends are listed in one table
// (synthBackends()); adding a synthesiser is a new backend and a row there. A backend holds no
// state of its own: what it keeps between calls lives in the context, on the synthesis thread.
class SynthBackend {
public:
    virtual ~SynthBackend() = default;

    // The "Vendor" attribute of its voices.
    virtual QString vendor() const = 0;
    // Its voices, English ones first.
    virtual std::vector<EmbeddedVoice> voices() const = 0;
    // Whether its voices can be listed on this machine; any thread.
    virtual bool isInstalled() const { return true; }
    // The Debian package of its voice when the synthesiser is installed without it.
    virtual QString missingVoicePackage() const { return {}; }
    // Whether its voices need espeak-ng's data (for themselves or their Latin runs).
    virtual bool usesEspeak() const { return false; }
    // Whether it takes long to start a line, so that the next line is synthesised whole while
    // the one before plays (SpeechVoice::prepare).
    virtual bool preparesLinesAhead() const { return false; }

    // On the synthesis thread: the rate of the samples speak() gives.
    virtual int sampleRate(SynthesisContext& context) const = 0;
    // On the synthesis thread: loads what the voice speaks with, without speaking. Throws
    // SpeechError.
    virtual void load(SynthesisContext& context, const EmbeddedVoice& voice) const = 0;
    // On the synthesis thread: says the text as it is given, with the voice at `speed` times its
    // rate, at sampleRate(). A call with no samples only asks whether to go on. Throws
    // SpeechError.
    virtual void speak(SynthesisContext& context, const EmbeddedVoice& voice, double speed,
                       const QString& text, const SampleHandler& handler) const = 0;

    // For its Japanese voices: the parts of a piece of a line in the order they are said,
    // Japanese ones given to speak(), Latin runs to the English counterpart.
    virtual QList<ReadingSegment> segments(const QString& piece) const {
        return japaneseSpeechSegments(piece);
    }
    // The reading its Japanese voices say for the text, worked out in this process.
    virtual QString reading(const QString& text) const { return japaneseReading(text); }
    // The same from the synthesiser itself. Throws SpeechError.
    virtual QString spokenReading(const QString& text) const { return reading(text); }
    // Whether its Japanese voices speak from an analysis with accent phrases.
    virtual bool analysesAccent() const { return false; }
    // The accent phrases its Japanese voices say for the text, from the synthesiser's own
    // analysis; nothing when it has none. Throws SpeechError.
    virtual QList<AccentPhrase> accent(const QString& /*text*/) const { return {}; }
    // Why its reading leaves kanji unread here; empty when it does not.
    virtual QString readingProblem() const {
        return japaneseDictionaryAvailable() ? QString() : japaneseDictionaryProblem();
    }
};

// The synthesisers, in the order their voices are offered: English voices of the first ones
// first, and for Japanese the first backend that has Japanese voices first.
const std::vector<const SynthBackend*>& synthBackends();

} // namespace lessora
