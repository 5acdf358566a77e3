#include "files/LessonChangeTracker.h"

#include "files/LessonFile.h"
#include "lesson/LessonTable.h"

namespace lessora {

LessonChangeTracker::LessonChangeTracker(const LessonTable& table,
                                         const CurrentLessonSettings& settings, QObject* parent)
    : QObject(parent)
    , m_table(table)
    , m_settings(settings) {
    const auto touched = [this] { noteChange(); };
    connect(&table, &QAbstractItemModel::dataChanged, this, touched);
    connect(&table, &QAbstractItemModel::rowsInserted, this, touched);
    connect(&table, &QAbstractItemModel::rowsRemoved, this, touched);
    connect(&table, &QAbstractItemModel::rowsMoved, this, touched);
    connect(&table, &QAbstractItemModel::modelReset, this, touched);
    connect(&table, &QAbstractItemModel::layoutChanged, this, touched);
    connect(&settings, &CurrentLessonSettings::changed, this, touched);
    markUnmodified();
}

QByteArray LessonChangeTracker::currentBytes() const {
    // What a save would write: the same rows and settings make the same lesson.
    return writeLessonFile(m_settings.values(), m_table);
}

bool LessonChangeTracker::isModified() const {
    return m_touched && currentBytes() != m_unmodified;
}

void LessonChangeTracker::markUnmodified() {
    m_unmodified = currentBytes();
    m_touched = false;
}

} // namespace lessora
