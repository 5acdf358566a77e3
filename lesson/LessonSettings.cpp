#include "lesson/LessonSettings.h"

#include "lesson/LessonOptions.h"
#include "lesson/Logging.h"

#include <QCoreApplication>

namespace lessora {

QStringList OptionList::labels() const {
    QStringList labels;
    labels.reserve(count());
    for (const OptionItem& item : items)
        labels << QCoreApplication::translate("Options", item.label);
    return labels;
}

namespace {

int indexWithin(const OptionList& list, int index) {
    if (list.contains(index) || index == -1)
        return index;
    qCDebug(lcLesson) << "index" << index << "outside a list of" << list.count() << "items";
    return -1;
}

// What a list shows for a value it does not offer: nothing, as a stored index out of range.
LessonSettings normalised(LessonSettings values) {
    values.intervalIndex = indexWithin(options::kInterval, values.intervalIndex);
    values.englishRateIndex = indexWithin(options::kEnglishRate, values.englishRateIndex);
    values.repeatIndex = indexWithin(options::kRepeat, values.repeatIndex);
    PracticeSettings& practice = values.practice;
    practice.japaneseRateIndex = indexWithin(options::kJapaneseRate, practice.japaneseRateIndex);
    practice.answerGapIndex = indexWithin(options::kAnswerGap, practice.answerGapIndex);
    if (!options::kLineRepeat.contains(practice.lineRepeatCount - 1))
        practice.lineRepeatCount = 0;
    bool known = false;
    for (int index = 1; index < options::kRole.count(); ++index)
        known = known ||
                QString::fromUtf8(options::kRoleItems[std::size_t(index)].label) == practice.role;
    if (!known)
        practice.role.clear();
    return values;
}

} // namespace

LessonSettings CurrentLessonSettings::initial() {
    LessonSettings values;
    values.intervalIndex = options::kInterval.defaultIndex;
    values.englishRateIndex = options::kEnglishRate.defaultIndex;
    values.repeatIndex = options::kRepeat.defaultIndex;
    return values;
}

CurrentLessonSettings::CurrentLessonSettings(QObject* parent)
    : CurrentLessonSettings(initial(), parent) {}

CurrentLessonSettings::CurrentLessonSettings(const LessonSettings& values, QObject* parent)
    : QObject(parent)
    , m_values(normalised(values)) {}

void CurrentLessonSettings::setValues(const LessonSettings& values) {
    const LessonSettings next = normalised(values);
    if (next == m_values)
        return;
    m_values = next;
    emit changed();
}

template <typename Change> void CurrentLessonSettings::update(Change change) {
    LessonSettings next = m_values;
    change(next);
    setValues(next);
}

void CurrentLessonSettings::setIntervalIndex(int index) {
    update([index](LessonSettings& values) { values.intervalIndex = index; });
}

void CurrentLessonSettings::setEnglishRateIndex(int index) {
    update([index](LessonSettings& values) { values.englishRateIndex = index; });
}

void CurrentLessonSettings::setRepeatIndex(int index) {
    update([index](LessonSettings& values) { values.repeatIndex = index; });
}

void CurrentLessonSettings::setHideText(bool hide) {
    update([hide](LessonSettings& values) { values.hideText = hide; });
}

void CurrentLessonSettings::setJapaneseRateIndex(int index) {
    update([index](LessonSettings& values) { values.practice.japaneseRateIndex = index; });
}

void CurrentLessonSettings::setSlowestEnglish(bool slowest) {
    update([slowest](LessonSettings& values) { values.practice.slowestEnglish = slowest; });
}

void CurrentLessonSettings::setRole(const QString& role) {
    update([&role](LessonSettings& values) { values.practice.role = role; });
}

void CurrentLessonSettings::setModelAfterAnswer(bool model) {
    update([model](LessonSettings& values) { values.practice.modelAfterAnswer = model; });
}

void CurrentLessonSettings::setAnswerGapIndex(int index) {
    update([index](LessonSettings& values) { values.practice.answerGapIndex = index; });
}

void CurrentLessonSettings::setLineRepeatCount(int count) {
    update([count](LessonSettings& values) { values.practice.lineRepeatCount = count; });
}

void CurrentLessonSettings::setShadowingGap(bool gap) {
    update([gap](LessonSettings& values) { values.practice.shadowingGap = gap; });
}

void CurrentLessonSettings::setShowReadings(bool shown) {
    update([shown](LessonSettings& values) { values.practice.showReadings = shown; });
}

void CurrentLessonSettings::setShowAccent(bool shown) {
    update([shown](LessonSettings& values) { values.practice.showAccent = shown; });
}

void CurrentLessonSettings::setRecordAnswers(bool record) {
    update([record](LessonSettings& values) { values.practice.recordAnswers = record; });
}

void CurrentLessonSettings::setHearOwnAnswer(bool hear) {
    update([hear](LessonSettings& values) { values.practice.hearOwnAnswer = hear; });
}

} // namespace lessora
