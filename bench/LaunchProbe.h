// What bench_launch's children report to it: the first paint of a window, then the memory once
// idle. Shared by the program under measurement and its peer, so that both report alike.
#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace launchprobe {

// Resident kilobytes of a process, from /proc.
inline long residentKb(const QString& process) {
    QFile status(QStringLiteral("/proc/%1/status").arg(process));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return 0;
}

// Resident kilobytes of a process and of every process it started that still runs (helper
// programs kept waiting count: the user's machine pays for them too).
inline long residentKbWithChildren(const QString& process) {
    long total = residentKb(process);
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(process));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile children(tasks.filePath(task + QStringLiteral("/children")));
        if (!children.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& child : children.readAll().split(' '))
            if (!child.trimmed().isEmpty())
                total += residentKbWithChildren(QString::fromLatin1(child.trimmed()));
    }
    return total;
}

// Tells the parent of the first paint of a window, then of the memory 1.5 s later.
class PaintProbe : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!m_painted && event->type() == QEvent::Paint && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->isWindow()) {
            m_painted = true;
            QTimer::singleShot(0, this, [] { std::printf("painted\n"), std::fflush(stdout); });
            QTimer::singleShot(1500, this, [] {
                std::printf("idle %ld\n", residentKbWithChildren(QStringLiteral("self")));
                std::fflush(stdout);
                QCoreApplication::quit();
            });
        }
        return false;
    }

private:
    bool m_painted = false;
};

inline void installProbe() {
    QCoreApplication::instance()->installEventFilter(new PaintProbe);
}

} // namespace launchprobe
