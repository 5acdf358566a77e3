#pragma once

#include "platform/ErrorHandler.h"
#include "platform/Services.h"

#include <QDialog>

class QListWidget;
class QPushButton;

namespace lessora {

// Test-speaks every voice and records the usable ones in the voice catalogue.
class TfrmVoiceCheck : public QDialog {
    Q_OBJECT
public:
    explicit TfrmVoiceCheck(const Services& services, QWidget* parent = nullptr);

    QListWidget* lstVoices;
    QPushButton* btnCheckAllVoices;

    void FormCreate();

private:
    Services m_services;
    ErrorHandler m_errors;
};

} // namespace lessora
