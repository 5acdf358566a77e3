#pragma once

#include "audio/AudioOutput.h"

#include <QElapsedTimer>
#include <QThread>

#include <functional>
#include <memory>

class QTimer;
struct pa_context;
struct pa_stream;
struct pa_threaded_mainloop;

namespace lessora {

// The sound server's default output through libpulse (PulseAudio, or PipeWire's PulseAudio
// service). Every open() starts a new stream with the same buffer, so that no stream inherits
// settings the server adjusted for the one before. The connection to the server is made when
// needed and made again after the server went away, so that a restarted server is used again.
class PulsePcmSink : public PcmSink {
public:
    explicit PulsePcmSink(int sampleRate);
    ~PulsePcmSink() override;
    PulsePcmSink(const PulsePcmSink&) = delete;
    PulsePcmSink& operator=(const PulsePcmSink&) = delete;

    // Connects to the server if need be; false when there is none.
    bool connect();
    bool open() override;
    void close() override;
    qint64 writableFrames() override;
    qint64 write(const qint16* samples, qint64 count) override;
    qint64 playedFrames() override;
    qint64 queuedFrames() override;
    bool failed() override;
    void setDemandHandler(std::function<void()> demand) override;

    // How far ahead of the ear the stream may be filled: enough to ride over a pump that a busy
    // machine holds up for a while; stopping drops it at once, so it costs no reaction time.
    static constexpr int kBufferMs = 250;
    // What the server gathers before it starts a stream: the first sound is not held back.
    static constexpr int kStartMs = 10;
    // How long a connection attempt may take before the server is taken to be missing.
    static constexpr int kConnectTimeoutMs = 500;

private:
    bool contextReady() const;
    void closeLocked();

    const int m_sampleRate;
    pa_threaded_mainloop* m_loop = nullptr;
    pa_context* m_context = nullptr; // guarded by the main loop's lock, as is m_stream
    pa_stream* m_stream = nullptr;
    qint64 m_bufferFrames = 0;      // of the open stream, as the server granted it
    std::function<void()> m_demand; // guarded by the main loop's lock
};

// Drives an AudioOutput from a worker object on a thread of its own: it pumps whenever there is
// new work (a line queued, samples added, the sound server asking for more, reporting its
// position or its stream breaking down), and once more at the time the output asks for, since
// neither the silent output nor the end of what the server plays announces itself. Nothing
// runs while nothing plays.
class AudioPump {
public:
    explicit AudioPump(AudioOutput& output);
    // Stops the thread, then shuts the output down.
    ~AudioPump();
    AudioPump(const AudioPump&) = delete;
    AudioPump& operator=(const AudioPump&) = delete;
    // Makes the thread pump soon; callable from any thread, also from the sound server's
    // callbacks: it only posts.
    void wake();

private:
    void run();
    void countRun();
    AudioOutput& m_output;
    QThread m_thread;
    QTimer* m_timer; // single-shot; lives on m_thread, as do the counters below
    QElapsedTimer m_runsSince;
    int m_runs = 0;
};

} // namespace lessora
