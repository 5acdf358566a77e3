#include "voices/ProcessRunner.h"

#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <QCoreApplication>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace lessora {

namespace {

constexpr int kPollMs = 10;             // how often `keepGoing` is asked
constexpr qsizetype kErrorLimit = 4096; // of standard error, enough for a message

class Fd {
public:
    Fd() = default;
    explicit Fd(int fd)
        : m_fd(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { close(); }
    void reset(int fd) {
        close();
        m_fd = fd;
    }
    int get() const { return m_fd; }
    bool isOpen() const { return m_fd >= 0; }
    void close() {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd = -1;
};

struct Pipe {
    Fd read;
    Fd write;
    bool open() {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return false;
        read.reset(fds[0]);
        write.reset(fds[1]);
        return true;
    }
};

// Whether the child has ended, without reaping it: until it is reaped its process group id
// cannot be reused, so the group can still be killed safely.
bool hasEnded(pid_t pid) {
    siginfo_t info{};
    return ::waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == pid;
}

// Kills the whole group (whatever the child started goes too) and the child itself, which may
// have left the group, and reaps the child.
int killAndReap(pid_t pid) {
    ::kill(-pid, SIGKILL);
    ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

// What the program is given of the environment: enough to run, nothing of the user's.
std::vector<QByteArray> childEnvironment() {
    std::vector<QByteArray> environment{"PATH=/usr/local/bin:/usr/bin:/bin", "LANG=C.UTF-8"};
    if (const char* temporary = std::getenv("TMPDIR"))
        environment.push_back(QByteArray("TMPDIR=") + temporary);
    return environment;
}

// In the child between fork and exec, so async-signal-safe calls only: its pipes as
// descriptors 0 to 3, nothing else open, a process group of its own, default signal handling,
// and death with its parent. Reports errno through `reportFd` when exec fails.
[[noreturn]] void execChild(char* const argv[], char* const envp[], const int fds[4], int reportFd,
                            pid_t parent) {
    auto fail = [&reportFd] {
        const int error = errno;
        [[maybe_unused]] const ssize_t n = ::write(reportFd, &error, sizeof error);
        ::_exit(127);
    };
    // A Lessora that is killed takes its programs along; the check covers a parent that died
    // before the request took effect.
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != parent)
        ::_exit(127);
    ::setpgid(0, 0);
    for (int signal = 1; signal < NSIG; ++signal)
        ::signal(signal, SIG_DFL); // SIGPIPE included
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    // Above every descriptor the program gets, so that dup2 cannot overwrite one still needed.
    const int report = ::fcntl(reportFd, F_DUPFD_CLOEXEC, 10);
    if (report < 0)
        fail();
    reportFd = report;
    int moved[4];
    for (int i = 0; i < 4; ++i) {
        moved[i] = fds[i] < 0 ? -1 : ::fcntl(fds[i], F_DUPFD, 10);
        if (fds[i] >= 0 && moved[i] < 0)
            fail();
    }
    int last = 2;
    for (int i = 0; i < 4; ++i) {
        if (moved[i] < 0)
            continue;
        if (::dup2(moved[i], i) < 0)
            fail();
        last = i;
    }
    // Everything else goes, but the report pipe, which exec closes.
    ::close_range(unsigned(last + 1), unsigned(report - 1), 0);
    ::close_range(unsigned(report + 1), ~0U, 0);
    ::execve(argv[0], argv, envp);
    fail();
    ::_exit(127);
}

} // namespace

QString ProcessResult::describe(const QString& program) const {
    const QString name = QFileInfo(program).fileName();
    const QString detail = QString::fromLocal8Bit(errors).trimmed().section(u'\n', 0, 0);
    switch (status) {
    case Status::Finished:
        return {};
    case Status::CannotStart:
        return QCoreApplication::translate("Voices", "%1 を起動できません: %2").arg(name, detail);
    case Status::TimedOut:
        return QCoreApplication::translate("Voices", "%1 が応答しません").arg(name);
    case Status::Cancelled:
        return QCoreApplication::translate("Voices", "%1 を中止しました").arg(name);
    case Status::OutputTooLarge:
        return QCoreApplication::translate("Voices", "%1 の出力が大きすぎます").arg(name);
    case Status::Failed:
        break;
    }
    const QString how =
        signal
            ? QCoreApplication::translate("Voices", "シグナル %1 で終了しました").arg(signal)
            : QCoreApplication::translate("Voices", "終了コード %1 で終了しました").arg(exitCode);
    return detail.isEmpty()
               ? QCoreApplication::translate("Voices", "%1 が%2").arg(name, how)
               : QCoreApplication::translate("Voices", "%1 が%2: %3").arg(name, how, detail);
}

struct StartedProcess::Private {
    pid_t pid = -1;
    Pipe input, output, errors, extra;
    QByteArray startError;
    bool finished = false;
};

StartedProcess::StartedProcess(const QString& program, const QStringList& arguments,
                               bool extraOutput)
    : d(std::make_unique<Private>()) {
    Pipe& input = d->input;
    Pipe& output = d->output;
    Pipe& errors = d->errors;
    Pipe& extra = d->extra;
    if (!input.open() || !output.open() || !errors.open() || (extraOutput && !extra.open())) {
        d->startError = QByteArray(std::strerror(errno));
        return;
    }

    std::vector<QByteArray> strings;
    strings.push_back(program.toLocal8Bit());
    for (const QString& argument : arguments)
        strings.push_back(argument.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& string : strings)
        argv.push_back(string.data());
    argv.push_back(nullptr);
    std::vector<QByteArray> environment = childEnvironment();
    std::vector<char*> envp;
    for (QByteArray& variable : environment)
        envp.push_back(variable.data());
    envp.push_back(nullptr);
    // Tells the parent why exec failed; closed by a successful exec.
    Pipe execStatus;
    if (!execStatus.open()) {
        d->startError = QByteArray(std::strerror(errno));
        return;
    }

    const pid_t parent = ::getpid();
    const int fds[] = {input.read.get(), output.write.get(), errors.write.get(),
                       extraOutput ? extra.write.get() : -1};
    const int reportFd = execStatus.write.get();
    const pid_t pid = ::fork();
    if (pid == 0)
        execChild(argv.data(), envp.data(), fds, reportFd, parent); // never returns
    if (pid > 0)
        ::setpgid(pid, pid); // as the child does: whichever comes first, the group is there
    execStatus.write.close();
    input.read.close();
    output.write.close();
    errors.write.close();
    extra.write.close();
    int childError = 0;
    if (pid > 0) {
        ssize_t n;
        while ((n = ::read(execStatus.read.get(), &childError, sizeof childError)) < 0 &&
               errno == EINTR) {
        }
        if (n != ssize_t(sizeof childError))
            childError = 0; // exec succeeded
        else
            killAndReap(pid);
    }
    const int spawned = pid < 0 ? errno : childError;
    if (spawned != 0) {
        d->startError = QByteArray(std::strerror(spawned));
        input.write.close();
        output.read.close();
        errors.read.close();
        extra.read.close();
        return;
    }
    d->pid = pid;
    for (const Fd* fd : {&input.write, &output.read, &errors.read, &extra.read})
        if (fd->isOpen())
            ::fcntl(fd->get(), F_SETFL, O_NONBLOCK);
}

StartedProcess::~StartedProcess() {
    if (d->pid > 0 && !d->finished)
        killAndReap(d->pid);
}

bool StartedProcess::isRunning() const {
    return d->pid > 0 && !d->finished && !hasEnded(d->pid);
}

ProcessResult StartedProcess::finish(const QByteArray& given, std::chrono::milliseconds timeout,
                                     const std::function<bool()>& keepGoing,
                                     qsizetype outputLimit) {
    using Clock = std::chrono::steady_clock;
    ProcessResult result;
    if (d->pid <= 0 || d->finished) {
        result.errors = d->startError;
        return result;
    }
    d->finished = true;
    const pid_t pid = d->pid;
    Pipe& input = d->input;
    Pipe& output = d->output;
    Pipe& errors = d->errors;
    Pipe& extra = d->extra;
    const ProcessRequest request{{}, {}, given, false, timeout, keepGoing, outputLimit};

    qsizetype written = 0;
    if (request.input.isEmpty())
        input.write.close();
    const auto deadline = Clock::now() + request.timeout;
    auto stopped = [&] { return request.keepGoing && !request.keepGoing(); };
    char buffer[65536];
    bool tooMuch = false; // more output than the limit: the program is stopped
    // Reads what is there; false at its end.
    auto drain = [&](Fd& fd) {
        for (;;) {
            const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
            if (n > 0) {
                QByteArray* collected = &fd == &output.read  ? &result.output
                                        : &fd == &extra.read ? &result.extraOutput
                                                             : nullptr;
                if (collected && collected->size() + n > request.outputLimit) {
                    tooMuch = true;
                    return true;
                }
                if (collected)
                    collected->append(buffer, n);
                else if (result.errors.size() < kErrorLimit)
                    result.errors.append(buffer, n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno == EAGAIN)
                return true;
            fd.close();
            return false;
        }
    };
    auto ending = ProcessResult::Status::Finished;
    for (;;) {
        if (tooMuch) {
            ending = ProcessResult::Status::OutputTooLarge;
            break;
        }
        if (stopped()) {
            ending = ProcessResult::Status::Cancelled;
            break;
        }
        if (hasEnded(pid)) {
            // What it wrote is in the pipes; a helper it left behind may hold them open.
            for (Fd* fd : {&output.read, &errors.read, &extra.read})
                if (fd->isOpen())
                    drain(*fd);
            break;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            ending = ProcessResult::Status::TimedOut;
            break;
        }
        pollfd fds[4];
        Fd* owners[4];
        nfds_t count = 0;
        auto watch = [&](Fd& fd, short events) {
            if (fd.isOpen()) {
                fds[count] = {fd.get(), events, 0};
                owners[count++] = &fd;
            }
        };
        watch(input.write, POLLOUT);
        watch(output.read, POLLIN);
        watch(errors.read, POLLIN);
        watch(extra.read, POLLIN);
        const int ready = ::poll(fds, count, int(std::min<long long>(left, kPollMs)));
        if (ready < 0 && errno != EINTR) {
            ending = ProcessResult::Status::Failed;
            break;
        }
        for (nfds_t i = 0; ready > 0 && i < count; ++i) {
            if (!fds[i].revents)
                continue;
            Fd& fd = *owners[i];
            if (&fd != &input.write) {
                drain(fd);
                continue;
            }
            const ssize_t n = ::write(fd.get(), request.input.constData() + written,
                                      size_t(request.input.size() - written));
            if (n > 0)
                written += n;
            // EPIPE: it stopped reading, which is its own business.
            if ((n < 0 && errno != EAGAIN && errno != EINTR) || written == request.input.size())
                fd.close();
        }
    }
    const int status = killAndReap(pid);
    if (ending != ProcessResult::Status::Finished) {
        result.status = ending;
        return result;
    }
    if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
        result.status =
            result.exitCode == 0 ? ProcessResult::Status::Finished : ProcessResult::Status::Failed;
    } else {
        result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
        result.status = ProcessResult::Status::Failed;
    }
    return result;
}

ProcessResult runProcess(const ProcessRequest& request) {
    StartedProcess process(request.program, request.arguments, request.extraOutput);
    return process.finish(request.input, request.timeout, request.keepGoing, request.outputLimit);
}

} // namespace lessora
