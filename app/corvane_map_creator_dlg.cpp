#include "app/corvane_map_creator_dlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <cassert>

#include "app/dialog_builder.h"
#include "app/geokuk_preferences.h"
#include "app/path_choosers.h"
#include "convert/map_writer_turn.h"
#include "convert/probe.h"
#include "platform/file_io.h"
#include "res/dialog_template.h"
#include "res/icon_paths.h"
#include "res/resource.h"
#include "res/strings.h"
#include "store/map_file.h"

namespace {

// Native path bytes of a box's text, for file-system and SQLite calls.
std::string Native(const QString& path) { return QFile::encodeName(path).toStdString(); }

QString FromUtf16(const char16_t* text) { return QString::fromUtf16(text); }

template <typename T>
T* Control(const std::map<int, QWidget*>& controls, int id) {
  auto it = controls.find(id);
  assert(it != controls.end());
  T* control = qobject_cast<T*>(it->second);
  assert(control != nullptr);
  return control;
}

}  // namespace

CCorvaneMapCreatorDlg::CCorvaneMapCreatorDlg(const Services& services, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      services_(services),
      shownMessages_(services.presenter),
      messageBoxes_(&shownMessages_),
      notifications_(this, [this](int code, int count) { OnWorkerNotify(code, count); }) {
  assert(services_.settings != nullptr && services_.presenter != nullptr &&
         services_.choosers != nullptr);
  sourcePath_ = QString::fromStdU16String(
      services_.settings->GetString(res::kSettingsSection, res::kSettingFolder, u""));
  targetPath_ = QString::fromStdU16String(
      services_.settings->GetString(res::kSettingsSection, res::kSettingFile, u""));

  for (const char* path : res::kAppIconPaths) appIcon_.addFile(QString::fromLatin1(path));
  readyIcon_ = QPixmap(QString::fromLatin1(res::kReadyIconPath));
  notReadyIcon_ = QPixmap(QString::fromLatin1(res::kNotReadyIconPath));

  database_.setMessageBoxes(&messageBoxes_);

  controls_ = app::BuildControls(this, res::MainDialogTemplate());
  sourceStatus_ = Control<QLabel>(controls_, res::IDC_SOURCE_STATUS);
  targetStatus_ = Control<QLabel>(controls_, res::IDC_TARGET_STATUS);
  sourceBox_ = Control<QLineEdit>(controls_, res::IDC_SOURCE_PATH);
  targetBox_ = Control<QLineEdit>(controls_, res::IDC_TARGET_PATH);
  autoDetectBox_ = Control<QCheckBox>(controls_, res::IDC_AUTO_DETECT);
  convertButton_ = Control<QPushButton>(controls_, res::IDC_CONVERT);
  progressBar_ = Control<QProgressBar>(controls_, res::IDC_PROGRESS);
  tileCount_ = Control<QLabel>(controls_, res::IDC_TILE_COUNT);
  layoutGroup_ = new QButtonGroup(this);
  layoutGroup_->setExclusive(true);
  layoutGroup_->addButton(Control<QRadioButton>(controls_, res::IDC_LAYOUT_GEOKUK), 0);
  layoutGroup_->addButton(Control<QRadioButton>(controls_, res::IDC_LAYOUT_OSM), 1);
  ConnectHandlers();
}

CCorvaneMapCreatorDlg::~CCorvaneMapCreatorDlg() {
  if (!workerEnded_.load()) {
    job_.stopRequested = 1;
    messageBoxes_.ServeUntil([this] { return workerEnded_.load(); });
  }
  worker_.Join();
}

void CCorvaneMapCreatorDlg::ConnectHandlers() {
  connect(sourceBox_, &QLineEdit::textChanged, this, &CCorvaneMapCreatorDlg::OnSourceChanged);
  connect(targetBox_, &QLineEdit::textChanged, this, &CCorvaneMapCreatorDlg::OnTargetChanged);
  auto onClick = [this](int id, void (CCorvaneMapCreatorDlg::*handler)()) {
    connect(Control<QPushButton>(controls_, id), &QPushButton::clicked, this, handler);
  };
  onClick(res::IDC_BROWSE_SOURCE, &CCorvaneMapCreatorDlg::OnBrowseSource);
  onClick(res::IDC_BROWSE_TARGET, &CCorvaneMapCreatorDlg::OnBrowseTarget);
  onClick(res::IDC_CONVERT, &CCorvaneMapCreatorDlg::OnConvert);
  onClick(res::IDC_CREATE_MAP, &CCorvaneMapCreatorDlg::OnCreateMap);
  onClick(res::IDC_GEOKUK_FOLDER, &CCorvaneMapCreatorDlg::OnGeoKukFolder);
  onClick(res::IDCANCEL, &CCorvaneMapCreatorDlg::reject);
}

QWidget* CCorvaneMapCreatorDlg::GetDlgItem(int id) const {
  auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

int CCorvaneMapCreatorDlg::DoModal() {
  OnInitDialog();
  return exec();
}

void CCorvaneMapCreatorDlg::OnInitDialog() {
  UpdateData(false);
  setWindowIcon(appIcon_);
  ShowStatus(sourceStatus_, false);
  ShowStatus(targetStatus_, false);
  convertButton_->setEnabled(false);
  RefreshPaths(RefreshAll);
  UpdateData(false);
  // The first tab stop takes the focus, as the template's order gives it.
  if (QWidget* first = GetDlgItem(res::IDCANCEL)) first->setFocus(Qt::OtherFocusReason);
}

void CCorvaneMapCreatorDlg::UpdateData(bool saveAndValidate) {
  if (saveAndValidate) {
    sourcePath_ = sourceBox_->text();
    targetPath_ = targetBox_->text();
    layoutChoice_ = layoutGroup_->checkedId();  // -1 when none is checked
    autoDetect_ = autoDetectBox_->isChecked() ? 1 : 0;
    return;
  }
  {
    // Filling a box must not run either box's change handler: the handler
    // would read the other, not yet filled box back into the state.
    const QSignalBlocker blockSource(sourceBox_);
    const QSignalBlocker blockTarget(targetBox_);
    if (sourceBox_->text() != sourcePath_) sourceBox_->setText(sourcePath_);
    if (targetBox_->text() != targetPath_) targetBox_->setText(targetPath_);
  }
  ShowLayoutChoice();
  autoDetectBox_->setChecked(autoDetect_ != 0);
}

void CCorvaneMapCreatorDlg::ShowLayoutChoice() {
  if (QAbstractButton* button = layoutGroup_->button(layoutChoice_)) {
    button->setChecked(true);
  } else if (QAbstractButton* checked = layoutGroup_->checkedButton()) {
    // No valid choice: no radio button is on.
    layoutGroup_->setExclusive(false);
    checked->setChecked(false);
    layoutGroup_->setExclusive(true);
  }
}

void CCorvaneMapCreatorDlg::ShowStatus(QLabel* status, bool ready) {
  status->setPixmap(ready ? readyIcon_ : notReadyIcon_);
  status->update();
}

void CCorvaneMapCreatorDlg::RefreshPaths(unsigned flags) {
  if (flags & RefreshSource) {
    const int layoutBefore = layoutChoice_;
    const std::string source = Native(sourcePath_);
    const bool exists = platform::PathExists(source);
    // The probe always reports the deciding file's layout; only with
    // detection on does it become the choice.
    int detected = -1;
    std::string decidingFile;
    sourceReady_ = exists && convert::ProbeSourceFolder(source, source, true, &detected, &decidingFile) ? 1 : 0;
    if (autoDetect_ != 0 && detected >= 0) layoutChoice_ = detected;
    ShowStatus(sourceStatus_, sourceReady_ != 0);
    ExplainSourceStatus(exists, decidingFile, detected);
    // A detected layout goes onto the radio buttons at once: a later read of
    // the controls would otherwise put the stale choice back into the state.
    if (layoutChoice_ != layoutBefore) ShowLayoutChoice();
  }
  if (flags & RefreshTarget) {
    database_.close();
    database_.isOpen = 0;
    const std::string target = Native(targetPath_);
    shownMessages_.Restart();  // the tooltip names the message the recognition shows
    if (platform::PathExists(target)) {
      store::RecogniseMapFileNative(database_, target, messageBoxes_);
    }
    mapReady_ = database_.isOpen;
    ShowStatus(targetStatus_, mapReady_ != 0);
    ExplainTargetStatus(false);
  }
  convertButton_->setEnabled(mapReady_ == 1 && sourceReady_ == 1);
  WriteSettings();
}

void CCorvaneMapCreatorDlg::WriteSettings() {
  services_.settings->WriteString(res::kSettingsSection, res::kSettingFolder,
                                  sourcePath_.toStdU16String());
  services_.settings->WriteString(res::kSettingsSection, res::kSettingFile,
                                  targetPath_.toStdU16String());
}

void CCorvaneMapCreatorDlg::EnableInputs(bool enable) {
  for (int id : {res::IDC_SOURCE_PATH, res::IDC_BROWSE_SOURCE, res::IDC_GEOKUK_FOLDER,
                 res::IDC_TARGET_PATH, res::IDC_BROWSE_TARGET, res::IDC_CREATE_MAP,
                 res::IDC_LAYOUT_GEOKUK, res::IDC_LAYOUT_OSM, res::IDC_AUTO_DETECT}) {
    GetDlgItem(id)->setEnabled(enable);
  }
}

void CCorvaneMapCreatorDlg::OnSourceChanged() {
  UpdateData(true);
  RefreshPaths(RefreshSource);
}

void CCorvaneMapCreatorDlg::OnTargetChanged() {
  UpdateData(true);
  RefreshPaths(RefreshTarget);
}

void CCorvaneMapCreatorDlg::OnBrowseSource() {
  UpdateData(true);
  if (std::optional<QString> folder = services_.choosers->ChooseFolder(sourcePath_)) {
    sourcePath_ = *folder;
    RefreshPaths(RefreshSource);
  }
  UpdateData(false);
}

void CCorvaneMapCreatorDlg::OnGeoKukFolder() {
  // Read the controls first, so that a layout or check box clicked by hand
  // is neither ignored nor overwritten by the transfer at the end.
  UpdateData(true);
  if (std::optional<QString> folder = app::ReadGeoKukCacheFolder()) {
    sourcePath_ = *folder;
    const std::string source = Native(sourcePath_);
    convert::ProbeSourceFolder(source, source, autoDetect_ != 0, &layoutChoice_);
  }
  RefreshPaths(RefreshSource);
  UpdateData(false);
}

void CCorvaneMapCreatorDlg::OnBrowseTarget() {
  UpdateData(true);
  if (std::optional<QString> file = services_.choosers->ChooseMapFile(targetPath_)) targetPath_ = *file;
  RefreshPaths(RefreshTarget);
  UpdateData(false);
}

void CCorvaneMapCreatorDlg::OnCreateMap() {
  // isOpen tells afterwards whether the open succeeded.
  database_.isOpen = 0;
  store::CreateMapFileNative(database_, Native(targetPath_));
  if (database_.isOpen == 0) {
    // The open failed and has closed the connection the window had: the
    // target can no longer be ready. Nothing is shown.
    if (mapReady_ != 0) {
      mapReady_ = 0;
      ShowStatus(targetStatus_, false);
      convertButton_->setEnabled(false);
    }
    ExplainTargetStatus(true);
    return;
  }
  RefreshPaths(RefreshTarget);
}

void CCorvaneMapCreatorDlg::OnConvert() {
  // The window is Running (or Stopping) until it has handled the job's end
  // notification, also after the worker has cleared `running`: a click on
  // "Zastavit" in that moment is a stop, never the start of a second job on
  // the database the first worker may still hold.
  if (job_.running.load() == 1 || jobShown_) {
    job_.stopRequested = 1;
    stopClicked_ = true;
    convertButton_->setEnabled(false);
    return;
  }
  // The job takes the layout the controls show now, also one clicked by hand.
  UpdateData(true);
  // A conversion that another window or cvmap runs into the same map would
  // hold its write lock nearly all the time, and this job would give up
  // after the busy timeout: say so at once instead. The turn is held until
  // the job's end has been handled, so that a cvmap waits for this job.
  if (writerTurn_.TryAcquire(convert::MapWriterTurnName(Native(targetPath_))) ==
      platform::ProcessLock::Result::HeldElsewhere) {
    messageBoxes_.Show(res::kMapBeingConverted, platform::MessageStyle::Exclamation);
    return;
  }
  convertButton_->setText(FromUtf16(res::kStopCaption));
  EnableInputs(false);
  doneCount_ = 0;
  totalCount_ = 0;
  progressBar_->setValue(progressBar_->minimum());
  ExplainJobStart();
  jobShown_ = true;

  job_.layout = layoutChoice_;
  job_.sourceFolder = Native(sourcePath_);
  job_.database = &database_;
  job_.notifications = &notifications_;
  job_.messageBoxes = &messageBoxes_;
  job_.running = 1;
  job_.stopRequested = 0;
  // The last job's thread sets workerEnded_ as its last step: it is joined
  // first, so that its late write cannot mark the new worker as ended.
  worker_.Join();
  workerEnded_ = false;
  const bool started = worker_.Start([this] {
    convert::ConversionThreadProc(&job_);
    workerEnded_ = true;  // the worker's last step: nothing of the job is used after it
  });
  if (!started) {
    workerEnded_ = true;
    job_.running = 0;
    messageBoxes_.Show(res::kWorkerNotStarted, platform::MessageStyle::Exclamation);
    OnWorkerNotify(convert::NotifyFinished, 0);
  }
}

void CCorvaneMapCreatorDlg::OnCancel() {
  if (closing_) return;
  closing_ = true;
  if (worker_.WasStarted()) {
    job_.stopRequested = 1;
    // Keep showing the boxes the worker asks for (it waits for them), and
    // nothing else, until its routine has returned.
    messageBoxes_.ServeUntil([this] { return workerEnded_.load(); });
    worker_.Join();
  }
  database_.close();
  WriteSettings();
  QDialog::reject();
}

void CCorvaneMapCreatorDlg::reject() { OnCancel(); }

void CCorvaneMapCreatorDlg::accept() {}

void CCorvaneMapCreatorDlg::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    event->accept();  // no default button: Enter does nothing here
    return;
  }
  QDialog::keyPressEvent(event);  // Escape: reject(), the close command
}
