#include "app/preview_pane.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/coverage_view.h"
#include "app/map_view.h"
#include "convert/preview_grid.h"
#include "res/resource.h"
#include "res/strings.h"

namespace app {

namespace {

constexpr int kSideWidth = 210;  // pixels of the column beside the view

QString Text(const char16_t* text) { return QString::fromUtf16(text); }

void Describe(QWidget* control, const char16_t* name, const char16_t* tip, const char* objectName) {
  control->setAccessibleName(Text(name));
  control->setAccessibleDescription(Text(tip));
  control->setToolTip(Text(tip));
  control->setObjectName(QString::fromLatin1(objectName));
}

QLabel* WrappingLabel(QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setWordWrap(true);
  label->setTextFormat(Qt::PlainText);
  return label;
}

}  // namespace

QString LayerName(const convert::PreviewLayer& layer) {
  if (layer.grid == store::TileGrid::GeoKuk) return Text(res::kLayerGeoKukFormat).arg(QString::fromStdU16String(layer.source));
  return Text(res::kLayerWebMercator);
}

PreviewPane::PreviewPane(QWidget* parent) : QWidget(parent) {
  loader_ = new PreviewLoader(this);
  view_ = new MapView(this);
  Describe(view_, res::kMapViewName, res::kMapViewTip, "IDC_PREVIEW_VIEW");
  coverage_ = new CoverageView(this);
  Describe(coverage_, res::kCoverageName, res::kCoverageTip, "IDC_PREVIEW_COVERAGE");

  show_ = new QComboBox(this);
  show_->addItem(Text(res::kPreviewShowSource));
  show_->addItem(Text(res::kPreviewShowMap));
  Describe(show_, res::kPreviewShowLabel, res::kPreviewShowTip, "IDC_PREVIEW_SHOW");
  layers_ = new QComboBox(this);
  layers_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  Describe(layers_, res::kPreviewLayerLabel, res::kPreviewLayerTip, "IDC_PREVIEW_LAYER");
  fit_ = new QPushButton(Text(res::kPreviewFitCaption), this);
  fit_->setAutoDefault(false);
  Describe(fit_, res::kPreviewFitCaption, res::kPreviewFitTip, "IDC_PREVIEW_FIT");
  select_ = new QToolButton(this);
  select_->setText(Text(res::kPreviewSelectCaption));
  select_->setCheckable(true);
  select_->setFocusPolicy(Qt::StrongFocus);
  Describe(select_, res::kPreviewSelectCaption, res::kPreviewSelectTip, "IDC_PREVIEW_SELECT");

  levels_ = new QTreeWidget(this);
  levels_->setColumnCount(2);
  levels_->setHeaderLabels({Text(res::kLevelsZoomHeader), Text(res::kLevelsTilesHeader)});
  levels_->setRootIsDecorated(false);
  levels_->setUniformRowHeights(true);
  levels_->header()->setStretchLastSection(true);
  levels_->setSelectionMode(QAbstractItemView::SingleSelection);
  Describe(levels_, res::kLevelsName, res::kLevelsTip, "IDC_PREVIEW_LEVELS");
  levelsNote_ = WrappingLabel(this);
  Describe(levelsNote_, res::kLevelsNoteName, res::kLevelsEstimatedNote, "IDC_PREVIEW_LEVELS_NOTE");
  coverageText_ = WrappingLabel(this);
  Describe(coverageText_, res::kCoverageTextName, res::kCoverageTip, "IDC_PREVIEW_COVERAGE_TEXT");
  status_ = WrappingLabel(this);
  Describe(status_, res::kPreviewStatusName, res::kPreviewStatusTip, "IDC_PREVIEW_STATUS");

  auto* showLabel = new QLabel(Text(res::kPreviewShowLabel), this);
  showLabel->setBuddy(show_);
  auto* layerLabel = new QLabel(Text(res::kPreviewLayerLabel), this);
  layerLabel->setBuddy(layers_);
  auto* levelsLabel = new QLabel(Text(res::kLevelsName), this);
  levelsLabel->setBuddy(levels_);

  auto* top = new QHBoxLayout;
  top->addWidget(showLabel);
  top->addWidget(show_);
  top->addSpacing(8);
  top->addWidget(layerLabel);
  top->addWidget(layers_, 1);
  top->addWidget(fit_);
  top->addWidget(select_);
  auto* side = new QVBoxLayout;
  side->addWidget(levelsLabel);
  side->addWidget(levels_, 2);
  side->addWidget(levelsNote_);
  side->addWidget(coverage_, 2);
  side->addWidget(coverageText_);
  auto* sideBox = new QWidget(this);
  sideBox->setLayout(side);
  sideBox->setFixedWidth(kSideWidth);
  side->setContentsMargins(0, 0, 0, 0);
  auto* middle = new QHBoxLayout;
  middle->addWidget(view_, 1);
  middle->addWidget(sideBox);
  auto* box = new QGroupBox(Text(res::kPreviewTitle), this);
  Describe(box, res::kPreviewTitle, res::kPreviewTip, "IDC_PREVIEW");
  auto* inside = new QVBoxLayout(box);
  inside->addLayout(top);
  inside->addLayout(middle, 1);
  inside->addWidget(status_);
  auto* all = new QVBoxLayout(this);
  all->setContentsMargins(0, 0, 0, 0);
  all->addWidget(box);

  connect(loader_, &PreviewLoader::indexReady, this, &PreviewPane::OnIndex);
  connect(loader_, &PreviewLoader::countProgress, this, &PreviewPane::OnCountProgress);
  connect(loader_, &PreviewLoader::countReady, this, &PreviewPane::OnCount);
  connect(loader_, &PreviewLoader::tileLoaded, view_, &MapView::TileLoaded);
  connect(loader_, &PreviewLoader::tileMissing, view_, &MapView::TileMissing);
  connect(view_, &MapView::tilesWanted, loader_, &PreviewLoader::Want);
  connect(view_, &MapView::levelShown, this, &PreviewPane::ShowCoverage);
  connect(view_, &MapView::viewChanged, this, [this] { coverage_->SetViewRect(view_->VisiblePlaneRect()); });
  connect(view_, &MapView::areaDrawn, this, [this](convert::PlaneRect rect) {
    if (view_->Layer()) emit areaDrawn(convert::PlaneRectArea(view_->Layer()->grid, rect));
  });
  connect(show_, &QComboBox::activated, this, [this](int index) {
    userChoseMap_ = index == 1;
    const Showing wanted = userChoseMap_ ? Showing::Map : Showing::Source;
    if (wanted != showing_) {
      showing_ = wanted;
      Reload(false);
    }
  });
  connect(layers_, &QComboBox::activated, this, [this] { ShowLayer(); });
  connect(fit_, &QPushButton::clicked, view_, &MapView::FitExtent);
  connect(select_, &QToolButton::toggled, view_, &MapView::SetSelectTool);
  connect(levels_, &QTreeWidget::itemActivated, this,
          [this](QTreeWidgetItem* item) { view_->ShowLevel(item->data(0, Qt::UserRole).toInt()); });

  view_->SetMessage(Text(res::kViewNothing));
  ShowNote();
  ShowCoverage(-1);
}

PreviewPane::~PreviewPane() = default;

std::map<int, QWidget*> PreviewPane::Controls() const {
  return {{res::IDC_PREVIEW_VIEW, view_},          {res::IDC_PREVIEW_SHOW, show_},
          {res::IDC_PREVIEW_LAYER, layers_},       {res::IDC_PREVIEW_FIT, fit_},
          {res::IDC_PREVIEW_SELECT, select_},      {res::IDC_PREVIEW_LEVELS, levels_},
          {res::IDC_PREVIEW_LEVELS_NOTE, levelsNote_}, {res::IDC_PREVIEW_COVERAGE, coverage_},
          {res::IDC_PREVIEW_COVERAGE_TEXT, coverageText_}, {res::IDC_PREVIEW_STATUS, status_}};
}

void PreviewPane::SetTargets(const PreviewTarget& source, const PreviewTarget& map) {
  const bool sourceChanged = !(source == sourceTarget_);
  const bool mapChanged = !(map == mapTarget_);
  sourceTarget_ = source;
  mapTarget_ = map;
  Showing showing = Showing::Map;
  if (!(userChoseMap_ && map.kind != PreviewTarget::None) && source.kind != PreviewTarget::None) showing = Showing::Source;
  const bool showingChanged = showing != showing_;
  showing_ = showing;
  {
    const QSignalBlocker block(show_);
    show_->setCurrentIndex(showing_ == Showing::Source ? 0 : 1);
  }
  if (showingChanged || (showing_ == Showing::Source && sourceChanged) || (showing_ == Showing::Map && mapChanged)) {
    Reload(false);
  }
  if (sourceChanged && showing_ != Showing::Source && !sourceIndex_.layers.empty()) {
    sourceIndex_ = {};
    emit sourceIndexChanged();
  }
}

void PreviewPane::SetJobRunning(bool running) {
  if (running == jobRunning_) return;
  jobRunning_ = running;
  loader_->SetPaused(running);
  if (!running && showing_ == Showing::Map && mapTarget_.kind != PreviewTarget::None) {
    Reload(true);  // the job changed the map file
  } else if (!running) {
    view_->AskAgain();
  }
  status_->setText(running && showing_ == Showing::Map ? Text(res::kPreviewStatusPaused) : QString());
  ShowNote();
}

void PreviewPane::SetSelectionArea(const std::optional<store::GeoArea>& area) { view_->SetSelectionArea(area); }

void PreviewPane::Reload(bool keepView) {
  const PreviewTarget& target = showing_ == Showing::Source ? sourceTarget_ : mapTarget_;
  index_.reset();
  count_.reset();
  counting_ = target.kind != PreviewTarget::None;
  countedSoFar_ = 0;
  keepViewOnIndex_ = keepView;
  const int generation = loader_->Open(target);
  if (!keepView) {
    view_->SetLayer(generation, std::nullopt, {});
    view_->SetMessage(Text(target.kind == PreviewTarget::None ? res::kViewNothing : res::kViewLoading));
    FillLayers();
    FillLevels();
  }
  ShowCoverage(-1);
  ShowNote();
  status_->setText(target.kind == PreviewTarget::None ? QString() : Text(res::kPreviewStatusIndexing));
  if (showing_ == Showing::Source && !sourceIndex_.layers.empty()) {
    sourceIndex_ = {};
    emit sourceIndexChanged();
  }
}

const convert::PreviewLayerIndex* PreviewPane::ChosenLayer() const {
  if (!index_ || index_->layers.empty()) return nullptr;
  const int chosen = layers_->currentIndex();
  if (chosen < 0 || chosen >= static_cast<int>(index_->layers.size())) return &index_->layers.front();
  return &index_->layers[static_cast<std::size_t>(chosen)];
}

void PreviewPane::FillLayers() {
  const QString before = layers_->currentText();
  const QSignalBlocker block(layers_);
  layers_->clear();
  if (!index_) return;
  for (const convert::PreviewLayerIndex& layer : index_->layers) layers_->addItem(LayerName(layer.layer));
  const int keep = layers_->findText(before);
  layers_->setCurrentIndex(keep >= 0 ? keep : 0);
}

void PreviewPane::ShowLayer() {
  const convert::PreviewLayerIndex* chosen = ChosenLayer();
  if (chosen == nullptr) {
    view_->SetLayer(loader_->Generation(), std::nullopt, {});
    const bool none = (showing_ == Showing::Source ? sourceTarget_ : mapTarget_).kind == PreviewTarget::None;
    view_->SetMessage(Text(none ? res::kViewNothing : res::kViewEmpty));
  } else {
    view_->SetLayer(loader_->Generation(), chosen->layer, chosen->levels, keepViewOnIndex_);
    if (count_) view_->SetCoverage(count_);
  }
  FillLevels();
  ShowCoverage(view_->DrawnZoom());
}

void PreviewPane::FillLevels() {
  const QSignalBlocker block(levels_);
  levels_->clear();
  const convert::PreviewLayerIndex* chosen = ChosenLayer();
  if (chosen == nullptr) return;
  const bool counted = index_->counted;
  for (const convert::PreviewLevel& level : chosen->levels) {
    auto* item = new QTreeWidgetItem(levels_);
    item->setText(0, QString::number(level.zoom));
    item->setText(1, (counted ? QString() : Text(res::kLevelsEstimatePrefix)) + QLocale().toString(level.tiles));
    item->setData(0, Qt::UserRole, level.zoom);
    item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    if (level.zoom == view_->DrawnZoom()) levels_->setCurrentItem(item);
  }
}

void PreviewPane::ShowCoverage(int zoom) {
  // The drawn level in the list.
  for (int i = 0; i < levels_->topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = levels_->topLevelItem(i);
    if (item->data(0, Qt::UserRole).toInt() == zoom) {
      const QSignalBlocker block(levels_);
      levels_->setCurrentItem(item);
    }
  }
  const convert::LevelCoverage* found = nullptr;
  if (count_ && view_->Layer()) {
    for (const convert::LevelCoverage& coverage : count_->coverage) {
      if (coverage.zoom == zoom && coverage.layer == *view_->Layer()) found = &coverage;
    }
  }
  coverage_->SetCoverage(count_, found);
  coverage_->SetViewRect(view_->VisiblePlaneRect());
  if (zoom < 0) {
    coverageText_->setText(QString());
  } else if (found == nullptr) {
    coverageText_->setText(Text(res::kCoverageUnknownFormat).arg(zoom));
  } else {
    const long long box = found->CellsInExtent();
    const double share = box > 0 ? 100.0 * static_cast<double>(found->cells) / static_cast<double>(box) : 0;
    coverageText_->setText(Text(res::kCoverageFormat)
                               .arg(zoom)
                               .arg(QLocale().toString(found->cells))
                               .arg(QLocale().toString(box))
                               .arg(QLocale().toString(share, 'f', share >= 99.95 || share == 0 ? 0 : 1)));
  }
  coverageText_->setAccessibleDescription(coverageText_->text().isEmpty() ? Text(res::kCoverageTip) : coverageText_->text());
}

void PreviewPane::ShowNote() {
  QString note;
  if (index_ && index_->counted) {
    note = Text(res::kLevelsCountedNote);
  } else if (jobRunning_) {
    note = Text(res::kLevelsPausedNote);
  } else if (counting_ && countedSoFar_ > 0) {
    note = Text(res::kLevelsCountingFormat).arg(QLocale().toString(countedSoFar_));
  } else if (index_ && !index_->layers.empty()) {
    note = Text(res::kLevelsEstimatedNote);
  }
  levelsNote_->setText(note);
  levelsNote_->setAccessibleDescription(note.isEmpty() ? Text(res::kLevelsEstimatedNote) : note);
}

void PreviewPane::OnIndex(int generation, IndexPtr index, bool opened, const QString& why) {
  if (generation != loader_->Generation()) return;
  const bool showsMap = showing_ == Showing::Map;
  status_->setText(!opened && showsMap ? Text(res::kPreviewStatusMapFailedFormat).arg(why) : QString());
  if (!opened) counting_ = false;
  if (!count_) {
    index_ = std::move(index);
    FillLayers();
    ShowLayer();
  }
  ShowNote();
  if (showing_ == Showing::Source) {
    sourceIndex_ = index_ ? *index_ : convert::PreviewIndex{};
    emit sourceIndexChanged();
  }
}

void PreviewPane::OnCountProgress(int generation, qlonglong tiles) {
  if (generation != loader_->Generation()) return;
  countedSoFar_ = tiles;
  ShowNote();
}

void PreviewPane::OnCount(int generation, CountPtr count) {
  if (generation != loader_->Generation()) return;
  count_ = std::move(count);
  index_ = IndexPtr(count_, &count_->index);
  counting_ = false;
  FillLayers();
  ShowLayer();
  ShowNote();
  if (showing_ == Showing::Source) {
    sourceIndex_ = *index_;
    emit sourceIndexChanged();
  }
}

}  // namespace app
