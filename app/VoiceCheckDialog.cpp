#include "app/VoiceCheckDialog.h"

#include "app/Logging.h"
#include "app/MissingVoiceNote.h"
#include "app/WidgetPlacement.h"
#include "settings/LanguageName.h"
#include "settings/SettingsFile.h"
#include "voices/SpeechEngine.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QListWidget>
#include <QPushButton>
#include <optional>

namespace lessora {

namespace {

// A line of the list: what it shows is made from these, again when the language changes.
enum class LineStatus { Listed, Testing, Usable, Unusable };
constexpr int kStatusRole = Qt::UserRole;
constexpr int kVoiceTypeRole = Qt::UserRole + 1;
constexpr int kRestRole = Qt::UserRole + 2;      // the voice and its language
constexpr int kAttributeRole = Qt::UserRole + 3; // Listed: the attribute, null when unreadable

QString lineText(const QListWidgetItem& line) {
    const auto status = static_cast<LineStatus>(line.data(kStatusRole).toInt());
    const QString rest = line.data(kRestRole).toString();
    if (status == LineStatus::Listed) {
        const QVariant attribute = line.data(kAttributeRole);
        return rest + QStringLiteral("  [Language=") +
               (attribute.isNull() ? VoiceCheckDialog::tr("取得できません")
                                   : attribute.toString()) +
               u']';
    }
    const QString tag = QStringLiteral("  [%1] ").arg(line.data(kVoiceTypeRole).toString());
    switch (status) {
    case LineStatus::Testing:
        return VoiceCheckDialog::tr("▶ 確認中...") + tag + rest;
    case LineStatus::Usable:
        return VoiceCheckDialog::tr("○ 使用可能") + tag + rest;
    default:
        return VoiceCheckDialog::tr("× 使用不可") + tag + rest;
    }
}

void setStatus(QListWidgetItem& line, LineStatus status) {
    line.setData(kStatusRole, int(status));
    line.setText(lineText(line));
}

// The Language attribute, or nothing when the engine cannot give it.
std::optional<QString> languageAttribute(const VoiceToken& token) {
    try {
        return token.attribute(QStringLiteral("Language"));
    } catch (const std::exception& error) {
        // Its list entry names the language as unknown.
        qCInfo(lcApp) << "no language for a voice:" << error.what();
        return std::nullopt;
    }
}

// Restores the button and the flag however the check ends.
class CheckInProgress {
public:
    CheckInProgress(bool& checking, QPushButton& button)
        : m_checking(checking)
        , m_button(button) {
        m_checking = true;
        m_button.setEnabled(false);
    }
    ~CheckInProgress() {
        m_button.setEnabled(true);
        m_checking = false;
    }
    CheckInProgress(const CheckInProgress&) = delete;
    CheckInProgress& operator=(const CheckInProgress&) = delete;

private:
    bool& m_checking;
    QPushButton& m_button;
};

} // namespace

VoiceCheckDialog::VoiceCheckDialog(const Services& services, QWidget* parent)
    : QDialog(parent)
    , m_services(services)
    , m_errors(services.messages) {
    setFixedSize(640, 380);
    lstVoices = new QListWidget(this);
    lstVoices->setGeometry(24, 24, 585, 273);
    btnCheckAllVoices = new QPushButton(this);
    retranslateUi();
    btnCheckAllVoices->setGeometry(256, 328, 113, 33);
    setObjectNames({{lstVoices, "lstVoices"}, {btnCheckAllVoices, "btnCheckAllVoices"}});
    addMissingVoiceNote(*this, m_services.speech, QRect(24, 302, 585, 20));
    connect(btnCheckAllVoices, &QPushButton::clicked, this,
            [this] { m_errors.run([this] { checkAllVoices(); }); });
    m_errors.run([this] { listVoices(); });
}

void VoiceCheckDialog::listVoices() {
    lstVoices->clear();
    EngineOperation operation(m_services.speech);
    const std::unique_ptr<SpeechVoice> voice = m_services.speech.createVoice();
    const TokenCollection voices = voice->voices();
    for (int i = 0; i < voices.count(); ++i) {
        const VoiceTokenPtr token = voices.item(i);
        const QString description = token->description();
        auto* line = new QListWidgetItem(lstVoices);
        line->setData(kRestRole, description);
        if (const std::optional<QString> attribute = languageAttribute(*token))
            line->setData(kAttributeRole, *attribute);
        setStatus(*line, LineStatus::Listed);
    }
}

void VoiceCheckDialog::checkAllVoices() {
    // Clicks queued while a voice speaks arrive between voices; they must not nest a check.
    if (m_checking)
        return;
    CheckInProgress inProgress(m_checking, *btnCheckAllVoices);
    runCheck();
}

void VoiceCheckDialog::runCheck() {
    QList<CatalogueEntry> usable;
    {
        EngineOperation operation(m_services.speech);
        const std::unique_ptr<SpeechVoice> voice = m_services.speech.createVoice();
        const CategorisedVoices voices = listVoiceCategories(m_services.speech, *voice);

        lstVoices->clear();
        for (int i = 0; i < voices.ordinary.count(); ++i)
            checkVoice(*voice, voices.ordinary.item(i), kVoiceTypeSapi, usable);
        for (int i = 0; i < voices.oneCore.count(); ++i)
            checkVoice(*voice, voices.oneCore.item(i), kVoiceTypeOneCore, usable);
    }
    SettingsFile file(m_services.settingsPath);
    rewriteCatalogue(file, usable);
}

void VoiceCheckDialog::checkVoice(SpeechVoice& voice, const VoiceTokenPtr& token,
                                  const QString& voiceType, QList<CatalogueEntry>& usable) {
    const QString description = token->description();
    const QString languageName = languageNameOf(languageAttribute(*token).value_or(QString()));
    const QString rest = description + QStringLiteral(" [") + languageName + u']';

    auto* line = new QListWidgetItem(lstVoices);
    line->setData(kVoiceTypeRole, voiceType);
    line->setData(kRestRole, rest);
    setStatus(*line, LineStatus::Testing);
    lstVoices->setCurrentItem(line);
    lstVoices->scrollToItem(line);
    QCoreApplication::processEvents();

    try {
        voice.setVoice(token);
        voice.speak(testSentenceFor(languageName), kSpeakSync);
        setStatus(*line, LineStatus::Usable);
        usable.append({description, languageName, voiceType});
    } catch (const std::exception& error) {
        // The check only tells usable from unusable; the reason is only logged.
        qCInfo(lcApp) << "voice unusable:" << description << ":" << error.what();
        setStatus(*line, LineStatus::Unusable);
    }
    QCoreApplication::processEvents();
}

void VoiceCheckDialog::retranslateUi() {
    setWindowTitle(tr("使用可能な音声の確認"));
    btnCheckAllVoices->setText(tr("全音声をチェック"));
    for (int i = 0; i < lstVoices->count(); ++i)
        lstVoices->item(i)->setText(lineText(*lstVoices->item(i)));
}

void VoiceCheckDialog::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::LanguageChange)
        retranslateUi();
}

void VoiceCheckDialog::reject() {
    if (m_checking)
        return;
    QDialog::reject();
}

void VoiceCheckDialog::closeEvent(QCloseEvent* event) {
    if (m_checking) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

} // namespace lessora
