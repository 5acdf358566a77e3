#pragma once

#include "platform/AppError.h"

#include <QString>

#include <memory>

namespace lessora {

// A failure while writing an audio file; its message says why, for the user.
class ExportError : public AppError {
public:
    using AppError::AppError;
};

// The kinds of audio file a lesson is written to, chosen by the file name's extension.
enum class AudioFileKind { Wav, Flac, OggOpus, Mp3 };

// The kind for ".wav", ".flac", ".opus" or ".ogg" (Ogg Opus) and ".mp3", in any letter case;
// null for any other name.
std::optional<AudioFileKind> audioFileKindOf(const QString& path);
// The extension written for a kind, without the dot.
QString extensionOf(AudioFileKind kind);
// The sample rate a kind is written at from speech at `speechRate`: Opus takes only a few
// rates, so its files are written at 24 kHz; the others keep the speech's rate.
int fileSampleRateFor(AudioFileKind kind, int speechRate);

class TemporaryEntry;

// Writes mono 16-bit audio through libsndfile into a file that appears under its name only
// when complete: the samples go to a new hidden file beside it (see TemporaryEntry), which
// commit() renames into place and which is removed when the writer is destroyed before that
// (an error, a cancelled export). Every byte the encoder hands over is written and checked here,
// and the file is flushed to the disk before it is named: the encoders do not all pass a short
// write back, and a cut file must never pass for a finished one. A name that is a symbolic link
// has its target replaced.
class AudioFileWriter {
public:
    // Throws ExportError when the file cannot be created.
    AudioFileWriter(const QString& path, AudioFileKind kind, int sampleRate);
    ~AudioFileWriter();
    AudioFileWriter(const AudioFileWriter&) = delete;
    AudioFileWriter& operator=(const AudioFileWriter&) = delete;

    int sampleRate() const { return m_sampleRate; }
    qint64 framesWritten() const { return m_frames; }

    // Throw ExportError when the samples cannot be written (a full disk, a size limit).
    void write(const qint16* samples, qint64 count);
    void writeSilence(qint64 frames);
    // Finishes the file and checks that all of it reached the disk; throws ExportError when
    // not. Nothing more can be written.
    void finish();
    // Gives the finished file its name; throws ExportError when that fails.
    void putInPlace();
    // finish() and putInPlace().
    void commit();

private:
    [[noreturn]] void fail(const QString& what);

    QString m_path;
    int m_sampleRate;
    std::unique_ptr<TemporaryEntry> m_part;
    struct SndFile;
    std::unique_ptr<SndFile> m_file;
    qint64 m_frames = 0;
    bool m_finished = false;
};

} // namespace lessora
