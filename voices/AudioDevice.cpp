#include "voices/AudioDevice.h"

#include <QAudioSink>
#include <QMediaDevices>
#include <QTimer>

namespace lessora {

namespace {
// Enough to ride over a late timer tick, small enough that stopping is immediate.
constexpr int kSinkBufferMs = 100;
constexpr int kPumpIntervalMs = 5;
} // namespace

std::optional<AudioDeviceChoice> chooseAudioDevice(int preferredSampleRate) {
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull())
        return std::nullopt;
    QAudioFormat format;
    format.setSampleFormat(QAudioFormat::Int16);
    format.setChannelCount(1);
    format.setSampleRate(preferredSampleRate);
    if (!device.isFormatSupported(format))
        format.setSampleRate(device.preferredFormat().sampleRate());
    if (!device.isFormatSupported(format))
        format.setChannelCount(device.preferredFormat().channelCount());
    if (!device.isFormatSupported(format))
        return std::nullopt;
    return AudioDeviceChoice{device, format};
}

QtPcmSink::QtPcmSink(AudioDeviceChoice choice)
    : m_choice(std::move(choice)) {}

QtPcmSink::~QtPcmSink() {
    close();
}

bool QtPcmSink::open() {
    if (!m_sink) {
        m_sink = std::make_unique<QAudioSink>(m_choice.device, m_choice.format);
        m_sink->setBufferSize(m_choice.format.bytesForDuration(kSinkBufferMs * 1000));
    }
    m_stream = m_sink->start();
    if (!m_stream || m_sink->error() != QAudio::NoError) {
        m_stream = nullptr;
        return false;
    }
    return true;
}

void QtPcmSink::close() {
    if (m_sink && m_stream)
        m_sink->stop(); // drops what the server has not played yet
    m_stream = nullptr;
}

qint64 QtPcmSink::writableFrames() {
    if (!m_stream)
        return 0;
    return m_sink->bytesFree() / m_choice.format.bytesPerFrame();
}

qint64 QtPcmSink::write(const qint16* samples, qint64 count) {
    if (!m_stream)
        return 0;
    const int channels = m_choice.format.channelCount();
    if (channels == 1) {
        m_frames = QByteArray::fromRawData(reinterpret_cast<const char*>(samples),
                                           count * qint64(sizeof(qint16)));
    } else {
        m_frames.resize(count * channels * qint64(sizeof(qint16)));
        auto* out = reinterpret_cast<qint16*>(m_frames.data());
        for (qint64 i = 0; i < count; ++i)
            std::fill_n(out + i * channels, channels, samples[i]);
    }
    const qint64 bytes = m_stream->write(m_frames);
    m_frames.clear();
    return bytes <= 0 ? 0 : bytes / m_choice.format.bytesPerFrame();
}

qint64 QtPcmSink::playedFrames() {
    if (!m_stream)
        return 0;
    return m_sink->processedUSecs() * m_choice.format.sampleRate() / 1000000;
}

bool QtPcmSink::failed() {
    if (!m_stream)
        return false;
    const QAudio::Error error = m_sink->error();
    return m_sink->state() == QAudio::StoppedState || error == QAudio::OpenError ||
           error == QAudio::IOError || error == QAudio::FatalError;
}

AudioPumpThread::AudioPumpThread(AudioOutput& output)
    : m_output(output) {
    setObjectName(QStringLiteral("audio output"));
}

AudioPumpThread::~AudioPumpThread() {
    quit();
    wait();
}

void AudioPumpThread::wake() {
    std::lock_guard lock(m_mutex);
    if (!m_timer) {
        m_wakePending = true;
        return;
    }
    QTimer* timer = m_timer;
    AudioOutput* output = &m_output;
    QMetaObject::invokeMethod(
        timer,
        [timer, output] {
            if (output->pump() && !timer->isActive())
                timer->start();
        },
        Qt::QueuedConnection);
}

void AudioPumpThread::run() {
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(kPumpIntervalMs);
    QObject::connect(&timer, &QTimer::timeout, &timer, [&] {
        if (!m_output.pump())
            timer.stop();
    });
    {
        std::lock_guard lock(m_mutex);
        m_timer = &timer;
        if (m_wakePending)
            timer.start();
    }
    exec();
    {
        std::lock_guard lock(m_mutex);
        m_timer = nullptr;
    }
    // The sink belongs to this thread; it must be closed here.
    m_output.shutdown();
}

} // namespace lessora
