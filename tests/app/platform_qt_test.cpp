#include <gtest/gtest.h>

#include <QFile>
#include <QObject>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "app/path_choosers.h"
#include "platform/qt/qt_translations.h"
#include "platform/qt/queued_call_channel.h"
#include "platform/qt/settings_store.h"
#include "platform/qt/window_thread_message_box.h"
#include "test_support.h"

namespace {

using platform::MessageStyle;
using platform::qt::QueuedCallChannel;
using platform::qt::WindowThreadMessageBox;

// Records every box with the thread it was shown on.
class ThreadRecordingPresenter : public platform::MessageBoxService {
 public:
  struct Shown {
    std::u16string text;
    MessageStyle style;
    QThread* thread;
  };
  void Show(const std::u16string& text, MessageStyle style) override {
    std::lock_guard<std::mutex> lock(mutex_);
    shown_.push_back({text, style, QThread::currentThread()});
  }
  std::vector<Shown> shown() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return shown_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<Shown> shown_;
};

// QTMB-1: a worker's boxes are shown on the window thread, in order, and the
// worker waits for each one.
TEST(WindowThreadMessageBox, WorkerWaitsForBoxShownOnWindowThread) {
  ThreadRecordingPresenter presenter;
  WindowThreadMessageBox boxes(&presenter);
  std::atomic<int> returned{0};
  std::thread worker([&] {
    boxes.Show(u"první", MessageStyle::Exclamation);
    returned = 1;
    boxes.Show(u"druhá", MessageStyle::Plain);
    returned = 2;
  });
  // Without the window thread's events, the worker cannot get past its box.
  ASSERT_TRUE(app_test::WaitWithoutEvents([&] { return boxes.HasPendingRequest(); }));
  QThread::msleep(20);
  EXPECT_EQ(returned.load(), 0);
  EXPECT_TRUE(presenter.shown().empty());

  ASSERT_TRUE(app_test::WaitUntil([&] { return returned.load() == 2; }));
  worker.join();
  const auto shown = presenter.shown();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].text, u"první");
  EXPECT_EQ(shown[0].style, MessageStyle::Exclamation);
  EXPECT_EQ(shown[1].text, u"druhá");
  EXPECT_EQ(shown[1].style, MessageStyle::Plain);
  for (const auto& s : shown) EXPECT_EQ(s.thread, QThread::currentThread());
  EXPECT_FALSE(boxes.HasPendingRequest());
}

// QTMB-2: a box asked for on the window thread is shown at once.
TEST(WindowThreadMessageBox, WindowThreadShowsDirectly) {
  ThreadRecordingPresenter presenter;
  WindowThreadMessageBox boxes(&presenter);
  boxes.Show(u"hned", MessageStyle::Plain);
  ASSERT_EQ(presenter.shown().size(), 1u);
  EXPECT_EQ(presenter.shown()[0].text, u"hned");
}

// QTMB-3: while the window thread waits in ServeUntil it serves the worker's
// boxes and nothing else: a queued notification stays queued until the
// event loop runs again.
TEST(WindowThreadMessageBox, ServeUntilServesBoxesOnly) {
  ThreadRecordingPresenter presenter;
  WindowThreadMessageBox boxes(&presenter);
  QObject receiver;
  std::vector<int> delivered;
  QueuedCallChannel channel(&receiver, [&](int code, int) { delivered.push_back(code); });

  std::atomic<bool> workerDone{false};
  std::thread worker([&] {
    channel.Post(7, 0);
    boxes.Show(u"chyba", MessageStyle::Exclamation);
    boxes.Show(u"další", MessageStyle::Exclamation);
    workerDone = true;
  });
  boxes.ServeUntil([&] { return workerDone.load(); });
  worker.join();
  EXPECT_EQ(presenter.shown().size(), 2u);
  EXPECT_TRUE(delivered.empty());
  ASSERT_TRUE(app_test::WaitUntil([&] { return !delivered.empty(); }));
  EXPECT_EQ(delivered, std::vector<int>{7});
}

// CHAN-1: notifications posted by another thread arrive later, on the window
// thread, in posting order, with both numbers intact.
TEST(QueuedCallChannel, DeliversInOrderOnReceiverThread) {
  QObject receiver;
  std::vector<std::pair<int, int>> delivered;
  bool wrongThread = false;
  QueuedCallChannel channel(&receiver, [&](int code, int count) {
    if (QThread::currentThread() != receiver.thread()) wrongThread = true;
    delivered.emplace_back(code, count);
  });
  std::thread sender([&] {
    for (int i = 0; i < 500; ++i) channel.Post(1 + i % 3, i * 1000);
  });
  sender.join();
  EXPECT_TRUE(delivered.empty()) << "Post must only queue";
  ASSERT_TRUE(app_test::WaitUntil([&] { return delivered.size() == 500; }));
  for (int i = 0; i < 500; ++i) {
    EXPECT_EQ(delivered[i].first, 1 + i % 3);
    EXPECT_EQ(delivered[i].second, i * 1000);
  }
  EXPECT_FALSE(wrongThread);
}

// CHAN-1b: a sender that posts thousands of notifications a second wakes
// the window thread at most about once every 20 ms; every notification still
// arrives, in order, and the delivery's end callback runs once per wake-up,
// after its last notification.
TEST(QueuedCallChannel, WakesTheWindowThreadAtMostFiftyTimesASecond) {
  QObject receiver;
  std::vector<int> delivered;
  std::vector<std::size_t> deliveredAtEnds;  // notifications handed over when each delivery ended
  QueuedCallChannel channel(&receiver, [&](int, int count) { delivered.push_back(count); });
  channel.SetDeliveryEnd([&] { deliveredAtEnds.push_back(delivered.size()); });
  const auto begin = std::chrono::steady_clock::now();
  std::atomic<bool> sent{false};
  std::thread sender([&] {
    for (int i = 0; i < 3000; ++i) {
      channel.Post(2, i);
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    sent = true;
  });
  ASSERT_TRUE(app_test::WaitUntil([&] { return sent.load() && delivered.size() == 3000; }));
  sender.join();
  const double milliseconds =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count();
  for (int i = 0; i < 3000; ++i) ASSERT_EQ(delivered[i], i);
  EXPECT_GE(channel.Deliveries(), 2);
  EXPECT_LE(channel.Deliveries(), milliseconds / 20 + 2) << milliseconds << " ms";
  ASSERT_EQ(deliveredAtEnds.size(), static_cast<std::size_t>(channel.Deliveries()));
  for (std::size_t i = 1; i < deliveredAtEnds.size(); ++i) EXPECT_GT(deliveredAtEnds[i], deliveredAtEnds[i - 1]) << i;
  EXPECT_EQ(deliveredAtEnds.back(), 3000u);
}

// CHAN-2: notifications still queued when the receiver goes are dropped.
TEST(QueuedCallChannel, DropsCallsOfDestroyedReceiver) {
  int delivered = 0;
  auto receiver = std::make_unique<QObject>();
  QueuedCallChannel channel(receiver.get(), [&](int, int) { ++delivered; });
  channel.Post(3, 0);
  receiver.reset();
  QObject other;  // something to wait on
  bool otherRan = false;
  QMetaObject::invokeMethod(&other, [&] { otherRan = true; }, Qt::QueuedConnection);
  ASSERT_TRUE(app_test::WaitUntil([&] { return otherRan; }));
  EXPECT_EQ(delivered, 0);
}

// SET-1: values live in <config>/<organisation>/<application>.conf, section
// [Options]; absent values read as the default, written values survive a
// new store object.
TEST(QtSettingsStore, RoundTripsThroughNativeFile) {
  const QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
  ASSERT_FALSE(configHome.isEmpty());
  {
    platform::qt::QtSettingsStore store("Corvane", "SettingsRoundTrip");
    EXPECT_EQ(store.FileName(), configHome + "/Corvane/SettingsRoundTrip.conf");
    EXPECT_EQ(store.GetString(u"Options", u"Folder", u"výchozí"), u"výchozí");
    store.WriteString(u"Options", u"Folder", u"/data/kachle žluté");
    store.WriteString(u"Options", u"File", u"");
  }
  platform::qt::QtSettingsStore again("Corvane", "SettingsRoundTrip");
  EXPECT_EQ(again.GetString(u"Options", u"Folder", u""), u"/data/kachle žluté");
  EXPECT_EQ(again.GetString(u"Options", u"File", u"x"), u"") << "an empty value is a value";
  QFile file(again.FileName());
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_TRUE(file.readAll().contains("[Options]"));
}

// FILTER-1: the map file chooser's filter pairs become name filters; "*.*"
// matches every name.
TEST(PathChoosers, FilterPairsBecomeNameFilters) {
  EXPECT_EQ(app::NameFiltersFromPairs(u"Mapa Corvane (*.cvmap)|*.cvmap|Všechny soubory (*.*)|*.*||"),
            (QStringList{"Mapa Corvane (*.cvmap)", "Všechny soubory (*)"}));
  EXPECT_EQ(app::NameFiltersFromPairs(u"Text|*.txt *.md"), QStringList{"Text (*.txt *.md)"});
  EXPECT_TRUE(app::NameFiltersFromPairs(u"osamělý").isEmpty());
}

}  // namespace

// TRANS-1: Qt's Czech catalogue turns the choosers' and message boxes' own
// texts Czech while installed, and English again when removed; a folder
// without the catalogue installs nothing and changes nothing.
TEST(QtTranslations, CzechCatalogueWhenPresent) {
  const auto lookIn = [] { return QCoreApplication::translate("QFileDialog", "Look in:"); };
  const auto cancel = [] { return QCoreApplication::translate("QPlatformTheme", "Cancel"); };
  {
    QTemporaryDir empty;
    platform::qt::QtTranslations missing;
    EXPECT_FALSE(missing.Install("cs", empty.path()));
    EXPECT_FALSE(missing.Installed());
    EXPECT_EQ(lookIn(), "Look in:");
  }
  if (!QFile::exists(platform::qt::QtTranslations::DefaultFolder() + "/qtbase_cs.qm")) {
    GTEST_SKIP() << "Qt's Czech catalogue is not installed (Debian package qt6-translations-l10n)";
  }
  {
    platform::qt::QtTranslations czech;
    ASSERT_TRUE(czech.Install("cs"));
    EXPECT_EQ(lookIn(), QString::fromUtf8("Hledat v:"));
    EXPECT_EQ(cancel(), QString::fromUtf8("Zrušit"));
  }
  EXPECT_EQ(cancel(), "Cancel");
}
