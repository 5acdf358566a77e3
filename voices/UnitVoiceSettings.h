#pragma once

#include "platform/ErrorHandler.h"
#include "platform/Services.h"

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
class TfrmVoiceSettings : public QDialog {
    Q_OBJECT
public:
    explicit TfrmVoiceSettings(const Services& services, QWidget* parent = nullptr);

    QLabel* English;
    QLabel* Label4;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QComboBox* cmbVoiceAEnglish;
    QComboBox* cmbVoiceBEnglish;
    QComboBox* cmbVoiceCEnglish;
    QPushButton* btnTestAEnglish;
    QPushButton* btnTestBEnglish;
    QPushButton* btnTestCEnglish;
    QLabel* Label5;
    QLabel* Label6;
    QLabel* Label7;
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

    void FormCreate();
    void btnAllVoicesClick();
    void btnAvailableVoicesClick();
    void btnTestAEnglishClick();
    void btnTestBEnglishClick();
    void btnTestCEnglishClick();
    void btnTestAJapaneseClick();
    void btnTestBJapaneseClick();
    void btnTestCJapaneseClick();
    void btnOKClick();

private:
    using ComboBoxes = std::array<QComboBox*, 6>;

    void createControls();
    void wireControls();
    // The six combo boxes in the standard order (A English, A Japanese, B English, ...),
    // matching the speaker keys of the settings file.
    ComboBoxes comboBoxesInStandardOrder() const;
    QStringList selectedTexts() const;
    void selectTexts(const QStringList& texts);

    void LoadAllVoices();
    void LoadAvailableVoices();
    void TestVoice(QComboBox* comboBox, const QString& sentence);

    Services m_services;
    ErrorHandler m_errors;
};

} // namespace lessora
