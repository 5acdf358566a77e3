#include "app/AudioExportWindow.h"

#include "app/Services.h"
#include "export/Logging.h"
#include "lesson/LessonTable.h"
#include "platform/FileDialogs.h"
#include "platform/MessageBoxes.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QProgressDialog>
#include <QtConcurrent/QtConcurrentRun>

#include <QCoreApplication>
#include <atomic>
#include <exception>

namespace lessora {

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
    // How it ended: what QtConcurrent passes on of an exception is not the ExportError itself.
    struct Outcome {
        ExportSummary summary;
        std::exception_ptr failure;
    };
    std::atomic<bool> cancelled = false;
    Outcome outcome;
    {
        // Gone before the message that ends the export is shown: nothing of it stays behind.
        QProgressDialog progress(
            QCoreApplication::translate("AudioExportWindow", "音声ファイルに書き出しています…"),
            QCoreApplication::translate("AudioExportWindow", "キャンセル"), 0, 1, parent);
        progress.setObjectName(QStringLiteral("dlgExportProgress"));
        progress.setWindowTitle(QCoreApplication::translate("AudioExportWindow", "書き出し"));
        progress.setWindowModality(Qt::WindowModal);
        progress.setMinimumDuration(0);
        progress.setAutoClose(false);
        progress.setAutoReset(false);
        QObject::connect(&progress, &QProgressDialog::canceled, &progress, [&] {
            cancelled = true;
            progress.setLabelText(
                QCoreApplication::translate("AudioExportWindow", "中止しています…"));
        });

        // The worker tells where it is through a queued call, one at a time however fast the
        // rows go; the dialog shows the latest.
        std::atomic<int> done = 0;
        std::atomic<int> total = 1;
        std::atomic<bool> shown = true;
        QFutureWatcher<Outcome> watcher;
        const auto report = [&](int rowsDone, int rowsTotal) {
            done = rowsDone;
            total = std::max(rowsTotal, 1);
            if (shown.exchange(false))
                QMetaObject::invokeMethod(
                    &watcher,
                    [&] {
                        shown = true;
                        progress.setMaximum(total);
                        progress.setValue(done);
                    },
                    Qt::QueuedConnection);
            return !cancelled;
        };
        QEventLoop loop;
        QObject::connect(&watcher, &QFutureWatcher<Outcome>::finished, &loop, &QEventLoop::quit);
        watcher.setFuture(
            QtConcurrent::run([&services, &options, &rows, &clipsFolder, &report, path = *path] {
                Outcome result;
                try {
                    LessonTable copy;
                    copy.setRows(rows);
                    result.summary = exportLesson(services.speech, services.settingsPath, copy,
                                                  options, path, clipsFolder, report);
                } catch (...) {
                    result.failure = std::current_exception();
                }
                return result;
            }));
        progress.show();
        loop.exec();
        outcome = watcher.result();
        // Closing a progress dialog counts as cancelling it: the export is over, nothing to
        // cancel.
        QObject::disconnect(&progress, &QProgressDialog::canceled, nullptr, nullptr);
    }

    if (outcome.failure) {
        try {
            std::rethrow_exception(outcome.failure);
        } catch (const ExportError& error) {
            // Cancelling is the user's own choice, not a failure: told as it is.
            if (error.message() != exportCancelled())
                throw;
            qCInfo(lcExport) << "export cancelled:" << *path;
            services.messages.showMessage(exportCancelled());
            return;
        }
    }
    const ExportSummary& summary = outcome.summary;
    const qint64 seconds = summary.durationMs() / 1000;
    QString message =
        QCoreApplication::translate("AudioExportWindow", "書き出しました。\r\n%1\r\n%2分%3秒、%4行")
            .arg(QDir::toNativeSeparators(*path))
            .arg(seconds / 60)
            .arg(seconds % 60)
            .arg(summary.linesSpoken);
    if (clips)
        message +=
            QCoreApplication::translate("AudioExportWindow", "\r\n行ごとのファイル: %1 (%2個)")
                .arg(QDir::toNativeSeparators(clipsFolder))
                .arg(summary.clipFiles);
    for (const QString& notice : summary.notices)
        message += QStringLiteral("\r\n\r\n") + notice;
    services.messages.showMessage(message);
}

} // namespace lessora
