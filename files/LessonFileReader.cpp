// Reads lesson files. The parser is strict RFC 8259 JSON, written for this file: it keeps a
// number's text exactly as written (1.50 stays 1.50, 1e400 stays 1e400), takes \u escapes of
// lone surrogates as the code units they name (the writer produces them for any text the table
// holds), keeps only the values the lesson needs and bounds its nesting depth. Everything is
// converted before the result is handed back, so nothing half-read ever reaches the table.
#include "files/LessonFile.h"

#include <QStringDecoder>
#include <array>
#include <limits>

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
    return QStringLiteral("%1 から %2 への変換はサポートされていません")
        .arg(kindName(kind), QLatin1String(wanted));
}

int hexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
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

bool equalsIgnoringAsciiCase(QStringView text, QLatin1StringView word) {
    if (text.size() != word.size())
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        char16_t c = text[i].unicode();
        if (c >= u'A' && c <= u'Z')
            c = c - u'A' + u'a';
        if (c != char16_t(word[i].unicode()))
            return false;
    }
    return true;
}

Converted<int> toWholeNumber(const JsonValue& value) {
    switch (value.kind) {
    case JsonValue::Kind::Number:
    case JsonValue::Kind::String:
        // A number's text is JSON already: a fraction, an exponent or a value beyond 32 bits
        // makes it no whole number.
        if (const std::optional<int> number = parseWholeNumber(value.text))
            return {*number, {}};
        return {0, QStringLiteral("'%1' は整数ではありません").arg(value.text)};
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
        if (equalsIgnoringAsciiCase(value.text, QLatin1StringView("true")))
            return {true, {}};
        if (equalsIgnoringAsciiCase(value.text, QLatin1StringView("false")))
            return {false, {}};
        if (const std::optional<bool> nonZero = decimalIsNonZero(value.text))
            return {*nonZero, {}};
        return {false, QStringLiteral("'%1' は正しい論理型ではありません").arg(value.text)};
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

constexpr std::array<QStringView, 4> kSettingNames = {u"EnglishRateIndex", u"IntervalIndex",
                                                      u"RepeatIndex", u"HideText"};
constexpr std::array<QStringView, kLessonColumnCount> kRowMemberNames = {
    u"No", u"Speaker", u"Language", u"Text", u"Interval"};

template <std::size_t N>
int indexOfName(const std::array<QStringView, N>& names, QStringView name) {
    for (std::size_t i = 0; i < N; ++i) {
        if (names[i] == name)
            return static_cast<int>(i);
    }
    return -1;
}

// Strict JSON grammar over UTF-16 text, with the lesson file's structure on top: the root
// object, its settings and "Rows", and the row objects. Everything else is checked for
// syntax and skipped. Of several members with the same name the first counts.
class LessonParser {
public:
    explicit LessonParser(QStringView text)
        : m_pos(text.utf16())
        , m_end(text.utf16() + text.size()) {}

    // Throws NotJsonText.
    void parseDocument();
    LessonFileContent result();

private:
    bool atEnd() const { return m_pos == m_end; }
    void skipWhitespace();
    char16_t nextToken(); // skips whitespace; the text may not end here
    void expectWord(QStringView word);

    // The name a member callback gets is valid only until it parses the member's value.
    template <typename OnMember> void parseObject(int depth, OnMember onMember);
    template <typename OnElement> void parseArray(int depth, OnElement onElement);
    void skipValue(int depth);
    JsonValue readValue(int depth);
    // A string's content: a view into the text when it holds no escape, else into buffer.
    QStringView readString(QString& buffer);
    QStringView readNumber();

    void readRootMember(QStringView name);
    void readRows();
    void readRowElement();
    void readRowObject();

    const char16_t* m_pos;
    const char16_t* const m_end;
    QString m_scratch;
    bool m_rootIsObject = false;
    bool m_hasRows = false;
    bool m_rowsIsArray = false;
    std::array<std::optional<JsonValue>, kSettingNames.size()> m_settings;
    QList<LessonRow> m_rows;
    QString m_rowsError; // the first element that failed; later rows are only checked
};

void LessonParser::skipWhitespace() {
    while (!atEnd() && (*m_pos == u' ' || *m_pos == u'\t' || *m_pos == u'\n' || *m_pos == u'\r'))
        ++m_pos;
}

char16_t LessonParser::nextToken() {
    skipWhitespace();
    if (atEnd())
        throw NotJsonText{};
    return *m_pos;
}

void LessonParser::expectWord(QStringView word) {
    if (m_end - m_pos < word.size() || QStringView(m_pos, word.size()) != word)
        throw NotJsonText{};
    m_pos += word.size();
}

template <typename OnMember> void LessonParser::parseObject(int depth, OnMember onMember) {
    if (depth > kMaxJsonDepth)
        throw NotJsonText{};
    ++m_pos; // {
    if (nextToken() == u'}') {
        ++m_pos;
        return;
    }
    for (;;) {
        if (nextToken() != u'"')
            throw NotJsonText{};
        const QStringView name = readString(m_scratch);
        if (nextToken() != u':')
            throw NotJsonText{};
        ++m_pos;
        onMember(name);
        const char16_t separator = nextToken();
        ++m_pos;
        if (separator == u'}')
            return;
        if (separator != u',')
            throw NotJsonText{};
    }
}

template <typename OnElement> void LessonParser::parseArray(int depth, OnElement onElement) {
    if (depth > kMaxJsonDepth)
        throw NotJsonText{};
    ++m_pos; // [
    if (nextToken() == u']') {
        ++m_pos;
        return;
    }
    for (;;) {
        onElement();
        const char16_t separator = nextToken();
        ++m_pos;
        if (separator == u']')
            return;
        if (separator != u',')
            throw NotJsonText{};
    }
}

void LessonParser::skipValue(int depth) {
    switch (nextToken()) {
    case u'{':
        parseObject(depth, [this, depth](QStringView) { skipValue(depth + 1); });
        break;
    case u'[':
        parseArray(depth, [this, depth] { skipValue(depth + 1); });
        break;
    case u'"':
        readString(m_scratch);
        break;
    case u't':
        expectWord(u"true");
        break;
    case u'f':
        expectWord(u"false");
        break;
    case u'n':
        expectWord(u"null");
        break;
    default:
        readNumber();
        break;
    }
}

JsonValue LessonParser::readValue(int depth) {
    using Kind = JsonValue::Kind;
    switch (nextToken()) {
    case u'{':
        skipValue(depth);
        return {Kind::Object, {}};
    case u'[':
        skipValue(depth);
        return {Kind::Array, {}};
    case u'"':
        return {Kind::String, readString(m_scratch).toString()};
    case u't':
        expectWord(u"true");
        return {Kind::True, {}};
    case u'f':
        expectWord(u"false");
        return {Kind::False, {}};
    case u'n':
        expectWord(u"null");
        return {Kind::Null, {}};
    default:
        return {Kind::Number, readNumber().toString()};
    }
}

QStringView LessonParser::readString(QString& buffer) {
    ++m_pos; // opening quote
    const char16_t* const first = m_pos;
    bool escaped = false;
    // Find the closing quote; escapes are only stepped over here.
    for (;; ++m_pos) {
        if (atEnd())
            throw NotJsonText{};
        const char16_t c = *m_pos;
        if (c == u'"')
            break;
        if (c < 0x20)
            throw NotJsonText{};
        if (c == u'\\') {
            escaped = true;
            if (++m_pos == m_end)
                throw NotJsonText{};
        }
    }
    const char16_t* const closing = m_pos++;
    if (!escaped)
        return QStringView(first, closing);

    // The decoded text is never longer than the escaped one. Resizing keeps the buffer's
    // capacity from string to string.
    buffer.resize(closing - first);
    char16_t* const begin = reinterpret_cast<char16_t*>(buffer.data());
    char16_t* out = begin;
    for (const char16_t* in = first; in != closing;) {
        if (*in != u'\\') {
            *out++ = *in++;
            continue;
        }
        ++in;
        switch (*in++) {
        case u'"':
            *out++ = u'"';
            break;
        case u'\\':
            *out++ = u'\\';
            break;
        case u'/':
            *out++ = u'/';
            break;
        case u'b':
            *out++ = u'\b';
            break;
        case u'f':
            *out++ = u'\f';
            break;
        case u'n':
            *out++ = u'\n';
            break;
        case u'r':
            *out++ = u'\r';
            break;
        case u't':
            *out++ = u'\t';
            break;
        case u'u': {
            if (closing - in < 4)
                throw NotJsonText{};
            char16_t unit = 0;
            for (int i = 0; i < 4; ++i) {
                const int digit = hexDigit(*in++);
                if (digit < 0)
                    throw NotJsonText{};
                unit = char16_t(unit * 16 + digit);
            }
            // A lone surrogate is kept as the code unit it names: the table may hold one.
            *out++ = unit;
            break;
        }
        default:
            throw NotJsonText{};
        }
    }
    buffer.resize(out - begin);
    return buffer;
}

QStringView LessonParser::readNumber() {
    const char16_t* start = m_pos;
    const auto digits = [this] {
        const char16_t* first = m_pos;
        while (!atEnd() && *m_pos >= u'0' && *m_pos <= u'9')
            ++m_pos;
        return m_pos - first;
    };
    if (!atEnd() && *m_pos == u'-')
        ++m_pos;
    if (!atEnd() && *m_pos == u'0')
        ++m_pos;
    else if (digits() == 0)
        throw NotJsonText{};
    if (!atEnd() && *m_pos == u'.') {
        ++m_pos;
        if (digits() == 0)
            throw NotJsonText{};
    }
    if (!atEnd() && (*m_pos == u'e' || *m_pos == u'E')) {
        ++m_pos;
        if (!atEnd() && (*m_pos == u'+' || *m_pos == u'-'))
            ++m_pos;
        if (digits() == 0)
            throw NotJsonText{};
    }
    return QStringView(start, m_pos);
}

void LessonParser::parseDocument() {
    if (nextToken() == u'{') {
        m_rootIsObject = true;
        parseObject(1, [this](QStringView name) { readRootMember(name); });
    } else {
        skipValue(1);
    }
    skipWhitespace();
    if (!atEnd())
        throw NotJsonText{};
}

void LessonParser::readRootMember(QStringView name) {
    if (name == u"Rows") {
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
    if (nextToken() != u'[') {
        skipValue(2);
        return;
    }
    m_rowsIsArray = true;
    parseArray(2, [this] { readRowElement(); });
}

void LessonParser::readRowElement() {
    if (!m_rowsError.isEmpty()) {
        skipValue(3);
    } else if (nextToken() != u'{') {
        m_rowsError = lessonFileMessages::invalidCast;
        skipValue(3);
    } else {
        readRowObject();
    }
    if (!m_rowsError.isEmpty() && !m_rows.isEmpty())
        m_rows = {}; // the load fails as a whole; stop holding what was read
}

void LessonParser::readRowObject() {
    std::array<std::optional<JsonValue>, kLessonColumnCount> members;
    parseObject(3, [this, &members](QStringView name) {
        const int column = indexOfName(kRowMemberNames, name);
        if (column >= 0 && !members[column])
            members[column] = readValue(4);
        else
            skipValue(4);
    });
    LessonRow row;
    // Members are taken in column order, so the first missing or unconvertible one names
    // the error.
    for (int column = 0; column < kLessonColumnCount; ++column) {
        if (!members[column]) {
            m_rowsError = QStringLiteral("値 '%1' が見つかりません").arg(kRowMemberNames[column]);
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
    if (!m_hasRows) {
        content.status = LessonFileStatus::NoRows;
        return content;
    }
    if (!m_rowsIsArray)
        return fail(lessonFileMessages::invalidCast);
    if (!m_rowsError.isEmpty())
        return fail(m_rowsError);
    content.status = LessonFileStatus::Loaded;
    content.rows = std::move(m_rows);
    return content;
}

} // namespace

LessonFileContent readLessonFile(QByteArrayView bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    // Stateless: a sequence cut off at the end is an error. A second byte-order mark is
    // kept as a character, which no JSON text may start with.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                     QStringDecoder::Flag::ConvertInitialBom);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError()) {
        LessonFileContent content;
        content.status = LessonFileStatus::NotUtf8;
        return content;
    }
    LessonParser parser(text);
    try {
        parser.parseDocument();
    } catch (const NotJsonText&) {
        return {};
    }
    return parser.result();
}

} // namespace lessora
