#pragma once

#include "lesson/LessonTable.h"

#include <QStringList>

namespace lessora::test {

// Each row as its five cells joined by "|", for readable expectations and failures.
inline QStringList rowsAsText(const LessonTable& table) {
    QStringList rows;
    for (int r = 0; r < table.rows(); ++r) {
        const LessonRow row = table.row(r);
        rows << QStringList(row.begin(), row.end()).join(u'|');
    }
    return rows;
}

} // namespace lessora::test
