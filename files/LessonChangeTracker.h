#pragma once

#include <QByteArray>
#include <QObject>

namespace lessora {

class LessonSettingsControls;
class LessonTable;

// Tells whether the lesson differs from the one last loaded, saved or started with. Any
// change signal of the table, or a change of a setting reported through noteChange(), marks
// the lesson as possibly changed; only then is it compared with what a save wrote or a load
// read. So an edit undone by hand, a cell retyped as it was or blank rows added (a save
// leaves them out) do not count as changes.
class LessonChangeTracker : public QObject {
    Q_OBJECT
public:
    LessonChangeTracker(const LessonTable& table, const LessonSettingsControls& controls,
                        QObject* parent = nullptr);

    bool isModified() const;
    // The lesson as it is now is the one on disk (or the one the program started with).
    void markUnmodified();

public slots:
    // A lesson setting (a list or the hide-text box) changed.
    void noteChange() { m_touched = true; }

private:
    QByteArray currentBytes() const;

    const LessonTable& m_table;
    const LessonSettingsControls& m_controls;
    QByteArray m_unmodified;
    bool m_touched = false;
};

} // namespace lessora
