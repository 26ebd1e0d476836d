// CCorvaneMapCreatorDlg: the main dialog, the whole user interface.
//
// The user picks the source folder (typed, chosen, or GeoKuk's cache folder)
// and the target map file (typed or chosen), may create an empty map file,
// chooses the source layout or lets it be detected, and starts and stops the
// conversion. The dialog owns the one map database, the job record the worker
// uses, and the worker thread; two indicators show whether the source folder
// and the target file are ready, and the convert button is enabled exactly
// when both are. The two paths are saved at the end of every refresh and by
// the close command.
//
// Controls are built from the template res::MainDialogTemplate() and found
// by their ids (GetDlgItem). State and controls meet only through
// UpdateData(): true reads the controls into the state, false writes the
// state into the controls with the boxes' change handlers blocked, so that a
// box filled by the program never runs a handler on stale state.
//
// Beside the form: the preview of the source folder or the map file
// (app/preview_pane.h), and under it the selection a conversion takes
// (app/selection_panel.h): "Převést" converts the selection and stays
// disabled while a field of it is wrong; the selection is saved with the two
// paths. On the counter's line a running job tells its speed and the time it
// still needs.
//
// The window explains itself: after every refresh each indicator's tooltip
// (also its accessible description) says why it has its colour, and after
// every job the counter and the bar tell how the job ended and its counts.
//
// States: Idle (button "Převést", inputs enabled), Running (button
// "Zastavit", enabled; inputs disabled), Stopping (button "Zastavit",
// disabled; inputs disabled). The end notification returns to Idle.
//
// Thread-safety: every member function runs on the window thread. The worker
// shares only `job_` and, through it, `database_`; it reports by queued calls
// (notifications_) and asks for message boxes through messageBoxes_, which
// the close command keeps serving while it waits for the worker.
//
// Invariants:
//  1. While a job runs the window thread does not touch database_, and every
//     input that could start a refresh or a create is disabled.
//  2. The worker is joined before database_, job_ or messageBoxes_ go away.
//  3. The Enter key never ends the window; Escape, the close box and
//     "Zavřít" run the close command, which ends it.
//  4. The preview reads through connections of its own, never database_,
//     and reads no map file while a job runs.
//  5. The job's selection (jobSelection_) lives until the next job starts,
//     after the worker that used it has been joined.
#pragma once

#include <QDialog>
#include <QIcon>
#include <QPixmap>
#include <QString>
#include <atomic>
#include <functional>
#include <map>

#include "app/shown_message_log.h"
#include "convert/conversion_job.h"
#include "convert/rate_meter.h"
#include "convert/tile_selection.h"
#include "platform/qt/queued_call_channel.h"
#include "platform/process_lock.h"
#include "platform/qt/window_thread_message_box.h"
#include "platform/settings_store.h"
#include "platform/worker_thread.h"
#include "store/sqlite_database.h"

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTimer;

namespace app {
class PathChoosers;
class PreviewPane;
class SelectionPanel;
}

class CCorvaneMapCreatorDlg : public QDialog {
  Q_OBJECT

 public:
  // What the dialog relies on; none of it is owned, all must outlive it.
  struct Services {
    platform::SettingsStore* settings = nullptr;      // the two paths
    platform::MessageBoxService* presenter = nullptr; // shows a box on the window thread
    app::PathChoosers* choosers = nullptr;            // folder and file choosers
    // The clock of the job's speed and time left; tests give their own.
    std::function<convert::RateMeter::Clock::time_point()> clock = convert::RateMeter::Clock::now;
  };

  // Refresh flags.
  enum RefreshFlags : unsigned {
    RefreshSource = 1,        // re-check the source folder
    RefreshTarget = 2,        // re-check the target file
    RefreshAll = ~0u,         // start-up
  };

  // Reads the two settings and loads the icons; builds the controls.
  // REQUIRES: every service set.
  explicit CCorvaneMapCreatorDlg(const Services& services, QWidget* parent = nullptr);
  // Stops and joins a job that still runs (the close command normally has).
  ~CCorvaneMapCreatorDlg() override;

  // Runs OnInitDialog and then the window, modally, until the close command
  // ends it. Returns QDialog's result.
  int DoModal();
  // The start: fills the controls, refreshes both paths and the convert
  // button, fills the controls again. DoModal() calls it; tests call it and
  // then show() the window.
  void OnInitDialog();

  // A worker notification (code, count), on the window thread: 1 counted,
  // 2 converted, 3 finished; any other code is ignored.
  void OnWorkerNotify(int code, int count);

  // The control with this id, or null.
  QWidget* GetDlgItem(int id) const;

  // For tests: the map database (window thread, no job running), the
  // message-box service the worker uses, and whether a job runs.
  SQLite::Database& MapDatabase() { return database_; }
  app::PreviewPane& Preview() { return *preview_; }
  app::SelectionPanel& SelectionBox() { return *selection_; }
  platform::qt::WindowThreadMessageBox& MessageBoxes() { return messageBoxes_; }
  bool IsJobRunning() const { return job_.running.load() != 0; }

  void reject() override;  // the close command (Escape, close box, "Zavřít")
  void accept() override;  // never ends the window

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void ConnectHandlers();

  // The worker's notifications as the channel delivers them: each changes
  // the counts as OnWorkerNotify does, but the counter and the bar are drawn
  // once at the end of the channel's delivery (ShowProgress), not once per
  // notice, so that a job of many folders costs the window thread little.
  void TakeWorkerNotice(int code, int count);
  // Draws the counter and the bar for the counts taken since the last draw.
  void ShowProgress();

  // Transfers: true reads the controls into the state; false writes the
  // state into the controls, with the boxes' change handlers blocked.
  void UpdateData(bool saveAndValidate);
  void RefreshPaths(unsigned flags);
  void EnableInputs(bool enable);
  void ShowStatus(QLabel* status, bool ready);
  void ShowLayoutChoice();
  void WriteSettings();
  // The preview's targets from the paths' state and the layout shown.
  void UpdatePreview();
  // Idle: "Převést" enabled exactly when both paths are ready and the
  // selection is valid.
  void UpdateConvertButton();
  void SetConvertCaption(const char16_t* caption);
  void OnSelectionChanged();
  void OnSourceContentsChanged();
  // The counter line's speed and time left (corvane_map_creator_dlg_progress.cpp).
  void ShowRate();
  void BuildBesideTheForm(const std::map<int, QWidget*>& formControls, int formWidth, int formHeight);

  void OnSourceChanged();
  void OnTargetChanged();
  void OnBrowseSource();
  void OnBrowseTarget();
  void OnGeoKukFolder();
  void OnCreateMap();
  void OnConvert();
  void OnCancel();

  // Tooltips and accessible descriptions (corvane_map_creator_dlg_explain.cpp).
  // The source indicator's, after a refresh that found `exists`, the probe's
  // deciding file (native path, "" for none) and its layout (-1: no tile).
  void ExplainSourceStatus(bool exists, const std::string& decidingFile, int detectedLayout);
  // The target indicator's, after a refresh or a create whose open failed.
  void ExplainTargetStatus(bool createFailed);
  // The counter's and the progress bar's, when a job starts and when it ends
  // (finalCount: the end notification's count).
  void ExplainJobStart();
  void ExplainJobEnd(int finalCount);

  Services services_;  // not owned

  // Window-thread services; declared before the database and the job, so they
  // are destroyed after them.
  app::ShownMessageLog shownMessages_;                 // presenter, remembering what it showed
  platform::qt::WindowThreadMessageBox messageBoxes_;  // boxes from either thread, via shownMessages_
  platform::qt::QueuedCallChannel notifications_;     // worker -> OnWorkerNotify

  QIcon appIcon_;          // window icon, several sizes
  QPixmap readyIcon_;      // 16 x 16 green tick: path ready
  QPixmap notReadyIcon_;   // 16 x 16 red cross: path not ready
  SQLite::Database database_;  // the map file
  convert::ConversionJob job_;  // shared with the worker while a job runs
  platform::WorkerThread worker_;  // the conversion thread; declared after job_, joined first
  platform::ProcessLock writerTurn_;  // the map's writer turn (convert/map_writer_turn.h), held while a job runs
  std::atomic<bool> workerEnded_{true};  // set by the worker as its last step
  std::optional<convert::SelectionFilter> jobSelection_;  // the running (or last) job's selection; unset: everything

  QString sourcePath_;     // text of box 1000
  QString targetPath_;     // text of box 1002
  int layoutChoice_ = 0;   // radio group 1004/1005: 0 GeoKuk, 1 OSM Tracker Storage, -1 none
  int mapReady_ = 0;       // the target file is open and is a map file
  int sourceReady_ = 0;    // the source folder exists and passed the probe
  int autoDetect_ = 1;     // check box 1012
  int totalCount_ = 0;     // count of the counting pass
  int doneCount_ = 0;      // count of the converting pass so far
  int progressDue_ = 0;    // the last notice taken but not yet drawn: 0 none, 1 counted, 2 converted
  bool rangeDue_ = false;  // a converting notice taken since the last draw found doneCount_ 0: the bar's range is set
  bool closing_ = false;   // the close command has begun
  bool jobStarted_ = false;   // a job was started and its end notification has not come yet
  bool stopClicked_ = false;  // "Zastavit" was pressed during the current job
  bool jobShown_ = false;     // a job was started and its end notification not yet handled: the button is "Zastavit"
  bool convertingShown_ = false;  // the current job's converting pass has been notified
  convert::RateMeter rate_;       // the current job's speed

  std::map<int, QWidget*> controls_;  // by id; owned by the dialog as children
  QLabel* sourceStatus_ = nullptr;        // 1010
  QLabel* targetStatus_ = nullptr;        // 1009
  QLineEdit* sourceBox_ = nullptr;        // 1000
  QLineEdit* targetBox_ = nullptr;        // 1002
  QButtonGroup* layoutGroup_ = nullptr;   // 1004 (id 0), 1005 (id 1)
  QCheckBox* autoDetectBox_ = nullptr;    // 1012
  QPushButton* convertButton_ = nullptr;  // 1006
  QProgressBar* progressBar_ = nullptr;   // 1008
  QLabel* tileCount_ = nullptr;           // 1013
  QLabel* jobRate_ = nullptr;             // 1016: speed and time left
  QTimer* rateTimer_ = nullptr;           // redraws jobRate_ while a job runs
  QWidget* form_ = nullptr;               // holds the template's controls
  app::SelectionPanel* selection_ = nullptr;
  app::PreviewPane* preview_ = nullptr;
};
