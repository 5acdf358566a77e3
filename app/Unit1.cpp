#include "app/Unit1.h"

#include "app/GridCellDelegate.h"
#include "lesson/LessonGrid.h"
#include "lesson/LessonTable.h"
#include "lesson/RowRules.h"
#include "voices/SpeechEngine.h"
#include "voices/UnitVoiceCheck.h"
#include "voices/UnitVoiceSettings.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QResizeEvent>
#include <QTimer>

namespace lessora {

namespace {
constexpr int kClientWidth = 664;
constexpr int kClientHeight = 480;
constexpr QRect kGridRect(24, 168, 608, 289); // anchored to all four edges
const QString kCaption = QStringLiteral("Lessora Ver.1.0.0");

template <typename W> W* place(W* widget, int x, int y, int w, int h) {
    widget->setGeometry(x, y, w, h);
    return widget;
}

// Narrows a label's font when its caption would run under the control beside it; the
// positions were laid out for fonts narrower than most Linux CJK fonts.
void fitLabelBefore(QLabel* label, const QWidget* next) {
    const int available = next->x() - label->x() - 2;
    const int needed = label->fontMetrics().horizontalAdvance(label->text());
    if (needed <= available || needed == 0)
        return;
    QFont font = label->font();
    font.setStretch(std::max(50, 100 * available / needed));
    label->setFont(font);
}
} // namespace

TForm1::TForm1(const Services& services, QWidget* parent)
    : QWidget(parent)
    , m_services(services)
    , m_errors(services.messages) {
    resize(kClientWidth, kClientHeight);
    createControls();
    wireControls();
    setTabOrder();
    runGuarded([this] { FormCreate(); });
}

TForm1::~TForm1() = default;

void TForm1::createControls() {
    auto button = [this](const QString& caption, int x, int y, int w, int h) {
        return place(new QPushButton(caption, this), x, y, w, h);
    };
    auto label = [this](const QString& caption, int x, int y, int w, int h) {
        return place(new QLabel(caption, this), x, y, w, h);
    };
    auto combo = [this](const QStringList& items, int x, int y, int w, int h) {
        auto* box = place(new QComboBox(this), x, y, w, h);
        box->addItems(items);
        return box;
    };

    btnSpeak = button(QStringLiteral("読み上げ"), 24, 18, 80, 36);
    btnPrevRow = button(QStringLiteral("前の行"), 112, 18, 80, 36);
    btnNextRow = button(QStringLiteral("次の行"), 200, 18, 80, 36);
    btnStop = button(QStringLiteral("停止"), 288, 18, 80, 36);
    btnVoiceSettings = button(QStringLiteral("音声設定"), 552, 14, 80, 36);
    lblInterbal = label(QStringLiteral("インターバル"), 24, 64, 73, 17);
    cmbInterval = combo({QStringLiteral("なし"), QStringLiteral("0.5秒"), QStringLiteral("1秒"),
                         QStringLiteral("2秒"), QStringLiteral("3秒"), QStringLiteral("5秒"),
                         QStringLiteral("10秒")},
                        88, 62, 56, 22);
    lblEnglishRate = label(QStringLiteral("英語速度"), 163, 64, 80, 17);
    cmbEnglishRate = combo({QStringLiteral("遅い"), QStringLiteral("やや遅い"), QStringLiteral("標準"),
                            QStringLiteral("やや速い"), QStringLiteral("速い")},
                           219, 62, 100, 22);
    cmbEnglishRate->setCurrentIndex(2);
    lblRepeat = label(QStringLiteral("繰り返し"), 336, 64, 65, 17);
    cmbRepeat = combo({QStringLiteral("1回"), QStringLiteral("2回"), QStringLiteral("3回"),
                       QStringLiteral("5回"), QStringLiteral("10回")},
                      384, 62, 65, 22);
    cmbRepeat->setCurrentIndex(0);
    btnVoiceList = button(QStringLiteral("音声一覧"), 552, 58, 80, 36);
    chkHideText = place(new QCheckBox(QStringLiteral("テキストを隠す"), this), 24, 102, 120, 19);
    btnPaste = button(QStringLiteral("貼り付け"), 200, 102, 80, 22);
    btnSaveLesson = button(QStringLiteral("保存"), 296, 102, 80, 22);
    btnLoadLesson = button(QStringLiteral("読み込み"), 392, 102, 80, 22);
    btnVoiceCheck = button(QStringLiteral("音声確認"), 552, 102, 80, 36);
    btnAddRow = button(QStringLiteral("行挿入"), 24, 138, 80, 22);
    btnAppendRow = button(QStringLiteral("行末尾追加"), 112, 138, 80, 22);
    btnDeleteRow = button(QStringLiteral("行削除"), 217, 138, 80, 22);
    btnClearGrid = button(QStringLiteral("クリア"), 321, 138, 80, 22);
    btnMoveUp = button(QStringLiteral("↑"), 425, 138, 41, 22);
    btnMoveDown = button(QStringLiteral("↓"), 473, 138, 41, 22);
    fitLabelBefore(lblInterbal, cmbInterval);
    fitLabelBefore(lblEnglishRate, cmbEnglishRate);
    fitLabelBefore(lblRepeat, cmbRepeat);
    for (QLabel* label : {lblInterbal, lblEnglishRate, lblRepeat})
        label->raise(); // drawn whole even where its box overlaps the list beside it

    lessonTable = new LessonTable(this);
    StringGrid1 = new LessonGrid(*lessonTable, this);
    StringGrid1->setGeometry(kGridRect);
    gridDelegate = new GridCellDelegate([this] { return FHighlightRow; }, StringGrid1);
    StringGrid1->setItemDelegate(gridDelegate);
    const int widths[kLessonColumnCount] = {50, 50, 100, 400, 80};
    for (int column = 0; column < kLessonColumnCount; ++column)
        StringGrid1->setColumnWidth(column, widths[column]);

    pmGrid = new QMenu(this);
    mnuPlayFromHere = pmGrid->addAction(QStringLiteral("ここから再生"));
    StringGrid1->setContextMenuPolicy(Qt::CustomContextMenu);
    StringGrid1->horizontalHeader()->setContextMenuPolicy(Qt::CustomContextMenu);

    tmrNext = new QTimer(this);
    tmrNext->setInterval(1000);
    tmrNext->start();
}

template <typename Handler> void TForm1::runGuarded(Handler handler) {
    m_errors.run(handler);
}

void TForm1::wireControls() {
    const auto wire = [this](QPushButton* button, void (TForm1::*handler)()) {
        connect(button, &QPushButton::clicked, this,
                [this, handler] { runGuarded([this, handler] { (this->*handler)(); }); });
    };
    wire(btnSpeak, &TForm1::btnSpeakClick);
    wire(btnPrevRow, &TForm1::btnPrevRowClick);
    wire(btnNextRow, &TForm1::btnNextRowClick);
    wire(btnStop, &TForm1::btnStopClick);
    wire(btnVoiceSettings, &TForm1::btnVoiceSettingsClick);
    wire(btnVoiceList, &TForm1::btnVoiceListClick);
    wire(btnPaste, &TForm1::btnPasteClick);
    wire(btnSaveLesson, &TForm1::btnSaveLessonClick);
    wire(btnLoadLesson, &TForm1::btnLoadLessonClick);
    wire(btnVoiceCheck, &TForm1::btnVoiceCheckClick);
    wire(btnAddRow, &TForm1::btnAddRowClick);
    wire(btnAppendRow, &TForm1::btnAppendRowClick);
    wire(btnDeleteRow, &TForm1::btnDeleteRowClick);
    wire(btnClearGrid, &TForm1::btnClearGridClick);
    wire(btnMoveUp, &TForm1::btnMoveUpClick);
    wire(btnMoveDown, &TForm1::btnMoveDownClick);

    connect(chkHideText, &QCheckBox::stateChanged, this,
            [this] { runGuarded([this] { chkHideTextChange(); }); });
    connect(gridDelegate, &GridCellDelegate::editingDone, this, [this](int column, int row) {
        runGuarded([this, column, row] { StringGrid1EditingDone(column, row); });
    });
    connect(StringGrid1, &LessonGrid::cellClicked, this, [this](int column, int row) {
        runGuarded([this, column, row] { StringGrid1CellClick(column, row); });
    });
    connect(StringGrid1, &LessonGrid::cellDoubleClicked, this, [this](int column, int row) {
        runGuarded([this, column, row] { StringGrid1CellDblClick(column, row); });
    });
    connect(tmrNext, &QTimer::timeout, this, [this] { runGuarded([this] { tmrNextTimer(); }); });
    connect(mnuPlayFromHere, &QAction::triggered, this,
            [this] { runGuarded([this] { mnuPlayFromHereClick(); }); });

    const auto showPopup = [this](QWidget* source, const QPoint& pos) {
        pmGrid->popup(source->mapToGlobal(pos));
    };
    connect(StringGrid1, &QWidget::customContextMenuRequested, this,
            [this, showPopup](const QPoint& pos) { showPopup(StringGrid1->viewport(), pos); });
    connect(StringGrid1->horizontalHeader(), &QWidget::customContextMenuRequested, this,
            [this, showPopup](const QPoint& pos) {
                // Only the Speaker column's header carries the popup menu.
                if (StringGrid1->horizontalHeader()->logicalIndexAt(pos) == ColSpeaker)
                    showPopup(StringGrid1->horizontalHeader(), pos);
            });
}

void TForm1::setTabOrder() {
    const QList<QWidget*> order = {
        btnSpeak,       btnStop,     StringGrid1,   cmbInterval,   btnVoiceList, btnVoiceSettings,
        cmbRepeat,      cmbEnglishRate, btnPaste,   btnSaveLesson, btnLoadLesson, btnAddRow,
        btnAppendRow,   btnDeleteRow, btnMoveUp,    btnMoveDown,   chkHideText,  btnClearGrid,
        btnPrevRow,     btnNextRow,  btnVoiceCheck};
    for (qsizetype i = 0; i + 1 < order.size(); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);
}

void TForm1::setVoiceWindows(TfrmVoiceSettings* voiceSettings, TfrmVoiceCheck* voiceCheck) {
    frmVoiceSettings = voiceSettings;
    frmVoiceCheck = voiceCheck;
}

void TForm1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // Only the grid follows the window; everything else keeps its place.
    StringGrid1->setGeometry(kGridRect.x(), kGridRect.y(),
                             std::max(0, width() - (kClientWidth - kGridRect.width())),
                             std::max(0, height() - (kClientHeight - kGridRect.height())));
}

void TForm1::setHighlightRow(int row) {
    FHighlightRow = row;
    StringGrid1->viewport()->update();
}

void TForm1::FormCreate() {
    const QString note = m_services.speech.availabilityNote();
    setWindowTitle(note.isEmpty() ? kCaption : kCaption + QStringLiteral(" - ") + note);
    setHighlightRow(-1);
    lessonTable->setRowCount(4);
    cmbInterval->setCurrentIndex(0);
    const LessonRow sample[] = {
        {"1", "A", "English", "Hello. How are you?", ""},
        {"2", "B", "English", "I'm fine, thank you.", ""},
        {"3", "Q", "Japanese", QStringLiteral("今日はいい天気ですね。"), ""},
        {"4", "R", "Japanese", QStringLiteral("そうですね。"), ""},
    };
    for (int row = 0; row < 4; ++row)
        lessonTable->setRow(row, sample[row]);
    StringGrid1->setColumnHidden(ColLanguage, true);
}

void TForm1::btnVoiceSettingsClick() {
    if (frmVoiceSettings)
        frmVoiceSettings->exec();
}

void TForm1::btnVoiceCheckClick() {
    if (frmVoiceCheck)
        frmVoiceCheck->exec();
}

void TForm1::StringGrid1EditingDone(int column, int row) {
    applyEditingDone(*lessonTable, column, row, m_services.decimalSeparator);
}

void TForm1::chkHideTextChange() {
    StringGrid1->setColumnHidden(ColText, chkHideText->isChecked());
}

} // namespace lessora
