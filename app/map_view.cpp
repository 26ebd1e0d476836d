#include "app/map_view.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "res/strings.h"

namespace app {

namespace {

const QColor kBackground(236, 236, 232);     // outside every level
const QColor kExtentFill(250, 250, 247);     // inside the level's extent, not loaded yet
const QColor kHoleFill(244, 204, 204);       // a cell that holds no tile
const QColor kTileOutline(214, 214, 208);    // the grid of cells waiting for an image
const QColor kSelectionPen(214, 96, 0);      // the selection's outline
const QColor kOutsideSelection(40, 40, 40, 70);  // laid over what the selection leaves out
const QColor kRubberPen(0, 90, 200);         // the rectangle being drawn
const QColor kRubberFill(0, 120, 255, 40);
const QColor kCoverageFull(0, 105, 125);     // a block whose every cell holds a tile

constexpr double kPanFraction = 0.25;     // an arrow key pans a quarter of the view
constexpr double kFitMargin = 0.95;       // the whole extent fills this share of the view
constexpr double kMostMagnified = 8;      // beyond the last level, up to 8 x its own scale
constexpr double kLeastScaleOfFit = 0.25; // out to a quarter of the whole extent's scale
constexpr int kMinDragPixels = 3;         // a smaller drag draws no area
constexpr std::size_t kMostWanted = 4000; // tiles asked for at once at most
constexpr int kSmallestDecoded = 64;      // images are decoded down to no less than this

// The size to decode tiles to that are drawn `pixels` wide: the next power
// of two, within kSmallestDecoded .. the tiles' own size.
int DecodedSize(double pixels) {
  int size = kSmallestDecoded;
  while (size < pixels && size < convert::kPreviewTilePixels) size *= 2;
  return size;
}

QString Text(const char16_t* text) { return QString::fromUtf16(text); }

long long Step(const convert::PreviewLayer& layer, int zoom) {
  if (layer.grid == store::TileGrid::WebMercator) return 1;
  return static_cast<long long>(store::GeoKukSideUnits(zoom));
}

}  // namespace

QImage CoverageImage(const convert::LevelCoverage& coverage) {
  QImage image(std::max(coverage.width, 1), std::max(coverage.height, 1), QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  for (int row = 0; row < coverage.height; ++row) {
    for (int column = 0; column < coverage.width; ++column) {
      const long long cells = coverage.CellsInBlock(column, row);
      if (cells <= 0) continue;
      const std::uint32_t filled = coverage.filled[static_cast<std::size_t>(row) * coverage.width + column];
      if (filled == 0) {
        image.setPixelColor(column, row, kHoleFill);
        continue;
      }
      // A block with any tile is at least light teal; a full one is dark.
      const double share = std::min(1.0, static_cast<double>(filled) / static_cast<double>(cells));
      QColor colour = kCoverageFull;
      colour.setAlphaF(0.35 + 0.65 * share);
      image.setPixelColor(column, row, colour);
    }
  }
  return image;
}

MapView::MapView(QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(false);
  setMinimumSize(320, 240);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void MapView::SetLayer(int generation, const std::optional<convert::PreviewLayer>& layer,
                       const std::vector<convert::PreviewLevel>& levels, bool keepView) {
  const bool sameLayer = layer == layer_;
  const bool same = generation == generation_ && sameLayer;
  generation_ = generation;
  layer_ = layer;
  levels_ = layer ? levels : std::vector<convert::PreviewLevel>{};
  if (!same) {
    Forget();
    count_.reset();
    if (!(keepView && sameLayer)) moved_ = false;
    SetSelectionArea(area_);  // the outline on the new layer's plane
  }
  if (!moved_) {
    FitExtent();
    moved_ = false;
  }
  ViewChanged();
}

void MapView::SetCoverage(std::shared_ptr<const convert::PreviewCount> count) {
  count_ = std::move(count);
  coverageImageOf_ = nullptr;
  ViewChanged();
}

void MapView::SetMessage(const QString& message) {
  message_ = message;
  update();
}

void MapView::SetSelectionArea(const std::optional<store::GeoArea>& area) {
  area_ = area;
  areaOutline_.clear();
  if (area_ && layer_) areaOutline_ = convert::AreaOutline(layer_->grid, *area_);
  update();
}

void MapView::SetSelectTool(bool on) {
  selectTool_ = on;
  setCursor(on ? Qt::CrossCursor : Qt::ArrowCursor);
}

void MapView::TileLoaded(int generation, const convert::PreviewTile& tile, const QImage& image, bool whole) {
  if (generation != generation_) return;
  pending_.erase(tile);
  const auto held = images_.find(tile);
  if (held != images_.end()) {
    if (held->second.whole || held->second.image.width() >= image.width()) return;
    imageBytes_ += image.sizeInBytes() - held->second.image.sizeInBytes();
    held->second.image = image;
    held->second.whole = whole;
  } else {
    useOrder_.push_front(tile);
    images_[tile] = {image, whole, useOrder_.begin()};
    imageBytes_ += image.sizeInBytes();
  }
  // The least recently drawn images go first; those on screen were drawn last.
  while (imageBytes_ > kImageBudget && useOrder_.size() > 1) {
    const auto oldest = images_.find(useOrder_.back());
    imageBytes_ -= oldest->second.image.sizeInBytes();
    images_.erase(oldest);
    useOrder_.pop_back();
  }
  update();
}

void MapView::TileMissing(int generation, const convert::PreviewTile& tile) {
  if (generation != generation_) return;
  pending_.erase(tile);
  missing_.insert(tile);
  update();
}

double MapView::NativeScale(int zoom) const {
  return convert::kPreviewTilePixels / convert::TileSidePlane(layer_->grid, zoom);
}

convert::PlaneRect MapView::LevelRect(int zoom) const {
  for (const convert::PreviewLevel& level : levels_) {
    if (level.zoom == zoom) return convert::TileRangePlaneRect(layer_->grid, zoom, level.extent);
  }
  return {};
}

convert::PlaneRect MapView::ExtentRect() const {
  convert::PlaneRect extent;
  for (const convert::PreviewLevel& level : levels_) extent = convert::United(extent, LevelRect(level.zoom));
  return extent;
}

void MapView::FitExtent() {
  if (!layer_ || levels_.empty()) return;
  const convert::PlaneRect extent = ExtentRect();
  centre_ = {(extent.left + extent.right) / 2, (extent.top + extent.bottom) / 2};
  const double fit = std::min(width() / std::max(extent.Width(), 1e-300), height() / std::max(extent.Height(), 1e-300));
  scale_ = std::min(fit * kFitMargin, NativeScale(levels_.back().zoom) * kMostMagnified);
  moved_ = false;
  ViewChanged();
}

void MapView::ShowLevel(int zoom) {
  if (!layer_) return;
  scale_ = NativeScale(zoom);
  moved_ = true;
  ViewChanged();
}

void MapView::SetView(convert::ViewPoint centre, double scale) {
  centre_ = centre;
  scale_ = scale;
  moved_ = true;
  ViewChanged();
}

void MapView::ZoomStep(int direction, QPointF anchor) {
  if (!layer_ || levels_.empty()) return;
  const convert::ViewPoint fixed = ToPlane(anchor);
  std::optional<double> target;
  for (const convert::PreviewLevel& level : levels_) {
    const double native = NativeScale(level.zoom);
    if (direction > 0 && native > scale_ * 1.001 && (!target || native < *target)) target = native;
    if (direction < 0 && native < scale_ / 1.001 && (!target || native > *target)) target = native;
  }
  if (!target) target = direction > 0 ? scale_ * 2 : scale_ / 2;
  const convert::PlaneRect extent = ExtentRect();
  const double fit = std::min(width() / std::max(extent.Width(), 1e-300), height() / std::max(extent.Height(), 1e-300));
  const double most = NativeScale(levels_.back().zoom) * kMostMagnified;
  const double least = std::min(fit * kLeastScaleOfFit, NativeScale(levels_.front().zoom));
  const double scale = std::clamp(*target, least, most);
  if (scale == scale_) return;
  // Keep `fixed` under the anchor.
  const QPointF middle(width() / 2.0, height() / 2.0);
  centre_.x = fixed.x - (anchor.x() - middle.x()) / scale;
  centre_.y = fixed.y - (anchor.y() - middle.y()) / scale;
  scale_ = scale;
  moved_ = true;
  ViewChanged();
}

int MapView::DrawnZoom() const {
  if (!layer_ || levels_.empty()) return -1;
  int best = levels_.front().zoom;
  double bestDistance = INFINITY;
  for (const convert::PreviewLevel& level : levels_) {
    const double distance = std::abs(std::log2(scale_ / NativeScale(level.zoom)));
    if (distance <= bestDistance + 1e-9) {  // a tie goes to the sharper level
      best = level.zoom;
      bestDistance = std::min(distance, bestDistance);
    }
  }
  return best;
}

convert::PlaneRect MapView::VisiblePlaneRect() const {
  const double halfWidth = width() / 2.0 / scale_;
  const double halfHeight = height() / 2.0 / scale_;
  return {centre_.x - halfWidth, centre_.y - halfHeight, centre_.x + halfWidth, centre_.y + halfHeight};
}

QPointF MapView::ToPixel(const convert::ViewPoint& point) const {
  return {(point.x - centre_.x) * scale_ + width() / 2.0, (point.y - centre_.y) * scale_ + height() / 2.0};
}

convert::ViewPoint MapView::ToPlane(const QPointF& pixel) const {
  return {centre_.x + (pixel.x() - width() / 2.0) / scale_, centre_.y + (pixel.y() - height() / 2.0) / scale_};
}

convert::PlaneRect MapView::DraggedRect(QPointF from, QPointF to) const {
  const convert::ViewPoint a = ToPlane(from);
  const convert::ViewPoint b = ToPlane(to);
  return {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
}

QRect MapView::PixelRect(const convert::PlaneRect& rect) const {
  const QPointF topLeft = ToPixel({rect.left, rect.top});
  const QPointF bottomRight = ToPixel({rect.right, rect.bottom});
  const int left = static_cast<int>(std::lround(std::clamp(topLeft.x(), -1e6, 1e6)));
  const int top = static_cast<int>(std::lround(std::clamp(topLeft.y(), -1e6, 1e6)));
  const int right = static_cast<int>(std::lround(std::clamp(bottomRight.x(), -1e6, 1e6)));
  const int bottom = static_cast<int>(std::lround(std::clamp(bottomRight.y(), -1e6, 1e6)));
  return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

const convert::LevelCoverage* MapView::CoverageOf(int zoom) const {
  if (!count_ || !layer_) return nullptr;
  for (const convert::LevelCoverage& coverage : count_->coverage) {
    if (coverage.zoom == zoom && coverage.layer == *layer_) return &coverage;
  }
  return nullptr;
}

bool MapView::KnownEmpty(const convert::PreviewTile& tile, const convert::LevelCoverage* coverage) const {
  if (missing_.count(tile) != 0) return true;
  return coverage != nullptr && !coverage->HoldsTile(tile.x, tile.y);
}

void MapView::Forget() {
  images_.clear();
  useOrder_.clear();
  imageBytes_ = 0;
  missing_.clear();
  pending_.clear();
  coverageImageOf_ = nullptr;
}

void MapView::AskAgain() {
  pending_.clear();
  ViewChanged();
}

void MapView::ViewChanged() {
  update();
  emit viewChanged();
  const int zoom = DrawnZoom();
  if (zoom != shownZoom_) {
    shownZoom_ = zoom;
    emit levelShown(zoom);
  }
  if (!askScheduled_) {
    askScheduled_ = true;
    QTimer::singleShot(0, this, [this] { AskForTiles(); });
  }
}

void MapView::AskForTiles() {
  askScheduled_ = false;
  std::vector<convert::PreviewTile> wanted;
  const int zoom = DrawnZoom();
  const double tilePixels = zoom >= 0 ? convert::TileSidePlane(layer_->grid, zoom) * scale_ : 0;
  const int decoded = DecodedSize(tilePixels);
  if (zoom >= 0 && tilePixels >= kMinImagePixels) {
    const convert::LevelCoverage* coverage = CoverageOf(zoom);
    const convert::PlaneRect level = LevelRect(zoom);
    const convert::PlaneRect visible = VisiblePlaneRect();
    // Only the part of the view that the level's extent covers can hold tiles.
    const convert::PlaneRect shown{std::max(visible.left, level.left), std::max(visible.top, level.top),
                                   std::min(visible.right, level.right), std::min(visible.bottom, level.bottom)};
    store::TileRange range;
    if (convert::VisibleTiles(layer_->grid, zoom, shown, &range)) {
      const long long step = Step(*layer_, zoom);
      for (long long y = range.y0; y <= range.y1 && wanted.size() < kMostWanted; y += step) {
        for (long long x = range.x0; x <= range.x1 && wanted.size() < kMostWanted; x += step) {
          const convert::PreviewTile tile{*layer_, zoom, x, y};
          const auto held = images_.find(tile);
          // A held image drawn larger than it was decoded is asked for again.
          if (held != images_.end() && (held->second.whole || held->second.image.width() >= decoded)) continue;
          if (KnownEmpty(tile, coverage)) continue;
          wanted.push_back(tile);
        }
      }
    }
    // The tiles nearest the centre first.
    const auto distance = [this, zoom](const convert::PreviewTile& tile) {
      const convert::PlaneRect r = convert::TilePlaneRect(layer_->grid, zoom, tile.x, tile.y);
      const double dx = (r.left + r.right) / 2 - centre_.x;
      const double dy = (r.top + r.bottom) / 2 - centre_.y;
      return dx * dx + dy * dy;
    };
    std::stable_sort(wanted.begin(), wanted.end(),
                     [&](const convert::PreviewTile& a, const convert::PreviewTile& b) { return distance(a) < distance(b); });
  }
  // The wish replaces the last one: what is not wanted now is not pending.
  pending_ = std::set<convert::PreviewTile>(wanted.begin(), wanted.end());
  emit tilesWanted(std::move(wanted), decoded);
}

void MapView::DrawCoverage(QPainter& painter, const convert::LevelCoverage& coverage) {
  if (coverageImageOf_ != &coverage) {
    coverageImage_ = CoverageImage(coverage);
    coverageImageOf_ = &coverage;
  }
  const convert::LevelCoverage::PlaneBlock grid = coverage.GridPlaneRect();
  painter.drawImage(PixelRect({grid.left, grid.top, grid.right, grid.bottom}), coverageImage_);
}

void MapView::DrawSelection(QPainter& painter) {
  if (areaOutline_.size() >= 2) {
    QPolygonF polygon;
    polygon.reserve(static_cast<int>(areaOutline_.size()));
    for (const convert::ViewPoint& point : areaOutline_) polygon << ToPixel(point);
    // What lies outside the area is dimmed, so the area stands out.
    QPainterPath outside;
    outside.addRect(QRectF(rect()).adjusted(-2, -2, 2, 2));
    QPainterPath inside;
    inside.addPolygon(polygon);
    painter.fillPath(outside.subtracted(inside), kOutsideSelection);
    painter.setPen(QPen(kSelectionPen, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawPolygon(polygon);
  }
  if (drag_ == Drag::Select) {
    painter.setPen(QPen(kRubberPen, 1, Qt::DashLine));
    painter.setBrush(kRubberFill);
    painter.drawRect(QRectF(dragFrom_, dragLast_).normalized());
  }
}

void MapView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), kBackground);
  const int zoom = DrawnZoom();
  if (zoom < 0) {
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(rect().adjusted(12, 12, -12, -12), Qt::AlignCenter | Qt::TextWordWrap, message_);
    DrawSelection(painter);
    return;
  }
  const store::TileGrid grid = layer_->grid;
  const convert::PlaneRect level = LevelRect(zoom);
  const QRect levelPixels = PixelRect(level);
  painter.fillRect(levelPixels, kExtentFill);
  const convert::LevelCoverage* coverage = CoverageOf(zoom);
  const double tilePixels = convert::TileSidePlane(grid, zoom) * scale_;
  QString hint = Text(res::kViewLevelFormat).arg(zoom);
  if (tilePixels >= kMinImagePixels) {
    store::TileRange range;
    const convert::PlaneRect visible = VisiblePlaneRect();
    const convert::PlaneRect shown{std::max(visible.left, level.left), std::max(visible.top, level.top),
                                   std::min(visible.right, level.right), std::min(visible.bottom, level.bottom)};
    if (convert::VisibleTiles(grid, zoom, shown, &range)) {
      const long long step = Step(*layer_, zoom);
      painter.setPen(kTileOutline);
      for (long long y = range.y0; y <= range.y1; y += step) {
        for (long long x = range.x0; x <= range.x1; x += step) {
          const convert::PreviewTile tile{*layer_, zoom, x, y};
          const QRect cell = PixelRect(convert::TilePlaneRect(grid, zoom, x, y));
          const auto held = images_.find(tile);
          if (held != images_.end()) {
            painter.drawImage(cell, held->second.image);
            useOrder_.splice(useOrder_.begin(), useOrder_, held->second.use);
          } else if (KnownEmpty(tile, coverage)) {
            painter.fillRect(cell, kHoleFill);
          } else {
            painter.drawRect(cell.adjusted(0, 0, -1, -1));
          }
        }
      }
    }
  } else if (coverage != nullptr) {
    DrawCoverage(painter, *coverage);
    hint = Text(res::kViewZoomInHint).arg(zoom);
  } else {
    hint = Text(res::kViewZoomInHint).arg(zoom);
  }
  DrawSelection(painter);
  // The level drawn, in the corner.
  const QRect label = painter.fontMetrics().boundingRect(hint).adjusted(-4, -2, 4, 2);
  const QRect box(QPoint(6, 6), label.size());
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(255, 255, 255, 210));
  painter.drawRect(box);
  painter.setPen(palette().color(QPalette::WindowText));
  painter.drawText(box, Qt::AlignCenter, hint);
}

void MapView::resizeEvent(QResizeEvent*) {
  if (!moved_) {
    FitExtent();
    moved_ = false;
  }
  ViewChanged();
}

void MapView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  setFocus(Qt::MouseFocusReason);
  drag_ = (selectTool_ || (event->modifiers() & Qt::ShiftModifier)) ? Drag::Select : Drag::Pan;
  dragFrom_ = dragLast_ = event->position();
  event->accept();
}

void MapView::mouseMoveEvent(QMouseEvent* event) {
  if (drag_ == Drag::None) return QWidget::mouseMoveEvent(event);
  const QPointF at = event->position();
  if (drag_ == Drag::Pan) {
    centre_.x -= (at.x() - dragLast_.x()) / scale_;
    centre_.y -= (at.y() - dragLast_.y()) / scale_;
    moved_ = true;
    ViewChanged();
  } else {
    update();
  }
  dragLast_ = at;
  event->accept();
}

void MapView::mouseReleaseEvent(QMouseEvent* event) {
  if (drag_ == Drag::None || event->button() != Qt::LeftButton) return QWidget::mouseReleaseEvent(event);
  const Drag was = drag_;
  drag_ = Drag::None;
  dragLast_ = event->position();
  if (was == Drag::Select) {
    const QRectF drawn = QRectF(dragFrom_, dragLast_).normalized();
    if (layer_ && drawn.width() >= kMinDragPixels && drawn.height() >= kMinDragPixels) {
      emit areaDrawn(DraggedRect(dragFrom_, dragLast_));
    }
    update();
  }
  event->accept();
}

void MapView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mouseDoubleClickEvent(event);
  centre_ = ToPlane(event->position());
  moved_ = true;
  ViewChanged();
  event->accept();
}

void MapView::wheelEvent(QWheelEvent* event) {
  const int delta = event->angleDelta().y();
  if (delta != 0) ZoomStep(delta > 0 ? 1 : -1, event->position());
  event->accept();
}

void MapView::keyPressEvent(QKeyEvent* event) {
  const QPointF middle(width() / 2.0, height() / 2.0);
  const double panX = width() * kPanFraction / scale_;
  const double panY = height() * kPanFraction / scale_;
  switch (event->key()) {
    case Qt::Key_Left: centre_.x -= panX; break;
    case Qt::Key_Right: centre_.x += panX; break;
    case Qt::Key_Up: centre_.y -= panY; break;
    case Qt::Key_Down: centre_.y += panY; break;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
      ZoomStep(1, middle);
      return event->accept();
    case Qt::Key_Minus:
      ZoomStep(-1, middle);
      return event->accept();
    default:
      return QWidget::keyPressEvent(event);
  }
  moved_ = true;
  ViewChanged();
  event->accept();
}

}  // namespace app
