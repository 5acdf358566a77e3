// The accent phrases of Open JTalk's analysis: recorded traces of word pairs told apart by their
// accent, phrases joined by the combination rules and numbers with counters; the same table
// from the real program when it is installed; the text form both ways.

#include "japanese/AccentPhrases.h"
#include "voices/EmbeddedVoices.h"
#include "voices/OpenJTalkSynth.h"
#include "voices/SpokenAccent.h"

#include <QFile>
#include <QTest>

using namespace lessora;

class AccentPhrasesTest : public QObject {
    Q_OBJECT

private:
    static void addAccentTable();

private slots:
    void fromRecordedTrace_data() { addAccentTable(); }
    void fromRecordedTrace();
    void fromOpenJTalk_data() { addAccentTable(); }
    void fromOpenJTalk();
    void awkwardTraces_data();
    void awkwardTraces();
    void textForm_data();
    void textForm();
    void highMorae_data();
    void highMorae();
    void spokenAccentOfAMixedLine();
    void spokenAccentSaysTheVoicesReading_data();
    void spokenAccentSaysTheVoicesReading();
};

// Fixture name (data/accent/NAME.trace, recorded with `open_jtalk -ot` from TEXT), text, and
// the text form of what the voice says.
void AccentPhrasesTest::addAccentTable() {
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    struct Case {
        const char* fixture;
        const char* text;
        const char* expected;
    };
    const Case cases[] = {
        // Words told apart by their accent alone. A phrase that would fall after its last mora
        // (好き before a pause) is labelled and said as a flat one, and shown so.
        {"ame_rain", "雨が降る。", "ア＼メガ フ＼ル。"},
        {"ame_candy", "飴が好き。", "アメガ スキ。"},
        {"hashi_chopsticks", "箸が好きです。", "ハ＼シガ スキ＼デス。"},
        {"hashi_bridge", "橋が好きです。", "ハシ＼ガ スキ＼デス。"},
        {"hashi_edge", "端が好きです。", "ハシガ スキ＼デス。"},
        {"kami_god", "神が見る。", "カ＼ミガ ミ＼ル。"},
        {"kami_paper", "紙が見る。", "カミ＼ガ ミ＼ル。"},
        // Words joined into one phrase by the combination rules: a compound noun, a verb
        // with its auxiliaries, the particle を said オ, long vowels as ー.
        {"compound", "東京大学の先生です。", "トーキョーダ＼イガクノ センセ＼ーデス。"},
        {"verb_auxiliary", "本を読みませんでした。", "ホ＼ンオ ヨミマセ＼ンデシタ。"},
        // Numbers with counters, a pause inside the sentence.
        {"counters", "鉛筆を3本と、20日に買いました。",
         "エンピツオ サン＼ボント、 ハツカニ カイマ＼シタ。"},
        {"date_time", "4月1日の9時5分です。", "シガツ ツイタチ＼ノ ク＼ジ ゴ＼フンデス。"},
        // A question and an answer: each mark after its phrase.
        {"question", "そうですか？はい、そうです。", "ソーデス＼カ？ ハ＼イ、 ソーデス。"},
    };
    for (const Case& c : cases)
        QTest::newRow(c.fixture) << QString::fromUtf8(c.fixture) << QString::fromUtf8(c.text)
                                 << QString::fromUtf8(c.expected);
}

void AccentPhrasesTest::fromRecordedTrace() {
    QFETCH(QString, fixture);
    QFETCH(QString, expected);
    QFile file(QStringLiteral(LESSORA_TEST_DATA "/accent/%1.trace").arg(fixture));
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
    const QList<AccentPhrase> phrases = accentPhrasesFromTrace(QString::fromUtf8(file.readAll()));
    QCOMPARE(accentText(phrases), expected);
}

void AccentPhrasesTest::fromOpenJTalk() {
    if (!OpenJTalkSynth::available())
        QSKIP("Open JTalk is not installed");
    QFETCH(QString, text);
    QFETCH(QString, expected);
    OpenJTalkSynth synth;
    QCOMPARE(accentText(synth.analyseAccent(text)), expected);
}

// A label line of one mora: phoneme and the /F: field of its phrase.
static QString label(const char* phoneme, const char* phrase) {
    return QStringLiteral("0 1 xx^xx-%1+xx=xx/A:0+1+1/B:xx/F:%2/G:xx\n")
        .arg(QString::fromUtf8(phoneme), QString::fromUtf8(phrase));
}

static QString word(const char* surface, const char* part, const char* pronunciation) {
    return QStringLiteral("%1,%2,*,*,*,*,*,%1,%3,%3,0/1,*,0\n")
        .arg(QString::fromUtf8(surface), QString::fromUtf8(part), QString::fromUtf8(pronunciation));
}

void AccentPhrasesTest::awkwardTraces_data() {
    QTest::addColumn<QString>("trace");
    QTest::addColumn<QString>("expected");
    const QString words = QStringLiteral("[Text analysis result]\n") + word("箸", "名詞", "ハシ") +
                          word("を", "助詞", "ヲ") + word("「", "記号", "、") +
                          word("。", "記号", "、") + u'\n';
    const QString labels = QStringLiteral("[Output label]\n") + label("sil", "xx_xx#xx") +
                           label("a", "3_1#0_xx@1_1") + label("i", "3_1#0_xx@1_1") +
                           label("o", "3_1#0_xx@1_1") + label("sil", "xx_xx#xx") + u'\n';
    QTest::newRow("whole") << words + labels << QStringLiteral("ハ＼シオ。");
    // Brackets are pauses, not said; the trace's other sections are passed over.
    QTest::newRow("sections around") << QStringLiteral("[Header]\nx\n\n") + words + labels +
                                            QStringLiteral("[Global parameter]\nSampring\n")
                                     << QStringLiteral("ハ＼シオ。");
    QTest::newRow("no labels") << words << QString();
    QTest::newRow("no words") << labels << QString();
    QTest::newRow("empty") << QString() << QString();
    // Words with fewer morae than the labels: only phrases that have morae.
    QTest::newRow("labels longer")
        << words + QStringLiteral("[Output label]\n") + label("a", "3_2#0_xx@1_2") +
               label("i", "4_1#0_xx@2_1") + u'\n'
        << QStringLiteral("ハシ＼オ。");
    // A nucleus beyond the phrase or a broken field: flat, or passed over.
    QTest::newRow("odd fields") << words + QStringLiteral("[Output label]\n") +
                                       label("a", "3_9#0_xx@1_1") + label("e", "x_y#z") + u'\n'
                                << QStringLiteral("ハシオ。");
}

void AccentPhrasesTest::awkwardTraces() {
    QFETCH(QString, trace);
    QFETCH(QString, expected);
    QCOMPARE(accentText(accentPhrasesFromTrace(trace)), expected);
}

void AccentPhrasesTest::textForm_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<AccentPhrase>>("phrases");
    const auto phrase = [](QStringList morae, int nucleus, QString punctuation = {}) {
        return AccentPhrase{std::move(morae), nucleus, std::move(punctuation), false};
    };
    QTest::newRow("pair") << QStringLiteral("ハ＼シガ スキ＼デス。")
                          << QList{phrase({"ハ", "シ", "ガ"}, 1),
                                   phrase({"ス", "キ", "デ", "ス"}, 2, QStringLiteral("。"))};
    QTest::newRow("small kana and long vowels")
        << QStringLiteral("トーキョーダ＼イガクノ ソーデス＼カ？")
        << QList{phrase({"ト", "ー", "キョ", "ー", "ダ", "イ", "ガ", "ク", "ノ"}, 5),
                 phrase({"ソ", "ー", "デ", "ス", "カ"}, 4, QStringLiteral("？"))};
    QTest::newRow("flat and Latin") << QStringLiteral("CD オカイマ＼ス。")
                                    << QList{AccentPhrase{{"CD"}, 0, {}, true},
                                             phrase({"オ", "カ", "イ", "マ", "ス"}, 4, "。")};
    QTest::newRow("empty") << QString() << QList<AccentPhrase>{};
}

// The text form is written and read back to the same phrases.
void AccentPhrasesTest::textForm() {
    QFETCH(QString, text);
    QFETCH(QList<AccentPhrase>, phrases);
    QCOMPARE(accentText(phrases), text);
    QCOMPARE(accentPhrasesFromText(text), phrases);
}

void AccentPhrasesTest::highMorae_data() {
    QTest::addColumn<QString>("phrase");
    QTest::addColumn<QString>("high"); // one letter a mora: H high, L low
    QTest::newRow("head") << QStringLiteral("ハ＼シガ") << QStringLiteral("HLL");
    QTest::newRow("middle") << QStringLiteral("ヨミマセ＼ンデシタ") << QStringLiteral("LHHHLLLL");
    QTest::newRow("before the last") << QStringLiteral("ハシ＼ガ") << QStringLiteral("LHL");
    QTest::newRow("flat") << QStringLiteral("ハシガ") << QStringLiteral("LHH");
    QTest::newRow("one mora, flat") << QStringLiteral("エ") << QStringLiteral("L");
    QTest::newRow("one mora, head") << QStringLiteral("エ＼") << QStringLiteral("H");
    QTest::newRow("Latin") << QStringLiteral("CD") << QStringLiteral("L");
}

void AccentPhrasesTest::highMorae() {
    QFETCH(QString, phrase);
    QFETCH(QString, high);
    const QList<AccentPhrase> phrases = accentPhrasesFromText(phrase);
    QCOMPARE(phrases.size(), 1);
    QString pattern;
    for (int i = 0; i < phrases[0].morae.size(); ++i)
        pattern += isHighMora(phrases[0], i) ? u'H' : u'L';
    QCOMPARE(pattern, high);
}

// Through the engine's boundary: the segments the voices are given, Latin words as they are;
// nothing without Open JTalk.
void AccentPhrasesTest::spokenAccentOfAMixedLine() {
    // Without Open JTalk there is no accent to show, and no error.
    const OpenJTalkInstallation installed = OpenJTalkSynth::installation();
    OpenJTalkInstallation missing = installed;
    missing.program = QStringLiteral("/nonexistent/open_jtalk");
    OpenJTalkSynth::setInstallation(missing);
    const QList<AccentPhrase> without = spokenAccent(QStringLiteral("箸が好きです。"));
    OpenJTalkSynth::setInstallation(installed);
    QVERIFY(without.isEmpty());
    if (!OpenJTalkSynth::available())
        QSKIP("Open JTalk is not installed");
    QCOMPARE(accentText(spokenAccent(QStringLiteral("箸が好きです。"))),
             QStringLiteral("ハ＼シガ スキ＼デス。"));
    const QString mixed = accentText(spokenAccent(QStringLiteral("CDを3枚買いました。")));
    QVERIFY2(mixed.startsWith(QStringLiteral("CD ")), qPrintable(mixed));
    QVERIFY2(mixed.contains(QStringLiteral("サン")), qPrintable(mixed));
}

void AccentPhrasesTest::spokenAccentSaysTheVoicesReading_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("counters") << QStringLiteral("鉛筆を3本と、20日に買いました。");
    QTest::newRow("date and time") << QStringLiteral("4月1日の9時5分です。");
    QTest::newRow("word rules") << QStringLiteral("あの方は明後日来ます。");
    QTest::newRow("Latin and a question") << QStringLiteral("CDは何枚ありますか？");
    QTest::newRow("two sentences") << QStringLiteral("はい。箸が好きです！");
}

// The line as the engine gives it to the voice (numbers and rule words in kana, Latin words
// apart): the morae of the accent are the voice's own reading of it, mark for mark.
void AccentPhrasesTest::spokenAccentSaysTheVoicesReading() {
    if (!OpenJTalkSynth::available())
        QSKIP("Open JTalk is not installed");
    QFETCH(QString, text);
    const EmbeddedVoice* voice = preferredVoices(true).front();
    QString reading = spokenReading(*voice, text);
    reading.replace(u'ヲ', u'オ').remove(u' '); // the particle as said
    QString accent = accentText(spokenAccent(text));
    accent.remove(u'＼').remove(u' ');
    QCOMPARE(accent, reading);
}

QTEST_MAIN(AccentPhrasesTest)
#include "tst_accentphrases.moc"
