// Launch figures: from starting the program to its window first painted, and its memory once
// idle (1.5 s after that paint, when the speakers' voices have been loaded), beside a Qt Widgets
// hello world with a table of Japanese text, started and measured the same way in the same run.
// Runs each as a child process of itself; give it a display (a virtual one will do).
//   bench_launch [SETTINGS.ini]   the settings file the program starts with (else none)

#include "app/Startup.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QProcess>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

long residentKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return 0;
}

// In a child: tells the parent of the first paint of a window, then of the memory once idle.
class PaintProbe : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!m_painted && event->type() == QEvent::Paint && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->isWindow()) {
            m_painted = true;
            QTimer::singleShot(0, this, [] { std::printf("painted\n"), std::fflush(stdout); });
            QTimer::singleShot(1500, this, [] {
                std::printf("idle %ld\n", residentKb());
                std::fflush(stdout);
                QCoreApplication::quit();
            });
        }
        return false;
    }

private:
    bool m_painted = false;
};

void installProbe() {
    QCoreApplication::instance()->installEventFilter(new PaintProbe);
}

int helloWorld(int argc, char** argv) {
    QApplication application(argc, argv);
    installProbe();
    QTableWidget table(20, 5);
    for (int row = 0; row < 20; ++row)
        for (int column = 0; column < 5; ++column)
            table.setItem(
                row, column,
                new QTableWidgetItem(QStringLiteral("今日はいい天気ですね。%1").arg(row)));
    table.resize(664, 480);
    table.show();
    return application.exec();
}

struct Launch {
    double paintedMs = 0;
    double idleMb = 0;
};

Launch launch(const QString& kind, const QString& home) {
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home);
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    child.start(QCoreApplication::applicationFilePath(), {kind});
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

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && QByteArray(argv[1]) == "--lessora") {
        qAddPreRoutine(installProbe);
        return lessora::runLessora(argc - 1, argv + 1);
    }
    if (argc > 1 && QByteArray(argv[1]) == "--hello")
        return helloWorld(argc - 1, argv + 1);

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
        const Launch peer = launch(QStringLiteral("--hello"), home.path());
        const Launch own = launch(QStringLiteral("--lessora"), home.path());
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
