#include "voices/SynthesisWorker.h"

#include "voices/EmbeddedVoices.h"
#include "voices/VoicesLog.h"

#include <future>

namespace lessora {

SynthesisWorker& SynthesisWorker::instance() {
    static SynthesisWorker worker;
    return worker;
}

SynthesisWorker::SynthesisWorker()
    : m_thread([this] { run(); }) {}

SynthesisWorker::~SynthesisWorker() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void SynthesisWorker::post(Job job) {
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back(std::move(job));
    }
    m_wake.notify_one();
}

void SynthesisWorker::runAndWait(const Job& job) {
    std::promise<void> done;
    std::future<void> result = done.get_future();
    post([&job, &done](SynthesisContext& context) {
        try {
            job(context);
            done.set_value();
        } catch (...) {
            done.set_exception(std::current_exception());
        }
    });
    result.get();
}

void SynthesisWorker::run() {
    SynthesisContext context; // the synthesisers live and die on this thread
    for (;;) {
        Job job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
            if (m_jobs.empty())
                return;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        try {
            job(context);
        } catch (const std::exception& error) {
            // A posted job reports its own failures; one that slips through must not end
            // the thread every voice depends on.
            qCWarning(voicesLog) << "a synthesis job failed:" << error.what();
        } catch (...) {
            qCWarning(voicesLog) << "a synthesis job failed with an unknown error";
        }
    }
}

} // namespace lessora
