#pragma once

#include "japanese/AccentPhrases.h"

#include <QFutureWatcher>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <functional>

namespace lessora {

// The accent phrases of the Japanese lines the window shows, worked out on QtConcurrent's pool
// (the analysis runs Open JTalk, a tenth of a second or more a line) and kept per text, so that
// painting never waits for it. A line not known yet is queued; `arrived` tells when it is known.
// A line whose analysis gave nothing or failed is known as empty: the plain reading stays.
class AccentCache : public QObject {
    Q_OBJECT
public:
    // The analysis of one line; it may throw (the failure is logged). spokenAccent in the program.
    using Analysis = std::function<QList<AccentPhrase>(const QString& text)>;

    explicit AccentCache(Analysis analysis, QObject* parent = nullptr);
    // Waits for the line being analysed; the rest of the queue is dropped.
    ~AccentCache() override;

    // The phrases of the text when known; empty until then (and the text is queued).
    QList<AccentPhrase> phrasesOf(const QString& text);
    // Drops what is known of the text, so that the next phrasesOf analyses it afresh.
    void forget(const QString& text);

signals:
    void arrived(const QString& text);

private:
    struct Outcome {
        QString text;
        QList<AccentPhrase> phrases;
        QString error; // why the analysis failed; empty when it did not
    };
    void startBatch();
    void take(int resultIndex);

    Analysis m_analysis;
    QHash<QString, QList<AccentPhrase>> m_known;
    QStringList m_queue;
    QSet<QString> m_pending; // queued or being analysed
    QFutureWatcher<Outcome> m_watcher;
};

} // namespace lessora
