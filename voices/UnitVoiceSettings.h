#pragma once

#include "platform/ErrorHandler.h"
#include "platform/Services.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;

namespace lessora {

// Assigns an English and a Japanese voice to each of the three speaker pairs.
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

private:
    void createControls();

    Services m_services;
    ErrorHandler m_errors;
};

} // namespace lessora
