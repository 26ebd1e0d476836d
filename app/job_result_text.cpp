#include "app/job_result_text.h"

#include <QStringList>

#include "convert/conversion_job.h"
#include "res/explanation_strings.h"

namespace app {

namespace {

QString Text(const char16_t* text) { return QString::fromUtf16(text); }

QString CountLine(const char16_t* format, long long count) {
  return Text(format).arg(count);
}

}  // namespace

JobResult SummariseJob(const convert::ConversionStats& stats, long long finalCount,
                       long long totalCount, bool stopClicked, int messagesShown,
                       const QString& firstMessage, const QString& rollbackLeft) {
  JobResult result;
  result.inCountingPass = stats.pass.load() != convert::ConvertingPass;
  result.files = finalCount;
  result.tilesStored = stats.tilesStored.load();
  result.duplicates = stats.duplicates.load();
  result.notTiles = stats.notTiles.load();
  result.unreadable = stats.unreadable.load();
  result.tooLarge = stats.tooLarge.load();
  result.unreadableFolders = stats.unreadableFolders.load();
  result.outsideSelection = stats.outsideSelection.load();
  if (stats.databaseErrors.load() != 0 || messagesShown > 0) {
    result.end = JobEnd::Failed;
    result.error = firstMessage;
    result.fileSizeLimit = stats.fileSizeLimit.load();
    result.rollbackLeft = rollbackLeft;
  } else if (stopClicked && (result.inCountingPass || finalCount < totalCount)) {
    // A stop that came after the last file changed nothing: the job is whole.
    result.end = JobEnd::Stopped;
  }
  return result;
}

QString DescribeJobResult(const JobResult& result) {
  QStringList lines;
  switch (result.end) {
    case JobEnd::Completed:
      lines << Text(res::kJobCompletedHeading);
      break;
    case JobEnd::Stopped:
      lines << Text(result.inCountingPass ? res::kJobStoppedCountingHeading : res::kJobStoppedHeading);
      break;
    case JobEnd::Failed:
      lines << (result.error.isEmpty() ? Text(res::kJobFailedNoTextHeading)
                                       : Text(res::kJobFailedHeading).arg(result.error));
      break;
  }
  if (result.inCountingPass) {
    lines << CountLine(res::kJobFilesCountedLine, result.files);
    return lines.join(u'\n');
  }
  lines << CountLine(res::kJobFilesLine, result.files)
        << CountLine(res::kJobStoredLine, result.tilesStored)
        << CountLine(res::kJobDuplicatesLine, result.duplicates)
        << CountLine(res::kJobNotTilesLine, result.notTiles)
        << CountLine(res::kJobUnreadableLine, result.unreadable);
  if (result.tooLarge > 0) lines << CountLine(res::kJobTooLargeLine, result.tooLarge);
  if (result.unreadableFolders > 0) {
    lines << CountLine(res::kJobUnreadableFoldersLine, result.unreadableFolders);
  }
  if (result.outsideSelection > 0) lines << CountLine(res::kJobOutsideSelectionLine, result.outsideSelection);
  if (result.fileSizeLimit) lines << Text(res::kJobFileSizeLimitHint);
  if (!result.rollbackLeft.isEmpty()) lines << Text(res::kJobRollbackLeftHint).arg(result.rollbackLeft);
  if (result.end == JobEnd::Completed) {
    const bool allRead = result.notTiles == 0 && result.unreadable == 0;
    if (result.files == 0 && result.unreadableFolders == 0) {
      lines << Text(res::kJobNoFilesHint);
    } else if (result.tilesStored == 0 && result.duplicates > 0 && allRead) {
      lines << Text(res::kJobNothingNewHint);
    } else if (result.tilesStored == 0 && result.duplicates == 0 && result.unreadable == 0 && result.outsideSelection > 0) {
      lines << Text(res::kJobNothingSelectedHint);
    } else if (result.tilesStored == 0 && result.duplicates == 0 && result.notTiles > 0) {
      lines << Text(res::kJobNoTilesHint);
    }
  }
  return lines.join(u'\n');
}

}  // namespace app
