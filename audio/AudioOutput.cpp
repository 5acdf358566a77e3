#include "audio/AudioOutput.h"

#include "audio/Logging.h"

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdlib>
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

qint64 SilentPcmSink::queuedFrames() {
    return m_written - playedFrames();
}

AudioOutput::AudioOutput(std::unique_ptr<PcmSink> sink, int sampleRate,
                         std::shared_ptr<const AudioClock> clock)
    : m_sampleRate(sampleRate)
    , m_clock(std::move(clock))
    , m_sink(std::move(sink))
    , m_active(m_sink.get()) {}

AudioOutput::~AudioOutput() = default;

void AudioOutput::setWakeHandler(std::function<void()> wake) {
    std::lock_guard lock(m_mutex);
    m_wake = std::move(wake);
    for (PcmSink* sink : {m_sink.get(), m_fallbackSink.get()}) {
        if (sink)
            sink->setDemandHandler(m_wake);
    }
}

void AudioOutput::setFallbackSink(std::unique_ptr<PcmSink> sink, bool useNow) {
    std::lock_guard lock(m_mutex);
    m_fallbackSink = std::move(sink);
    if (m_fallbackSink)
        m_fallbackSink->setDemandHandler(m_wake);
    if (useNow && m_fallbackSink) {
        m_active = m_fallbackSink.get();
        m_onFallback = true;
    }
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

void AudioOutput::notifyFinished() {
    m_finished.notify_all();
    m_played.notify_all();
}

quint64 AudioOutput::newOwner() {
    static std::atomic<quint64> last = 0;
    return ++last;
}

void AudioOutput::endLocked(Utterance& utterance) {
    utterance.finished = true;
    if (utterance.listener && !utterance.endReported) {
        utterance.endReported = true;
        utterance.listener->ended();
    }
}

UtterancePtr AudioOutput::enqueue(quint64 owner, std::shared_ptr<UtteranceListener> listener) {
    auto utterance = std::make_shared<Utterance>();
    utterance->owner = owner;
    utterance->queuedUs = steadyNowUs();
    utterance->listener = std::move(listener);
    {
        std::lock_guard lock(m_mutex);
        if (m_shutDown) {
            utterance->cancelRequested = true;
            endLocked(*utterance);
            return utterance;
        }
        m_queue.push_back(utterance);
    }
    wake();
    return utterance;
}

void AudioOutput::append(const UtterancePtr& utterance, const qint16* samples, qint64 count) {
    {
        std::unique_lock lock(m_mutex);
        const auto aheadLimit = qint64(m_sampleRate) * kMostAheadMs / 1000;
        m_played.wait(lock, [&] {
            return utterance->finished || m_shutDown ||
                   utterance->released + qint64(utterance->samples.size()) - utterance->written <
                       aheadLimit;
        });
        if (utterance->finished || m_shutDown)
            return;
        // What has been handed to the sink is let go once it is the larger part.
        auto& kept = utterance->samples;
        const qint64 handedOver = utterance->written - utterance->released;
        if (handedOver > 0 && handedOver >= qint64(kept.size()) / 2) {
            kept.erase(kept.begin(), kept.begin() + handedOver);
            utterance->released = utterance->written;
        }
        kept.insert(kept.end(), samples, samples + count);
    }
    wake();
}

bool AudioOutput::hasRoomLocked(const Utterance& utterance) const {
    const qint64 unplayed =
        utterance.released + qint64(utterance.samples.size()) - utterance.written;
    return utterance.finished || m_shutDown || unplayed < qint64(m_sampleRate) * kAheadMs / 1000;
}

void AudioOutput::whenRoom(const UtterancePtr& utterance, std::function<void()> ready) {
    {
        std::lock_guard lock(m_mutex);
        if (!hasRoomLocked(*utterance)) {
            m_roomWaiters.emplace_back(utterance, std::move(ready));
            return;
        }
    }
    ready();
}

AudioOutput::Callbacks AudioOutput::takeReadyLocked() {
    Callbacks ready;
    std::erase_if(m_roomWaiters, [&](auto& waiter) {
        if (!hasRoomLocked(*waiter.first))
            return false;
        ready.push_back(std::move(waiter.second));
        return true;
    });
    return ready;
}

void AudioOutput::finishSynthesis(const UtterancePtr& utterance, const QString& error) {
    {
        std::lock_guard lock(m_mutex);
        utterance->synthesized = true;
        if (!error.isEmpty() && !utterance->finished) {
            utterance->error = error;
            endLocked(*utterance);
            notifyFinished();
        }
    }
    wake();
}

void AudioOutput::cancel(quint64 owner) {
    Callbacks ready;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& utterance : m_queue) {
            if (utterance->owner != owner || utterance->finished)
                continue;
            utterance->cancelRequested = true;
            endLocked(*utterance);
            if (utterance == m_queue.front() && utterance->written > 0)
                m_discardStream = true;
        }
        notifyFinished();
        ready = takeReadyLocked();
    }
    for (const auto& callback : ready)
        callback();
    wake();
}

void AudioOutput::cancelAll() {
    Callbacks ready;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& utterance : m_queue) {
            utterance->cancelRequested = true;
            endLocked(*utterance);
        }
        m_discardStream = true;
        notifyFinished();
        ready = takeReadyLocked();
    }
    for (const auto& callback : ready)
        callback();
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
    // On the pump's own thread nobody else would pump: the wait would never end.
    if (!pumpWhileWaiting && std::this_thread::get_id() != m_pumpThread) {
        m_finished.wait(lock, [&] { return utterance->finished; });
        return;
    }
    // The caller is the pump. Its clock may be a test's, which moves as it is read and not
    // with real time, and synthesis wakes nobody here: it looks again after a moment.
    while (!utterance->finished) {
        lock.unlock();
        pump();
        lock.lock();
        if (!utterance->finished)
            m_finished.wait_for(lock, std::chrono::milliseconds(1));
    }
}

// On the stand-in sink, each new utterance first tries the real one again: a sound server
// that has come back is used from the next line on.
bool AudioOutput::startsLineOnFallback() const {
    if (!m_onFallback || m_queue.empty() || m_active == m_sink.get())
        return false;
    const Utterance& head = *m_queue.front();
    return head.written == 0 && m_lastTried.lock().get() != &head;
}

bool AudioOutput::openStream() {
    if (m_onFallback && m_active != m_sink.get() && m_sink->open()) {
        m_active->close();
        m_active = m_sink.get();
        m_onFallback = false;
        return true;
    }
    if (m_active->open())
        return true;
    if (m_fallbackSink && m_active != m_fallbackSink.get()) {
        qCWarning(lcAudio) << "cannot open a sound stream; speech goes on in silence";
        m_active = m_fallbackSink.get();
        m_onFallback = true;
        return m_active->open();
    }
    return false;
}

void AudioOutput::recoverFromFailedStream() {
    qCWarning(lcAudio) << "the sound stream broke down; the line goes on"
                       << (m_fallbackSink ? "in silence" : "on a new stream");
    m_active->close();
    m_streamOpen = false;
    if (m_fallbackSink) {
        m_active = m_fallbackSink.get();
        m_onFallback = true;
    }
    // What was written to the broken stream is lost; the rest plays on the new one.
    m_endDueUs = -1;
    if (!m_queue.empty()) {
        m_queue.front()->endFrame = -1;
        m_lastTried = m_queue.front();
    }
}

void AudioOutput::writeSilence(qint64 frames) {
    static const std::vector<qint16> silence(4096, 0);
    while (frames > 0) {
        const qint64 chunk = std::min<qint64>(
            {frames, static_cast<qint64>(silence.size()), m_active->writableFrames()});
        if (chunk <= 0)
            return;
        const qint64 written = m_active->write(silence.data(), chunk);
        if (written <= 0)
            return;
        m_streamWritten += written;
        frames -= written;
    }
}

void AudioOutput::writeHead(Utterance& head) {
    const qint16* next = head.samples.data() + (head.written - head.released);
    const qint64 pending = head.released + qint64(head.samples.size()) - head.written;
    if (pending <= 0)
        return;
    const qint64 count = std::min(pending, m_active->writableFrames());
    const qint64 written = count > 0 ? m_active->write(next, count) : 0;
    if (written <= 0)
        return;
    const qint64 now = steadyNowUs();
    if (head.firstWriteUs < 0) {
        head.firstWriteUs = now;
        if (head.listener)
            head.listener->started();
        ++m_startStatistics.started;
        m_startStatistics.lastDelayUs = now - head.queuedUs;
        m_startStatistics.lastAudibleDelayUs = -1;
    }
    if (head.firstAudibleUs < 0 &&
        std::any_of(next, next + written, [](qint16 s) { return std::abs(s) >= kAudibleLevel; })) {
        head.firstAudibleUs = now;
        m_startStatistics.lastAudibleDelayUs = now - head.queuedUs;
    }
    head.written += written;
    m_streamWritten += written;
    m_played.notify_all();
}

qint64 AudioOutput::untilHeardUs(qint64 frames) {
    const qint64 now = m_clock->nowUs();
    qint64 us = (frames * 1000000 + m_sampleRate - 1) / m_sampleRate + kEndMarginUs;
    // Past the time computed before and the position has not moved since: it waits for the
    // server's next report, so there is no point in looking again every millisecond.
    if (m_endDueUs >= 0 && now >= m_endDueUs && frames == m_endLeftFrames)
        us = std::max(us, kLateRecheckUs);
    m_endDueUs = now + us;
    m_endLeftFrames = frames;
    return us;
}

void AudioOutput::finishHead() {
    m_endDueUs = -1;
    endLocked(*m_queue.front());
    std::vector<qint16>().swap(m_queue.front()->samples); // the voice object may hold on to it
    m_queue.pop_front();
    notifyFinished();
}

void AudioOutput::dropFinishedHeads() {
    while (!m_queue.empty() && m_queue.front()->finished) {
        std::vector<qint16>().swap(m_queue.front()->samples);
        m_queue.pop_front();
    }
}

qint64 AudioOutput::pump() {
    std::unique_lock lock(m_mutex);
    m_pumpThread = std::this_thread::get_id();
    const qint64 more = pumpLocked(lock);
    const Callbacks ready = takeReadyLocked();
    lock.unlock();
    for (const auto& callback : ready)
        callback();
    return more;
}

qint64 AudioOutput::pumpLocked(std::unique_lock<std::mutex>& lock) {
    if (m_shutDown)
        return kUntilWoken;
    if (m_discardStream) {
        m_discardStream = false;
        if (m_streamOpen) {
            m_active->close();
            m_streamOpen = false;
        }
    }
    dropFinishedHeads();
    if (m_streamOpen && m_active->failed())
        recoverFromFailedStream();
    if (m_queue.empty() && !m_streamOpen)
        return kUntilWoken;
    if (m_streamOpen && startsLineOnFallback()) {
        m_active->close();
        m_streamOpen = false;
    }

    if (!m_streamOpen) {
        if (!m_queue.empty())
            m_lastTried = m_queue.front();
        lock.unlock();
        const bool opened = openStream();
        lock.lock();
        if (!opened) {
            const QString error = QCoreApplication::translate("Audio", "音声出力を開けません");
            for (const auto& utterance : m_queue) {
                utterance->error = error;
                utterance->cancelRequested = true;
                endLocked(*utterance);
            }
            m_queue.clear();
            notifyFinished();
            return kUntilWoken;
        }
        m_streamOpen = true;
        m_streamWritten = 0;
        m_endDueUs = -1;
        m_idleSinceUs = m_clock->nowUs();
        dropFinishedHeads(); // cancelled while the stream opened
    }

    const qint64 leadFrames = qint64(m_sampleRate) * kLeadMs / 1000;
    while (!m_queue.empty()) {
        Utterance& head = *m_queue.front();
        writeHead(head);
        // The rest goes when the sink asks for more or synthesis brings more.
        if (!head.synthesized || head.written < head.released + qint64(head.samples.size()))
            return kUntilWoken;
        if (head.endFrame < 0)
            head.endFrame = m_streamWritten;
        if (const qint64 played = m_active->playedFrames(); played < head.endFrame) {
            // Silence after the last sample keeps the stream running until it has been heard.
            writeSilence(leadFrames - m_active->queuedFrames());
            return untilHeardUs(head.endFrame - played);
        }
        finishHead();
        dropFinishedHeads();
        m_idleSinceUs = m_clock->nowUs();
    }

    const qint64 lingerLeftUs = qint64(kLingerMs) * 1000 - (m_clock->nowUs() - m_idleSinceUs);
    if (lingerLeftUs <= 0) {
        m_active->close();
        m_streamOpen = false;
        return kUntilWoken;
    }
    // Kept open a little while, so that the next line starts without reopening the device.
    writeSilence(leadFrames - m_active->queuedFrames());
    return lingerLeftUs;
}

void AudioOutput::shutdown() {
    std::unique_lock lock(m_mutex);
    if (m_shutDown)
        return;
    m_shutDown = true;
    for (const auto& utterance : m_queue) {
        utterance->cancelRequested = true;
        endLocked(*utterance);
    }
    m_queue.clear();
    notifyFinished();
    if (m_streamOpen && m_active)
        m_active->close();
    m_streamOpen = false;
    m_active = nullptr;
    m_sink.reset();
    m_fallbackSink.reset();
    m_wake = nullptr;
    const Callbacks ready = takeReadyLocked(); // every one: nothing has to wait any more
    lock.unlock();
    for (const auto& callback : ready)
        callback();
}

} // namespace lessora
