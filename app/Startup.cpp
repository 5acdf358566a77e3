#include "app/Startup.h"

#include "app/MainWindow.h"
#include "app/PlatformServices.h"
#include "app/VoiceCheckDialog.h"
#include "app/VoiceSettingsDialog.h"
#include "platform/Locale.h"
#include "settings/SettingsLocation.h"
#include "voices/SpeechBackend.h"

#include <QApplication>

namespace lessora {

int runLessora(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lessora"));

    QtMessageBoxes messages;
    QtFileDialogs fileDialogs;
    QtClipboardText clipboard;
    SpeechBackend speech = createSpeechBackend();
    const Services services{messages,
                            fileDialogs,
                            clipboard,
                            *speech.beeper,
                            *speech.engine,
                            settingsFilePath(),
                            systemDecimalSeparator()};

    MainWindow window(services);
    auto* voiceSettings = new VoiceSettingsDialog(services, &window);
    auto* voiceCheck = new VoiceCheckDialog(services, &window);
    window.setVoiceWindows(voiceSettings, voiceCheck);
    window.show();
    return application.exec();
}

} // namespace lessora
