#include "app/AccentCache.h"

#include "app/Logging.h"

#include <QtConcurrent/QtConcurrentMap>
#include <exception>

namespace lessora {

namespace {
// Enough for every Japanese line of a long lesson; beyond it the phrases are worked out afresh.
constexpr qsizetype kMaxKept = 20000;
} // namespace

AccentCache::AccentCache(Analysis analysis, QObject* parent)
    : QObject(parent)
    , m_analysis(std::move(analysis)) {
    connect(&m_watcher, &QFutureWatcherBase::resultReadyAt, this, &AccentCache::take);
    connect(&m_watcher, &QFutureWatcherBase::finished, this, &AccentCache::startBatch);
}

AccentCache::~AccentCache() {
    m_watcher.disconnect(this);
    m_watcher.cancel();
    m_watcher.waitForFinished();
}

QList<AccentPhrase> AccentCache::phrasesOf(const QString& text) {
    if (const auto known = m_known.constFind(text); known != m_known.cend())
        return *known;
    if (!m_pending.contains(text)) {
        m_pending.insert(text);
        m_queue << text;
        // Painting asks row by row; the batch starts once the rows on screen have asked (or when
        // the one running finishes).
        if (m_queue.size() == 1)
            QMetaObject::invokeMethod(this, &AccentCache::startBatch, Qt::QueuedConnection);
    }
    return {};
}

void AccentCache::forget(const QString& text) {
    m_known.remove(text);
}

void AccentCache::startBatch() {
    if (m_queue.isEmpty() || m_watcher.isRunning())
        return;
    const QStringList batch = std::exchange(m_queue, {});
    m_watcher.setFuture(QtConcurrent::mapped(batch, [analysis = m_analysis](const QString& text) {
        Outcome outcome{text, {}, {}};
        try {
            outcome.phrases = analysis(text);
        } catch (const std::exception& error) {
            outcome.error = QString::fromUtf8(error.what());
        } catch (...) {
            outcome.error = QStringLiteral("unknown failure");
        }
        return outcome;
    }));
}

void AccentCache::take(int resultIndex) {
    const Outcome outcome = m_watcher.resultAt(resultIndex);
    if (!outcome.error.isEmpty())
        qCWarning(lcApp) << "no accent marks for" << outcome.text << "-" << outcome.error;
    m_pending.remove(outcome.text);
    if (m_known.size() >= kMaxKept)
        m_known.clear();
    m_known.insert(outcome.text, outcome.phrases);
    emit arrived(outcome.text);
}

} // namespace lessora
