#include "app/PracticePanel.h"

#include "app/AccentDrawing.h"
#include "lesson/LessonOptions.h"
#include "lesson/LessonSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace lessora {

namespace {

// A control named by its member name; its texts come from retranslateUi.
template <typename W> W* named(W* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

// The tooltip, which is also the accessible description.
void describe(QWidget* widget, const QString& tip) {
    widget->setToolTip(tip);
    widget->setAccessibleDescription(tip);
}

void describeBox(QCheckBox* box, const QString& caption, const QString& tip) {
    box->setText(caption);
    box->setAccessibleName(QString(caption).remove(u'&'));
    describe(box, tip);
}

// A list's items in the language shown; created with them, then relabelled in place so that
// the current item stays.
void showLabels(QComboBox* box, const OptionList& list) {
    const QStringList labels = list.labels();
    if (box->count() == 0)
        box->addItems(labels);
    for (int i = 0; i < box->count() && i < labels.size(); ++i)
        box->setItemText(i, labels[i]);
}

// The panel's margins at the sides.
constexpr int kMarginLeft = 8;
constexpr int kMarginRight = 24;
// Between the form's last row and the bottom block.
constexpr int kBlockSpacing = 10;
// The longest progress a lesson of up to 999 lines shows, in the language shown.
QString longestProgress() {
    return progressText({true, false, 999, 999, 10, 10, 5, 5, true});
}

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

QString PracticePanel::peekHint() {
    return tr("「この行を見る」を押している間、選んだ行をここに表示します");
}

PracticePanel::PracticePanel(CurrentLessonSettings& settings, QWidget* parent)
    : QWidget(parent)
    , m_settings(settings) {
    setObjectName(QStringLiteral("practicePanel"));
    cmbRole = named(new QComboBox(this), "cmbRole");
    chkModelAfterAnswer = named(new QCheckBox(this), "chkModelAfterAnswer");
    cmbAnswerGap = named(new QComboBox(this), "cmbAnswerGap");
    cmbLineRepeat = named(new QComboBox(this), "cmbLineRepeat");
    chkShadowing = named(new QCheckBox(this), "chkShadowing");
    cmbJapaneseRate = named(new QComboBox(this), "cmbJapaneseRate");
    chkSlowestEnglish = named(new QCheckBox(this), "chkSlowestEnglish");
    chkShowReadings = named(new QCheckBox(this), "chkShowReadings");
    chkShowAccent = named(new QCheckBox(this), "chkShowAccent");
    btnPeek = named(new QPushButton(this), "btnPeek");
    lblPeek = named(new PeekLabel(this), "lblPeek");
    lblPeek->setWordWrap(true);
    lblPeek->setMinimumHeight(3 * fontMetrics().height());
    lblPeek->setTextInteractionFlags(Qt::NoTextInteraction);
    lblPeek->setFrameShape(QFrame::StyledPanel);
    hidePeek();
    lblProgress = named(new QLabel(this), "lblProgress");
    // Larger now; bold from the first progress shown (showProgress), because loading the bold
    // face of a Japanese font costs megabytes that a window with nothing playing does not need.
    QFont progressFont = lblProgress->font();
    progressFont.setPointSizeF(progressFont.pointSizeF() * 1.2);
    m_progressPointSize = progressFont.pointSizeF();
    lblProgress->setFont(progressFont);
    // One line of a fixed height: a longer text must never wrap and push the panel down.
    lblProgress->setWordWrap(false);
    lblProgress->setFixedHeight(QFontMetrics(progressFont).height() + 4);

    btnExportAudio = named(new QPushButton(this), "btnExportAudio");
    chkExportClips = named(new QCheckBox(this), "chkExportClips");

    btnCompare = named(new QPushButton(this), "btnCompare");

    // Top to bottom in tab order: where playback is, role-play, line drill, speeds, readings.
    auto* form = new QFormLayout(this);
    form->setContentsMargins(kMarginLeft, 14, kMarginRight, 8);
    form->setRowWrapPolicy(QFormLayout::DontWrapRows);
    const auto addRow = [this, form](QComboBox* box) {
        auto* label = new QLabel(this);
        label->setBuddy(box);
        form->addRow(label, box);
        return label;
    };
    form->addRow(lblProgress);
    lblRole = addRow(cmbRole);
    form->addRow(chkModelAfterAnswer);
    lblAnswerGap = addRow(cmbAnswerGap);
    lblLineRepeat = addRow(cmbLineRepeat);
    form->addRow(chkShadowing);
    lblJapaneseRate = addRow(cmbJapaneseRate);
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
    addRecording(speaking);
    speaking->addWidget(btnCompare);
    btnCompare->setParent(speakingBlock);

    retranslateUi();

    connect(btnPeek, &QPushButton::pressed, this, [this] { emit peekHeld(true); });
    connect(btnPeek, &QPushButton::released, this, [this] { emit peekHeld(false); });
    connect(chkShowReadings, &QCheckBox::toggled, this, &PracticePanel::readingsToggled);
    connect(chkShowAccent, &QCheckBox::toggled, this, &PracticePanel::accentToggled);
    connect(btnExportAudio, &QPushButton::clicked, this, &PracticePanel::exportRequested);
    connect(btnCompare, &QPushButton::clicked, this, &PracticePanel::compareRequested);
    wireSettings();
}

void PracticePanel::addRecording(QVBoxLayout* block) {
    chkRecordAnswers = named(new QCheckBox(speakingBlock), "chkRecordAnswers");
    chkHearOwnAnswer = named(new QCheckBox(speakingBlock), "chkHearOwnAnswer");
    // The delete command is the box's popup menu (right click, or the menu key), as the recent
    // lessons are the load button's: the panel has no room for one more button.
    pmRecordings = named(new QMenu(this), "pmRecordings");
    mnuDeleteRecordings = pmRecordings->addAction(QString());
    mnuDeleteRecordings->setObjectName(QStringLiteral("mnuDeleteRecordings"));
    chkRecordAnswers->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(chkRecordAnswers, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { pmRecordings->popup(chkRecordAnswers->mapToGlobal(pos)); });
    connect(mnuDeleteRecordings, &QAction::triggered, this,
            &PracticePanel::deleteRecordingsRequested);
    // A row each: side by side, the Japanese captions do not fit the panel's width.
    block->addWidget(chkRecordAnswers);
    block->addWidget(chkHearOwnAnswer);
}

void PracticePanel::retranslateRecording() {
    describeBox(chkRecordAnswers, tr("録音する(&O)"),
                tr("答える時間とシャドーイングの間に、マイクから録音します。"
                   "録音は教材の横の「教材名.recordings」フォルダーに残ります。"
                   "右クリック(またはメニューキー)で録音を削除できます"));
    describeBox(chkHearOwnAnswer, tr("自分の声を聞く(&I)"),
                tr("録音した自分の声を、その間のすぐ後に再生します"
                   "(答えの後に手本を聞くときは、その前に)"));
    mnuDeleteRecordings->setText(tr("録音を削除(&D)…"));
}

void PracticePanel::retranslateUi() {
    // A list's caption is its accessible name.
    const auto caption = [](QLabel* label, QComboBox* box, const QString& text) {
        label->setText(text);
        box->setAccessibleName(QString(text).remove(u'&'));
    };
    showLabels(cmbRole, options::kRole);
    describe(cmbRole, tr("選んだ話者の行は読み上げず、あなたが答える時間になります"));
    caption(lblRole, cmbRole, tr("練習する話者(&R)"));
    describeBox(chkModelAfterAnswer, tr("答えの後に手本を聞く(&M)"),
                tr("答える時間の後に、その行を読み上げます"));
    showLabels(cmbAnswerGap, options::kAnswerGap);
    describe(cmbAnswerGap, tr("答える時間: その行を読み上げる長さの何倍か"));
    caption(lblAnswerGap, cmbAnswerGap, tr("答える時間(&T)"));
    showLabels(cmbLineRepeat, options::kLineRepeat);
    describe(cmbLineRepeat, tr("1行を何回読み上げてから次の行に進むか"));
    caption(lblLineRepeat, cmbLineRepeat, tr("1行の回数(&N)"));
    describeBox(chkShadowing, tr("シャドーイングの間(&H)"),
                tr("同じ行を繰り返す間に、後について言うための、その行と同じ長さの無音を入れます"));
    showLabels(cmbJapaneseRate, options::kJapaneseRate);
    describe(cmbJapaneseRate, tr("日本語の行を読み上げる速さ"));
    caption(lblJapaneseRate, cmbJapaneseRate, tr("日本語速度(&J)"));
    describeBox(chkSlowestEnglish, tr("英語を0.7倍に(&E)"),
                tr("英語の行を「英語速度」より遅く、標準の0.7倍で読み上げます"));
    describeBox(chkShowReadings, tr("読みを表示(&Y)"),
                tr("日本語の行の下に、音声が読むかなを表示します"));
    describeBox(chkShowAccent, tr("アクセントを表示(&A)"),
                tr("読みの上に、音声が話す高さ(高い拍の上の線、下がる所のかぎ)を表示します"));
    btnPeek->setText(tr("この行を見る(&K)"));
    btnPeek->setAccessibleName(tr("この行を見る"));
    describe(btnPeek, tr("押している間だけ、選んでいる行のテキストと読みを表示します"));
    describe(lblPeek, tr("のぞいている行"));
    if (!m_peekShown)
        hidePeek();
    describe(lblProgress, tr("再生している位置"));
    btnExportAudio->setText(tr("音声ファイルに書き出す(&W)…"));
    btnExportAudio->setAccessibleName(tr("音声ファイルに書き出す"));
    describe(btnExportAudio,
             tr("教材を、今の音声・間・回数・速さ・練習の設定のまま、1つの音声ファイル"
                "(MP3、Opus、FLAC、WAV)に書き出します"));
    describeBox(chkExportClips, tr("行ごとのファイルも(&L)"),
                tr("各行を別のファイルにし、単語カード用の一覧 index.tsv も書き出します"));
    btnCompare->setText(tr("聞き比べる(&C)…"));
    btnCompare->setAccessibleName(tr("聞き比べる"));
    describe(btnCompare,
             tr("選んだ行の手本とあなたの最新の録音を、波形と声の高さで並べて比べます"));
    retranslateRecording();
    // The progress is shown bold at a size that fits its longest text, found again for the
    // new language's texts.
    m_progressSized = false;
}

void PracticePanel::wireSettings() {
    CurrentLessonSettings* settings = &m_settings;
    // The speaker's code, not the item as shown.
    connect(cmbRole, &QComboBox::currentIndexChanged, settings, [this](int index) {
        m_settings.setRole(options::kRole.contains(index) && index > 0
                               ? QString::fromUtf8(options::kRoleItems[std::size_t(index)].label)
                               : QString());
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
    connect(chkRecordAnswers, &QCheckBox::toggled, settings,
            &CurrentLessonSettings::setRecordAnswers);
    connect(chkHearOwnAnswer, &QCheckBox::toggled, settings,
            &CurrentLessonSettings::setHearOwnAnswer);
    connect(settings, &CurrentLessonSettings::changed, this, &PracticePanel::showSettings);
    showSettings();
}

void PracticePanel::showSettings() {
    // Setting a control to what it shows already emits nothing, so this ends here.
    const PracticeSettings& practice = m_settings.practice();
    cmbJapaneseRate->setCurrentIndex(practice.japaneseRateIndex);
    cmbAnswerGap->setCurrentIndex(practice.answerGapIndex);
    cmbLineRepeat->setCurrentIndex(practice.lineRepeatCount - 1);
    int role = 0;
    for (int index = 1; index < options::kRole.count(); ++index) {
        if (QString::fromUtf8(options::kRoleItems[std::size_t(index)].label) == practice.role)
            role = index;
    }
    cmbRole->setCurrentIndex(role);
    chkSlowestEnglish->setChecked(practice.slowestEnglish);
    chkModelAfterAnswer->setChecked(practice.modelAfterAnswer);
    chkShadowing->setChecked(practice.shadowingGap);
    chkShowReadings->setChecked(practice.showReadings);
    chkShowAccent->setChecked(practice.showAccent);
    // The marks go over the readings: without them, there is nothing to mark.
    chkShowAccent->setEnabled(practice.showReadings);
    chkRecordAnswers->setChecked(practice.recordAnswers);
    chkHearOwnAnswer->setChecked(practice.hearOwnAnswer);
    // Only what is recorded can be heard back.
    chkHearOwnAnswer->setEnabled(practice.recordAnswers);
}

void PracticePanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int blockHeight = speakingBlock->sizeHint().height();
    speakingBlock->setGeometry(kMarginLeft, height() - blockHeight - 2,
                               width() - kMarginLeft - kMarginRight, blockHeight);
}

int PracticePanel::heightNeeded() const {
    // The form's rows as they are laid out at their preferred heights, less its bottom margin,
    // then the block with a little room above and below it.
    return layout()->sizeHint().height() - layout()->contentsMargins().bottom() + kBlockSpacing +
           speakingBlock->sizeHint().height() + 2;
}

bool PracticePanel::exportClips() const {
    return chkExportClips->isChecked();
}

void PracticePanel::showProgress(const PlaybackProgress& progress) {
    const QString text = progressText(progress);
    if (!text.isEmpty() && !m_progressSized) {
        QFont bold = lblProgress->font();
        bold.setBold(true);
        bold.setPointSizeF(m_progressPointSize);
        // Small enough for the longest text there is to stay on its line.
        const int room = kWidth - kMarginLeft - kMarginRight;
        const QString longest = longestProgress();
        while (bold.pointSizeF() > 6 && QFontMetrics(bold).horizontalAdvance(longest) > room)
            bold.setPointSizeF(bold.pointSizeF() - 0.5);
        lblProgress->setFont(bold);
        m_progressSized = true;
    }
    lblProgress->setText(text);
    lblProgress->setAccessibleName(lblProgress->text());
}

void PracticePanel::showPeek(const QString& text, const QString& reading,
                             const QList<AccentPhrase>& accent) {
    m_peekShown = true;
    lblPeek->setForegroundRole(QPalette::WindowText);
    lblPeek->setLine(text, reading, accent);
}

void PracticePanel::hidePeek() {
    m_peekShown = false;
    lblPeek->clearLine();
    lblPeek->setForegroundRole(QPalette::PlaceholderText);
    lblPeek->setText(peekHint());
}

QList<QWidget*> PracticePanel::tabOrder() const {
    return {cmbRole,          chkModelAfterAnswer, cmbAnswerGap,      cmbLineRepeat,
            chkShadowing,     cmbJapaneseRate,     chkSlowestEnglish, chkShowReadings,
            btnPeek,          btnExportAudio,      chkExportClips,    chkShowAccent,
            chkRecordAnswers, chkHearOwnAnswer,    btnCompare};
}

} // namespace lessora
