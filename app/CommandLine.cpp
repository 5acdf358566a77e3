#include "app/CommandLine.h"

#include "files/FileNames.h"

#include <QUrl>

namespace lessora {

namespace {
CommandLine failure(const QString& error, const QString& badOption = {}) {
    return {CommandLine::Action::Error, {}, error, badOption, {}};
}
} // namespace

CommandLine parseCommandLine(const QStringList& arguments) {
    CommandLine result;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (!optionsEnded && argument == QLatin1String("--")) {
            optionsEnded = true;
        } else if (!optionsEnded && (argument == QLatin1String("--lang") ||
                                     argument.startsWith(QLatin1String("--lang=")))) {
            QString code = argument.section(u'=', 1);
            if (argument == QLatin1String("--lang")) {
                if (i + 1 == arguments.size())
                    return failure(QStringLiteral("--lang needs a language: ja or en"));
                code = arguments[++i];
            }
            result.language = interfaceLanguageOfCode(code);
            if (!result.language)
                return failure(
                    QStringLiteral("unknown language for --lang: %1 (ja or en)").arg(code));
        } else if (!optionsEnded &&
                   (argument == QLatin1String("-h") || argument == QLatin1String("--help"))) {
            return {CommandLine::Action::Help, {}, {}, {}, {}};
        } else if (!optionsEnded &&
                   (argument == QLatin1String("-v") || argument == QLatin1String("--version"))) {
            return {CommandLine::Action::Version, {}, {}, {}, {}};
        } else if (!optionsEnded && argument.startsWith(u'-') && argument.size() > 1) {
            return failure(QStringLiteral("unknown option: %1").arg(argument), argument);
        } else if (!result.lessonFile.isEmpty()) {
            return failure(QStringLiteral("only one lesson file can be opened"));
        } else if (argument.isEmpty()) {
            return failure(QStringLiteral("the lesson file name is empty"));
        } else {
            // File managers may hand over a URL rather than a path.
            const QUrl url(argument);
            result.lessonFile = url.isLocalFile() ? localFileOfUrl(url) : argument;
        }
    }
    return result;
}

bool mayBeQtOption(const QString& argument) {
    static const QStringList names = {
        QStringLiteral("platform"),
        QStringLiteral("platformpluginpath"),
        QStringLiteral("platformtheme"),
        QStringLiteral("plugin"),
        QStringLiteral("qwindowgeometry"),
        QStringLiteral("qwindowicon"),
        QStringLiteral("qwindowtitle"),
        QStringLiteral("reverse"),
        QStringLiteral("session"),
        QStringLiteral("style"),
        QStringLiteral("stylesheet"),
        QStringLiteral("widgetcount"),
        QStringLiteral("display"),
        QStringLiteral("geometry"),
        QStringLiteral("title"),
        QStringLiteral("name"),
        QStringLiteral("nograb"),
        QStringLiteral("dograb"),
        QStringLiteral("sync"),
        QStringLiteral("qmljsdebugger"),
        QStringLiteral("visual"),
        QStringLiteral("ncols"),
        QStringLiteral("cmap"),
        QStringLiteral("testability"),
    };
    QString name = argument;
    while (name.startsWith(u'-'))
        name.remove(0, 1);
    return names.contains(name.section(u'=', 0, 0));
}

QString commandLineUsage() {
    return QStringLiteral(
        "Usage: lessora [LESSON.json]\n"
        "       lessora --lang ja|en [LESSON.json]\n"
        "       lessora --help | --version\n"
        "Opens Lessora, with the given lesson file if there is one.\n"
        "--lang shows the texts in Japanese (ja) or English (en) for this run.\n");
}

} // namespace lessora
