#pragma once

#include "app/Services.h"
#include "platform/ErrorHandler.h"

#include <QDialog>
#include <QStringList>
#include <array>

class QComboBox;
class QLabel;
class QPushButton;

namespace lessora {

// Assigns an English and a Japanese voice to each of the three speaker pairs.
//
// The lists and selections live only in the combo boxes and stay between showings; "保存" is
// the only action that writes the settings file. "キャンセル" and closing by the frame close
// the window and keep everything as it is.
class VoiceSettingsDialog : public QDialog {
    Q_OBJECT
public:
    explicit VoiceSettingsDialog(const Services& services, QWidget* parent = nullptr);

protected:
    void changeEvent(QEvent* event) override;

private:
    // The controls; each one's object name is its member name.
    QLabel* lblEnglishColumn;
    QLabel* lblJapaneseColumn;
    QLabel* lblSpeakerA;
    QLabel* lblSpeakerB;
    QLabel* lblSpeakerC;
    QComboBox* cmbVoiceAEnglish;
    QComboBox* cmbVoiceBEnglish;
    QComboBox* cmbVoiceCEnglish;
    QPushButton* btnTestAEnglish;
    QPushButton* btnTestBEnglish;
    QPushButton* btnTestCEnglish;
    QLabel* lblSpeakerQ;
    QLabel* lblSpeakerR;
    QLabel* lblSpeakerS;
    QComboBox* cmbVoiceAJapanese;
    QComboBox* cmbVoiceBJapanese;
    QComboBox* cmbVoiceCJapanese;
    QPushButton* btnTestAJapanese;
    QPushButton* btnTestBJapanese;
    QPushButton* btnTestCJapanese;
    QPushButton* btnAvailableVoices;
    QPushButton* btnAllVoices;
    QPushButton* btnOK;
    QPushButton* btnCancel;

    using ComboBoxes = std::array<QComboBox*, 6>;

    void createControls();
    // The title and captions in the language shown.
    void retranslateUi();
    void wireControls();
    // The six combo boxes in the standard order (A English, A Japanese, B English, ...),
    // matching the speaker keys of the settings file.
    ComboBoxes comboBoxesInStandardOrder() const;
    QStringList selectedTexts() const;
    void selectTexts(const QStringList& texts);

    // Fills the lists from the catalogue, or with every voice while there is none, and
    // selects the saved voices.
    void fillLists();
    // Every voice of the engine in each list; the selections stay where they can.
    void loadAllVoices();
    // The catalogued voices of each list's language, or a message while there are none.
    void showAvailableVoices();
    void loadAvailableVoices();
    void testVoice(QComboBox* comboBox, const QString& sentence);
    // Stores the six choices and closes the window.
    void save();

    Services m_services;
    ErrorHandler m_errors;
};

} // namespace lessora
