// CoverageView: the coverage of the level the preview shows, whole, beside
// the map: which blocks of cells hold tiles and where the holes are, with
// the part the map view shows framed.
//
// Thread-safety: window thread only.
#pragma once

#include <QImage>
#include <QWidget>
#include <memory>
#include <optional>

#include "convert/preview_grid.h"
#include "convert/preview_source.h"

namespace app {

class CoverageView : public QWidget {
  Q_OBJECT

 public:
  explicit CoverageView(QWidget* parent = nullptr);

  // The coverage drawn, or null; `keep` keeps it alive.
  void SetCoverage(std::shared_ptr<const convert::PreviewCount> keep, const convert::LevelCoverage* coverage);
  // The part of the plane the map view shows.
  void SetViewRect(const convert::PlaneRect& rect);

  QSize sizeHint() const override { return {200, 160}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QRectF ImageRect() const;  // where the image goes: centred, the grid's proportions kept

  std::shared_ptr<const convert::PreviewCount> keep_;  // owns coverage_
  const convert::LevelCoverage* coverage_ = nullptr;   // not owned
  QImage image_;                                       // CoverageImage(*coverage_)
  convert::PlaneRect viewRect_;                        // framed
};

}  // namespace app
