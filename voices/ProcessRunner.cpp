#include "voices/ProcessRunner.h"

#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

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

// Kills the whole group (whatever the child started goes too) and reaps the child.
int killAndReap(pid_t pid) {
    ::kill(-pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

} // namespace

QString ProcessResult::describe(const QString& program) const {
    const QString name = QFileInfo(program).fileName();
    const QString detail = QString::fromLocal8Bit(errors).trimmed().section(u'\n', 0, 0);
    switch (status) {
    case Status::Finished:
        return {};
    case Status::CannotStart:
        return QStringLiteral("%1 を起動できません: %2").arg(name, detail);
    case Status::TimedOut:
        return QStringLiteral("%1 が応答しません").arg(name);
    case Status::Cancelled:
        return QStringLiteral("%1 を中止しました").arg(name);
    case Status::Failed:
        break;
    }
    const QString how = signal ? QStringLiteral("シグナル %1 で終了しました").arg(signal)
                               : QStringLiteral("終了コード %1 で終了しました").arg(exitCode);
    return detail.isEmpty() ? QStringLiteral("%1 が%2").arg(name, how)
                            : QStringLiteral("%1 が%2: %3").arg(name, how, detail);
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

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input.read.get(), 0);
    posix_spawn_file_actions_adddup2(&actions, output.write.get(), 1);
    posix_spawn_file_actions_adddup2(&actions, errors.write.get(), 2);
    if (extraOutput)
        posix_spawn_file_actions_adddup2(&actions, extra.write.get(), 3);
    posix_spawn_file_actions_addclosefrom_np(&actions, extraOutput ? 4 : 3);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);   // nothing blocked
    posix_spawnattr_setsigdefault(&attributes, &all); // default handlers, SIGPIPE included
    posix_spawnattr_setpgroup(&attributes, 0);        // a group of its own, killed as one
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF |
                                              POSIX_SPAWN_SETPGROUP);

    std::vector<QByteArray> strings;
    strings.push_back(program.toLocal8Bit());
    for (const QString& argument : arguments)
        strings.push_back(argument.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& string : strings)
        argv.push_back(string.data());
    argv.push_back(nullptr);

    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    input.read.close();
    output.write.close();
    errors.write.close();
    extra.write.close();
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
                                     const std::function<bool()>& keepGoing) {
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
    const ProcessRequest request{{}, {}, given, false, timeout, keepGoing};

    qsizetype written = 0;
    if (request.input.isEmpty())
        input.write.close();
    const auto deadline = Clock::now() + request.timeout;
    auto stopped = [&] { return request.keepGoing && !request.keepGoing(); };
    char buffer[65536];
    // Reads what is there; false at its end.
    auto drain = [&](Fd& fd) {
        for (;;) {
            const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
            if (n > 0) {
                if (&fd == &output.read)
                    result.output.append(buffer, n);
                else if (&fd == &extra.read)
                    result.extraOutput.append(buffer, n);
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
    return process.finish(request.input, request.timeout, request.keepGoing);
}

} // namespace lessora
