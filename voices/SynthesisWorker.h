#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace lessora {

class SynthesisContext;

// The one thread on which speech is synthesised. espeak-ng is a process-wide singleton that
// crashes when two threads call it, so every synthesiser call in the process goes through here.
class SynthesisWorker {
public:
    using Job = std::function<void(SynthesisContext&)>;

    static SynthesisWorker& instance();
    ~SynthesisWorker();

    // Runs the job later on the worker; jobs run one at a time in the order posted.
    void post(Job job);
    // Runs the job on the worker and waits for it; its exception is rethrown here.
    void runAndWait(const Job& job);

private:
    SynthesisWorker();
    void run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Job> m_jobs;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace lessora
