#pragma once

#include <QString>

namespace lessora {

// Where Debian's packages put Open JTalk (open-jtalk), its dictionary
// (open-jtalk-mecab-naist-jdic) and its HTS voice (hts-voice-nitech-jp-atr503-m001).
inline const QString kOpenJTalkProgram = QStringLiteral("/usr/bin/open_jtalk");
inline const QString kOpenJTalkDictionary =
    QStringLiteral("/var/lib/mecab/dic/open-jtalk/naist-jdic");
inline const QString kOpenJTalkVoice =
    QStringLiteral("/usr/share/hts-voice/nitech-jp-atr503-m001/nitech_jp_atr503_m001.htsvoice");

// The voice is in Debian's contrib component, which a new system leaves off.
inline const QString kOpenJTalkVoicePackage = QStringLiteral("hts-voice-nitech-jp-atr503-m001");

} // namespace lessora
