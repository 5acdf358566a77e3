#include "export/AudioFileWriter.h"

#include "export/ExportFiles.h"
#include "files/FileNames.h"
#include "platform/LazyLibrary.h"
#include "platform/SndFileDescriptor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sndfile.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <QCoreApplication>
#include <sys/stat.h>
#include <unistd.h>

namespace lessora {

namespace {

int sndFormatOf(AudioFileKind kind) {
    switch (kind) {
    case AudioFileKind::Wav:
        return SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    case AudioFileKind::Flac:
        return SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    case AudioFileKind::OggOpus:
        return SF_FORMAT_OGG | SF_FORMAT_OPUS;
    case AudioFileKind::Mp3:
        return SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
    }
    return 0;
}

QString nativePath(const QString& path) {
    return QDir::toNativeSeparators(path);
}

#define SNDFILE_FUNCTIONS(F)                                                                       \
    F(sf_open_virtual)                                                                             \
    F(sf_close)                                                                                    \
    F(sf_format_check)                                                                             \
    F(sf_command)                                                                                  \
    F(sf_write_short)                                                                              \
    F(sf_strerror)

// libsndfile, loaded on the first export rather than with the program: it brings the MP3,
// Vorbis, Opus and FLAC codecs along, a cost at every start for what few runs use.
struct SndFileLibrary : LazyLibrary {
    SNDFILE_FUNCTIONS(LESSORA_LAZY_FUNCTION)
    SndFileLibrary()
        : LazyLibrary("sndfile", 1) {
        SNDFILE_FUNCTIONS(LESSORA_LAZY_RESOLVE)
    }
};

// The loaded library; throws ExportError, saying what is missing, when it cannot be loaded.
const SndFileLibrary& sndFile() {
    static const SndFileLibrary library;
    if (!library.isLoaded())
        throw ExportError(QCoreApplication::translate(
                              "Export",
                              "音声ファイルを書き出すためのライブラリ libsndfile を読み込めません。"
                              "\r\n%1")
                              .arg(library.problem()));
    return library;
}

} // namespace

std::optional<AudioFileKind> audioFileKindOf(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == u"wav")
        return AudioFileKind::Wav;
    if (suffix == u"flac")
        return AudioFileKind::Flac;
    if (suffix == u"opus" || suffix == u"ogg")
        return AudioFileKind::OggOpus;
    if (suffix == u"mp3")
        return AudioFileKind::Mp3;
    return std::nullopt;
}

QString extensionOf(AudioFileKind kind) {
    switch (kind) {
    case AudioFileKind::Wav:
        return QStringLiteral("wav");
    case AudioFileKind::Flac:
        return QStringLiteral("flac");
    case AudioFileKind::OggOpus:
        return QStringLiteral("opus");
    case AudioFileKind::Mp3:
        return QStringLiteral("mp3");
    }
    return {};
}

int fileSampleRateFor(AudioFileKind kind, int speechRate) {
    return kind == AudioFileKind::OggOpus ? 24000 : speechRate;
}

// The file the encoder writes through, on its own descriptor, and the encoder's handle.
struct AudioFileWriter::SndFile : SndFileDescriptor {
    SNDFILE* handle = nullptr;

    ~SndFile() {
        if (handle) // only ever set with the library loaded
            sndFile().sf_close(handle);
    }
};

AudioFileWriter::AudioFileWriter(const QString& path, AudioFileKind kind, int sampleRate)
    : m_path(resolvedTarget(path))
    , m_sampleRate(sampleRate)
    , m_file(std::make_unique<SndFile>()) {
    const SndFileLibrary& library = sndFile();
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = 1;
    info.format = sndFormatOf(kind);
    if (!library.sf_format_check(&info))
        throw ExportError(QCoreApplication::translate("Export", "この形式では書き出せません: %1")
                              .arg(nativePath(path)));
    removeStaleTemporaries(m_path);
    m_part = std::make_unique<TemporaryEntry>(m_path, TemporaryEntry::Kind::File);
    m_file->fd = m_part->fd();
    // An existing file keeps its permissions, as with a lesson save.
    struct stat existing {};
    if (::stat(fileNameBytes(m_path).constData(), &existing) == 0 && S_ISREG(existing.st_mode))
        ::fchmod(m_file->fd, existing.st_mode & 07777);
    m_file->handle = library.sf_open_virtual(SndFileDescriptor::io(), SFM_WRITE, &info,
                                             static_cast<SndFileDescriptor*>(m_file.get()));
    if (!m_file->handle)
        throw ExportError(
            QCoreApplication::translate("Export", "ファイルを作成できません: %1\r\n%2")
                .arg(nativePath(path), QString::fromLocal8Bit(library.sf_strerror(nullptr))));
    if (kind == AudioFileKind::Mp3 || kind == AudioFileKind::OggOpus) {
        // Speech needs far less than music: a smaller file for the same clarity.
        double quality = kind == AudioFileKind::Mp3 ? 0.5 : 0.6;
        library.sf_command(m_file->handle, SFC_SET_COMPRESSION_LEVEL, &quality, sizeof quality);
    }
}

AudioFileWriter::~AudioFileWriter() {
    m_file.reset(); // closes the file before its temporary name is removed
}

void AudioFileWriter::fail(const QString& what) {
    const int error = m_file->error ? m_file->error : errno;
    const QString reason = error ? QString::fromLocal8Bit(std::strerror(error))
                                 : QString::fromLocal8Bit(sndFile().sf_strerror(m_file->handle));
    m_file.reset();
    m_part.reset();
    throw ExportError(QStringLiteral("%1: %2\r\n%3").arg(what, nativePath(m_path), reason));
}

void AudioFileWriter::write(const qint16* samples, qint64 count) {
    if (!m_file || !m_file->handle || m_finished)
        throw ExportError(QCoreApplication::translate("Export", "ファイルは閉じられています: %1")
                              .arg(nativePath(m_path)));
    errno = 0;
    if (sndFile().sf_write_short(m_file->handle, samples, count) != count || m_file->error)
        fail(QCoreApplication::translate("Export", "音声を書き込めません"));
    m_frames += count;
}

void AudioFileWriter::writeSilence(qint64 frames) {
    static const std::array<qint16, 4096> zeros{};
    while (frames > 0) {
        const qint64 chunk = std::min<qint64>(frames, zeros.size());
        write(zeros.data(), chunk);
        frames -= chunk;
    }
}

void AudioFileWriter::finish() {
    if (!m_file || !m_file->handle || m_finished)
        throw ExportError(QCoreApplication::translate("Export", "ファイルは閉じられています: %1")
                              .arg(nativePath(m_path)));
    errno = 0;
    const int closed = sndFile().sf_close(m_file->handle);
    m_file->handle = nullptr;
    if (closed != 0 || m_file->error)
        fail(QCoreApplication::translate("Export", "音声を書き込めません"));
    if (::fsync(m_file->fd) != 0) {
        m_file->error = errno;
        fail(QCoreApplication::translate("Export", "音声を書き込めません"));
    }
    m_finished = true;
}

void AudioFileWriter::putInPlace() {
    if (!m_finished || !m_part)
        throw ExportError(QCoreApplication::translate("Export", "ファイルは閉じられています: %1")
                              .arg(nativePath(m_path)));
    m_part->putInPlace();
}

void AudioFileWriter::commit() {
    finish();
    putInPlace();
}

} // namespace lessora
