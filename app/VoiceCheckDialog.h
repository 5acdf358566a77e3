#pragma once

#include "app/Services.h"
#include "platform/ErrorHandler.h"
#include "settings/SettingsFile.h"
#include "voices/SpeechEngine.h"

#include <QDialog>

class QListWidget;
class QPushButton;

namespace lessora {

// Test-speaks every voice and records the usable ones in the voice catalogue.
//
// The check lets pending events through between voices so the list repaints; while it runs the
// button is disabled and every way of closing the window (frame, Esc, reject) is ignored, so a
// second check can never start inside the first and the window cannot vanish under it.
class VoiceCheckDialog : public QDialog {
    Q_OBJECT
public:
    explicit VoiceCheckDialog(const Services& services, QWidget* parent = nullptr);

    // Test-speaks every voice, shows each outcome and rewrites the catalogue with the usable
    // ones ("全音声をチェック").
    void checkAllVoices();

    bool isChecking() const { return m_checking; }

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // The controls; each one's object name is its member name.
    QListWidget* lstVoices;
    QPushButton* btnCheckAllVoices;

    // The title, the caption and the list's lines in the language shown.
    void retranslateUi();
    // The voices with their Language attributes, as the window first shows them.
    void listVoices();
    void runCheck();
    // Shows the voice as being tested, lets it speak, shows the outcome and records it in
    // `usable` when it spoke.
    void checkVoice(SpeechVoice& voice, const VoiceTokenPtr& token, const QString& voiceType,
                    QList<CatalogueEntry>& usable);

    Services m_services;
    ErrorHandler m_errors;
    bool m_checking = false;
};

} // namespace lessora
