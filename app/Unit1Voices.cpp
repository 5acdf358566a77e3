// The voice list of the main window.
#include "app/Unit1.h"

#include "platform/MessageBoxes.h"
#include "voices/SpeechEngine.h"

namespace lessora {

void TForm1::btnVoiceListClick() {
    EngineOperation operation(m_services.speech);
    const std::unique_ptr<SpVoice> voice = m_services.speech.CreateVoice();
    const TokenCollection voices = voice->GetVoices();
    QString text;
    for (int i = 0; i < voices.Count(); ++i)
        text += QString::number(i) + QStringLiteral(": ") + voices.Item(i)->GetDescription() +
                QStringLiteral("\r\n");
    m_services.messages.showMessage(text);
}

} // namespace lessora
