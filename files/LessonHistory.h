#pragma once

#include <QString>
#include <QStringList>

namespace lessora {

// The lessons used lately and the folder of the last one, kept across runs in a small INI
// file of their own (the voice settings file is not touched). With an empty file path the
// history lives for this run only.
class LessonHistory {
public:
    static constexpr int kMaxRecent = 6;

    explicit LessonHistory(QString filePath = {});

    // Most recent first, full paths, at most kMaxRecent.
    const QStringList& recentLessons() const { return m_recent; }
    // The folder a file dialog opens in when it has no file of its own to offer; empty when
    // no lesson has been chosen yet.
    const QString& lastFolder() const { return m_lastFolder; }

    // A lesson was opened or saved: it moves to the top of the list.
    void addRecent(const QString& path);
    void removeRecent(const QString& path);
    // A file was chosen in a dialog, whether or not it could then be read or written.
    void noteChosenFile(const QString& path);

private:
    void store() const;

    QString m_filePath;
    QStringList m_recent;
    QString m_lastFolder;
};

} // namespace lessora
