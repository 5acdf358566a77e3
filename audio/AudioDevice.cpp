#include "audio/AudioDevice.h"

#include "audio/Logging.h"
#include "audio/PulseClient.h"

#include <QTimer>

#include <algorithm>
#include <chrono>

namespace lessora {

using namespace pulseclient;

PulsePcmSink::PulsePcmSink(int sampleRate)
    : m_sampleRate(sampleRate)
    , m_loop(startMainLoop()) {}

PulsePcmSink::~PulsePcmSink() {
    if (!m_loop)
        return;
    {
        LoopLock lock(m_loop);
        closeLocked();
        dropContext(m_context);
    }
    stopMainLoop(m_loop);
}

bool PulsePcmSink::contextReady() const {
    return m_context && pulse().pa_context_get_state(m_context) == PA_CONTEXT_READY;
}

bool PulsePcmSink::connect() {
    if (!m_loop)
        return false;
    LoopLock lock(m_loop);
    return connectContext(m_loop, m_context, kConnectTimeoutMs);
}

bool PulsePcmSink::open() {
    if (!m_loop)
        return false;
    LoopLock lock(m_loop);
    closeLocked();
    if (!connectContext(m_loop, m_context, kConnectTimeoutMs))
        return false;
    const pa_sample_spec format{PA_SAMPLE_S16NE, uint32_t(m_sampleRate), 1};
    m_stream = pulse().pa_stream_new(m_context, "Speech", &format, nullptr);
    if (!m_stream)
        return false;
    // The stream's news also wakes the output's pump: the server asking for more samples, or the
    // stream breaking down. On the main loop's thread, with its lock held.
    pulse().pa_stream_set_state_callback(
        m_stream,
        [](pa_stream*, void* self) {
            auto* sink = static_cast<PulsePcmSink*>(self);
            signalLoop(sink->m_loop);
            if (sink->m_demand)
                sink->m_demand();
        },
        this);
    pulse().pa_stream_set_write_callback(
        m_stream,
        [](pa_stream*, size_t, void* self) {
            if (auto* sink = static_cast<PulsePcmSink*>(self); sink->m_demand)
                sink->m_demand();
        },
        this);
    // A new report of the played position (about every 100 ms, PA_STREAM_AUTO_TIMING_UPDATE)
    // may move the end of a line nearer than the pump last computed.
    pulse().pa_stream_set_latency_update_callback(
        m_stream,
        [](pa_stream*, void* self) {
            if (auto* sink = static_cast<PulsePcmSink*>(self); sink->m_demand)
                sink->m_demand();
        },
        this);
    // Should never happen while the stream is open: silence keeps it going between lines.
    pulse().pa_stream_set_underflow_callback(
        m_stream, [](pa_stream*, void*) { qCDebug(lcAudio) << "the sound stream ran short"; },
        nullptr);
    const auto bytesFor = [&format](int ms) {
        return uint32_t(pulse().pa_usec_to_bytes(pa_usec_t(ms) * PA_USEC_PER_MSEC, &format));
    };
    pa_buffer_attr buffer{};
    buffer.maxlength = uint32_t(-1);
    buffer.tlength = bytesFor(kBufferMs);
    buffer.prebuf = bytesFor(kStartMs);
    buffer.minreq = uint32_t(-1);
    buffer.fragsize = uint32_t(-1);
    const auto flags = pa_stream_flags_t(PA_STREAM_INTERPOLATE_TIMING |
                                         PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_ADJUST_LATENCY);
    if (pulse().pa_stream_connect_playback(m_stream, nullptr, &buffer, flags, nullptr, nullptr) <
        0) {
        closeLocked();
        return false;
    }
    const Deadline deadline(m_loop, kConnectTimeoutMs);
    while (!settled(pulse().pa_stream_get_state(m_stream)) && !deadline.passed())
        pulse().pa_threaded_mainloop_wait(m_loop);
    if (pulse().pa_stream_get_state(m_stream) == PA_STREAM_READY) {
        const pa_buffer_attr* granted = pulse().pa_stream_get_buffer_attr(m_stream);
        m_bufferFrames = qint64((granted ? granted->tlength : buffer.tlength) / sizeof(qint16));
        return true;
    }
    closeLocked();
    return false;
}

void PulsePcmSink::closeLocked() {
    if (!m_stream)
        return;
    pulse().pa_stream_set_state_callback(m_stream, nullptr, nullptr);
    pulse().pa_stream_set_write_callback(m_stream, nullptr, nullptr);
    pulse().pa_stream_set_underflow_callback(m_stream, nullptr, nullptr);
    pulse().pa_stream_set_latency_update_callback(m_stream, nullptr, nullptr);
    // Disconnecting drops what the server has not played yet.
    if (PA_STREAM_IS_GOOD(pulse().pa_stream_get_state(m_stream)))
        pulse().pa_stream_disconnect(m_stream);
    pulse().pa_stream_unref(m_stream);
    m_stream = nullptr;
}

void PulsePcmSink::close() {
    if (!m_loop)
        return;
    LoopLock lock(m_loop);
    closeLocked();
}

qint64 PulsePcmSink::writableFrames() {
    if (!m_loop)
        return 0;
    LoopLock lock(m_loop);
    if (!m_stream || pulse().pa_stream_get_state(m_stream) != PA_STREAM_READY)
        return 0;
    const size_t bytes = pulse().pa_stream_writable_size(m_stream);
    return bytes == size_t(-1) ? 0 : qint64(bytes / sizeof(qint16));
}

qint64 PulsePcmSink::write(const qint16* samples, qint64 count) {
    if (!m_loop || count <= 0)
        return 0;
    LoopLock lock(m_loop);
    if (!m_stream || pulse().pa_stream_get_state(m_stream) != PA_STREAM_READY)
        return 0;
    const size_t writable = pulse().pa_stream_writable_size(m_stream);
    if (writable == size_t(-1))
        return 0;
    const qint64 frames = std::min<qint64>(count, qint64(writable / sizeof(qint16)));
    if (frames <= 0 || pulse().pa_stream_write(m_stream, samples, size_t(frames) * sizeof(qint16),
                                               nullptr, 0, PA_SEEK_RELATIVE) < 0)
        return 0;
    return frames;
}

qint64 PulsePcmSink::playedFrames() {
    if (!m_loop)
        return 0;
    LoopLock lock(m_loop);
    if (!m_stream || pulse().pa_stream_get_state(m_stream) != PA_STREAM_READY)
        return 0;
    // libpulse's interpolated clock follows the stream smoothly, but once a stream has run
    // short it can stand almost still for many seconds while the server plays on (seen on a null
    // sink): that held the end of a line, and a synchronous speak with it, up to half a minute
    // past its last sample. The server's own report (every 100 ms) keeps going then, so the
    // further of the two counts.
    pa_usec_t interpolated = 0;
    if (pulse().pa_stream_get_time(m_stream, &interpolated) < 0)
        interpolated = 0; // no timing information yet: nothing has been heard
    pa_usec_t reported = 0;
    if (const pa_timing_info* timing = pulse().pa_stream_get_timing_info(m_stream);
        timing && !timing->read_index_corrupt && timing->read_index > 0) {
        const pa_sample_spec format{PA_SAMPLE_S16NE, uint32_t(m_sampleRate), 1};
        const pa_usec_t read = pulse().pa_bytes_to_usec(uint64_t(timing->read_index), &format);
        reported = read > timing->sink_usec ? read - timing->sink_usec : 0;
    }
    const pa_usec_t played = std::max(interpolated, reported);
    return qint64(played * pa_usec_t(m_sampleRate) / PA_USEC_PER_SEC);
}

qint64 PulsePcmSink::queuedFrames() {
    return std::max<qint64>(0, m_bufferFrames - writableFrames());
}

bool PulsePcmSink::failed() {
    if (!m_loop)
        return true;
    LoopLock lock(m_loop);
    if (!m_stream)
        return false;
    return !contextReady() || !PA_STREAM_IS_GOOD(pulse().pa_stream_get_state(m_stream));
}

void PulsePcmSink::setDemandHandler(std::function<void()> demand) {
    if (!m_loop)
        return;
    LoopLock lock(m_loop);
    m_demand = std::move(demand);
}

AudioPump::AudioPump(AudioOutput& output)
    : m_output(output)
    , m_timer(new QTimer) {
    m_thread.setObjectName(QStringLiteral("audio output"));
    m_timer->setTimerType(Qt::PreciseTimer);
    m_timer->setSingleShot(true);
    QObject::connect(m_timer, &QTimer::timeout, m_timer, [this] { run(); });
    m_timer->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, m_timer, &QObject::deleteLater);
    m_thread.start();
}

AudioPump::~AudioPump() {
    m_thread.quit();
    m_thread.wait();
    // Nobody else uses the sinks now.
    m_output.shutdown();
}

void AudioPump::run() {
    countRun();
    const qint64 nextUs = m_output.pump();
    if (nextUs == AudioOutput::kUntilWoken) {
        m_timer->stop();
        return;
    }
    m_timer->start(std::chrono::milliseconds((nextUs + 999) / 1000));
}

void AudioPump::countRun() {
    if (!m_runsSince.isValid())
        m_runsSince.start();
    ++m_runs;
    if (const qint64 ms = m_runsSince.elapsed(); ms >= 1000) {
        qCDebug(lcAudio) << "pump runs per second:" << m_runs * 1000.0 / double(ms);
        m_runs = 0;
        m_runsSince.restart();
    }
}

void AudioPump::wake() {
    // Posted before the thread runs its loop, it waits there until it does.
    QMetaObject::invokeMethod(
        m_timer, [this] { run(); }, Qt::QueuedConnection);
}

} // namespace lessora
