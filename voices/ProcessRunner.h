#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>

namespace lessora {

// How a run of an external program ended.
struct ProcessResult {
    enum class Status {
        Finished,       // exited with code 0
        Failed,         // exited with another code, or was killed by a signal
        TimedOut,       // still running at the deadline: killed
        Cancelled,      // asked to stop: killed
        CannotStart,    // the program could not be started
        OutputTooLarge, // wrote more than the request's limit: killed
    };
    Status status = Status::CannotStart;
    int exitCode = -1;
    int signal = 0;
    QByteArray output;      // its standard output
    QByteArray extraOutput; // what it wrote to file descriptor 3, when asked for
    QByteArray errors;      // the start of its standard error

    // A line for the user about a run that did not finish well.
    QString describe(const QString& program) const;
};

struct ProcessRequest {
    QString program; // an absolute path: no shell, no search of PATH
    QStringList arguments;
    QByteArray input;         // written to its standard input, which is then closed
    bool extraOutput = false; // collect what it writes to file descriptor 3 (/dev/fd/3)
    std::chrono::milliseconds timeout{10000};
    // Asked every few milliseconds; false kills the program.
    std::function<bool()> keepGoing;
    // Most bytes kept of its standard output, and of fd 3; past it the program is killed.
    qsizetype outputLimit = kDefaultOutputLimit;
    // Far above the WAV of a sentence (some MB), far below what would strain the memory.
    static constexpr qsizetype kDefaultOutputLimit = qsizetype(64) << 20;
};

// Runs a program directly (no shell) in a process group of its own, with nothing inherited but
// standard input, output and error (and fd 3 when asked) and a minimal environment (PATH,
// LANG, TMPDIR), and collects its output in memory up to a limit. Never waits past the
// timeout: a program that hangs, writes without end, or is cancelled, is killed with its group
// and reaped; and it is killed when the thread that started it ends or the program dies (a
// parent-death signal), so that a killed Lessora leaves none behind.
ProcessResult runProcess(const ProcessRequest& request);

// The same in two steps: the program is started first and given its input later, so that it
// can load what it needs while nothing is asked of it yet. One that is never finished is
// killed and reaped when this goes away.
class StartedProcess {
public:
    StartedProcess(const QString& program, const QStringList& arguments, bool extraOutput);
    ~StartedProcess();
    StartedProcess(const StartedProcess&) = delete;
    StartedProcess& operator=(const StartedProcess&) = delete;

    // Started and still waiting (it may have ended on its own meanwhile).
    bool isRunning() const;
    // Gives it its input and collects its output, as runProcess does; once only.
    ProcessResult finish(const QByteArray& input, std::chrono::milliseconds timeout,
                         const std::function<bool()>& keepGoing,
                         qsizetype outputLimit = ProcessRequest::kDefaultOutputLimit);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace lessora
