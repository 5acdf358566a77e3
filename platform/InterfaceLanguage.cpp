#include "platform/InterfaceLanguage.h"

#include "platform/Logging.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTranslator>

namespace lessora {

namespace {

const QString kEnglishTranslation = QStringLiteral(":/i18n/lessora_en.qm");

QPointer<QTranslator>& installedTranslator() {
    static QPointer<QTranslator> translator;
    return translator;
}

InterfaceLanguage& currentLanguage() {
    static InterfaceLanguage language = InterfaceLanguage::Japanese;
    return language;
}

QString environmentValue(const char* name) {
    return QString::fromLocal8Bit(qgetenv(name));
}

} // namespace

std::optional<InterfaceLanguage> interfaceLanguageOfCode(QStringView code) {
    if (code.compare(u"ja", Qt::CaseInsensitive) == 0)
        return InterfaceLanguage::Japanese;
    if (code.compare(u"en", Qt::CaseInsensitive) == 0)
        return InterfaceLanguage::English;
    return std::nullopt;
}

QString codeOfInterfaceLanguage(InterfaceLanguage language) {
    return language == InterfaceLanguage::English ? QStringLiteral("en") : QStringLiteral("ja");
}

InterfaceLanguage interfaceLanguageOfEnvironment() {
    QString locale;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        locale = environmentValue(name);
        if (!locale.isEmpty())
            break;
    }
    // As gettext: under the C locale LANGUAGE is not read, and the texts are the program's own.
    const QString base = locale.section(u'.', 0, 0).section(u'@', 0, 0);
    if (base.isEmpty() || base == u"C" || base == u"POSIX")
        return InterfaceLanguage::Japanese;
    const QString preferred = environmentValue("LANGUAGE").section(u':', 0, 0);
    const QString language = preferred.isEmpty() ? base : preferred;
    return language.startsWith(u"ja") ? InterfaceLanguage::Japanese : InterfaceLanguage::English;
}

bool showProgramTextsIn(InterfaceLanguage language) {
    QPointer<QTranslator>& installed = installedTranslator();
    if (language == InterfaceLanguage::Japanese) {
        if (installed) {
            QCoreApplication::removeTranslator(installed);
            delete installed;
        }
        currentLanguage() = language;
        return true;
    }
    if (installed) {
        currentLanguage() = language;
        return true;
    }
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(kEnglishTranslation)) {
        qCWarning(lcPlatform) << "the English translation cannot be loaded from"
                              << kEnglishTranslation;
        delete translator;
        return false;
    }
    installed = translator;
    QCoreApplication::installTranslator(translator);
    currentLanguage() = language;
    return true;
}

InterfaceLanguage programTextLanguage() {
    return currentLanguage();
}

} // namespace lessora
