#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace lessora::test {

// A PulseAudio server of this process's own, whose only output is a null sink: real streams on
// a machine without a sound card, and nothing heard. While it lives, PULSE_SERVER points this
// process (and the programs it starts) at it.
class PrivateSoundServer {
public:
    PrivateSoundServer();
    ~PrivateSoundServer();
    PrivateSoundServer(const PrivateSoundServer&) = delete;
    PrivateSoundServer& operator=(const PrivateSoundServer&) = delete;

    // Starts the server and waits until it takes connections; false, with why(), when it
    // cannot be started here (no pulseaudio program, say). With `microphone` its default source
    // is a pipe (module-pipe-source, 48 kHz mono 16 bit) that the test writes what is "heard"
    // into, at microphonePath(); without it the only source mirrors the null sink, as on a
    // machine without a microphone.
    bool start(bool microphone = false);
    QString microphonePath() const { return m_dir.filePath(QStringLiteral("microphone")); }
    static constexpr int kMicrophoneRate = 48000;
    // Ends the server at once, as a crash or a restart of the user's server would.
    void kill();
    bool running() const { return m_process.state() == QProcess::Running; }
    QString why() const { return m_why; }

private:
    QTemporaryDir m_dir;
    QString m_socket;
    QProcess m_process;
    QString m_why;
    QByteArray m_previousServer;
};

} // namespace lessora::test
