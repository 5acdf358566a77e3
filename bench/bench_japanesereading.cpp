// Time to turn Japanese lines into the katakana the voices read: the first line pays for
// opening the dictionary, every later one only for reading.
#include "voices/JapaneseReading.h"

#include <QElapsedTimer>
#include <QStringList>
#include <cstdio>

int main() {
    const QStringList lines = {
        QStringLiteral("今日はいい天気ですね。"),
        QStringLiteral("これは音声のテストです。"),
        QStringLiteral("コーヒーを二杯と、ケーキを三つお願いします。"),
        QStringLiteral("2024年4月1日の午前9時30分に、1,500円の切符を2枚買いました。"),
        QStringLiteral("私はCDを3枚買いました。"),
    };
    QElapsedTimer timer;
    timer.start();
    lessora::japaneseReading(lines.first());
    std::printf("first reading (opens the dictionary): %.2f ms\n", timer.nsecsElapsed() / 1e6);

    constexpr int rounds = 2000;
    timer.restart();
    for (int round = 0; round < rounds; ++round)
        for (const QString& line : lines)
            lessora::japaneseSpeechSegments(line);
    const double perLine = timer.nsecsElapsed() / 1e3 / (rounds * lines.size());
    std::printf("reading per line: %.1f us (mean of %lld lines)\n", perLine,
                static_cast<long long>(rounds * lines.size()));
    return 0;
}
