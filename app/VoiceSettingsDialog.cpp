#include "app/VoiceSettingsDialog.h"

#include "app/MissingVoiceNote.h"
#include "app/WidgetPlacement.h"
#include "platform/MessageBoxes.h"
#include "settings/AsciiCase.h"
#include "settings/LanguageName.h"
#include "settings/SettingsFile.h"
#include "settings/Speakers.h"
#include "voices/SpeechEngine.h"

#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>

namespace lessora {

namespace {
constexpr int kDefaultButtonWidth = 75;
constexpr int kDefaultButtonHeight = 25;

// The selected entry's text, or empty text when nothing is selected.
QString selectedText(const QComboBox& comboBox) {
    const int index = comboBox.currentIndex();
    return index < 0 ? QString() : comboBox.itemText(index);
}

// Selects the first entry equal to the text without regard to ASCII case, or nothing.
void selectByText(QComboBox& comboBox, const QString& text) {
    int found = -1;
    for (int i = 0; i < comboBox.count() && found < 0; ++i) {
        if (equalsIgnoringAsciiCase(comboBox.itemText(i), text))
            found = i;
    }
    const QSignalBlocker blocker(comboBox);
    comboBox.setCurrentIndex(found);
}

void refill(QComboBox& comboBox, const QStringList& entries) {
    const QSignalBlocker blocker(comboBox);
    comboBox.clear();
    comboBox.addItems(entries);
    comboBox.setCurrentIndex(-1);
}

// Sets the voice and speaks synchronously; the message telling how it went.
QString testMessage(SpeechVoice& voice, const VoiceTokenPtr& token, const QString& description,
                    const QString& sentence) {
    try {
        voice.setVoice(token);
        voice.speak(sentence, kSpeakSync);
        return VoiceSettingsDialog::tr("この音声は使用できます。\r\n") + description;
    } catch (const std::exception& error) {
        return VoiceSettingsDialog::tr("この音声は使用できません。\r\n") + description +
               VoiceSettingsDialog::tr("\r\nエラー: ") + QString::fromUtf8(error.what());
    }
}

} // namespace

VoiceSettingsDialog::VoiceSettingsDialog(const Services& services, QWidget* parent)
    : QDialog(parent)
    , m_services(services)
    , m_errors(services.messages) {
    setFixedSize(688, 340);
    createControls();
    retranslateUi();
    addMissingVoiceNote(*this, m_services.speech, QRect(40, 192, 608, 20));
    wireControls();
    m_errors.run([this] { fillLists(); });
}

void VoiceSettingsDialog::createControls() {
    auto label = [this](const QString& caption, int x, int y, int w, int h) {
        return place(new QLabel(caption, this), x, y, w, h);
    };
    auto combo = [this](int x, int y) { return place(new QComboBox(this), x, y, 157, 22); };
    auto button = [this](const QString& caption, int x, int y, int w, int h) {
        return place(new QPushButton(caption, this), x, y, w, h);
    };
    const QString test;

    lblEnglishColumn = label(QStringLiteral("English"), 120, 34, 84, 17);
    lblJapaneseColumn = label(QStringLiteral("Japanese"), 431, 34, 84, 17);
    lblSpeakerA = label(QString(), 40, 64, 40, 17);
    lblSpeakerB = label(QString(), 40, 112, 40, 17);
    lblSpeakerC = label(QString(), 40, 160, 40, 17);
    cmbVoiceAEnglish = combo(81, 59);
    cmbVoiceBEnglish = combo(81, 107);
    cmbVoiceCEnglish = combo(81, 155);
    btnTestAEnglish = button(test, 246, 59, 49, 22);
    btnTestBEnglish = button(test, 246, 107, 49, 22);
    btnTestCEnglish = button(test, 246, 155, 49, 22);
    lblSpeakerQ = label(QString(), 360, 64, 45, 17);
    lblSpeakerR = label(QString(), 360, 112, 45, 17);
    lblSpeakerS = label(QString(), 360, 160, 45, 17);
    for (QLabel* right : {lblSpeakerQ, lblSpeakerR, lblSpeakerS})
        right->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    cmbVoiceAJapanese = combo(413, 59);
    cmbVoiceBJapanese = combo(413, 112);
    cmbVoiceCJapanese = combo(413, 155);
    btnTestAJapanese = button(test, 578, 59, 49, 22);
    btnTestBJapanese = button(test, 578, 112, 48, 22);
    btnTestCJapanese = button(test, 578, 155, 49, 22);
    btnAvailableVoices = button(QString(), 168, 224, 127, 22);
    btnAllVoices = button(QString(), 374, 224, 127, 22);
    btnOK = button(QString(), 236, 288, kDefaultButtonWidth, kDefaultButtonHeight);
    btnCancel = button(QString(), 360, 288, kDefaultButtonWidth, kDefaultButtonHeight);
    setObjectNames({{lblEnglishColumn, "lblEnglishColumn"},
                    {lblJapaneseColumn, "lblJapaneseColumn"},
                    {lblSpeakerA, "lblSpeakerA"},
                    {lblSpeakerB, "lblSpeakerB"},
                    {lblSpeakerC, "lblSpeakerC"},
                    {cmbVoiceAEnglish, "cmbVoiceAEnglish"},
                    {cmbVoiceBEnglish, "cmbVoiceBEnglish"},
                    {cmbVoiceCEnglish, "cmbVoiceCEnglish"},
                    {btnTestAEnglish, "btnTestAEnglish"},
                    {btnTestBEnglish, "btnTestBEnglish"},
                    {btnTestCEnglish, "btnTestCEnglish"},
                    {lblSpeakerQ, "lblSpeakerQ"},
                    {lblSpeakerR, "lblSpeakerR"},
                    {lblSpeakerS, "lblSpeakerS"},
                    {cmbVoiceAJapanese, "cmbVoiceAJapanese"},
                    {cmbVoiceBJapanese, "cmbVoiceBJapanese"},
                    {cmbVoiceCJapanese, "cmbVoiceCJapanese"},
                    {btnTestAJapanese, "btnTestAJapanese"},
                    {btnTestBJapanese, "btnTestBJapanese"},
                    {btnTestCJapanese, "btnTestCJapanese"},
                    {btnAvailableVoices, "btnAvailableVoices"},
                    {btnAllVoices, "btnAllVoices"},
                    {btnOK, "btnOK"},
                    {btnCancel, "btnCancel"}});
}

void VoiceSettingsDialog::retranslateUi() {
    setWindowTitle(tr("音声設定"));
    lblSpeakerA->setText(tr("話者A"));
    lblSpeakerB->setText(tr("話者B"));
    lblSpeakerC->setText(tr("話者C"));
    lblSpeakerQ->setText(tr("話者Q"));
    lblSpeakerR->setText(tr("話者R"));
    lblSpeakerS->setText(tr("話者S"));
    for (QPushButton* test : {btnTestAEnglish, btnTestBEnglish, btnTestCEnglish, btnTestAJapanese,
                              btnTestBJapanese, btnTestCJapanese})
        test->setText(tr("テスト"));
    btnAvailableVoices->setText(tr("使用できる音声"));
    btnAllVoices->setText(tr("全音声"));
    btnOK->setText(tr("保存"));
    btnCancel->setText(tr("キャンセル"));
}

void VoiceSettingsDialog::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::LanguageChange)
        retranslateUi();
}

void VoiceSettingsDialog::wireControls() {
    const auto wire = [this](QPushButton* button, auto handler) {
        connect(button, &QPushButton::clicked, this,
                [this, handler] { m_errors.run([this, handler] { handler(); }); });
    };
    struct VoiceTest {
        QPushButton* button;
        QComboBox* comboBox;
        const QString& sentence;
    };
    const VoiceTest voiceTests[] = {{btnTestAEnglish, cmbVoiceAEnglish, kEnglishTestSentence},
                                    {btnTestBEnglish, cmbVoiceBEnglish, kEnglishTestSentence},
                                    {btnTestCEnglish, cmbVoiceCEnglish, kEnglishTestSentence},
                                    {btnTestAJapanese, cmbVoiceAJapanese, kJapaneseTestSentence},
                                    {btnTestBJapanese, cmbVoiceBJapanese, kJapaneseTestSentence},
                                    {btnTestCJapanese, cmbVoiceCJapanese, kJapaneseTestSentence}};
    for (const VoiceTest& test : voiceTests) {
        wire(test.button, [this, comboBox = test.comboBox, &sentence = test.sentence] {
            testVoice(comboBox, sentence);
        });
    }
    wire(btnAvailableVoices, [this] { showAvailableVoices(); });
    wire(btnAllVoices, [this] { loadAllVoices(); });
    wire(btnOK, [this] { save(); });
    // Closing without saving, as closing by the frame does; the lists stay as they are.
    wire(btnCancel, [this] { reject(); });
}

VoiceSettingsDialog::ComboBoxes VoiceSettingsDialog::comboBoxesInStandardOrder() const {
    return {cmbVoiceAEnglish,  cmbVoiceAJapanese, cmbVoiceBEnglish,
            cmbVoiceBJapanese, cmbVoiceCEnglish,  cmbVoiceCJapanese};
}

QStringList VoiceSettingsDialog::selectedTexts() const {
    QStringList texts;
    for (const QComboBox* comboBox : comboBoxesInStandardOrder())
        texts << selectedText(*comboBox);
    return texts;
}

void VoiceSettingsDialog::selectTexts(const QStringList& texts) {
    const ComboBoxes comboBoxes = comboBoxesInStandardOrder();
    for (size_t i = 0; i < comboBoxes.size(); ++i)
        selectByText(*comboBoxes[i], texts.value(static_cast<qsizetype>(i)));
}

void VoiceSettingsDialog::fillLists() {
    SettingsFile file(m_services.settingsPath);
    if (catalogueCount(file) <= 0)
        loadAllVoices();
    else
        loadAvailableVoices();
    const ComboBoxes comboBoxes = comboBoxesInStandardOrder();
    for (size_t i = 0; i < comboBoxes.size(); ++i) {
        QComboBox& comboBox = *comboBoxes[i];
        selectByText(comboBox, file.readString(kVoiceSection, speakerVoiceKeys()[i], QString()));
        if (comboBox.currentIndex() < 0 && comboBox.count() > 0) {
            const QSignalBlocker blocker(comboBox);
            comboBox.setCurrentIndex(0);
        }
    }
}

void VoiceSettingsDialog::loadAllVoices() {
    const QStringList remembered = selectedTexts();
    // The descriptions are gathered before any list is touched, so an engine failure leaves
    // the lists and selections as they were.
    QStringList descriptions;
    {
        EngineOperation operation(m_services.speech);
        const std::unique_ptr<SpeechVoice> voice = m_services.speech.createVoice();
        const TokenCollection voices = voice->voices();
        for (int i = 0; i < voices.count(); ++i)
            descriptions << voices.item(i)->description();
    }
    for (QComboBox* comboBox : comboBoxesInStandardOrder())
        refill(*comboBox, descriptions);
    selectTexts(remembered);
}

void VoiceSettingsDialog::loadAvailableVoices() {
    QStringList english;
    QStringList japanese;
    for (const CatalogueEntry& entry : readCatalogue(SettingsFile(m_services.settingsPath))) {
        if (entry.voice.isEmpty())
            continue;
        if (equalsIgnoringAsciiCase(entry.language, kLanguageEnglish))
            english << entry.voice;
        else if (equalsIgnoringAsciiCase(entry.language, kLanguageJapanese))
            japanese << entry.voice;
    }
    for (QComboBox* comboBox : {cmbVoiceAEnglish, cmbVoiceBEnglish, cmbVoiceCEnglish})
        refill(*comboBox, english);
    for (QComboBox* comboBox : {cmbVoiceAJapanese, cmbVoiceBJapanese, cmbVoiceCJapanese})
        refill(*comboBox, japanese);
}

void VoiceSettingsDialog::showAvailableVoices() {
    const QStringList remembered = selectedTexts();
    if (catalogueCount(SettingsFile(m_services.settingsPath)) <= 0) {
        m_services.messages.showMessage(tr("使用可能な音声がまだ確認されていません。\r\n"
                                           "先に「音声確認」で全音声をチェックしてください。"));
        return;
    }
    loadAvailableVoices();
    selectTexts(remembered);
}

void VoiceSettingsDialog::testVoice(QComboBox* comboBox, const QString& sentence) {
    // With nothing selected no voice can match, not even one whose description is empty.
    const bool hasSelection = comboBox->currentIndex() >= 0;
    const QString wanted = selectedText(*comboBox);

    EngineOperation operation(m_services.speech);
    const std::unique_ptr<SpeechVoice> voice = m_services.speech.createVoice();
    const CategorisedVoices categories = listVoiceCategories(m_services.speech, *voice);

    // An ordinary voice wins over a second-category voice of the same description.
    for (const TokenCollection* voices : {&categories.ordinary, &categories.oneCore}) {
        for (int i = 0; hasSelection && i < voices->count(); ++i) {
            const VoiceTokenPtr token = voices->item(i);
            const QString description = token->description();
            if (equalsIgnoringAsciiCase(description, wanted)) {
                m_services.messages.showMessage(testMessage(*voice, token, description, sentence));
                return;
            }
        }
    }
    m_services.messages.showMessage(tr("選択された音声が見つかりません。"));
}

void VoiceSettingsDialog::save() {
    SettingsFile file(m_services.settingsPath);
    // All six keys are replaced at once: a failed save leaves the earlier choices whole and the
    // window open.
    saveSpeakerVoices(file, selectedTexts());
    accept();
}

} // namespace lessora
