#include "files/LessonChangeTracker.h"

#include "files/LessonFile.h"
#include "files/LessonFileCommands.h"
#include "lesson/LessonTable.h"

namespace lessora {

LessonChangeTracker::LessonChangeTracker(const LessonTable& table,
                                         const LessonSettingsControls& controls, QObject* parent)
    : QObject(parent)
    , m_table(table)
    , m_controls(controls) {
    const auto touched = [this] { noteChange(); };
    connect(&table, &QAbstractItemModel::dataChanged, this, touched);
    connect(&table, &QAbstractItemModel::rowsInserted, this, touched);
    connect(&table, &QAbstractItemModel::rowsRemoved, this, touched);
    connect(&table, &QAbstractItemModel::rowsMoved, this, touched);
    connect(&table, &QAbstractItemModel::modelReset, this, touched);
    connect(&table, &QAbstractItemModel::layoutChanged, this, touched);
    markUnmodified();
}

QByteArray LessonChangeTracker::currentBytes() const {
    // What a save would write: the same rows and settings make the same lesson.
    return writeLessonFile(m_controls.lessonSettings(), m_table);
}

bool LessonChangeTracker::isModified() const {
    return m_touched && currentBytes() != m_unmodified;
}

void LessonChangeTracker::markUnmodified() {
    m_unmodified = currentBytes();
    m_touched = false;
}

} // namespace lessora
