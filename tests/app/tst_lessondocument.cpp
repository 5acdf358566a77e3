// The lesson as a document: the question before a changed lesson is lost, lessons opened from
// the command line, by a drop or from the recent list, and the dialogs' folders across runs.
#include "app/LessonDocument.h"
#include "app/LessonGrid.h"
#include "app/MainWindow.h"
#include "files/LessonHistory.h"
#include "lesson/LessonTable.h"
#include "support/Controls.h"
#include "support/FakeServices.h"
#include "support/TableText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <QUrl>
#include <QWindow>
#include <functional>

using namespace lessora;
using namespace lessora::test;

Q_DECLARE_METATYPE(std::function<void(MainWindow&)>)

class TestLessonDocument : public QObject {
    Q_OBJECT
private slots:
    void whatCountsAsAChange_data();
    void whatCountsAsAChange();
    void questionBeforeClosing_data();
    void questionBeforeClosing();
    void questionBeforeLoadingAnother();
    void lessonFromTheCommandLine();
    void unreadableLessonFromTheCommandLine();
    void droppedLesson();
    void recentLessonsAcrossRuns();
    void dialogsStartInTheLastFolder();
    void titleNamesTheLessonAndMarksChanges_data();
    void titleNamesTheLessonAndMarksChanges();
};

namespace {

using Edit = std::function<void(MainWindow&)>;

const QByteArray kLesson =
    "\xEF\xBB\xBF{\"EnglishRateIndex\":1,\"IntervalIndex\":2,\"RepeatIndex\":0,\"HideText\":false,"
    "\"Rows\":[{\"No\":\"1\",\"Speaker\":\"A\",\"Language\":\"English\",\"Text\":\"Good "
    "morning.\",\"Interval\":\"\"}]}";

QString writeLesson(const QTemporaryDir& folder, const QString& name,
                    const QByteArray& bytes = kLesson) {
    const QString path = folder.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

bool closeWindow(MainWindow& form) {
    form.show();
    return form.close();
}

} // namespace

void TestLessonDocument::whatCountsAsAChange_data() {
    QTest::addColumn<Edit>("edit");
    QTest::addColumn<bool>("modified");
    QTest::newRow("nothing") << Edit([](MainWindow&) {}) << false;
    QTest::newRow("a cell") << Edit([](MainWindow& f) {
        f.lessonTable().setCell(ColText, 0, "Hi.");
    }) << true;
    QTest::newRow("a cell retyped as it was")
        << Edit([](MainWindow& f) { f.lessonTable().setCell(ColText, 0, "Hello. How are you?"); })
        << false;
    QTest::newRow("a row deleted")
        << Edit([](MainWindow& f) { f.lessonTable().setRowCount(3); }) << true;
    QTest::newRow("blank rows added, which a save leaves out")
        << Edit([](MainWindow& f) { f.lessonTable().setRowCount(14); }) << false;
    QTest::newRow("interval") << Edit([](MainWindow& f) {
        control<QComboBox>(f, "cmbInterval")->setCurrentIndex(3);
    }) << true;
    QTest::newRow("interval changed and changed back") << Edit([](MainWindow& f) {
        control<QComboBox>(f, "cmbInterval")->setCurrentIndex(3);
        control<QComboBox>(f, "cmbInterval")->setCurrentIndex(0);
    }) << false;
    QTest::newRow("English rate") << Edit([](MainWindow& f) {
        control<QComboBox>(f, "cmbEnglishRate")->setCurrentIndex(0);
    }) << true;
    QTest::newRow("repeat") << Edit([](MainWindow& f) {
        control<QComboBox>(f, "cmbRepeat")->setCurrentIndex(4);
    }) << true;
    QTest::newRow("hide text") << Edit([](MainWindow& f) {
        control<QCheckBox>(f, "chkHideText")->setChecked(true);
    }) << true;
}

void TestLessonDocument::whatCountsAsAChange() {
    QFETCH(Edit, edit);
    QFETCH(bool, modified);
    FakeServices fakes;
    MainWindow form(fakes.services());
    QVERIFY(!form.document().isModified()); // the sample lesson counts as unchanged
    edit(form);
    QCOMPARE(form.document().isModified(), modified);
    QCOMPARE(closeWindow(form), !modified); // a question left unanswered means キャンセル
    QCOMPARE(fakes.messages.questions.size(), modified ? 1 : 0);
}

void TestLessonDocument::questionBeforeClosing_data() {
    QTest::addColumn<YesNoCancel>("answer");
    QTest::addColumn<bool>("saveChosen"); // the save dialog gets a file, or is cancelled
    QTest::addColumn<bool>("closed");
    QTest::addColumn<bool>("saved");
    QTest::newRow("はい, saved") << YesNoCancel::Yes << true << true << true;
    QTest::newRow("はい, save dialog cancelled") << YesNoCancel::Yes << false << false << false;
    QTest::newRow("いいえ") << YesNoCancel::No << true << true << false;
    QTest::newRow("キャンセル") << YesNoCancel::Cancel << true << false << false;
}

void TestLessonDocument::questionBeforeClosing() {
    QFETCH(YesNoCancel, answer);
    QFETCH(bool, saveChosen);
    QFETCH(bool, closed);
    QFETCH(bool, saved);
    FakeServices fakes;
    MainWindow form(fakes.services());
    form.lessonTable().setCell(ColText, 3, QStringLiteral("ちがいます。"));
    fakes.messages.questionAnswers << answer;
    const QString path = fakes.folder.filePath("lesson.json");
    fakes.fileDialogs.saveAnswers << (saveChosen ? std::optional<QString>(path) : std::nullopt);

    QCOMPARE(closeWindow(form), closed);
    QCOMPARE(fakes.messages.questions,
             QStringList{QStringLiteral("教材が変更されています。保存しますか？")});
    QCOMPARE(QFile::exists(path), saved);
    QCOMPARE(form.document().isModified(), !saved);
    QCOMPARE(fakes.messages.messages,
             saved ? QStringList{QStringLiteral("保存しました。")} : QStringList());
}

void TestLessonDocument::questionBeforeLoadingAnother() {
    FakeServices fakes;
    MainWindow form(fakes.services());
    const QString lesson = writeLesson(fakes.folder, "other.json");
    form.lessonTable().setCell(ColText, 0, "Changed.");
    const QStringList changed = rowsAsText(form.lessonTable());

    // キャンセル: no dialog, the changed lesson stays.
    fakes.messages.questionAnswers << YesNoCancel::Cancel;
    control<QPushButton>(form, "btnLoadLesson")->click();
    QCOMPARE(fakes.fileDialogs.openRequests.size(), 0);
    QCOMPARE(rowsAsText(form.lessonTable()), changed);

    // いいえ: the other lesson replaces it, and is then unchanged: no question the next time.
    fakes.messages.questionAnswers << YesNoCancel::No;
    fakes.fileDialogs.openAnswers << lesson << std::nullopt;
    control<QPushButton>(form, "btnLoadLesson")->click();
    QCOMPARE(form.lessonTable().cell(ColText, 0), "Good morning.");
    QCOMPARE(control<QComboBox>(form, "cmbEnglishRate")->currentIndex(), 1);
    QVERIFY(!form.document().isModified());
    control<QPushButton>(form, "btnLoadLesson")->click();
    QCOMPARE(fakes.messages.questions.size(), 2);
    QCOMPARE(fakes.fileDialogs.openRequests.size(), 2);
    QCOMPARE(fakes.messages.messages, QStringList{QStringLiteral("読み込みました。")});
}

void TestLessonDocument::lessonFromTheCommandLine() {
    FakeServices fakes;
    MainWindow form(fakes.services());
    const QString lesson = writeLesson(fakes.folder, "start.json");
    form.document().openAtStartUp(lesson);
    QCOMPARE(rowsAsText(form.lessonTable()).mid(0, 2),
             (QStringList{"1|A|English|Good morning.|", "2||||"}));
    QCOMPARE(form.lessonTable().rows(), 10);
    QCOMPARE(control<QComboBox>(form, "cmbInterval")->currentIndex(), 2);
    QVERIFY(fakes.messages.messages.isEmpty()); // it loaded: nothing to say
    QVERIFY(fakes.messages.questions.isEmpty());
    QVERIFY(!form.document().isModified());
    QCOMPARE(form.document().history().recentLessons(), QStringList{lesson});
}

// Errors as for the load button; the sample lesson stays.
void TestLessonDocument::unreadableLessonFromTheCommandLine() {
    FakeServices fakes;
    MainWindow form(fakes.services());
    const QStringList sample = rowsAsText(form.lessonTable());
    const QString notJson = writeLesson(fakes.folder, "broken.json", "{\"Rows\":");
    const QString missing = fakes.folder.filePath("missing.json");
    form.errorHandler().run([&] { form.document().openAtStartUp(notJson); });
    form.errorHandler().run([&] { form.document().openAtStartUp(missing); });
    QCOMPARE(fakes.messages.messages.size(), 2);
    QCOMPARE(fakes.messages.messages[0], QStringLiteral("JSONファイルを読み込めませんでした。"));
    QVERIFY2(
        fakes.messages.messages[1].endsWith("\r\n[" + QDir::toNativeSeparators(missing) + "]."),
        qPrintable(fakes.messages.messages[1]));
    QCOMPARE(rowsAsText(form.lessonTable()), sample);
    QVERIFY(form.document().history().recentLessons().isEmpty());
}

void TestLessonDocument::droppedLesson() {
    FakeServices fakes;
    MainWindow form(fakes.services());
    form.show();
    const QString lesson = writeLesson(fakes.folder, "dropped.json");
    QVERIFY(form.acceptDrops());

    const auto dragWith = [&form](const QList<QUrl>& urls) {
        QMimeData data;
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(300, 300), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QCoreApplication::sendEvent(&form, &enter);
        return enter.isAccepted();
    };
    QVERIFY(!dragWith({QUrl("https://example.org/lesson.json")}));
    QVERIFY(!dragWith({QUrl::fromLocalFile(lesson), QUrl::fromLocalFile(lesson)}));
    QVERIFY(!dragWith({QUrl::fromLocalFile(fakes.folder.path())}));
    QVERIFY(dragWith({QUrl::fromLocalFile(lesson)}));

    control<QComboBox>(form, "cmbRepeat")->setCurrentIndex(3); // a change: the drop asks first
    fakes.messages.questionAnswers << YesNoCancel::No;
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(lesson)});
    QDropEvent drop(QPointF(300, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&form, &drop);
    QVERIFY(drop.isAccepted());
    QCoreApplication::processEvents(); // the load runs once the drop is over
    QCOMPARE(fakes.messages.questions.size(), 1);
    QCOMPARE(form.lessonTable().cell(ColText, 0), "Good morning.");
    QCOMPARE(control<QComboBox>(form, "cmbRepeat")->currentIndex(), 0);
    QCOMPARE(fakes.messages.messages, QStringList{QStringLiteral("読み込みました。")});
}

void TestLessonDocument::recentLessonsAcrossRuns() {
    FakeServices fakes;
    QStringList lessons;
    for (int i = 1; i <= LessonHistory::kMaxRecent + 1; ++i)
        lessons << writeLesson(fakes.folder, QStringLiteral("lesson%1.json").arg(i));
    {
        MainWindow form(fakes.services());
        for (const QString& lesson : lessons)
            form.document().openAtStartUp(lesson);
        form.document().openAtStartUp(lessons[2]); // again: back to the top, not twice
    }
    MainWindow form(fakes.services()); // the next run
    const QStringList expected = {lessons[2], lessons[6], lessons[5],
                                  lessons[4], lessons[3], lessons[1]};
    QCOMPARE(form.document().history().recentLessons(), expected);
    QStringList menuPaths;
    for (const QAction* action : form.document().recentMenu()->actions()) {
        if (action->data().isValid())
            menuPaths << action->data().toString();
    }
    QCOMPARE(menuPaths, expected);
    QCOMPARE(control<QPushButton>(form, "btnLoadLesson")->contextMenuPolicy(),
             Qt::CustomContextMenu);

    // An entry whose file is gone: its error as the load button shows it, and it leaves the list.
    QVERIFY(QFile::remove(lessons[6]));
    form.document().recentMenu()->actions()[3]->trigger(); // [0] heading, [1] separator
    QCoreApplication::processEvents();
    QCOMPARE(fakes.messages.messages.size(), 1);
    QVERIFY(fakes.messages.messages[0].contains(QDir::toNativeSeparators(lessons[6])));
    QVERIFY(!form.document().history().recentLessons().contains(lessons[6]));
    // Choosing a listed lesson loads it as the load button does.
    form.document().recentMenu()->actions()[3]->trigger();
    QCoreApplication::processEvents();
    QCOMPARE(fakes.messages.messages.last(), QStringLiteral("読み込みました。"));
    QCOMPARE(form.document().history().recentLessons().first(), lessons[5]);
}

void TestLessonDocument::dialogsStartInTheLastFolder() {
    FakeServices fakes;
    QTemporaryDir elsewhere;
    QTemporaryDir third;
    const QString lesson = writeLesson(elsewhere, "lesson.json");
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const auto folderOf = [](const QTemporaryDir& dir) { return QDir(dir.path()).absolutePath(); };
    const auto& opened = fakes.fileDialogs.openRequests;
    const auto& saved = fakes.fileDialogs.saveRequests;
    {
        MainWindow form(fakes.services());
        fakes.fileDialogs.openAnswers << lesson;
        control<QPushButton>(form, "btnLoadLesson")->click();
        fakes.fileDialogs.saveAnswers << third.filePath("copy.json");
        control<QPushButton>(form, "btnSaveLesson")->click();
        control<QPushButton>(form, "btnLoadLesson")
            ->click(); // cancelled: the last folder stays where the save went
        QCOMPARE(opened[0].folder, documents);
        QCOMPARE(saved[0].folder, folderOf(elsewhere));
        QCOMPARE(opened[1].fileName, lesson); // within a run each dialog offers its last file
    }
    MainWindow form(fakes.services()); // the next run
    control<QPushButton>(form, "btnSaveLesson")->click();
    control<QPushButton>(form, "btnLoadLesson")->click();
    QCOMPARE(saved[1].folder, folderOf(third));
    QCOMPARE(opened[2].folder, folderOf(third));
    QCOMPARE(opened[2].fileName, QString());
}

void TestLessonDocument::titleNamesTheLessonAndMarksChanges_data() {
    QTest::addColumn<QString>("note"); // the speech engine's, e.g. no sound device
    QTest::newRow("no note") << QString();
    QTest::newRow("no sound device") << QStringLiteral("音声出力装置が見つかりません");
}

void TestLessonDocument::titleNamesTheLessonAndMarksChanges() {
    QFETCH(QString, note);
    FakeServices fakes;
    fakes.speech.availability = note;
    MainWindow form(fakes.services());
    form.winId(); // the native window, whose title the desktop shows
    const QString tail = note.isEmpty() ? QString() : QStringLiteral(" - ") + note;
    const auto shownTitle = [&form] {
        QCoreApplication::processEvents(); // the mark follows the changes of one pass
        return form.windowHandle()->title();
    };

    QCOMPARE(shownTitle(), "Lessora Ver.1.0.0" + tail);
    form.lessonTable().setCell(ColText, 0, "Hi.");
    QCOMPARE(shownTitle(), "Lessora Ver.1.0.0*" + tail);

    fakes.messages.questionAnswers << YesNoCancel::No;
    fakes.fileDialogs.openAnswers << writeLesson(fakes.folder, "cafe.json");
    control<QPushButton>(form, "btnLoadLesson")->click();
    QCOMPARE(shownTitle(), "Lessora Ver.1.0.0 - cafe.json" + tail);
    control<QComboBox>(form, "cmbRepeat")->setCurrentIndex(4);
    QCOMPARE(shownTitle(), "Lessora Ver.1.0.0 - cafe.json*" + tail);
    control<QComboBox>(form, "cmbRepeat")->setCurrentIndex(0); // back as it was loaded: unchanged
    QCOMPARE(shownTitle(), "Lessora Ver.1.0.0 - cafe.json" + tail);

    form.lessonTable().setCell(ColText, 0, "Good evening.");
    fakes.fileDialogs.saveAnswers << fakes.folder.filePath("copy.json");
    control<QPushButton>(form, "btnSaveLesson")->click();
    QCOMPARE(shownTitle(), "Lessora Ver.1.0.0 - copy.json" + tail);
    QVERIFY(!form.isWindowModified());
}

QTEST_MAIN(TestLessonDocument)
#include "tst_lessondocument.moc"
