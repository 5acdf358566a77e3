#pragma once

#include "lesson/LessonSettings.h"
#include "lesson/LessonTable.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QCoreApplication>
#include <QList>
#include <QString>
#include <optional>

namespace lessora {

// The practice settings a file holds; each member is optional.
struct StoredPracticeSettings {
    std::optional<int> japaneseRateIndex;
    std::optional<bool> slowestEnglish;
    std::optional<QString> role;
    std::optional<bool> modelAfterAnswer;
    std::optional<int> answerGapIndex;
    std::optional<int> lineRepeatCount;
    std::optional<bool> shadowingGap;
    std::optional<bool> showReadings;
    std::optional<bool> showAccent;
    std::optional<bool> recordAnswers;
    std::optional<bool> hearOwnAnswer;

    friend bool operator==(const StoredPracticeSettings&, const StoredPracticeSettings&) = default;
};

// The practice settings a lesson gives: each member the file holds with a value within its list
// (a role one of the six speaker codes), and the default for every other one, so that nothing
// of the lesson shown before is carried over. The window, the export and lessora-say all take
// a lesson's practice settings from here.
PracticeSettings practiceSettingsOf(const StoredPracticeSettings& stored);

// The settings a file holds; each member is optional in a file.
struct StoredLessonSettings {
    std::optional<int> englishRateIndex;
    std::optional<int> intervalIndex;
    std::optional<int> repeatIndex;
    std::optional<bool> hideText;
    StoredPracticeSettings practice{};

    friend bool operator==(const StoredLessonSettings&, const StoredLessonSettings&) = default;
};

// The bytes of a lesson file: the UTF-8 byte-order mark and one line of compact JSON, every
// code unit outside printable ASCII (and the solidus) escaped. Blank rows are left out.
QByteArray writeLessonFile(const LessonSettings& settings, const QList<LessonRow>& rows);
QByteArray writeLessonFile(const LessonSettings& settings, const LessonTable& table);

// Appends text as a JSON string, quotes included, escaped code unit by code unit as the
// lesson file writes it.
void appendJsonString(QByteArray& out, QStringView text);

// How reading a lesson file's bytes ended.
enum class LessonFileStatus {
    Loaded,       // settings and rows
    NoRows,       // an object without "Rows": its settings only
    NotUtf8,      // the bytes after an optional byte-order mark are not valid UTF-8
    NotJson,      // not one JSON value (or nested or sized beyond the reader's limits)
    NotObject,    // JSON, but the root is not an object
    InvalidValue, // a value could not be converted; the message is in error
};

struct LessonFileContent {
    LessonFileStatus status = LessonFileStatus::NotJson;
    QString error;                 // InvalidValue: the message, exactly as the user sees it
    StoredLessonSettings settings; // Loaded, NoRows
    // Loaded: the elements of "Rows", as read, but for the No cells that the table keeps as
    // numbers (LessonTable::replaceRows): those are empty here, and their numbers are in
    // `numbers`, which has 0 for the other rows. No text is made for them.
    QList<LessonRow> rows;
    QList<int> numbers;

    // The rows with every No cell as the file has it.
    QList<LessonRow> rowsAsWritten() const;
};

// Reads a whole lesson file. Everything is converted before anything is returned, so a
// caller can apply the result all at once or not at all. Never throws.
LessonFileContent readLessonFile(QByteArrayView bytes);

// Innermost nesting of arrays and objects the reader follows; deeper files are not read.
inline constexpr int kMaxJsonDepth = 512;

namespace lessonFileMessages {
inline QString notUtf8() {
    return QCoreApplication::translate(
        "Files", "Unicode 文字のマッピングがターゲットのマルチバイト コード ページに存在しません");
}
inline QString notJson() {
    return QCoreApplication::translate("Files", "JSONファイルを読み込めませんでした。");
}
inline QString notLesson() {
    return QCoreApplication::translate("Files", "正しい教材ファイルではありません。");
}
inline QString noRows() {
    return QCoreApplication::translate("Files", "教材データが見つかりません。");
}
inline QString loaded() {
    return QCoreApplication::translate("Files", "読み込みました。");
}
inline QString saved() {
    return QCoreApplication::translate("Files", "保存しました。");
}
inline QString invalidCast() {
    return QCoreApplication::translate("Files", "無効なクラス型キャスト");
}
} // namespace lessonFileMessages

} // namespace lessora
