// Cost of speaking one lesson row: one row spoken with a 20-entry voice catalogue (settings read,
// both voice lists, voice selection, start of speech), and the read-aloud button's click from
// press to return, with the program's own speech engine.
#include "app/MainWindow.h"
#include "lesson/LessonTable.h"
#include "platform/Clipboard.h"
#include "platform/FileDialogs.h"
#include "platform/MessageBoxes.h"
#include "playback/PlaybackController.h"
#include "playback/RowSpeaker.h"
#include "settings/LanguageName.h"
#include "settings/SettingsFile.h"
#include "voices/EmbeddedSpeechEngine.h"
#include "voices/SpeechBackend.h"
#include "voices/SpeechEngine.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace lessora;

namespace {

constexpr int kCatalogueEntries = 20;
constexpr int kRounds = 200;
constexpr int kClickRounds = 12;
constexpr int kIdleGapMs = 700; // longer than the output keeps its stream open after speech

// Never modal: a benchmark must not wait for anyone.
class CountingMessages : public MessageBoxes {
public:
    int shown = 0;
    void showMessage(const QString&) override { ++shown; }
    bool confirm(const QString&) override { return false; }
    YesNoCancel askYesNoCancel(const QString&) override { return YesNoCancel::Cancel; }
};

class NoFileDialogs : public FileDialogs {
public:
    std::optional<QString> getOpenFileName(const FileDialogOptions&) override { return {}; }
    std::optional<QString> getSaveFileName(const FileDialogOptions&) override { return {}; }
};

class NoClipboard : public ClipboardText {
public:
    bool hasText() override { return false; }
    QString text() override { return {}; }
};

struct Figures {
    double median = 0, p90 = 0, max = 0;
};

Figures figures(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    if (ms.empty())
        return {};
    return {ms[ms.size() / 2], ms[ms.size() * 9 / 10], ms.back()};
}

void print(const char* what, const Figures& f, int rounds) {
    std::printf("%-44s median %8.3f ms   p90 %8.3f ms   max %8.3f ms   (%d rounds)\n", what,
                f.median, f.p90, f.max, rounds);
}

// A catalogue of 20 entries whose last one is the voice speaker A uses, so that every lookup
// walks the whole catalogue. Names no engine has fill the others.
QString writeSettings(SpeechEngine& engine, const QString& path) {
    QString english;
    {
        const EngineOperation operation(engine);
        const TokenCollection voices = engine.createVoice()->voices();
        for (int i = 0; i < voices.count() && english.isEmpty(); ++i) {
            const VoiceTokenPtr token = voices.item(i);
            if (languageNameOf(token->attribute(QStringLiteral("Language"))) == kLanguageEnglish)
                english = token->description();
        }
    }
    if (english.isEmpty())
        english = QStringLiteral("Missing English Voice");
    QList<CatalogueEntry> catalogue;
    for (int i = 0; i + 1 < kCatalogueEntries; ++i)
        catalogue << CatalogueEntry{QStringLiteral("Unused Voice %1").arg(i),
                                    QStringLiteral("English"), QStringLiteral("SAPI")};
    catalogue << CatalogueEntry{english, QStringLiteral("English"), QStringLiteral("SAPI")};
    SettingsFile settings(path);
    rewriteCatalogue(settings, catalogue);
    settings.writeString(kVoiceSection, QStringLiteral("SpeakerA_English"), english);
    return english;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    SpeechBackend backend = createSpeechBackend();
    SpeechEngine& engine = *backend.engine;
    QTemporaryDir folder;
    const QString settingsPath = folder.filePath(QStringLiteral("Lessora.ini"));
    const QString voice = writeSettings(engine, settingsPath);
    const int catalogued = catalogueCount(SettingsFile(settingsPath));
    std::printf("engine note: %s\n", qPrintable(engine.availabilityNote()));
    std::printf("speaker A voice: %s; catalogue entries read back: %d\n", qPrintable(voice),
                catalogued);

    CountingMessages messages;
    {
        RowSpeaker speaker(engine, messages, settingsPath);
        std::vector<double> ms;
        QElapsedTimer clock;
        for (int round = 0; round < kRounds; ++round) {
            clock.start();
            speaker.speak({QStringLiteral("Hello. How are you?"), QStringLiteral("English"),
                           QStringLiteral("A")},
                          SpeechRates{});
            ms.push_back(clock.nsecsElapsed() / 1e6);
            speaker.silence();
        }
        print("Row speaker (20-entry catalogue)", figures(ms), kRounds);
    }

    NoFileDialogs dialogs;
    NoClipboard clipboard;
    const Services services{messages, dialogs,      clipboard,   *backend.beeper,
                            engine,   settingsPath, QChar(u'.'), QString()};
    MainWindow form(services);
    // The program's engine tells when the first sample of an utterance reached the sound output.
    const auto* embedded = dynamic_cast<const EmbeddedSpeechEngine*>(&engine);
    std::vector<double> clickMs;
    std::vector<double> firstSampleMs;
    QElapsedTimer clock;
    for (int round = 0; round < kClickRounds; ++round) {
        if (round > 0)
            QThread::msleep(kIdleGapMs);
        const quint64 startedBefore =
            embedded ? embedded->audioOutput()->startStatistics().started : 0;
        clock.start();
        form.playback().playPause();
        clickMs.push_back(clock.nsecsElapsed() / 1e6);
        while (embedded && embedded->audioOutput()->startStatistics().started == startedBefore &&
               clock.elapsed() < 5000) {
            QCoreApplication::processEvents();
            QThread::yieldCurrentThread();
        }
        if (embedded)
            firstSampleMs.push_back(clock.nsecsElapsed() / 1e6);
        if (round == 0)
            std::printf("first click after start-up: return %.3f ms, first sample %.3f ms\n",
                        clickMs.back(), embedded ? firstSampleMs.back() : -1.0);
        form.playback().stop();
    }
    print("Play click, press to return", figures(clickMs), kClickRounds);
    if (embedded)
        print("Play click, press to first sample", figures(firstSampleMs), kClickRounds);
    else
        std::printf("Play click, press to first sample: not measurable with this engine\n");

    // The progress the window shows after every step of a run, at a million rows: the rows
    // with text are counted once after a change of the table, not at every step.
    {
        constexpr int kRows = 1'000'000;
        LessonTable& table = *form.findChild<LessonTable*>();
        table.setRows(QList<LessonRow>(kRows, LessonRow{QString(), QStringLiteral("A"),
                                                        QStringLiteral("English"),
                                                        QStringLiteral("Hello."), QString()}));
        form.playback().playPause();
        form.playback().playPause(); // paused: a run without sound
        std::vector<double> afterEdit;
        std::vector<double> unchanged;
        for (int round = 0; round < kClickRounds; ++round) {
            table.setCell(ColText, round, QStringLiteral("Changed."));
            clock.start();
            (void)form.playback().progress();
            afterEdit.push_back(clock.nsecsElapsed() / 1e6);
            clock.start();
            (void)form.playback().progress();
            unchanged.push_back(clock.nsecsElapsed() / 1e6);
        }
        form.playback().stop();
        print("Progress, 1M rows, after an edit", figures(afterEdit), kClickRounds);
        print("Progress, 1M rows, a step of the run", figures(unchanged), kClickRounds);
    }
    std::printf("messages shown: %d\n", messages.shown);
    return 0;
}
