// From starting `lessora-say --voice VOICE TEXT` to its first audible sample (above -50 dBFS)
// reaching the sound server, beside the `espeak-ng` command saying the same text, measured the
// same way in the same run. The sound server's output is recorded (parec on the monitor of its
// default sink), so run it under a private PulseAudio server whose default sink is a null sink:
//   bench_saystart [LESSORA-SAY]
// Each command is run several times, interleaved with the others; medians are printed.
#include "Median.h"

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRate = 48000;
constexpr int kAudible = 104; // -50 dBFS of 16-bit samples
constexpr int kRuns = 7;
const char* const kText = "This is a voice test.";

double secondsOf(Clock::time_point time) {
    return std::chrono::duration<double>(time.time_since_epoch()).count();
}

// Runs a program with its output thrown away; its process id.
pid_t spawn(const std::vector<std::string>& arguments, int outputFd = -1) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (outputFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, outputFd, 1);
    else
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// What the sound server plays, as parec records the monitor of its default sink: every
// sample, and the time of the first one, estimated from the chunks' arrival (a sample can
// arrive no earlier than it is played, so the earliest arrival less its place bounds it).
class Recorder {
public:
    explicit Recorder(const QString& monitor) {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        m_pid = spawn({"parec", "--raw", "-d", monitor.toStdString(), "--rate=48000",
                       "--channels=1", "--format=s16le", "--latency-msec=2"},
                      fds[1]);
        close(fds[1]);
        m_fd = fds[0];
        m_thread = std::thread([this] { read(); });
    }
    ~Recorder() {
        if (m_pid > 0)
            kill(m_pid, SIGTERM);
        if (m_thread.joinable())
            m_thread.join();
        if (m_pid > 0)
            waitpid(m_pid, nullptr, 0);
    }

    bool running() const { return m_pid > 0; }

    // Seconds from `start` to the first audible sample played after it; -1 when none.
    double firstAudibleAfter(Clock::time_point start) {
        std::lock_guard lock(m_mutex);
        if (m_samples.empty())
            return -1;
        const auto from = qint64(std::ceil((secondsOf(start) - m_firstSampleTime) * kRate));
        for (qint64 i = std::max<qint64>(from, 0); i < qint64(m_samples.size()); ++i) {
            if (std::abs(int(m_samples[size_t(i)])) >= kAudible)
                return m_firstSampleTime + double(i) / kRate - secondsOf(start);
        }
        return -1;
    }

private:
    void read() {
        std::vector<char> buffer(1 << 14);
        QByteArray pending;
        for (;;) {
            const ssize_t got = ::read(m_fd, buffer.data(), buffer.size());
            if (got <= 0)
                break;
            const double now = secondsOf(Clock::now());
            pending.append(buffer.data(), got);
            const qsizetype whole = pending.size() / 2;
            std::lock_guard lock(m_mutex);
            const auto* samples = reinterpret_cast<const qint16*>(pending.constData());
            m_samples.insert(m_samples.end(), samples, samples + whole);
            m_firstSampleTime = std::min(m_firstSampleTime, now - double(m_samples.size()) / kRate);
            pending.remove(0, whole * 2);
        }
        close(m_fd);
    }

    pid_t m_pid = -1;
    int m_fd = -1;
    std::thread m_thread;
    std::mutex m_mutex;
    std::vector<qint16> m_samples;
    double m_firstSampleTime = 1e300;
};

// Seconds from starting the command to its first audible sample at the server.
double startToSound(Recorder& recorder, const std::vector<std::string>& command) {
    const Clock::time_point start = Clock::now();
    const pid_t pid = spawn(command);
    if (pid <= 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    // The recording lags the server by a few milliseconds.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return recorder.firstAudibleAfter(start);
}

QString defaultSinkMonitor() {
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), {QStringLiteral("get-default-sink")});
    if (!pactl.waitForFinished(5000) || pactl.exitCode() != 0)
        return {};
    const QString sink = QString::fromLocal8Bit(pactl.readAllStandardOutput()).trimmed();
    return sink.isEmpty() ? QString() : sink + QStringLiteral(".monitor");
}

} // namespace

int main(int argc, char** argv) {
    const std::string tool = argc > 1 ? argv[1] : LESSORA_SAY_PATH;
    const QString monitor = defaultSinkMonitor();
    if (monitor.isEmpty()) {
        std::fprintf(stderr, "no sound server (pactl get-default-sink failed)\n");
        return 1;
    }
    Recorder recorder(monitor);
    if (!recorder.running()) {
        std::fprintf(stderr, "parec cannot record %s\n", qPrintable(monitor));
        return 1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));

    struct Command {
        const char* name;
        std::vector<std::string> arguments;
        std::vector<double> seconds;
    };
    std::vector<Command> commands = {
        {"espeak-ng -v en-us", {"espeak-ng", "-v", "en-us", kText}, {}},
        {"lessora-say, eSpeak Alex",
         {tool, "--voice", "eSpeak Alex - English (United States)", kText},
         {}},
        {"lessora-say, Flite Slt",
         {tool, "--voice", "Flite Slt - English (United States)", kText},
         {}},
        {"lessora-say, Flite Kal",
         {tool, "--voice", "Flite Kal - English (United States)", kText},
         {}},
    };
    for (int run = 0; run < kRuns; ++run) // interleaved, so that all meet the same machine
        for (Command& command : commands)
            command.seconds.push_back(startToSound(recorder, command.arguments));

    std::printf("start -> first audible sample at the sound server (-50 dBFS), median of %d, "
                "\"%s\"\n",
                kRuns, kText);
    const double peer = median(commands.front().seconds, -1);
    std::printf("%-28s %10s %8s\n", "", "ms", "/ peer");
    for (const Command& command : commands)
        std::printf("%-28s %10.1f %8.2f\n", command.name, median(command.seconds, -1) * 1000,
                    median(command.seconds, -1) / peer);
    std::printf("peer: the espeak-ng command; goal <= 1.2x\n");
    return 0;
}
