#pragma once

#include <QString>

namespace lessora {

// Where the learner's recordings of a lesson are kept: beside the lesson, in a folder named
// after it (/x/cafe.json → /x/cafe.recordings). Empty for a lesson never saved.
QString recordingsFolderOf(const QString& lessonPath);

// The learner's latest recording of a line (numbered from 1) in that folder: of the files named
// "<line, 4 digits>_<speaker>_<yyyyMMdd-HHmmss-zzz>.flac", the one with the greatest name. Empty
// when there is none.
// The recording store, once merged, has the same lookup (latestRecording): this one stands in
// for it until then, and its callers move to that one.
QString latestLearnerRecording(const QString& folder, int lineNumber);

} // namespace lessora
