// The compare window: the model's and the learner's voice one above the other, their figures
// in words for the eye and for a screen reader, the play buttons, the accent under a Japanese
// model; and 聞き比べる in the main window finding the learner's latest recording of the row.

#include "app/AccentDrawing.h"
#include "app/CompareWindow.h"
#include "app/LessonGrid.h"
#include "app/MainWindow.h"
#include "app/PracticePanel.h"
#include "app/SoundPlayer.h"
#include "lesson/LessonTable.h"
#include "recording/RecordingFiles.h"
#include "support/Controls.h"
#include "support/FakeServices.h"
#include "support/FakeSoundPlayer.h"
#include "voices/EmbeddedSpeechEngine.h"

#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTest>

#include <sndfile.h>

#include <cmath>
#include <numbers>

using namespace lessora;
using namespace lessora::test;

namespace {

// A tone after `lead` seconds of silence.
Sound tone(double hz, double seconds, double lead = 0, int rate = 16000) {
    Sound sound;
    sound.sampleRate = rate;
    sound.samples.assign(size_t(lead * rate), 0.0f);
    for (qint64 i = 0; i < qint64(seconds * rate); ++i)
        sound.samples.push_back(float(0.5 * std::sin(2 * std::numbers::pi * hz * i / rate)));
    return sound;
}

ComparedLine comparedLine(bool withLearner, const QString& accentForm = {}) {
    ComparedLine line;
    line.lineNumber = 3;
    line.text = QStringLiteral("今日はいい天気ですね。");
    line.model = analyseVoice(tone(200, 1.2, 0.1));
    if (withLearner)
        line.learner = analyseVoice(tone(150, 1.5, 0.4));
    else
        line.learnerNote = QStringLiteral("この行の録音はまだありません。");
    line.accent = accentPhrasesFromText(accentForm);
    return line;
}

void writeFlac(const QString& path, const Sound& sound) {
    SF_INFO info{};
    info.samplerate = sound.sampleRate;
    info.channels = 1;
    info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    QVERIFY2(file, sf_strerror(nullptr));
    sf_writef_float(file, sound.samples.data(), sf_count_t(sound.samples.size()));
    sf_close(file);
}

class ManualClock : public AudioClock {
public:
    qint64 nowUs() const override { return m_now; }
    void advanceMs(qint64 ms) { m_now += ms * 1000; }

private:
    std::atomic<qint64> m_now = 1'000'000;
};

// Takes everything at once and keeps it: what the listener would hear.
class RecordingSink : public PcmSink {
public:
    explicit RecordingSink(std::shared_ptr<std::vector<qint16>> heard)
        : m_heard(std::move(heard)) {}
    bool open() override { return true; }
    void close() override {}
    qint64 writableFrames() override { return 1 << 20; }
    qint64 write(const qint16* samples, qint64 count) override {
        m_heard->insert(m_heard->end(), samples, samples + count);
        m_written += count;
        return count;
    }
    qint64 playedFrames() override { return m_written; }

private:
    std::shared_ptr<std::vector<qint16>> m_heard;
    qint64 m_written = 0;
};

QImage rendered(QWidget& widget) {
    QImage image(widget.size(), QImage::Format_RGB32);
    widget.render(&image);
    return image;
}

} // namespace

class TestCompareWindow : public QObject {
    Q_OBJECT
private slots:
    void showsBothVoicesAndTheirFigures();
    void playButtonsPlayEachVoiceFromItsFirstSound();
    void withoutRecordingTheModelStands();
    void accentDrawnUnderTheModel();
    void lengthDifferenceInWords_data();
    void lengthDifferenceInWords();
    void comparisonWorkedOutInTheBackground();
    void failingComparisonSaysWhy();
    void latestRecordingOfALine();
    void playerPlaysThroughTheVoicesOutput();
    void compareButtonInThePanel();
    void compareButtonComparesTheSelectedRow();
};

void TestCompareWindow::showsBothVoicesAndTheirFigures() {
    FakeSoundPlayer player;
    CompareWindow window(player, u'.');
    window.showComparison(comparedLine(true));
    // Each voice from its first sound: the silence before it is left out of its length.
    QVERIFY2(control<QLabel>(window, "lblModelFigures")
                 ->text()
                 .startsWith(QStringLiteral("長さ 1.20秒、")),
             qPrintable(control<QLabel>(window, "lblModelFigures")->text()));
    QVERIFY2(control<QLabel>(window, "lblLearnerFigures")
                 ->text()
                 .startsWith(QStringLiteral("長さ 1.50秒、")),
             qPrintable(control<QLabel>(window, "lblLearnerFigures")->text()));
    QVERIFY(
        control<QLabel>(window, "lblModelFigures")->text().contains(QStringLiteral("高さの幅")));
    QCOMPARE(control<QLabel>(window, "lblDifference")->text(),
             QStringLiteral("長さの差: あなたが0.30秒長い"));
    // Read out: names for both curves, the figures as their descriptions and label names.
    QWidget* model = control<QWidget>(window, "plotModel");
    QWidget* learner = control<QWidget>(window, "plotLearner");
    QCOMPARE(model->accessibleName(), QStringLiteral("手本の波形と声の高さ"));
    QCOMPARE(learner->accessibleName(), QStringLiteral("あなたの波形と声の高さ"));
    QCOMPARE(model->accessibleDescription(), control<QLabel>(window, "lblModelFigures")->text());
    QCOMPARE(learner->accessibleDescription(),
             control<QLabel>(window, "lblLearnerFigures")->text());
    QVERIFY(control<QLabel>(window, "lblLearnerFigures")
                ->accessibleName()
                .startsWith(QStringLiteral("あなた: 長さ 1.50秒")));
    QCOMPARE(control<QLabel>(window, "lblDifference")->accessibleName(),
             control<QLabel>(window, "lblDifference")->text());
    // A pure tone has no range; its frequency is named.
    QVERIFY2(control<QLabel>(window, "lblLearnerFigures")->text().contains(QStringLiteral("150")),
             qPrintable(control<QLabel>(window, "lblLearnerFigures")->text()));
    // Both curves are drawn: the plots differ from an empty one.
    QVERIFY(rendered(*model) != rendered(*learner));
    QVERIFY(control<QPushButton>(window, "btnPlayModel")->isEnabled());
    QVERIFY(control<QPushButton>(window, "btnPlayLearner")->isEnabled());
}

void TestCompareWindow::playButtonsPlayEachVoiceFromItsFirstSound() {
    FakeSoundPlayer player;
    CompareWindow window(player, u'.');
    window.showComparison(comparedLine(true));
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    // By their Alt keys, as the tooltips say.
    QVERIFY(
        control<QPushButton>(window, "btnPlayModel")->toolTip().contains(QStringLiteral("Alt+M")));
    QVERIFY(control<QPushButton>(window, "btnPlayLearner")
                ->toolTip()
                .contains(QStringLiteral("Alt+V")));
    // Through the window system, where shortcuts are matched.
    // A mnemonic clicks its button as a click would look, a moment later.
    QTest::keyClick(window.windowHandle(), Qt::Key_M, Qt::AltModifier);
    QTRY_COMPARE(player.played.size(), 1);
    QTest::keyClick(window.windowHandle(), Qt::Key_V, Qt::AltModifier);
    QTRY_COMPARE(player.played.size(), 2);
    QCOMPARE(player.played[0].samples.size(), size_t(1.2 * 16000));
    QCOMPARE(player.played[1].samples.size(), size_t(1.5 * 16000));
    QVERIFY(player.played[1].samples[20] != 0); // not the silence before it
    // Closing the window ends what it plays.
    const int stops = player.stops;
    QTest::keyClick(&window, Qt::Key_Escape);
    QVERIFY(!window.isVisible());
    QCOMPARE(player.stops, stops + 1);
}

void TestCompareWindow::withoutRecordingTheModelStands() {
    FakeSoundPlayer player;
    CompareWindow window(player, u',');
    window.showComparison(comparedLine(false));
    QVERIFY(control<QPushButton>(window, "btnPlayModel")->isEnabled());
    QVERIFY(!control<QPushButton>(window, "btnPlayLearner")->isEnabled());
    QCOMPARE(control<QLabel>(window, "lblLearnerFigures")->text(),
             QStringLiteral("この行の録音はまだありません。"));
    QCOMPARE(control<QLabel>(window, "lblDifference")->text(), QString());
    // The user's decimal separator.
    QVERIFY(control<QLabel>(window, "lblModelFigures")
                ->text()
                .startsWith(QStringLiteral("長さ 1,20秒")));
    control<QPushButton>(window, "btnPlayLearner")->click();
    QVERIFY(player.played.isEmpty());
}

void TestCompareWindow::accentDrawnUnderTheModel() {
    FakeSoundPlayer player;
    CompareWindow window(player, u'.');
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.showComparison(comparedLine(true));
    const QImage plain = rendered(*control<QWidget>(window, "plotModel"));
    window.showComparison(comparedLine(true, QStringLiteral("キョ＼ーワ イイ＼ テ＼ンキデスネ。")));
    const QImage marked = rendered(*control<QWidget>(window, "plotModel"));
    QCOMPARE(marked.size(), plain.size());
    // The reading takes a strip above the time axis; the learner's plot has none.
    int changedRows = 0;
    for (int y = 0; y < plain.height(); ++y)
        changedRows +=
            plain.scanLine(y) != nullptr && memcmp(plain.constScanLine(y), marked.constScanLine(y),
                                                   size_t(plain.bytesPerLine())) != 0;
    QVERIFY(changedRows > 0);
    QCOMPARE(rendered(*control<QWidget>(window, "plotLearner")).size().isEmpty(), false);
}

void TestCompareWindow::lengthDifferenceInWords_data() {
    QTest::addColumn<double>("model");
    QTest::addColumn<double>("learner");
    QTest::addColumn<QString>("text");
    QTest::newRow("longer") << 1.2 << 1.5 << QStringLiteral("長さの差: あなたが0.30秒長い");
    QTest::newRow("shorter") << 2.0 << 1.25 << QStringLiteral("長さの差: あなたが0.75秒短い");
    QTest::newRow("same to the hundredth")
        << 1.0 << 1.004 << QStringLiteral("長さの差: 手本と同じ");
}

void TestCompareWindow::lengthDifferenceInWords() {
    QFETCH(double, model);
    QFETCH(double, learner);
    QFETCH(QString, text);
    FakeSoundPlayer player;
    const CompareWindow window(player, u'.');
    QCOMPARE(window.differenceText(model, learner), text);
}

void TestCompareWindow::comparisonWorkedOutInTheBackground() {
    FakeSoundPlayer player;
    CompareWindow window(player, u'.');
    QSignalSpy shown(&window, &CompareWindow::comparisonShown);
    QSemaphore started, release;
    window.compare(3, [&] {
        started.release();
        release.acquire();
        return comparedLine(true);
    });
    started.acquire();
    // Shown at once, saying what it waits for; nothing to play yet.
    QVERIFY(window.isVisible());
    QCOMPARE(control<QLabel>(window, "lblLine")->text(),
             QStringLiteral("3行目の手本を用意しています…"));
    QVERIFY(!control<QPushButton>(window, "btnPlayModel")->isEnabled());
    // A second line asked for meanwhile wins over the first.
    window.compare(4, [] {
        ComparedLine line = comparedLine(false);
        line.lineNumber = 4;
        return line;
    });
    release.release();
    QTRY_COMPARE(control<QLabel>(window, "lblLine")->text(),
                 QStringLiteral("4行目: 今日はいい天気ですね。"));
    QTRY_COMPARE(shown.size(), 3); // waiting for 3, waiting for 4, line 4; never line 3
    QTest::qWait(50);
    QCOMPARE(shown.size(), 3);
    QCOMPARE(window.comparison().lineNumber, 4);
}

void TestCompareWindow::failingComparisonSaysWhy() {
    FakeSoundPlayer player;
    CompareWindow window(player, u'.');
    QSignalSpy shown(&window, &CompareWindow::comparisonShown);
    window.compare(2, []() -> ComparedLine { throw AppError(QStringLiteral("音声がありません")); });
    QTRY_COMPARE(control<QLabel>(window, "lblLine")->text(),
                 QStringLiteral("2行目を比べられません。\n音声がありません"));
    QVERIFY(!control<QPushButton>(window, "btnPlayModel")->isEnabled());
}

void TestCompareWindow::latestRecordingOfALine() {
    QCOMPARE(recordingsFolderOf(QStringLiteral("/x/cafe.json")),
             QStringLiteral("/x/cafe.recordings"));
    QCOMPARE(recordingsFolderOf(QStringLiteral("/x/my.cafe.json")),
             QStringLiteral("/x/my.cafe.recordings"));
    QTemporaryDir folder;
    for (const char* name : {"0003_Q_20261211-050000-000.flac", "0003_Q_20261211-060000-000.flac",
                             "0003_Q_20261211-060000-001.txt", "0013_Q_20261211-070000-000.flac",
                             "0030_Q_20261211-080000-000.flac"}) {
        QFile file(folder.filePath(QLatin1String(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QCOMPARE(latestRecording(folder.path(), 3),
             folder.filePath(QStringLiteral("0003_Q_20261211-060000-000.flac")));
    QCOMPARE(latestRecording(folder.path(), 4), QString());
    QCOMPARE(latestRecording(folder.filePath(QStringLiteral("none")), 3), QString());
}

// A recording at another rate reaches the voices' output at its rate, as long, as loud and at
// the same pitch; an engine without that output plays nothing.
void TestCompareWindow::playerPlaysThroughTheVoicesOutput() {
    auto clock = std::make_shared<ManualClock>();
    auto heard = std::make_shared<std::vector<qint16>>();
    EmbeddedEngineOptions options;
    options.output = EmbeddedEngineOptions::Output::Silent;
    options.clock = clock;
    options.pumpThread = false;
    options.makeSink = [heard]() -> std::unique_ptr<PcmSink> {
        return std::make_unique<RecordingSink>(heard);
    };
    EmbeddedSpeechEngine engine(options);
    AudioOutput& output = *engine.audioOutput();
    const auto playOn = [&](int ms) {
        for (int step = 0; step < ms / 20; ++step) {
            output.pump();
            clock->advanceMs(20);
        }
    };
    EngineSoundPlayer player(engine);
    player.play(tone(300, 0.5, 0, 48000));
    playOn(1500);
    const auto loud = [](qint16 sample) { return std::abs(sample) > 1000; };
    const auto first = std::find_if(heard->begin(), heard->end(), loud);
    const auto last = std::find_if(heard->rbegin(), heard->rend(), loud);
    QVERIFY(first != heard->end());
    const Sound played = soundFromPcm(&*first, qint64(last.base() - first), output.sampleRate());
    QVERIFY2(std::abs(played.seconds() - 0.5) < 0.005,
             qPrintable(QString::number(played.seconds())));
    const float peak = *std::max_element(played.samples.begin(), played.samples.end());
    QVERIFY2(std::abs(peak - 0.5f) < 0.02f, qPrintable(QString::number(peak)));
    const PitchFigures figures = pitchFigures(
        pitchCurve(played.samples.data(), qint64(played.samples.size()), played.sampleRate));
    QVERIFY(std::abs(figures.medianHz / 300 - 1) < 0.01);

    FakeSpeechEngine other;
    EngineSoundPlayer silent(other);
    silent.play(tone(300, 0.5)); // logged, nothing else
    silent.stop();
}

void TestCompareWindow::compareButtonInThePanel() {
    FakeServices fakes;
    MainWindow form(fakes.services());
    auto* button = control<QPushButton>(form, "btnCompare");
    QCOMPARE(button->text(), QStringLiteral("聞き比べる(&C)…"));
    QVERIFY(button->accessibleName().startsWith(QStringLiteral("聞き比べる")));
    QVERIFY(!button->toolTip().isEmpty());
    // Its Alt key is its own among the panel's and the window's captions.
    for (QWidget* other : form.findChildren<QWidget*>()) {
        const QString caption = other->property("text").toString();
        if (other != button && caption.contains(u'&'))
            QVERIFY2(!caption.contains(QStringLiteral("&C"), Qt::CaseInsensitive),
                     qPrintable(caption));
    }
    // In the panel's free room at its bottom, over no other control.
    auto* panel = control<PracticePanel>(form, "practicePanel");
    control<QPushButton>(form, "btnPracticePanel")->click();
    button->parentWidget()->layout()->activate(); // laid out now, not when first shown
    const QRect placed(button->mapTo(panel, QPoint(0, 0)), button->size());
    QVERIFY(panel->rect().contains(placed));
    for (QWidget* other : panel->tabOrder())
        if (other != button)
            QVERIFY2(!QRect(other->mapTo(panel, QPoint(0, 0)), other->size()).intersects(placed),
                     qPrintable(other->objectName()));
    QCOMPARE(panel->tabOrder().last(), button);
    // Nothing above it moved to make room: the panel is laid out as without it.
    QList<QRect> withButton;
    for (QWidget* other : panel->tabOrder())
        withButton << other->geometry();
    button->parentWidget()->hide();
    panel->layout()->invalidate();
    panel->layout()->activate();
    QList<QRect> without;
    for (QWidget* other : panel->tabOrder())
        without << other->geometry();
    QCOMPARE(withButton, without);
}

void TestCompareWindow::compareButtonComparesTheSelectedRow() {
    FakeServices fakes;
    const QString japanese = QStringLiteral("今日はいい天気ですね。");
    fakes.accentForms.insert(japanese, QStringLiteral("キョ＼ーワ イイ＼ テ＼ンキデスネ。"));
    MainWindow form(fakes.services());
    // No row chosen yet.
    control<QPushButton>(form, "btnCompare")->click();
    QCOMPARE(fakes.messages.messages.size(), 1);

    const QString lesson = fakes.folder.filePath(QStringLiteral("cafe.json"));
    fakes.fileDialogs.saveAnswers << lesson;
    control<QPushButton>(form, "btnSaveLesson")->click();
    const qsizetype messages = fakes.messages.messages.size();
    const QDir recordings(fakes.folder.filePath(QStringLiteral("cafe.recordings")));
    QVERIFY(QDir().mkpath(recordings.path()));
    writeFlac(recordings.filePath(QStringLiteral("0003_Q_20261211-050000-000.flac")), tone(120, 1));
    writeFlac(recordings.filePath(QStringLiteral("0003_Q_20261211-060000-000.flac")),
              tone(240, 1.3, 0.2, 48000));

    auto* grid = control<LessonGrid>(form, "StringGrid1");
    grid->setCurrentIndex(form.lessonTable().index(2, ColText));
    control<QPushButton>(form, "btnCompare")->click();
    auto* window = form.findChild<CompareWindow*>(QStringLiteral("compareWindow"));
    QVERIFY(window);
    QTRY_VERIFY(window->comparison().learner.has_value());
    const ComparedLine& line = window->comparison();
    QCOMPARE(line.lineNumber, 3);
    QCOMPARE(line.text, japanese);
    // The model as playback would speak it (the fake engine's tone), the latest recording.
    QCOMPARE(fakes.speech.synthesized.size(), 1);
    QVERIFY(!line.model.sound.isEmpty());
    QVERIFY2(std::abs(line.learner->figures.medianHz / 240 - 1) < 0.03,
             qPrintable(QString::number(line.learner->figures.medianHz)));
    QVERIFY(std::abs(line.learner->seconds() - 1.3) < 0.02);
    QCOMPARE(accentAccessibleText(line.accent),
             QStringLiteral("キョ＼ーワ イイ＼ テ＼ンキデスネ。"));
    control<QPushButton>(*window, "btnPlayLearner")->click();
    QCOMPARE(fakes.soundPlayer.played.size(), 1);

    // An English row: no accent; no recording: the model alone.
    grid->setCurrentIndex(form.lessonTable().index(0, ColText));
    control<QPushButton>(form, "btnCompare")->click();
    QTRY_COMPARE(window->comparison().lineNumber, 1);
    QTRY_VERIFY(!window->comparison().learnerNote.isEmpty());
    QVERIFY(window->comparison().accent.isEmpty());
    QVERIFY(!window->comparison().learner);
    QCOMPARE(fakes.messages.messages.size(), messages);
}

QTEST_MAIN(TestCompareWindow)
#include "tst_comparewindow.moc"
