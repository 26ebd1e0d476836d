// The main dialog running conversion jobs: the whole path from typed paths to
// stored tiles, the progress display, stopping, closing during a job, and the
// worker's notifications.
#include <sqlite3.h>

#include <QFile>
#include <QTest>
#include <chrono>
#include <thread>

#include "convert/map_writer_turn.h"
#include "dialog_fixture.h"
#include "platform/process_lock.h"
#include "res/explanation_strings.h"
#include "res/strings.h"
#include "tests/support/map_file_faults.h"
#include "tests/support/mbtiles_fixture.h"

namespace app_test {
namespace {

using platform::MessageStyle;

// JOB-1: type an OSM Tracker Storage source and a new target, create, convert:
// the job runs as OSM Tracker Storage, stores every tile, and the window ends
// idle with the counter at "0 z 3" and a full bar.
TEST_F(DialogTest, TypedOsmSourceConvertsAsOsm) {
  MakeOsmTree("osm");
  OpenDialog();
  SourceBox()->setText(Path(""));
  QTest::keyClicks(SourceBox(), "osm");
  TargetBox()->setText(Path(""));
  QTest::keyClicks(TargetBox(), "mapa.cvmap");
  presenter_.Clear();  // the folder itself was briefly named as target
  QTest::mouseClick(Button(res::IDC_CREATE_MAP), Qt::LeftButton);
  ASSERT_TRUE(ConvertButton()->isEnabled());

  QTest::mouseClick(ConvertButton(), Qt::LeftButton);
  EXPECT_EQ(ConvertButton()->text(), QString::fromUtf8("Zastavit"));
  EXPECT_TRUE(EnabledInputs().empty());
  ASSERT_TRUE(WaitForIdle());

  EXPECT_EQ(StoredTiles(Path("mapa.cvmap")),
            (std::vector<StoredTile>{{353, 220, 1, "0"}, {353, 221, 1, "0"}, {354, 220, 1, "0"}}));
  EXPECT_EQ(Counter(), "0 z 3");
  EXPECT_EQ(Progress()->minimum(), 0);
  EXPECT_EQ(Progress()->maximum(), 3);
  EXPECT_EQ(Progress()->value(), 3);
  EXPECT_EQ(EnabledInputs().size(), 9u);
  EXPECT_TRUE(presenter_.Messages().empty());
}

// JOB-1b: a click on "Zastavit" after the worker has ended but before the
// window has handled its end notification is a stop: no second job starts,
// and the window then goes idle once.
TEST_F(DialogTest, StopClickedAsTheJobEndsStartsNoSecondJob) {
  const QString osm = MakeOsmTree("osm");
  const QString target = MakeMapFile("mapa.cvmap");
  settings_.WriteString(u"Options", u"Folder", osm.toStdU16String());
  settings_.WriteString(u"Options", u"File", target.toStdU16String());
  OpenDialog();
  QTest::mouseClick(ConvertButton(), Qt::LeftButton);
  // The worker ends while the window thread handles no event.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (dlg().IsJobRunning() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_FALSE(dlg().IsJobRunning());
  ASSERT_EQ(ConvertButton()->text(), QString::fromUtf8("Zastavit"));
  QTest::mouseClick(ConvertButton(), Qt::LeftButton);
  EXPECT_FALSE(dlg().IsJobRunning()) << "the click started a second job";
  ASSERT_TRUE(WaitForIdle());
  EXPECT_EQ(Counter(), "0 z 3");
  EXPECT_EQ(StoredTiles(target).size(), 3u);
}

// JOB-2: a layout clicked by hand, with detection off, is the one the job
// uses, although no other command has read the radio buttons yet.
TEST_F(DialogTest, HandPickedLayoutIsUsed) {
  const QString osm = MakeOsmTree("osm");
  const QString geokuk = MakeGeoKukTree("geokuk");
  const QString target = MakeMapFile("mapa.cvmap");
  settings_.WriteString(u"Options", u"Folder", osm.toStdU16String());
  settings_.WriteString(u"Options", u"File", target.toStdU16String());
  OpenDialog();
  ASSERT_TRUE(LayoutShown(res::IDC_LAYOUT_OSM));
  AutoDetect()->click();
  SourceBox()->setText(geokuk);
  ASSERT_TRUE(LayoutShown(res::IDC_LAYOUT_OSM)) << "detection is off";

  Radio(res::IDC_LAYOUT_GEOKUK)->click();
  QTest::mouseClick(ConvertButton(), Qt::LeftButton);
  ASSERT_TRUE(WaitForIdle());
  EXPECT_EQ(StoredTiles(target),
            (std::vector<StoredTile>{{0x1b2, 0xa3, 4, "base_n"}, {0x1b3, 0xa3, 4, "base_n"}}));
  EXPECT_EQ(Counter(), "0 z 2");
}

// Prepares a job whose worker stops at its first database statement: a
// transaction is already open on the window's connection, so the job's own
// "BEGIN TRANSACTION;" fails and the worker waits for its message box, which
// only the window thread can show.
class HeldJobTest : public DialogTest {
 protected:
  void StartHeldJob() {
    target_ = MakeMapFile("mapa.cvmap");
    settings_.WriteString(u"Options", u"Folder", MakeGeoKukTree("geokuk").toStdU16String());
    settings_.WriteString(u"Options", u"File", target_.toStdU16String());
    OpenDialog();
    ASSERT_TRUE(ConvertButton()->isEnabled());
    ASSERT_EQ(sqlite3_exec(dlg().MapDatabase().handle, "BEGIN", nullptr, nullptr, nullptr), SQLITE_OK);
    QTest::mouseClick(ConvertButton(), Qt::LeftButton);
    ASSERT_TRUE(WaitWithoutEvents([this] { return dlg().MessageBoxes().HasPendingRequest(); }));
    ASSERT_TRUE(dlg().IsJobRunning());
  }
  void ExpectWorkerErrorShown() {
    const auto messages = presenter_.Messages();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages[0].text, u"SQLite error: cannot start a transaction within a transaction");
    for (const auto& m : messages) EXPECT_EQ(m.style, MessageStyle::Exclamation);
  }
  QString target_;
};

// JOB-3: while a job runs only "Zastavit" and "Zavřít" respond; "Zastavit"
// disables itself, and the end notification returns the window to idle.
TEST_F(HeldJobTest, StopDuringJob) {
  StartHeldJob();
  EXPECT_TRUE(EnabledInputs().empty());
  EXPECT_TRUE(ConvertButton()->isEnabled());
  EXPECT_TRUE(Button(res::IDCANCEL)->isEnabled());

  QTest::mouseClick(ConvertButton(), Qt::LeftButton);
  EXPECT_FALSE(ConvertButton()->isEnabled());
  EXPECT_EQ(ConvertButton()->text(), QString::fromUtf8("Zastavit"));
  EXPECT_TRUE(EnabledInputs().empty());

  ASSERT_TRUE(WaitForIdle());
  ExpectWorkerErrorShown();
  EXPECT_EQ(EnabledInputs().size(), 9u);
  EXPECT_EQ(ConvertButton()->text(), QString::fromUtf8("Převést"));
  EXPECT_TRUE(dlg().isVisible());
}

// JOB-4: "Zavřít" during a job whose worker waits for a message box: the
// close command shows the box, waits for the worker, and only then ends the
// window, closes the map file and saves the paths. (A deadlock here hangs
// the test until ctest's time limit.)
TEST_F(HeldJobTest, CloseDuringJobServesWorkerBox) {
  StartHeldJob();
  settings_.WriteString(u"Options", u"File", u"jiny");
  QTest::mouseClick(Button(res::IDCANCEL), Qt::LeftButton);
  EXPECT_FALSE(dlg().IsJobRunning());
  EXPECT_FALSE(dlg().isVisible());
  EXPECT_EQ(dlg().MapDatabase().handle, nullptr);
  EXPECT_EQ(Setting(u"File"), target_.toStdU16String());
  ExpectWorkerErrorShown();
  EXPECT_FALSE(dlg().MessageBoxes().HasPendingRequest());
}

// JOB-5: the progress display follows the notifications; codes other than
// 1, 2 and 3 change nothing.
TEST_F(DialogTest, ProgressFollowsNotifications) {
  OpenDialog();
  dlg().OnWorkerNotify(1, 120);
  EXPECT_EQ(Counter(), "120");
  dlg().OnWorkerNotify(1, 400);
  EXPECT_EQ(Counter(), "400");
  EXPECT_EQ(Progress()->value(), 0);

  dlg().OnWorkerNotify(2, 10);
  EXPECT_EQ(Progress()->maximum(), 400);
  EXPECT_EQ(Progress()->value(), 10);
  EXPECT_EQ(Counter(), "390 z 400");

  const bool convertEnabled = ConvertButton()->isEnabled();
  for (int code : {0, 4, -1, 1025}) dlg().OnWorkerNotify(code, 77);
  EXPECT_EQ(Counter(), "390 z 400");
  EXPECT_EQ(Progress()->value(), 10);
  EXPECT_EQ(ConvertButton()->isEnabled(), convertEnabled);

  dlg().OnWorkerNotify(2, 400);
  EXPECT_EQ(Counter(), "0 z 400");
  EXPECT_EQ(Progress()->value(), Progress()->maximum());

  // The end notification enables the convert button whatever the indicators say.
  ASSERT_FALSE(ConvertButton()->isEnabled());
  dlg().OnWorkerNotify(3, 0);
  EXPECT_TRUE(ConvertButton()->isEnabled());
  EXPECT_EQ(ConvertButton()->text(), QString::fromUtf8("Převést"));
  EXPECT_EQ(Counter(), "0 z 400") << "the counter keeps its last value";
}

// JOB-6: totals beyond 16 bits keep their whole range; an empty source
// shows 0 z 0 with an empty, not busy, bar.
TEST_F(DialogTest, ProgressRangeEdges) {
  OpenDialog();
  dlg().OnWorkerNotify(1, 250000);
  dlg().OnWorkerNotify(2, 125000);
  EXPECT_EQ(Progress()->maximum(), 250000);
  EXPECT_EQ(Progress()->value(), 125000);
  EXPECT_EQ(Counter(), "125000 z 250000");

  CCorvaneMapCreatorDlg::Services services{&settings_, &presenter_, &choosers_};
  CCorvaneMapCreatorDlg fresh(services);
  fresh.OnInitDialog();
  fresh.OnWorkerNotify(1, 0);
  fresh.OnWorkerNotify(2, 0);
  auto* bar = qobject_cast<QProgressBar*>(fresh.GetDlgItem(res::IDC_PROGRESS));
  EXPECT_EQ(qobject_cast<QLabel*>(fresh.GetDlgItem(res::IDC_TILE_COUNT))->text(), "0 z 0");
  EXPECT_EQ(bar->value(), 0);
  EXPECT_LT(bar->minimum(), bar->maximum()) << "an empty range is a busy indicator";
}

// JOB-20: while another conversion (cvmap, another window) writes the chosen
// map file, "Převést" says so and starts nothing; once it has ended, the
// job runs, and it leaves the map free for the next one.
TEST_F(DialogTest, MapThatAnotherConversionWritesIsRefusedAtOnce) {
  const QString osm = MakeOsmTree("osm");
  const QString target = MakeMapFile("mapa.cvmap");
  settings_.WriteString(u"Options", u"Folder", osm.toStdU16String());
  settings_.WriteString(u"Options", u"File", target.toStdU16String());
  OpenDialog();
  const std::string turn = convert::MapWriterTurnName(QFile::encodeName(target).toStdString());
  platform::ProcessLock other;
  ASSERT_EQ(other.TryAcquire(turn), platform::ProcessLock::Result::Acquired);
  presenter_.Clear();
  QTest::mouseClick(ConvertButton(), Qt::LeftButton);
  EXPECT_FALSE(dlg().IsJobRunning());
  EXPECT_EQ(ConvertButton()->text(), QString::fromUtf8("Převést"));
  ASSERT_EQ(presenter_.Messages().size(), 1u);
  EXPECT_EQ(presenter_.Messages()[0].text, res::kMapBeingConverted);
  EXPECT_TRUE(StoredTiles(target).empty());

  other.Release();
  presenter_.Clear();
  QTest::mouseClick(ConvertButton(), Qt::LeftButton);
  ASSERT_TRUE(WaitForIdle());
  EXPECT_EQ(StoredTiles(target).size(), 3u);
  EXPECT_TRUE(presenter_.Messages().empty());
  EXPECT_EQ(other.TryAcquire(turn), platform::ProcessLock::Result::Acquired) << "the window kept the turn";
}

// JOB-21: a map file that reaches the largest file it may be (a file size
// limit here, as FAT's 4 GiB on a card): after SQLite's message the window
// says that the file system holds no bigger file and what to do, and the
// map has no journal left beside it.
TEST_F(DialogTest, MapFileAtItsSizeLimit) {
  for (int x = 10; x < 20; ++x) {
    for (int y = 10; y < 60; ++y) {
      ASSERT_TRUE(WriteFile(Path("osm/16/%1/%2.png").arg(x).arg(y), QByteArray(3000, 'x')));
    }
  }
  const QString target = MakeMapFile("mapa.cvmap");
  settings_.WriteString(u"Options", u"Folder", Path("osm").toStdU16String());
  settings_.WriteString(u"Options", u"File", target.toStdU16String());
  OpenDialog();
  presenter_.Clear();
  bool idle = false;
  {
    test_support::FileSizeLimitScope limit(512 * 1024);
    ASSERT_TRUE(limit.Active());
    QTest::mouseClick(ConvertButton(), Qt::LeftButton);
    idle = WaitForIdle();
  }
  ASSERT_TRUE(idle);

  const auto messages = presenter_.Messages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[1].text, res::kMapFileTooLarge);
  EXPECT_EQ(messages[1].style, MessageStyle::Exclamation);
  EXPECT_FALSE(QFile::exists(target + "-journal"));
  EXPECT_TRUE(Progress()->toolTip().contains(QString::fromUtf16(res::kJobFileSizeLimitHint).left(40)))
      << Progress()->toolTip().toStdString();
}

// JOB-7: an MBTiles file as the source: the probe knows it by its content,
// its indicator is green and says so, the radio buttons keep the folder
// layout chosen, and the job stores its tiles with the rows flipped; the
// counter counts rows.
TEST_F(DialogTest, MbtilesFileConverts) {
  test_support::WriteMbtiles(Path("atlas.dat").toStdString(), {{1, 0, 0, "sw"}, {1, 1, 1, "ne"}, {1, 5, 5, "off"}});
  const QString target = MakeMapFile("mapa.cvmap");
  settings_.WriteString(u"Options", u"Folder", Path("atlas.dat").toStdU16String());
  settings_.WriteString(u"Options", u"File", target.toStdU16String());
  OpenDialog();
  ASSERT_TRUE(LayoutShown(res::IDC_LAYOUT_GEOKUK));
  ASSERT_TRUE(ConvertButton()->isEnabled());
  EXPECT_TRUE(dlg().GetDlgItem(res::IDC_SOURCE_STATUS)->accessibleDescription().contains("soubor MBTiles"));
  QTest::mouseClick(ConvertButton(), Qt::LeftButton);
  ASSERT_TRUE(WaitForIdle());
  EXPECT_EQ(StoredTiles(target), (std::vector<StoredTile>{{0, 1, 16, "0"}, {1, 0, 16, "0"}}));
  EXPECT_EQ(Counter(), "0 z 3");
  EXPECT_TRUE(LayoutShown(res::IDC_LAYOUT_GEOKUK));
  EXPECT_TRUE(presenter_.Messages().empty());
}

}  // namespace
}  // namespace app_test
