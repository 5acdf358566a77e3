#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

namespace lessora {

// The six speakers of a lesson. A, B and C speak English, Q, R and S Japanese; the settings
// file keeps one voice for each under section "Voice", the Japanese speakers under the name of
// the English speaker they are paired with (A with Q, B with R, C with S).
struct Speaker {
    QString code;     // "A", "B", "C", "Q", "R", "S"
    QString language; // "English" or "Japanese"
    QString voiceKey; // the key of section "Voice"
};

// In the standard order of the settings file: A, Q, B, R, C, S.
const QList<Speaker>& speakers();

// The speaker of an exact code (ASCII letter case ignored, nothing trimmed), or null.
const Speaker* speakerOfCode(QStringView code);

// The six voice keys of section "Voice" in their standard order.
const QStringList& speakerVoiceKeys();

} // namespace lessora
