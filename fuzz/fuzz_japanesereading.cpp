// Lesson lines reach the Japanese reading from files and the clipboard: any text must give a
// reading without crashing, and the segments must carry something to say.
#include "japanese/JapaneseReading.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    lessora::japaneseReading(text);
    for (const lessora::ReadingSegment& segment : lessora::japaneseSpeechSegments(text))
        if (segment.text.trimmed().isEmpty())
            std::abort();
    return 0;
}
