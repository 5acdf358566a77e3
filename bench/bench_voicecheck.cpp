// The voice check as the window runs it: every installed voice says its test sentence
// synchronously, one after another, on a fresh engine (so each voice is loaded on its turn).
// Prints the time of each voice and of the whole check beside the length of the sentences. Run
// it under a sound server (the real stream) or plainly (the silent output, same pacing).

#include "settings/LanguageName.h"
#include "voices/EmbeddedSpeechEngine.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

using namespace lessora;

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    struct Checked {
        QString description;
        QString sentence;
        double seconds = 0;
    };
    std::vector<Checked> checked;
    QElapsedTimer total;
    {
        EmbeddedSpeechEngine engine;
        std::printf("output: %s\n", engine.isSilent() ? "silent" : "sound server");
        total.start();
        EngineOperation operation(engine);
        const auto voice = engine.createVoice();
        const TokenCollection voices = voice->voices();
        for (int i = 0; i < voices.count(); ++i) {
            const VoiceTokenPtr token = voices.item(i);
            const QString sentence =
                testSentenceFor(languageNameOf(token->attribute(QStringLiteral("Language"))));
            QElapsedTimer timer;
            timer.start();
            try {
                voice->setVoice(token);
                voice->speak(sentence, kSpeakSync);
            } catch (const std::exception& error) {
                std::printf("%s failed: %s\n", qPrintable(token->description()), error.what());
            }
            checked.push_back({token->description(), sentence, timer.nsecsElapsed() / 1e9});
        }
    }
    const double checkSeconds = total.nsecsElapsed() / 1e9;
    double spokenSeconds = 0;
    for (const Checked& voice : checked) {
        const double length =
            synthesizeToMemory(voice.description, voice.sentence, 0).durationMs() / 1000.0;
        spokenSeconds += length;
        std::printf("%-42s %6.2f s  (sentence %5.2f s, over by %5.2f s)\n",
                    qPrintable(voice.description), voice.seconds, length, voice.seconds - length);
    }
    std::printf("voice check of %zu voices: %.2f s; sentences %.2f s; over by %.2f s (%.2f s a "
                "voice)\n",
                checked.size(), checkSeconds, spokenSeconds, checkSeconds - spokenSeconds,
                checked.empty() ? 0.0 : (checkSeconds - spokenSeconds) / double(checked.size()));
    return 0;
}
