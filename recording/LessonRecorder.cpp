#include "recording/LessonRecorder.h"

#include "audio/AudioInput.h"
#include "audio/SamplePlayer.h"
#include "recording/Logging.h"
#include "recording/RecordingFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QTimer>

#include <QtConcurrent>
#include <utility>

#include <algorithm>
#include <mutex>

namespace lessora {

// What the input hands over, on its own thread: the samples since a little before the gap (or
// the pre-roll while none runs) and where they stand on the steady clock.
struct LessonRecorder::Capture {
    std::mutex mutex;
    int sampleRate = 0;
    std::vector<qint16> samples;
    qint64 firstFrame = 0; // the capture's frame number of samples[0]
    qint64 frames = 0;     // frames captured since the input was opened
    qint64 anchorFrame = -1;
    qint64 anchorUs = 0; // the steady time of anchorFrame, the newest chunk's first sample
    bool taking = false;
    qint64 tailFrame = -1;          // a take's file waits for the capture to reach it
    std::function<void()> tailCame; // then called, with the lock held: it only posts

    void add(const qint16* data, qint64 count, qint64 firstUs) {
        const std::lock_guard lock(mutex);
        samples.insert(samples.end(), data, data + count);
        anchorFrame = frames;
        anchorUs = firstUs;
        frames += count;
        if (tailFrame >= 0 && endFrame() >= tailFrame) {
            tailFrame = -1;
            if (tailCame)
                tailCame();
        }
        if (taking)
            return;
        const qint64 keep = qint64(sampleRate) * kPrerollMs / 1000;
        if (const qint64 drop = qint64(samples.size()) - keep; drop > 0) {
            samples.erase(samples.begin(), samples.begin() + drop);
            firstFrame += drop;
        }
    }
    qint64 endFrame() const { return firstFrame + qint64(samples.size()); }
    // The frame heard at a steady time, by the newest chunk's time.
    qint64 frameAt(qint64 us) const {
        if (anchorFrame < 0)
            return firstFrame;
        return anchorFrame + (us - anchorUs) * sampleRate / 1000000;
    }
    // The samples heard between two steady times, as far as they have come.
    std::vector<qint16> between(qint64 fromUs, qint64 toUs) const {
        const qint64 end = firstFrame + qint64(samples.size());
        const qint64 from = std::clamp(frameAt(fromUs), firstFrame, end);
        const qint64 to = std::clamp(frameAt(toUs), from, end);
        return {samples.begin() + (from - firstFrame), samples.begin() + (to - firstFrame)};
    }
};

LessonRecorder::LessonRecorder(AudioInput& input, SamplePlayer& player, QObject* parent)
    : QObject(parent)
    , m_input(input)
    , m_player(player)
    , m_nowUs(steadyNowUs)
    , m_idle(new QTimer(this)) {
    m_idle->setSingleShot(true);
    m_idle->setInterval(kIdleCloseMs);
    connect(m_idle, &QTimer::timeout, this, [this] {
        if (!m_taking && !m_pendingTake)
            closeInput();
    });
}

LessonRecorder::~LessonRecorder() {
    m_player.stop();
    closeInput();
    finishTake(); // written by the pool thread after this object is gone, and not reported
}

bool LessonRecorder::openInput() {
    if (m_input.isCapturing())
        return true;
    m_capture = std::make_shared<Capture>();
    m_capture->sampleRate = m_input.sampleRate();
    std::weak_ptr<Capture> capture = m_capture;
    const bool started = m_input.start(
        [capture](const qint16* samples, qint64 count, qint64 firstUs) {
            if (const auto shared = capture.lock())
                shared->add(samples, count, firstUs);
        },
        [this] {
            QMetaObject::invokeMethod(
                this, [this] { fail(m_input.problem()); }, Qt::QueuedConnection);
        });
    if (!started)
        fail(m_input.problem());
    return started;
}

void LessonRecorder::closeInput() {
    m_input.stop();
}

void LessonRecorder::fail(const QString& why) {
    m_input.stop();
    if (m_failedInRun)
        return;
    m_failedInRun = true;
    qCWarning(lcRecording) << "recording stops for this run:" << why;
    const QString message = tr("録音できません。%1\n録音せずに続けます。").arg(why);
    // Told after the playback step at work has finished: the run goes on behind the message.
    QMetaObject::invokeMethod(
        this, [this, message] { emit problem(message); }, Qt::QueuedConnection);
}

void LessonRecorder::beginRun(bool recording) {
    m_failedInRun = false;
    if (recording && openInput())
        m_idle->start();
}

void LessonRecorder::startAnswer(int row) {
    finishTake(); // the last one's tail waits no longer
    m_last.clear();
    if (m_failedInRun || !m_target || !openInput())
        return;
    m_idle->stop();
    m_takeStartUs = m_nowUs();
    m_takeTime = QDateTime::currentDateTime();
    m_takeTarget = m_target(row);
    m_taking = true;
    const std::lock_guard lock(m_capture->mutex);
    m_capture->taking = true;
}

void LessonRecorder::endAnswer(bool keep) {
    if (!m_taking)
        return;
    m_taking = false;
    m_idle->start();
    const qint64 endUs = m_nowUs();
    qint64 missingFrames = 0;
    {
        const std::lock_guard lock(m_capture->mutex);
        // What came after the gap's end is not the answer. Its last samples may not have come
        // yet (a source that hands over in large blocks): the replay starts at once with what is
        // there, and the file waits for the rest.
        m_last = keep ? m_capture->between(m_takeStartUs, endUs) : std::vector<qint16>();
        missingFrames = m_capture->frameAt(endUs) - m_capture->endFrame();
        m_capture->taking = keep && missingFrames > 0;
        m_capture->tailFrame = m_capture->taking ? m_capture->frameAt(endUs) : -1;
    }
    if (!keep) {
        qCDebug(lcRecording) << "take dropped: cut short";
        return;
    }
    m_lastStartUs = m_takeStartUs;
    m_takeEndUs = endUs;
    m_pendingTake = true;
    if (missingFrames <= 0 || !m_input.isCapturing()) {
        finishTake();
        return;
    }
    // Written when the tail comes, or when it should have come long since.
    const quint64 take = ++m_takes;
    const auto finishThis = [this, take] {
        if (take == m_takes)
            finishTake();
    };
    {
        const std::lock_guard lock(m_capture->mutex);
        m_capture->tailCame = [this, finishThis] {
            QMetaObject::invokeMethod(this, finishThis, Qt::QueuedConnection);
        };
    }
    const qint64 waitMs = missingFrames * 1000 / m_capture->sampleRate + kTailMarginMs;
    QTimer::singleShot(int(std::min<qint64>(waitMs, kLongestTailWaitMs)), this, finishThis);
}

void LessonRecorder::finishTake() {
    if (!m_pendingTake)
        return;
    m_pendingTake = false;
    std::vector<qint16> take;
    {
        const std::lock_guard lock(m_capture->mutex);
        m_capture->taking = false;
        m_capture->tailFrame = -1;
        take = m_capture->between(m_lastStartUs, m_takeEndUs);
    }
    m_last = take;
    startWaitingReplay();
    if (take.empty()) {
        qCDebug(lcRecording) << "take dropped: nothing captured";
        return;
    }
    int attempt = 0;
    QString path;
    do { // two takes within a millisecond keep their own names
        path = QDir(m_takeTarget.folder)
                   .filePath(recordingFileName(m_takeTarget.lineNumber, m_takeTarget.speaker,
                                               m_takeTime.addMSecs(attempt++)));
    } while (QFileInfo::exists(path));
    write(path, std::move(take));
}

void LessonRecorder::write(const QString& path, std::vector<qint16> samples) {
    ++m_writing;
    auto* watcher = new QFutureWatcher<QString>(this);
    connect(watcher, &QFutureWatcher<QString>::finished, this, [this, watcher, path] {
        watcher->deleteLater();
        --m_writing;
        if (const QString error = watcher->result(); !error.isEmpty()) {
            fail(error);
            return;
        }
        qCDebug(lcRecording) << "recorded" << path;
        emit recorded(path);
    });
    const int rate = m_input.sampleRate();
    watcher->setFuture(QtConcurrent::run([path, samples = std::move(samples), rate] {
        try {
            writeFlac(path, samples.data(), qint64(samples.size()), rate);
            return QString();
        } catch (const RecordingError& error) {
            return error.message();
        } catch (const std::exception& error) {
            return QString::fromLocal8Bit(error.what());
        }
    }));
}

bool LessonRecorder::replayAnswer(std::function<void()> heard) {
    if (m_pendingTake) {
        // The gap's last words are still on their way from the source: the learner hears the
        // whole answer once they are in (finishTake), not an answer cut short.
        m_replayWaiting = std::move(heard);
        return true;
    }
    if (m_last.empty())
        return false;
    playLastTake(std::move(heard));
    return true;
}

void LessonRecorder::playLastTake(std::function<void()> heard) {
    m_player.play(m_last, m_input.sampleRate(), [this, heard = std::move(heard)] {
        QMetaObject::invokeMethod(this, heard, Qt::QueuedConnection);
    });
}

void LessonRecorder::startWaitingReplay() {
    if (!m_replayWaiting)
        return;
    std::function<void()> heard = std::exchange(m_replayWaiting, nullptr);
    if (m_last.empty())
        QMetaObject::invokeMethod(this, heard, Qt::QueuedConnection);
    else
        playLastTake(std::move(heard));
}

void LessonRecorder::stopReplay() {
    if (m_replayWaiting)
        QMetaObject::invokeMethod(this, std::exchange(m_replayWaiting, nullptr),
                                  Qt::QueuedConnection);
    m_player.stop();
}

} // namespace lessora
