// MapView: draws the tiles of one preview layer at their place, and lets the
// user move around and draw the area of a selection.
//
// The view shows a rectangle of the layer's plane (convert/preview_grid.h)
// at a scale in pixels per plane unit. It draws the present zoom level whose
// own scale (a tile 256 pixels wide) lies nearest, scaled; where that level's
// tiles would be narrower than kMinImagePixels it draws the level's coverage
// instead of images. A cell known to hold no tile (from the count, or from a
// read that found none) is drawn as a hole, inside the level's extent.
//
// Mouse: a drag pans; a drag with Shift, or any drag while the select tool
// is on, draws a rectangle and reports it (areaDrawn); the wheel zooms to
// the next zoom level present (beyond the last one it halves or doubles the
// scale); a double click centres. Keys: arrows pan, + and - zoom.
//
// The view asks for the tiles it shows (tilesWanted), most central first,
// whenever what it shows changes; it never asks for a tile it holds, knows
// to be missing, or that lies outside the view. Images come decoded down to
// the size they are drawn at (at least 64 pixels), so that a view of many
// small tiles holds little; a tile drawn larger later is asked for again.
//
// Thread-safety: window thread only.
#pragma once

#include <QImage>
#include <QPoint>
#include <QWidget>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "convert/preview_grid.h"
#include "convert/preview_source.h"

namespace app {

class MapView : public QWidget {
  Q_OBJECT

 public:
  // Narrower tiles are not drawn as images.
  static constexpr double kMinImagePixels = 32;
  // Bytes of decoded images the view keeps.
  static constexpr long long kImageBudget = 192ll << 20;

  explicit MapView(QWidget* parent = nullptr);

  // The layer shown and its levels (by zoom, ascending), or none. A new
  // layer (or generation) forgets every image and fits the whole extent; the
  // same layer with better levels (the count after the estimate) keeps the
  // view, and fits again only while the user has not moved it.
  // With `keepView`, a new generation of the same layer (the same target
  // read anew) forgets the images but keeps the view.
  void SetLayer(int generation, const std::optional<convert::PreviewLayer>& layer,
                const std::vector<convert::PreviewLevel>& levels, bool keepView = false);
  // The layer's coverages (from the count); `count` keeps them alive.
  void SetCoverage(std::shared_ptr<const convert::PreviewCount> count);
  // Shown instead of a map while there is no layer.
  void SetMessage(const QString& message);
  // The selection's area, drawn as its outline, or none.
  void SetSelectionArea(const std::optional<store::GeoArea>& area);
  // With the tool on, every drag draws an area.
  void SetSelectTool(bool on);

  // An image of a tile; `whole` when it has its own size (not decoded down
  // to the size it was asked for).
  void TileLoaded(int generation, const convert::PreviewTile& tile, const QImage& image, bool whole);
  void TileMissing(int generation, const convert::PreviewTile& tile);

  // The whole extent of the layer's levels.
  void FitExtent();
  // The level `zoom` at its own scale, around the same centre.
  void ShowLevel(int zoom);
  // One step in (+1) or out (-1), keeping the plane point under `anchor`.
  void ZoomStep(int direction, QPointF anchor);
  // Asks again for every tile it shows and lacks (after a pause of the reads).
  void AskAgain();

  // What is shown, for the pane and the tests.
  const std::optional<convert::PreviewLayer>& Layer() const { return layer_; }
  int DrawnZoom() const;  // -1 without a layer
  double Scale() const { return scale_; }  // pixels per plane unit
  convert::ViewPoint Centre() const { return centre_; }
  void SetView(convert::ViewPoint centre, double scale);
  convert::PlaneRect VisiblePlaneRect() const;
  QPointF ToPixel(const convert::ViewPoint& point) const;
  convert::ViewPoint ToPlane(const QPointF& pixel) const;
  // The plane rectangle a drag from `from` to `to` (pixels) draws.
  convert::PlaneRect DraggedRect(QPointF from, QPointF to) const;
  int ImagesHeld() const { return static_cast<int>(images_.size()); }
  bool HoldsImage(const convert::PreviewTile& tile) const { return images_.count(tile) != 0; }
  // Tiles asked for and not yet answered.
  int Pending() const { return static_cast<int>(pending_.size()); }
  // Every tile it shows has its answer (no wish waits to be sent either).
  bool Settled() const { return !askScheduled_ && pending_.empty(); }

 signals:
  // The tiles to read, most wanted first, and the size to decode them to.
  void tilesWanted(std::vector<convert::PreviewTile> tiles, int pixels);
  void areaDrawn(convert::PlaneRect rect);
  void levelShown(int zoom);  // the level drawn changed
  void viewChanged();         // what the view shows changed (moved, zoomed, resized, new layer)

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  struct HeldImage {
    QImage image;
    bool whole = true;  // at its own size: no larger one exists
    std::list<convert::PreviewTile>::iterator use;  // its place in useOrder_
  };

  double NativeScale(int zoom) const;           // pixels per plane unit with 256-pixel tiles
  convert::PlaneRect ExtentRect() const;        // every level's extent together
  convert::PlaneRect LevelRect(int zoom) const; // one level's extent
  const convert::LevelCoverage* CoverageOf(int zoom) const;
  bool KnownEmpty(const convert::PreviewTile& tile, const convert::LevelCoverage* coverage) const;
  QRect PixelRect(const convert::PlaneRect& rect) const;  // edges rounded, so that neighbours meet
  void ViewChanged();   // after any change of what is shown: repaint, ask for tiles
  void AskForTiles();   // the deferred part of ViewChanged
  void Forget();        // every image, every missing tile, every wish
  void DrawCoverage(QPainter& painter, const convert::LevelCoverage& coverage);
  void DrawSelection(QPainter& painter);

  int generation_ = 0;                              // of the layer shown
  std::optional<convert::PreviewLayer> layer_;      // none: the message is shown
  std::vector<convert::PreviewLevel> levels_;       // by zoom, ascending
  std::shared_ptr<const convert::PreviewCount> count_;  // the coverages, or null
  QString message_;                                 // shown without a layer

  convert::ViewPoint centre_;   // the plane point at the widget's centre
  double scale_ = 1;            // pixels per plane unit
  bool moved_ = false;          // the user moved or zoomed since the last fit
  int shownZoom_ = -1;          // the level last reported by levelShown

  std::map<convert::PreviewTile, HeldImage> images_;  // decoded images
  std::list<convert::PreviewTile> useOrder_;          // most recently drawn first
  long long imageBytes_ = 0;                          // bytes of images_
  std::set<convert::PreviewTile> missing_;            // asked for, and the source holds none
  std::set<convert::PreviewTile> pending_;            // asked for, not yet answered
  bool askScheduled_ = false;                         // AskForTiles() is queued

  std::optional<store::GeoArea> area_;                // the selection's area
  std::vector<convert::ViewPoint> areaOutline_;       // its outline on the layer's plane
  bool selectTool_ = false;                           // every drag draws an area

  enum class Drag { None, Pan, Select };
  Drag drag_ = Drag::None;   // what the pressed button does
  QPointF dragFrom_;         // where it was pressed
  QPointF dragLast_;         // where the mouse was last
  QImage coverageImage_;     // the drawn coverage, made once per coverage
  const convert::LevelCoverage* coverageImageOf_ = nullptr;  // the coverage coverageImage_ shows
};

// The picture of a coverage: one pixel per block, holes light, blocks with
// tiles darker the more cells they hold, transparent outside the extent.
QImage CoverageImage(const convert::LevelCoverage& coverage);

}  // namespace app
