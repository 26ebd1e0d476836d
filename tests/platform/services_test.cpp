#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/message_box.h"
#include "platform/settings_store.h"
#include "platform/worker_thread.h"

namespace {

// SVC-1: the recording sink keeps text and style in the order shown, also
// when two threads show messages at the same time.
TEST(RecordingMessageBox, KeepsMessagesInOrder) {
  platform::RecordingMessageBox boxes;
  boxes.Show(u"SQLite error: x", platform::MessageStyle::Exclamation);
  boxes.Show(u"no such table: tiles", platform::MessageStyle::Plain);
  auto messages = boxes.Messages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].text, u"SQLite error: x");
  EXPECT_EQ(messages[0].style, platform::MessageStyle::Exclamation);
  EXPECT_EQ(messages[1].style, platform::MessageStyle::Plain);

  std::thread other([&] {
    for (int i = 0; i < 500; ++i) boxes.Show(u"w", platform::MessageStyle::Plain);
  });
  for (int i = 0; i < 500; ++i) boxes.Show(u"m", platform::MessageStyle::Plain);
  other.join();
  EXPECT_EQ(boxes.Messages().size(), 1002u);
  boxes.Clear();
  EXPECT_TRUE(boxes.Messages().empty());
}

// SVC-2: the stderr sink writes one prefixed UTF-8 line per message.
TEST(StderrMessageBox, WritesOneLinePerMessage) {
  platform::StderrMessageBox boxes("cvmap: ");
  testing::internal::CaptureStderr();
  boxes.Show(u"SQLite error: file is not a database", platform::MessageStyle::Exclamation);
  boxes.Show(u"Založit", platform::MessageStyle::Plain);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "cvmap: SQLite error: file is not a database\ncvmap: Zalo\xC5\xBEit\n");
}

// SVC-3: Join waits for the routine; a second Start joins the first thread;
// Join without a thread returns at once.
TEST(WorkerThread, StartsAndJoins) {
  platform::WorkerThread worker;
  worker.Join();
  EXPECT_FALSE(worker.WasStarted());
  std::atomic<int> done{0};
  ASSERT_TRUE(worker.Start([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    done = 1;
  }));
  worker.Join();
  EXPECT_EQ(done.load(), 1);
  ASSERT_TRUE(worker.Start([&] { done = 2; }));
  worker.Join();
  EXPECT_EQ(done.load(), 2);
  EXPECT_TRUE(worker.WasStarted());
}

// SVC-4: absent values read as the default; sections keep values apart.
TEST(MemorySettingsStore, AbsentReadsAsDefault) {
  platform::MemorySettingsStore store;
  EXPECT_EQ(store.GetString(u"Options", u"Folder", u"def"), u"def");
  store.WriteString(u"Options", u"Folder", u"/tiles");
  store.WriteString(u"Other", u"Folder", u"/elsewhere");
  EXPECT_EQ(store.GetString(u"Options", u"Folder", u"def"), u"/tiles");
  EXPECT_EQ(store.GetString(u"Options", u"File", u""), u"");
  EXPECT_EQ(store.WriteCount(), 2);
}

}  // namespace
