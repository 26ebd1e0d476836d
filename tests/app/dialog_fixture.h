// Fixture of the tests that drive the real main dialog on the offscreen
// platform: an in-memory settings store, a recording message-box presenter,
// choosers with prepared answers, fixture trees of both layouts and map files
// under a temporary folder.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QButtonGroup>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/corvane_map_creator_dlg.h"
#include "app/path_choosers.h"
#include "platform/message_box.h"
#include "platform/settings_store.h"
#include "res/icon_paths.h"
#include "res/resource.h"
#include "test_support.h"

namespace app_test {

// Choosers that give prepared answers, oldest first; nothing (cancel) when
// none is left. They keep the box text each was opened with.
class ScriptedChoosers : public app::PathChoosers {
 public:
  std::deque<std::optional<QString>> folders;  // answers of ChooseFolder
  std::deque<std::optional<QString>> files;    // answers of ChooseMapFile
  std::vector<QString> openedWith;             // `current` of every call, in order
  std::optional<QString> ChooseFolder(const QString& current) override {
    openedWith.push_back(current);
    return Next(folders);
  }
  std::optional<QString> ChooseMapFile(const QString& current) override {
    openedWith.push_back(current);
    return Next(files);
  }

 private:
  static std::optional<QString> Next(std::deque<std::optional<QString>>& answers) {
    if (answers.empty()) return std::nullopt;
    std::optional<QString> answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

// One stored tile row as read back from a map file.
struct StoredTile {
  int x;
  int y;
  int z;
  std::string s;  // the source as text ("0" for the integer 0)
  bool operator==(const StoredTile&) const = default;
};

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
  void TearDown() override { dialog_.reset(); }

  QString Path(const QString& relative) const { return dir_.path() + "/" + relative; }

  // Constructs the dialog on the current settings, starts it and shows it.
  void OpenDialog() {
    dialog_ = std::make_unique<CCorvaneMapCreatorDlg>(
        CCorvaneMapCreatorDlg::Services{&settings_, &presenter_, &choosers_});
    dialog_->OnInitDialog();
    dialog_->show();
  }
  CCorvaneMapCreatorDlg& dlg() { return *dialog_; }

  template <typename T>
  T* Item(int id) {
    T* item = qobject_cast<T*>(dialog_->GetDlgItem(id));
    EXPECT_NE(item, nullptr) << id;
    return item;
  }
  QLineEdit* SourceBox() { return Item<QLineEdit>(res::IDC_SOURCE_PATH); }
  QLineEdit* TargetBox() { return Item<QLineEdit>(res::IDC_TARGET_PATH); }
  QPushButton* Button(int id) { return Item<QPushButton>(id); }
  QPushButton* ConvertButton() { return Button(res::IDC_CONVERT); }
  QRadioButton* Radio(int id) { return Item<QRadioButton>(id); }
  QCheckBox* AutoDetect() { return Item<QCheckBox>(res::IDC_AUTO_DETECT); }
  QProgressBar* Progress() { return Item<QProgressBar>(res::IDC_PROGRESS); }
  QString Counter() { return Item<QLabel>(res::IDC_TILE_COUNT)->text(); }

  // True when the status control shows the "ready" icon, false for "not
  // ready"; fails the test on anything else.
  bool Ready(int statusId) {
    const QImage shown = Item<QLabel>(statusId)->pixmap().toImage();
    const QImage ready = QPixmap(res::kReadyIconPath).toImage();
    const QImage notReady = QPixmap(res::kNotReadyIconPath).toImage();
    EXPECT_TRUE(shown == ready || shown == notReady) << "status " << statusId << " shows no status icon";
    return shown == ready;
  }

  // Is the given radio button the only one checked?
  bool LayoutShown(int radioId) {
    const int other = radioId == res::IDC_LAYOUT_GEOKUK ? res::IDC_LAYOUT_OSM : res::IDC_LAYOUT_GEOKUK;
    return Radio(radioId)->isChecked() && !Radio(other)->isChecked();
  }

  std::vector<int> EnabledInputs() {
    std::vector<int> enabled;
    for (int id : {res::IDC_SOURCE_PATH, res::IDC_BROWSE_SOURCE, res::IDC_GEOKUK_FOLDER,
                   res::IDC_TARGET_PATH, res::IDC_BROWSE_TARGET, res::IDC_CREATE_MAP,
                   res::IDC_LAYOUT_GEOKUK, res::IDC_LAYOUT_OSM, res::IDC_AUTO_DETECT}) {
      if (dialog_->GetDlgItem(id)->isEnabled()) enabled.push_back(id);
    }
    return enabled;
  }

  std::u16string Setting(const char16_t* entry) { return settings_.GetString(u"Options", entry, u"<absent>"); }

  // Waits (processing events) until the job has ended and the window is idle.
  bool WaitForIdle() {
    return WaitUntil([this] {
      return !dialog_->IsJobRunning() && ConvertButton()->text() == QString::fromUtf8("Převést") &&
             ConvertButton()->isEnabled();
    });
  }

  // OSM Tracker Storage tree: zoom 16, columns 353 and 354, three tiles.
  QString MakeOsmTree(const QString& name) {
    const QString root = Path(name);
    EXPECT_TRUE(WriteFile(root + "/16/353/220.png", "png-353-220"));
    EXPECT_TRUE(WriteFile(root + "/16/353/221.png", "png-353-221"));
    EXPECT_TRUE(WriteFile(root + "/16/354/220.jpg", "jpg-354-220"));
    return root;
  }
  // GeoKuk cache tree: four hex folder levels, two tiles.
  QString MakeGeoKukTree(const QString& name) {
    const QString root = Path(name);
    EXPECT_TRUE(WriteFile(root + "/0a/1b/2c/3d/base_n_13_1b2_a3.kachle", "kachle-1"));
    EXPECT_TRUE(WriteFile(root + "/0a/1b/2c/3d/base_n_13_1b3_a3.kachle", "kachle-2"));
    return root;
  }
  // An empty map file.
  QString MakeMapFile(const QString& name);
  // The tiles stored in a map file, sorted.
  std::vector<StoredTile> StoredTiles(const QString& mapFile);

  QTemporaryDir dir_;
  platform::MemorySettingsStore settings_;
  platform::RecordingMessageBox presenter_;
  ScriptedChoosers choosers_;
  std::unique_ptr<CCorvaneMapCreatorDlg> dialog_;
};

}  // namespace app_test
