#include "app/Startup.h"

#include "app/CommandLine.h"
#include "app/LessonDocument.h"
#include "app/MainWindow.h"
#include "app/PlatformServices.h"
#include "app/QtTranslations.h"
#include "app/VoiceCheckDialog.h"
#include "app/VoiceSettingsDialog.h"
#include "files/FileNames.h"
#include "platform/Locale.h"
#include "settings/SettingsLocation.h"
#include "voices/SpeechBackend.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QIcon>
#include <QStandardPaths>
#include <QTimer>
#include <cstdio>

namespace lessora {

namespace {

// Gives the program its icon once the window has been painted for the first time: drawing the
// scalable icon at every size the window system takes (and loading what draws it) would delay
// the first sight of the window by a sixth, while nobody waits for the icon.
class IconAfterFirstPaint : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            // After this paint has reached the screen.
            QTimer::singleShot(0, this, [this] {
                QApplication::setWindowIcon(
                    QIcon(QStringLiteral(":/icons/org.lessora.Lessora.svg")));
                deleteLater();
            });
        }
        return false;
    }
};

constexpr int kExitUsage = 2;

QStringList argumentsAfterName(const QStringList& arguments) {
    return arguments.mid(1);
}

QStringList rawArguments(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << fileNameFromBytes(argv[i]); // a lesson's name keeps its bytes
    return arguments;
}

// Help and version need no display, so they are answered before Qt opens one. Returns the
// exit code, or nothing when the program is to start.
std::optional<int> answerWithoutWindow(const CommandLine& commandLine) {
    switch (commandLine.action) {
    case CommandLine::Action::Help:
        std::fputs(commandLineUsage().toLocal8Bit().constData(), stdout);
        return 0;
    case CommandLine::Action::Version:
        std::printf("lessora %s\n", LESSORA_VERSION);
        return 0;
    case CommandLine::Action::Error:
        std::fprintf(stderr, "lessora: %s\n%s", commandLine.error.toLocal8Bit().constData(),
                     commandLineUsage().toLocal8Bit().constData());
        return kExitUsage;
    case CommandLine::Action::Run:
        break;
    }
    return std::nullopt;
}

QString lessonHistoryPath() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    return folder.isEmpty() ? QString() : QDir(folder).filePath(QStringLiteral("lessons.ini"));
}

} // namespace

int runLessora(int argc, char** argv) {
    // Qt's own options (-platform, -style, ...) are not known yet: an error here is decided
    // once QApplication has taken them out.
    const CommandLine early = parseCommandLine(argumentsAfterName(rawArguments(argc, argv)));
    if (early.action != CommandLine::Action::Error || !mayBeQtOption(early.badOption))
        if (const std::optional<int> exitCode = answerWithoutWindow(early))
            return *exitCode;

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lessora"));
    QApplication::setApplicationVersion(QStringLiteral(LESSORA_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.lessora.Lessora"));
    // QApplication has taken its own options out of argv.
    const CommandLine commandLine = parseCommandLine(argumentsAfterName(rawArguments(argc, argv)));
    if (const std::optional<int> exitCode = answerWithoutWindow(commandLine))
        return *exitCode;
    installQtJapaneseTranslations(application);

    QtMessageBoxes messages;
    QtFileDialogs fileDialogs;
    QtClipboardText clipboard;
    SpeechBackend speech = createSpeechBackend();
    Services services{messages,
                      fileDialogs,
                      clipboard,
                      *speech.beeper,
                      *speech.engine,
                      settingsFilePath(),
                      systemDecimalSeparator(),
                      lessonHistoryPath()};
    services.audioInput = speech.input.get();
    services.samplePlayer = speech.player.get();

    MainWindow window(services);
    auto* voiceSettings = new VoiceSettingsDialog(services, &window);
    auto* voiceCheck = new VoiceCheckDialog(services, &window);
    window.setVoiceWindows(voiceSettings, voiceCheck);
    window.installEventFilter(new IconAfterFirstPaint(&window));
    // No voice is loaded ahead: the engine loads each one when a line of it is first prepared
    // or spoken, so that an idle window holds none of them.
    window.show();
    if (!commandLine.lessonFile.isEmpty()) {
        // Once the window is up, so that a message about the file shows in front of it.
        QTimer::singleShot(0, &window, [&window, file = commandLine.lessonFile] {
            window.errorHandler().run([&window, &file] { window.document().openAtStartUp(file); });
        });
    }
    return application.exec();
}

} // namespace lessora
