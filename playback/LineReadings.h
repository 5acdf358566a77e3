#pragma once

#include <QHash>
#include <QString>

namespace lessora {

// The kana readings of Japanese lines, as the Japanese voices read them (the reading comes from
// the voices, so it follows whatever they learn). Each text is read once and kept.
class LineReadings {
public:
    // The reading of a line whose Language cell is "Japanese"; empty for any other line.
    QString readingOf(const QString& text, const QString& languageCell);

private:
    QHash<QString, QString> m_readings;
};

} // namespace lessora
