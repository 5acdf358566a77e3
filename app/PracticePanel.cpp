#include "app/PracticePanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>

namespace lessora {

namespace {

// Caption, tooltip and accessible name of one control; the object name is its member name.
template <typename W> W* describe(W* widget, const char* name, const QString& tip) {
    widget->setObjectName(QLatin1String(name));
    widget->setToolTip(tip);
    widget->setAccessibleDescription(tip);
    return widget;
}

QComboBox* comboBox(QWidget* parent, const char* name, const QStringList& items, int current,
                    const QString& tip) {
    auto* box = describe(new QComboBox(parent), name, tip);
    box->addItems(items);
    box->setCurrentIndex(current);
    return box;
}

QCheckBox* checkBox(QWidget* parent, const char* name, const QString& caption, const QString& tip) {
    auto* box = describe(new QCheckBox(caption, parent), name, tip);
    box->setAccessibleName(QString(caption).remove(u'&'));
    return box;
}

// The panel's margins at the sides.
constexpr int kMarginLeft = 8;
constexpr int kMarginRight = 24;
// The longest progress a lesson of up to 999 lines shows.
const QString kLongestProgress = QStringLiteral("999/999行 10/10回 (5/5) あなたの番です");

} // namespace

const QString PracticePanel::kPeekHint =
    QStringLiteral("「この行を見る」を押している間、選んだ行をここに表示します");

PracticePanel::PracticePanel(QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("practicePanel"));
    cmbRole = comboBox(
        this, "cmbRole",
        {QStringLiteral("なし"), QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"),
         QStringLiteral("Q"), QStringLiteral("R"), QStringLiteral("S")},
        0, QStringLiteral("選んだ話者の行は読み上げず、あなたが答える時間になります"));
    chkModelAfterAnswer =
        checkBox(this, "chkModelAfterAnswer", QStringLiteral("答えの後に手本を聞く(&M)"),
                 QStringLiteral("答える時間の後に、その行を読み上げます"));
    cmbAnswerGap = comboBox(this, "cmbAnswerGap",
                            {QStringLiteral("1.0倍"), QStringLiteral("1.3倍"),
                             QStringLiteral("1.5倍"), QStringLiteral("2.0倍")},
                            kDefaultAnswerGapIndex,
                            QStringLiteral("答える時間: その行を読み上げる長さの何倍か"));
    cmbLineRepeat = comboBox(this, "cmbLineRepeat",
                             {QStringLiteral("1回"), QStringLiteral("2回"), QStringLiteral("3回"),
                              QStringLiteral("4回"), QStringLiteral("5回")},
                             0, QStringLiteral("1行を何回読み上げてから次の行に進むか"));
    chkShadowing = checkBox(
        this, "chkShadowing", QStringLiteral("シャドーイングの間(&H)"),
        QStringLiteral(
            "同じ行を繰り返す間に、後について言うための、その行と同じ長さの無音を入れます"));
    cmbJapaneseRate =
        comboBox(this, "cmbJapaneseRate",
                 {QStringLiteral("0.7倍"), QStringLiteral("0.8倍"), QStringLiteral("0.9倍"),
                  QStringLiteral("標準"), QStringLiteral("1.1倍"), QStringLiteral("1.25倍")},
                 kNormalJapaneseRateIndex, QStringLiteral("日本語の行を読み上げる速さ"));
    chkSlowestEnglish =
        checkBox(this, "chkSlowestEnglish", QStringLiteral("英語を0.7倍に(&E)"),
                 QStringLiteral("英語の行を「英語速度」より遅く、標準の0.7倍で読み上げます"));
    chkShowReadings = checkBox(this, "chkShowReadings", QStringLiteral("読みを表示(&Y)"),
                               QStringLiteral("日本語の行の下に、音声が読むかなを表示します"));
    btnPeek =
        describe(new QPushButton(QStringLiteral("この行を見る(&K)"), this), "btnPeek",
                 QStringLiteral("押している間だけ、選んでいる行のテキストと読みを表示します"));
    btnPeek->setAccessibleName(QStringLiteral("この行を見る"));
    lblPeek = describe(new QLabel(this), "lblPeek", QStringLiteral("のぞいている行"));
    lblPeek->setWordWrap(true);
    lblPeek->setMinimumHeight(3 * fontMetrics().height());
    lblPeek->setTextInteractionFlags(Qt::NoTextInteraction);
    lblPeek->setFrameShape(QFrame::StyledPanel);
    hidePeek();
    lblProgress = describe(new QLabel(this), "lblProgress", QStringLiteral("再生している位置"));
    // Larger now; bold from the first progress shown (showProgress), because loading the bold
    // face of a Japanese font costs megabytes that a window with nothing playing does not need.
    QFont progressFont = lblProgress->font();
    progressFont.setPointSizeF(progressFont.pointSizeF() * 1.2);
    lblProgress->setFont(progressFont);
    // One line of a fixed height: a longer text must never wrap and push the panel down.
    lblProgress->setWordWrap(false);
    lblProgress->setFixedHeight(QFontMetrics(progressFont).height() + 4);

    btnExportAudio = describe(
        new QPushButton(QStringLiteral("音声ファイルに書き出す(&W)…"), this), "btnExportAudio",
        QStringLiteral("教材を、今の音声・間・回数・速さ・練習の設定のまま、1つの音声ファイル"
                       "(MP3、Opus、FLAC、WAV)に書き出します"));
    btnExportAudio->setAccessibleName(QStringLiteral("音声ファイルに書き出す"));
    chkExportClips = checkBox(this, "chkExportClips", QStringLiteral("行ごとのファイルも(&L)"),
                              QStringLiteral("各行を別のファイルにし、単語カード用の一覧 "
                                             "index.tsv も書き出します"));

    // Top to bottom in tab order: where playback is, role-play, line drill, speeds, readings.
    auto* form = new QFormLayout(this);
    form->setContentsMargins(kMarginLeft, 14, kMarginRight, 8);
    form->setRowWrapPolicy(QFormLayout::DontWrapRows);
    const auto addRow = [this, form](const QString& caption, QComboBox* box) {
        auto* label = new QLabel(caption, this);
        label->setBuddy(box);
        box->setAccessibleName(QString(caption).remove(u'&'));
        form->addRow(label, box);
    };
    form->addRow(lblProgress);
    addRow(QStringLiteral("練習する話者(&R)"), cmbRole);
    form->addRow(chkModelAfterAnswer);
    addRow(QStringLiteral("答える時間(&T)"), cmbAnswerGap);
    addRow(QStringLiteral("1行の回数(&N)"), cmbLineRepeat);
    form->addRow(chkShadowing);
    addRow(QStringLiteral("日本語速度(&J)"), cmbJapaneseRate);
    form->addRow(chkSlowestEnglish);
    form->addRow(chkShowReadings);
    form->addRow(btnPeek);
    form->addRow(lblPeek);
    form->addRow(btnExportAudio);
    form->addRow(chkExportClips);

    connect(btnPeek, &QPushButton::pressed, this, [this] { emit peekHeld(true); });
    connect(btnPeek, &QPushButton::released, this, [this] { emit peekHeld(false); });
    connect(chkShowReadings, &QCheckBox::toggled, this, &PracticePanel::readingsToggled);
    connect(btnExportAudio, &QPushButton::clicked, this, &PracticePanel::exportRequested);
    for (QComboBox* box : {cmbRole, cmbAnswerGap, cmbLineRepeat, cmbJapaneseRate})
        connect(box, &QComboBox::currentIndexChanged, this, &PracticePanel::settingsChanged);
    for (QCheckBox* box : {chkModelAfterAnswer, chkShadowing, chkSlowestEnglish, chkShowReadings})
        connect(box, &QCheckBox::toggled, this, &PracticePanel::settingsChanged);
}

void PracticePanel::addChoicesTo(PlaybackChoices& choices) const {
    choices.japaneseRateIndex = cmbJapaneseRate->currentIndex();
    choices.slowestEnglish = chkSlowestEnglish->isChecked();
    PracticeOptions& practice = choices.practice;
    practice.role = cmbRole->currentIndex() > 0 ? cmbRole->currentText() : QString();
    practice.modelAfterAnswer = chkModelAfterAnswer->isChecked();
    practice.answerGapPercent = answerGapPercentForIndex(cmbAnswerGap->currentIndex());
    practice.lineRepeats = cmbLineRepeat->currentIndex() + 1;
    practice.shadowingGap = chkShadowing->isChecked();
}

PracticeSettings PracticePanel::settings() const {
    PracticeSettings settings;
    settings.japaneseRateIndex = cmbJapaneseRate->currentIndex();
    settings.slowestEnglish = chkSlowestEnglish->isChecked();
    settings.role = cmbRole->currentIndex() > 0 ? cmbRole->currentText() : QString();
    settings.modelAfterAnswer = chkModelAfterAnswer->isChecked();
    settings.answerGapIndex = cmbAnswerGap->currentIndex();
    settings.lineRepeatCount = cmbLineRepeat->currentIndex() + 1;
    settings.shadowingGap = chkShadowing->isChecked();
    settings.showReadings = chkShowReadings->isChecked();
    return settings;
}

void PracticePanel::applyStored(const StoredPracticeSettings& stored) {
    // Every setting the lesson does not give (or gives out of range) goes back to its default,
    // so that nothing of the lesson before is carried over.
    const PracticeSettings settings = practiceSettingsOf(stored);
    cmbJapaneseRate->setCurrentIndex(settings.japaneseRateIndex);
    cmbAnswerGap->setCurrentIndex(settings.answerGapIndex);
    cmbLineRepeat->setCurrentIndex(settings.lineRepeatCount - 1);
    cmbRole->setCurrentIndex(std::max(cmbRole->findText(settings.role), 0));
    chkSlowestEnglish->setChecked(settings.slowestEnglish);
    chkModelAfterAnswer->setChecked(settings.modelAfterAnswer);
    chkShadowing->setChecked(settings.shadowingGap);
    chkShowReadings->setChecked(settings.showReadings);
}

void PracticePanel::showProgress(const PlaybackProgress& progress) {
    const QString text = progressText(progress);
    if (!text.isEmpty() && !lblProgress->font().bold()) {
        QFont bold = lblProgress->font();
        bold.setBold(true);
        // Small enough for the longest text there is to stay on its line.
        const int room = kWidth - kMarginLeft - kMarginRight;
        while (bold.pointSizeF() > 6 &&
               QFontMetrics(bold).horizontalAdvance(kLongestProgress) > room)
            bold.setPointSizeF(bold.pointSizeF() - 0.5);
        lblProgress->setFont(bold);
    }
    lblProgress->setText(text);
    lblProgress->setAccessibleName(lblProgress->text());
}

void PracticePanel::showPeek(const QString& text, const QString& reading) {
    lblPeek->setForegroundRole(QPalette::WindowText);
    lblPeek->setText(reading.isEmpty() ? text : text + QChar(u'\n') + reading);
}

void PracticePanel::hidePeek() {
    lblPeek->setForegroundRole(QPalette::PlaceholderText);
    lblPeek->setText(kPeekHint);
}

QList<QWidget*> PracticePanel::tabOrder() const {
    return {cmbRole,      chkModelAfterAnswer, cmbAnswerGap,      cmbLineRepeat,
            chkShadowing, cmbJapaneseRate,     chkSlowestEnglish, chkShowReadings,
            btnPeek,      btnExportAudio,      chkExportClips};
}

} // namespace lessora
