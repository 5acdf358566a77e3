#include "app/LessonDocument.h"
#include "app/MainWindow.h"
#include "lesson/LessonSettings.h"
#include "recording/LessonRecorder.h"
#include "recording/RecordingFiles.h"
#include "support/Controls.h"
#include "support/FakeRecording.h"
#include "support/FakeServices.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace lessora;
using namespace lessora::test;

namespace {

void touch(const QString& path) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

// The letter after "&" in a caption, or nothing.
QChar mnemonicOf(const QString& caption) {
    const qsizetype at = caption.indexOf(u'&');
    return at >= 0 && at + 1 < caption.size() ? caption.at(at + 1).toUpper() : QChar();
}

// The window with a fake microphone and player, its lesson saved as cafe.json in a folder of
// its own.
struct Rig {
    FakeServices fakes;
    FakeAudioInput input;
    FakeSamplePlayer player;
    QTemporaryDir dir;
    std::unique_ptr<MainWindow> window;

    Rig() {
        Services services = fakes.services();
        services.audioInput = &input;
        services.samplePlayer = &player;
        window = std::make_unique<MainWindow>(services);
    }
    QString lesson() const { return dir.filePath(QStringLiteral("cafe.json")); }
    QString folder() const { return dir.filePath(QStringLiteral("cafe.recordings")); }
    QAction* deleteCommand() const {
        return window->findChild<QAction*>(QStringLiteral("mnuDeleteRecordings"));
    }
};

} // namespace

class TestRecordingWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void theBoxesFollowTheLessonSettings();
    void everyAltKeyOnce();
    void deletingAsksFirst();
    void anUnsavedLessonsRecordingsFollowItsFirstSave();
};

void TestRecordingWindow::theBoxesFollowTheLessonSettings() {
    Rig rig;
    QCheckBox& record = *control<QCheckBox>(*rig.window, "chkRecordAnswers");
    QCheckBox& hear = *control<QCheckBox>(*rig.window, "chkHearOwnAnswer");
    // Named as the panel's other boxes: the caption without its "&".
    QCOMPARE(record.accessibleName(), QStringLiteral("録音する(O)"));
    QCOMPARE(hear.accessibleName(), QStringLiteral("自分の声を聞く(I)"));
    QVERIFY(!record.toolTip().isEmpty() && !hear.toolTip().isEmpty());
    // Off at first, as the window always was; hearing oneself waits for recording.
    QVERIFY(!record.isChecked() && !hear.isChecked() && !hear.isEnabled());
    record.click();
    QVERIFY(hear.isEnabled());
    hear.click();
    const PracticeSettings& practice = rig.window->lessonSettings().practice();
    QVERIFY(practice.recordAnswers && practice.hearOwnAnswer);
    // A loaded lesson's settings show.
    LessonSettings values = rig.window->lessonSettings().values();
    values.practice.recordAnswers = false;
    rig.window->lessonSettings().setValues(values);
    QVERIFY(!record.isChecked() && !hear.isEnabled());
}

void TestRecordingWindow::everyAltKeyOnce() {
    Rig rig;
    QHash<QChar, QString> owners;
    QStringList clashes;
    const auto note = [&](const QString& caption) {
        if (const QChar key = mnemonicOf(caption); !key.isNull()) {
            if (owners.contains(key))
                clashes << owners[key] + QStringLiteral(" / ") + caption;
            owners[key] = caption;
        }
    };
    for (const QAbstractButton* button : rig.window->findChildren<QAbstractButton*>())
        note(button->text());
    for (const QLabel* label : rig.window->findChildren<QLabel*>()) {
        if (label->buddy())
            note(label->text());
    }
    QVERIFY2(clashes.isEmpty(), qPrintable(clashes.join(u'\n')));
    QVERIFY(owners.contains(u'O') && owners.contains(u'I'));
}

void TestRecordingWindow::deletingAsksFirst() {
    Rig rig;
    rig.window->setWindowFilePath(rig.lesson());
    QAction& command = *rig.deleteCommand();
    command.trigger();
    QCOMPARE(rig.fakes.messages.messages,
             QStringList({QStringLiteral("この教材の録音はありません。")}));

    const QString take = QDir(rig.folder()).filePath("0002_B_20261211-061502-123.flac");
    touch(take);
    touch(QDir(rig.folder()).filePath("0004_B_20261211-061602-123.flac"));
    touch(QDir(rig.folder()).filePath("notes.txt"));
    rig.fakes.messages.confirmAnswers = {false};
    command.trigger();
    QCOMPARE(rig.fakes.messages.confirmations.size(), 1);
    QVERIFY(rig.fakes.messages.confirmations[0].contains(QStringLiteral("2 件")));
    QVERIFY(QFile::exists(take)); // "いいえ": nothing goes
    rig.fakes.messages.confirmAnswers = {true};
    command.trigger();
    QCOMPARE(recordingsIn(rig.folder()), QStringList());
    QVERIFY(QFile::exists(QDir(rig.folder()).filePath("notes.txt"))); // not a recording
}

void TestRecordingWindow::anUnsavedLessonsRecordingsFollowItsFirstSave() {
    Rig rig;
    LessonRecorder& recorder = *rig.window->findChild<LessonRecorder*>();
    // Written while the lesson had no file, and one of an earlier session that is not its own.
    const QString take =
        QDir(unsavedRecordingsFolder()).filePath("0001_A_20261211-061502-123.flac");
    const QString older =
        QDir(unsavedRecordingsFolder()).filePath("0001_A_20201211-061502-123.flac");
    touch(take);
    touch(older);
    emit recorder.recorded(take);
    rig.fakes.fileDialogs.saveAnswers = {rig.lesson()};
    rig.window->document().save();
    QCOMPARE(rig.window->windowFilePath(), rig.lesson());
    QCOMPARE(recordingsIn(rig.folder()),
             QStringList({QDir(rig.folder()).filePath(QFileInfo(take).fileName())}));
    QVERIFY(!QFile::exists(take) && QFile::exists(older));
    // One written after the save (its file was on its way meanwhile) follows at once.
    const QString late =
        QDir(unsavedRecordingsFolder()).filePath("0002_B_20261211-061503-123.flac");
    touch(late);
    emit recorder.recorded(late);
    QCOMPARE(recordingsIn(rig.folder()).size(), 2);
    QVERIFY(QDir(unsavedRecordingsFolder()).removeRecursively());
}

QTEST_MAIN(TestRecordingWindow)
#include "tst_recordingwindow.moc"
