#pragma once

#include <QString>

namespace lessora {

// Language names as the lesson rows and the voice catalogue store them.
inline const QString kLanguageEnglish = QStringLiteral("English");
inline const QString kLanguageJapanese = QStringLiteral("Japanese");
inline const QString kLanguageUnknown = QStringLiteral("Unknown");

// Voice types as the voice catalogue stores them, whatever engine provides the voices, so that
// settings files stay readable by every version of the program.
inline const QString kVoiceTypeSapi = QStringLiteral("SAPI");
inline const QString kVoiceTypeOneCore = QStringLiteral("OneCore");

inline const QString kEnglishTestSentence = QStringLiteral("This is a voice test.");
inline const QString kJapaneseTestSentence = QStringLiteral("これは音声のテストです。");

// The language of a voice from its "Language" attribute: hexadecimal language identifiers
// separated by ";". The first readable identifier whose primary language is English (9) or
// Japanese (0x11) decides; "Unknown" when there is none.
QString languageNameOf(const QString& languageAttribute);

// The Japanese sentence for Japanese voices, the English one for all others.
const QString& testSentenceFor(const QString& languageName);

} // namespace lessora
