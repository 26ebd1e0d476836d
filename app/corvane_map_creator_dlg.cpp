#include "app/corvane_map_creator_dlg.h"

#include <QBoxLayout>
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
#include <QTimer>
#include <algorithm>
#include <cassert>
#include <optional>

#include "app/dialog_builder.h"
#include "app/geokuk_preferences.h"
#include "app/path_choosers.h"
#include "app/preview_pane.h"
#include "app/selection_panel.h"
#include "convert/layouts.h"
#include "convert/map_writer_turn.h"
#include "convert/probe.h"
#include "convert/source_check.h"
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
      notifications_(this, [this](int code, int count) { TakeWorkerNotice(code, count); }) {
  notifications_.SetDeliveryEnd([this] { ShowProgress(); });
  assert(services_.settings != nullptr && services_.presenter != nullptr &&
         services_.choosers != nullptr && services_.clock);
  sourcePath_ = QString::fromStdU16String(
      services_.settings->GetString(res::kSettingsSection, res::kSettingFolder, u""));
  targetPath_ = QString::fromStdU16String(
      services_.settings->GetString(res::kSettingsSection, res::kSettingFile, u""));

  for (const char* path : res::kAppIconPaths) appIcon_.addFile(QString::fromLatin1(path));
  readyIcon_ = QPixmap(QString::fromLatin1(res::kReadyIconPath));
  notReadyIcon_ = QPixmap(QString::fromLatin1(res::kNotReadyIconPath));

  database_.setMessageBoxes(&messageBoxes_);

  // The template's controls live on the form, beside which the preview and
  // under which the selection are laid out.
  form_ = new QWidget(this);
  app::DialogUnits units(0, 0);
  controls_ = app::BuildControls(form_, res::MainDialogTemplate(), &units);
  setWindowTitle(QString::fromUtf16(res::MainDialogTemplate().caption));
  form_->setWindowTitle(QString());
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

  // The speed and the time left, on the counter's line.
  jobRate_ = new QLabel(form_);
  jobRate_->setGeometry(units.ToPixels(155, 135, 158, 8));
  jobRate_->setTextFormat(Qt::PlainText);
  jobRate_->setObjectName(QStringLiteral("IDC_JOB_RATE"));
  jobRate_->setProperty(app::kControlIdProperty, res::IDC_JOB_RATE);
  jobRate_->setAccessibleName(FromUtf16(res::kJobRateName));
  jobRate_->setAccessibleDescription(FromUtf16(res::kJobRateDescription));
  jobRate_->setToolTip(FromUtf16(res::kJobRateDescription));
  controls_[res::IDC_JOB_RATE] = jobRate_;
  rateTimer_ = new QTimer(this);
  rateTimer_->setInterval(500);

  BuildBesideTheForm(controls_, form_->width(), form_->height());
  ConnectHandlers();
}

void CCorvaneMapCreatorDlg::BuildBesideTheForm(const std::map<int, QWidget*>& formControls, int formWidth,
                                               int formHeight) {
  // Accessible names and descriptions of the template's controls; those that
  // explain themselves get their descriptions from the explanations.
  for (const res::ControlText& text : res::kTemplateControlTexts) {
    QWidget* control = formControls.at(text.id);
    control->setAccessibleName(FromUtf16(text.name));
    if (text.description != nullptr) {
      control->setAccessibleDescription(FromUtf16(text.description));
      control->setToolTip(FromUtf16(text.description));
    }
  }
  tileCount_->setAccessibleDescription(FromUtf16(res::kCounterDescription));
  progressBar_->setAccessibleDescription(FromUtf16(res::kProgressDescription));

  selection_ = new app::SelectionPanel(this);
  selection_->Load(*services_.settings);
  preview_ = new app::PreviewPane(this);
  for (const auto& [id, control] : selection_->Controls()) controls_[id] = control;
  for (const auto& [id, control] : preview_->Controls()) controls_[id] = control;

  // The selection lines up with the form's controls, which keep the
  // template's margin of 7 units.
  const int margin = formWidth * 7 / res::MainDialogTemplate().w;
  auto* left = new QVBoxLayout;
  left->setContentsMargins(0, 0, 0, 0);
  left->addWidget(form_);
  auto* selectionRow = new QHBoxLayout;
  selectionRow->setContentsMargins(margin, 0, margin, margin);
  selectionRow->addWidget(selection_);
  left->addLayout(selectionRow);
  left->addStretch(1);
  auto* all = new QHBoxLayout(this);
  all->setContentsMargins(0, margin, margin, margin);
  all->addLayout(left);
  all->addWidget(preview_, 1);
  selection_->setFixedWidth(formWidth - 2 * margin);

  // Tab order: the template's, then the selection's, then the preview's.
  QWidget* last = GetDlgItem(res::IDC_GEOKUK_FOLDER);
  for (int id : {res::IDC_AREA_NORTH, res::IDC_AREA_WEST, res::IDC_AREA_EAST, res::IDC_AREA_SOUTH,
                 res::IDC_AREA_CLEAR, res::IDC_ZOOM_FROM, res::IDC_ZOOM_TO, res::IDC_PREVIEW_SHOW,
                 res::IDC_PREVIEW_LAYER, res::IDC_PREVIEW_FIT, res::IDC_PREVIEW_SELECT, res::IDC_PREVIEW_VIEW,
                 res::IDC_PREVIEW_LEVELS}) {
    QWidget::setTabOrder(last, GetDlgItem(id));
    last = GetDlgItem(id);
  }
  resize(formWidth + 700, std::max(formHeight + selection_->sizeHint().height() + 16, 620));

  // A text of the window is named by what it says and described by the
  // control it labels, or by itself.
  for (QLabel* label : findChildren<QLabel*>()) {
    if (label->accessibleName().isEmpty()) label->setAccessibleName(label->text());
    if (label->accessibleDescription().isEmpty()) {
      label->setAccessibleDescription(label->buddy() != nullptr ? label->buddy()->accessibleDescription() : label->text());
    }
  }
}

CCorvaneMapCreatorDlg::~CCorvaneMapCreatorDlg() {
  if (!workerEnded_.load()) {
    job_.stopRequested = 1;
    messageBoxes_.ServeUntil([this] { return workerEnded_.load(); });
  }
  worker_.Join();
  // The preview's threads end before anything they report to goes away.
  delete preview_;
  preview_ = nullptr;
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
  // A layout clicked by hand is the one the preview reads the tree with.
  connect(layoutGroup_, &QButtonGroup::idClicked, this, [this] { UpdatePreview(); });
  connect(selection_, &app::SelectionPanel::selectionChanged, this, &CCorvaneMapCreatorDlg::OnSelectionChanged);
  connect(preview_, &app::PreviewPane::sourceIndexChanged, this, &CCorvaneMapCreatorDlg::OnSourceContentsChanged);
  connect(preview_, &app::PreviewPane::areaDrawn, this, [this](store::GeoArea area) {
    if (!jobShown_) selection_->SetArea(area);
  });
  connect(rateTimer_, &QTimer::timeout, this, &CCorvaneMapCreatorDlg::ShowRate);
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
    // An MBTiles file has no radio button: the choice of a folder layout stays.
    if (autoDetect_ != 0 && convert::IsFolderLayout(detected)) layoutChoice_ = detected;
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
  convertButton_->setEnabled(mapReady_ == 1 && sourceReady_ == 1 && selection_->IsValid());
  UpdatePreview();
  WriteSettings();
}

void CCorvaneMapCreatorDlg::WriteSettings() {
  services_.settings->WriteString(res::kSettingsSection, res::kSettingFolder,
                                  sourcePath_.toStdU16String());
  services_.settings->WriteString(res::kSettingsSection, res::kSettingFile,
                                  targetPath_.toStdU16String());
  selection_->Save(*services_.settings);
}

void CCorvaneMapCreatorDlg::UpdatePreview() {
  const std::string sourceNative = Native(sourcePath_);
  // A file in the source box is an MBTiles file whatever the radio buttons
  // say, as the job reads it.
  const int layout = convert::SourceLayoutFor(sourceNative, layoutGroup_->checkedId());
  app::PreviewTarget source;
  const bool readable = layout == convert::LayoutMbtiles || (layout >= 0 && platform::IsDirectory(sourceNative));
  if (sourceReady_ != 0 && readable) source = {app::PreviewTarget::Tree, sourceNative, layout};
  app::PreviewTarget map;
  if (mapReady_ != 0) map = {app::PreviewTarget::MapFile, Native(targetPath_), -1};
  preview_->SetTargets(source, map);
  selection_->SetWebMercator(layout == convert::LayoutOsmTrackerStorage || layout == convert::LayoutTms ||
                             layout == convert::LayoutMbtiles);
}

void CCorvaneMapCreatorDlg::UpdateConvertButton() {
  if (jobShown_) return;  // Running or Stopping: the button is "Zastavit"
  convertButton_->setEnabled(mapReady_ == 1 && sourceReady_ == 1 && selection_->IsValid());
}

void CCorvaneMapCreatorDlg::SetConvertCaption(const char16_t* caption) {
  convertButton_->setText(FromUtf16(caption));
  convertButton_->setAccessibleName(FromUtf16(caption));
}

void CCorvaneMapCreatorDlg::OnSelectionChanged() {
  preview_->SetSelectionArea(selection_->Area());
  UpdateConvertButton();
  selection_->Save(*services_.settings);
}

void CCorvaneMapCreatorDlg::OnSourceContentsChanged() {
  const convert::PreviewIndex& index = preview_->SourceIndex();
  std::vector<int> levels;
  std::vector<std::u16string> sources;
  for (const convert::PreviewLayerIndex& layer : index.layers) {
    for (const convert::PreviewLevel& level : layer.levels) levels.push_back(level.zoom);
    if (layer.layer.sourceIsText) sources.push_back(layer.layer.source);
  }
  std::sort(levels.begin(), levels.end());
  levels.erase(std::unique(levels.begin(), levels.end()), levels.end());
  selection_->SetSourceContents(levels, sources, index.counted);
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
      UpdatePreview();
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
  SetConvertCaption(res::kStopCaption);
  EnableInputs(false);
  selection_->setEnabled(false);
  preview_->SetJobRunning(true);
  convertingShown_ = false;
  rate_.StartJob(services_.clock());
  jobRate_->clear();
  rateTimer_->start();
  doneCount_ = 0;
  totalCount_ = 0;
  progressDue_ = 0;
  rangeDue_ = false;
  progressBar_->setValue(progressBar_->minimum());
  ExplainJobStart();
  jobShown_ = true;

  job_.layout = convert::SourceLayoutFor(Native(sourcePath_), layoutChoice_);
  job_.sourceFolder = Native(sourcePath_);
  job_.selection = nullptr;  // set below, once the last worker is joined
  job_.database = &database_;
  job_.notifications = &notifications_;
  job_.messageBoxes = &messageBoxes_;
  job_.running = 1;
  job_.stopRequested = 0;
  // The last job's thread sets workerEnded_ as its last step: it is joined
  // first, so that its late write cannot mark the new worker as ended (and
  // no longer uses the last job's selection).
  worker_.Join();
  jobSelection_.reset();
  if (const convert::TileSelection selection = selection_->Selection(); !selection.Everything()) {
    jobSelection_.emplace(selection);
  }
  job_.selection = jobSelection_ ? &*jobSelection_ : nullptr;
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
