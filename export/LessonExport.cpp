#include "export/LessonExport.h"

#include "audio/SampleRateConverter.h"
#include "export/ExportFiles.h"
#include "export/Logging.h"
#include "files/FileNames.h"
#include "lesson/LessonTable.h"
#include "lesson/RowRules.h"
#include "platform/MessageBoxes.h"
#include "playback/DrillPlan.h"
#include "playback/LineReadings.h"
#include "playback/RowSpeaker.h"
#include "voices/SpokenAccent.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <QFuture>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <deque>
#include <exception>

#include <QCoreApplication>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lessora {

namespace {

// The synthesisers speak at 22.05 kHz; the file keeps that rate unless its kind wants another.
constexpr int kSpeechRate = 22050;
// Work waiting for the writer; enough to keep it busy, little enough to keep memory small.
constexpr std::size_t kQueuedJobs = 16;
constexpr double kPeakLimit = 0.89; // -1 dBFS: resampling never clips
// Lines of the first pass kept for the passes after it, up to this many samples (some 12
// minutes of speech, 32 MB): a lesson of usual length is synthesised once however many passes
// it has, and a longer one still within bounded memory.
constexpr qint64 kKeptSamples = 16 * 1024 * 1024;

// The voice choice's messages, kept to be reported when the export is done.
class CollectedMessages : public MessageBoxes {
public:
    QStringList texts;
    void showMessage(const QString& text) override {
        if (!texts.contains(text))
            texts << text;
    }
    bool confirm(const QString&) override { return false; }
    YesNoCancel askYesNoCancel(const QString&) override { return YesNoCancel::Cancel; }
};

// A spoken line as the file takes it: at the file's rate, faded in and out. The voices have
// brought it to the common loudness already, as they do for playing it, so both sound alike;
// only a peak that resampling lifted above the limit is lowered.
QVector<qint16> prepareLine(const SynthesizedAudio& audio, int fileRate) {
    std::vector<float> samples;
    SampleRateConverter converter(audio.sampleRate, fileRate);
    converter.process(audio.samples.constData(), audio.samples.size(), samples);
    converter.finish(samples);

    float peak = 0;
    for (const float sample : samples)
        peak = std::max(peak, std::abs(sample));
    double gain = 1;
    if (peak > kPeakLimit * 32767.0)
        gain = kPeakLimit * 32767.0 / peak;

    // Fade at the edges of the sound itself: a synthesiser may stop on a loud sample and then
    // pad with zeros, which would click however the padding is faded.
    constexpr float kAudible = 16.0f;
    std::size_t first = 0;
    while (first < samples.size() && std::abs(samples[first] * gain) < kAudible)
        ++first;
    std::size_t last = samples.size();
    while (last > first && std::abs(samples[last - 1] * gain) < kAudible)
        --last;
    const std::size_t fade =
        std::min<std::size_t>(std::size_t(fileRate) * kFadeMs / 1000, (last - first) / 2);
    QVector<qint16> out(qsizetype(samples.size()), 0);
    for (std::size_t i = first; i < last; ++i) {
        double value = samples[i] * gain;
        if (i - first < fade)
            value *= double(i - first) / double(fade);
        else if (last - i <= fade)
            value *= double(last - 1 - i) / double(fade);
        out[qsizetype(i)] = qint16(std::clamp(std::lround(value), -32768L, 32767L));
    }
    return out;
}

using LinePtr = std::shared_ptr<const SynthesizedAudio>;

// One piece of work for the writer.
struct WriteJob {
    enum class Kind { Line, Silence, Clip };
    Kind kind = Kind::Silence;
    LinePtr line; // Line, Clip
    qint64 silenceMs = 0;
    QString clipPath; // Clip
};

// The writer: evens out, resamples and encodes the lines on a pool thread of its own while the
// next ones are synthesised. Its jobs are a chain of futures, each run after the one before and
// skipped once one has failed; at most kQueuedJobs wait, so memory stays small. Destroyed
// before finish() succeeded, it stops and leaves no file behind.
class Writer {
public:
    Writer(const QString& outputPath, AudioFileKind kind)
        : m_kind(kind)
        , m_file(outputPath, kind, fileSampleRateFor(kind, kSpeechRate)) {
        m_pool.setMaxThreadCount(1);
        m_tail = QtConcurrent::run(&m_pool, [] {});
    }

    ~Writer() {
        m_stopping = true; // the jobs still waiting are skipped
        try {
            m_tail.waitForFinished();
        } catch (const std::exception& error) {
            // Reported by push() or finish() already, or of no interest once the export failed.
            qCDebug(lcExport) << "writer stopped after:" << error.what();
        }
    }

    int sampleRate() const { return m_file.sampleRate(); }

    // Rethrows the writer's error, if it had one.
    void push(WriteJob job) {
        m_tail = m_tail.then(&m_pool, [this, job = std::move(job)] {
            if (!m_stopping)
                write(job);
        });
        m_waiting.push_back(m_tail);
        while (!m_waiting.empty() &&
               (m_waiting.size() > kQueuedJobs || m_waiting.front().isFinished())) {
            m_waiting.front().waitForFinished(); // rethrows a failure
            m_waiting.pop_front();
        }
    }

    // Waits for everything to be written and on the disk; the file is not named yet.
    void finish() {
        m_tail = m_tail.then(&m_pool, [this] { m_file.finish(); });
        m_tail.waitForFinished();
        m_waiting.clear();
    }
    // Gives the finished file its name.
    void putInPlace() { m_file.putInPlace(); }

    qint64 frames() const { return m_file.framesWritten(); }
    int clipCount() const { return int(m_clips.size()); }

private:
    void write(const WriteJob& job) {
        switch (job.kind) {
        case WriteJob::Kind::Line: {
            const QVector<qint16>& samples = prepared(job.line);
            m_file.write(samples.constData(), samples.size());
            break;
        }
        case WriteJob::Kind::Silence:
            m_file.writeSilence(job.silenceMs * m_file.sampleRate() / 1000);
            break;
        case WriteJob::Kind::Clip: {
            const QVector<qint16>& samples = prepared(job.line);
            AudioFileWriter clip(job.clipPath, m_kind, m_file.sampleRate());
            clip.write(samples.constData(), samples.size());
            clip.commit();
            m_clips << job.clipPath;
            break;
        }
        }
    }

    // A line repeated (a drill, a model answer, its clip) is prepared once.
    const QVector<qint16>& prepared(const LinePtr& line) {
        if (line != m_preparedLine) {
            m_prepared = prepareLine(*line, m_file.sampleRate());
            m_preparedLine = line;
        }
        return m_prepared;
    }

    const AudioFileKind m_kind;
    // Used by the jobs only, one after the other; read by the caller once they are done.
    AudioFileWriter m_file;
    LinePtr m_preparedLine;
    QVector<qint16> m_prepared;
    QStringList m_clips;

    std::atomic<bool> m_stopping = false;
    QThreadPool m_pool;
    QFuture<void> m_tail;
    std::deque<QFuture<void>> m_waiting; // jobs pushed and not yet seen done
};

// One clip's line in "index.tsv": tabs and line breaks inside a text would split the record.
QString tsvField(const QString& text) {
    QString field = text;
    for (QChar& c : field) {
        if (c == u'\t' || c == u'\n' || c == u'\r')
            c = u' ';
    }
    return field;
}

// The accent column of a line with a reading (a Japanese line): its text form, or nothing when
// there is no analysis (no Open JTalk) or it failed.
QString accentField(const ExportOptions& options, const QString& text, const QString& reading) {
    if (reading.isEmpty())
        return {};
    try {
        return tsvField(accentText(options.accentOf ? options.accentOf(text) : spokenAccent(text)));
    } catch (const std::exception& error) {
        qCWarning(lcExport) << "no accent for the index:" << text << "-" << error.what();
        return {};
    }
}

// The folder of the per-line clips. They are written into a new hidden folder beside it, which
// takes its place only when complete; a folder that holds files already is refused, so that an
// export never replaces or removes a file of the user's.
class ClipsFolder {
public:
    explicit ClipsFolder(const QString& path) {
        if (path.isEmpty())
            return;
        m_target = resolvedTarget(path);
        const QFileInfo target(m_target);
        if (target.exists() && !target.isDir())
            throw ExportError(QCoreApplication::translate(
                                  "Export", "同じ名前のファイルがあるため、フォルダを作成でき"
                                            "ません: %1")
                                  .arg(QDir::toNativeSeparators(path)));
        if (target.isDir() && !QDir(m_target).isEmpty(QDir::AllEntries | QDir::Hidden |
                                                      QDir::System | QDir::NoDotAndDotDot))
            throw ExportError(clipsFolderNotEmpty(path));
        if (!target.dir().exists())
            throw ExportError(QCoreApplication::translate("Export", "フォルダを作成できません: %1")
                                  .arg(QDir::toNativeSeparators(path)));
        removeStaleTemporaries(m_target);
        m_work = std::make_unique<TemporaryEntry>(m_target, TemporaryEntry::Kind::Folder);
    }
    ~ClipsFolder() {
        // Only when what was put in place must not stay (the lesson file could not be named):
        // everything in it was made by this export.
        if (m_removePlaced)
            QDir(m_target).removeRecursively();
    }

    QString filePath(const QString& name) const { return QDir(m_work->path()).filePath(name); }

    void writeIndex(const QByteArray& bytes) {
        const QString path = filePath(QStringLiteral("index.tsv"));
        const int fd = ::open(fileNameBytes(path).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0)
            throwFileError(QCoreApplication::translate("Export", "一覧を書き込めません"), path,
                           errno);
        try {
            writeAllAndSync(fd, bytes, path);
        } catch (...) {
            ::close(fd);
            throw;
        }
        if (::close(fd) != 0)
            throwFileError(QCoreApplication::translate("Export", "一覧を書き込めません"), path,
                           errno);
    }

    void putInPlace() {
        m_work->putInPlace();
        m_removePlaced = true;
    }
    // The folder stays where it was put.
    void keep() { m_removePlaced = false; }

private:
    QString m_target;
    std::unique_ptr<TemporaryEntry> m_work;
    bool m_removePlaced = false;
};

// The same file or folder, links followed; false when either does not exist.
bool sameEntry(const QString& a, const QString& b) {
    struct stat first {
    }, second{};
    return ::stat(fileNameBytes(a).constData(), &first) == 0 &&
           ::stat(fileNameBytes(b).constData(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

SynthesizedAudio synthesizeLine(RowSpeaker& speaker, const RowCells& cells, int row,
                                SpeechRates rates) {
    try {
        return speaker.synthesize(cells, rates);
    } catch (const AppError& error) {
        throw ExportError(QCoreApplication::translate("Export", "%1行目を音声にできません。\r\n%2")
                              .arg(row + 1)
                              .arg(error.message()));
    }
}

} // namespace

ExportOptions exportOptionsFrom(const PlaybackChoices& choices, QChar decimalSeparator) {
    ExportOptions options;
    options.passes = passCountForIndex(choices.repeatIndex);
    options.defaultPauseMs = intervalMsForIndex(choices.intervalIndex);
    options.rates = ratesOf(choices);
    options.practice = choices.practice;
    options.decimalSeparator = decimalSeparator;
    return options;
}

QString clipsFolderNotEmpty(const QString& folder) {
    return QCoreApplication::translate(
               "Export", "行ごとのファイルのフォルダにはすでにファイルがあります。空のフォルダか"
                         "新しい名前を選んでください: %1")
        .arg(QDir::toNativeSeparators(folder));
}

void checkExportTargets(const QStringList& lessonPaths, const QString& outputPath,
                        const QString& clipsFolder) {
    const QString output = resolvedTarget(outputPath);
    for (const QString& lessonPath : lessonPaths) {
        if (!lessonPath.isEmpty() &&
            (sameEntry(lessonPath, output) ||
             QFileInfo(lessonPath).absoluteFilePath() == QFileInfo(output).absoluteFilePath()))
            throw ExportError(QCoreApplication::translate(
                                  "Export", "教材ファイルと同じファイルには書き出せません: %1")
                                  .arg(QDir::toNativeSeparators(outputPath)));
    }
    if (clipsFolder.isEmpty())
        return;
    const QString clips = resolvedTarget(clipsFolder);
    const QString clipsPrefix = QFileInfo(clips).absoluteFilePath() + u'/';
    if (sameEntry(clips, output) || (QFileInfo(output).absoluteFilePath() + u'/') == clipsPrefix ||
        QFileInfo(output).absoluteFilePath().startsWith(clipsPrefix))
        throw ExportError(QCoreApplication::translate(
                              "Export", "行ごとのファイルのフォルダには書き出せません: %1")
                              .arg(QDir::toNativeSeparators(outputPath)));
}

PlaybackChoices choicesOfLesson(const StoredLessonSettings& stored) {
    LessonSettings settings;
    settings.intervalIndex = stored.intervalIndex.value_or(0);
    settings.repeatIndex = stored.repeatIndex.value_or(0);
    settings.englishRateIndex = stored.englishRateIndex.value_or(2);
    // The same settings as the window takes from the lesson.
    settings.practice = practiceSettingsOf(stored.practice);
    return choicesOf(settings);
}

QList<int> exportedRows(const LessonTable& table) {
    QList<int> rows;
    for (int row = 0; row < table.rows(); ++row) {
        if (isSpeakableRow(table, row))
            rows << row;
    }
    return rows;
}

DrillSettings drillSettingsOf(const ExportOptions& options) {
    DrillSettings settings;
    settings.passes = std::max(options.passes, 1);
    settings.defaultPauseMs = options.defaultPauseMs;
    settings.practice = options.practice;
    settings.decimalSeparator = options.decimalSeparator;
    return settings;
}

QList<ExportStep> exportStepsOfRow(const LessonTable& table, int row,
                                   const ExportOptions& options) {
    QList<ExportStep> steps;
    for (const DrillStep& step : stepsOfRow(table, row, 1, drillSettingsOf(options))) {
        switch (step.kind) {
        case DrillStep::Kind::Speak:
            steps << ExportStep{ExportStep::Kind::Speak, 100, 0};
            break;
        case DrillStep::Kind::Gap:
            steps << ExportStep{ExportStep::Kind::Gap, step.percent, 0};
            break;
        case DrillStep::Kind::Pause:
            steps << ExportStep{ExportStep::Kind::Pause, 100, step.ms};
            break;
        case DrillStep::Kind::Beep:
        case DrillStep::Kind::Replay: // a file has no recording of the learner
            break;
        }
    }
    return steps;
}

ExportSummary exportLesson(SpeechEngine& engine, const QString& settingsPath,
                           const LessonTable& table, const ExportOptions& options,
                           const QString& outputPath, const QString& clipsFolder,
                           const ExportProgress& progress) {
    const std::optional<AudioFileKind> kind = audioFileKindOf(outputPath);
    if (!kind)
        throw ExportError(
            QCoreApplication::translate(
                "Export", "書き出せるのは .wav、.flac、.opus、.mp3 のファイルです: %1")
                .arg(QDir::toNativeSeparators(outputPath)));
    const QList<int> rows = exportedRows(table);
    if (rows.isEmpty())
        throw ExportError(nothingToExport());
    checkExportTargets({}, outputPath, clipsFolder);
    const int passes = std::max(options.passes, 1);
    const int total = passes * int(rows.size());

    CollectedMessages notices;
    RowSpeaker speaker(engine, notices, settingsPath);
    ClipsFolder clips(clipsFolder);
    LineReadings readings;
    QStringList index;
    ExportSummary summary;

    Writer writer(outputPath, *kind);
    QHash<int, LinePtr> kept; // row -> its line, for the next passes
    qint64 keptSamples = 0;
    int done = 0;
    // The run as playback takes it; a file has no beep, and the rows that are not spoken
    // (playback reads a row with text that begins a later pass, whatever its speaker) are left
    // out, so that every pass holds the same lines.
    const DrillSettings settings = drillSettingsOf(options);
    std::optional<DrillStep> step = firstStepOfRow(table, rows.constFirst(), 1, settings);
    const auto written = [&](const DrillStep& candidate) {
        return candidate.kind != DrillStep::Kind::Beep && isSpeakableRow(table, candidate.row);
    };
    while (step) {
        if (!written(*step)) {
            step = stepAfter(table, *step, settings);
            continue;
        }
        const int row = step->row;
        const int pass = step->pass;
        if (progress && !progress(done, total))
            throw ExportError(exportCancelled());
        const RowCells cells{table.cell(ColText, row), table.cell(ColLanguage, row),
                             table.cell(ColSpeaker, row)};
        LinePtr line = kept.value(row);
        const auto spoken = [&] {
            if (!line)
                line = std::make_shared<const SynthesizedAudio>(
                    synthesizeLine(speaker, cells, row, options.rates));
            return line;
        };
        for (; step && step->row == row && step->pass == pass && written(*step);
             step = stepAfter(table, *step, settings)) {
            switch (step->kind) {
            case DrillStep::Kind::Speak:
                writer.push({WriteJob::Kind::Line, spoken(), 0, {}});
                ++summary.linesSpoken;
                break;
            case DrillStep::Kind::Gap:
                writer.push({WriteJob::Kind::Silence,
                             {},
                             spoken()->durationMs() * step->percent / 100,
                             {}});
                break;
            case DrillStep::Kind::Pause:
                writer.push({WriteJob::Kind::Silence, {}, step->ms, {}});
                break;
            case DrillStep::Kind::Beep:
            case DrillStep::Kind::Replay: // a file has no recording of the learner
                break;
            }
        }
        if (!clipsFolder.isEmpty() && pass == 1) {
            const QString name = QStringLiteral("%1_%2.%3")
                                     .arg(row + 1, 4, 10, QChar(u'0'))
                                     .arg(normalisedSpeakerCode(cells.speaker), extensionOf(*kind));
            writer.push({WriteJob::Kind::Clip, spoken(), 0, clips.filePath(name)});
            const QString reading = readings.readingOf(cells.text, cells.language);
            index << QStringList{QString::number(row + 1),
                                 tsvField(cells.speaker),
                                 tsvField(cells.text),
                                 tsvField(reading),
                                 name,
                                 accentField(options, cells.text, reading)}
                         .join(u'\t');
        }
        if (pass == 1 && pass < passes && line &&
            keptSamples + line->samples.size() <= kKeptSamples) {
            kept.insert(row, line);
            keptSamples += line->samples.size();
        }
        ++done;
    }
    if (progress && !progress(total, total))
        throw ExportError(exportCancelled());

    writer.finish();
    if (!clipsFolder.isEmpty()) {
        clips.writeIndex((index.join(u'\n') + u'\n').toUtf8());
        clips.putInPlace();
    }
    writer.putInPlace();
    clips.keep();
    summary.sampleRate = writer.sampleRate();
    summary.frames = writer.frames();
    summary.clipFiles = writer.clipCount();
    summary.notices = notices.texts;
    return summary;
}

} // namespace lessora
