// The text that tells the result of a finished conversion job: how it ended
// (completed, stopped by the user, stopped by an error and which), and the
// counts the command line prints in its summary. The counter and the
// progress bar carry it as their tooltip once the job is over.
//
// Thread-safety: pure functions.
#pragma once

#include <QString>

namespace convert {
struct ConversionStats;
}

namespace app {

enum class JobEnd {
  Completed,  // the walk went through the whole source folder
  Stopped,    // "Zastavit" ended it early
  Failed,     // an error (database, worker thread) ended it
};

struct JobResult {
  JobEnd end = JobEnd::Completed;
  bool inCountingPass = false;  // it ended before the converting pass began
  long long files = 0;          // files met by the pass it ended in
  long long tilesStored = 0;    // rows inserted
  long long duplicates = 0;     // tiles already in the map (the stored image kept)
  long long notTiles = 0;       // files that are no tiles of the layout
  long long unreadable = 0;     // tiles that could not be read
  long long tooLarge = 0;       // tiles too large for SQLite to store
  long long unreadableFolders = 0;  // folders of the converting pass that could not be listed
  long long outsideSelection = 0;   // tiles the selection left out (never read)
  QString error;                // Failed: the first message shown during the job, or empty
  bool fileSizeLimit = false;   // Failed: the map file reached the largest file its file system holds
  QString rollbackLeft;         // Failed: why the failed batch is still in the map file's journal; empty when rolled back
};

// Decides how a job ended and takes its counts. `finalCount` is the count of
// the end notification, `totalCount` the counting pass's total;
// `stopClicked` tells whether the user asked the job to stop;
// `messagesShown` and `firstMessage` tell the message boxes shown while it
// ran (every one reports an error); `rollbackLeft` is the job's.
JobResult SummariseJob(const convert::ConversionStats& stats, long long finalCount,
                       long long totalCount, bool stopClicked, int messagesShown,
                       const QString& firstMessage, const QString& rollbackLeft = QString());

// The tooltip text: a heading line, one line per count, at most one hint.
QString DescribeJobResult(const JobResult& result);

}  // namespace app
