#pragma once

#include "export/AudioFileWriter.h"
#include "files/LessonFile.h"
#include "japanese/AccentPhrases.h"
#include "playback/DrillPlan.h"
#include "playback/Practice.h"

#include <QChar>
#include <QList>
#include <QString>
#include <QStringList>

#include <QCoreApplication>
#include <functional>

namespace lessora {

class LessonTable;
class SpeechEngine;

// What a lesson sounds like when written to a file: the same passes, pauses, speeds, line
// repeats and role-play gaps as playback in the window.
struct ExportOptions {
    int passes = 1;
    int defaultPauseMs = 0; // a row's pause when its Interval cell gives none
    SpeechRates rates;
    PracticeOptions practice;
    QChar decimalSeparator = u'.';
    // The accent of a Japanese line for the clips' index; empty: what the Open JTalk voices say
    // (spokenAccent). It may throw: the line's accent column is then empty.
    std::function<QList<AccentPhrase>(const QString& text)> accentOf = {};
};

// The options of the choices playback would use.
ExportOptions exportOptionsFrom(const PlaybackChoices& choices, QChar decimalSeparator);

// The drill the options stand for: the plan both the export and playback follow.
DrillSettings drillSettingsOf(const ExportOptions& options);

// The choices a lesson file stands for: what it stores, and for what it does not store the
// values a new main window starts with ("なし", "1回", "標準", no practice settings).
PlaybackChoices choicesOfLesson(const StoredLessonSettings& stored);

// One step of a row as it is written.
struct ExportStep {
    enum class Kind {
        Speak, // the row's line, in its speaker's voice
        Gap,   // silence as long as the line times `percent`: an answer or a shadowing gap
        Pause, // silence of `ms`: the pause after the row
    };
    Kind kind = Kind::Speak;
    int percent = 100;
    int ms = 0;
    friend bool operator==(const ExportStep&, const ExportStep&) = default;
};

// The steps of one speakable row as the file holds them, in order: the drill plan's steps of
// the row (stepsOfRow).
QList<ExportStep> exportStepsOfRow(const LessonTable& table, int row, const ExportOptions& options);

// The rows a run speaks, in order: the speakable rows. (Rows with text whose speaker is none
// of the six are left out, as a run passes them.)
QList<int> exportedRows(const LessonTable& table);

// Where the export is and whether to go on; returning false cancels it.
using ExportProgress = std::function<bool(int rowsDone, int rowsTotal)>;

// How an export ended.
struct ExportSummary {
    int sampleRate = 0;
    qint64 frames = 0;   // of the lesson file
    int linesSpoken = 0; // spoken lines written, repeats and passes counted
    int clipFiles = 0;   // per-line clips written
    QStringList notices; // what the voice choice would have shown in the window
    qint64 durationMs() const { return sampleRate ? frames * 1000 / sampleRate : 0; }
};

// The message of a cancelled export.
inline QString exportCancelled() {
    return QCoreApplication::translate("Export", "書き出しを中止しました。");
}
// The message of an export of a lesson without a line to speak.
inline QString nothingToExport() {
    return QCoreApplication::translate("Export", "読み上げる行がないため、書き出せません。");
}

// The message for a clips folder that holds files already.
QString clipsFolderNotEmpty(const QString& folder);

// Throws ExportError when the export would overwrite one of the lesson files (links followed)
// or when the audio file is the clips folder or lies in it.
void checkExportTargets(const QStringList& lessonPaths, const QString& outputPath,
                        const QString& clipsFolder);

// The fade at each end of a line, so that joins do not click. (The voices bring every line to
// one loudness, kSpeechLoudnessLufs, for the file as for playing it.)
inline constexpr int kFadeMs = 5;

// Writes a lesson as one audio file (the kind chosen by the file name's extension), spoken
// with the speakers' voices of the settings file, and, when `clipsFolder` is not empty, each
// spoken line as a file of its own there with "index.tsv" listing them (line number, speaker,
// text, kana reading of Japanese lines, clip file name, the reading's accent in its text form) for
// flashcard programs. Speech is synthesised on the engine's synthesis thread while a pool thread
// (QtConcurrent) evens out, resamples and encodes what is ready, so both cores work; the audio is
// streamed to the file, so memory stays small however long the lesson. Success is reported only for
// files that are complete on the disk. Nothing is left behind when it fails or is cancelled, and no
// file it did not create is replaced or removed: the clips folder must be new or empty. It throws
// ExportError (exportCancelled() when cancelled, nothingToExport() for a lesson without a line to
// speak).
ExportSummary exportLesson(SpeechEngine& engine, const QString& settingsPath,
                           const LessonTable& table, const ExportOptions& options,
                           const QString& outputPath, const QString& clipsFolder = {},
                           const ExportProgress& progress = {});

} // namespace lessora
