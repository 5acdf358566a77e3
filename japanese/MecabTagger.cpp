#include "japanese/MecabTagger.h"

#include "japanese/Logging.h"

#include "japanese/OpenJTalkFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>

#ifdef LESSORA_HAVE_MECAB
#include <mecab.h>
#endif

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

namespace lessora {

namespace {

// Where Debian and source installs keep the UTF-8 IPA dictionary; the plain ipadic package is
// EUC-JP and would garble every word.
QStringList dictionaryCandidates() {
    QStringList candidates;
#ifdef LESSORA_MECAB_DICDIR
    candidates << QStringLiteral(LESSORA_MECAB_DICDIR "/ipadic-utf8");
#endif
    candidates << QStringLiteral("/var/lib/mecab/dic/ipadic-utf8")
               << QStringLiteral("/usr/lib/x86_64-linux-gnu/mecab/dic/ipadic-utf8")
               << QStringLiteral("/usr/lib/mecab/dic/ipadic-utf8")
               << QStringLiteral("/usr/local/lib/mecab/dic/ipadic-utf8")
               << QStringLiteral("/usr/share/mecab/dic/ipadic-utf8");
    candidates.removeDuplicates();
    return candidates;
}

quint64 nextSerial() {
    static std::atomic<quint64> serial = 0;
    return ++serial;
}

} // namespace

#ifdef LESSORA_HAVE_MECAB

struct MecabTagger::Private {
    std::unique_ptr<MeCab::Model> model;
    std::unique_ptr<MeCab::Tagger> tagger;
    bool widensAscii = false;
    // Tells this tagger's entries from those of one that had its place before.
    const quint64 serial = nextSerial();
};

std::unique_ptr<MecabTagger> MecabTagger::openWithoutResource(const QString& directory,
                                                              QString* problem) {
    const QDir source(directory);
    if (!QFileInfo(source.filePath(QStringLiteral("sys.dic"))).isFile()) {
        *problem = QStringLiteral("no MeCab dictionary in %1").arg(directory);
        return nullptr;
    }
    // The binary dictionary files are mapped when the model opens, so the folder of links can
    // go right after.
    QTemporaryDir view;
    if (!view.isValid()) {
        *problem =
            QStringLiteral("no temporary folder for the dictionary: %1").arg(view.errorString());
        return nullptr;
    }
    const QStringList files = source.entryList(QDir::Files);
    for (const QString& name : files) {
        if (!QFile::link(source.filePath(name), QDir(view.path()).filePath(name))) {
            *problem = QStringLiteral("cannot link %1").arg(source.filePath(name));
            return nullptr;
        }
    }
    QFile resource(QDir(view.path()).filePath(QStringLiteral("dicrc")));
    if (!resource.open(QIODevice::WriteOnly) ||
        resource.write("cost-factor = 800\nbos-feature = BOS/EOS,*,*,*,*,*,*,*,*\n") < 0) {
        *problem = QStringLiteral("cannot write %1").arg(resource.fileName());
        return nullptr;
    }
    resource.close();
    return open(view.path(), problem);
}

std::unique_ptr<MecabTagger> MecabTagger::open(const QString& directory, QString* problem) {
    if (!QFileInfo(QDir(directory).filePath(QStringLiteral("sys.dic"))).isFile()) {
        *problem = QStringLiteral("no MeCab dictionary in %1").arg(directory);
        return nullptr;
    }
    // The dictionary's own dicrc serves as the resource file, so that neither /etc/mecabrc nor a
    // ~/.mecabrc can point the tagger elsewhere.
    std::vector<std::string> arguments = {
        "mecab", "-r", QDir(directory).filePath(QStringLiteral("dicrc")).toStdString(), "-d",
        directory.toStdString()};
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    auto d = std::make_unique<Private>();
    d->model.reset(MeCab::Model::create(int(argv.size()), argv.data()));
    if (!d->model) {
        *problem = QStringLiteral("MeCab cannot open %1: %2")
                       .arg(directory, QString::fromLocal8Bit(MeCab::getLastError()));
        return nullptr;
    }
    const MeCab::DictionaryInfo* info = d->model->dictionary_info();
    const QString charset = info && info->charset ? QString::fromLatin1(info->charset) : QString();
    const QString normalized = charset.toLower().remove(u'-').remove(u'_');
    if (normalized != u"utf8") {
        *problem =
            QStringLiteral("the MeCab dictionary in %1 is %2, not UTF-8")
                .arg(directory, charset.isEmpty() ? QStringLiteral("of unknown charset") : charset);
        return nullptr;
    }
    d->tagger.reset(d->model->createTagger());
    if (!d->tagger) {
        *problem = QStringLiteral("MeCab cannot create a tagger: %1")
                       .arg(QString::fromLocal8Bit(MeCab::getLastError()));
        return nullptr;
    }
    return std::unique_ptr<MecabTagger>(new MecabTagger(std::move(d)));
}

namespace {

// One field of a feature string: quoted fields ("," in ipadic) lose their quotes.
QString featureField(const char* begin, const char* end) {
    if (end - begin >= 2 && *begin == '"' && end[-1] == '"') {
        std::string unquoted;
        for (const char* p = begin + 1; p < end - 1; ++p) {
            unquoted += *p;
            if (*p == '"' && p + 1 < end - 1 && p[1] == '"')
                ++p;
        }
        return QString::fromStdString(unquoted);
    }
    return QString::fromUtf8(begin, end - begin);
}

// Splits MeCab's comma-separated feature string into up to `count` fields, in place.
int splitFeature(const char* feature, const char* (&starts)[10], const char* (&ends)[10]) {
    int count = 0;
    const char* p = feature;
    while (count < 10) {
        starts[count] = p;
        bool quoted = false;
        while (*p && (quoted || *p != ',')) {
            if (*p == '"')
                quoted = !quoted;
            ++p;
        }
        ends[count++] = p;
        if (!*p)
            break;
        ++p;
    }
    return count;
}

// Open JTalk gives its dictionary full-width letters, digits and signs (its text2mecab); the
// tagger of its dictionary does the same. The widened text in UTF-8, and for each of its bytes
// that starts a character the index of that character in the text.
QByteArray widened(const QString& text, std::vector<qsizetype>& indexOfByte) {
    // Each unit becomes at most three bytes (a surrogate pair four for two units): the bytes are
    // written in place, and the index table has room for them.
    QByteArray utf8(text.size() * 3, Qt::Uninitialized);
    indexOfByte.assign(size_t(text.size()) * 3 + 1, -1);
    char* out = utf8.data();
    auto put = [&out](char32_t byte) { *out++ = char(byte); };
    const auto* units = reinterpret_cast<const char16_t*>(text.utf16());
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = units[i];
        indexOfByte[size_t(out - utf8.data())] = i;
        if (c >= 0x21 && c <= 0x7E)
            c += 0xFEE0;
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && QChar::isLowSurrogate(units[i + 1]))
            c = QChar::surrogateToUcs4(char16_t(c), units[++i]);
        if (c < 0x80) {
            put(c);
        } else if (c < 0x800) {
            put(0xC0 | (c >> 6));
            put(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            put(0xE0 | (c >> 12));
            put(0x80 | ((c >> 6) & 0x3F));
            put(0x80 | (c & 0x3F));
        } else {
            put(0xF0 | (c >> 18));
            put(0x80 | ((c >> 12) & 0x3F));
            put(0x80 | ((c >> 6) & 0x3F));
            put(0x80 | (c & 0x3F));
        }
    }
    utf8.truncate(out - utf8.data());
    indexOfByte[size_t(utf8.size())] = text.size();
    return utf8;
}

// One of the dictionary's entries, decoded, and the surface it was last found with.
struct CachedEntry {
    std::shared_ptr<const DictionaryEntry> entry;
    QByteArray surfaceBytes; // as the tagger saw it
    QString surface;
};

std::shared_ptr<const DictionaryEntry> decodeEntry(const char* feature) {
    const char* starts[10];
    const char* ends[10];
    const int fields = splitFeature(feature, starts, ends);
    auto field = [&](int index) {
        return index < fields ? featureField(starts[index], ends[index]) : QString();
    };
    DictionaryEntry entry{field(0), field(1), field(2), field(6), field(8)};
    if (entry.baseForm == u"*")
        entry.baseForm.clear();
    // Words missing from the dictionary have fewer fields, or "*" in their place. Open JTalk's
    // dictionary marks devoiced morae with ’ and some word joins with ':', which are no sounds
    // of their own.
    entry.pronunciation.remove(u'’').remove(u':');
    if (entry.pronunciation == u"*")
        entry.pronunciation.clear();
    return std::make_shared<const DictionaryEntry>(std::move(entry));
}

// The entries met so far on this thread, by their feature text: MeCab hands out the same text
// of its mapped dictionary every time it finds an entry, so each is decoded once, and the
// morphemes of a line share the decoded entries instead of allocating their own.
class EntryCache {
public:
    CachedEntry& of(quint64 tagger, const char* feature) {
        if (tagger != m_tagger || m_entries.size() >= kMostEntries) {
            m_entries.clear();
            m_tagger = tagger;
        }
        const auto [entry, added] = m_entries.try_emplace(feature);
        if (added)
            entry->second.entry = decodeEntry(feature);
        return entry->second;
    }

private:
    static constexpr size_t kMostEntries = 1 << 16;
    quint64 m_tagger = 0;
    std::unordered_map<const char*, CachedEntry> m_entries;
};

EntryCache& entryCache() {
    thread_local EntryCache cache;
    return cache;
}

bool isAsciiDigits(const QString& text) {
    return !text.isEmpty() &&
           std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// The lattice this thread parses in (each sentence set clears it). Lattices are costly to make,
// and parse() runs on several threads at once: one per thread needs no lock, where a shared pool
// kept the threads waiting for each other. A lattice belongs to no dictionary: one serves every
// tagger.
MeCab::Lattice& threadLattice() {
    thread_local const std::unique_ptr<MeCab::Lattice> lattice(MeCab::Lattice::create());
    return *lattice;
}

// The surface of the node as the text has it, shared with the entry's when it is the same.
QString surfaceOf(const MeCab::Node& node, CachedEntry& entry, const QString& text,
                  const QByteArray& utf8, const std::vector<qsizetype>& indexOfByte) {
    if (indexOfByte.empty()) {
        const QByteArrayView bytes(node.surface, node.length);
        if (entry.surfaceBytes != bytes) {
            entry.surfaceBytes = bytes.toByteArray();
            entry.surface = QString::fromUtf8(bytes);
        }
        return entry.surface;
    }
    // Widened text: the surface is the text's own characters, which the entry may have met
    // written otherwise (A or Ａ).
    const size_t begin = size_t(node.surface - utf8.constData());
    const qsizetype from = indexOfByte[begin];
    const QStringView surface =
        QStringView(text).sliced(from, indexOfByte[begin + node.length] - from);
    if (entry.surface != surface)
        entry.surface = surface.toString();
    return entry.surface;
}

} // namespace

void MecabTagger::widenAscii() {
    d->widensAscii = true;
}

QList<Morpheme> MecabTagger::parse(const QString& text) const {
    QList<Morpheme> morphemes;
    std::vector<qsizetype> indexOfByte;
    const QByteArray utf8 = d->widensAscii ? widened(text, indexOfByte) : text.toUtf8();
    MeCab::Lattice& lattice = threadLattice();
    lattice.set_sentence(utf8.constData(), size_t(utf8.size()));
    if (!d->tagger->parse(&lattice))
        return morphemes;
    qsizetype nodes = 0;
    for (const MeCab::Node* node = lattice.bos_node(); node; node = node->next)
        ++nodes;
    morphemes.reserve(nodes);
    EntryCache& entries = entryCache();
    bool lastIsDigits = false; // the last morpheme is a run of ASCII digits
    for (const MeCab::Node* node = lattice.bos_node(); node; node = node->next) {
        if (node->stat == MECAB_BOS_NODE || node->stat == MECAB_EOS_NODE)
            continue;
        CachedEntry& entry = entries.of(d->serial, node->feature);
        Morpheme morpheme{surfaceOf(*node, entry, text, utf8, indexOfByte), entry.entry,
                          node->rlength > node->length};
        // Open JTalk's dictionary has each digit as a word: a run of them is one number, as
        // the other dictionary has it.
        const bool digits = isAsciiDigits(morpheme.surface);
        if (digits && lastIsDigits && !morpheme.spaceBefore) {
            Morpheme& number = morphemes.last();
            number.surface += morpheme.surface;
            if (!number.entry->pronunciation.isEmpty()) {
                auto unread = std::make_shared<DictionaryEntry>(*number.entry);
                unread->pronunciation.clear();
                number.entry = std::move(unread);
            }
            continue;
        }
        lastIsDigits = digits;
        morphemes.append(std::move(morpheme));
    }
    return morphemes;
}

#else

struct MecabTagger::Private {};

std::unique_ptr<MecabTagger> MecabTagger::open(const QString&, QString* problem) {
    *problem = QStringLiteral("this build has no MeCab");
    return nullptr;
}

std::unique_ptr<MecabTagger> MecabTagger::openWithoutResource(const QString&, QString* problem) {
    *problem = QStringLiteral("this build has no MeCab");
    return nullptr;
}

void MecabTagger::widenAscii() {}

QList<Morpheme> MecabTagger::parse(const QString&) const {
    return {};
}

#endif

const std::shared_ptr<const DictionaryEntry>& emptyDictionaryEntry() {
    static const auto empty = std::make_shared<const DictionaryEntry>();
    return empty;
}

MecabTagger::MecabTagger(std::unique_ptr<Private> d)
    : d(std::move(d)) {}

MecabTagger::~MecabTagger() = default;

namespace {

struct SharedTagger {
    std::unique_ptr<MecabTagger> tagger;
    QString problem;
};

const SharedTagger& sharedTagger() {
    // Opened once, on first use from whichever thread comes first; C++ makes that thread-safe.
    static const SharedTagger shared = [] {
        SharedTagger result;
        QStringList problems;
        for (const QString& directory : dictionaryCandidates()) {
            QString problem;
            result.tagger = MecabTagger::open(directory, &problem);
            if (result.tagger)
                return result;
            if (QFileInfo::exists(directory))
                problems << problem;
        }
        result.problem = problems.isEmpty()
                             ? QStringLiteral("no UTF-8 MeCab dictionary found (mecab-ipadic-utf8)")
                             : problems.join(QStringLiteral("; "));
        qCWarning(lcJapanese).noquote() << "kanji are left unread:" << result.problem;
        return result;
    }();
    return shared;
}

} // namespace

const MecabTagger* MecabTagger::shared() {
    return sharedTagger().tagger.get();
}

QString MecabTagger::sharedProblem() {
    return sharedTagger().problem;
}

const MecabTagger* MecabTagger::openJTalkDictionary() {
    static const std::unique_ptr<MecabTagger> tagger = [] {
        QString problem;
        std::unique_ptr<MecabTagger> tagger = openWithoutResource(kOpenJTalkDictionary, &problem);
        if (tagger)
            tagger->widenAscii();
        else
            qCWarning(lcJapanese).noquote() << "Open JTalk's dictionary is not used:" << problem;
        return tagger;
    }();
    return tagger.get();
}

} // namespace lessora
