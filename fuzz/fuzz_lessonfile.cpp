// Fuzz target for the lesson file reader. Besides not crashing or hanging on any input, every
// lesson it loads must survive a save: the writer's bytes read back as the same settings and
// the same non-blank rows.
#include "files/LessonFile.h"
#include "lesson/RowRules.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace lessora;

namespace {

bool isBlank(const LessonRow& row) {
    for (int column : {ColSpeaker, ColLanguage, ColText, ColInterval}) {
        if (!trimText(row[column]).isEmpty())
            return false;
    }
    return true;
}

void checkRoundTrip(const LessonFileContent& content) {
    const StoredLessonSettings& stored = content.settings;
    const LessonSettings settings{stored.englishRateIndex.value_or(-1),
                                  stored.intervalIndex.value_or(-1),
                                  stored.repeatIndex.value_or(-1), stored.hideText.value_or(false)};
    const QList<LessonRow> rows = content.rowsAsWritten();
    const LessonFileContent again = readLessonFile(writeLessonFile(settings, rows));
    QList<LessonRow> expected;
    for (const LessonRow& row : rows) {
        if (!isBlank(row))
            expected.append(row);
    }
    const StoredLessonSettings written{settings.englishRateIndex, settings.intervalIndex,
                                       settings.repeatIndex, settings.hideText};
    if (again.status != LessonFileStatus::Loaded || again.rowsAsWritten() != expected ||
        again.settings != written)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const LessonFileContent content =
        readLessonFile(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (content.status == LessonFileStatus::Loaded)
        checkRoundTrip(content);
    return 0;
}
