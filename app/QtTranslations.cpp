#include "app/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QTranslator>

namespace lessora {

namespace {
QPointer<QTranslator>& installedTranslator() {
    static QPointer<QTranslator> translator;
    return translator;
}
} // namespace

bool installQtJapaneseTranslations(QCoreApplication& application) {
    if (installedTranslator())
        return true;
    // The program's texts are Japanese unless English is chosen, so Qt's are too.
    auto* translator = new QTranslator(&application);
    if (!translator->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qt"),
                          QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    installedTranslator() = translator;
    return QCoreApplication::installTranslator(translator);
}

void removeQtJapaneseTranslations() {
    if (QTranslator* translator = installedTranslator()) {
        QCoreApplication::removeTranslator(translator);
        delete translator;
    }
}

} // namespace lessora
