// The window's side of the worker's notifications: the counter text, the
// progress bar, and the return to Idle at the end of a job.
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>

#include "app/corvane_map_creator_dlg.h"
#include "res/strings.h"

void CCorvaneMapCreatorDlg::OnWorkerNotify(int code, int count) {
  switch (code) {
    case convert::NotifyCounted:
      totalCount_ = count;
      tileCount_->setText(QString::number(count));
      break;
    case convert::NotifyConverted:
      if (doneCount_ == 0) {
        // An empty range would make the bar an animated busy indicator; a
        // total of 0 shows as an empty bar instead.
        progressBar_->setRange(0, std::max(totalCount_, 1));
      }
      doneCount_ = count;
      tileCount_->setText(QString::fromUtf16(res::kRemainingOfTotalFormat)
                              .arg(totalCount_ - doneCount_)
                              .arg(totalCount_));
      // Files added between the passes can push the count past the total.
      progressBar_->setValue(std::clamp(doneCount_, progressBar_->minimum(), progressBar_->maximum()));
      break;
    case convert::NotifyFinished:
      writerTurn_.Release();
      jobShown_ = false;
      convertButton_->setText(QString::fromUtf16(res::kConvertCaption));
      convertButton_->setEnabled(true);
      EnableInputs(true);
      ExplainJobEnd(count);
      break;
    default:
      break;  // not a notification of this window
  }
}
