// Reads lesson files. The parser is strict RFC 8259 JSON over the file's UTF-8 bytes, written
// for this file: it keeps a number's text exactly as written (1.50 stays 1.50, 1e400 stays
// 1e400), takes \u escapes of lone surrogates as the code units they name (the writer produces
// them for any text the table holds), keeps only the values the lesson needs and bounds its
// nesting depth. Everything is converted before the result is handed back, so nothing half-read
// ever reaches the table.
#include "files/LessonFile.h"
#include "lesson/LessonOptions.h"
#include "lesson/RecentTexts.h"
#include "settings/AsciiCase.h"
#include "settings/Speakers.h"

#include <QCoreApplication>
#include <algorithm>
#include <array>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace lessora {

namespace {

// Thrown inside the parser when the text is not one JSON value; ends the whole read.
struct NotJsonText {};

struct JsonValue {
    enum class Kind { Null, False, True, Number, String, Object, Array };
    Kind kind = Kind::Null;
    QString text; // String: the content; Number: the number exactly as written
};

// A converted value, or the message saying why it could not be converted.
template <typename T> struct Converted {
    T value{};
    QString error;
};

QString kindName(JsonValue::Kind kind) {
    switch (kind) {
    case JsonValue::Kind::Null:
        return QStringLiteral("TJSONNull");
    case JsonValue::Kind::False:
    case JsonValue::Kind::True:
        return QStringLiteral("TJSONBool");
    case JsonValue::Kind::Number:
        return QStringLiteral("TJSONNumber");
    case JsonValue::Kind::String:
        return QStringLiteral("TJSONString");
    case JsonValue::Kind::Object:
        return QStringLiteral("TJSONObject");
    case JsonValue::Kind::Array:
        return QStringLiteral("TJSONArray");
    }
    return {};
}

QString unsupportedConversion(JsonValue::Kind kind, const char* wanted) {
    return QCoreApplication::translate("Files", "%1 から %2 への変換はサポートされていません")
        .arg(kindName(kind), QLatin1String(wanted));
}

// The value of each byte as a hexadecimal digit, or -1.
constexpr std::array<signed char, 256> kHexDigits = [] {
    std::array<signed char, 256> digits{};
    for (int byte = 0; byte < 256; ++byte) {
        if (byte >= '0' && byte <= '9')
            digits[byte] = static_cast<signed char>(byte - '0');
        else if (byte >= 'a' && byte <= 'f')
            digits[byte] = static_cast<signed char>(byte - 'a' + 10);
        else if (byte >= 'A' && byte <= 'F')
            digits[byte] = static_cast<signed char>(byte - 'A' + 10);
        else
            digits[byte] = -1;
    }
    return digits;
}();

int hexDigit(char16_t c) {
    return c < 256 ? kHexDigits[c] : -1;
}

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// Optional sign and decimal digits, within the range of a 32-bit integer.
std::optional<int> parseWholeNumber(QStringView text) {
    qsizetype i = 0;
    const bool negative = !text.isEmpty() && text[0] == u'-';
    if (!text.isEmpty() && (text[0] == u'-' || text[0] == u'+'))
        ++i;
    if (i == text.size())
        return std::nullopt;
    qint64 magnitude = 0;
    for (; i < text.size(); ++i) {
        if (!isDigit(text[i]))
            return std::nullopt;
        magnitude = magnitude * 10 + (text[i].unicode() - u'0');
        if (magnitude > qint64(std::numeric_limits<int>::max()) + 1)
            return std::nullopt;
    }
    const qint64 value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(value);
}

// A decimal number: optional sign, digits with an optional fraction, optional exponent.
// Gives whether it is non-zero (any non-zero digit before the exponent), or nothing.
std::optional<bool> decimalIsNonZero(QStringView text) {
    qsizetype i = 0;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        ++i;
    bool digits = false;
    bool nonZero = false;
    bool point = false;
    for (; i < text.size() && (isDigit(text[i]) || (text[i] == u'.' && !point)); ++i) {
        if (text[i] == u'.') {
            point = true;
            continue;
        }
        digits = true;
        nonZero = nonZero || text[i] != u'0';
    }
    if (!digits)
        return std::nullopt;
    if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
        ++i;
        if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
            ++i;
        const qsizetype exponentStart = i;
        while (i < text.size() && isDigit(text[i]))
            ++i;
        if (i == exponentStart)
            return std::nullopt;
    }
    if (i != text.size())
        return std::nullopt;
    return nonZero;
}

Converted<int> toWholeNumber(const JsonValue& value) {
    switch (value.kind) {
    case JsonValue::Kind::Number:
    case JsonValue::Kind::String:
        // A number's text is JSON already: a fraction, an exponent or a value beyond 32 bits
        // makes it no whole number.
        if (const std::optional<int> number = parseWholeNumber(value.text))
            return {*number, {}};
        return {0,
                QCoreApplication::translate("Files", "'%1' は整数ではありません").arg(value.text)};
    case JsonValue::Kind::True:
        return {1, {}};
    case JsonValue::Kind::False:
        return {0, {}};
    default:
        return {0, unsupportedConversion(value.kind, "Integer")};
    }
}

Converted<bool> toBoolean(const JsonValue& value) {
    switch (value.kind) {
    case JsonValue::Kind::Number:
        return {decimalIsNonZero(value.text).value_or(false), {}};
    case JsonValue::Kind::String:
        if (equalsIgnoringAsciiCase(value.text, u"true"))
            return {true, {}};
        if (equalsIgnoringAsciiCase(value.text, u"false"))
            return {false, {}};
        if (const std::optional<bool> nonZero = decimalIsNonZero(value.text))
            return {*nonZero, {}};
        return {false, QCoreApplication::translate("Files", "'%1' は正しい論理型ではありません")
                           .arg(value.text)};
    case JsonValue::Kind::True:
        return {true, {}};
    case JsonValue::Kind::False:
        return {false, {}};
    default:
        return {false, unsupportedConversion(value.kind, "Boolean")};
    }
}

Converted<QString> toText(JsonValue&& value) {
    switch (value.kind) {
    case JsonValue::Kind::Number:
    case JsonValue::Kind::String:
        return {std::move(value.text), {}};
    case JsonValue::Kind::True:
        return {QStringLiteral("true"), {}};
    case JsonValue::Kind::False:
        return {QStringLiteral("false"), {}};
    case JsonValue::Kind::Null:
        return {QString(), {}};
    default:
        return {{}, unsupportedConversion(value.kind, "string")};
    }
}

// The four settings of the main window, then the optional practice settings.
constexpr std::array<std::string_view, 15> kSettingNames = {
    "EnglishRateIndex", "IntervalIndex", "RepeatIndex",      "HideText",       "JapaneseRateIndex",
    "SlowestEnglish",   "Role",          "ModelAfterAnswer", "AnswerGapIndex", "LineRepeatCount",
    "ShadowingGap",     "ShowReadings",  "ShowAccent",       "RecordAnswers",  "HearOwnAnswer"};
enum PracticeSetting {
    JapaneseRateIndex = 4,
    SlowestEnglish,
    Role,
    ModelAfterAnswer,
    AnswerGapIndex,
    LineRepeatCount,
    ShadowingGap,
    ShowReadings,
    ShowAccent,
    RecordAnswers,
    HearOwnAnswer
};
constexpr std::array<std::string_view, kLessonColumnCount> kRowMemberNames = {
    "No", "Speaker", "Language", "Text", "Interval"};

// The length of the well-formed UTF-8 sequence that starts with a byte of 0x80 or above, or 0
// when it is malformed: overlong, a surrogate, beyond U+10FFFF, or cut off.
int utf8SequenceLength(const uchar* p, const uchar* end) {
    const uchar lead = *p;
    int length = 0;
    uchar secondMin = 0x80;
    uchar secondMax = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        secondMin = lead == 0xE0 ? 0xA0 : 0x80;
        secondMax = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        secondMin = lead == 0xF0 ? 0x90 : 0x80;
        secondMax = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (end - p < length || p[1] < secondMin || p[1] > secondMax)
        return 0;
    for (int i = 2; i < length; ++i) {
        if (p[i] < 0x80 || p[i] > 0xBF)
            return 0;
    }
    return length;
}

bool isValidUtf8(const uchar* p, const uchar* end) {
    while (p != end) {
        if (*p < 0x80) {
            ++p;
        } else if (const int length = utf8SequenceLength(p, end)) {
            p += length;
        } else {
            return false;
        }
    }
    return true;
}

// Thrown inside the parser at a malformed UTF-8 sequence; ends the whole read.
struct NotUtf8Text {};

// A JSON string as it stands in the file, quotes excluded, already checked.
struct StringToken {
    const uchar* first;
    const uchar* last;
    bool hasEscapes;
    bool isAscii;
};

// Bytes that stand for themselves inside a JSON string: printable ASCII but for the quotation
// mark and the reverse solidus.
constexpr std::array<bool, 256> kPlainStringBytes = [] {
    std::array<bool, 256> plain{};
    for (int byte = 0x20; byte < 0x80; ++byte)
        plain[byte] = byte != '"' && byte != '\\';
    return plain;
}();

// Strict JSON grammar over the file's UTF-8 bytes, with the lesson file's structure on top:
// the root object, its settings and "Rows", and the row objects. Everything else is checked
// for syntax and skipped. Of several members with the same name the first counts. Bytes
// outside strings must be JSON's own ASCII tokens, and those inside strings are checked as
// they are passed, so a text that parses is valid UTF-8 throughout.
class LessonParser {
public:
    LessonParser(const uchar* begin, const uchar* end)
        : m_pos(begin)
        , m_end(end) {}

    // Throws NotJsonText or NotUtf8Text.
    void parseDocument();
    LessonFileContent result();

private:
    bool atEnd() const { return m_pos == m_end; }
    void skipWhitespace();
    uchar nextToken(); // skips whitespace; the text may not end here
    void expectWord(std::string_view word);

    template <typename OnMember> void parseObject(int depth, OnMember onMember);
    template <typename OnElement> void parseArray(int depth, OnElement onElement);
    void skipValue(int depth);
    JsonValue readValue(int depth, RecentTexts* recent = nullptr);
    JsonValue readNoValue(int& number);
    StringToken readString();
    void skipEscape();
    QString decode(const StringToken& token);
    QString readStringValue(RecentTexts* recent);
    char16_t readEscape();
    template <std::size_t N>
    int indexOfName(const std::array<std::string_view, N>& names, const StringToken& name);
    std::string_view readNumber();

    void readRootMember(const StringToken& name);
    void readRows();
    void readRowElement();
    void readRowObject();
    // Converts the optional practice members that the file holds; those that do not convert
    // stay unset.
    void convertPracticeSettings(StoredPracticeSettings& practice);

    const uchar* m_pos;
    const uchar* const m_end;
    std::vector<char16_t> m_scratch; // decoding room, kept from string to string
    bool m_rootIsObject = false;
    bool m_hasRows = false;
    bool m_rowsIsArray = false;
    std::array<std::optional<JsonValue>, kSettingNames.size()> m_settings;
    std::array<RecentTexts, kLessonColumnCount> m_recentCells;
    QList<LessonRow> m_rows;
    QList<int> m_numbers; // per row: its No cell's number, or 0 (LessonFileContent::numbers)
    QString m_rowsError;  // the first element that failed; later rows are only checked
};

void LessonParser::skipWhitespace() {
    while (!atEnd() && (*m_pos == ' ' || *m_pos == '\t' || *m_pos == '\n' || *m_pos == '\r'))
        ++m_pos;
}

uchar LessonParser::nextToken() {
    skipWhitespace();
    if (atEnd())
        throw NotJsonText{};
    return *m_pos;
}

void LessonParser::expectWord(std::string_view word) {
    if (std::size_t(m_end - m_pos) < word.size() ||
        std::string_view(reinterpret_cast<const char*>(m_pos), word.size()) != word)
        throw NotJsonText{};
    m_pos += word.size();
}

template <typename OnMember> void LessonParser::parseObject(int depth, OnMember onMember) {
    if (depth > kMaxJsonDepth)
        throw NotJsonText{};
    ++m_pos; // {
    if (nextToken() == '}') {
        ++m_pos;
        return;
    }
    for (;;) {
        if (nextToken() != '"')
            throw NotJsonText{};
        const StringToken name = readString();
        if (nextToken() != ':')
            throw NotJsonText{};
        ++m_pos;
        onMember(name);
        const uchar separator = nextToken();
        ++m_pos;
        if (separator == '}')
            return;
        if (separator != ',')
            throw NotJsonText{};
    }
}

template <typename OnElement> void LessonParser::parseArray(int depth, OnElement onElement) {
    if (depth > kMaxJsonDepth)
        throw NotJsonText{};
    ++m_pos; // [
    if (nextToken() == ']') {
        ++m_pos;
        return;
    }
    for (;;) {
        onElement();
        const uchar separator = nextToken();
        ++m_pos;
        if (separator == ']')
            return;
        if (separator != ',')
            throw NotJsonText{};
    }
}

void LessonParser::skipValue(int depth) {
    switch (nextToken()) {
    case '{':
        parseObject(depth, [this, depth](const StringToken&) { skipValue(depth + 1); });
        break;
    case '[':
        parseArray(depth, [this, depth] { skipValue(depth + 1); });
        break;
    case '"':
        readString();
        break;
    case 't':
        expectWord("true");
        break;
    case 'f':
        expectWord("false");
        break;
    case 'n':
        expectWord("null");
        break;
    default:
        readNumber();
        break;
    }
}

JsonValue LessonParser::readValue(int depth, RecentTexts* recent) {
    using Kind = JsonValue::Kind;
    switch (nextToken()) {
    case '{':
        skipValue(depth);
        return {Kind::Object, {}};
    case '[':
        skipValue(depth);
        return {Kind::Array, {}};
    case '"':
        return {Kind::String, readStringValue(recent)};
    case 't':
        expectWord("true");
        return {Kind::True, {}};
    case 'f':
        expectWord("false");
        return {Kind::False, {}};
    case 'n':
        expectWord("null");
        return {Kind::Null, {}};
    default: {
        const std::string_view number = readNumber();
        return {Kind::Number, QString::fromLatin1(number.data(), qsizetype(number.size()))};
    }
    }
}

StringToken LessonParser::readString() {
    ++m_pos; // opening quote
    const uchar* const first = m_pos;
    bool hasEscapes = false;
    bool isAscii = true;
    for (;;) {
        while (m_pos != m_end && kPlainStringBytes[*m_pos])
            ++m_pos;
        if (atEnd())
            throw NotJsonText{};
        const uchar c = *m_pos;
        if (c == '"') {
            break;
        } else if (c == '\\') {
            hasEscapes = true;
            skipEscape();
        } else if (c < 0x20) {
            throw NotJsonText{};
        } else if (const int length = utf8SequenceLength(m_pos, m_end)) {
            m_pos += length;
            isAscii = false;
        } else {
            throw NotUtf8Text{};
        }
    }
    return {first, m_pos++, hasEscapes, isAscii};
}

void LessonParser::skipEscape() {
    if (m_end - m_pos < 2)
        throw NotJsonText{};
    switch (m_pos[1]) {
    case '"':
    case '\\':
    case '/':
    case 'b':
    case 'f':
    case 'n':
    case 'r':
    case 't':
        m_pos += 2;
        return;
    case 'u':
        if (m_end - m_pos < 6)
            throw NotJsonText{};
        for (int i = 2; i < 6; ++i) {
            if (hexDigit(m_pos[i]) < 0)
                throw NotJsonText{};
        }
        m_pos += 6;
        return;
    default:
        throw NotJsonText{};
    }
}

// The code unit of the escape at m_pos, which it passes; throws NotJsonText when there is no
// such escape. A \u escape of a lone surrogate is kept as the code unit it names: the table may
// hold one.
char16_t LessonParser::readEscape() {
    if (m_end - m_pos < 2)
        throw NotJsonText{};
    const uchar kind = m_pos[1];
    m_pos += 2;
    switch (kind) {
    case '"':
    case '\\':
    case '/':
        return kind;
    case 'b':
        return u'\b';
    case 'f':
        return u'\f';
    case 'n':
        return u'\n';
    case 'r':
        return u'\r';
    case 't':
        return u'\t';
    case 'u': {
        if (m_end - m_pos < 4)
            throw NotJsonText{};
        char16_t unit = 0;
        for (int i = 0; i < 4; ++i) {
            const int digit = hexDigit(*m_pos++);
            if (digit < 0)
                throw NotJsonText{};
            unit = char16_t(unit * 16 + digit);
        }
        return unit;
    }
    default:
        throw NotJsonText{};
    }
}

// A string value, checked and decoded in one pass (most of a lesson's bytes are in them). Short
// plain ASCII texts come from `recent` when one is given.
QString LessonParser::readStringValue(RecentTexts* recent) {
    ++m_pos; // opening quote
    const uchar* const first = m_pos;
    while (m_pos != m_end && kPlainStringBytes[*m_pos])
        ++m_pos;
    if (m_pos != m_end && *m_pos == '"') {
        const auto* plain = reinterpret_cast<const char*>(first);
        const qsizetype size = m_pos++ - first;
        constexpr qsizetype kShortText = 16;
        if (recent && size <= kShortText)
            return recent->take(QLatin1StringView(plain, size));
        return QString::fromLatin1(plain, size);
    }
    // Escapes or non-ASCII text: decoded code unit by code unit into the scratch room.
    m_scratch.clear();
    const auto appendPlain = [this](const uchar* from, const uchar* to) {
        m_scratch.insert(m_scratch.end(), from, to);
    };
    appendPlain(first, m_pos);
    for (;;) {
        const uchar* const run = m_pos;
        while (m_pos != m_end && kPlainStringBytes[*m_pos])
            ++m_pos;
        appendPlain(run, m_pos);
        if (atEnd())
            throw NotJsonText{};
        const uchar c = *m_pos;
        if (c == '"') {
            ++m_pos;
            break;
        }
        if (c == '\\') {
            m_scratch.push_back(readEscape());
        } else if (c < 0x20) {
            throw NotJsonText{};
        } else if (const int length = utf8SequenceLength(m_pos, m_end)) {
            char32_t code = c & (0x7F >> length);
            for (int i = 1; i < length; ++i)
                code = (code << 6) | (m_pos[i] & 0x3F);
            m_pos += length;
            if (QChar::requiresSurrogates(code)) {
                m_scratch.push_back(QChar::highSurrogate(code));
                m_scratch.push_back(QChar::lowSurrogate(code));
            } else {
                m_scratch.push_back(char16_t(code));
            }
        } else {
            throw NotUtf8Text{};
        }
    }
    return QString(reinterpret_cast<const QChar*>(m_scratch.data()), qsizetype(m_scratch.size()));
}

QString LessonParser::decode(const StringToken& token) {
    const auto* bytes = reinterpret_cast<const char*>(token.first);
    const qsizetype size = token.last - token.first;
    if (!token.hasEscapes)
        return QString::fromUtf8(bytes, size);
    // Escapes and UTF-8 sequences were checked by readString. The UTF-16 text never has more
    // code units than the UTF-8 text has bytes.
    if (m_scratch.size() < std::size_t(size))
        m_scratch.resize(size);
    char16_t* const begin = m_scratch.data();
    char16_t* out = begin;
    for (const uchar* in = token.first; in != token.last;) {
        const uchar c = *in;
        if (c < 0x80 && c != '\\') {
            *out++ = c;
            ++in;
        } else if (c >= 0x80) {
            const int length = utf8SequenceLength(in, token.last);
            char32_t code = c & (0x7F >> length);
            for (int i = 1; i < length; ++i)
                code = (code << 6) | (in[i] & 0x3F);
            in += length;
            if (QChar::requiresSurrogates(code)) {
                *out++ = QChar::highSurrogate(code);
                *out++ = QChar::lowSurrogate(code);
            } else {
                *out++ = char16_t(code);
            }
        } else {
            const uchar kind = in[1];
            in += 2;
            switch (kind) {
            case 'b':
                *out++ = u'\b';
                break;
            case 'f':
                *out++ = u'\f';
                break;
            case 'n':
                *out++ = u'\n';
                break;
            case 'r':
                *out++ = u'\r';
                break;
            case 't':
                *out++ = u'\t';
                break;
            case 'u': {
                char16_t unit = 0;
                for (int i = 0; i < 4; ++i)
                    unit = char16_t(unit * 16 + hexDigit(*in++));
                // A lone surrogate is kept as the code unit it names: the table may hold one.
                *out++ = unit;
                break;
            }
            default: // quotation mark, solidus, reverse solidus
                *out++ = kind;
                break;
            }
        }
    }
    return QString(reinterpret_cast<const QChar*>(begin), out - begin);
}

// Whether a member name without escapes is the given name.
bool isName(std::string_view wanted, const StringToken& name) {
    return !name.hasEscapes && std::string_view(reinterpret_cast<const char*>(name.first),
                                                std::size_t(name.last - name.first)) == wanted;
}

template <std::size_t N>
int LessonParser::indexOfName(const std::array<std::string_view, N>& names,
                              const StringToken& name) {
    if (!name.hasEscapes) {
        const std::string_view raw(reinterpret_cast<const char*>(name.first),
                                   std::size_t(name.last - name.first));
        for (std::size_t i = 0; i < N; ++i) {
            if (names[i] == raw)
                return static_cast<int>(i);
        }
        return -1;
    }
    const QString decoded = decode(name);
    for (std::size_t i = 0; i < N; ++i) {
        if (decoded == QLatin1StringView(names[i].data(), qsizetype(names[i].size())))
            return static_cast<int>(i);
    }
    return -1;
}

// The No member. A number, or a string of digits, that the table keeps as a number gives that
// number and an empty text, so that no text is made for it; any other value is read as it is.
JsonValue LessonParser::readNoValue(int& number) {
    using Kind = JsonValue::Kind;
    const uchar first = nextToken();
    if (first == '"') {
        const uchar* last = m_pos + 1;
        while (last != m_end && *last >= '0' && *last <= '9')
            ++last;
        if (last != m_end && *last == '"') {
            const auto* digits = reinterpret_cast<const char*>(m_pos + 1);
            number = numberOfNoText(QLatin1StringView(digits, last - (m_pos + 1)));
            if (number > 0) {
                m_pos = last + 1;
                return {Kind::String, {}};
            }
        }
    } else if (first == '-' || (first >= '0' && first <= '9')) {
        const std::string_view text = readNumber();
        const QLatin1StringView latin1(text.data(), qsizetype(text.size()));
        number = numberOfNoText(latin1);
        return {Kind::Number, number > 0 ? QString() : QString(latin1)};
    }
    return readValue(4);
}

std::string_view LessonParser::readNumber() {
    const uchar* start = m_pos;
    const auto digits = [this] {
        const uchar* first = m_pos;
        while (!atEnd() && *m_pos >= '0' && *m_pos <= '9')
            ++m_pos;
        return m_pos - first;
    };
    if (!atEnd() && *m_pos == '-')
        ++m_pos;
    if (!atEnd() && *m_pos == '0')
        ++m_pos;
    else if (digits() == 0)
        throw NotJsonText{};
    if (!atEnd() && *m_pos == '.') {
        ++m_pos;
        if (digits() == 0)
            throw NotJsonText{};
    }
    if (!atEnd() && (*m_pos == 'e' || *m_pos == 'E')) {
        ++m_pos;
        if (!atEnd() && (*m_pos == '+' || *m_pos == '-'))
            ++m_pos;
        if (digits() == 0)
            throw NotJsonText{};
    }
    return {reinterpret_cast<const char*>(start), std::size_t(m_pos - start)};
}

void LessonParser::parseDocument() {
    if (nextToken() == '{') {
        m_rootIsObject = true;
        parseObject(1, [this](const StringToken& name) { readRootMember(name); });
    } else {
        skipValue(1);
    }
    skipWhitespace();
    if (!atEnd())
        throw NotJsonText{};
}

void LessonParser::readRootMember(const StringToken& name) {
    constexpr std::array<std::string_view, 1> kRows = {"Rows"};
    if (indexOfName(kRows, name) == 0) {
        if (!m_hasRows) {
            m_hasRows = true;
            readRows();
            return;
        }
    } else if (const int setting = indexOfName(kSettingNames, name);
               setting >= 0 && !m_settings[setting]) {
        m_settings[setting] = readValue(2);
        return;
    }
    skipValue(2);
}

void LessonParser::readRows() {
    if (nextToken() != '[') {
        skipValue(2);
        return;
    }
    m_rowsIsArray = true;
    // Every row is an object, so the braces left in the text bound the number of rows: room
    // for them at once spares the list its copies as it grows. Capped, as a hostile file may
    // be all braces.
    constexpr qsizetype kMostRowsReserved = 4'000'000;
    const qsizetype rows =
        std::min(qsizetype(std::count(m_pos, m_end, uchar('{'))), kMostRowsReserved);
    m_rows.reserve(rows);
    m_numbers.reserve(rows);
    parseArray(2, [this] { readRowElement(); });
}

void LessonParser::readRowElement() {
    if (!m_rowsError.isEmpty()) {
        skipValue(3);
    } else if (nextToken() != '{') {
        m_rowsError = lessonFileMessages::invalidCast();
        skipValue(3);
    } else {
        readRowObject();
    }
    if (!m_rowsError.isEmpty() && !m_rows.isEmpty()) {
        // The load fails as a whole; stop holding what was read.
        m_rows = {};
        m_numbers = {};
    }
}

void LessonParser::readRowObject() {
    std::array<std::optional<JsonValue>, kLessonColumnCount> members;
    int number = 0;   // the No cell's, when the table keeps it as a number
    int expected = 0; // the member written next in the files this program saves
    parseObject(3, [this, &members, &number, &expected](const StringToken& name) {
        const int column =
            isName(kRowMemberNames[expected], name) ? expected : indexOfName(kRowMemberNames, name);
        if (column >= 0)
            expected = (column + 1) % kLessonColumnCount;
        if (column >= 0 && !members[column])
            members[column] =
                column == ColNo ? readNoValue(number) : readValue(4, &m_recentCells[column]);
        else
            skipValue(4);
    });
    LessonRow row;
    // Members are taken in column order, so the first missing or unconvertible one names
    // the error.
    for (int column = 0; column < kLessonColumnCount; ++column) {
        if (!members[column]) {
            m_rowsError = QCoreApplication::translate("Files", "値 '%1' が見つかりません")
                              .arg(QLatin1StringView(kRowMemberNames[column].data(),
                                                     qsizetype(kRowMemberNames[column].size())));
            return;
        }
        Converted<QString> text = toText(std::move(*members[column]));
        if (!text.error.isEmpty()) {
            m_rowsError = text.error;
            return;
        }
        row[column] = std::move(text.value);
    }
    m_rows.append(std::move(row));
    m_numbers.append(number);
}

void LessonParser::convertPracticeSettings(StoredPracticeSettings& practice) {
    // A practice member of the wrong type is passed over as an unknown member is: the lesson
    // loads, with that setting's default.
    const auto number = [&](int setting, std::optional<int>& into) {
        if (!m_settings[setting])
            return;
        if (const Converted<int> value = toWholeNumber(*m_settings[setting]); value.error.isEmpty())
            into = value.value;
    };
    const auto flag = [&](int setting, std::optional<bool>& into) {
        if (!m_settings[setting])
            return;
        if (const Converted<bool> value = toBoolean(*m_settings[setting]); value.error.isEmpty())
            into = value.value;
    };
    number(JapaneseRateIndex, practice.japaneseRateIndex);
    flag(SlowestEnglish, practice.slowestEnglish);
    if (m_settings[Role]) {
        if (Converted<QString> role = toText(JsonValue(*m_settings[Role])); role.error.isEmpty())
            practice.role = std::move(role.value);
    }
    flag(ModelAfterAnswer, practice.modelAfterAnswer);
    number(AnswerGapIndex, practice.answerGapIndex);
    number(LineRepeatCount, practice.lineRepeatCount);
    flag(ShadowingGap, practice.shadowingGap);
    flag(ShowReadings, practice.showReadings);
    flag(ShowAccent, practice.showAccent);
    flag(RecordAnswers, practice.recordAnswers);
    flag(HearOwnAnswer, practice.hearOwnAnswer);
}

LessonFileContent LessonParser::result() {
    LessonFileContent content;
    if (!m_rootIsObject) {
        content.status = LessonFileStatus::NotObject;
        return content;
    }
    const auto fail = [&content](const QString& error) {
        content.status = LessonFileStatus::InvalidValue;
        content.error = error;
        content.settings = {};
        return content;
    };
    StoredLessonSettings& settings = content.settings;
    std::optional<int>* indexes[] = {&settings.englishRateIndex, &settings.intervalIndex,
                                     &settings.repeatIndex};
    for (int i = 0; i < 3; ++i) {
        if (!m_settings[i])
            continue;
        const Converted<int> index = toWholeNumber(*m_settings[i]);
        if (!index.error.isEmpty())
            return fail(index.error);
        *indexes[i] = index.value;
    }
    if (m_settings[3]) {
        const Converted<bool> hideText = toBoolean(*m_settings[3]);
        if (!hideText.error.isEmpty())
            return fail(hideText.error);
        settings.hideText = hideText.value;
    }
    convertPracticeSettings(settings.practice);
    if (!m_hasRows) {
        content.status = LessonFileStatus::NoRows;
        return content;
    }
    if (!m_rowsIsArray)
        return fail(lessonFileMessages::invalidCast());
    if (!m_rowsError.isEmpty())
        return fail(m_rowsError);
    content.status = LessonFileStatus::Loaded;
    content.rows = std::move(m_rows);
    content.numbers = std::move(m_numbers);
    return content;
}

} // namespace

QList<LessonRow> LessonFileContent::rowsAsWritten() const {
    QList<LessonRow> written = rows;
    for (qsizetype r = 0; r < written.size(); ++r) {
        if (numbers.value(r) > 0)
            written[r][ColNo] = QString::number(numbers[r]);
    }
    return written;
}

LessonFileContent readLessonFile(QByteArrayView bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    const auto* begin = reinterpret_cast<const uchar*>(bytes.data());
    const uchar* end = begin + bytes.size();
    LessonParser parser(begin, end);
    LessonFileContent notRead;
    try {
        parser.parseDocument();
    } catch (const NotUtf8Text&) {
        notRead.status = LessonFileStatus::NotUtf8;
        return notRead;
    } catch (const NotJsonText&) {
        // Text that is not UTF-8 is reported as such, wherever the syntax broke off.
        notRead.status =
            isValidUtf8(begin, end) ? LessonFileStatus::NotJson : LessonFileStatus::NotUtf8;
        return notRead;
    }
    return parser.result();
}

PracticeSettings practiceSettingsOf(const StoredPracticeSettings& stored) {
    PracticeSettings settings;
    const auto within = [](const std::optional<int>& value, int first, int last, int& into) {
        if (value && *value >= first && *value <= last)
            into = *value;
    };
    within(stored.japaneseRateIndex, 0, options::kJapaneseRate.count() - 1,
           settings.japaneseRateIndex);
    within(stored.answerGapIndex, 0, options::kAnswerGap.count() - 1, settings.answerGapIndex);
    within(stored.lineRepeatCount, 1, options::kLineRepeat.count(), settings.lineRepeatCount);
    if (stored.role) {
        if (const Speaker* speaker = speakerOfCode(stored.role->trimmed()))
            settings.role = speaker->code;
    }
    settings.slowestEnglish = stored.slowestEnglish.value_or(settings.slowestEnglish);
    settings.modelAfterAnswer = stored.modelAfterAnswer.value_or(settings.modelAfterAnswer);
    settings.shadowingGap = stored.shadowingGap.value_or(settings.shadowingGap);
    settings.showReadings = stored.showReadings.value_or(settings.showReadings);
    settings.showAccent = stored.showAccent.value_or(settings.showAccent);
    settings.recordAnswers = stored.recordAnswers.value_or(settings.recordAnswers);
    settings.hearOwnAnswer = stored.hearOwnAnswer.value_or(settings.hearOwnAnswer);
    return settings;
}

} // namespace lessora
