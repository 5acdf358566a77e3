#include "app/LanguageChoice.h"

#include "app/Logging.h"
#include "app/QtTranslations.h"

#include <QCoreApplication>
#include <QSettings>

namespace lessora {

namespace {
const QString kLanguageKey = QStringLiteral("Window/Language");
} // namespace

void showInterfaceIn(InterfaceLanguage language) {
    if (language == InterfaceLanguage::English) {
        removeQtJapaneseTranslations();
        if (!showProgramTextsIn(language))
            qCWarning(lcApp) << "the texts stay Japanese: no English translation";
    } else {
        showProgramTextsIn(language);
        if (QCoreApplication* application = QCoreApplication::instance())
            installQtJapaneseTranslations(*application);
    }
}

std::optional<InterfaceLanguage> savedInterfaceLanguage(const QString& settingsPath) {
    if (settingsPath.isEmpty())
        return std::nullopt;
    const QString code =
        QSettings(settingsPath, QSettings::IniFormat).value(kLanguageKey).toString();
    const std::optional<InterfaceLanguage> language = interfaceLanguageOfCode(code);
    if (!language && !code.isEmpty())
        qCInfo(lcApp) << "unknown language in" << settingsPath << ":" << code;
    return language;
}

void saveInterfaceLanguage(const QString& settingsPath, InterfaceLanguage language) {
    if (!settingsPath.isEmpty())
        QSettings(settingsPath, QSettings::IniFormat)
            .setValue(kLanguageKey, codeOfInterfaceLanguage(language));
}

} // namespace lessora
