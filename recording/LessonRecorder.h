#pragma once

#include "playback/AnswerRecorder.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class QTimer;

namespace lessora {

class AudioInput;
class SamplePlayer;

// Where a row's recording goes and what it is named after.
struct RecordingTarget {
    QString folder;     // the lesson's recordings folder
    int lineNumber = 0; // from 1
    QString speaker;
};

// The learner's answers, recorded while playback leaves them a gap: the microphone is opened
// when a run with recording begins (so that a gap's first sample is not lost to the stream's
// start) and closed when no gap has come for a while. What a gap holds, from its start to its
// end by the capture's own times, is written as FLAC on a pool thread and kept to be played
// back. A problem (no microphone, one that fails, a file that cannot be written) is told once
// per run through `problem`, and the run goes on without recording.
class LessonRecorder : public QObject, public AnswerRecorder {
    Q_OBJECT
public:
    LessonRecorder(AudioInput& input, SamplePlayer& player, QObject* parent = nullptr);
    ~LessonRecorder() override;

    // Where each row's recording goes; asked when its gap starts.
    void setTarget(std::function<RecordingTarget(int row)> target) { m_target = std::move(target); }

    void beginRun(bool recording) override;
    void startAnswer(int row) override;
    void endAnswer(bool keep) override;
    bool replayAnswer(std::function<void()> heard) override;
    void stopReplay() override;

    // The steady clock the gaps' starts and ends are read from (tests put in their own).
    void setClock(std::function<qint64()> nowUs) { m_nowUs = std::move(nowUs); }

    // The last take, as recorded (for tests and the benchmark).
    const std::vector<qint16>& lastTake() const { return m_last; }
    qint64 lastTakeStartUs() const { return m_lastStartUs; }
    // Files being written that have not been reported yet.
    int writesPending() const { return m_writing; }

    // How long the microphone stays open after a gap or the start of a run without a gap.
    static constexpr int kIdleCloseMs = 30000;
    // What is kept from before a gap while none runs, in case its start comes first.
    static constexpr int kPrerollMs = 500;
    // How long a take's file waits for the gap's last samples beyond their due time, and at most.
    static constexpr int kTailMarginMs = 30;
    static constexpr int kLongestTailWaitMs = 3000;

signals:
    // A problem, once per run; the recording stops for the rest of it.
    void problem(const QString& message);
    // A recording was written (its full path).
    void recorded(const QString& path);

private:
    struct Capture;
    bool openInput();
    void closeInput();
    void fail(const QString& why);
    // Writes the last take, as far as the capture has come up to its gap's end.
    void finishTake();
    void playLastTake(std::function<void()> heard);
    void startWaitingReplay();
    void write(const QString& path, std::vector<qint16> samples);

    AudioInput& m_input;
    SamplePlayer& m_player;
    std::function<RecordingTarget(int row)> m_target;
    std::function<qint64()> m_nowUs;
    std::shared_ptr<Capture> m_capture; // shared with the input's thread
    QTimer* m_idle;
    bool m_failedInRun = false; // a problem was told: no more recording in this run
    bool m_taking = false;
    RecordingTarget m_takeTarget;
    QDateTime m_takeTime;
    qint64 m_takeStartUs = 0;
    qint64 m_takeEndUs = 0;
    bool m_pendingTake = false; // its file waits for the capture to reach the gap's end
    quint64 m_takes = 0;
    std::vector<qint16> m_last;
    std::function<void()> m_replayWaiting; // a replay asked for before the take was complete
    qint64 m_lastStartUs = 0;
    int m_writing = 0;
};

} // namespace lessora
