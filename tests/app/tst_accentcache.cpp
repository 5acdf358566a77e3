// The accent cache of the window: each line analysed once, off the window's thread, and a failed
// analysis logged and kept as none, so that the plain reading stays.

#include "app/AccentCache.h"

#include <QAtomicInt>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <stdexcept>

using namespace lessora;

class TestAccentCache : public QObject {
    Q_OBJECT
private slots:
    void eachLineAnalysedOnce_data();
    void eachLineAnalysedOnce();
};

void TestAccentCache::eachLineAnalysedOnce_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("form"); // what phrasesOf gives once the analysis is in
    QTest::newRow("marked") << QStringLiteral("箸が好きです。")
                            << QStringLiteral("ハ＼シガ スキ＼デス。");
    QTest::newRow("no analysis (no Open JTalk)") << QStringLiteral("橋") << QString();
    QTest::newRow("analysis fails") << QStringLiteral("fail") << QString();
}

void TestAccentCache::eachLineAnalysedOnce() {
    QFETCH(QString, text);
    QFETCH(QString, form);
    QAtomicInt runs = 0;
    AccentCache cache([&runs](const QString& line) {
        runs.fetchAndAddRelaxed(1);
        if (line == QStringLiteral("fail"))
            throw std::runtime_error("open_jtalk exited with status 1");
        return line == QStringLiteral("箸が好きです。")
                   ? accentPhrasesFromText(QStringLiteral("ハ＼シガ スキ＼デス。"))
                   : QList<AccentPhrase>();
    });
    QSignalSpy arrived(&cache, &AccentCache::arrived);
    const auto expectWarning = [&text] {
        if (text == QStringLiteral("fail"))
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("no accent marks for.*status 1"));
    };
    expectWarning();

    // Asked by every paint until it is in: one analysis, one signal.
    for (int paint = 0; paint < 3; ++paint)
        QVERIFY(cache.phrasesOf(text).isEmpty());
    QVERIFY(arrived.wait(5000));
    QCOMPARE(arrived.first().first().toString(), text);
    QCOMPARE(accentText(cache.phrasesOf(text)), form);
    QCOMPARE(runs.loadRelaxed(), 1);
    QCOMPARE(arrived.size(), 1);

    // Forgotten, it is analysed afresh.
    expectWarning();
    cache.forget(text);
    QVERIFY(cache.phrasesOf(text).isEmpty());
    QVERIFY(arrived.wait(5000));
    QCOMPARE(runs.loadRelaxed(), 2);
}

QTEST_GUILESS_MAIN(TestAccentCache)
#include "tst_accentcache.moc"
