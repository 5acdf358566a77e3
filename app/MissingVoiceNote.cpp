#include "app/MissingVoiceNote.h"

#include "voices/SpeechEngine.h"

#include <QLabel>

namespace lessora {

QLabel* addMissingVoiceNote(QWidget& window, const SpeechEngine& engine, const QRect& geometry) {
    const QString package = engine.missingVoicePackage();
    if (package.isEmpty())
        return nullptr;
    auto* note = new QLabel(
        QStringLiteral("Open JTalk の音声 %1 がインストールされていません").arg(package), &window);
    note->setObjectName(QStringLiteral("lblMissingVoice"));
    note->setToolTip(QStringLiteral("日本語はアクセントのない eSpeak NG の音声で読まれます。"
                                    "パッケージは Debian の contrib にあります。"));
    note->setTextInteractionFlags(Qt::TextSelectableByMouse); // the name can be copied
    note->setGeometry(geometry);
    return note;
}

} // namespace lessora
