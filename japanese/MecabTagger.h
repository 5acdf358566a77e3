#pragma once

#include <QList>
#include <QString>
#include <memory>

namespace lessora {

// What the dictionary says of a word. The words of one entry share it: a line becomes words
// without each word copying (and counting references to) five texts of its own.
struct DictionaryEntry {
    QString partOfSpeech; // "名詞", "助詞", "記号", ...
    QString subclass; // first subdivision: "数" for numerals, "助数詞" as second for counters
    QString subclass2;
    QString baseForm; // dictionary form of an inflected word (かかり → かかる)
    QString pronunciation; // katakana as spoken (は → ワ, 東京 → トーキョー); empty when unknown
};

// The entry of a word the dictionary says nothing of.
const std::shared_ptr<const DictionaryEntry>& emptyDictionaryEntry();

// One word as the morphological dictionary sees it.
struct Morpheme {
    QString surface;
    std::shared_ptr<const DictionaryEntry> entry = emptyDictionaryEntry(); // never null
    bool spaceBefore = false;
};

// MeCab with a UTF-8 IPA dictionary. One instance serves every thread: parsing keeps its state
// in a lattice of its own per call.
class MecabTagger {
public:
    ~MecabTagger();
    MecabTagger(const MecabTagger&) = delete;
    MecabTagger& operator=(const MecabTagger&) = delete;

    // Opens the dictionary in `directory`; nothing (and `problem` set) when that fails or the
    // dictionary is not UTF-8.
    static std::unique_ptr<MecabTagger> open(const QString& directory, QString* problem);

    // The process's tagger, opened on first use from the installed UTF-8 IPA dictionary;
    // nullptr when MeCab or the dictionary is missing.
    static const MecabTagger* shared();
    // Why shared() is nullptr; empty when it is not.
    static QString sharedProblem();

    // Opens a dictionary that comes without a resource file (dicrc), as Open JTalk's does: MeCab
    // is given one of its own in a private temporary folder that lives only while it opens.
    static std::unique_ptr<MecabTagger> openWithoutResource(const QString& directory,
                                                            QString* problem);
    // Open JTalk's dictionary (the one its voices analyse text with), opened on first use;
    // nullptr when it is not installed.
    static const MecabTagger* openJTalkDictionary();

    QList<Morpheme> parse(const QString& text) const;

    // Gives the dictionary full-width letters, digits and signs, as Open JTalk does before its
    // own analysis; the morphemes keep the text's characters.
    void widenAscii();

private:
    struct Private;
    explicit MecabTagger(std::unique_ptr<Private> d);
    std::unique_ptr<Private> d;
};

} // namespace lessora
