// Makes the README's screenshot of the window: a GeoKuk cache drawn for the
// purpose (tiles are coloured squares with their key written in) around
// Brno, three zoom levels, the most detailed one with the holes a stopped
// conversion leaves; the real window on it with an area selected, its
// preview showing the cache. Runs on Qt's offscreen platform and grabs the
// window into a PNG:
//   corvane_screenshot OUTPUT.png
// tools/screenshot.sh builds and runs it. Exit code 0 when the PNG was
// written, 1 otherwise.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <cmath>
#include <cstdio>
#include <functional>
#include <optional>

#include "app/corvane_map_creator_dlg.h"
#include "app/map_view.h"
#include "app/path_choosers.h"
#include "app/preview_pane.h"
#include "convert/preview_grid.h"
#include "platform/message_box.h"
#include "platform/settings_store.h"
#include "res/tools/tile_pictures.h"
#include "store/map_file.h"
#include "store/sqlite_database.h"
#include "store/tile_geometry.h"

namespace {

class NoChoosers : public app::PathChoosers {
 public:
  std::optional<QString> ChooseFolder(const QString&) override { return std::nullopt; }
  std::optional<QString> ChooseMapFile(const QString&) override { return std::nullopt; }
};

constexpr int kFirstZoom = 12;
constexpr int kLevels = 3;
constexpr int kColumns = 10;   // tiles across at the first level
constexpr int kRows = 8;       // tiles down at the first level

bool WriteFile(const QString& path, const QByteArray& bytes) {
  if (!QDir().mkpath(QFileInfo(path).absolutePath())) return false;
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The cache: every tile of three levels over the same block, but for a band
// of the last level that a stopped conversion never reached.
bool MakeCache(const QString& root, long long originX, long long originY) {
  const double firstSide = store::GeoKukSideUnits(kFirstZoom);
  for (int level = 0; level < kLevels; ++level) {
    const int zoom = kFirstZoom + level;
    const long long side = static_cast<long long>(store::GeoKukSideUnits(zoom));
    const int columns = kColumns << level;
    const int rows = kRows << level;
    for (int row = 0; row < rows; ++row) {
      for (int column = 0; column < columns; ++column) {
        const bool last = level == kLevels - 1;
        if (last && row < rows / 3 && column >= columns / 2) continue;  // the south-east part not reached
        if (last && row == rows / 3 && column >= columns / 2 && column % 3 != 0) continue;
        const long long x = originX + column * side;
        const long long y = originY + row * side;
        const QString label = QStringLiteral("z %1\nx %2\ny %3").arg(zoom).arg(x, 0, 16).arg(y, 0, 16);
        const double u = (static_cast<double>(x) + side / 2.0) / firstSide;
        const double v = -(static_cast<double>(y) + side / 2.0) / firstSide;
        const QString folder = QString::asprintf("%02llx/%02llx/%02llx/%02llx", x >> 20, y >> 20, (x >> 12) & 0xff,
                                                 (y >> 12) & 0xff);
        const QString name = QStringLiteral("turist_%1_%2_%3.kachle").arg(zoom).arg(x, 0, 16).arg(y, 0, 16);
        if (!WriteFile(root + "/" + folder + "/" + name, res_tools::TilePicture(u, v, label, QStringLiteral("turist")))) {
          return false;
        }
        if (level == 0 && column < 4 && row < 3) {
          const QString aerial = QStringLiteral("letecka_%1_%2_%3.kachle").arg(zoom).arg(x, 0, 16).arg(y, 0, 16);
          if (!WriteFile(root + "/" + folder + "/" + aerial,
                         res_tools::TilePicture(u + 7, v + 3, label, QStringLiteral("letecka")))) {
            return false;
          }
        }
      }
    }
  }
  return true;
}

// Runs the event loop until `done` or `seconds` have passed.
bool WaitFor(const std::function<bool()>& done, int seconds) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > seconds * 1000) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(5);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: corvane_screenshot OUTPUT.png\n");
    return 1;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 9));
  QLocale::setDefault(QLocale(QLocale::Czech, QLocale::Czechia));
  QTemporaryDir work;
  if (!work.isValid()) return 1;

  // Brno: the block's south-west corner on the first level's grid.
  const store::PlanePoint brno = store::GeoToUtm33({49.12, 16.47});
  double ux = 0, uy = 0;
  store::Utm33ToGeoKukUnits(brno, &ux, &uy);
  const long long side = static_cast<long long>(store::GeoKukSideUnits(kFirstZoom));
  const long long originX = static_cast<long long>(ux) / side * side;
  const long long originY = static_cast<long long>(uy) / side * side;
  const QString cache = work.path() + "/kachle";
  if (!MakeCache(cache, originX, originY)) {
    std::fprintf(stderr, "corvane_screenshot: cannot write the cache\n");
    return 1;
  }
  const QString map = work.path() + "/brno.cvmap";
  {
    platform::StderrMessageBox boxes("corvane_screenshot: ");
    SQLite::Database database(&boxes);
    if (!store::CreateMapFileNative(database, QFile::encodeName(map).toStdString())) return 1;
  }

  platform::MemorySettingsStore settings;
  settings.WriteString(u"Options", u"Folder", cache.toStdU16String());
  settings.WriteString(u"Options", u"File", map.toStdU16String());
  settings.WriteString(u"Options", u"AreaSouth", u"49.16");
  settings.WriteString(u"Options", u"AreaWest", u"16.53");
  settings.WriteString(u"Options", u"AreaNorth", u"49.23");
  settings.WriteString(u"Options", u"AreaEast", u"16.66");
  settings.WriteString(u"Options", u"ZoomFrom", u"13");
  platform::StderrMessageBox presenter("corvane_screenshot: ");
  NoChoosers choosers;
  CCorvaneMapCreatorDlg dialog(CCorvaneMapCreatorDlg::Services{&settings, &presenter, &choosers});
  dialog.OnInitDialog();
  dialog.resize(1360, 740);
  dialog.show();

  app::PreviewPane& preview = dialog.Preview();
  app::MapView& view = *preview.View();
  if (!WaitFor([&] { return preview.SourceIndex().counted; }, 60)) {
    std::fprintf(stderr, "corvane_screenshot: the cache was not counted\n");
    return 1;
  }
  // The most detailed level, zoomed out until the whole selected area and
  // the holes beside its south-east corner are in view.
  const int zoom = kFirstZoom + kLevels - 1;
  const double scale = convert::kPreviewTilePixels / convert::TileSidePlane(store::TileGrid::GeoKuk, zoom) * 0.085;
  const convert::ViewPoint centre = convert::GeoToPlane(store::TileGrid::GeoKuk, {49.193, 16.593});
  view.SetView(centre, scale);
  if (!WaitFor([&] { return view.Pending() == 0 && view.ImagesHeld() > 0; }, 60)) {
    std::fprintf(stderr, "corvane_screenshot: the tiles did not load\n");
    return 1;
  }
  WaitFor([] { return false; }, 1);  // let every queued repaint happen
  const QImage shot = dialog.grab().toImage().convertToFormat(QImage::Format_RGB32);
  if (!shot.save(QString::fromLocal8Bit(argv[1]), "PNG", 9)) {
    std::fprintf(stderr, "corvane_screenshot: cannot write %s\n", argv[1]);
    return 1;
  }
  std::printf("%s: %d x %d, %lld bytes\n", argv[1], shot.width(), shot.height(),
              static_cast<long long>(QFileInfo(QString::fromLocal8Bit(argv[1])).size()));
  return 0;
}
