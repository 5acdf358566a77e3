#include "app/PracticePanel.h"

#include "app/AccentDrawing.h"
#include "lesson/LessonOptions.h"
#include "lesson/LessonSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace lessora {

namespace {

// Caption, tooltip and accessible name of one control; the object name is its member name.
template <typename W> W* describe(W* widget, const char* name, const QString& tip) {
    widget->setObjectName(QLatin1String(name));
    widget->setToolTip(tip);
    widget->setAccessibleDescription(tip);
    return widget;
}

QComboBox* comboBox(QWidget* parent, const char* name, const OptionList& list, const QString& tip) {
    auto* box = describe(new QComboBox(parent), name, tip);
    box->addItems(list.labels());
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

// The peek box: a label, whose reading is drawn with its accent marks when it has phrases. The
// label's own text keeps the reading's text form in its place, so that it is laid out and read
// out as the drawing is.
class PeekLabel : public QLabel {
public:
    using QLabel::QLabel;

    void setLine(const QString& text, const QString& reading, const QList<AccentPhrase>& accent) {
        m_text = text;
        m_accent = accent;
        const QString shownReading = accent.isEmpty() ? reading : accentAccessibleText(accent);
        setText(shownReading.isEmpty() ? text : text + QChar(u'\n') + shownReading);
    }
    void clearLine() { m_accent.clear(); }

protected:
    void paintEvent(QPaintEvent* event) override {
        if (m_accent.isEmpty()) {
            QLabel::paintEvent(event);
            return;
        }
        QFrame::paintEvent(event);
        QPainter painter(this);
        const QRect room = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
        const int lineHeight = fontMetrics().height();
        const QRect textRect = fontMetrics().boundingRect(room, Qt::TextWordWrap, m_text);
        // Centred as a whole, as the label centres its text.
        const int top =
            room.top() + std::max(0, (room.height() - textRect.height() - lineHeight) / 2);
        painter.setPen(palette().color(foregroundRole()));
        painter.drawText(QRect(room.left(), top, room.width(), textRect.height()),
                         Qt::AlignLeft | Qt::TextWordWrap, m_text);
        QPalette marks = palette();
        marks.setColor(QPalette::Text, palette().color(foregroundRole()));
        drawAccentReading(painter,
                          QRect(room.left(), top + textRect.height(), room.width(), lineHeight),
                          font(), marks, m_accent);
    }

private:
    QString m_text;
    QList<AccentPhrase> m_accent;
};

const QString PracticePanel::kPeekHint =
    QStringLiteral("「この行を見る」を押している間、選んだ行をここに表示します");

PracticePanel::PracticePanel(CurrentLessonSettings& settings, QWidget* parent)
    : QWidget(parent)
    , m_settings(settings) {
    setObjectName(QStringLiteral("practicePanel"));
    cmbRole = comboBox(this, "cmbRole", options::kRole,
                       QStringLiteral("選んだ話者の行は読み上げず、あなたが答える時間になります"));
    chkModelAfterAnswer =
        checkBox(this, "chkModelAfterAnswer", QStringLiteral("答えの後に手本を聞く(&M)"),
                 QStringLiteral("答える時間の後に、その行を読み上げます"));
    cmbAnswerGap = comboBox(this, "cmbAnswerGap", options::kAnswerGap,
                            QStringLiteral("答える時間: その行を読み上げる長さの何倍か"));
    cmbLineRepeat = comboBox(this, "cmbLineRepeat", options::kLineRepeat,
                             QStringLiteral("1行を何回読み上げてから次の行に進むか"));
    chkShadowing = checkBox(
        this, "chkShadowing", QStringLiteral("シャドーイングの間(&H)"),
        QStringLiteral(
            "同じ行を繰り返す間に、後について言うための、その行と同じ長さの無音を入れます"));
    cmbJapaneseRate = comboBox(this, "cmbJapaneseRate", options::kJapaneseRate,
                               QStringLiteral("日本語の行を読み上げる速さ"));
    chkSlowestEnglish =
        checkBox(this, "chkSlowestEnglish", QStringLiteral("英語を0.7倍に(&E)"),
                 QStringLiteral("英語の行を「英語速度」より遅く、標準の0.7倍で読み上げます"));
    chkShowReadings = checkBox(this, "chkShowReadings", QStringLiteral("読みを表示(&Y)"),
                               QStringLiteral("日本語の行の下に、音声が読むかなを表示します"));
    chkShowAccent = checkBox(
        this, "chkShowAccent", QStringLiteral("アクセントを表示(&A)"),
        QStringLiteral("読みの上に、音声が話す高さ(高い拍の上の線、下がる所のかぎ)を表示します"));
    btnPeek =
        describe(new QPushButton(QStringLiteral("この行を見る(&K)"), this), "btnPeek",
                 QStringLiteral("押している間だけ、選んでいる行のテキストと読みを表示します"));
    btnPeek->setAccessibleName(QStringLiteral("この行を見る"));
    lblPeek = describe(new PeekLabel(this), "lblPeek", QStringLiteral("のぞいている行"));
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

    btnCompare =
        describe(new QPushButton(tr("聞き比べる(&C)…"), this), "btnCompare",
                 tr("選んだ行の手本とあなたの最新の録音を、波形と声の高さで並べて比べます"));
    btnCompare->setAccessibleName(tr("聞き比べる"));

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
    // Below the others, in the panel's free room, so that none of them moves.
    form->addRow(chkShowAccent);
    // Speaking and comparing: a block of their own, outside the form and anchored to the
    // panel's bottom edge (resizeEvent), in the room the form leaves free there, so that adding
    // to it moves none of the controls above.
    speakingBlock = new QWidget(this);
    speakingBlock->setObjectName(QStringLiteral("speakingBlock"));
    auto* speaking = new QVBoxLayout(speakingBlock);
    speaking->setContentsMargins(0, 0, 0, 0);
    speaking->addWidget(btnCompare);
    btnCompare->setParent(speakingBlock);

    connect(btnPeek, &QPushButton::pressed, this, [this] { emit peekHeld(true); });
    connect(btnPeek, &QPushButton::released, this, [this] { emit peekHeld(false); });
    connect(chkShowReadings, &QCheckBox::toggled, this, &PracticePanel::readingsToggled);
    connect(chkShowAccent, &QCheckBox::toggled, this, &PracticePanel::accentToggled);
    connect(btnExportAudio, &QPushButton::clicked, this, &PracticePanel::exportRequested);
    connect(btnCompare, &QPushButton::clicked, this, &PracticePanel::compareRequested);
    wireSettings();
}

void PracticePanel::wireSettings() {
    CurrentLessonSettings* settings = &m_settings;
    connect(cmbRole, &QComboBox::currentIndexChanged, settings, [this](int index) {
        m_settings.setRole(index > 0 ? cmbRole->itemText(index) : QString());
    });
    connect(chkModelAfterAnswer, &QCheckBox::toggled, settings,
            &CurrentLessonSettings::setModelAfterAnswer);
    connect(cmbAnswerGap, &QComboBox::currentIndexChanged, settings,
            &CurrentLessonSettings::setAnswerGapIndex);
    connect(cmbLineRepeat, &QComboBox::currentIndexChanged, settings,
            [this](int index) { m_settings.setLineRepeatCount(index + 1); });
    connect(chkShadowing, &QCheckBox::toggled, settings, &CurrentLessonSettings::setShadowingGap);
    connect(cmbJapaneseRate, &QComboBox::currentIndexChanged, settings,
            &CurrentLessonSettings::setJapaneseRateIndex);
    connect(chkSlowestEnglish, &QCheckBox::toggled, settings,
            &CurrentLessonSettings::setSlowestEnglish);
    connect(chkShowReadings, &QCheckBox::toggled, settings,
            &CurrentLessonSettings::setShowReadings);
    connect(chkShowAccent, &QCheckBox::toggled, settings, &CurrentLessonSettings::setShowAccent);
    connect(settings, &CurrentLessonSettings::changed, this, &PracticePanel::showSettings);
    showSettings();
}

void PracticePanel::showSettings() {
    // Setting a control to what it shows already emits nothing, so this ends here.
    const PracticeSettings& practice = m_settings.practice();
    cmbJapaneseRate->setCurrentIndex(practice.japaneseRateIndex);
    cmbAnswerGap->setCurrentIndex(practice.answerGapIndex);
    cmbLineRepeat->setCurrentIndex(practice.lineRepeatCount - 1);
    cmbRole->setCurrentIndex(
        practice.role.isEmpty() ? 0 : std::max(cmbRole->findText(practice.role), 0));
    chkSlowestEnglish->setChecked(practice.slowestEnglish);
    chkModelAfterAnswer->setChecked(practice.modelAfterAnswer);
    chkShadowing->setChecked(practice.shadowingGap);
    chkShowReadings->setChecked(practice.showReadings);
    chkShowAccent->setChecked(practice.showAccent);
    // The marks go over the readings: without them, there is nothing to mark.
    chkShowAccent->setEnabled(practice.showReadings);
}

void PracticePanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int blockHeight = speakingBlock->sizeHint().height();
    speakingBlock->setGeometry(kMarginLeft, height() - blockHeight - 2,
                               width() - kMarginLeft - kMarginRight, blockHeight);
}

bool PracticePanel::exportClips() const {
    return chkExportClips->isChecked();
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

void PracticePanel::showPeek(const QString& text, const QString& reading,
                             const QList<AccentPhrase>& accent) {
    lblPeek->setForegroundRole(QPalette::WindowText);
    lblPeek->setLine(text, reading, accent);
}

void PracticePanel::hidePeek() {
    lblPeek->clearLine();
    lblPeek->setForegroundRole(QPalette::PlaceholderText);
    lblPeek->setText(kPeekHint);
}

QList<QWidget*> PracticePanel::tabOrder() const {
    return {cmbRole,         chkModelAfterAnswer, cmbAnswerGap,    cmbLineRepeat, chkShadowing,
            cmbJapaneseRate, chkSlowestEnglish,   chkShowReadings, btnPeek,       btnExportAudio,
            chkExportClips,  chkShowAccent,       btnCompare};
}

} // namespace lessora
