#include "app/coverage_view.h"

#include <QPainter>
#include <algorithm>

#include "app/map_view.h"

namespace app {

CoverageView::CoverageView(QWidget* parent) : QWidget(parent) {
  setMinimumSize(120, 96);
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

void CoverageView::SetCoverage(std::shared_ptr<const convert::PreviewCount> keep,
                               const convert::LevelCoverage* coverage) {
  keep_ = std::move(keep);
  coverage_ = coverage;
  image_ = coverage_ != nullptr ? CoverageImage(*coverage_) : QImage();
  update();
}

void CoverageView::SetViewRect(const convert::PlaneRect& rect) {
  viewRect_ = rect;
  update();
}

QRectF CoverageView::ImageRect() const {
  if (image_.isNull()) return {};
  const QRectF area = QRectF(rect()).adjusted(2, 2, -2, -2);
  const double scale = std::min(area.width() / image_.width(), area.height() / image_.height());
  const QSizeF size(image_.width() * scale, image_.height() * scale);
  return QRectF(area.center() - QPointF(size.width() / 2, size.height() / 2), size);
}

void CoverageView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::Base));
  painter.setPen(palette().color(QPalette::Mid));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
  if (coverage_ == nullptr || image_.isNull()) return;
  const QRectF target = ImageRect();
  painter.drawImage(target, image_);
  // The map view's part, mapped from the grid's plane rectangle.
  const convert::LevelCoverage::PlaneBlock grid = coverage_->GridPlaneRect();
  const double sx = target.width() / std::max(grid.right - grid.left, 1e-300);
  const double sy = target.height() / std::max(grid.bottom - grid.top, 1e-300);
  const QRectF shown(QPointF(target.left() + (viewRect_.left - grid.left) * sx, target.top() + (viewRect_.top - grid.top) * sy),
                     QPointF(target.left() + (viewRect_.right - grid.left) * sx, target.top() + (viewRect_.bottom - grid.top) * sy));
  painter.setClipRect(rect());
  painter.setPen(QPen(QColor(214, 96, 0), 1.5));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(shown.intersected(QRectF(rect()).adjusted(0, 0, -1, -1)));
}

}  // namespace app
