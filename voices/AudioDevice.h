#pragma once

#include "voices/AudioOutput.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QThread>

#include <memory>
#include <mutex>
#include <optional>

class QAudioSink;
class QIODevice;
class QTimer;

namespace lessora {

// The system's default sound output and a format for it, if there is one. Qt finds output
// devices only through a sound server; without one there is none for the whole run.
struct AudioDeviceChoice {
    QAudioDevice device;
    QAudioFormat format;
};
std::optional<AudioDeviceChoice> chooseAudioDevice(int preferredSampleRate);

// A stream on a sound device through one long-lived QAudioSink in push mode. Must be used on
// one thread only, the one that first opens it.
class QtPcmSink : public PcmSink {
public:
    explicit QtPcmSink(AudioDeviceChoice choice);
    ~QtPcmSink() override;
    bool open() override;
    void close() override;
    qint64 writableFrames() override;
    qint64 write(const qint16* samples, qint64 count) override;
    qint64 playedFrames() override;
    bool failed() override;

private:
    AudioDeviceChoice m_choice;
    std::unique_ptr<QAudioSink> m_sink;
    QIODevice* m_stream = nullptr;
    QByteArray m_frames; // reused conversion buffer
};

// The thread that drives an AudioOutput: pumps it every few milliseconds while it has work,
// and sleeps otherwise.
class AudioPumpThread : public QThread {
public:
    explicit AudioPumpThread(AudioOutput& output);
    ~AudioPumpThread() override;
    // Makes the thread pump soon; callable from any thread.
    void wake();

protected:
    void run() override;

private:
    AudioOutput& m_output;
    std::mutex m_mutex;
    QTimer* m_timer = nullptr;
    bool m_wakePending = false;
};

} // namespace lessora
