#pragma once

#include <QObject>
#include <QString>

namespace lessora {

// The practice settings a lesson file keeps besides the four of the main window. Each is
// written only when it differs from its default here, so a lesson that uses none of them is
// saved exactly as before, and a file without them loads as before.
struct PracticeSettings {
    int japaneseRateIndex = 3; // options::kJapaneseRate; 3 is normal speed
    bool slowestEnglish = false;
    QString role; // the speaker code the learner answers for; empty for none
    bool modelAfterAnswer = false;
    int answerGapIndex = 1; // options::kAnswerGap; 1 is 1.3 times the line
    int lineRepeatCount = 1;
    bool shadowingGap = false;
    bool showReadings = false;
    bool showAccent = false;    // marks over the readings, while they are shown
    bool recordAnswers = false; // the learner's gaps are recorded beside the lesson
    bool hearOwnAnswer = false; // and played back right after each gap

    friend bool operator==(const PracticeSettings&, const PracticeSettings&) = default;
};

// The playback settings that a lesson file keeps: the chosen item of the three lists of the
// main window (-1 for none), the hide-text switch and the practice settings.
struct LessonSettings {
    int englishRateIndex = -1;
    int intervalIndex = -1;
    int repeatIndex = -1;
    bool hideText = false;
    PracticeSettings practice{};

    friend bool operator==(const LessonSettings&, const LessonSettings&) = default;
};

// The lesson settings as they are chosen now. The window's lists and boxes write their choices
// here and follow its changes; saving, the change tracker, playback and the audio export read
// it, and loading a lesson sets it. An index outside its list means no choice (-1), as a list
// given such an index shows nothing.
class CurrentLessonSettings : public QObject {
    Q_OBJECT
public:
    // The choices of a new window: each list at its default item.
    static LessonSettings initial();

    explicit CurrentLessonSettings(QObject* parent = nullptr);
    CurrentLessonSettings(const LessonSettings& values, QObject* parent = nullptr);

    const LessonSettings& values() const { return m_values; }
    const PracticeSettings& practice() const { return m_values.practice; }

    // All at once, with one `changed` when anything differs.
    void setValues(const LessonSettings& values);

    void setIntervalIndex(int index);
    void setEnglishRateIndex(int index);
    void setRepeatIndex(int index);
    void setHideText(bool hide);
    void setJapaneseRateIndex(int index);
    void setSlowestEnglish(bool slowest);
    // A speaker code of options::kRole, or empty for none; anything else is none.
    void setRole(const QString& role);
    void setModelAfterAnswer(bool model);
    void setAnswerGapIndex(int index);
    void setLineRepeatCount(int count);
    void setShadowingGap(bool gap);
    void setShowReadings(bool shown);
    void setShowAccent(bool shown);
    void setRecordAnswers(bool record);
    void setHearOwnAnswer(bool hear);

signals:
    void changed();

private:
    template <typename Change> void update(Change change);

    LessonSettings m_values;
};

} // namespace lessora
