#include "platform/AppError.h"
#include "platform/ErrorHandler.h"
#include "support/FakeServices.h"

#include <QTest>
#include <stdexcept>

using namespace lessora;
using namespace lessora::test;

class TestErrorHandler : public QObject {
    Q_OBJECT
private slots:
    void fullStopRule_data();
    void fullStopRule();
    void everyKindOfErrorIsShownAndSwallowed();
    void anErrorThatCannotBeShownIsLogged();
};

void TestErrorHandler::fullStopRule_data() {
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("Japanese gets a stop")
        << QString("%1 に書き込めません").arg("/x") << QString("%1 に書き込めません.").arg("/x");
    QTest::newRow("letter gets a stop") << "abc"
                                        << "abc.";
    QTest::newRow("already a stop") << "abc."
                                    << "abc.";
    QTest::newRow("below the stop") << "abc!"
                                    << "abc!";
    QTest::newRow("comma is below") << "abc,"
                                    << "abc,";
    QTest::newRow("slash is above") << "a/"
                                    << "a/.";
    QTest::newRow("Japanese full stop is above")
        << QStringLiteral("読み込みました。") << QStringLiteral("読み込みました。.");
    QTest::newRow("empty") << ""
                           << "";
}

void TestErrorHandler::fullStopRule() {
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QCOMPARE(errorTextForDisplay(message), shown);
}

void TestErrorHandler::everyKindOfErrorIsShownAndSwallowed() {
    FakeMessageBoxes messages;
    const ErrorHandler handler(messages);
    QVERIFY(handler.run([] {}));
    QVERIFY(!handler.run([] { throw AppError(QStringLiteral("無効なクラス型キャスト")); }));
    QVERIFY(!handler.run([] { throw std::runtime_error("plain"); }));
    QVERIFY(!handler.run([] { throw 42; }));
    QCOMPARE(messages.messages.size(), 3);
    QCOMPARE(messages.messages[0], QStringLiteral("無効なクラス型キャスト."));
    QCOMPARE(messages.messages[1], QStringLiteral("plain."));
    QVERIFY(!messages.messages[2].isEmpty());
}

// The message box itself failing leaves the log as the only trace of the error.
void TestErrorHandler::anErrorThatCannotBeShownIsLogged() {
    FakeMessageBoxes messages;
    messages.whileShown = [](const QString&) { throw std::runtime_error("no display"); };
    const ErrorHandler handler(messages);
    QTest::ignoreMessage(QtWarningMsg, "could not show the error: disk full");
    QVERIFY(!handler.run([] { throw AppError(QStringLiteral("disk full")); }));
}

QTEST_GUILESS_MAIN(TestErrorHandler)
#include "tst_errorhandler.moc"
