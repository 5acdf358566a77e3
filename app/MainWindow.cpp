#include "app/MainWindow.h"

#include "app/AccentCache.h"
#include "app/AccentDrawing.h"
#include "app/AudioExportWindow.h"
#include "app/CompareWindow.h"
#include "app/GridCellDelegate.h"
#include "app/LanguageChoice.h"
#include "app/LessonDocument.h"
#include "app/LessonGrid.h"
#include "app/MainWindowAccessibility.h"
#include "app/PracticePanel.h"
#include "app/SoundPlayer.h"
#include "app/VoiceCheckDialog.h"
#include "app/VoiceSettingsDialog.h"
#include "app/WidgetPlacement.h"
#include "lesson/ClipboardPaste.h"
#include "lesson/LessonOptions.h"
#include "lesson/LessonSettings.h"
#include "lesson/LessonTable.h"
#include "lesson/RowCommands.h"
#include "lesson/RowRules.h"
#include "platform/MessageBoxes.h"
#include "playback/PlaybackController.h"
#include "recording/LessonRecorder.h"
#include "recording/RecordingFiles.h"
#include "voices/SpeechEngine.h"
#include "voices/SpokenAccent.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QResizeEvent>
#include <QSettings>
#include <QTimer>

namespace lessora {

namespace {
constexpr int kClientWidth = 664; // the main window's own controls; the practice panel is beside
constexpr int kClientHeight = 480;
constexpr QRect kGridRect(24, 168, 608, 289); // anchored to all four edges
// Whether the practice panel is shown, in the program's own settings file.
const QString kPanelShownKey = QStringLiteral("Window/PracticePanelShown");
const QString kCaption = QStringLiteral("Lessora Ver.1.0.0");

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

// A list's labels in the language shown, its current item kept.
void setItemTexts(QComboBox* box, const QStringList& labels) {
    for (int i = 0; i < box->count() && i < labels.size(); ++i)
        box->setItemText(i, labels[i]);
}

} // namespace

MainWindow::MainWindow(const Services& services, QWidget* parent)
    : QWidget(parent)
    , m_services(services)
    , m_errors(services.messages)
    , m_audioExport(std::make_unique<AudioExportWindow>()) {
    resize(kClientWidth, kClientHeight);
    m_lessonSettings = new CurrentLessonSettings(this);
    createControls();
    createPlayback();
    wireControls();
    setTabOrder();
    runGuarded([this] { showSampleLesson(); });
    // Created once the sample lesson is in: that is the lesson a first close compares with.
    m_document = new LessonDocument(*this, m_errors);
    wireRecentLessons();
    wireRecording();
    nameControlsForAccessibility(*this);
    // The practice panel as the user left it; folded the first time.
    if (!m_services.lessonHistoryPath.isEmpty() &&
        QSettings(m_services.lessonHistoryPath, QSettings::IniFormat)
            .value(kPanelShownKey, false)
            .toBool())
        showPracticePanel(true, true);
}

MainWindow::~MainWindow() {
    // An editor still open is closed while the child widgets are destroyed, after this window has
    // stopped being a MainWindow: its editingDone must not reach the lambdas above.
    disconnect(gridDelegate, nullptr, this, nullptr);
}

void MainWindow::createControls() {
    const auto named = [](auto* widget, const char* name) {
        widget->setObjectName(QLatin1String(name));
        return widget;
    };
    auto button = [this, named](const char* name, const QString& caption, int x, int y, int w,
                                int h) {
        return named(place(new QPushButton(caption, this), x, y, w, h), name);
    };
    auto label = [this, named](const char* name, const QString& caption, int x, int y, int w,
                               int h) {
        return named(place(new QLabel(caption, this), x, y, w, h), name);
    };
    auto combo = [this, named](const char* name, const OptionList& list, int x, int y, int w,
                               int h) {
        auto* box = named(place(new QComboBox(this), x, y, w, h), name);
        box->addItems(list.labels());
        return box;
    };

    // The captions are set by retranslateUi, in the language shown.
    btnSpeak = button("btnSpeak", QString(), 24, 18, 80, 36);
    btnPrevRow = button("btnPrevRow", QString(), 112, 18, 80, 36);
    btnNextRow = button("btnNextRow", QString(), 200, 18, 80, 36);
    btnStop = button("btnStop", QString(), 288, 18, 80, 36);
    btnVoiceSettings = button("btnVoiceSettings", QString(), 552, 14, 80, 36);
    lblInterbal = label("lblInterbal", QString(), 24, 64, 73, 17);
    cmbInterval = combo("cmbInterval", options::kInterval, 88, 62, 56, 22);
    lblEnglishRate = label("lblEnglishRate", QString(), 163, 64, 80, 17);
    cmbEnglishRate = combo("cmbEnglishRate", options::kEnglishRate, 219, 62, 100, 22);
    lblRepeat = label("lblRepeat", QString(), 336, 64, 65, 17);
    cmbRepeat = combo("cmbRepeat", options::kRepeat, 384, 62, 65, 22);
    btnVoiceList = button("btnVoiceList", QString(), 552, 58, 80, 36);
    chkHideText = named(place(new QCheckBox(this), 24, 102, 120, 19), "chkHideText");
    btnPaste = button("btnPaste", QString(), 200, 102, 80, 22);
    btnSaveLesson = button("btnSaveLesson", QString(), 296, 102, 80, 22);
    btnLoadLesson = button("btnLoadLesson", QString(), 392, 102, 80, 22);
    btnVoiceCheck = button("btnVoiceCheck", QString(), 552, 102, 80, 36);
    btnAddRow = button("btnAddRow", QString(), 24, 138, 80, 22);
    btnAppendRow = button("btnAppendRow", QString(), 112, 138, 80, 22);
    btnDeleteRow = button("btnDeleteRow", QString(), 217, 138, 80, 22);
    btnClearGrid = button("btnClearGrid", QString(), 321, 138, 80, 22);
    btnMoveUp = button("btnMoveUp", QStringLiteral("↑"), 425, 138, 41, 22);
    btnMoveDown = button("btnMoveDown", QStringLiteral("↓"), 473, 138, 41, 22);
    for (QLabel* label : {lblInterbal, lblEnglishRate, lblRepeat})
        label->raise(); // drawn whole even where its box overlaps the list beside it

    m_lessonTable = new LessonTable(this);
    StringGrid1 = named(new LessonGrid(*m_lessonTable, this), "StringGrid1");
    StringGrid1->setGeometry(kGridRect);
    gridDelegate =
        named(new GridCellDelegate([this] { return m_highlightRow; }, StringGrid1), "gridDelegate");
    StringGrid1->setItemDelegate(gridDelegate);
    const int widths[kLessonColumnCount] = {50, 50, 100, 400, 80};
    for (int column = 0; column < kLessonColumnCount; ++column)
        StringGrid1->setColumnWidth(column, widths[column]);

    pmGrid = named(new QMenu(this), "pmGrid");
    mnuPlayFromHere = pmGrid->addAction(QString());
    mnuPlayFromHere->setObjectName(QStringLiteral("mnuPlayFromHere"));
    StringGrid1->setContextMenuPolicy(Qt::CustomContextMenu);
    StringGrid1->horizontalHeader()->setContextMenuPolicy(Qt::CustomContextMenu);

    practicePanel = new PracticePanel(*m_lessonSettings, this);
    practicePanel->setGeometry(kClientWidth, 0, PracticePanel::kWidth, kClientHeight);
    practicePanel->hide();
    // In the free space right of 停止, leaving room beside it for another control.
    btnPracticePanel = button("btnPracticePanel", QString(), 384, 25, 80, 22);
    btnPracticePanel->setCheckable(true);
    // Beside it, the other language of the program's texts, named in that language.
    btnLanguage = button("btnLanguage", QString(), 470, 25, 76, 22);
    retranslateUi();

    tmrNext = named(new QTimer(this), "tmrNext");
    tmrNext->setInterval(1000);
    tmrNext->start();
}

void MainWindow::createPlayback() {
    const auto choices = [this] { return playbackChoices(); };
    PlaybackControls controls{*m_lessonTable, *StringGrid1, choices,
                              [this] { return StringGrid1->userIsEditing(); }};
    PlaybackServices services{m_services.speech, m_services.messages, m_services.beeper,
                              m_services.settingsPath, m_services.decimalSeparator};
    createRecorder();
    services.recorder = m_recorder;
    m_playback = new PlaybackController(std::move(controls), std::move(services), m_errors, this);
    connect(m_playback, &PlaybackController::stateChanged, this, &MainWindow::showPlaybackState);
    connect(m_playback, &PlaybackController::highlightRowChanged, this,
            &MainWindow::setHighlightRow);
}

void MainWindow::showPlaybackState() {
    // A double-clicked row leaves the caption as it was: the button still offers what it did.
    if (m_playback->singleRowPlaying())
        return;
    if (m_playback->isPlaying())
        btnSpeak->setText(tr("一時停止"));
    else if (m_playback->isPaused())
        btnSpeak->setText(tr("再生"));
    else
        btnSpeak->setText(tr("読み上げ"));
}

void MainWindow::retranslateUi() {
    if (m_playback)
        showPlaybackState();
    else
        btnSpeak->setText(tr("読み上げ"));
    btnPrevRow->setText(tr("前の行"));
    btnNextRow->setText(tr("次の行"));
    btnStop->setText(tr("停止"));
    btnVoiceSettings->setText(tr("音声設定"));
    lblInterbal->setText(tr("インターバル"));
    lblEnglishRate->setText(tr("英語速度"));
    lblRepeat->setText(tr("繰り返し"));
    btnVoiceList->setText(tr("音声一覧"));
    chkHideText->setText(tr("テキストを隠す"));
    btnPaste->setText(tr("貼り付け"));
    btnSaveLesson->setText(tr("保存"));
    btnLoadLesson->setText(tr("読み込み"));
    btnVoiceCheck->setText(tr("音声確認"));
    btnAddRow->setText(tr("行挿入"));
    btnAppendRow->setText(tr("行末尾追加"));
    btnDeleteRow->setText(tr("行削除"));
    btnClearGrid->setText(tr("クリア"));
    for (const auto& [label, next] : {std::pair<QLabel*, QWidget*>{lblInterbal, cmbInterval},
                                      {lblEnglishRate, cmbEnglishRate},
                                      {lblRepeat, cmbRepeat}}) {
        label->setFont(QFont()); // the window's font, narrowed again as the new caption needs
        fitLabelBefore(label, next);
    }
    setItemTexts(cmbInterval, options::kInterval.labels());
    setItemTexts(cmbEnglishRate, options::kEnglishRate.labels());
    setItemTexts(cmbRepeat, options::kRepeat.labels());
    mnuPlayFromHere->setText(tr("ここから再生"));
    btnPracticePanel->setText(m_panelShown ? tr("練習 «") : tr("練習 »"));
    btnPracticePanel->setAccessibleName(tr("練習の設定"));
    btnPracticePanel->setToolTip(tr("練習の設定を表示します。もう一度押すと隠します"));
    // Each language names itself, so that a reader of either finds the way back.
    const bool english = programTextLanguage() == InterfaceLanguage::English;
    btnLanguage->setText(english ? QStringLiteral("日本語") : QStringLiteral("English"));
    btnLanguage->setToolTip(english ? QStringLiteral("日本語で表示します / Show Japanese")
                                    : QStringLiteral("Show English / 英語で表示します"));
}

void MainWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::LanguageChange)
        return;
    if (!m_document)
        return; // still being built
    runGuarded([this] {
        retranslateUi();
        // The panel first: the accessible names below follow the captions.
        practicePanel->retranslateUi();
        nameControlsForAccessibility(*this);
        m_document->retranslate();
        m_lessonTable->headerDataChanged(Qt::Horizontal, 0, kLessonColumnCount - 1);
        showCaption();
        practicePanel->showProgress(m_playback->progress());
        announceSpokenRow(*StringGrid1, m_highlightRow);
    });
}

void MainWindow::switchLanguage() {
    const InterfaceLanguage next = programTextLanguage() == InterfaceLanguage::English
                                       ? InterfaceLanguage::Japanese
                                       : InterfaceLanguage::English;
    showInterfaceIn(next);
    saveInterfaceLanguage(m_services.lessonHistoryPath, next);
}

template <typename Handler> void MainWindow::runGuarded(Handler handler) {
    m_errors.run(handler);
}

void MainWindow::wireButton(QPushButton* button, void (MainWindow::*handler)()) {
    connect(button, &QPushButton::clicked, this,
            [this, handler] { runGuarded([this, handler] { (this->*handler)(); }); });
}

void MainWindow::wireControls() {
    // Playback: the controller guards its own commands.
    connect(btnSpeak, &QPushButton::clicked, m_playback, &PlaybackController::playPause);
    connect(btnStop, &QPushButton::clicked, m_playback, &PlaybackController::stop);
    connect(btnPrevRow, &QPushButton::clicked, m_playback, &PlaybackController::previous);
    connect(btnNextRow, &QPushButton::clicked, m_playback, &PlaybackController::next);
    // The sound device may go and come back while the program runs: the title says so within
    // a second, playing or not.
    connect(tmrNext, &QTimer::timeout, this, &MainWindow::showCaption);
    connect(StringGrid1, &LessonGrid::cellDoubleClicked, m_playback,
            [this](int, int row) { m_playback->playRow(row); });
    connect(mnuPlayFromHere, &QAction::triggered, m_playback,
            [this] { m_playback->playFrom(m_popupRow); });
    connect(StringGrid1, &LessonGrid::cellClicked, this, [this](int, int row) {
        if (row >= 0 && row < m_lessonTable->rows())
            m_popupRow = row;
    });
    wirePractice();
    wireLessonSettings();

    // Row editing and paste.
    const auto wireRowCommand = [this](QPushButton* button, void (*command)(LessonCursor&)) {
        connect(button, &QPushButton::clicked, this,
                [this, command] { runGuarded([this, command] { command(*StringGrid1); }); });
    };
    wireRowCommand(btnAddRow, insertRow);
    wireRowCommand(btnAppendRow, appendTenRows);
    wireRowCommand(btnDeleteRow, deleteCurrentRow);
    wireRowCommand(btnMoveUp, moveCurrentRowUp);
    wireRowCommand(btnMoveDown, moveCurrentRowDown);
    connect(btnClearGrid, &QPushButton::clicked, this,
            [this] { runGuarded([this] { clearTable(*StringGrid1, m_services.messages); }); });
    connect(btnPaste, &QPushButton::clicked, this, [this] {
        runGuarded([this] {
            pasteFromClipboard(*StringGrid1, m_services.clipboard, m_services.messages,
                               m_services.decimalSeparator);
        });
    });
    connect(gridDelegate, &GridCellDelegate::editingDone, this, [this](int column, int row) {
        runGuarded([this, column, row] {
            applyEditingDone(*m_lessonTable, column, row, m_services.decimalSeparator);
        });
    });

    // Files, voices and the view.
    wireButton(btnSaveLesson, &MainWindow::saveLesson);
    wireButton(btnLoadLesson, &MainWindow::loadLesson);
    wireButton(btnVoiceSettings, &MainWindow::showVoiceSettings);
    wireButton(btnVoiceCheck, &MainWindow::showVoiceCheck);
    wireButton(btnVoiceList, &MainWindow::showVoiceList);
    wireButton(btnLanguage, &MainWindow::switchLanguage);
    connect(chkHideText, &QCheckBox::stateChanged, this,
            [this] { runGuarded([this] { applyHideText(); }); });

    const auto showPopup = [this](QWidget* source, const QPoint& pos) {
        pmGrid->popup(source->mapToGlobal(pos));
    };
    connect(StringGrid1, &QWidget::customContextMenuRequested, this,
            [this, showPopup](const QPoint& pos) {
                // "ここから再生" plays from the row under the pointer, which the right-click
                // has just selected.
                if (const QModelIndex index = StringGrid1->indexAt(pos); index.isValid())
                    m_popupRow = index.row();
                showPopup(StringGrid1->viewport(), pos);
            });
    connect(StringGrid1->horizontalHeader(), &QWidget::customContextMenuRequested, this,
            [this, showPopup](const QPoint& pos) {
                // Only the Speaker column's header carries the popup menu.
                if (StringGrid1->horizontalHeader()->logicalIndexAt(pos) == ColSpeaker)
                    showPopup(StringGrid1->horizontalHeader(), pos);
            });
}

void MainWindow::setTabOrder() {
    QList<QWidget*> order = {
        btnSpeak,     btnStop,        StringGrid1,  cmbInterval,   btnVoiceList,  btnVoiceSettings,
        cmbRepeat,    cmbEnglishRate, btnPaste,     btnSaveLesson, btnLoadLesson, btnAddRow,
        btnAppendRow, btnDeleteRow,   btnMoveUp,    btnMoveDown,   chkHideText,   btnClearGrid,
        btnPrevRow,   btnNextRow,     btnVoiceCheck};
    order << btnPracticePanel;
    order += practicePanel->tabOrder(); // after every control of the main window
    order << btnLanguage;
    for (qsizetype i = 0; i + 1 < order.size(); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);
}

void MainWindow::setVoiceWindows(VoiceSettingsDialog* voiceSettings, VoiceCheckDialog* voiceCheck) {
    m_voiceSettings = voiceSettings;
    m_voiceCheck = voiceCheck;
}

void MainWindow::showPracticePanel(bool shown, bool resizeWindow) {
    if (shown == m_panelShown)
        return;
    const int widened = width() + (shown ? 1 : -1) * PracticePanel::kWidth;
    const int before = height(); // a minimum height set below may raise it at once
    m_panelShown = shown;
    practicePanel->setVisible(shown);
    btnPracticePanel->setChecked(shown);
    btnPracticePanel->setText(shown ? tr("練習 «") : tr("練習 »"));
    // While shown, the window never gets so narrow that the panel is cut off, nor so low that
    // its bottom block covers the controls above it: the grid takes the added height.
    setMinimumWidth(shown ? kClientWidth + PracticePanel::kWidth : 0);
    setMinimumHeight(shown ? practicePanel->heightNeeded() : 0);
    // Folding gives back what unfolding added.
    const int raised =
        shown ? std::max(before, practicePanel->heightNeeded()) : before - m_panelRaise;
    m_panelRaise = shown ? raised - before : 0;
    if (resizeWindow)
        resize(widened, raised);
    else
        placeGridAndPanel();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeGridAndPanel();
}

void MainWindow::placeGridAndPanel() {
    // Only the grid follows the window; everything else keeps its place, and the practice panel
    // stays at the right edge.
    const int panelWidth = m_panelShown ? PracticePanel::kWidth : 0;
    const int gridRightMargin = kClientWidth - kGridRect.right() - 1 + panelWidth;
    StringGrid1->setGeometry(kGridRect.x(), kGridRect.y(),
                             std::max(0, width() - kGridRect.x() - gridRightMargin),
                             std::max(0, height() - (kClientHeight - kGridRect.height())));
    practicePanel->setGeometry(std::max(kClientWidth, width() - PracticePanel::kWidth), 0,
                               PracticePanel::kWidth, height());
}

PlaybackChoices MainWindow::playbackChoices() const {
    return choicesOf(m_lessonSettings->values());
}

void MainWindow::wireLessonSettings() {
    CurrentLessonSettings* settings = m_lessonSettings;
    connect(cmbInterval, &QComboBox::currentIndexChanged, settings,
            &CurrentLessonSettings::setIntervalIndex);
    connect(cmbEnglishRate, &QComboBox::currentIndexChanged, settings,
            &CurrentLessonSettings::setEnglishRateIndex);
    connect(cmbRepeat, &QComboBox::currentIndexChanged, settings,
            &CurrentLessonSettings::setRepeatIndex);
    connect(chkHideText, &QCheckBox::toggled, settings, &CurrentLessonSettings::setHideText);
    connect(settings, &CurrentLessonSettings::changed, this, &MainWindow::showLessonSettings);
    showLessonSettings();
}

void MainWindow::showLessonSettings() {
    // Setting a control to what it shows already emits nothing, so this ends here.
    const LessonSettings& values = m_lessonSettings->values();
    cmbInterval->setCurrentIndex(values.intervalIndex);
    cmbEnglishRate->setCurrentIndex(values.englishRateIndex);
    cmbRepeat->setCurrentIndex(values.repeatIndex);
    chkHideText->setChecked(values.hideText);
}

void MainWindow::wireRecentLessons() {
    QMenu* menu = m_document->recentMenu();
    btnLoadLesson->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(btnLoadLesson, &QWidget::customContextMenuRequested, menu,
            [this, menu](const QPoint& pos) { menu->popup(btnLoadLesson->mapToGlobal(pos)); });
}

void MainWindow::wirePractice() {
    connect(btnPracticePanel, &QPushButton::clicked, this, [this](bool shown) {
        showPracticePanel(shown, true);
        if (!m_services.lessonHistoryPath.isEmpty())
            QSettings(m_services.lessonHistoryPath, QSettings::IniFormat)
                .setValue(kPanelShownKey, shown);
    });
    connect(m_playback, &PlaybackController::progressChanged, this,
            [this] { practicePanel->showProgress(m_playback->progress()); });
    gridDelegate->setLearnersTurn([this] { return m_playback->learnersTurn(); });
    connect(practicePanel, &PracticePanel::readingsToggled, this,
            [this](bool shown) { runGuarded([this, shown] { showReadings(shown); }); });
    connect(practicePanel, &PracticePanel::peekHeld, this,
            [this](bool held) { runGuarded([this, held] { peekAtLine(held); }); });
    wireAccent();
    connect(practicePanel, &PracticePanel::exportRequested, this, [this] {
        runGuarded([this] {
            ExportOptions options =
                exportOptionsFrom(playbackChoices(), m_services.decimalSeparator);
            options.accentOf = m_services.spokenAccent;
            m_audioExport->run(this, m_services, *m_lessonTable, options,
                               practicePanel->exportClips(), document().history().recentLessons());
        });
    });
    connect(practicePanel, &PracticePanel::compareRequested, this,
            [this] { runGuarded([this] { compareRow(); }); });
}

void MainWindow::compareRow() {
    const int row = StringGrid1->currentRow() >= 0 ? StringGrid1->currentRow() : m_highlightRow;
    if (row < 0 || row >= m_lessonTable->rows() || !isSpeakableRow(*m_lessonTable, row)) {
        m_services.messages.showMessage(
            tr("聞き比べる行を選んでください(話者とテキストのある行)。"));
        return;
    }
    if (!m_compare) {
        SoundPlayer* player = m_services.soundPlayer;
        if (!player) {
            m_ownPlayer = std::make_unique<EngineSoundPlayer>(m_services.speech);
            player = m_ownPlayer.get();
        }
        m_compare = std::make_unique<CompareWindow>(*player, m_services.decimalSeparator, this);
    }
    CompareRequest request;
    request.lineNumber = row + 1;
    request.cells = {m_lessonTable->cell(ColText, row), m_lessonTable->cell(ColLanguage, row),
                     m_lessonTable->cell(ColSpeaker, row)};
    request.rates = ratesOf(playbackChoices());
    request.engine = &m_services.speech;
    request.settingsPath = m_services.settingsPath;
    request.learnerFile = latestRecording(recordingsFolder(), request.lineNumber);
    if (!m_readings.readingOf(request.cells.text, request.cells.language).isEmpty())
        request.accentOf =
            m_services.spokenAccent ? m_services.spokenAccent : AccentCache::Analysis(spokenAccent);
    m_compare->compare(request.lineNumber, [request] { return loadComparedLine(request); });
}

void MainWindow::createRecorder() {
    if (!m_services.audioInput || !m_services.samplePlayer)
        return;
    m_recorder = new LessonRecorder(*m_services.audioInput, *m_services.samplePlayer, this);
    m_recorder->setObjectName(QStringLiteral("lessonRecorder"));
    m_recorder->setTarget([this](int row) {
        return RecordingTarget{recordingsFolder(), row + 1,
                               m_lessonTable->cell(ColSpeaker, row).trimmed()};
    });
}

QString MainWindow::recordingsFolder() const {
    const QString lesson = windowFilePath();
    return lesson.isEmpty() ? unsavedRecordingsFolder() : recordingsFolderOf(lesson);
}

void MainWindow::wireRecording() {
    connect(practicePanel, &PracticePanel::deleteRecordingsRequested, this,
            [this] { runGuarded([this] { deleteRecordings(); }); });
    if (!m_recorder)
        return;
    connect(m_recorder, &LessonRecorder::problem, this,
            [this](const QString& message) { m_services.messages.showMessage(message); });
    connect(m_recorder, &LessonRecorder::recorded, this,
            [this](const QString& path) { runGuarded([this, path] { keepRecording(path); }); });
    // An unsaved lesson's recordings go with it to its first file; another lesson opened
    // leaves them where they are.
    connect(m_document, &LessonDocument::saved, this, [this](const QString& path) {
        runGuarded([this, path] {
            const QStringList files = std::exchange(m_unsavedRecordings, {});
            moveRecordings(files, recordingsFolderOf(path));
        });
    });
    connect(m_document, &LessonDocument::opened, this, [this] { m_unsavedRecordings.clear(); });
}

void MainWindow::keepRecording(const QString& path) {
    if (QFileInfo(path).absolutePath() != QDir(unsavedRecordingsFolder()).absolutePath())
        return;
    // Written for the lesson before it was saved: it follows the others to the lesson's folder.
    if (!windowFilePath().isEmpty())
        moveRecordings({path}, recordingsFolder());
    else
        m_unsavedRecordings << path;
}

void MainWindow::deleteRecordings() {
    const QString folder = recordingsFolder();
    const qsizetype count = recordingsIn(folder).size();
    if (count == 0) {
        m_services.messages.showMessage(tr("この教材の録音はありません。"));
        return;
    }
    if (!m_services.messages.confirm(tr("この教材の録音 %1 件を削除しますか？\n%2")
                                         .arg(count)
                                         .arg(QDir::toNativeSeparators(folder))))
        return;
    m_unsavedRecordings.clear();
    lessora::deleteRecordings(folder);
}

void MainWindow::showReadings(bool shown) {
    if (shown) {
        gridDelegate->setReadings([this](int row) {
            return m_readings.readingOf(m_lessonTable->cell(ColText, row),
                                        m_lessonTable->cell(ColLanguage, row));
        });
    } else {
        gridDelegate->setReadings(nullptr);
    }
    const int lineHeight = StringGrid1->fontMetrics().height();
    StringGrid1->verticalHeader()->setDefaultSectionSize(shown ? 2 * lineHeight + 8
                                                               : lineHeight + 8);
    StringGrid1->viewport()->update();
}

void MainWindow::wireAccent() {
    m_accents = new AccentCache(m_services.spokenAccent ? m_services.spokenAccent
                                                        : AccentCache::Analysis(spokenAccent),
                                this);
    m_accents->setObjectName(QStringLiteral("accentCache"));
    gridDelegate->setAccents([this](int row) { return accentOf(row); });
    StringGrid1->setReadingText([this](int row) {
        if (!m_lessonSettings->practice().showReadings)
            return QString();
        const QList<AccentPhrase> accent = accentOf(row);
        return accent.isEmpty() ? m_readings.readingOf(m_lessonTable->cell(ColText, row),
                                                       m_lessonTable->cell(ColLanguage, row))
                                : accentAccessibleText(accent);
    });
    connect(practicePanel, &PracticePanel::accentToggled, this,
            [this] { StringGrid1->viewport()->update(); });
    // The rows of a line whose phrases came are drawn again, and the peek if it shows one.
    connect(m_accents, &AccentCache::arrived, this, [this](const QString& text) {
        for (int row = 0; row < m_lessonTable->rows(); ++row) {
            if (m_lessonTable->cell(ColText, row) == text)
                StringGrid1->update(m_lessonTable->index(row, ColText));
        }
        if (m_peeking)
            runGuarded([this] { peekAtLine(true); });
    });
}

QList<AccentPhrase> MainWindow::accentOf(int row) {
    const PracticeSettings& practice = m_lessonSettings->practice();
    if (!practice.showReadings || !practice.showAccent || row < 0 || row >= m_lessonTable->rows())
        return {};
    // Only where a reading is drawn: Japanese lines with text.
    const QString text = m_lessonTable->cell(ColText, row);
    if (m_readings.readingOf(text, m_lessonTable->cell(ColLanguage, row)).isEmpty())
        return {};
    return m_accents->phrasesOf(text);
}

// One line's text and reading while the peek button is held, whether the Text column is
// shown or not: the grid's current row, else the row being spoken.
void MainWindow::peekAtLine(bool held) {
    const int row = StringGrid1->currentRow() >= 0 ? StringGrid1->currentRow() : m_highlightRow;
    m_peeking = held;
    if (!held || row < 0 || row >= m_lessonTable->rows()) {
        practicePanel->hidePeek();
        return;
    }
    const QString text = m_lessonTable->cell(ColText, row);
    practicePanel->showPeek(text, m_readings.readingOf(text, m_lessonTable->cell(ColLanguage, row)),
                            accentOf(row));
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (m_document->mayClose())
        QWidget::closeEvent(event);
    else
        event->ignore();
}

void MainWindow::setHighlightRow(int row) {
    m_highlightRow = row;
    // The spoken row whole in view, with the next two lines to come; never under the fingers
    // of someone typing.
    if (row >= 0 && !StringGrid1->userIsEditing())
        StringGrid1->revealRow(row, 2);
    StringGrid1->viewport()->update();
    announceSpokenRow(*StringGrid1, row);
}

void MainWindow::showCaption() {
    // Qt shows "[*]" as "*" while the window is marked modified, and nothing otherwise.
    QString title = kCaption;
    if (const QString file = QFileInfo(windowFilePath()).fileName(); !file.isEmpty())
        title += QStringLiteral(" - ") + file;
    title += QStringLiteral("[*]");
    if (const QString note = m_services.speech.availabilityNote(); !note.isEmpty())
        title += QStringLiteral(" - ") + note;
    setWindowTitle(title);
}

void MainWindow::showSampleLesson() {
    showCaption();
    setHighlightRow(-1);
    m_lessonTable->setRowCount(4);
    m_lessonSettings->setIntervalIndex(options::kInterval.defaultIndex);
    const LessonRow sample[] = {
        {"1", "A", "English", "Hello. How are you?", ""},
        {"2", "B", "English", "I'm fine, thank you.", ""},
        {"3", "Q", "Japanese", QStringLiteral("今日はいい天気ですね。"), ""},
        {"4", "R", "Japanese", QStringLiteral("そうですね。"), ""},
    };
    for (int row = 0; row < 4; ++row)
        m_lessonTable->setRow(row, sample[row]);
    StringGrid1->setColumnHidden(ColLanguage, true);
}

void MainWindow::showVoiceSettings() {
    if (m_voiceSettings)
        m_voiceSettings->exec();
}

void MainWindow::showVoiceCheck() {
    if (m_voiceCheck)
        m_voiceCheck->exec();
}

void MainWindow::showVoiceList() {
    EngineOperation operation(m_services.speech);
    const std::unique_ptr<SpeechVoice> voice = m_services.speech.createVoice();
    const TokenCollection voices = voice->voices();
    QString text;
    for (int i = 0; i < voices.count(); ++i)
        text += QString::number(i) + QStringLiteral(": ") + voices.item(i)->description() +
                QStringLiteral("\r\n");
    m_services.messages.showMessage(text);
}

void MainWindow::saveLesson() {
    m_document->save();
}

void MainWindow::loadLesson() {
    m_document->load();
}

void MainWindow::applyHideText() {
    StringGrid1->setColumnHidden(ColText, chkHideText->isChecked());
}

} // namespace lessora
