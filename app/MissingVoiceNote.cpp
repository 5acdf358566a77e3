#include "app/MissingVoiceNote.h"

#include "voices/SpeechEngine.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLabel>

namespace lessora {

namespace {

// Says which package is missing, in the language shown.
class MissingVoiceLabel : public QLabel {
public:
    MissingVoiceLabel(const QString& package, QWidget* parent)
        : QLabel(parent)
        , m_package(package) {
        retranslate();
    }

protected:
    void changeEvent(QEvent* event) override {
        QLabel::changeEvent(event);
        if (event->type() == QEvent::LanguageChange)
            retranslate();
    }

private:
    void retranslate() {
        setText(QCoreApplication::translate("MissingVoiceNote",
                                            "Open JTalk の音声 %1 がインストールされていません")
                    .arg(m_package));
        setToolTip(QCoreApplication::translate(
            "MissingVoiceNote", "日本語はアクセントのない eSpeak NG の音声で読まれます。"
                                "パッケージは Debian の contrib にあります。"));
    }

    QString m_package;
};

} // namespace

QLabel* addMissingVoiceNote(QWidget& window, const SpeechEngine& engine, const QRect& geometry) {
    const QString package = engine.missingVoicePackage();
    if (package.isEmpty())
        return nullptr;
    auto* note = new MissingVoiceLabel(package, &window);
    note->setObjectName(QStringLiteral("lblMissingVoice"));
    note->setTextInteractionFlags(Qt::TextSelectableByMouse); // the name can be copied
    note->setGeometry(geometry);
    return note;
}

} // namespace lessora
