// Agreement of the accent's text form with Open JTalk's own analysis, on the dialogue table
// (tests/japanese/data/dialogue_readings.tsv). Each sentence is given to open_jtalk in the pieces
// the voices give it, its trace (-ot) read twice:
//  - by accentPhrasesFromTrace, written as the text form and read back from it;
//  - here, from the full-context labels alone: a phrase is a run of phonemes with one /F:
//    field, a mora a run with one /A: field, and the nucleus the last mora before the /A:
//    field's first number (mora position minus accent) turns from 0 to positive.
// The phrases, their morae and their nuclei are compared one by one; the text form of the whole
// line from spokenAccent (the engine's boundary) must be the pieces' text forms in a row, and
// without its marks the reading the voice prints (lessora-say --voice … --reading).
// Usage: bench_accent [TABLE]
#include "japanese/AccentPhrases.h"
#include "japanese/JapaneseReading.h"
#include "voices/EmbeddedVoices.h"
#include "voices/OpenJTalkSynth.h"
#include "voices/ProcessRunner.h"
#include "voices/SpokenAccent.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <cstdio>

using namespace lessora;

namespace {

struct Shape {
    int morae = 0;
    int nucleus = 0;
    friend bool operator==(const Shape&, const Shape&) = default;
};

QStringView fieldOf(QStringView label, QStringView name) {
    const qsizetype start = label.indexOf(name);
    if (start < 0)
        return {};
    const QStringView rest = label.mid(start + name.size());
    return rest.left(rest.indexOf(u'/'));
}

// The phrases of the labels, counted from their /F: and /A: fields alone.
QList<Shape> labelShapes(const QString& trace) {
    QList<Shape> shapes;
    const qsizetype start = trace.indexOf(QStringLiteral("[Output label]\n"));
    if (start < 0)
        return shapes;
    QStringView phraseField;
    QStringView moraField;
    int lastA1 = 0;
    int moraIndex = 0;
    bool fallen = false;
    for (QStringView line : QStringView(trace).mid(start).split(u'\n').mid(1)) {
        if (line.isEmpty())
            break;
        const QStringView label = line.mid(line.lastIndexOf(u' ') + 1);
        const QStringView f = fieldOf(label, u"/F:");
        const QStringView a = fieldOf(label, u"/A:");
        if (f.startsWith(u"xx")) { // silence or pause
            phraseField = {};
            continue;
        }
        if (f != phraseField) {
            phraseField = f;
            moraField = {};
            shapes.append(Shape{});
            moraIndex = 0;
            fallen = false;
        }
        if (a == moraField)
            continue;
        moraField = a;
        ++moraIndex;
        ++shapes.last().morae;
        const int a1 = a.left(a.indexOf(u'+')).toInt();
        if (moraIndex > 1 && !fallen && lastA1 == 0 && a1 > 0) {
            shapes.last().nucleus = moraIndex - 1;
            fallen = true;
        }
        // The first mora may be the nucleus: a1 is 0 there and positive on the second.
        lastA1 = a1;
    }
    return shapes;
}

QList<Shape> textShapes(const QString& text) {
    QList<Shape> shapes;
    for (const AccentPhrase& phrase : accentPhrasesFromText(text))
        shapes.append({int(phrase.morae.size()), phrase.nucleus});
    return shapes;
}

struct Tally {
    int sentences = 0;
    int labelPhrases = 0;
    int textPhrases = 0;
    int phrasesAgreeing = 0; // same place, same morae
    int accented = 0;        // phrases of the labels with a nucleus
    int nucleiAgreeing = 0;  // phrases agreeing in their nucleus too (flat ones included)
    int linesAgreeing = 0;   // spokenAccent equal to the pieces' text forms
    int readingsAgreeing = 0;
};

double percent(int part, int whole) {
    return whole > 0 ? 100.0 * part / whole : 100.0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const OpenJTalkInstallation setup = OpenJTalkSynth::installation();
    if (!setup.isInstalled()) {
        std::printf("Open JTalk is not installed: nothing to compare\n");
        return 0;
    }
    QFile table(
        argc > 1 ? QString::fromLocal8Bit(argv[1])
                 : QStringLiteral(LESSORA_SOURCE_DIR "/tests/japanese/data/dialogue_readings.tsv"));
    if (!table.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(table.fileName()));
        return 1;
    }
    const EmbeddedVoice* voice = preferredVoices(true).front();
    const QStringList arguments = {QStringLiteral("-x"),  setup.dictionary,
                                   QStringLiteral("-m"),  setup.voice,
                                   QStringLiteral("-ot"), QStringLiteral("/dev/fd/3")};
    Tally tally;
    QElapsedTimer timer;
    timer.start();
    for (const QString& row : QString::fromUtf8(table.readAll()).split(u'\n')) {
        if (row.isEmpty() || row.startsWith(u'#'))
            continue;
        const QString text = row.section(u'\t', 0, 0);
        ++tally.sentences;
        QStringList pieces;
        for (const ReadingSegment& segment : openJTalkSegments(text)) {
            if (segment.kind == ReadingSegment::Kind::Latin) {
                pieces << segment.text.trimmed();
                continue;
            }
            for (const QString& chunk : OpenJTalkSynth::chunks(segment.text)) {
                const ProcessResult run = runProcess(
                    {setup.program, arguments, chunk.toUtf8() + '\n', true, setup.timeout, {}});
                const QString trace = QString::fromUtf8(run.extraOutput);
                const QString form = accentText(accentPhrasesFromTrace(trace));
                pieces << form;
                const QList<Shape> fromLabels = labelShapes(trace);
                const QList<Shape> fromText = textShapes(form);
                tally.labelPhrases += int(fromLabels.size());
                tally.textPhrases += int(fromText.size());
                bool differs = fromLabels.size() != fromText.size();
                for (qsizetype i = 0; i < std::min(fromLabels.size(), fromText.size()); ++i) {
                    tally.accented += fromLabels[i].nucleus > 0;
                    if (fromLabels[i].morae == fromText[i].morae) {
                        ++tally.phrasesAgreeing;
                        tally.nucleiAgreeing += fromLabels[i].nucleus == fromText[i].nucleus;
                    }
                    differs = differs || fromLabels[i] != fromText[i];
                }
                if (differs)
                    std::printf("differs: %s → %s\n", qPrintable(chunk), qPrintable(form));
            }
        }
        pieces.removeAll(QString());
        const QString line = accentText(spokenAccent(text));
        if (line == pieces.join(u' '))
            ++tally.linesAgreeing;
        else
            std::printf("line differs: %s → %s\n", qPrintable(text), qPrintable(line));
        QString plain = line;
        plain.remove(u'＼').remove(u' ');
        QString reading = spokenReading(*voice, text);
        reading.remove(u' ').replace(u'ヲ', u'オ');
        if (plain == reading)
            ++tally.readingsAgreeing;
        else
            std::printf("reading differs: %s → %s / %s\n", qPrintable(text), qPrintable(plain),
                        qPrintable(reading));
    }
    std::printf("sentences: %d (%.1f s)\n", tally.sentences, timer.elapsed() / 1000.0);
    std::printf("phrases: %d of the labels' %d agree in place and morae (%.1f %%); text form "
                "has %d\n",
                tally.phrasesAgreeing, tally.labelPhrases,
                percent(tally.phrasesAgreeing, tally.labelPhrases), tally.textPhrases);
    std::printf("nuclei: %d of %d phrases agree (%.1f %%), %d of them with a nucleus\n",
                tally.nucleiAgreeing, tally.labelPhrases,
                percent(tally.nucleiAgreeing, tally.labelPhrases), tally.accented);
    std::printf("lines: spokenAccent equal to the pieces' text forms: %d of %d; without its "
                "marks equal to the voice's reading: %d of %d\n",
                tally.linesAgreeing, tally.sentences, tally.readingsAgreeing, tally.sentences);
    return 0;
}
