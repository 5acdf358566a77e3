#include "audio/AudioInput.h"

#include "audio/Logging.h"
#include "audio/PulseClient.h"

#include <QCoreApplication>

#include <chrono>

namespace lessora {

using namespace pulseclient;

namespace {

// Waits, with the loop's lock held, for an operation to finish or the deadline to pass.
bool finish(pa_threaded_mainloop* loop, pa_operation* operation) {
    if (!operation)
        return false;
    const Deadline deadline(loop, PulseAudioInput::kConnectTimeoutMs);
    while (pulse().pa_operation_get_state(operation) == PA_OPERATION_RUNNING && !deadline.passed())
        pulse().pa_threaded_mainloop_wait(loop);
    const bool done = pulse().pa_operation_get_state(operation) == PA_OPERATION_DONE;
    pulse().pa_operation_unref(operation);
    return done;
}

} // namespace

qint64 steadyNowUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

PulseAudioInput::PulseAudioInput(int sampleRate)
    : m_sampleRate(sampleRate) {}

bool PulseAudioInput::startLoop() {
    // The library and its thread only once recording is first asked for.
    if (m_loop)
        return true;
    m_loop = startMainLoop();
    if (!m_loop)
        m_problem =
            QCoreApplication::translate(
                "AudioInput", "サウンドサーバーのライブラリを読み込めないため、録音できません。%1")
                .arg(pulse().problem());
    return m_loop != nullptr;
}

PulseAudioInput::~PulseAudioInput() {
    if (!m_loop)
        return;
    {
        LoopLock lock(m_loop);
        closeLocked();
        dropContext(m_context);
    }
    stopMainLoop(m_loop);
}

QByteArray PulseAudioInput::inputSourceLocked() {
    struct Query {
        pa_threaded_mainloop* loop;
        QByteArray name;
        bool monitor = false;
        bool found = false;
    } query{m_loop, {}};
    const bool asked = finish(m_loop, pulse().pa_context_get_server_info(
                                          m_context,
                                          [](pa_context*, const pa_server_info* info, void* data) {
                                              auto* q = static_cast<Query*>(data);
                                              if (info && info->default_source_name)
                                                  q->name = info->default_source_name;
                                              signalLoop(q->loop);
                                          },
                                          &query));
    if (asked && !query.name.isEmpty()) {
        finish(m_loop, pulse().pa_context_get_source_info_by_name(
                           m_context, query.name.constData(),
                           [](pa_context*, const pa_source_info* info, int, void* data) {
                               auto* q = static_cast<Query*>(data);
                               if (info) {
                                   q->found = true;
                                   q->monitor = info->monitor_of_sink != PA_INVALID_INDEX;
                               }
                               signalLoop(q->loop);
                           },
                           &query));
    }
    if (!query.found || query.monitor) {
        qCInfo(lcAudio) << "no sound input to record: default source" << query.name
                        << (query.monitor ? "mirrors an output" : "not found");
        m_problem = QCoreApplication::translate("AudioInput",
                                                "マイクなどの録音できる入力装置が見つかりません。");
        return {};
    }
    return query.name;
}

bool PulseAudioInput::start(CaptureHandler samples, std::function<void()> failed) {
    if (!startLoop())
        return false;
    LoopLock lock(m_loop);
    closeLocked();
    m_problem.clear();
    if (!connectContext(m_loop, m_context, kConnectTimeoutMs)) {
        m_problem = QCoreApplication::translate(
            "AudioInput", "サウンドサーバーに接続できないため、録音できません。");
        return false;
    }
    const QByteArray source = inputSourceLocked();
    if (source.isEmpty())
        return false;
    const pa_sample_spec format{PA_SAMPLE_S16NE, uint32_t(m_sampleRate), 1};
    m_stream = pulse().pa_stream_new(m_context, "Answer", &format, nullptr);
    if (!m_stream) {
        m_problem = QCoreApplication::translate("AudioInput", "録音を始められません。");
        return false;
    }
    m_samples = std::move(samples);
    m_failed = std::move(failed);
    m_failedTold = false;
    pulse().pa_stream_set_state_callback(
        m_stream,
        [](pa_stream*, void* self) {
            auto* input = static_cast<PulseAudioInput*>(self);
            signalLoop(input->m_loop);
            input->brokeDownLocked();
        },
        this);
    pulse().pa_stream_set_read_callback(
        m_stream,
        [](pa_stream*, size_t, void* self) { static_cast<PulseAudioInput*>(self)->readLocked(); },
        this);
    // Small fragments: the samples of a gap's start come within a few milliseconds.
    pa_buffer_attr buffer{};
    buffer.maxlength = uint32_t(-1);
    buffer.fragsize =
        uint32_t(pulse().pa_usec_to_bytes(pa_usec_t(kFragmentMs) * PA_USEC_PER_MSEC, &format));
    const auto flags = pa_stream_flags_t(PA_STREAM_INTERPOLATE_TIMING |
                                         PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_ADJUST_LATENCY);
    if (pulse().pa_stream_connect_record(m_stream, source.constData(), &buffer, flags) < 0) {
        closeLocked();
        m_problem = QCoreApplication::translate("AudioInput", "録音を始められません。");
        return false;
    }
    const Deadline deadline(m_loop, kConnectTimeoutMs);
    while (!settled(pulse().pa_stream_get_state(m_stream)) && !deadline.passed())
        pulse().pa_threaded_mainloop_wait(m_loop);
    if (pulse().pa_stream_get_state(m_stream) == PA_STREAM_READY)
        return true;
    closeLocked();
    m_problem = QCoreApplication::translate("AudioInput", "入力装置から録音できません。");
    return false;
}

void PulseAudioInput::readLocked() {
    for (;;) {
        const void* data = nullptr;
        size_t bytes = 0;
        if (pulse().pa_stream_peek(m_stream, &data, &bytes) < 0 || bytes == 0)
            return;
        // What has not been read yet was captured this long ago: its first sample's time.
        pa_usec_t latency = 0;
        int negative = 0;
        const qint64 now = steadyNowUs();
        const qint64 count = qint64(bytes / sizeof(qint16));
        qint64 firstUs = now - count * 1000000 / m_sampleRate;
        if (pulse().pa_stream_get_latency(m_stream, &latency, &negative) == 0 && !negative)
            firstUs = now - qint64(latency);
        if (data && m_samples) // null data: a hole in the stream, dropped
            m_samples(static_cast<const qint16*>(data), count, firstUs);
        pulse().pa_stream_drop(m_stream);
    }
}

void PulseAudioInput::brokeDownLocked() {
    if (!m_stream || PA_STREAM_IS_GOOD(pulse().pa_stream_get_state(m_stream)) || m_failedTold)
        return;
    m_failedTold = true;
    m_problem = QCoreApplication::translate("AudioInput", "録音中に入力装置が使えなくなりました。");
    qCWarning(lcAudio) << "the sound input broke down";
    if (m_failed)
        m_failed();
}

void PulseAudioInput::closeLocked() {
    if (!m_stream)
        return;
    pulse().pa_stream_set_state_callback(m_stream, nullptr, nullptr);
    pulse().pa_stream_set_read_callback(m_stream, nullptr, nullptr);
    if (PA_STREAM_IS_GOOD(pulse().pa_stream_get_state(m_stream)))
        pulse().pa_stream_disconnect(m_stream);
    pulse().pa_stream_unref(m_stream);
    m_stream = nullptr;
    m_samples = nullptr;
    m_failed = nullptr;
}

void PulseAudioInput::stop() {
    if (!m_loop)
        return;
    LoopLock lock(m_loop);
    closeLocked();
}

bool PulseAudioInput::isCapturing() const {
    if (!m_loop)
        return false;
    LoopLock lock(m_loop);
    return m_stream && pulse().pa_stream_get_state(m_stream) == PA_STREAM_READY;
}

QString PulseAudioInput::problem() const {
    if (!m_loop)
        return m_problem;
    LoopLock lock(m_loop);
    return m_problem;
}

} // namespace lessora
