// Feeds arbitrary bytes to the settings file as its contents: reading must never crash or hang,
// and an edit must change exactly what it was asked to change, as every later read sees it.
#include "settings/IniText.h"
#include "settings/SettingsFile.h"
#include "settings/Speakers.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace lessora;

namespace {

const QString kSections[] = {QStringLiteral("Voice"), QStringLiteral("AvailableVoices"),
                             QStringLiteral("vOICE"), QStringLiteral("Other")};
const QString kKeys[] = {QStringLiteral("SpeakerA_English"), QStringLiteral("Count"),
                         QStringLiteral("Voice0"), QStringLiteral("voice1"),
                         QStringLiteral("Language0")};

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "settings fuzz: %s\n", what);
    std::abort();
}

void check(bool condition, const char* what) {
    if (!condition)
        fail(what);
}

std::optional<QString> expectedRead(const QString& value) {
    QString cut = value.left(ini::kMaxValueLength);
    if (!cut.isEmpty() && cut.size() == ini::kMaxValueLength && cut.back().isHighSurrogate())
        cut.chop(1);
    return cut;
}

// Every probe other than the edited one reads as before the edit.
void checkOtherProbes(QByteArrayView before, QByteArrayView after, const QString& section,
                      const QString* key) {
    for (const QString& s : kSections) {
        for (const QString& k : kKeys) {
            const bool edited =
                ini::sameName(s, section) && (key == nullptr || ini::sameName(k, *key));
            if (!edited)
                check(ini::findValue(before, s, k) == ini::findValue(after, s, k),
                      "an edit changed another key");
        }
    }
}

void checkPureParser(QByteArrayView file, const QString& value) {
    for (const QString& section : kSections) {
        for (const auto& [key, stored] : ini::sectionEntries(file, section))
            check(ini::findValue(file, section, key) == stored, "section listing disagrees");
        for (const QString& key : kKeys) {
            if (const std::optional<QString> stored = ini::findValue(file, section, key)) {
                check(stored->size() <= ini::kMaxValueLength, "value longer than delivered");
                ini::parseInteger(*stored);
            }
        }
    }

    const QString& section = kSections[value.size() % std::size(kSections)];
    const QString& key = kKeys[value.size() % std::size(kKeys)];
    if (ini::isWritableValue(value)) {
        const QByteArray edited = ini::withValue(file, section, key, value);
        check(ini::findValue(edited, section, key) == expectedRead(value), "write not read back");
        checkOtherProbes(file, edited, section, &key);
    }
    const QByteArray erased = ini::withoutSection(file, section);
    for (const QString& k : kKeys)
        check(!ini::findValue(erased, section, k), "erased section still read");
    checkOtherProbes(file, erased, section, nullptr);
}

// The same bytes as a real file, read the way the program reads it.
void checkSettingsFile(QByteArrayView bytes) {
    static QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("Lessora.ini"));
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        out.write(bytes.data(), bytes.size()) != bytes.size())
        fail("cannot write the temporary file");
    out.close();

    const SettingsFile file(path);
    for (const QString& key : speakerVoiceKeys())
        file.readString(kVoiceSection, key, QString());
    const int stored = file.readInteger(kCatalogueSection, QStringLiteral("Count"), 0);
    const int count = catalogueCount(file);
    check(count >= 0 && count <= std::max(stored, 0), "catalogue count beyond Count");
    check(readCatalogue(file).size() <= count, "more entries than the count");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    // The first line doubles as a value to write, so values are fuzzed as well.
    const qsizetype lineEnd = bytes.indexOf('\n');
    const QString value = QString::fromUtf8(lineEnd < 0 ? bytes : bytes.first(lineEnd));
    checkPureParser(bytes, value);
    checkSettingsFile(bytes);
    return 0;
}
