#include "voices/MecabTagger.h"

#include "voices/OpenJTalkFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>

#ifdef LESSORA_HAVE_MECAB
#include <mecab.h>
#endif

#include <string>
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

// MeCab's features are comma-separated, with double quotes around fields holding commas.
QStringList splitFeatures(const QString& feature) {
    QStringList fields;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < feature.size(); ++i) {
        const QChar c = feature[i];
        if (c == u'"') {
            if (quoted && i + 1 < feature.size() && feature[i + 1] == u'"') {
                field += c;
                ++i;
            } else {
                quoted = !quoted;
            }
        } else if (c == u',' && !quoted) {
            fields << field;
            field.clear();
        } else {
            field += c;
        }
    }
    fields << field;
    return fields;
}

} // namespace

#ifdef LESSORA_HAVE_MECAB

struct MecabTagger::Private {
    std::unique_ptr<MeCab::Model> model;
    std::unique_ptr<MeCab::Tagger> tagger;
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
        *problem = QStringLiteral("no temporary folder for the dictionary: %1").arg(view.errorString());
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

QList<Morpheme> MecabTagger::parse(const QString& text) const {
    QList<Morpheme> morphemes;
    const QByteArray utf8 = text.toUtf8();
    const std::unique_ptr<MeCab::Lattice> lattice(d->model->createLattice());
    lattice->set_sentence(utf8.constData(), size_t(utf8.size()));
    if (!d->tagger->parse(lattice.get()))
        return morphemes;
    for (const MeCab::Node* node = lattice->bos_node(); node; node = node->next) {
        if (node->stat == MECAB_BOS_NODE || node->stat == MECAB_EOS_NODE)
            continue;
        const QStringList features = splitFeatures(QString::fromUtf8(node->feature));
        Morpheme morpheme;
        morpheme.surface = QString::fromUtf8(node->surface, node->length);
        morpheme.partOfSpeech = features.value(0);
        morpheme.subclass = features.value(1);
        morpheme.subclass2 = features.value(2);
        if (const QString base = features.value(6); base != u"*")
            morpheme.baseForm = base;
        // Words missing from the dictionary have fewer fields, or "*" in their place. Open
        // JTalk's dictionary marks devoiced morae with ’, which is no sound of its own.
        QString pronunciation = features.value(8);
        if (pronunciation != u"*")
            morpheme.pronunciation = pronunciation.remove(u'’');
        morpheme.spaceBefore = node->rlength > node->length;
        morphemes << morpheme;
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

QList<Morpheme> MecabTagger::parse(const QString&) const {
    return {};
}

#endif

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
        return openWithoutResource(kOpenJTalkDictionary, &problem);
    }();
    return tagger.get();
}

} // namespace lessora
