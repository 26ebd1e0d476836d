// The window's side of the worker's notifications: the counter text, the
// progress bar, the speed and the time left, and the return to Idle at the
// end of a job.
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <algorithm>

#include "app/corvane_map_creator_dlg.h"
#include "app/job_rate_text.h"
#include "app/preview_pane.h"
#include "app/selection_panel.h"
#include "res/strings.h"

namespace {

// A job shorter than this shows no duration at its end.
constexpr double kTimedJobSeconds = 3;

}  // namespace

void CCorvaneMapCreatorDlg::ShowRate() {
  const auto now = services_.clock();
  if (convertingShown_) {
    jobRate_->setText(app::DescribeRate(true, rate_.Rate(now), rate_.SecondsLeft(totalCount_, now)));
  } else {
    jobRate_->setText(app::DescribeRate(false, rate_.Rate(now), std::nullopt));
  }
}

void CCorvaneMapCreatorDlg::OnWorkerNotify(int code, int count) {
  TakeWorkerNotice(code, count);
  ShowProgress();
}

void CCorvaneMapCreatorDlg::TakeWorkerNotice(int code, int count) {
  switch (code) {
    case convert::NotifyCounted:
      totalCount_ = count;
      progressDue_ = convert::NotifyCounted;
      rate_.Add(services_.clock(), count);
      break;
    case convert::NotifyConverted:
      if (doneCount_ == 0) rangeDue_ = true;
      doneCount_ = count;
      progressDue_ = convert::NotifyConverted;
      if (!convertingShown_) {
        // The converting pass's speed is its own: the counting pass's is forgotten.
        convertingShown_ = true;
        rate_.StartPhase(services_.clock(), 0);
      }
      rate_.Add(services_.clock(), count);
      break;
    case convert::NotifyFinished:
      ShowProgress();  // the counts the job ended with first
      writerTurn_.Release();
      jobShown_ = false;
      SetConvertCaption(res::kConvertCaption);
      convertButton_->setEnabled(true);
      EnableInputs(true);
      ExplainJobEnd(count);
      rateTimer_->stop();
      jobRate_->setText(app::DescribeFinished(rate_.Elapsed(services_.clock()), kTimedJobSeconds));
      selection_->setEnabled(true);
      preview_->SetJobRunning(false);
      break;
    default:
      break;  // not a notification of this window
  }
}

void CCorvaneMapCreatorDlg::ShowProgress() {
  if (rangeDue_) {
    // An empty range would make the bar an animated busy indicator; a
    // total of 0 shows as an empty bar instead.
    progressBar_->setRange(0, std::max(totalCount_, 1));
    rangeDue_ = false;
  }
  switch (progressDue_) {
    case convert::NotifyCounted:
      tileCount_->setText(QString::number(totalCount_));
      break;
    case convert::NotifyConverted:
      tileCount_->setText(QString::fromUtf16(res::kRemainingOfTotalFormat)
                              .arg(totalCount_ - doneCount_)
                              .arg(totalCount_));
      // Files added between the passes can push the count past the total.
      progressBar_->setValue(std::clamp(doneCount_, progressBar_->minimum(), progressBar_->maximum()));
      break;
    default:
      return;  // nothing taken since the last draw
  }
  progressDue_ = 0;
  ShowRate();
}
