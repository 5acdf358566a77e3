#pragma once

#include <QByteArray>
#include <QObject>

namespace lessora {

class CurrentLessonSettings;
class LessonTable;

// Tells whether the lesson differs from the one last loaded, saved or started with. Any
// change signal of the table or of the lesson settings marks
// the lesson as possibly changed; only then is it compared with what a save wrote or a load
// read. So an edit undone by hand, a cell retyped as it was or blank rows added (a save
// leaves them out) do not count as changes.
class LessonChangeTracker : public QObject {
    Q_OBJECT
public:
    LessonChangeTracker(const LessonTable& table, const CurrentLessonSettings& settings,
                        QObject* parent = nullptr);

    bool isModified() const;
    // The lesson as it is now is the one on disk (or the one the program started with).
    void markUnmodified();

private:
    void noteChange() { m_touched = true; }
    QByteArray currentBytes() const;

    const LessonTable& m_table;
    const CurrentLessonSettings& m_settings;
    QByteArray m_unmodified;
    bool m_touched = false;
};

} // namespace lessora
