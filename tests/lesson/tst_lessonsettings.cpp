#include "lesson/LessonOptions.h"
#include "lesson/LessonSettings.h"

#include <QSignalSpy>
#include <QTest>

using namespace lessora;

Q_DECLARE_METATYPE(lessora::LessonSettings)

class TestLessonSettings : public QObject {
    Q_OBJECT
private slots:
    void valuesOutsideTheirListMeanNoChoice_data();
    void valuesOutsideTheirListMeanNoChoice();
    void changedOncePerRealChange();
    void singleSettersKeepTheOthers();
    void listsHaveOneValuePerLabel();
};

namespace {

LessonSettings with(void (*change)(LessonSettings&)) {
    LessonSettings values = CurrentLessonSettings::initial();
    change(values);
    return values;
}

} // namespace

// As a list given an index it does not have shows nothing: what a lesson file with an index out
// of range leaves in the window, and so what is saved again.
void TestLessonSettings::valuesOutsideTheirListMeanNoChoice_data() {
    QTest::addColumn<LessonSettings>("given");
    QTest::addColumn<LessonSettings>("kept");

    const LessonSettings initial = CurrentLessonSettings::initial();
    QTest::newRow("the initial choices") << initial << initial;
    QTest::newRow("last items") << with([](LessonSettings& v) {
        v.intervalIndex = 6;
        v.englishRateIndex = 4;
        v.repeatIndex = 4;
        v.practice.japaneseRateIndex = 5;
        v.practice.answerGapIndex = 3;
        v.practice.lineRepeatCount = 5;
        v.practice.role = QStringLiteral("S");
    }) << with([](LessonSettings& v) {
        v.intervalIndex = 6;
        v.englishRateIndex = 4;
        v.repeatIndex = 4;
        v.practice.japaneseRateIndex = 5;
        v.practice.answerGapIndex = 3;
        v.practice.lineRepeatCount = 5;
        v.practice.role = QStringLiteral("S");
    });
    QTest::newRow("one past the last item") << with([](LessonSettings& v) {
        v.intervalIndex = 7;
        v.englishRateIndex = 5;
        v.repeatIndex = 5;
        v.practice.japaneseRateIndex = 6;
        v.practice.answerGapIndex = 4;
    }) << with([](LessonSettings& v) {
        v.intervalIndex = -1;
        v.englishRateIndex = -1;
        v.repeatIndex = -1;
        v.practice.japaneseRateIndex = -1;
        v.practice.answerGapIndex = -1;
    });
    QTest::newRow("below the first item") << with([](LessonSettings& v) {
        v.intervalIndex = -2;
        v.englishRateIndex = -1;
        v.repeatIndex = INT_MIN;
    }) << with([](LessonSettings& v) {
        v.intervalIndex = -1;
        v.englishRateIndex = -1;
        v.repeatIndex = -1;
    });
    QTest::newRow("a role that is no speaker code")
        << with([](LessonSettings& v) { v.practice.role = QStringLiteral("なし"); }) << initial;
    QTest::newRow("a lower-case role")
        << with([](LessonSettings& v) { v.practice.role = QStringLiteral("a"); }) << initial;
}

void TestLessonSettings::valuesOutsideTheirListMeanNoChoice() {
    QFETCH(LessonSettings, given);
    QFETCH(LessonSettings, kept);
    CurrentLessonSettings settings;
    settings.setValues(given);
    QCOMPARE(settings.values(), kept);
    QCOMPARE(CurrentLessonSettings(given).values(), kept);
}

// The window's lists and the change tracker hang on `changed`: a value set to what it is
// already must not mark the lesson changed, and a load that sets many gives one signal.
void TestLessonSettings::changedOncePerRealChange() {
    CurrentLessonSettings settings;
    QSignalSpy changed(&settings, &CurrentLessonSettings::changed);
    settings.setIntervalIndex(settings.values().intervalIndex);
    settings.setValues(settings.values());
    settings.setRole(QString());
    settings.setIntervalIndex(99); // shows nothing: a change from "なし"
    settings.setIntervalIndex(-1); // no choice already
    QCOMPARE(changed.size(), 1);

    LessonSettings loaded = settings.values();
    loaded.englishRateIndex = 0;
    loaded.hideText = true;
    loaded.practice.shadowingGap = true;
    settings.setValues(loaded);
    QCOMPARE(changed.size(), 2);
    QCOMPARE(settings.values(), loaded);
}

void TestLessonSettings::singleSettersKeepTheOthers() {
    CurrentLessonSettings settings;
    settings.setIntervalIndex(3);
    settings.setEnglishRateIndex(1);
    settings.setRepeatIndex(2);
    settings.setHideText(true);
    settings.setJapaneseRateIndex(0);
    settings.setSlowestEnglish(true);
    settings.setRole(QStringLiteral("Q"));
    settings.setModelAfterAnswer(true);
    settings.setAnswerGapIndex(3);
    settings.setLineRepeatCount(4);
    settings.setShadowingGap(true);
    settings.setShowReadings(true);
    settings.setShowAccent(true);
    const PracticeSettings practice{0, true, QStringLiteral("Q"), true, 3, 4, true, true, true};
    QCOMPARE(settings.values(), (LessonSettings{1, 3, 2, true, practice}));
}

// Each list is one table of labels and values, so that a label can never be paired with the
// value of its neighbour: the values of a list are distinct, and so are its labels.
void TestLessonSettings::listsHaveOneValuePerLabel() {
    for (const OptionList& list :
         {options::kInterval, options::kEnglishRate, options::kRepeat, options::kJapaneseRate,
          options::kAnswerGap, options::kLineRepeat, options::kRole}) {
        QVERIFY(list.contains(list.defaultIndex));
        QSet<int> values;
        for (const OptionItem& item : list.items)
            values.insert(item.value);
        QCOMPARE(values.size(), list.count());
        const QStringList labels = list.labels();
        QCOMPARE(QSet<QString>(labels.begin(), labels.end()).size(), list.count());
        QCOMPARE(list.valueAt(-1, 12345), 12345);
        QCOMPARE(list.valueAt(list.count(), 12345), 12345);
    }
}

QTEST_GUILESS_MAIN(TestLessonSettings)
#include "tst_lessonsettings.moc"
