#include "app/selection_panel.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStringList>
#include <algorithm>
#include <cmath>

#include "platform/settings_store.h"
#include "res/resource.h"
#include "res/strings.h"

namespace app {

namespace {

constexpr int kSourceColumns = 3;      // check boxes a row
constexpr int kDegreeDecimals = 6;     // a drawn area is written to about 0.1 m
const QColor kInvalidBase(255, 205, 205);

QString Text(const char16_t* text) { return QString::fromUtf16(text); }

// Sets a control's tooltip and accessible description to the same text.
void Describe(QWidget* control, const QString& text) {
  control->setToolTip(text);
  control->setAccessibleDescription(text);
}

void Name(QWidget* control, const char16_t* name, const char16_t* tip) {
  control->setAccessibleName(Text(name));
  Describe(control, Text(tip));
}

// A degree field's number: '.' or ',' as the decimal separator.
std::optional<double> Degrees(const QString& text) {
  QString number = text.trimmed();
  number.replace(u',', u'.');
  bool ok = false;
  const double value = number.toDouble(&ok);
  if (!ok || !std::isfinite(value)) return std::nullopt;
  return value;
}

// `value` to kDegreeDecimals, rounded down (`up` false) or up, so that an
// area written so still holds the rectangle it was drawn from.
QString DegreesText(double value, bool up) {
  const double scale = std::pow(10.0, kDegreeDecimals);
  const double rounded = (up ? std::ceil(value * scale - 1e-6) : std::floor(value * scale + 1e-6)) / scale;
  QString text = QString::number(rounded, 'f', kDegreeDecimals);
  while (text.contains(u'.') && (text.endsWith(u'0') || text.endsWith(u'.'))) text.chop(1);
  return text == QStringLiteral("-0") ? QStringLiteral("0") : text;
}

std::vector<std::u16string> SplitNames(const std::u16string& text) {
  std::vector<std::u16string> names;
  for (const QString& name : QString::fromStdU16String(text).split(u',', Qt::SkipEmptyParts)) {
    names.push_back(name.toStdU16String());
  }
  return names;
}

std::optional<int> Level(const std::u16string& text) {
  bool ok = false;
  const int value = QString::fromStdU16String(text).trimmed().toInt(&ok);
  if (!ok || value < 0 || value > convert::kMaxSelectableZoom) return std::nullopt;
  return value;
}

}  // namespace

ZoomSpinBox::ZoomSpinBox(QWidget* parent) : QSpinBox(parent) { SetLevels({}); }

void ZoomSpinBox::SetLevels(const std::vector<int>& levels) {
  levels_ = levels;
  const QSignalBlocker block(this);
  if (levels_.empty()) {
    setRange(0, convert::kMaxSelectableZoom);
  } else {
    setRange(levels_.front(), levels_.back());
  }
}

void ZoomSpinBox::stepBy(int steps) {
  if (levels_.empty()) return QSpinBox::stepBy(steps);
  int at = value();
  for (; steps > 0; --steps) {
    const auto next = std::upper_bound(levels_.begin(), levels_.end(), at);
    if (next != levels_.end()) at = *next;
  }
  for (; steps < 0; ++steps) {
    const auto next = std::lower_bound(levels_.begin(), levels_.end(), at);
    if (next != levels_.begin()) at = *std::prev(next);
  }
  setValue(at);
}

QAbstractSpinBox::StepEnabled ZoomSpinBox::stepEnabled() const {
  StepEnabled enabled = StepNone;
  if (value() > minimum()) enabled |= StepDownEnabled;
  if (value() < maximum()) enabled |= StepUpEnabled;
  return enabled;
}

SelectionPanel::SelectionPanel(QWidget* parent) : QGroupBox(Text(res::kSelectionTitle), parent) {
  Name(this, res::kSelectionTitle, res::kSelectionTip);
  auto* grid = new QGridLayout(this);

  auto edge = [this](const char16_t* caption, const char16_t* tip, const char* objectName) {
    auto* box = new QLineEdit(this);
    Name(box, caption, tip);
    box->setObjectName(QString::fromLatin1(objectName));
    box->setMinimumWidth(70);
    connect(box, &QLineEdit::textChanged, this, [this] {
      Validate();
      emit selectionChanged();
    });
    return box;
  };
  south_ = edge(res::kAreaSouthLabel, res::kAreaSouthTip, "IDC_AREA_SOUTH");
  west_ = edge(res::kAreaWestLabel, res::kAreaWestTip, "IDC_AREA_WEST");
  north_ = edge(res::kAreaNorthLabel, res::kAreaNorthTip, "IDC_AREA_NORTH");
  east_ = edge(res::kAreaEastLabel, res::kAreaEastTip, "IDC_AREA_EAST");

  // Row 0: north; row 1: west and east; row 2: south; as they lie on a map.
  auto label = [this](const char16_t* caption, QWidget* buddy) {
    auto* text = new QLabel(Text(caption), this);
    text->setBuddy(buddy);
    return text;
  };
  grid->addWidget(new QLabel(Text(res::kAreaLabel), this), 0, 0);
  grid->addWidget(label(res::kAreaNorthLabel, north_), 0, 1, Qt::AlignRight);
  grid->addWidget(north_, 0, 2);
  grid->addWidget(label(res::kAreaWestLabel, west_), 1, 0, Qt::AlignRight);
  grid->addWidget(west_, 1, 1);
  grid->addWidget(label(res::kAreaEastLabel, east_), 1, 3, Qt::AlignRight);
  grid->addWidget(east_, 1, 4);
  grid->addWidget(label(res::kAreaSouthLabel, south_), 2, 1, Qt::AlignRight);
  grid->addWidget(south_, 2, 2);
  clear_ = new QPushButton(Text(res::kAreaClearCaption), this);
  clear_->setAutoDefault(false);
  Name(clear_, res::kAreaClearCaption, res::kAreaClearTip);
  clear_->setObjectName("IDC_AREA_CLEAR");
  grid->addWidget(clear_, 2, 4);
  connect(clear_, &QPushButton::clicked, this, [this] {
    for (QLineEdit* box : {south_, west_, north_, east_}) {
      const QSignalBlocker block(box);
      box->clear();
    }
    Validate();
    emit selectionChanged();
  });

  auto* zoomRow = new QHBoxLayout;
  zoomFrom_ = new ZoomSpinBox(this);
  zoomTo_ = new ZoomSpinBox(this);
  Name(zoomFrom_, res::kZoomLabel, res::kZoomFromTip);
  zoomFrom_->setObjectName("IDC_ZOOM_FROM");
  Name(zoomTo_, res::kZoomToLabel, res::kZoomToTip);
  zoomTo_->setObjectName("IDC_ZOOM_TO");
  zoomFrom_->setValue(zoomFrom_->minimum());
  zoomTo_->setValue(zoomTo_->maximum());
  zoomRow->addWidget(label(res::kZoomLabel, zoomFrom_));
  zoomRow->addWidget(zoomFrom_);
  zoomRow->addWidget(label(res::kZoomToLabel, zoomTo_));
  zoomRow->addWidget(zoomTo_);
  zoomRow->addStretch(1);
  grid->addLayout(zoomRow, 3, 0, 1, 5);
  connect(zoomFrom_, &QSpinBox::valueChanged, this, [this] { OnZoomEdited(); });
  connect(zoomTo_, &QSpinBox::valueChanged, this, [this] { OnZoomEdited(); });

  grid->addWidget(new QLabel(Text(res::kSourcesLabel), this), 4, 0, Qt::AlignTop);
  sourcesBox_ = new QWidget(this);
  Name(sourcesBox_, res::kSourcesLabel, res::kSourcesTip);
  sourcesBox_->setObjectName("IDC_SOURCES");
  sourcesLayout_ = new QGridLayout(sourcesBox_);
  sourcesLayout_->setContentsMargins(0, 0, 0, 0);
  noSources_ = new QLabel(Text(res::kSourcesNone), sourcesBox_);
  Name(noSources_, res::kSourcesNone, res::kSourcesTip);
  sourcesLayout_->addWidget(noSources_, 0, 0);
  grid->addWidget(sourcesBox_, 4, 1, 1, 4);
  grid->setColumnStretch(2, 1);
  grid->setColumnStretch(4, 1);
  Validate();
}

std::map<int, QWidget*> SelectionPanel::Controls() const {
  return {{res::IDC_AREA_SOUTH, south_}, {res::IDC_AREA_WEST, west_},   {res::IDC_AREA_NORTH, north_},
          {res::IDC_AREA_EAST, east_},   {res::IDC_AREA_CLEAR, clear_}, {res::IDC_ZOOM_FROM, zoomFrom_},
          {res::IDC_ZOOM_TO, zoomTo_},   {res::IDC_SOURCES, sourcesBox_}};
}

void SelectionPanel::Load(platform::SettingsStore& settings) {
  const auto get = [&](const char16_t* entry) {
    return settings.GetString(res::kSettingsSection, entry, u"");
  };
  const std::pair<QLineEdit*, const char16_t*> edges[] = {{south_, res::kSettingAreaSouth},
                                                          {west_, res::kSettingAreaWest},
                                                          {north_, res::kSettingAreaNorth},
                                                          {east_, res::kSettingAreaEast}};
  for (const auto& [box, entry] : edges) {
    const QSignalBlocker block(box);
    box->setText(QString::fromStdU16String(get(entry)));
  }
  fromLevel_ = Level(get(res::kSettingZoomFrom));
  toLevel_ = Level(get(res::kSettingZoomTo));
  {
    const QSignalBlocker blockFrom(zoomFrom_);
    const QSignalBlocker blockTo(zoomTo_);
    zoomFrom_->setValue(fromLevel_.value_or(zoomFrom_->minimum()));
    zoomTo_->setValue(toLevel_.value_or(zoomTo_->maximum()));
  }
  sourcesOff_ = SplitNames(get(res::kSettingSourcesOff));
  RebuildSourceBoxes();
  Validate();
}

void SelectionPanel::Save(platform::SettingsStore& settings) const {
  const auto put = [&](const char16_t* entry, const QString& value) {
    settings.WriteString(res::kSettingsSection, entry, value.toStdU16String());
  };
  put(res::kSettingAreaSouth, south_->text());
  put(res::kSettingAreaWest, west_->text());
  put(res::kSettingAreaNorth, north_->text());
  put(res::kSettingAreaEast, east_->text());
  put(res::kSettingZoomFrom, fromLevel_ ? QString::number(*fromLevel_) : QString());
  put(res::kSettingZoomTo, toLevel_ ? QString::number(*toLevel_) : QString());
  QStringList off;
  for (const std::u16string& name : sourcesOff_) off << QString::fromStdU16String(name);
  put(res::kSettingSourcesOff, off.join(u','));
}

void SelectionPanel::SetSourceContents(const std::vector<int>& levels, const std::vector<std::u16string>& sources,
                                       bool complete) {
  if (levels != levels_) {
    levels_ = levels;
    // The boxes offer the levels present, and a bound kept from before that
    // lies beyond them (an estimate may not have met every level yet): a
    // bound is never changed by what the source is found to hold.
    std::vector<int> offered = levels_;
    if (!offered.empty()) {
      for (const std::optional<int>& bound : {fromLevel_, toLevel_}) {
        if (bound) offered.push_back(*bound);
      }
      std::sort(offered.begin(), offered.end());
      offered.erase(std::unique(offered.begin(), offered.end()), offered.end());
    }
    const QSignalBlocker blockFrom(zoomFrom_);
    const QSignalBlocker blockTo(zoomTo_);
    zoomFrom_->SetLevels(offered);
    zoomTo_->SetLevels(offered);
    zoomFrom_->setValue(fromLevel_.value_or(zoomFrom_->minimum()));
    zoomTo_->setValue(toLevel_.value_or(zoomTo_->maximum()));
  }
  sourcesComplete_ = complete;
  if (sources != sources_) {
    sources_ = sources;
    RebuildSourceBoxes();
  }
  Validate();
  emit selectionChanged();
}

void SelectionPanel::SetWebMercator(bool webMercator) {
  if (webMercator == webMercator_) return;
  webMercator_ = webMercator;
  Validate();
  emit selectionChanged();
}

void SelectionPanel::SetArea(const store::GeoArea& area) {
  struct Edge {
    QLineEdit* box;
    double value;
    bool up;  // the north and east edges are rounded outward, up
  };
  const Edge edges[] = {{south_, area.south, false}, {west_, area.west, false}, {north_, area.north, true}, {east_, area.east, true}};
  for (const Edge& edge : edges) {
    const QSignalBlocker block(edge.box);
    edge.box->setText(DegreesText(std::clamp(edge.value, edge.box == south_ || edge.box == north_ ? -90.0 : -180.0,
                                             edge.box == south_ || edge.box == north_ ? 90.0 : 180.0),
                                  edge.up));
  }
  Validate();
  emit selectionChanged();
}

void SelectionPanel::OnZoomEdited() {
  // A box at the lowest (highest) level present, or at the end of 0 .. 99
  // while the levels are not known, sets no bound.
  const int lowest = levels_.empty() ? 0 : levels_.front();
  const int highest = levels_.empty() ? convert::kMaxSelectableZoom : levels_.back();
  fromLevel_ = zoomFrom_->value() <= lowest ? std::nullopt : std::optional<int>(zoomFrom_->value());
  toLevel_ = zoomTo_->value() >= highest ? std::nullopt : std::optional<int>(zoomTo_->value());
  Validate();
  emit selectionChanged();
}

void SelectionPanel::RebuildSourceBoxes() {
  for (QCheckBox* box : sourceChecks_) delete box;
  sourceChecks_.clear();
  noSources_->setVisible(sources_.empty());
  int at = 0;
  for (const std::u16string& name : sources_) {
    const QString caption = QString::fromStdU16String(name);
    auto* box = new QCheckBox(caption, sourcesBox_);
    box->setAccessibleName(caption);
    Describe(box, Text(res::kSourceCheckTipFormat).arg(caption));
    box->setObjectName(QStringLiteral("source:") + caption);
    box->setChecked(std::find(sourcesOff_.begin(), sourcesOff_.end(), name) == sourcesOff_.end());
    connect(box, &QCheckBox::toggled, this, [this, name](bool on) {
      sourcesOff_.erase(std::remove(sourcesOff_.begin(), sourcesOff_.end(), name), sourcesOff_.end());
      if (!on) sourcesOff_.push_back(name);
      Validate();
      emit selectionChanged();
    });
    sourcesLayout_->addWidget(box, at / kSourceColumns, at % kSourceColumns);
    sourceChecks_.push_back(box);
    ++at;
  }
}

void SelectionPanel::MarkField(QWidget* field, const QString& why, const QString& normalTip) {
  QPalette palette = field->palette();
  palette.setColor(QPalette::Base, why.isEmpty() ? this->palette().color(QPalette::Base) : kInvalidBase);
  palette.setColor(QPalette::Window, why.isEmpty() ? this->palette().color(QPalette::Window) : kInvalidBase);
  field->setPalette(palette);
  field->setAutoFillBackground(!why.isEmpty() && field == sourcesBox_);
  field->setProperty("invalid", !why.isEmpty());
  Describe(field, why.isEmpty() ? normalTip : why);
}

void SelectionPanel::Validate() {
  QLineEdit* const boxes[4] = {south_, west_, north_, east_};
  const char16_t* const tips[4] = {res::kAreaSouthTip, res::kAreaWestTip, res::kAreaNorthTip, res::kAreaEastTip};
  QString why[4];
  std::optional<double> values[4];
  int filled = 0;
  for (int i = 0; i < 4; ++i) {
    if (!boxes[i]->text().trimmed().isEmpty()) ++filled;
  }
  for (int i = 0; i < 4; ++i) {
    const QString text = boxes[i]->text().trimmed();
    if (text.isEmpty()) {
      if (filled > 0) why[i] = Text(res::kAreaMissingTip);
      continue;
    }
    values[i] = Degrees(text);
    const bool latitude = i == 0 || i == 2;
    if (!values[i]) {
      why[i] = Text(res::kAreaNotNumberFormat).arg(text);
    } else if (latitude && std::abs(*values[i]) > 90) {
      why[i] = Text(res::kLatitudeRangeTip);
    } else if (!latitude && std::abs(*values[i]) > 180) {
      why[i] = Text(res::kLongitudeRangeTip);
    } else if (latitude && webMercator_ && std::abs(*values[i]) > store::kWebMercatorMaxLatitude + 1e-9) {
      why[i] = Text(res::kAreaBeyondMercatorTip);
    }
  }
  area_.reset();
  bool areaValid = filled == 0;
  if (filled == 4 && why[0].isEmpty() && why[1].isEmpty() && why[2].isEmpty() && why[3].isEmpty()) {
    if (*values[0] > *values[2]) why[0] = why[2] = Text(res::kSouthAboveNorthTip);
    if (*values[1] > *values[3]) why[1] = why[3] = Text(res::kWestEastOfEastTip);
    if (why[0].isEmpty() && why[1].isEmpty()) {
      // The text cvmap's --area takes, read by its parser.
      const std::string text = QStringLiteral("%1,%2,%3,%4")
                                   .arg(*values[0], 0, 'g', 17)
                                   .arg(*values[1], 0, 'g', 17)
                                   .arg(*values[2], 0, 'g', 17)
                                   .arg(*values[3], 0, 'g', 17)
                                   .toStdString();
      store::GeoArea area;
      std::string reason;
      if (convert::ParseArea(text, &area, &reason)) {
        area_ = area;
        areaValid = true;
      } else {
        for (QString& w : why) w = QString::fromStdString(reason);
      }
    }
  }
  for (int i = 0; i < 4; ++i) MarkField(boxes[i], why[i], Text(tips[i]));

  const bool zoomValid = zoomFrom_->value() <= zoomTo_->value();
  MarkField(zoomFrom_, zoomValid ? QString() : Text(res::kZoomOrderTip), Text(res::kZoomFromTip));
  MarkField(zoomTo_, zoomValid ? QString() : Text(res::kZoomOrderTip), Text(res::kZoomToTip));

  bool anyOff = false;
  bool anyOn = false;
  for (QCheckBox* box : sourceChecks_) (box->isChecked() ? anyOn : anyOff) = true;
  QString sourcesWhy;
  if (anyOff && !anyOn) {
    sourcesWhy = Text(res::kNoSourceCheckedTip);
  } else if (anyOff && !sourcesComplete_) {
    sourcesWhy = Text(res::kSourcesIncompleteTip);
  }
  MarkField(sourcesBox_, sourcesWhy, Text(res::kSourcesTip));

  valid_ = areaValid && zoomValid && sourcesWhy.isEmpty();
}

convert::TileSelection SelectionPanel::Selection() const {
  convert::TileSelection selection;
  if (fromLevel_ || toLevel_) {
    std::bitset<convert::kMaxSelectableZoom + 1> zooms;
    for (int level = fromLevel_.value_or(0); level <= toLevel_.value_or(convert::kMaxSelectableZoom); ++level) {
      zooms.set(static_cast<std::size_t>(level));
    }
    selection.zooms = zooms;
  }
  bool anyOff = false;
  std::vector<std::u16string> taken;
  for (std::size_t i = 0; i < sourceChecks_.size(); ++i) {
    if (sourceChecks_[i]->isChecked()) {
      taken.push_back(sources_[i]);
    } else {
      anyOff = true;
    }
  }
  if (anyOff) selection.sources = taken;
  selection.area = area_;
  return selection;
}

}  // namespace app
