#pragma once

#include <QObject>
#include <QThread>

#include <functional>
#include <memory>

namespace lessora {

class SynthesisContext;

// The one thread on which speech is synthesised. espeak-ng is a process-wide singleton that
// crashes when two threads call it, so every synthesiser call in the process goes through here:
// a worker object on a QThread of its own, given its jobs as queued calls.
class SynthesisWorker {
public:
    using Job = std::function<void(SynthesisContext&)>;

    static SynthesisWorker& instance();
    ~SynthesisWorker();

    // Runs the job later on the worker; jobs run one at a time in the order posted.
    void post(Job job);
    // Runs the job on the worker and waits for it; its exception is rethrown here. Not from a
    // job itself.
    void runAndWait(const Job& job);

private:
    SynthesisWorker();

    class Runner;
    QThread m_thread;
    Runner* m_runner; // lives on m_thread; deleted there when it finishes
};

} // namespace lessora
