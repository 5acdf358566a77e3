#pragma once

#include "japanese/AccentPhrases.h"
#include "voices/EspeakSynth.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <memory>
#include <vector>

namespace lessora {

class StartedProcess;

// How the one HTS voice is turned into a speaker of its own.
struct OpenJTalkVoiceSettings {
    double halfTones = 0;  // pitch shift (-fm)
    double allPass = 0.55; // frequency warping (-a): lower is a shorter vocal tract, brighter
    double f0Weight = 1.0; // liveliness of the melody (-jf)
};

// Where Open JTalk and its files are, and how long one run may take.
struct OpenJTalkInstallation {
    QString program;
    QString dictionary;
    QString voice;
    std::chrono::milliseconds timeout{5000}; // far above a sentence's 0.1 to 0.7 s

    // The Debian packages' places (open-jtalk, open-jtalk-mecab-naist-jdic,
    // hts-voice-nitech-jp-atr503-m001).
    static OpenJTalkInstallation debian();
    // All three are there.
    bool isInstalled() const;
    // The program and its dictionary are there, the voice is not.
    bool lacksVoice() const;

private:
    bool hasProgramAndDictionary() const;
};

// Open JTalk with an HTS voice, run as a separate program for each sentence: the text goes to
// its standard input and the WAV comes back on its standard output, so that no file is written
// and no shell is involved. The next run of a voice is started ahead, so that it has loaded its
// dictionary and voice by the time it is given its text. The run is killed when the handler asks to
// stop (a call with no samples asks only that) or when it takes longer than the timeout.
class OpenJTalkSynth {
public:
    OpenJTalkSynth();
    ~OpenJTalkSynth();
    OpenJTalkSynth(const OpenJTalkSynth&) = delete;
    OpenJTalkSynth& operator=(const OpenJTalkSynth&) = delete;

    static constexpr int kSampleRate = 48000;
    // Longest text given to one run: Open JTalk reads one line of at most 1023 bytes.
    static constexpr qsizetype kMaxChunk = 80;
    // A first clause at least this long is given on its own, so that a line starts early.
    static constexpr qsizetype kFirstClause = 8;

    // The installation that every synthesiser uses; tests put a stand-in program in its place.
    static OpenJTalkInstallation installation();
    static void setInstallation(const OpenJTalkInstallation& installation);
    static bool available() { return installation().isInstalled(); }

    // Speaks the text (Japanese, kanji and all) at `speed` times the voice's rate, sentence by
    // sentence, silence at the ends trimmed. Throws SpeechError when Open JTalk fails.
    void speak(const OpenJTalkVoiceSettings& voice, double speed, const QString& text,
               const SampleHandler& handler);

    // Starts a run of the voice ahead, so that its first sentence need not wait for Open JTalk
    // to load; nothing when one is waiting already or Open JTalk is not installed.
    void startAhead(const OpenJTalkVoiceSettings& voice);

    // The pronunciation of Open JTalk's own analysis of the text: what the voice says.
    QString analyse(const QString& text);
    // The accent phrases of that analysis, after Open JTalk's accent-combination rules: the
    // accent the voice speaks. Throws SpeechError when Open JTalk fails or is not installed.
    QList<AccentPhrase> analyseAccent(const QString& text);

    // The pieces of a text that are given to one run each: sentences, the first clause of the
    // text, and the clauses of long sentences, none longer than kMaxChunk.
    static QStringList chunks(const QString& text);
    // The arguments of a run that writes the voice's WAV to standard output.
    static QStringList arguments(const OpenJTalkInstallation& installation,
                                 const OpenJTalkVoiceSettings& voice);

private:
    // A run started ahead for these arguments, or a new one; another is started ahead for them.
    std::unique_ptr<StartedProcess> takeRun(const QString& program, const QStringList& arguments);
    // Starts a run for these arguments to wait for its text, in place of the oldest waiting.
    void addStandby(const QString& program, const QStringList& arguments);

    // Runs started ahead, waiting for their text: Open JTalk loads its dictionary and voice
    // (some 50 ms) before it reads, so the next sentence need not wait for that. One for each
    // of the last few voices, the latest last.
    struct Standby {
        QString program;
        QStringList arguments;
        std::unique_ptr<StartedProcess> process;
    };
    static constexpr size_t kStandbys = 3;
    std::vector<Standby> m_standbys;
};

// The samples of a 16-bit mono RIFF WAVE file and its rate; no samples when it is none.
std::vector<qint16> wavSamples(const QByteArray& wav, int* sampleRate);

} // namespace lessora
