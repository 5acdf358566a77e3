#include "voices/SettingsFile.h"

// Placeholder: reads give their defaults and writes are dropped until the INI layer lands.

namespace lessora {

SettingsFile::SettingsFile(QString path)
    : m_path(std::move(path)) {}

QString SettingsFile::ReadString(const QString&, const QString&, const QString& defaultValue) const {
    return defaultValue;
}

int SettingsFile::ReadInteger(const QString&, const QString&, int defaultValue) const {
    return defaultValue;
}

void SettingsFile::WriteString(const QString&, const QString&, const QString&) {}
void SettingsFile::WriteInteger(const QString&, const QString&, int) {}
void SettingsFile::EraseSection(const QString&) {}

void rewriteCatalogue(SettingsFile&, const QList<CatalogueEntry>&) {}

int catalogueCount(const SettingsFile&) {
    return 0;
}

} // namespace lessora
