#include <gtest/gtest.h>

#include <thread>

#include "platform/notification.h"

namespace {

// NOTIFY-1: notifications posted from another thread arrive in posting order
// with both numbers intact.
TEST(QueueChannel, KeepsPostingOrderAcrossThreads) {
  platform::QueueChannel channel;
  std::thread sender([&] {
    for (int i = 0; i < 1000; ++i) channel.Post(1 + i % 3, i);
  });
  for (int i = 0; i < 1000; ++i) {
    auto n = channel.Take(std::chrono::seconds(10));
    ASSERT_TRUE(n.has_value());
    EXPECT_EQ(n->code, 1 + i % 3);
    EXPECT_EQ(n->count, i);
  }
  sender.join();
  EXPECT_FALSE(channel.TryTake().has_value());
}

}  // namespace
