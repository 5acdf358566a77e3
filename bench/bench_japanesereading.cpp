// Time to turn Japanese lines into the katakana the voices read.
//  1. Per line in this process: the first line pays for opening the dictionary.
//  2. `lessora-say --reading -` on 10,000 dialogue lines, against MeCab's own reading output
//     (-Oyomi) on the same lines in the same run: the `mecab` program with the IPA dictionary
//     when it is installed, and MeCab in this process with the dictionary the reading uses.
//  3. Long runs of numerals: the time must grow with the length, not its square.
#include "Median.h"
#include "japanese/JapaneseReading.h"
#include "japanese/OpenJTalkFiles.h"
#include "voices/EmbeddedVoices.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <mecab.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

using namespace lessora;

namespace {

const QStringList kDialogue = {
    QStringLiteral("今日はいい天気ですね。"),
    QStringLiteral("これは音声のテストです。"),
    QStringLiteral("コーヒーを二杯と、ケーキを三つお願いします。"),
    QStringLiteral("2024年4月1日の午前9時30分に、1,500円の切符を2枚買いました。"),
    QStringLiteral("私はCDを3枚買いました。"),
    QStringLiteral("すみません、駅までの道を教えていただけますか。"),
    QStringLiteral("明日の会議は何時からですか。"),
    QStringLiteral("あの方が田中さんです。"),
    QStringLiteral("雪が降っていますね。"),
    QStringLiteral("昨日、友達と映画を見に行きました。"),
    QStringLiteral("このカレーはちょっと辛いです。"),
    QStringLiteral("電話番号は03-1234-5678です。"),
    QStringLiteral("お腹が空きましたね。何か食べましょうか。"),
    QStringLiteral("8月20日に京都へ引っ越します。"),
    QStringLiteral("子供が2人と、犬が1匹います。"),
    QStringLiteral("毎朝7時に起きて、8時の電車に乗ります。"),
};

double childCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
           usage.ru_stime.tv_usec / 1e6;
}

struct Run {
    double wall = -1;
    double cpu = -1;
};

// Wall and processor time of a program reading `input` on standard input; -1 when it cannot
// run. The processor time is steadier on a machine that others share.
Run programSeconds(const QString& program, const QStringList& arguments, const QString& input) {
    QProcess process;
    process.setStandardInputFile(input); // a file: the program reads as fast as it can
    QElapsedTimer timer;
    const double cpuBefore = childCpuSeconds();
    timer.start();
    process.start(program, arguments);
    if (!process.waitForStarted())
        return {};
    while (process.state() != QProcess::NotRunning) {
        process.waitForFinished(100);
        process.readAllStandardOutput();
    }
    if (process.exitCode() != 0)
        return {};
    return {timer.nsecsElapsed() / 1e9, childCpuSeconds() - cpuBefore};
}

// MeCab's own reading of each line (-Oyomi), in this process, with `directory`'s dictionary;
// Open JTalk's comes without a resource file, so it gets one in a temporary folder.
double inProcessMecabSeconds(const QString& directory, const QStringList& lines) {
    QTemporaryDir view;
    for (const QString& name : QDir(directory).entryList(QDir::Files))
        if (name != QStringLiteral("dicrc"))
            QFile::link(QDir(directory).filePath(name), view.filePath(name));
    QFile resource(view.filePath(QStringLiteral("dicrc")));
    resource.open(QIODevice::WriteOnly);
    resource.write("cost-factor = 800\nbos-feature = BOS/EOS,*,*,*,*,*,*,*,*\n"
                   "node-format-yomi = %pS%f[7]\nunk-format-yomi = %M\neos-format-yomi = \\n\n");
    resource.close();
    const QByteArray dictionary = view.path().toLocal8Bit();
    const QByteArray rc = resource.fileName().toLocal8Bit();
    const char* argv[] = {"mecab", "-r", rc.constData(), "-d", dictionary.constData(), "-Oyomi"};
    std::unique_ptr<MeCab::Model> model(MeCab::Model::create(6, const_cast<char**>(argv)));
    if (!model)
        return -1;
    std::unique_ptr<MeCab::Tagger> tagger(model->createTagger());
    std::unique_ptr<MeCab::Lattice> lattice(model->createLattice());
    QElapsedTimer timer;
    timer.start();
    std::string output;
    for (const QString& line : lines) {
        const QByteArray utf8 = line.toUtf8();
        lattice->set_sentence(utf8.constData(), size_t(utf8.size()));
        tagger->parse(lattice.get());
        output += lattice->toString();
        if (output.size() > 65536)
            output.clear();
    }
    return timer.nsecsElapsed() / 1e9;
}

} // namespace

int main(int argc, char** argv) {
    // 1. In this process.
    const EmbeddedVoice& japanese = defaultVoiceFor(QStringLiteral("あ"));
    std::printf("reading of the default Japanese voice: %s\n", qPrintable(japanese.description));
    QElapsedTimer timer;
    timer.start();
    readingOf(japanese, kDialogue.first());
    std::printf("first reading (opens the dictionary): %.2f ms\n", timer.nsecsElapsed() / 1e6);
    constexpr int kRounds = 500;
    timer.restart();
    for (int round = 0; round < kRounds; ++round)
        for (const QString& line : kDialogue)
            readingOf(japanese, line);
    std::printf("reading per line: %.1f us (mean of %lld lines, one thread)\n",
                timer.nsecsElapsed() / 1e3 / (kRounds * kDialogue.size()),
                static_cast<long long>(kRounds * kDialogue.size()));

    // 2. lessora-say --reading - against mecab -Oyomi on 10,000 lines.
    QStringList lines;
    for (int i = 0; lines.size() < 10000; ++i)
        lines << kDialogue[i % kDialogue.size()];
    QTemporaryDir folder;
    const QString input = folder.filePath(QStringLiteral("lines.txt"));
    QFile file(input);
    file.open(QIODevice::WriteOnly);
    file.write(lines.join(u'\n').toUtf8() + '\n');
    file.close();
    const QString tool =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(LESSORA_SAY_PATH);
    std::vector<double> ours, oursCpu, mecab, mecabCpu;
    for (int run = 0; run < 7; ++run) {
        const Run reading =
            programSeconds(tool, {QStringLiteral("--reading"), QStringLiteral("-")}, input);
        ours.push_back(reading.wall);
        oursCpu.push_back(reading.cpu);
        const Run yomi =
            programSeconds(QStringLiteral("mecab"),
                           {QStringLiteral("-d"), QStringLiteral("/var/lib/mecab/dic/ipadic-utf8"),
                            QStringLiteral("-Oyomi")},
                           input);
        mecab.push_back(yomi.wall);
        mecabCpu.push_back(yomi.cpu);
    }
    std::printf("\n10,000 lines, median of 7 runs (%u cores):   wall s   processor s\n",
                std::max(1u, std::thread::hardware_concurrency()));
    std::printf("  lessora-say --reading -             %7.3f   %7.3f\n", median(ours),
                median(oursCpu));
    if (median(mecab) > 0)
        std::printf("  mecab -Oyomi (IPA dictionary)       %7.3f   %7.3f   ratio wall %.2f, "
                    "processor %.2f\n",
                    median(mecab), median(mecabCpu), median(ours) / median(mecab),
                    median(oursCpu) / median(mecabCpu));
    else
        std::printf("  mecab -Oyomi: the mecab program is not installed\n");
    const QString dictionary = japanese.synth == EmbeddedVoice::Synth::OpenJTalk
                                   ? kOpenJTalkDictionary
                                   : QStringLiteral("/var/lib/mecab/dic/ipadic-utf8");
    std::vector<double> inProcess;
    for (int run = 0; run < 5; ++run)
        inProcess.push_back(inProcessMecabSeconds(dictionary, lines));
    std::printf("  MeCab -Oyomi in process, %s: %.3f s (one thread)\n",
                qPrintable(QFileInfo(dictionary).fileName()), median(inProcess));

    // 3. Long runs of numerals.
    std::printf("\nlong numerals (reading of the default Japanese voice):\n");
    for (const QChar numeral : {QChar(u'7'), QChar(u'七')}) {
        double previous = 0;
        for (const int length : {10000, 100000}) {
            const QString run(length, numeral);
            timer.restart();
            readingOf(japanese, run);
            const double seconds = timer.nsecsElapsed() / 1e9;
            std::printf("  %6d x %s: %.3f s%s\n", length, qPrintable(QString(numeral)), seconds,
                        previous > 0 ? qPrintable(QStringLiteral("  (x%1 for ten times the length)")
                                                      .arg(seconds / previous, 0, 'f', 1))
                                     : "");
            previous = seconds;
        }
    }
    return 0;
}
