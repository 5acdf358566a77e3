// Launch figures: from starting the program to its window first painted, and its memory once
// idle (1.5 s after that paint, with the programs it keeps running), beside a Qt Widgets hello
// world with a table of Japanese text (bench_launch_hello, linked with Qt alone), started and
// measured the same way in the same run. The program runs as a child process of this one; give
// it a display (a virtual one will do).
//   bench_launch [SETTINGS.ini]   the settings file the program starts with (else none)

#include "LaunchProbe.h"
#include "Median.h"
#include "app/Startup.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct Launch {
    double paintedMs = 0;
    double idleMb = 0;
};

Launch launch(const QString& program, const QStringList& arguments, const QString& home) {
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home);
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    child.start(program, arguments);
    Launch result;
    QByteArray output;
    while (child.waitForReadyRead(10000)) {
        output += child.readAllStandardOutput();
        if (result.paintedMs == 0 && output.contains("painted"))
            result.paintedMs = timer.nsecsElapsed() / 1e6;
        if (const qsizetype idle = output.indexOf("idle "); idle >= 0 && output.endsWith('\n')) {
            result.idleMb = output.mid(idle + 5).trimmed().toDouble() / 1024;
            break;
        }
    }
    child.waitForFinished(5000);
    return result;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && QByteArray(argv[1]) == "--lessora") {
        qAddPreRoutine(launchprobe::installProbe);
        return lessora::runLessora(argc - 1, argv + 1);
    }

    QCoreApplication application(argc, argv);
    QTemporaryDir home;
    if (argc > 1) {
        QDir(home.path()).mkpath(QStringLiteral("Documents"));
        QFile::copy(QString::fromLocal8Bit(argv[1]), home.filePath("Documents/Lessora.ini"));
    }
    std::printf("%-28s %12s %10s %12s %10s\n", "launch (median of 7)", "painted ms", "/ peer",
                "idle MB", "/ peer");
    std::vector<double> peerPainted, peerIdle, ownPainted, ownIdle;
    for (int run = 0; run < 7; ++run) { // alternated, so that both meet the same machine
        const Launch peer = launch(QStringLiteral(LESSORA_LAUNCH_PEER), {}, home.path());
        const Launch own = launch(QCoreApplication::applicationFilePath(),
                                  {QStringLiteral("--lessora")}, home.path());
        peerPainted.push_back(peer.paintedMs);
        peerIdle.push_back(peer.idleMb);
        ownPainted.push_back(own.paintedMs);
        ownIdle.push_back(own.idleMb);
    }
    std::printf("%-28s %12.1f %10.2f %12.1f %10.2f\n", "hello world, CJK table",
                median(peerPainted), 1.0, median(peerIdle), 1.0);
    std::printf("%-28s %12.1f %10.2f %12.1f %10.2f\n", "Lessora", median(ownPainted),
                median(ownPainted) / median(peerPainted), median(ownIdle),
                median(ownIdle) / median(peerIdle));
    return 0;
}
