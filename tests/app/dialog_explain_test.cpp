// The dialog's explanations: the status indicators' tooltips for every cause
// of their colour, the counter's and bar's tooltip with the result of a
// completed, a stopped and a failed job, and where the choosers open. A
// tooltip is always also the accessible description.
#include <sqlite3.h>
#include <unistd.h>

#include <QDir>
#include <QTest>
#include <QTextDocumentFragment>
#include <functional>

#include "dialog_fixture.h"

namespace app_test {
namespace {

// The text a control explains itself with: its accessible description,
// which its tooltip must show too.
QString ToolTipOf(QWidget* control) {
  EXPECT_EQ(QTextDocumentFragment::fromHtml(control->toolTip()).toPlainText(), control->accessibleDescription())
      << "the tooltip shows another text than the accessible description";
  return control->accessibleDescription();
}

// EXPL-1: each cause of an indicator's colour has its own tooltip naming the
// path, the deciding file, the layout or SQLite's message, and what to do.
TEST_F(DialogTest, IndicatorTooltipsGiveTheReason) {
  const QString osm = MakeOsmTree("osm");
  const QString geokuk = MakeGeoKukTree("geokuk");
  ASSERT_TRUE(WriteFile(Path("mixed/readme.txt"), "not a tile"));
  ASSERT_TRUE(WriteFile(Path("atlas/a-readme.txt"), "not a tile"));  // read before the tile folder
  ASSERT_TRUE(WriteFile(Path("atlas/mapy/16/353/220.png"), "tile"));
  ASSERT_TRUE(QDir().mkpath(Path("empty")));
  ASSERT_TRUE(WriteFile(Path("plain.txt"), "this is plain text and no database at all, not even close"));
  const QString map = MakeMapFile("mapa.cvmap");

  struct Row {
    const char* id;
    int statusId;                 // the indicator looked at
    std::function<void()> act;    // what the user does in a freshly opened window
    bool ready;                   // the colour it must keep: green or red
    std::vector<QString> parts;   // pieces the tooltip must hold
  };
  const auto typeSource = [this](const QString& text) { return [this, text] { SourceBox()->setText(text); }; };
  const auto typeTarget = [this](const QString& text) { return [this, text] { TargetBox()->setText(text); }; };
  const std::vector<Row> rows = {
      {"source-empty", res::IDC_SOURCE_STATUS, [] {}, false, {"Zadejte nebo vyberte složku", "„Vybrat“"}},
      {"source-missing", res::IDC_SOURCE_STATUS, typeSource(Path("nic")), false, {Path("nic"), "neexistuje"}},
      {"source-refused", res::IDC_SOURCE_STATUS, typeSource(Path("mixed")), false,
       {"„readme.txt“", "není kachle GeoKuku ani OSM Tracker Storage", "Vyberte složku"}},
      {"source-refused-names-tile-folder", res::IDC_SOURCE_STATUS, typeSource(Path("atlas")), false,
       {"„a-readme.txt“", "Kachle formátu OSM Tracker Storage jsou ve složce „mapy“."}},
      {"source-is-file", res::IDC_SOURCE_STATUS, typeSource(Path("plain.txt")), true, {"je soubor, ne složka"}},
      {"source-no-file", res::IDC_SOURCE_STATUS, typeSource(Path("empty")), true,
       {Path("empty"), "nenašla žádný soubor"}},
      {"source-geokuk", res::IDC_SOURCE_STATUS, typeSource(geokuk), true,
       {"formátu GeoKuk", "„0a/1b/2c/3d/base_n_13_1b", "určeno podle souboru"}},
      {"source-osm", res::IDC_SOURCE_STATUS, typeSource(osm), true, {"formátu OSM Tracker Storage", "„16/35"}},
      {"source-osm-by-hand", res::IDC_SOURCE_STATUS,
       [&] {
         AutoDetect()->click();
         SourceBox()->setText(osm);
       },
       true, {"formátu OSM Tracker Storage", "neurčuje automaticky"}},
      {"target-empty", res::IDC_TARGET_STATUS, [] {}, false, {"Zadejte nebo vyberte soubor s mapou", "„Založit“"}},
      {"target-missing", res::IDC_TARGET_STATUS, typeTarget(Path("nova.cvmap")), false,
       {Path("nova.cvmap"), "neexistuje", "„Založit“"}},
      {"target-folder", res::IDC_TARGET_STATUS, typeTarget(Path("empty")), false, {"je složka, ne soubor s mapou"}},
      {"target-not-map", res::IDC_TARGET_STATUS, typeTarget(Path("plain.txt")), false,
       {"není soubor s mapou", "file is not a database"}},
      {"target-create-failed", res::IDC_TARGET_STATUS,
       [&] {
         TargetBox()->setText(Path("chybi/mapa.cvmap"));
         QTest::mouseClick(Button(res::IDC_CREATE_MAP), Qt::LeftButton);
       },
       false, {"nelze založit ani otevřít"}},
      {"target-ready", res::IDC_TARGET_STATUS, typeTarget(map), true, {map, "je mapa"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.id);
    settings_.WriteString(u"Options", u"Folder", u"");  // each row starts from empty boxes
    settings_.WriteString(u"Options", u"File", u"");
    OpenDialog();
    row.act();
    EXPECT_EQ(Ready(row.statusId), row.ready);
    const QString tip = ToolTipOf(dlg().GetDlgItem(row.statusId));
    for (const QString& part : row.parts) EXPECT_TRUE(tip.contains(part)) << tip.toStdString() << "\nlacks: " << part.toStdString();
    presenter_.Clear();
  }
}

// Two OSM Tracker Storage tiles, one more image of the first tile's key, a
// file that is no tile (read last: folders are read in name order, so the
// probe meets a tile first) and a tile name whose file is gone (a dangling
// link).
void MakeMixedOsmTree(const QString& root) {
  EXPECT_TRUE(WriteFile(root + "/16/353/220.png", "png-353-220"));
  EXPECT_TRUE(WriteFile(root + "/16/353/220.jpg", "jpg-353-220"));
  EXPECT_TRUE(WriteFile(root + "/16/353/221.png", "png-353-221"));
  EXPECT_TRUE(WriteFile(root + "/16/353/notes.txt", "no tile"));
  EXPECT_EQ(::symlink("gone.png", QFile::encodeName(root + "/16/353/222.png").constData()), 0);
}

// EXPL-2: after each job the counter and the bar tell how it ended and the
// job's counts, as the command line's summary does: a completed job, one
// that stored nothing new, one stopped by a database error (naming SQLite's
// message) and one stopped by "Zastavit", whose stated count is what the map
// file holds.
TEST_F(DialogTest, ResultTooltipAfterEachJob) {
  const QString map = MakeMapFile("mapa.cvmap");
  MakeMixedOsmTree(Path("mixed"));
  const QString big = Path("big");
  // Large enough that the job is still running when the second click comes,
  // even on a loaded machine (400 files were sometimes converted in between).
  constexpr int kBigFiles = 4000;
  for (int x = 300; x < 310; ++x) {
    for (int y = 100; y < 500; ++y) ASSERT_TRUE(WriteFile(QString("%1/16/%2/%3.png").arg(big).arg(x).arg(y), "t"));
  }
  const auto openOn = [&](const QString& source) {
    settings_.WriteString(u"Options", u"Folder", source.toStdU16String());
    settings_.WriteString(u"Options", u"File", map.toStdU16String());
    OpenDialog();
    ASSERT_TRUE(ConvertButton()->isEnabled());
  };
  const auto convert = [&] {
    QTest::mouseClick(ConvertButton(), Qt::LeftButton);
    EXPECT_EQ(ToolTipOf(Progress()), QString::fromUtf8("Převod běží."));
    ASSERT_TRUE(WaitForIdle());
  };
  struct Row {
    const char* id;
    std::function<void()> run;      // opens the window, runs the job, waits for its end
    std::vector<QString> expected;  // the tooltip's lines (the first alone for "failed"); empty: see check
    bool errorShown;                // the job showed a message box
    std::function<void(const QString&, long long)> check;  // gets the tooltip and the tiles the job added
  };
  const std::vector<Row> rows = {
      {"completed", [&] { openOn(Path("mixed")); convert(); },
       {"Převod dokončen.", "Prošlo souborů: 5", "Uloženo kachlí: 2", "Již v mapě (ponechány): 1",
        "Nejsou kachle: 1", "Nelze přečíst: 1"},
       false, nullptr},
      {"nothing-new",
       [&] {
         openOn(MakeOsmTree("osm"));
         convert();
         convert();
       },
       {"Převod dokončen.", "Prošlo souborů: 3", "Uloženo kachlí: 0", "Již v mapě (ponechány): 3",
        "Nejsou kachle: 0", "Nelze přečíst: 0", "Nic nového: všechny kachle už v mapě byly."},
       false, nullptr},
      {"failed",
       [&] {
         openOn(MakeGeoKukTree("geokuk"));
         // A transaction open on the window's connection makes the job's own fail.
         ASSERT_EQ(sqlite3_exec(dlg().MapDatabase().handle, "BEGIN", nullptr, nullptr, nullptr), SQLITE_OK);
         convert();
       },
       {}, true,
       [&](const QString& tip, long long stored) {
         EXPECT_TRUE(tip.startsWith(QString::fromUtf8(
             "Převod zastavila chyba: SQLite error: cannot start a transaction within a transaction\n")))
             << tip.toStdString();
         EXPECT_TRUE(tip.contains(QString::fromUtf8("Uloženo kachlí: %1").arg(stored))) << tip.toStdString();
       }},
      {"stopped",
       [&] {
         openOn(big);
         ConvertButton()->click();  // start, and stop before any event is handled
         ConvertButton()->click();
         ASSERT_TRUE(WaitForIdle());
       },
       {}, false,
       [&](const QString& tip, long long stored) {
         ASSERT_TRUE(tip.startsWith(QString::fromUtf8("Převod zastaven tlačítkem „Zastavit“"))) << tip.toStdString();
         if (tip.contains(QString::fromUtf8("při počítání souborů"))) {
           EXPECT_EQ(stored, 0);
         } else {
           EXPECT_LT(stored, kBigFiles);
           EXPECT_TRUE(tip.contains(QString::fromUtf8("Uloženo kachlí: %1").arg(stored))) << tip.toStdString();
         }
       }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.id);
    presenter_.Clear();
    const long long before = static_cast<long long>(StoredTiles(map).size());
    row.run();
    if (HasFatalFailure()) return;
    dlg().MapDatabase().close();  // a transaction the window held ends here, so the file shows the job's rows
    const long long stored = static_cast<long long>(StoredTiles(map).size()) - before;
    const QString tip = ToolTipOf(Progress());
    EXPECT_EQ(ToolTipOf(Item<QLabel>(res::IDC_TILE_COUNT)), tip);
    if (!row.expected.empty()) {
      QStringList lines;
      for (const QString& line : row.expected) lines << line;
      EXPECT_EQ(tip.toStdString(), lines.join('\n').toStdString());
    }
    if (row.check) row.check(tip, stored);
    EXPECT_EQ(presenter_.Messages().empty(), !row.errorShown);
    dialog_.reset();
  }
}

// EXPL-4: the choosers open at the box's text: the folder it names, else the
// folder it lies in, else the home folder, never the working folder.
TEST_F(DialogTest, ChoosersStartAtTheBoxText) {
  ASSERT_TRUE(WriteFile(Path("maps/a.cvmap"), "x"));
  const std::vector<std::pair<QString, QString>> rows = {
      {Path("maps"), Path("maps")},
      {Path("maps/a.cvmap"), Path("maps")},
      {Path("maps/new.cvmap"), Path("maps")},
      {Path("none/new.cvmap"), QDir::homePath()},
      {"", QDir::homePath()},
  };
  for (const auto& [text, start] : rows) {
    EXPECT_EQ(app::StartFolderFor(text), start) << text.toStdString();
  }

  OpenDialog();
  SourceBox()->setText(Path("maps"));
  TargetBox()->setText(Path("maps/new.cvmap"));
  QTest::mouseClick(Button(res::IDC_BROWSE_SOURCE), Qt::LeftButton);
  QTest::mouseClick(Button(res::IDC_BROWSE_TARGET), Qt::LeftButton);
  EXPECT_EQ(choosers_.openedWith, (std::vector<QString>{Path("maps"), Path("maps/new.cvmap")}));
}

}  // namespace
}  // namespace app_test
