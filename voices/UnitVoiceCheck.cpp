#include "voices/UnitVoiceCheck.h"

#include <QListWidget>
#include <QPushButton>

namespace lessora {

TfrmVoiceCheck::TfrmVoiceCheck(const Services& services, QWidget* parent)
    : QDialog(parent)
    , m_services(services)
    , m_errors(services.messages) {
    setWindowTitle(QStringLiteral("使用可能な音声の確認"));
    setFixedSize(640, 380);
    lstVoices = new QListWidget(this);
    lstVoices->setGeometry(24, 24, 585, 273);
    btnCheckAllVoices = new QPushButton(QStringLiteral("全音声をチェック"), this);
    btnCheckAllVoices->setGeometry(256, 328, 113, 33);
    m_errors.run([this] { FormCreate(); });
}

void TfrmVoiceCheck::FormCreate() {}

} // namespace lessora
