// The dialog's explanations: the tooltips of the two status indicators after
// each refresh, and of the counter and the progress bar after each job. Each
// tooltip's text is also the control's accessible description, so that a
// screen reader tells the same.
#include <QFile>
#include <QLabel>
#include <QProgressBar>

#include <sqlite3.h>

#include "app/corvane_map_creator_dlg.h"
#include "app/job_result_text.h"
#include "app/status_explanation.h"
#include "convert/probe.h"
#include "platform/file_io.h"
#include "res/explanation_strings.h"
#include "res/strings.h"

namespace {

constexpr std::size_t kSuggestionsShown = 3;  // tile folders a refused source's tooltip names at most

// The tooltip shows `text` as a paragraph that keeps its line breaks and
// wraps at a readable width (a plain-text tooltip is one line as long as a
// path makes it); the accessible description is the plain text.
void SetExplanation(QWidget* control, const QString& text) {
  control->setToolTip(QStringLiteral("<p style=\"white-space:pre-wrap\">%1</p>").arg(text.toHtmlEscaped()));
  control->setAccessibleDescription(text);
}

}  // namespace

void CCorvaneMapCreatorDlg::ExplainSourceStatus(bool exists, const std::string& decidingFile,
                                                int detectedLayout) {
  app::SourceFacts facts;
  facts.path = sourcePath_;
  facts.exists = exists;
  facts.isFolder = exists && platform::IsDirectory(QFile::encodeName(sourcePath_).toStdString());
  facts.accepted = sourceReady_ != 0;
  facts.decidingFile = QFile::decodeName(QByteArray::fromStdString(decidingFile));
  facts.detectedLayout = detectedLayout;
  facts.autoDetect = autoDetect_ != 0;
  facts.tileMapResource =
      facts.isFolder && platform::IsRegularFile(QFile::encodeName(sourcePath_).toStdString() + "/" +
                                                convert::kTileMapResourceName);
  if (exists && sourceReady_ == 0) {
    // A refused folder is often the root above the tile folders: name them.
    for (const convert::SourceSuggestion& suggestion :
         convert::SuggestSourceFolders(QFile::encodeName(sourcePath_).toStdString(), kSuggestionsShown)) {
      facts.suggestions.push_back({QFile::decodeName(QByteArray::fromStdString(suggestion.folder)), suggestion.layout});
    }
  }
  SetExplanation(sourceStatus_, app::ExplainSource(facts));
}

void CCorvaneMapCreatorDlg::ExplainTargetStatus(bool createFailed) {
  const std::string target = QFile::encodeName(targetPath_).toStdString();
  app::TargetFacts facts;
  facts.path = targetPath_;
  facts.exists = platform::PathExists(target);
  facts.isFolder = facts.exists && platform::IsDirectory(target);
  facts.isMap = mapReady_ != 0;
  facts.createFailed = createFailed;
  if (!createFailed) facts.sqliteMessage = QString::fromStdU16String(shownMessages_.LastSinceRestart());
  if (!facts.isMap && database_.handle != nullptr) {
    const int code = sqlite3_errcode(database_.handle);
    facts.busy = code == SQLITE_BUSY || code == SQLITE_LOCKED;
  }
  SetExplanation(targetStatus_, app::ExplainTarget(facts));
}

void CCorvaneMapCreatorDlg::ExplainJobStart() {
  jobStarted_ = true;
  stopClicked_ = false;
  shownMessages_.Restart();  // every box shown from now on until the end reports an error of the job
  job_.stats.Reset();        // a worker that cannot start leaves no counts of an earlier job
  const QString running = QString::fromUtf16(res::kJobRunningTip);
  SetExplanation(tileCount_, running);
  SetExplanation(progressBar_, running);
}

void CCorvaneMapCreatorDlg::ExplainJobEnd(int finalCount) {
  if (!jobStarted_) return;  // an end notification of no job of this window
  jobStarted_ = false;
  const app::JobResult result = app::SummariseJob(
      job_.stats, finalCount, totalCount_, stopClicked_, shownMessages_.CountSinceRestart(),
      QString::fromStdU16String(shownMessages_.FirstSinceRestart()), QString::fromStdString(job_.rollbackLeft));
  const QString text = app::DescribeJobResult(result);
  SetExplanation(tileCount_, text);
  SetExplanation(progressBar_, text);
  // SQLite's own message ("disk I/O error", "database or disk is full")
  // would send the user to free space that would not help.
  if (result.fileSizeLimit) messageBoxes_.Show(res::kMapFileTooLarge, platform::MessageStyle::Exclamation);
}
