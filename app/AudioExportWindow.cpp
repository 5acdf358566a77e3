#include "app/AudioExportWindow.h"

#include "app/Services.h"
#include "lesson/LessonTable.h"
#include "platform/FileDialogs.h"
#include "platform/MessageBoxes.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QProgressDialog>
#include <QTimer>

#include <atomic>
#include <exception>
#include <memory>
#include <thread>

namespace lessora {

namespace {
constexpr int kProgressPollMs = 100;
} // namespace

const QString AudioExportWindow::kFilter =
    QStringLiteral("MP3 (*.mp3)|*.mp3|Ogg Opus (*.opus)|*.opus|FLAC (*.flac)|*.flac|WAV "
                   "(*.wav)|*.wav");

QString clipsFolderFor(const QString& audioFile) {
    const QFileInfo file(audioFile);
    return file.dir().filePath(file.completeBaseName() + QStringLiteral("_clips"));
}

void AudioExportWindow::run(QWidget* parent, const Services& services, const LessonTable& table,
                            const ExportOptions& options, bool clips,
                            const QStringList& lessonFiles) {
    const std::optional<QString> path = services.fileDialogs.getSaveFileName(
        {kFilter, QStringLiteral("mp3"), m_lastFile, QString()});
    if (!path)
        return;
    m_lastFile = *path;
    const QString clipsFolder = clips ? clipsFolderFor(*path) : QString();
    checkExportTargets(lessonFiles, *path, clipsFolder);

    // The export works on a copy, so that the lesson may be edited and played meanwhile.
    const QList<LessonRow> rows = table.allRows();
    std::atomic<int> done = 0;
    std::atomic<int> total = 1;
    std::atomic<bool> cancelled = false;
    std::atomic<bool> finished = false;
    ExportSummary summary;
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            LessonTable copy;
            copy.setRows(rows);
            summary = exportLesson(services.speech, services.settingsPath, copy, options, *path,
                                   clipsFolder, [&](int rowsDone, int rowsTotal) {
                                       done = rowsDone;
                                       total = std::max(rowsTotal, 1);
                                       return !cancelled;
                                   });
        } catch (...) {
            failure = std::current_exception();
        }
        finished = true;
    });

    // Gone before the message that ends the export is shown: nothing of it stays behind that.
    auto progress =
        std::make_unique<QProgressDialog>(QStringLiteral("音声ファイルに書き出しています…"),
                                          QStringLiteral("キャンセル"), 0, 1, parent);
    progress->setObjectName(QStringLiteral("dlgExportProgress"));
    progress->setWindowTitle(QStringLiteral("書き出し"));
    progress->setWindowModality(Qt::WindowModal);
    progress->setMinimumDuration(0);
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    QObject::connect(progress.get(), &QProgressDialog::canceled, progress.get(), [&] {
        cancelled = true;
        progress->setLabelText(QStringLiteral("中止しています…"));
    });
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        progress->setMaximum(total);
        progress->setValue(done);
        if (finished)
            loop.quit();
    });
    poll.start(kProgressPollMs);
    progress->show();
    loop.exec();
    worker.join();
    poll.stop();
    // Closing a progress dialog counts as cancelling it: the export is over, nothing to cancel.
    QObject::disconnect(progress.get(), &QProgressDialog::canceled, nullptr, nullptr);
    progress.reset();

    if (failure) {
        try {
            std::rethrow_exception(failure);
        } catch (const ExportError& error) {
            // Cancelling is the user's own choice, not a failure: told as it is.
            if (error.message() != kExportCancelled)
                throw;
            services.messages.showMessage(kExportCancelled);
            return;
        }
    }
    const qint64 seconds = summary.durationMs() / 1000;
    QString message = QStringLiteral("書き出しました。\r\n%1\r\n%2分%3秒、%4行")
                          .arg(QDir::toNativeSeparators(*path))
                          .arg(seconds / 60)
                          .arg(seconds % 60)
                          .arg(summary.linesSpoken);
    if (clips)
        message += QStringLiteral("\r\n行ごとのファイル: %1 (%2個)")
                       .arg(QDir::toNativeSeparators(clipsFolder))
                       .arg(summary.clipFiles);
    for (const QString& notice : summary.notices)
        message += QStringLiteral("\r\n\r\n") + notice;
    services.messages.showMessage(message);
}

} // namespace lessora
