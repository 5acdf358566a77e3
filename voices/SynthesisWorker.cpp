#include "voices/SynthesisWorker.h"

#include "voices/EmbeddedVoices.h"
#include "voices/Logging.h"

#include <exception>

namespace lessora {

// Runs the jobs on the worker's thread, where the synthesisers live and die.
class SynthesisWorker::Runner : public QObject {
public:
    void run(const Job& job) {
        if (!m_context)
            m_context = std::make_unique<SynthesisContext>();
        try {
            job(*m_context);
        } catch (const std::exception& error) {
            // A posted job reports its own failures; one that slips through must not end
            // the thread every voice depends on.
            qCWarning(lcVoices) << "a synthesis job failed:" << error.what();
        } catch (...) {
            qCWarning(lcVoices) << "a synthesis job failed with an unknown error";
        }
    }

private:
    std::unique_ptr<SynthesisContext> m_context;
};

SynthesisWorker& SynthesisWorker::instance() {
    static SynthesisWorker worker;
    return worker;
}

SynthesisWorker::SynthesisWorker()
    : m_runner(new Runner) {
    m_thread.setObjectName(QStringLiteral("synthesis"));
    m_runner->moveToThread(&m_thread);
    // The synthesisers are closed on their own thread, as its event loop ends.
    QObject::connect(&m_thread, &QThread::finished, m_runner, &QObject::deleteLater);
    m_thread.start();
}

SynthesisWorker::~SynthesisWorker() {
    // At the process's end: what is still queued is not wanted any more (the engines wait for
    // their own jobs before they go).
    m_thread.quit();
    m_thread.wait();
}

void SynthesisWorker::post(Job job) {
    QMetaObject::invokeMethod(
        m_runner, [runner = m_runner, job = std::move(job)] { runner->run(job); },
        Qt::QueuedConnection);
}

void SynthesisWorker::runAndWait(const Job& job) {
    std::exception_ptr failure;
    QMetaObject::invokeMethod(
        m_runner,
        [runner = m_runner, &job, &failure] {
            runner->run([&](SynthesisContext& context) {
                try {
                    job(context);
                } catch (...) {
                    failure = std::current_exception();
                }
            });
        },
        Qt::BlockingQueuedConnection);
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace lessora
