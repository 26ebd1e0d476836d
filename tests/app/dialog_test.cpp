// The main dialog driven through its controls: start-up, the two boxes, the
// choosers, the create command, layout detection, the GeoKuk command and the
// keys that may (not) end the window.
#include <QTest>

#include "dialog_fixture.h"

namespace app_test {
namespace {

using platform::MessageStyle;

// DLG-1: a first start with no settings: both indicators red, the convert
// button disabled, nothing shown, and the first refresh writes both settings
// as empty texts. The controls start as the template and state say.
TEST_F(DialogTest, FirstStartWithoutSettings) {
  OpenDialog();
  EXPECT_EQ(SourceBox()->text(), "");
  EXPECT_EQ(TargetBox()->text(), "");
  EXPECT_FALSE(Ready(res::IDC_SOURCE_STATUS));
  EXPECT_FALSE(Ready(res::IDC_TARGET_STATUS));
  EXPECT_FALSE(ConvertButton()->isEnabled());
  EXPECT_EQ(ConvertButton()->text(), QString::fromUtf8("Převést"));
  EXPECT_TRUE(LayoutShown(res::IDC_LAYOUT_GEOKUK));
  EXPECT_TRUE(AutoDetect()->isChecked());
  EXPECT_EQ(Counter(), "0");
  EXPECT_TRUE(presenter_.Messages().empty());
  EXPECT_EQ(Setting(u"Folder"), u"");
  EXPECT_EQ(Setting(u"File"), u"");
  EXPECT_FALSE(dlg().windowIcon().isNull());
  EXPECT_EQ(dlg().windowTitle(), "Corvane Map Creator");
}

// DLG-2: a restart with saved valid paths shows both, both indicators are
// green, the convert button is enabled, the detected layout is checked, and
// the saved paths survive the start (filling one box must not write the
// other, still empty box over its setting).
TEST_F(DialogTest, RestartWithSavedValidPaths) {
  const QString source = MakeOsmTree("osm");
  const QString target = MakeMapFile("mapa.cvmap");
  settings_.WriteString(u"Options", u"Folder", source.toStdU16String());
  settings_.WriteString(u"Options", u"File", target.toStdU16String());

  OpenDialog();
  EXPECT_EQ(SourceBox()->text(), source);
  EXPECT_EQ(TargetBox()->text(), target);
  EXPECT_TRUE(Ready(res::IDC_SOURCE_STATUS));
  EXPECT_TRUE(Ready(res::IDC_TARGET_STATUS));
  EXPECT_TRUE(ConvertButton()->isEnabled());
  EXPECT_TRUE(LayoutShown(res::IDC_LAYOUT_OSM));
  EXPECT_EQ(Setting(u"Folder"), source.toStdU16String());
  EXPECT_EQ(Setting(u"File"), target.toStdU16String());
  EXPECT_TRUE(presenter_.Messages().empty());

  // And once more after closing: the close command saves the same paths.
  dlg().reject();
  EXPECT_FALSE(dlg().isVisible());
  OpenDialog();
  EXPECT_TRUE(Ready(res::IDC_SOURCE_STATUS));
  EXPECT_TRUE(Ready(res::IDC_TARGET_STATUS));
  EXPECT_EQ(Setting(u"File"), target.toStdU16String());
}

// DLG-3: every keystroke in the target box re-checks the file: a text that
// names an existing file which is no map file shows SQLite's message once,
// plainly, for that keystroke; a missing file shows nothing; each keystroke
// saves the settings.
TEST_F(DialogTest, TypingTargetChecksEveryKeystroke) {
  ASSERT_TRUE(WriteFile(Path("n"), "this is plain text and no database at all, not even close"));
  OpenDialog();
  TargetBox()->setText(Path(""));  // the folder itself: also no map file
  ASSERT_EQ(presenter_.Messages().size(), 1u);
  presenter_.Clear();

  QTest::keyClicks(TargetBox(), "n");
  ASSERT_EQ(presenter_.Messages().size(), 1u);
  EXPECT_EQ(presenter_.Messages()[0].text, u"file is not a database");
  EXPECT_EQ(presenter_.Messages()[0].style, MessageStyle::Plain);
  EXPECT_FALSE(Ready(res::IDC_TARGET_STATUS));
  EXPECT_EQ(Setting(u"File"), Path("n").toStdU16String());

  QTest::keyClicks(TargetBox(), "x");
  EXPECT_EQ(presenter_.Messages().size(), 1u) << "a missing file shows nothing";
  EXPECT_FALSE(QFile::exists(Path("nx"))) << "checking must not create the file";
  EXPECT_EQ(Setting(u"File"), Path("nx").toStdU16String());

  QTest::keyClick(TargetBox(), Qt::Key_Backspace);
  EXPECT_EQ(presenter_.Messages().size(), 2u);
  EXPECT_FALSE(ConvertButton()->isEnabled());
}

// DLG-4: a new target file chosen in the chooser stays red; "Založit"
// creates it as a map file and turns the indicator green; with a valid source
// the convert button follows. A cancelled chooser changes nothing.
TEST_F(DialogTest, ChooseNewTargetThenCreate) {
  const QString source = MakeGeoKukTree("geokuk");
  const QString target = Path("nova.cvmap");
  choosers_.folders = {source, std::nullopt};
  choosers_.files = {target, std::nullopt};
  OpenDialog();

  QTest::mouseClick(Button(res::IDC_BROWSE_SOURCE), Qt::LeftButton);
  EXPECT_EQ(SourceBox()->text(), source);
  EXPECT_TRUE(Ready(res::IDC_SOURCE_STATUS));
  QTest::mouseClick(Button(res::IDC_BROWSE_TARGET), Qt::LeftButton);
  EXPECT_EQ(TargetBox()->text(), target);
  EXPECT_FALSE(Ready(res::IDC_TARGET_STATUS));
  EXPECT_FALSE(QFile::exists(target));
  EXPECT_FALSE(ConvertButton()->isEnabled());

  QTest::mouseClick(Button(res::IDC_CREATE_MAP), Qt::LeftButton);
  EXPECT_TRUE(QFile::exists(target));
  EXPECT_TRUE(Ready(res::IDC_TARGET_STATUS));
  EXPECT_TRUE(ConvertButton()->isEnabled());
  EXPECT_TRUE(presenter_.Messages().empty());
  EXPECT_TRUE(StoredTiles(target).empty());

  // Both choosers cancelled: the paths stay.
  QTest::mouseClick(Button(res::IDC_BROWSE_SOURCE), Qt::LeftButton);
  QTest::mouseClick(Button(res::IDC_BROWSE_TARGET), Qt::LeftButton);
  EXPECT_EQ(SourceBox()->text(), source);
  EXPECT_EQ(TargetBox()->text(), target);
  EXPECT_TRUE(Ready(res::IDC_TARGET_STATUS));
  EXPECT_TRUE(presenter_.Messages().empty());
}

// DLG-5: "Založit" on a file that is no database shows the three statements'
// errors, leaves the file's bytes alone, and the refresh that follows
// rejects it once more.
TEST_F(DialogTest, CreateOnFileThatIsNoDatabase) {
  const QByteArray content(4096, 'x');
  ASSERT_TRUE(WriteFile(Path("text.cvmap"), content));
  settings_.WriteString(u"Options", u"File", Path("text.cvmap").toStdU16String());
  OpenDialog();
  ASSERT_EQ(presenter_.Messages().size(), 1u);
  presenter_.Clear();

  QTest::mouseClick(Button(res::IDC_CREATE_MAP), Qt::LeftButton);
  // The encoding pragma reads nothing of the file and passes; both CREATE
  // statements fail, then the recognition shows SQLite's text plainly.
  const auto messages = presenter_.Messages();
  ASSERT_EQ(messages.size(), 3u);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(messages[i].text, u"SQLite error: file is not a database");
    EXPECT_EQ(messages[i].style, MessageStyle::Exclamation);
  }
  EXPECT_EQ(messages[2].text, u"file is not a database");
  EXPECT_EQ(messages[2].style, MessageStyle::Plain);
  EXPECT_FALSE(Ready(res::IDC_TARGET_STATUS));
  QFile file(Path("text.cvmap"));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), content);
}

// DLG-6: a detected layout shows in the radio buttons at once, and typing in
// the target box afterwards does not read a stale radio button back over it.
TEST_F(DialogTest, DetectedLayoutShowsAtOnce) {
  const QString osm = MakeOsmTree("osm");
  const QString geokuk = MakeGeoKukTree("geokuk");
  MakeMapFile("mapa.cvmap");
  OpenDialog();

  SourceBox()->setText(Path(""));
  QTest::keyClicks(SourceBox(), "osm");
  EXPECT_TRUE(Ready(res::IDC_SOURCE_STATUS));
  EXPECT_TRUE(LayoutShown(res::IDC_LAYOUT_OSM));
  TargetBox()->setText(Path(""));
  QTest::keyClicks(TargetBox(), "mapa.cvmap");
  EXPECT_TRUE(LayoutShown(res::IDC_LAYOUT_OSM)) << "the target's keystrokes keep the detected layout";

  SourceBox()->setText(geokuk);
  EXPECT_TRUE(LayoutShown(res::IDC_LAYOUT_GEOKUK));

  // Detection off: the choice stays, and either layout is accepted.
  QTest::mouseClick(AutoDetect(), Qt::LeftButton, {}, QPoint(4, AutoDetect()->height() / 2));
  ASSERT_FALSE(AutoDetect()->isChecked());
  SourceBox()->setText(osm);
  EXPECT_TRUE(Ready(res::IDC_SOURCE_STATUS));
  EXPECT_TRUE(LayoutShown(res::IDC_LAYOUT_GEOKUK));
  EXPECT_TRUE(ConvertButton()->isEnabled());
}

// DLG-7: a source folder whose first file is no tile, or a missing folder,
// is not ready; no message is shown.
TEST_F(DialogTest, RejectedSourceFolder) {
  ASSERT_TRUE(WriteFile(Path("jine/a/b/poznamky.txt"), "text"));
  MakeMapFile("mapa.cvmap");
  settings_.WriteString(u"Options", u"File", Path("mapa.cvmap").toStdU16String());
  OpenDialog();
  SourceBox()->setText(Path("jine"));
  EXPECT_FALSE(Ready(res::IDC_SOURCE_STATUS));
  SourceBox()->setText(Path("neni"));
  EXPECT_FALSE(Ready(res::IDC_SOURCE_STATUS));
  EXPECT_TRUE(Ready(res::IDC_TARGET_STATUS));
  EXPECT_FALSE(ConvertButton()->isEnabled());
  EXPECT_TRUE(presenter_.Messages().empty());
}

// Points HOME at a folder for the life of the object.
class HomeOverride {
 public:
  explicit HomeOverride(const QString& home) : saved_(qgetenv("HOME")) { qputenv("HOME", home.toLocal8Bit()); }
  ~HomeOverride() { qputenv("HOME", saved_); }

 private:
  QByteArray saved_;  // HOME before
};

// DLG-8: the "GeoKuk" command takes GeoKuk's cache folder, detects its
// layout and saves it; what the user clicked by hand before is read first,
// so neither the check box nor a hand-picked layout is put back to a stale
// value. Without GeoKuk's preferences it changes nothing.
TEST_F(DialogTest, GeoKukCommand) {
  const QString cache = MakeGeoKukTree("kachle ř");
  const QString osm = MakeOsmTree("osm");
  HomeOverride home(Path("home"));
  OpenDialog();

  QTest::mouseClick(Button(res::IDC_GEOKUK_FOLDER), Qt::LeftButton);
  EXPECT_EQ(SourceBox()->text(), "") << "no preferences yet";
  EXPECT_TRUE(presenter_.Messages().empty());

  ASSERT_TRUE(WriteFile(Path("home/.java/.userPrefs/geokuk/current/umisteniSouboru/prefs.xml"),
                        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<map MAP_XML_VERSION=\"1.0\">"
                        "<entry key=\"kachleCacheDir\" value=\"" + cache.toUtf8() + "\"/></map>\n"));
  SourceBox()->setText(osm);
  ASSERT_TRUE(LayoutShown(res::IDC_LAYOUT_OSM));
  QTest::mouseClick(Button(res::IDC_GEOKUK_FOLDER), Qt::LeftButton);
  EXPECT_EQ(SourceBox()->text(), cache);
  EXPECT_TRUE(Ready(res::IDC_SOURCE_STATUS));
  EXPECT_TRUE(LayoutShown(res::IDC_LAYOUT_GEOKUK));
  EXPECT_EQ(Setting(u"Folder"), cache.toStdU16String());

  // By hand: OSM picked and detection off, then the command again.
  Radio(res::IDC_LAYOUT_OSM)->click();
  AutoDetect()->click();
  ASSERT_FALSE(AutoDetect()->isChecked());
  QTest::mouseClick(Button(res::IDC_GEOKUK_FOLDER), Qt::LeftButton);
  EXPECT_EQ(SourceBox()->text(), cache);
  EXPECT_FALSE(AutoDetect()->isChecked());
  EXPECT_TRUE(LayoutShown(res::IDC_LAYOUT_OSM));
}

// DLG-9: Enter never ends the window, in a box or on a focused button, and
// changes no setting; Escape runs the close command, which saves the paths.
TEST_F(DialogTest, EnterKeepsWindowEscapeCloses) {
  OpenDialog();
  TargetBox()->setText(Path("mapa.cvmap"));
  const int writes = settings_.WriteCount();
  QTest::keyClick(TargetBox(), Qt::Key_Return);
  QTest::keyClick(SourceBox(), Qt::Key_Enter);
  Button(res::IDCANCEL)->setFocus();
  QTest::keyClick(Button(res::IDCANCEL), Qt::Key_Return);
  QTest::keyClick(&dlg(), Qt::Key_Return);
  EXPECT_TRUE(dlg().isVisible());
  EXPECT_EQ(settings_.WriteCount(), writes);

  settings_.WriteString(u"Options", u"File", u"jiny");
  QTest::keyClick(TargetBox(), Qt::Key_Escape);
  EXPECT_FALSE(dlg().isVisible());
  EXPECT_EQ(dlg().result(), QDialog::Rejected);
  EXPECT_EQ(Setting(u"File"), Path("mapa.cvmap").toStdU16String());
}

// DLG-10: the window's close box runs the close command too.
TEST_F(DialogTest, CloseBoxRunsCloseCommand) {
  OpenDialog();
  SourceBox()->setText(Path("zdroj"));
  settings_.WriteString(u"Options", u"Folder", u"jiny");
  EXPECT_TRUE(dlg().close());
  EXPECT_FALSE(dlg().isVisible());
  EXPECT_EQ(Setting(u"Folder"), Path("zdroj").toStdU16String());
}

}  // namespace
}  // namespace app_test
