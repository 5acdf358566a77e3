#include "files/FileNames.h"

#include <sys/stat.h>

namespace lessora {

namespace {

constexpr char16_t kEscapeBase = 0xDC00;

// The length of the valid UTF-8 sequence at `i` and its code point; 0 when there is none.
int validSequence(const QByteArray& bytes, qsizetype i, char32_t& codePoint) {
    const auto byte = [&](qsizetype at) { return static_cast<unsigned char>(bytes[at]); };
    const unsigned char lead = byte(i);
    int length = 0;
    char32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, minimum = 0x80, codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, minimum = 0x800, codePoint = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, minimum = 0x10000, codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > bytes.size())
        return 0;
    for (int k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
        codePoint = (codePoint << 6) | (byte(i + k) & 0x3F);
    }
    const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
    return codePoint < minimum || codePoint > 0x10FFFF || surrogate ? 0 : length;
}

} // namespace

QString fileNameFromBytes(const QByteArray& bytes) {
    QString name;
    name.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            name += QChar(lead);
            ++i;
            continue;
        }
        char32_t codePoint = 0;
        if (const int length = validSequence(bytes, i, codePoint)) {
            name += QString::fromUcs4(&codePoint, 1);
            i += length;
        } else {
            name += QChar(char16_t(kEscapeBase + lead));
            ++i;
        }
    }
    return name;
}

QByteArray fileNameBytes(const QString& name) {
    QByteArray bytes;
    bytes.reserve(name.size());
    qsizetype plainFrom = 0; // start of the run without escaped bytes
    for (qsizetype i = 0; i <= name.size(); ++i) {
        const bool escaped = i < name.size() && name[i].unicode() >= kEscapeBase + 0x80 &&
                             name[i].unicode() <= kEscapeBase + 0xFF &&
                             (i == 0 || !name[i - 1].isHighSurrogate());
        if (!escaped && i < name.size())
            continue;
        bytes += QStringView(name).mid(plainFrom, i - plainFrom).toUtf8();
        if (escaped)
            bytes += char(name[i].unicode() - kEscapeBase);
        plainFrom = i + 1;
    }
    return bytes;
}

bool fileExists(const QString& name) {
    struct stat status {};
    return !name.isEmpty() && ::stat(fileNameBytes(name).constData(), &status) == 0;
}

QString localFileOfUrl(const QUrl& url) {
    if (!url.isLocalFile() || !url.host().isEmpty())
        return url.toLocalFile();
    return fileNameFromBytes(
        QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
}

} // namespace lessora
