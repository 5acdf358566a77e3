#include "voices/UnitVoiceSettings.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

namespace lessora {

namespace {
constexpr int kDefaultButtonWidth = 75;
constexpr int kDefaultButtonHeight = 25;

template <typename W> W* place(W* widget, int x, int y, int w, int h) {
    widget->setGeometry(x, y, w, h);
    return widget;
}
} // namespace

TfrmVoiceSettings::TfrmVoiceSettings(const Services& services, QWidget* parent)
    : QDialog(parent)
    , m_services(services)
    , m_errors(services.messages) {
    setWindowTitle(QStringLiteral("音声設定"));
    setFixedSize(688, 340);
    createControls();
    m_errors.run([this] { FormCreate(); });
}

void TfrmVoiceSettings::createControls() {
    auto label = [this](const QString& caption, int x, int y, int w, int h) {
        return place(new QLabel(caption, this), x, y, w, h);
    };
    auto combo = [this](int x, int y) { return place(new QComboBox(this), x, y, 157, 22); };
    auto button = [this](const QString& caption, int x, int y, int w, int h) {
        return place(new QPushButton(caption, this), x, y, w, h);
    };
    const QString test = QStringLiteral("テスト");

    English = label(QStringLiteral("English"), 120, 34, 84, 17);
    Label4 = label(QStringLiteral("Japanese"), 431, 34, 84, 17);
    Label1 = label(QStringLiteral("話者A"), 40, 64, 40, 17);
    Label2 = label(QStringLiteral("話者B"), 40, 112, 40, 17);
    Label3 = label(QStringLiteral("話者C"), 40, 160, 40, 17);
    cmbVoiceAEnglish = combo(81, 59);
    cmbVoiceBEnglish = combo(81, 107);
    cmbVoiceCEnglish = combo(81, 155);
    btnTestAEnglish = button(test, 246, 59, 49, 22);
    btnTestBEnglish = button(test, 246, 107, 49, 22);
    btnTestCEnglish = button(test, 246, 155, 49, 22);
    Label5 = label(QStringLiteral("話者Q"), 360, 64, 45, 17);
    Label6 = label(QStringLiteral("話者R"), 360, 112, 45, 17);
    Label7 = label(QStringLiteral("話者S"), 360, 160, 45, 17);
    for (QLabel* right : {Label5, Label6, Label7})
        right->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    cmbVoiceAJapanese = combo(413, 59);
    cmbVoiceBJapanese = combo(413, 112);
    cmbVoiceCJapanese = combo(413, 155);
    btnTestAJapanese = button(test, 578, 59, 49, 22);
    btnTestBJapanese = button(test, 578, 112, 48, 22);
    btnTestCJapanese = button(test, 578, 155, 49, 22);
    btnAvailableVoices = button(QStringLiteral("使用できる音声"), 168, 224, 127, 22);
    btnAllVoices = button(QStringLiteral("全音声"), 374, 224, 127, 22);
    btnOK = button(QStringLiteral("保存"), 236, 288, kDefaultButtonWidth, kDefaultButtonHeight);
    btnCancel =
        button(QStringLiteral("キャンセル"), 360, 288, kDefaultButtonWidth, kDefaultButtonHeight);
}

void TfrmVoiceSettings::FormCreate() {}

} // namespace lessora
