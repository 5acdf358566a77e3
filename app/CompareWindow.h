#pragma once

#include "analysis/PitchCurve.h"
#include "japanese/AccentPhrases.h"
#include "playback/RowSpeaker.h"

#include <QDialog>
#include <QFutureWatcher>

#include <functional>
#include <optional>

class QLabel;
class QPushButton;

namespace lessora {

class SoundPlayer;
class VoicePlot;

// One line as the compare window shows it: the model's voice and the learner's latest
// recording of the line.
struct ComparedLine {
    int lineNumber = 0; // numbered from 1
    QString text;
    // The reading with its accent, drawn under the model's curve; empty for a line that is not
    // Japanese or whose accent is not known.
    QList<AccentPhrase> accent;
    VoiceAnalysis model;
    std::optional<VoiceAnalysis> learner;
    // Why there is no learner's voice: nothing recorded yet, or a file that cannot be read.
    QString learnerNote;
};

// What comparing a row needs, taken on the GUI thread; the comparison is worked out from it on
// another.
struct CompareRequest {
    int lineNumber = 0;
    RowCells cells;
    SpeechRates rates;
    SpeechEngine* engine = nullptr;
    QString settingsPath;
    QString learnerFile; // empty: nothing recorded yet
    // The accent of a Japanese line (spokenAccent); null for other lines.
    std::function<QList<AccentPhrase>(const QString& text)> accentOf;
};

// The model's voice synthesised as playback would speak the row (its speaker's voice, the
// speeds chosen), the learner's file read, both analysed, the accent of a Japanese line worked
// out. A failing synthesis throws; an unreadable recording or a failing accent analysis is
// noted (and logged) and the rest shown.
ComparedLine loadComparedLine(const CompareRequest& request);

// Compares the learner's voice with the model's for one line: the two one above the other on a
// common time axis, each from its first sound (the silence before it left out), with its
// waveform, its pitch curve (voiced frames, in semitones) and a button that plays it; the
// reading with its accent marks under the model's curve for Japanese lines; and the figures:
// the length of each, the difference, the pitch range of each. Not modal: the main window
// stays usable, and a new comparison replaces the one shown. Escape closes it.
class CompareWindow : public QDialog {
    Q_OBJECT
public:
    CompareWindow(SoundPlayer& player, QChar decimalSeparator, QWidget* parent = nullptr);
    // Waits for a comparison being worked out.
    ~CompareWindow() override;

    // Shows the window for the line at once, saying that it is being prepared, and works the
    // comparison out with `load` on QtConcurrent's pool (synthesis and analysis take a moment);
    // what `load` throws is shown in the window and logged.
    void compare(int lineNumber, std::function<ComparedLine()> load);
    // Shows a comparison worked out already.
    void showComparison(const ComparedLine& line);
    const ComparedLine& comparison() const { return m_line; }

    // The figures' texts.
    QString figuresText(const VoiceAnalysis& voice) const;
    QString differenceText(double modelSeconds, double learnerSeconds) const;

signals:
    // A comparison is shown, or why there is none.
    void comparisonShown();

protected:
    void done(int result) override;
    void changeEvent(QEvent* event) override;

private:
    void retranslateUi();
    void playModel();
    void playLearner();
    QString number(double value, int decimals) const;

    SoundPlayer& m_player;
    QChar m_decimalSeparator;
    ComparedLine m_line;
    int m_generation = 0; // of the comparison asked for last
    struct Outcome;
    QFutureWatcher<std::shared_ptr<Outcome>> m_watcher;
    // The controls; each one's object name is its member name.
    QLabel* lblLine;
    VoicePlot* plotModel;
    VoicePlot* plotLearner;
    QPushButton* btnPlayModel;
    QPushButton* btnPlayLearner;
    QLabel* lblModelFigures;
    QLabel* lblLearnerFigures;
    QLabel* lblDifference;
};

} // namespace lessora
