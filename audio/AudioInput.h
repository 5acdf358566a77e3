#pragma once

#include <QString>
#include <QtGlobal>

#include <functional>
#include <memory>

struct pa_context;
struct pa_stream;
struct pa_threaded_mainloop;

namespace lessora {

// The steady clock the capture's times are told in, in microseconds (std::chrono::steady_clock,
// as QElapsedTimer and the sound output's clock).
qint64 steadyNowUs();

// What a capture hands on: mono 16-bit samples and the steady time at which the first of them
// reached the microphone.
using CaptureHandler = std::function<void(const qint16* samples, qint64 count, qint64 firstUs)>;

// The default sound input (a microphone). Samples come on whichever thread the input runs; the
// handlers must only store or post. Tests put in a fake.
class AudioInput {
public:
    virtual ~AudioInput() = default;
    virtual int sampleRate() const = 0;
    // Starts capturing; `failed` is called once when the input breaks down later (the device
    // unplugged, the server gone). False, with problem(), when there is no input to record.
    virtual bool start(CaptureHandler samples, std::function<void()> failed) = 0;
    // Ends the capture; no handler is called once it returns.
    virtual void stop() = 0;
    virtual bool isCapturing() const = 0;
    // Why the last start failed or the capture broke down, for a message.
    virtual QString problem() const = 0;
};

// The sound server's default source through a libpulse record stream. A source that only
// mirrors an output (a "monitor", which the server makes the default when there is no
// microphone) is not taken: it would record the program's own voices.
class PulseAudioInput : public AudioInput {
public:
    explicit PulseAudioInput(int sampleRate);
    ~PulseAudioInput() override;
    PulseAudioInput(const PulseAudioInput&) = delete;
    PulseAudioInput& operator=(const PulseAudioInput&) = delete;

    int sampleRate() const override { return m_sampleRate; }
    bool start(CaptureHandler samples, std::function<void()> failed) override;
    void stop() override;
    bool isCapturing() const override;
    QString problem() const override;

    // How often the server hands over what it captured: the capture's own delay.
    static constexpr int kFragmentMs = 10;
    static constexpr int kConnectTimeoutMs = 500;

private:
    bool startLoop();
    void closeLocked();
    // The default source's name when it is a real input; empty with m_problem set otherwise.
    QByteArray inputSourceLocked();
    void readLocked();
    void brokeDownLocked();

    const int m_sampleRate;
    pa_threaded_mainloop* m_loop = nullptr;
    pa_context* m_context = nullptr; // guarded by the main loop's lock, as is everything below
    pa_stream* m_stream = nullptr;
    CaptureHandler m_samples;
    std::function<void()> m_failed;
    bool m_failedTold = false;
    QString m_problem;
};

} // namespace lessora
