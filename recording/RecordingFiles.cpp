#include "recording/RecordingFiles.h"

#include "platform/LazyLibrary.h"
#include "platform/SndFileDescriptor.h"
#include "recording/Logging.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>

#include <sndfile.h>

#include <algorithm>
#include <cstring>

namespace lessora {

namespace {

#define SNDFILE_RECORDING_FUNCTIONS(F)                                                             \
    F(sf_open_virtual)                                                                             \
    F(sf_close)                                                                                    \
    F(sf_write_short)                                                                              \
    F(sf_strerror)

// libsndfile, loaded when the first recording is written.
struct SndFileLibrary : LazyLibrary {
    SNDFILE_RECORDING_FUNCTIONS(LESSORA_LAZY_FUNCTION)
    SndFileLibrary()
        : LazyLibrary("sndfile", 1) {
        SNDFILE_RECORDING_FUNCTIONS(LESSORA_LAZY_RESOLVE)
    }
};

const SndFileLibrary& sndFile() {
    static const SndFileLibrary library;
    if (!library.isLoaded())
        throw RecordingError(
            QCoreApplication::translate(
                "Recording", "録音を保存するためのライブラリ libsndfile を読み込めません。\n%1")
                .arg(library.problem()));
    return library;
}

const QRegularExpression& namePattern() {
    static const QRegularExpression pattern(
        QStringLiteral(R"(^(\d{4,})_[A-Za-z0-9]*_\d{8}-\d{6}-\d{3}\.flac$)"));
    return pattern;
}

[[noreturn]] void failWriting(const QString& path, const QString& why) {
    qCWarning(lcRecording) << "cannot write the recording" << path << why;
    throw RecordingError(QCoreApplication::translate("Recording", "録音を保存できません: %1\n%2")
                             .arg(QDir::toNativeSeparators(path), why));
}

} // namespace

QString recordingsFolderOf(const QString& lessonPath) {
    const QFileInfo lesson(lessonPath);
    return lesson.dir().filePath(lesson.completeBaseName() + QStringLiteral(".recordings"));
}

QString unsavedRecordingsFolder() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
        .filePath(QStringLiteral("unsaved.recordings"));
}

QString recordingFileName(int lineNumber, const QString& speaker, const QDateTime& time) {
    QString code;
    for (const QChar c : speaker) {
        if (c.unicode() < 128 && c.isLetterOrNumber())
            code += c;
    }
    return QStringLiteral("%1_%2_%3.flac")
        .arg(lineNumber, 4, 10, QChar(u'0'))
        .arg(code, time.toString(QStringLiteral("yyyyMMdd-HHmmss-zzz")));
}

QStringList recordingsIn(const QString& folder) {
    QStringList found;
    const QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Files, QDir::Name)) {
        if (namePattern().match(name).hasMatch())
            found << dir.filePath(name);
    }
    return found;
}

QString latestRecording(const QString& folder, int lineNumber) {
    const QString prefix = QStringLiteral("%1_").arg(lineNumber, 4, 10, QChar(u'0'));
    const QDir dir(folder);
    // By the time in the name: a line whose speaker was changed has names of both speakers.
    const auto timeOf = [](const QString& name) { return name.section(u'_', 2); };
    QString latest;
    for (const QString& name : dir.entryList({prefix + QStringLiteral("*.flac")}, QDir::Files)) {
        if (namePattern().match(name).hasMatch() &&
            (latest.isEmpty() || timeOf(name) > timeOf(latest)))
            latest = name;
    }
    return latest.isEmpty() ? QString() : dir.filePath(latest);
}

void writeFlac(const QString& path, const qint16* samples, qint64 count, int sampleRate) {
    const SndFileLibrary& library = sndFile();
    if (!QDir().mkpath(QFileInfo(path).path()))
        failWriting(path, QCoreApplication::translate("Recording", "フォルダーを作成できません。"));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        failWriting(path, file.errorString());
    SndFileDescriptor descriptor{file.handle()};
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = 1;
    info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    SNDFILE* sound =
        library.sf_open_virtual(SndFileDescriptor::io(), SFM_WRITE, &info, &descriptor);
    if (!sound)
        failWriting(path, QString::fromLocal8Bit(library.sf_strerror(nullptr)));
    const sf_count_t written = library.sf_write_short(sound, samples, sf_count_t(count));
    const int closed = library.sf_close(sound);
    if (descriptor.error)
        failWriting(path, QString::fromLocal8Bit(std::strerror(descriptor.error)));
    if (written != sf_count_t(count) || closed != 0)
        failWriting(path, QCoreApplication::translate("Recording", "音声を書き込めません。"));
    // QSaveFile flushes the file to the disk before it takes the name; uncommitted, it is
    // removed.
    if (!file.commit())
        failWriting(path, file.errorString());
}

int deleteRecordings(const QString& folder) {
    int removed = 0;
    QStringList stayed;
    for (const QString& path : recordingsIn(folder)) {
        if (QFile::remove(path))
            ++removed;
        else
            stayed << QDir::toNativeSeparators(path);
    }
    QDir().rmdir(folder); // only when empty: other files of the user's stay, and their folder
    if (!stayed.isEmpty()) {
        qCWarning(lcRecording) << "recordings that could not be deleted:" << stayed;
        throw RecordingError(
            QCoreApplication::translate("Recording", "削除できない録音があります:\n%1")
                .arg(stayed.join(u'\n')));
    }
    return removed;
}

QStringList moveRecordings(const QStringList& files, const QString& folder) {
    QStringList moved;
    if (!files.isEmpty() && !QDir().mkpath(folder))
        throw RecordingError(
            QCoreApplication::translate("Recording", "録音のフォルダーを作成できません: %1")
                .arg(QDir::toNativeSeparators(folder)));
    for (const QString& path : files) {
        const QString target = QDir(folder).filePath(QFileInfo(path).fileName());
        if (!QFile::rename(path, target)) {
            qCWarning(lcRecording) << "cannot move the recording" << path << "to" << folder;
            throw RecordingError(
                QCoreApplication::translate("Recording", "録音を移動できません: %1 → %2")
                    .arg(QDir::toNativeSeparators(path), QDir::toNativeSeparators(folder)));
        }
        moved << target;
    }
    return moved;
}

} // namespace lessora
