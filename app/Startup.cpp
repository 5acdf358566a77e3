#include "app/Startup.h"

#include "app/Unit1.h"
#include "platform/Clipboard.h"
#include "platform/FileDialogs.h"
#include "platform/Locale.h"
#include "platform/MessageBoxes.h"
#include "voices/SettingsLocation.h"
#include "voices/SpeechBackend.h"
#include "voices/UnitVoiceCheck.h"
#include "voices/UnitVoiceSettings.h"

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

    TForm1 form1(services);
    auto* frmVoiceSettings = new TfrmVoiceSettings(services, &form1);
    auto* frmVoiceCheck = new TfrmVoiceCheck(services, &form1);
    form1.setVoiceWindows(frmVoiceSettings, frmVoiceCheck);
    form1.show();
    return application.exec();
}

} // namespace lessora
