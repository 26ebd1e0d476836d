// preview_run MAP TILES: the window's preview of a map file, as a user opens
// it, for preview_bench. Starts the real main dialog (on whatever Qt platform
// the environment names; the benchmark uses offscreen) with MAP in the target
// box and no source folder, so the preview shows the map, its view 1200 x 800
// pixels, and with the event loop running measures:
//   index_ms   from the start of the window to the map's levels on the view;
//   first_ms   from a view of zoom 16 at its own scale being set to its first
//              image drawn (the view asks, the loader reads and decodes on
//              its threads, the image comes back queued and is painted);
//   all_ms     ... to every image of that view held;
//   redraw_ms  the median of 21 repaints of the whole view, images held;
//   redraw_scaled_ms  the same with the view zoomed out to 0.71 of the
//              level's scale (twice the tiles, every one scaled);
//   pan_ms     the median first_ms of views set on 5 other places;
//   count_ms   from the start to the background count of every tile (the
//              exact levels and the coverage), which runs meanwhile.
// TILES is the map's tile count, which gives the places (preview_map.h). It
// prints "key=value" pairs on one line. Exit codes: 0 done, 1 the preview did
// not show the map in time, 2 bad usage.
#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>
#include <vector>

#include "app/corvane_map_creator_dlg.h"
#include "app/map_view.h"
#include "app/path_choosers.h"
#include "app/preview_pane.h"
#include "bench/bench_process.h"
#include "bench/preview_map.h"
#include "platform/message_box.h"
#include "platform/settings_store.h"
#include "platform/utf.h"

namespace {

using Clock = std::chrono::steady_clock;

class NoChoosers : public app::PathChoosers {
 public:
  std::optional<QString> ChooseFolder(const QString&) override { return std::nullopt; }
  std::optional<QString> ChooseMapFile(const QString&) override { return std::nullopt; }
};

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Runs the event loop until `done`, at most `seconds`.
bool RunUntil(const std::function<bool()>& done, int seconds) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > seconds * 1000) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: preview_run MAP TILES\n");
    return 2;
  }
  const int tiles = std::atoi(argv[2]);
  QApplication application(argc, argv);
  platform::MemorySettingsStore settings;
  settings.WriteString(u"Options", u"Folder", u"");
  settings.WriteString(u"Options", u"File", platform::Utf8ToUtf16(argv[1]));
  platform::StderrMessageBox presenter("preview_run: ");
  NoChoosers choosers;

  const Clock::time_point start = Clock::now();
  CCorvaneMapCreatorDlg dialog(CCorvaneMapCreatorDlg::Services{&settings, &presenter, &choosers});
  app::MapView& view = *dialog.Preview().View();
  view.setFixedSize(bench::kPreviewBenchWidth, bench::kPreviewBenchHeight);
  dialog.OnInitDialog();
  dialog.show();

  // The first image after a view was set: counted when the window thread
  // has it and has painted it.
  std::optional<Clock::time_point> firstImage;
  QObject::connect(dialog.Preview().Loader(), &app::PreviewLoader::tileLoaded, &view, [&] {
    if (firstImage) return;
    view.repaint();
    firstImage = Clock::now();
  });
  std::optional<Clock::time_point> counted;
  QObject::connect(dialog.Preview().Loader(), &app::PreviewLoader::countReady, &view, [&] { counted = Clock::now(); });
  if (!RunUntil([&] { return view.Layer().has_value(); }, 60)) {
    std::fprintf(stderr, "preview_run: the map's levels did not come\n");
    return 1;
  }
  const double indexMs = Milliseconds(Clock::now() - start);

  const double scale = convert::kPreviewTilePixels / convert::TileSidePlane(store::TileGrid::WebMercator, bench::kPreviewBenchZoom);
  const std::vector<convert::ViewPoint> places = bench::PreviewViewPlaces(tiles, 6);
  // Shows a place and returns the milliseconds to its first image, and in
  // *allMs those to every image.
  const auto show = [&](const convert::ViewPoint& place, double* allMs, double factor = 1) -> double {
    firstImage.reset();
    const Clock::time_point set = Clock::now();
    view.SetView(place, scale * factor);
    if (!RunUntil([&] { return firstImage.has_value() && view.Settled(); }, 60)) return -1;
    if (allMs != nullptr) *allMs = Milliseconds(Clock::now() - set);
    return Milliseconds(*firstImage - set);
  };
  double allMs = 0;
  const double firstMs = show(places[0], &allMs);
  if (firstMs < 0) {
    std::fprintf(stderr, "preview_run: the view's images did not come\n");
    return 1;
  }
  const auto redraw = [&] {
    std::vector<double> times;
    for (int i = 0; i < 21; ++i) {
      const Clock::time_point t = Clock::now();
      view.repaint();
      times.push_back(Milliseconds(Clock::now() - t));
    }
    return bench::Median(times);
  };
  const double redrawMs = redraw();
  const int images = view.ImagesHeld();
  double ignored = 0;
  show(places[0], &ignored, bench::kPreviewBenchScaled);
  const double redrawScaledMs = redraw();
  std::vector<double> pans;
  for (std::size_t i = 1; i < places.size(); ++i) pans.push_back(show(places[i], nullptr));
  if (!RunUntil([&] { return counted.has_value(); }, 600)) {
    std::fprintf(stderr, "preview_run: the count did not end\n");
    return 1;
  }
  std::printf("index_ms=%.2f first_ms=%.2f all_ms=%.2f redraw_ms=%.3f redraw_scaled_ms=%.3f pan_ms=%.2f count_ms=%.1f images=%d\n",
              indexMs, firstMs, allMs, redrawMs, redrawScaledMs, bench::Median(pans), Milliseconds(*counted - start), images);
  return 0;
}
