#include "voices/AudioOutput.h"

#include <algorithm>
#include <chrono>
#include <limits>

namespace lessora {

namespace {
qint64 steadyNowUs() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}
} // namespace

qint64 SteadyAudioClock::nowUs() const {
    return steadyNowUs();
}

SilentPcmSink::SilentPcmSink(std::shared_ptr<const AudioClock> clock, int sampleRate)
    : m_clock(std::move(clock))
    , m_sampleRate(sampleRate) {}

bool SilentPcmSink::open() {
    m_written = m_played = 0;
    m_pendingUs = 0;
    m_lastUs = m_clock->nowUs();
    return true;
}

void SilentPcmSink::close() {
    m_written = m_played = 0;
    m_pendingUs = 0;
}

qint64 SilentPcmSink::writableFrames() {
    // Nothing is really buffered, so there is no reason to hold the writer back.
    return std::numeric_limits<qint32>::max();
}

qint64 SilentPcmSink::write(const qint16*, qint64 count) {
    playedFrames(); // time that passed while the buffer was empty is not credited to new data
    m_written += count;
    return count;
}

qint64 SilentPcmSink::playedFrames() {
    const qint64 now = m_clock->nowUs();
    const qint64 elapsed = std::max<qint64>(0, now - m_lastUs);
    m_lastUs = now;
    if (m_played >= m_written) {
        m_pendingUs = 0;
        return m_played;
    }
    // Kept in microsecond-frames so that no fraction of a frame is lost between calls.
    m_pendingUs += elapsed * m_sampleRate;
    const qint64 frames = m_pendingUs / 1000000;
    m_pendingUs -= frames * 1000000;
    m_played = std::min(m_written, m_played + frames);
    if (m_played >= m_written)
        m_pendingUs = 0;
    return m_played;
}

AudioOutput::AudioOutput(std::unique_ptr<PcmSink> sink, int sampleRate,
                         std::shared_ptr<const AudioClock> clock)
    : m_sampleRate(sampleRate)
    , m_clock(std::move(clock))
    , m_sink(std::move(sink)) {}

AudioOutput::~AudioOutput() = default;

void AudioOutput::setWakeHandler(std::function<void()> wake) {
    std::lock_guard lock(m_mutex);
    m_wake = std::move(wake);
}

void AudioOutput::setFallbackSink(std::unique_ptr<PcmSink> sink) {
    std::lock_guard lock(m_mutex);
    m_fallbackSink = std::move(sink);
}

void AudioOutput::wake() {
    std::function<void()> wake;
    {
        std::lock_guard lock(m_mutex);
        wake = m_wake;
    }
    if (wake)
        wake();
}

quint64 AudioOutput::newOwner() {
    static std::atomic<quint64> last = 0;
    return ++last;
}

UtterancePtr AudioOutput::enqueue(quint64 owner) {
    auto utterance = std::make_shared<Utterance>();
    utterance->owner = owner;
    utterance->queuedUs = steadyNowUs();
    {
        std::lock_guard lock(m_mutex);
        if (m_shutDown) {
            utterance->cancelRequested = true;
            utterance->finished = true;
            return utterance;
        }
        m_queue.push_back(utterance);
    }
    wake();
    return utterance;
}

void AudioOutput::append(const UtterancePtr& utterance, const qint16* samples, qint64 count) {
    {
        std::lock_guard lock(m_mutex);
        if (utterance->finished)
            return;
        utterance->samples.insert(utterance->samples.end(), samples, samples + count);
    }
    wake();
}

void AudioOutput::finishSynthesis(const UtterancePtr& utterance, const QString& error) {
    {
        std::lock_guard lock(m_mutex);
        utterance->synthesized = true;
        if (!error.isEmpty() && !utterance->finished) {
            utterance->error = error;
            utterance->finished = true;
            m_finished.notify_all();
        }
    }
    wake();
}

void AudioOutput::cancel(quint64 owner) {
    {
        std::lock_guard lock(m_mutex);
        for (const auto& utterance : m_queue) {
            if (utterance->owner != owner || utterance->finished)
                continue;
            utterance->cancelRequested = true;
            utterance->finished = true;
            if (utterance == m_queue.front() && utterance->written > 0)
                m_discardStream = true;
        }
        m_finished.notify_all();
    }
    wake();
}

void AudioOutput::cancelAll() {
    {
        std::lock_guard lock(m_mutex);
        for (const auto& utterance : m_queue) {
            utterance->cancelRequested = true;
            utterance->finished = true;
        }
        m_discardStream = true;
        m_finished.notify_all();
    }
    wake();
}

bool AudioOutput::isFinished(const UtterancePtr& utterance) const {
    std::lock_guard lock(m_mutex);
    return utterance->finished;
}

QString AudioOutput::errorOf(const UtterancePtr& utterance) const {
    std::lock_guard lock(m_mutex);
    return utterance->error;
}

AudioOutput::StartStatistics AudioOutput::startStatistics() const {
    std::lock_guard lock(m_mutex);
    return m_startStatistics;
}

void AudioOutput::waitFinished(const UtterancePtr& utterance, bool pumpWhileWaiting) {
    std::unique_lock lock(m_mutex);
    while (!utterance->finished) {
        if (pumpWhileWaiting) {
            lock.unlock();
            pump();
            lock.lock();
            m_finished.wait_for(lock, std::chrono::milliseconds(1));
        } else {
            m_finished.wait(lock);
        }
    }
}

bool AudioOutput::openStream() {
    if (m_sink->open()) {
        m_streamOpen = true;
        m_streamWritten = 0;
        return true;
    }
    if (m_fallbackSink) {
        m_sink = std::move(m_fallbackSink);
        return openStream();
    }
    return false;
}

void AudioOutput::recoverFromFailedStream() {
    m_sink->close();
    m_streamOpen = false;
    if (m_fallbackSink)
        m_sink = std::move(m_fallbackSink);
    // What was written to the broken stream is lost; the rest plays on the new one.
    if (!m_queue.empty())
        m_queue.front()->endFrame = -1;
}

void AudioOutput::writeSilence(qint64 frames) {
    static const std::vector<qint16> silence(4096, 0);
    while (frames > 0) {
        const qint64 chunk = std::min<qint64>(
            {frames, static_cast<qint64>(silence.size()), m_sink->writableFrames()});
        if (chunk <= 0)
            return;
        const qint64 written = m_sink->write(silence.data(), chunk);
        if (written <= 0)
            return;
        m_streamWritten += written;
        frames -= written;
    }
}

void AudioOutput::finishHead() {
    m_queue.front()->finished = true;
    std::vector<qint16>().swap(m_queue.front()->samples); // the voice object may hold on to it
    m_queue.pop_front();
    m_finished.notify_all();
}

void AudioOutput::dropFinishedHeads() {
    while (!m_queue.empty() && m_queue.front()->finished) {
        std::vector<qint16>().swap(m_queue.front()->samples);
        m_queue.pop_front();
    }
}

bool AudioOutput::pump() {
    std::unique_lock lock(m_mutex);
    if (m_shutDown)
        return false;
    if (m_discardStream) {
        m_discardStream = false;
        if (m_streamOpen) {
            m_sink->close();
            m_streamOpen = false;
        }
    }
    dropFinishedHeads();
    if (m_streamOpen && m_sink->failed())
        recoverFromFailedStream();
    if (m_queue.empty() && !m_streamOpen)
        return false;

    if (!m_streamOpen && !openStream()) {
        const QString error = QStringLiteral("音声出力を開けません");
        for (const auto& utterance : m_queue) {
            utterance->error = error;
            utterance->finished = true;
            utterance->cancelRequested = true;
        }
        m_queue.clear();
        m_finished.notify_all();
        return false;
    }

    const qint64 leadFrames = qint64(m_sampleRate) * kLeadMs / 1000;
    while (!m_queue.empty()) {
        Utterance& head = *m_queue.front();
        const qint64 pending = qint64(head.samples.size()) - head.written;
        if (pending > 0) {
            const qint64 count = std::min(pending, m_sink->writableFrames());
            const qint64 written =
                count > 0 ? m_sink->write(head.samples.data() + head.written, count) : 0;
            if (written > 0 && head.firstWriteUs < 0) {
                head.firstWriteUs = steadyNowUs();
                ++m_startStatistics.started;
                m_startStatistics.lastDelayUs = head.firstWriteUs - head.queuedUs;
            }
            head.written += std::max<qint64>(0, written);
            m_streamWritten += std::max<qint64>(0, written);
        }
        if (!head.synthesized || head.written < qint64(head.samples.size()))
            return true;
        if (head.endFrame < 0)
            head.endFrame = m_streamWritten;
        if (m_sink->playedFrames() < head.endFrame) {
            // Silence after the last sample keeps the stream running until it has been heard.
            writeSilence(leadFrames - (m_streamWritten - m_sink->playedFrames()));
            return true;
        }
        finishHead();
        dropFinishedHeads();
        m_idleSinceUs = m_clock->nowUs();
    }

    if (m_clock->nowUs() - m_idleSinceUs >= qint64(kLingerMs) * 1000) {
        m_sink->close();
        m_streamOpen = false;
        return false;
    }
    // Kept open a little while, so that the next line starts without reopening the device.
    writeSilence(leadFrames - (m_streamWritten - m_sink->playedFrames()));
    return true;
}

void AudioOutput::shutdown() {
    std::lock_guard lock(m_mutex);
    if (m_shutDown)
        return;
    m_shutDown = true;
    for (const auto& utterance : m_queue) {
        utterance->cancelRequested = true;
        utterance->finished = true;
    }
    m_queue.clear();
    m_finished.notify_all();
    if (m_streamOpen)
        m_sink->close();
    m_streamOpen = false;
    m_sink.reset();
    m_fallbackSink.reset();
    m_wake = nullptr;
}

} // namespace lessora
