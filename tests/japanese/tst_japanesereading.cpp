#include "japanese/JapaneseReader.h"
#include "japanese/JapaneseReading.h"
#include "japanese/MecabTagger.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTest>
#include <thread>
#include <vector>

using namespace lessora;
using Kind = ReadingSegment::Kind;

namespace lessora {
// How QCOMPARE shows a segment that differs.
char* toString(const ReadingSegment& segment) {
    const QString kind = segment.kind == Kind::Latin ? "Latin" : "Japanese";
    return qstrdup((kind + ": " + segment.text).toUtf8().constData());
}
} // namespace lessora

class TestJapaneseReading : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void reading_data();
    void reading();
    void contextRules_data();
    void contextRules();
    void longVowelsWrittenAsSaid_data();
    void longVowelsWrittenAsSaid();
    void openJTalkReading_data() { contextRules_data(); }
    void openJTalkReading();
    void openJTalkSegmentsGiveKanjiAsWritten();
    void dialogueSentences();
    void segments_data();
    void segments();
    void withoutDictionary();
    void dictionaryMustBeUtf8();
    void readsFromSeveralThreads();
};

void TestJapaneseReading::initTestCase() {
    if (!japaneseDictionaryAvailable())
        QSKIP(qPrintable("MeCab dictionary missing: " + japaneseDictionaryProblem()));
}

void TestJapaneseReading::reading_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    // clang-format off

    // Sentences the voices have always read.
    QTest::newRow("weather") << "今日はいい天気ですね。" << "キョーワイイテンキデスネ。";
    QTest::newRow("agreeing") << "そうですね。" << "ソーデスネ。";
    QTest::newRow("test sentence") << "これは音声のテストです。" << "コレワオンセイノテストデス。";
    QTest::newRow("Tokyo") << "私は東京へ行きます。" << "ワタシワトーキョーエイキマス。";
    QTest::newRow("digits and Latin") << "私はCDを3枚買いました。" << "ワタシワCDヲサンマイカイマシタ。";
    QTest::newRow("full-width") << "ＣＤを３枚" << "CDヲサンマイ";
    QTest::newRow("half-width kana") << "ｶﾞｲﾄﾞ" << "ガイド";

    // Numbers: 百 and 千 change after some digits; digits with or without separators.
    QTest::newRow("hundred") << "百" << "ヒャク";
    QTest::newRow("300") << "三百" << "サンビャク";
    QTest::newRow("600") << "六百" << "ロッピャク";
    QTest::newRow("800") << "八百" << "ハッピャク";
    QTest::newRow("3000") << "三千" << "サンゼン";
    QTest::newRow("8000") << "八千" << "ハッセン";
    QTest::newRow("10000") << "一万" << "イチマン";
    QTest::newRow("10 million") << "一千万円" << "イッセンマンエン";
    QTest::newRow("big number") << "12345678" << "センニヒャクサンジューヨンマンゴセンロッピャクナナジューハチ";
    QTest::newRow("trillion") << "1兆円" << "イッチョーエン";
    QTest::newRow("year in digits") << "2024年" << "ニセンニジューヨネン";
    QTest::newRow("year in kanji digits") << "二〇二四年" << "ニセンニジューヨネン";
    QTest::newRow("separated") << "1,500円" << "センゴヒャクエン";
    QTest::newRow("unseparated") << "1500円" << "センゴヒャクエン";
    QTest::newRow("full-width digits") << "１５００円" << "センゴヒャクエン";
    QTest::newRow("digits with kanji units") << "1万5千円" << "イチマンゴセンエン";
    QTest::newRow("decimal") << "1.5キロ" << "イッテンゴキロ";
    QTest::newRow("telephone") << "03-1234-5678" << "ゼロサンノイチニサンヨンノゴロクナナハチ";
    QTest::newRow("telephone typed with ー") << "03ー1234ー5678" << "ゼロサンノイチニサンヨンノゴロクナナハチ";

    // Counters: the number and the counter change together.
    QTest::newRow("1本") << "一本" << "イッポン";
    QTest::newRow("3本") << "三本" << "サンボン";
    QTest::newRow("6本") << "六本" << "ロッポン";
    QTest::newRow("10本") << "十本" << "ジュッポン";
    QTest::newRow("300本") << "三百本" << "サンビャッポン";
    QTest::newRow("1杯") << "一杯" << "イッパイ";
    QTest::newRow("3匹") << "三匹" << "サンビキ";
    QTest::newRow("4分") << "4分" << "ヨンプン";
    QTest::newRow("3階") << "三階" << "サンガイ";
    QTest::newRow("1回") << "一回" << "イッカイ";
    QTest::newRow("8歳") << "八歳" << "ハッサイ";
    QTest::newRow("1冊") << "一冊" << "イッサツ";
    QTest::newRow("6個") << "六個" << "ロッコ";
    QTest::newRow("4枚") << "四枚" << "ヨンマイ";
    QTest::newRow("9台") << "九台" << "キューダイ";
    QTest::newRow("4円") << "四円" << "ヨエン";
    QTest::newRow("1ヶ月") << "1ヶ月" << "イッカゲツ";

    // Native counts and special words.
    QTest::newRow("1人") << "一人" << "ヒトリ";
    QTest::newRow("2人") << "二人" << "フタリ";
    QTest::newRow("4人") << "四人" << "ヨニン";
    QTest::newRow("2日") << "二日" << "フツカ";
    QTest::newRow("10日") << "十日" << "トオカ";
    QTest::newRow("14日") << "十四日" << "ジューヨッカ";
    QTest::newRow("20日") << "二十日" << "ハツカ";
    QTest::newRow("24日") << "24日" << "ニジューヨッカ";
    QTest::newRow("3日間") << "三日間" << "ミッカカン";
    QTest::newRow("20歳") << "二十歳" << "ハタチ";
    QTest::newRow("つ in digits") << "3つ" << "ミッツ";
    QTest::newRow("counting to ten") << "一つ、二つ、十" << "ヒトツ、フタツ、トオ";

    // Hours and months.
    QTest::newRow("4時") << "四時" << "ヨジ";
    QTest::newRow("7時") << "七時" << "シチジ";
    QTest::newRow("9時") << "九時" << "クジ";
    QTest::newRow("half past") << "十時半" << "ジュージハン";
    QTest::newRow("clock time") << "9:30に" << "クジサンジュップンニ";
    QTest::newRow("full hour") << "７：００" << "シチジ";
    QTest::newRow("fraction") << "3分の1" << "サンブンノイチ";
    QTest::newRow("4月") << "4月" << "シガツ";
    QTest::newRow("7月") << "七月" << "シチガツ";
    QTest::newRow("9月") << "9月" << "クガツ";

    // 何 with a counter.
    QTest::newRow("何人") << "何人" << "ナンニン";
    QTest::newRow("何時") << "何時ですか" << "ナンジデスカ";
    QTest::newRow("何分") << "何分" << "ナンプン";
    QTest::newRow("何本") << "何本" << "ナンボン";
    QTest::newRow("何百") << "何百円" << "ナンビャクエン";
    QTest::newRow("何 alone") << "何がいいですか" << "ナニガイイデスカ";

    // Readings chosen by the words around them.
    QTest::newRow("first of the month") << "四月一日" << "シガツツイタチ";
    QTest::newRow("first of next month") << "来月の1日に" << "ライゲツノツイタチニ";
    QTest::newRow("one day") << "一日中" << "イチニチジュー";
    QTest::newRow("per day") << "一日に三回" << "イチニチニサンカイ";
    QTest::newRow("ten minutes past") << "三時十分" << "サンジジュップン";
    QTest::newRow("enough") << "十分です" << "ジューブンデス";

    // Counters inside a clause.
    QTest::newRow("coffee") << "コーヒーを二杯お願いします。" << "コーヒーヲニハイオネガイシマス。";
    QTest::newRow("cats") << "猫が三匹います。" << "ネコガサンビキイマス。";
    QTest::newRow("getting up") << "毎朝七時に起きます。" << "マイアサシチジニオキマス。";
    QTest::newRow("price") << "このりんごは一つ百円です。" << "コノリンゴワヒトツヒャクエンデス。";
    QTest::newRow("birthday") << "誕生日は4月20日です。" << "タンジョービワシガツハツカデス。";
    QTest::newRow("bottles") << "三人で六本飲みました。" << "サンニンデロッポンノミマシタ。";

    QTest::newRow("Japan") << "日本人です" << "ニホンジンデス";

    // Words without a reading are left out rather than spelled.
    QTest::newRow("unknown kanji") << "鬱です。" << "デス。";
    QTest::newRow("spaces") << "はい　そうです" << "ハイ ソーデス";
    QTest::newRow("empty") << "" << "";
    // clang-format on
}

void TestJapaneseReading::reading() {
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(japaneseReading(text), expected);
}

// Words the dictionaries' first choice gets wrong in dialogue, and signs a Japanese speaker says
// as words. The same table is read by both dictionaries: the one of the espeak-ng voices and
// Open JTalk's.
void TestJapaneseReading::contextRules_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    // clang-format off

    // 何 before a copula or counter is ナン; before other words, and in 何色 and 何語, ナニ.
    QTest::newRow("何です") << "これは何ですか。" << "コレワナンデスカ。";
    QTest::newRow("何だ") << "それは何だ。" << "ソレワナンダ。";
    QTest::newRow("何でしょう") << "何でしょうか。" << "ナンデショーカ。";
    QTest::newRow("何の") << "何の本ですか。" << "ナンノホンデスカ。";
    QTest::newRow("何と") << "名前は何といいますか。" << "ナマエワナントイイマスカ。";
    QTest::newRow("何曜日") << "何曜日に会いましょうか。" << "ナンヨービニアイマショーカ。";
    QTest::newRow("何を") << "何を食べますか。" << "ナニヲタベマスカ。";
    QTest::newRow("何か") << "何か飲みますか。" << "ナニカノミマスカ。";
    QTest::newRow("何色") << "何色が好きですか。" << "ナニイロガスキデスカ。";
    QTest::newRow("何語") << "何語を話しますか。" << "ナニゴヲハナシマスカ。";

    // 方 after a demonstrative is a person, unless it compares.
    QTest::newRow("あの方") << "あの方はどなたですか。" << "アノカタワドナタデスカ。";
    QTest::newRow("その方に") << "その方に聞いてください。" << "ソノカタニキイテクダサイ。";
    QTest::newRow("この方が (person)") << "この方が田中さんです。" << "コノカタガタナカサンデス。";
    QTest::newRow("この方がいい") << "この方がいいです。" << "コノホーガイイデス。";
    QTest::newRow("駅の方") << "駅の方へ行きます。" << "エキノホーエイキマス。";

    // Everyday time words as said in conversation.
    QTest::newRow("明後日") << "明後日、また来ます。" << "アサッテ、マタキマス。";
    QTest::newRow("一昨年") << "一昨年、京都に行きました。" << "オトトシ、キョートニイキマシタ。";
    QTest::newRow("一昨日") << "一昨日から熱があります。" << "オトトイカラネツガアリマス。";
    QTest::newRow("昨夜") << "昨夜はよく眠れましたか。" << "ユーベワヨクネムレマシタカ。";
    QTest::newRow("今朝") << "今朝は寒かったです。" << "ケサワサムカッタデス。";

    // Verbs and adjectives read by their subject.
    QTest::newRow("雪が降り") << "雪が降りました。" << "ユキガフリマシタ。";
    QTest::newRow("雨が降り") << "雨が降りそうです。" << "アメガフリソーデス。";
    QTest::newRow("バスを降り") << "バスを降りてください。" << "バスヲオリテクダサイ。";
    QTest::newRow("お腹が空い") << "お腹が空いています。" << "オナカガスイテイマス。";
    QTest::newRow("席が空い") << "席が空いていますか。" << "セキガアイテイマスカ。";
    QTest::newRow("窓が開い") << "窓が開いています。" << "マドガアイテイマス。";
    QTest::newRow("カレーが辛い") << "このカレーは辛いです。" << "コノカレーワカライデス。";
    QTest::newRow("別れが辛い") << "別れるのは辛いです。" << "ワカレルノワツライデス。";
    QTest::newRow("角を曲がる") << "次の角を右に曲がってください。" << "ツギノカドヲミギニマガッテクダサイ。";

    // Minutes against "enough", fractions against minutes.
    QTest::newRow("あと十分") << "あと十分で着きます。" << "アトジュップンデツキマス。";
    QTest::newRow("十分に") << "十分に気をつけてください。" << "ジューブンニキヲツケテクダサイ。";
    QTest::newRow("5分の電車") << "9時5分の電車に乗ります。" << "クジゴフンノデンシャニノリマス。";
    QTest::newRow("2分の1") << "2分の1に切ってください。" << "ニブンノイチニキッテクダサイ。";

    // Signs, currency, fractions and dates with slashes.
    QTest::newRow("minus decimal") << "気温は-5.5度です。" << "キオンワマイナスゴテンゴドデス。";
    QTest::newRow("minus") << "今朝は-3度でした。" << "ケサワマイナスサンドデシタ。";
    QTest::newRow("yen sign") << "¥1000です。" << "センエンデス。";
    QTest::newRow("full-width yen sign") << "￥500のお弁当です。" << "ゴヒャクエンノオベントーデス。";
    QTest::newRow("dollar") << "$5です。" << "ゴドルデス。";
    QTest::newRow("half") << "1/2の確率です。" << "ニブンノイチノカクリツデス。";
    QTest::newRow("three quarters") << "全体の3/4です。" << "ゼンタイノヨンブンノサンデス。";
    QTest::newRow("month and day") << "12/25に会いましょう。" << "ジューニガツニジューゴニチニアイマショー。";
    QTest::newRow("May 3") << "5/3は休みです。" << "ゴガツミッカワヤスミデス。";
    QTest::newRow("full date") << "2023/11/3に結婚しました。" << "ニセンニジューサンネンジューイチガツミッカニケッコンシマシタ。";
    QTest::newRow("range is no minus") << "3-5人" << "サンノゴニン";
    QTest::newRow("telephone is no minus") << "03-1234-5678" << "ゼロサンノイチニサンヨンノゴロクナナハチ";
    // clang-format on
}

namespace {
// The two dictionaries spell some long vowels apart (センセイ, センセー; トオカ, トーカ) and ヅ as
// ズ, which sound alike.
QString sounds(QString katakana) {
    static const QRegularExpression ei(QStringLiteral("([エケセテネヘメレゲゼデベペ])イ"));
    static const QRegularExpression ou(QStringLiteral("([オコソトノホモヨロゴゾドボポョ])[ウオ]"));
    return katakana.replace(ei, QStringLiteral("\\1ー"))
        .replace(ou, QStringLiteral("\\1ー"))
        .replace(u'ヅ', u'ズ')
        .replace(u'ヂ', u'ジ');
}
} // namespace

void TestJapaneseReading::contextRules() {
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(sounds(japaneseReading(text)), sounds(expected));
    // A weekday after it makes a date of what would be a fraction.
    QVERIFY(japaneseReading("1/2(月)").startsWith("イチガツフツカ"));
}

// Readings showed オハヨー beside イキマショウ: a lengthened vowel is always ー, separate vowels
// stay as they are. Compared exactly, not by sound.
void TestJapaneseReading::longVowelsWrittenAsSaid_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("within a word") << "おはよう。"
                                   << "オハヨー。";
    QTest::newRow("volitional") << "行きましょう。"
                                << "イキマショー。";
    QTest::newRow("conjecture") << "雨でしょう。"
                                << "アメデショー。";
    QTest::newRow("plain volitional") << "会おう。"
                                      << "アオー。";
    QTest::newRow("separate vowels of a verb") << "思う。"
                                               << "オモウ。";
    QTest::newRow("after another vowel") << "買う。"
                                         << "カウ。";
}

void TestJapaneseReading::longVowelsWrittenAsSaid() {
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(japaneseReading(text), expected);
    if (MecabTagger::openJTalkDictionary())
        QCOMPARE(lessora::openJTalkReading(text), expected);
}

void TestJapaneseReading::openJTalkReading() {
    if (!MecabTagger::openJTalkDictionary())
        QSKIP("Open JTalk's dictionary is not installed (open-jtalk-mecab-naist-jdic)");
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(sounds(lessora::openJTalkReading(text)), sounds(expected));
}

// Words the dictionary reads right go to Open JTalk as written (its accent comes from them);
// numbers and words read by a rule go as kana; digits never, since its own number rules would
// change the words around them.
void TestJapaneseReading::openJTalkSegmentsGiveKanjiAsWritten() {
    if (!MecabTagger::openJTalkDictionary())
        QSKIP("Open JTalk's dictionary is not installed (open-jtalk-mecab-naist-jdic)");
    const QList<ReadingSegment> segments =
        openJTalkSegments("雨が3本の木に。雪が降りました。Thank you!");
    QCOMPARE(segments.size(), 2);
    QCOMPARE(segments[1], (ReadingSegment{Kind::Latin, "Thank you!"}));
    const QString given = segments[0].text;
    QVERIFY2(given.startsWith("雨が") && given.contains("の木に"), qPrintable(given));
    QVERIFY2(!given.contains(QRegularExpression("[0-9０-９]")), qPrintable(given));
    QVERIFY2(given.contains("さんぼん") || given.contains("サンボン"), qPrintable(given));
    // 降り of rain is フリ, a rule's reading: given as kana.
    QVERIFY2(!given.contains("降り"), qPrintable(given));
}

void TestJapaneseReading::segments_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<ReadingSegment>>("expected");

    QTest::newRow("Japanese only")
        << "そうですね。" << QList<ReadingSegment>{{Kind::Japanese, "ソーデスネ。"}};
    QTest::newRow("Latin inside") << "私はCDを3枚買いました。"
                                  << QList<ReadingSegment>{
                                         {Kind::Japanese, "ワタシワ"},
                                         {Kind::Latin, "CD"},
                                         {Kind::Japanese, "ヲサンマイカイマシタ。"}};
    QTest::newRow("Latin words together")
        << "New Yorkに行きたい"
        << QList<ReadingSegment>{{Kind::Latin, "New York"}, {Kind::Japanese, "ニイキタイ"}};
    QTest::newRow("abbreviation and end punctuation stay English")
        << "はい、Mr. Smith."
        << QList<ReadingSegment>{{Kind::Japanese, "ハイ、"}, {Kind::Latin, "Mr. Smith."}};
    QTest::newRow("punctuation alone is not spoken")
        << "Thank you。" << QList<ReadingSegment>{{Kind::Latin, "Thank you"}};
    QTest::newRow("nothing to say") << "「」" << QList<ReadingSegment>{};
    QTest::newRow("address for the English voice")
        << "メールはtest@example.comまで。"
        << QList<ReadingSegment>{{Kind::Japanese, "メールワ"},
                                 {Kind::Latin, "test@example.com"},
                                 {Kind::Japanese, "マデ。"}};
}

void TestJapaneseReading::segments() {
    QFETCH(QString, text);
    QFETCH(QList<ReadingSegment>, expected);
    QCOMPARE(japaneseSpeechSegments(text), expected);
}

// Without MeCab: kana are read as written, kanji pass through, digits are still numbers.
void TestJapaneseReading::withoutDictionary() {
    const JapaneseReader reader(nullptr);
    QCOMPARE(reader.reading("今日は3本です。"), "今日ハサンボンデス。");
    QCOMPARE(reader.reading("ＯＫ、1,500円♪"), "OK、センゴヒャクエン");
    QCOMPARE(reader.segments("Taroです"),
             (QList<ReadingSegment>{{Kind::Latin, "Taro"}, {Kind::Japanese, "デス"}}));
}

void TestJapaneseReading::dictionaryMustBeUtf8() {
    QString problem;
    QVERIFY(!MecabTagger::open("/nonexistent/dictionary", &problem));
    QVERIFY(problem.contains("/nonexistent/dictionary"));
    // Debian's plain ipadic is EUC-JP: refused rather than read as garbage.
    const QString eucJp = "/var/lib/mecab/dic/ipadic";
    if (!QFileInfo::exists(eucJp + "/sys.dic"))
        QSKIP("no EUC-JP dictionary installed");
    problem.clear();
    QVERIFY(!MecabTagger::open(eucJp, &problem));
    QVERIFY2(problem.contains("not UTF-8"), qPrintable(problem));
}

// The engine reads on its synthesis thread while the program may read on another.
void TestJapaneseReading::readsFromSeveralThreads() {
    const QString text = "猫が三匹、犬が二匹います。";
    const QString expected = japaneseReading(text);
    std::vector<QString> results(4);
    std::vector<std::thread> threads;
    for (QString& result : results)
        threads.emplace_back([&result, &text] {
            for (int i = 0; i < 200; ++i)
                result = japaneseReading(text);
        });
    for (std::thread& thread : threads)
        thread.join();
    for (const QString& result : results)
        QCOMPARE(result, expected);
}

// Ordinary dialogue sentences with dates, counters, sound changes, signs and homographs, read
// by both dictionaries exactly as a textbook reads them.
void TestJapaneseReading::dialogueSentences() {
    QFile file(QStringLiteral(LESSORA_TEST_DATA "/dialogue_readings.tsv"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QList<QStringList> cases;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(u'\n'))
        if (!line.isEmpty() && !line.startsWith(u'#'))
            cases << line.split(u'\t');
    QVERIFY(cases.size() >= 200);
    QStringList wrong;
    const bool openJTalk = MecabTagger::openJTalkDictionary() != nullptr;
    for (const QStringList& entry : cases) {
        QCOMPARE(entry.size(), 2);
        const QString expected = sounds(entry[1]);
        if (const QString read = japaneseReading(entry[0]); sounds(read) != expected)
            wrong << entry[0] + " → " + read;
        if (!openJTalk)
            continue;
        if (const QString read = lessora::openJTalkReading(entry[0]); sounds(read) != expected)
            wrong << entry[0] + " → " + read + " (Open JTalk's dictionary)";
    }
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(u'\n')));
}

QTEST_GUILESS_MAIN(TestJapaneseReading)
#include "tst_japanesereading.moc"
