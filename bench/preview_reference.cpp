// preview_reference MAP TILES: the plainest program that shows the same views
// of the map as preview_run, for preview_bench: it opens the map file
// read-only with SQLite, and for each view selects its tiles by key with one
// prepared statement, decodes them with Qt and draws them with QPainter on a
// 1200 x 800 image, all on one thread with no event loop. It prints the same
// figures (index_ms: the open alone; it knows where the tiles are).
#include <sqlite3.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "bench/bench_process.h"
#include "bench/preview_map.h"
#include "convert/preview_grid.h"

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

struct Placed {
  QRect rect;    // where it is drawn
  QImage image;  // decoded
};

class Reference {
 public:
  explicit Reference(sqlite3* db) {
    sqlite3_prepare_v2(db, "SELECT image FROM tiles WHERE x = ? AND y = ? AND z = ? AND s = 0", -1, &select_, nullptr);
  }
  ~Reference() { sqlite3_finalize(select_); }

  // Reads and decodes the tiles of the view at `place`, the centre's first;
  // returns the milliseconds to the first image, *allMs those to all.
  double Show(const convert::ViewPoint& place, double scale, double* allMs) {
    const Clock::time_point start = Clock::now();
    placed_.clear();
    const double halfW = bench::kPreviewBenchWidth / 2.0 / scale;
    const double halfH = bench::kPreviewBenchHeight / 2.0 / scale;
    const convert::PlaneRect visible{place.x - halfW, place.y - halfH, place.x + halfW, place.y + halfH};
    store::TileRange range;
    convert::VisibleTiles(store::TileGrid::WebMercator, bench::kPreviewBenchZoom, visible, &range);
    std::vector<std::pair<double, std::pair<long long, long long>>> order;
    const double side = convert::TileSidePlane(store::TileGrid::WebMercator, bench::kPreviewBenchZoom);
    for (long long x = range.x0; x <= range.x1; ++x) {
      for (long long y = range.y0; y <= range.y1; ++y) {
        const double dx = (x + 0.5) * side - place.x;
        const double dy = (y + 0.5) * side - place.y;
        order.push_back({dx * dx + dy * dy, {x, y}});
      }
    }
    std::sort(order.begin(), order.end());
    double firstMs = -1;
    for (const auto& [distance, key] : order) {
      sqlite3_bind_int64(select_, 1, key.first);
      sqlite3_bind_int64(select_, 2, key.second);
      sqlite3_bind_int(select_, 3, 17 - bench::kPreviewBenchZoom);
      if (sqlite3_step(select_) == SQLITE_ROW) {
        const auto* blob = static_cast<const uchar*>(sqlite3_column_blob(select_, 0));
        QImage image = QImage::fromData(blob, sqlite3_column_bytes(select_, 0)).convertToFormat(QImage::Format_ARGB32_Premultiplied);
        const convert::PlaneRect r = convert::TilePlaneRect(store::TileGrid::WebMercator, bench::kPreviewBenchZoom, key.first, key.second);
        const QPoint topLeft(static_cast<int>(std::lround((r.left - visible.left) * scale)),
                             static_cast<int>(std::lround((r.top - visible.top) * scale)));
        const QPoint bottomRight(static_cast<int>(std::lround((r.right - visible.left) * scale)),
                                 static_cast<int>(std::lround((r.bottom - visible.top) * scale)));
        placed_.push_back({QRect(topLeft, bottomRight - QPoint(1, 1)), std::move(image)});
        if (firstMs < 0) {
          Draw();
          firstMs = Milliseconds(Clock::now() - start);
        }
      }
      sqlite3_reset(select_);
    }
    *allMs = Milliseconds(Clock::now() - start);
    return firstMs;
  }

  // Draws every image held.
  void Draw() {
    QPainter painter(&canvas_);
    painter.fillRect(canvas_.rect(), QColor(236, 236, 232));
    for (const Placed& p : placed_) painter.drawImage(p.rect, p.image);
  }
  int Images() const { return static_cast<int>(placed_.size()); }

 private:
  sqlite3_stmt* select_ = nullptr;  // the image by key
  std::vector<Placed> placed_;      // the view's images
  QImage canvas_{bench::kPreviewBenchWidth, bench::kPreviewBenchHeight, QImage::Format_ARGB32_Premultiplied};
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: preview_reference MAP TILES\n");
    return 2;
  }
  QGuiApplication application(argc, argv);
  const int tiles = std::atoi(argv[2]);
  const Clock::time_point start = Clock::now();
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(argv[1], &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) return 1;
  const double indexMs = Milliseconds(Clock::now() - start);
  double allMs = 0;
  double firstMs = 0;
  double redrawMs = 0;
  double redrawScaledMs = 0;
  std::vector<double> pans;
  int images = 0;
  {
    Reference reference(db);
    const double scale = convert::kPreviewTilePixels / convert::TileSidePlane(store::TileGrid::WebMercator, bench::kPreviewBenchZoom);
    const std::vector<convert::ViewPoint> places = bench::PreviewViewPlaces(tiles, 6);
    const auto redraw = [&] {
      std::vector<double> times;
      for (int i = 0; i < 21; ++i) {
        const Clock::time_point t = Clock::now();
        reference.Draw();
        times.push_back(Milliseconds(Clock::now() - t));
      }
      return bench::Median(times);
    };
    firstMs = reference.Show(places[0], scale, &allMs);
    redrawMs = redraw();
    images = reference.Images();
    double ignored = 0;
    reference.Show(places[0], scale * bench::kPreviewBenchScaled, &ignored);
    redrawScaledMs = redraw();
    for (std::size_t i = 1; i < places.size(); ++i) pans.push_back(reference.Show(places[i], scale, &ignored));
  }
  sqlite3_close(db);
  std::printf("index_ms=%.2f first_ms=%.2f all_ms=%.2f redraw_ms=%.3f redraw_scaled_ms=%.3f pan_ms=%.2f images=%d\n",
              indexMs, firstMs, allMs, redrawMs, redrawScaledMs, bench::Median(pans), images);
  return 0;
}
