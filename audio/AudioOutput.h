#pragma once

#include <QString>
#include <QtGlobal>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace lessora {

// Time source of the output; the silent output paces itself by it. Tests inject their own.
class AudioClock {
public:
    virtual ~AudioClock() = default;
    virtual qint64 nowUs() const = 0;
};

// The monotonic system clock.
class SteadyAudioClock : public AudioClock {
public:
    qint64 nowUs() const override;
};

// Where samples (mono, 16 bit) go to be heard. Used by one thread at a time.
class PcmSink {
public:
    virtual ~PcmSink() = default;
    // Starts a stream; positions count from 0 again. False when no stream can be opened.
    virtual bool open() = 0;
    // Ends the stream at once, dropping whatever has not been played yet.
    virtual void close() = 0;
    virtual qint64 writableFrames() = 0;
    virtual qint64 write(const qint16* samples, qint64 count) = 0;
    // Frames heard since open().
    virtual qint64 playedFrames() = 0;
    // Frames written that the sink has not taken on yet: what keeps the stream going.
    virtual qint64 queuedFrames() { return 0; }
    // The open stream has broken down (the sound server went away, say).
    virtual bool failed() { return false; }
    // Called from any thread (the sound server's, with its lock held) when the stream wants
    // more samples or its state changed: it must only post. Null stops it.
    virtual void setDemandHandler(std::function<void()> /*demand*/) {}
};

// Plays into nothing, in real time as the clock tells: a stand-in for a missing sound device
// that keeps the timing of speech unchanged.
class SilentPcmSink : public PcmSink {
public:
    SilentPcmSink(std::shared_ptr<const AudioClock> clock, int sampleRate);
    bool open() override;
    void close() override;
    qint64 writableFrames() override;
    qint64 write(const qint16* samples, qint64 count) override;
    qint64 playedFrames() override;
    qint64 queuedFrames() override;

private:
    std::shared_ptr<const AudioClock> m_clock;
    int m_sampleRate;
    qint64 m_written = 0;
    qint64 m_played = 0;
    qint64 m_lastUs = 0;
    qint64 m_pendingUs = 0; // elapsed time not yet turned into whole frames
};

// Told when an utterance begins to sound and when it ends (heard to its end, cancelled or
// failed), each at most once. Called with the output's lock held, on whichever thread learns
// it: a listener only passes the news on (posts it), never calls back into the output.
class UtteranceListener {
public:
    virtual ~UtteranceListener() = default;
    virtual void started() = 0;
    virtual void ended() = 0;
};

// One piece of sound to play: filled by the synthesiser, drained by the output. Its fields
// are guarded by the output's mutex, except `cancelRequested`, which the synthesiser polls.
struct Utterance {
    quint64 owner = 0;
    std::vector<qint16> samples; // those not yet handed to the sink, and perhaps a few before
    qint64 released = 0;         // samples handed to the sink and no longer kept
    qint64 written = 0;          // samples handed to the sink
    qint64 endFrame = -1;        // stream frame just after its last sample, once all is written
    bool synthesized = false;
    bool finished = false; // heard to its end, cancelled or failed
    QString error;         // why synthesis failed
    qint64 queuedUs = 0;
    qint64 firstWriteUs = -1;   // when its first sample reached the sink
    qint64 firstAudibleUs = -1; // when its first sample above kAudibleLevel reached the sink
    std::atomic<bool> cancelRequested = false;
    std::shared_ptr<UtteranceListener> listener; // may be null
    bool endReported = false;
};
using UtterancePtr = std::shared_ptr<Utterance>;

// The one audio output of the process: plays utterances one after another through a sink.
// Thread-safe. `pump()` does the work and must always be called from the same thread (the
// sink's); it is driven there by the wake handler and a single-shot timer for the time it asks
// for, or directly by tests.
class AudioOutput {
public:
    AudioOutput(std::unique_ptr<PcmSink> sink, int sampleRate,
                std::shared_ptr<const AudioClock> clock);
    ~AudioOutput();

    int sampleRate() const { return m_sampleRate; }
    // A new owner id for a voice object or another source of sound.
    static quint64 newOwner();

    // Called, outside the lock, whenever there is new work for pump(); the sinks call it too
    // when they want more samples (see PcmSink::setDemandHandler), so it must only post.
    void setWakeHandler(std::function<void()> wake);
    // When the sink cannot be opened or breaks down, the output goes on with this one, and
    // tries its own sink again at the start of each later utterance. `useNow`: the sink is
    // known to be unusable already.
    void setFallbackSink(std::unique_ptr<PcmSink> sink, bool useNow = false);
    // Whether sound goes to the fallback sink, as it did at the last try.
    bool onFallback() const { return m_onFallback; }

    UtterancePtr enqueue(quint64 owner, std::shared_ptr<UtteranceListener> listener = {});
    // Adds synthesised samples. Blocks while the utterance already holds kMostAheadMs of sound
    // that has not been played, so that synthesis keeps only a little ahead of the ear;
    // returns at once when the utterance ends (cancelled) or the output shuts down.
    void append(const UtterancePtr& utterance, const qint16* samples, qint64 count);
    // Calls `ready` once the utterance holds less than kAheadMs of sound that has not been
    // played, or has ended: at once when it does now, else later on the pump's thread or on
    // the thread that ends it, outside the lock. Synthesis that goes on a piece at a time
    // waits here between its pieces instead of holding its thread.
    void whenRoom(const UtterancePtr& utterance, std::function<void()> ready);
    void finishSynthesis(const UtterancePtr& utterance, const QString& error = {});
    // Ends every utterance of the owner at once; what is being heard stops.
    void cancel(quint64 owner);
    void cancelAll();

    bool isFinished(const UtterancePtr& utterance) const;
    QString errorOf(const UtterancePtr& utterance) const;
    // Blocks until the utterance has finished. With `pumpWhileWaiting` the caller drives the
    // output itself (no pump thread), as it also does when it is the pump's own thread.
    void waitFinished(const UtterancePtr& utterance, bool pumpWhileWaiting);
    // How many utterances have reached the sink, and for the latest one the steady time from
    // its request to its first sample, and to its first audible sample, reaching the sink.
    struct StartStatistics {
        quint64 started = 0;
        qint64 lastDelayUs = -1;
        qint64 lastAudibleDelayUs = -1;
    };
    StartStatistics startStatistics() const;

    // One step of playing. Returns in how many microseconds of the clock it must run again if
    // nothing wakes it before (the end of a line is due, the stream is to close), or
    // kUntilWoken: until new work or the sink's demand wakes it.
    qint64 pump();
    static constexpr qint64 kUntilWoken = -1;
    // Ends everything and closes the sink, on the pump's thread; later utterances end at once.
    void shutdown();

    // How much silence is kept queued on the sink while a stream is open and nothing else is
    // to be played, and how long the stream stays open after the last utterance.
    static constexpr int kLeadMs = 60;
    static constexpr int kLingerMs = 500;
    // How much unplayed sound of an utterance synthesis may hold before it waits for room: a
    // few seconds, whatever the length of the line, yet far more than it needs to stay ahead
    // of the ear. One piece of a line may go past it, up to kMostAheadMs.
    static constexpr int kAheadMs = 5000;
    static constexpr int kMostAheadMs = 20000;
    // How much later than computed the end of a line is looked for, so that the position has
    // passed it; and how long to wait at least when the position stands still past that time
    // (a clock told by the server's reports, every 100 ms, moves in steps).
    static constexpr qint64 kEndMarginUs = 1000;
    static constexpr qint64 kLateRecheckUs = 10000;
    // A sample this loud (-50 dBFS) is heard.
    static constexpr int kAudibleLevel = 104;

private:
    using Callbacks = std::vector<std::function<void()>>;
    qint64 pumpLocked(std::unique_lock<std::mutex>& lock);
    // Until the played position should reach the end of the head.
    qint64 untilHeardUs(qint64 frames);
    bool hasRoomLocked(const Utterance& utterance) const;
    // The waiters of whenRoom() whose utterance has room now, taken off the list.
    Callbacks takeReadyLocked();
    void wake();
    void finishHead();
    // Ends the utterance (heard, cancelled or failed) and tells its listener, once.
    static void endLocked(Utterance& utterance);
    void dropFinishedHeads(); // cancelled ones
    bool startsLineOnFallback() const;
    bool openStream();
    void recoverFromFailedStream();
    void writeHead(Utterance& head);
    void writeSilence(qint64 frames);
    void notifyFinished();

    const int m_sampleRate;
    std::shared_ptr<const AudioClock> m_clock;
    // The sinks and m_active are used by the pump's thread only, outside the lock while a
    // stream opens, so that a slow sound server never holds up the callers.
    std::unique_ptr<PcmSink> m_sink;
    std::unique_ptr<PcmSink> m_fallbackSink;
    PcmSink* m_active = nullptr;
    std::atomic<bool> m_onFallback = false;
    std::function<void()> m_wake;

    mutable std::mutex m_mutex; // guards everything below and the utterances' fields
    std::condition_variable m_finished;
    std::condition_variable m_played;           // samples left an utterance, or it ended
    std::weak_ptr<const Utterance> m_lastTried; // the utterance whose start last tried m_sink
    std::deque<UtterancePtr> m_queue;
    std::vector<std::pair<UtterancePtr, std::function<void()>>> m_roomWaiters;
    bool m_shutDown = false;
    bool m_streamOpen = false;
    bool m_discardStream = false; // what the sink holds must not be heard any more
    qint64 m_streamWritten = 0;
    qint64 m_idleSinceUs = 0;
    qint64 m_endDueUs = -1;      // when the head's end was last computed to be heard
    qint64 m_endLeftFrames = -1; // how far from it the position was then
    std::thread::id m_pumpThread;
    StartStatistics m_startStatistics;
};

} // namespace lessora
