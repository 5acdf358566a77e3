#include "support/PrivateSoundServer.h"

#include "audio/AudioDevice.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>

namespace lessora::test {

PrivateSoundServer::PrivateSoundServer()
    : m_socket(m_dir.filePath(QStringLiteral("native")))
    , m_previousServer(qgetenv("PULSE_SERVER")) {
    qputenv("PULSE_SERVER", "unix:" + m_socket.toLocal8Bit());
}

PrivateSoundServer::~PrivateSoundServer() {
    kill();
    if (m_previousServer.isNull())
        qunsetenv("PULSE_SERVER");
    else
        qputenv("PULSE_SERVER", m_previousServer);
}

bool PrivateSoundServer::start(bool microphone) {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("pulseaudio"));
    if (program.isEmpty() || !m_dir.isValid()) {
        m_why = QStringLiteral("no pulseaudio program");
        return false;
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // Its own runtime, state and configuration folders: nothing of the user's server is met.
    for (const char* name : {"XDG_RUNTIME_DIR", "HOME", "XDG_CONFIG_HOME", "XDG_STATE_HOME"})
        environment.insert(QString::fromLatin1(name), m_dir.path());
    environment.remove(QStringLiteral("PULSE_SERVER"));
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.setStandardOutputFile(QProcess::nullDevice());
    QStringList arguments{
        QStringLiteral("-n"),
        QStringLiteral("--daemonize=no"),
        QStringLiteral("--exit-idle-time=-1"),
        QStringLiteral("--system=false"),
        QStringLiteral("--use-pid-file=no"),
        QStringLiteral("--log-target=stderr"),
        QStringLiteral("--log-level=error"),
        QStringLiteral("--load=module-native-protocol-unix auth-anonymous=1 socket=") + m_socket,
        QStringLiteral("--load=module-null-sink sink_name=nullsink rate=48000 "
                       "channels=2"),
        QStringLiteral("--load=module-always-sink")};
    // A real source is the default over the sink's monitor.
    if (microphone)
        arguments << QStringLiteral("--load=module-pipe-source source_name=microphone "
                                    "format=s16le rate=%1 channels=1 file=%2")
                         .arg(kMicrophoneRate)
                         .arg(microphonePath());
    m_process.start(program, arguments);
    if (!m_process.waitForStarted(5000)) {
        m_why = QStringLiteral("pulseaudio did not start: ") + m_process.errorString();
        return false;
    }
    // Ready once a client gets through.
    const QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired() && m_process.state() == QProcess::Running) {
        if (QFileInfo::exists(m_socket) && PulsePcmSink(22050).connect())
            return true;
        QThread::msleep(20);
    }
    m_why = QStringLiteral("pulseaudio did not take connections");
    kill();
    return false;
}

void PrivateSoundServer::kill() {
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(5000);
    QFile::remove(m_socket);
}

} // namespace lessora::test
