// Folder listings handed from one walk of a tree to the walk behind it.
#include <dirent.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "convert/list_ahead.h"
#include "convert/listing_queue.h"
#include "platform/folder_search.h"
#include "temp_tree.h"

namespace convert {
namespace {

using convert_test::TempTree;
using Entries = std::vector<std::pair<std::string, unsigned char>>;

platform::FolderListing MakeListing(const Entries& entries, std::uint64_t inode, bool failed = false) {
  platform::FolderListing listing;
  for (const auto& [name, type] : entries) {
    listing.records.push_back({static_cast<std::uint32_t>(listing.names.size()),
                               static_cast<std::uint32_t>(name.size()), type});
    listing.names.append(name).push_back('\0');
  }
  listing.device = 7;
  listing.inode = inode;
  listing.listingFailed = failed;
  return listing;
}

Entries EntriesOf(const platform::FolderListing& listing) {
  Entries entries;
  for (const platform::FolderListing::Record& r : listing.records) {
    entries.emplace_back(std::string(listing.names.data() + r.nameOffset, r.nameLength), r.type);
  }
  return entries;
}

// LQ-1: a folder comes before what lies below it, and names compare as
// folder listings order them (case-insensitively first); "beneath" is about
// whole names.
TEST(ListingQueueTest, WalkOrderOfPaths) {
  const struct {
    const char* a;
    const char* b;
    int order;  // sign of CompareWalkOrder(a, b)
  } cases[] = {
      {"", "", 0},          {"", "a", -1},           {"a", "a", 0},          {"a", "a/b", -1},
      {"a/b", "b", -1},     {"a/z", "a0", -1},       {"a0", "a/z", 1},       {"B", "a", 1},
      {"a/b/c", "a/b", 1},  {"16/100", "16/99", -1}, {"x/Y", "x/y", -1},     {"x/y", "x/Y/z", 1},
  };
  for (const auto& c : cases) {
    const int order = CompareWalkOrder(c.a, c.b);
    EXPECT_EQ((order > 0) - (order < 0), c.order) << c.a << " vs " << c.b;
  }
  EXPECT_TRUE(IsBeneath("a/b", "a"));
  EXPECT_TRUE(IsBeneath("a/b/c", "a"));
  EXPECT_TRUE(IsBeneath("a", ""));
  EXPECT_FALSE(IsBeneath("ab/c", "a"));
  EXPECT_FALSE(IsBeneath("a", "a"));
  EXPECT_FALSE(IsBeneath("", ""));
}

// LQ-2: the walk behind gets the listing queued for exactly the folder it
// enters (names, kinds, identity and a broken-off listing intact), drops
// the listings of folders it passed, and gets none for a folder that was
// not queued or whose listing comes later.
TEST(ListingQueueTest, HandsOutOnlyTheFoldersOwnListing) {
  ListingQueue queue(1 << 20);
  const Entries a{{"b", DT_DIR}, {"x.png", DT_REG}, {"link", DT_LNK}};
  ASSERT_TRUE(queue.Offer("a", MakeListing(a, 1)));
  ASSERT_TRUE(queue.Offer("a/b", MakeListing({}, 2)));
  ASSERT_TRUE(queue.Offer("a/c", MakeListing({{"17 Ä.png", DT_UNKNOWN}}, 3, true)));
  ASSERT_TRUE(queue.Push("d", MakeListing({{"y", DT_REG}}, 4)));
  platform::FolderListing got;
  ASSERT_TRUE(queue.Take("a", &got));
  EXPECT_EQ(EntriesOf(got), a);
  EXPECT_EQ(got.device, 7u);
  EXPECT_EQ(got.inode, 1u);
  EXPECT_FALSE(got.listingFailed);
  EXPECT_FALSE(queue.Take("a/a0", &got));  // not queued; "a/b" still to come
  ASSERT_TRUE(queue.Take("a/c", &got));    // "a/b" was passed: dropped
  EXPECT_EQ(EntriesOf(got), (Entries{{"17 Ä.png", DT_UNKNOWN}}));
  EXPECT_EQ(got.inode, 3u);
  EXPECT_TRUE(got.listingFailed);
  EXPECT_GT(queue.HeldBytes(), 0u);
  EXPECT_FALSE(queue.Take("a/c", &got));  // handed out once
  EXPECT_FALSE(queue.Take("e", &got));    // passed "d"
  EXPECT_EQ(queue.HeldBytes(), 0u);
  // The queue is used again from its start once emptied.
  ASSERT_TRUE(queue.Offer("f", MakeListing(a, 5)));
  ASSERT_TRUE(queue.Take("f", &got));
  EXPECT_EQ(EntriesOf(got), a);
}

// LQ-3: room. Offer refuses what does not fit and keeps nothing of it; Push
// waits until the walk behind has taken enough; a listing larger than the
// whole room goes into an empty queue; Close ends a waiting Push with false
// and refuses from then on.
TEST(ListingQueueTest, BoundsWhatItHolds) {
  const platform::FolderListing listing = MakeListing({{std::string(100, 'n'), DT_REG}}, 1);
  ListingQueue queue(300);
  ASSERT_TRUE(queue.Offer("a", listing));
  ASSERT_TRUE(queue.Offer("b", listing));
  const std::size_t two = queue.HeldBytes();
  EXPECT_LE(two, 300u);
  EXPECT_FALSE(queue.Offer("c", listing));
  EXPECT_EQ(queue.HeldBytes(), two);
  std::atomic<bool> pushed{false};
  std::thread pusher([&] { pushed = queue.Push("c", listing); });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(pushed.load());  // no room yet
  platform::FolderListing got;
  ASSERT_TRUE(queue.Take("a", &got));
  ASSERT_TRUE(queue.Take("b", &got));
  pusher.join();
  EXPECT_TRUE(pushed.load());
  ASSERT_TRUE(queue.Take("c", &got));
  const platform::FolderListing huge = MakeListing({{std::string(400, 'h'), DT_REG}}, 2);
  EXPECT_FALSE(queue.Offer("d", huge));
  ASSERT_TRUE(queue.Push("d", huge));  // alone in an empty queue
  std::thread blocked([&] { pushed = queue.Push("e", listing); });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  queue.Close();
  blocked.join();
  EXPECT_FALSE(pushed.load());
  EXPECT_TRUE(queue.Closed());
  EXPECT_EQ(queue.HeldBytes(), 0u);
  EXPECT_FALSE(queue.Offer("f", listing));
  EXPECT_FALSE(queue.Push("f", listing));
  EXPECT_FALSE(queue.Take("d", &got));
}

// LQ-4: where a walk listing the tree again stands: behind the farther of
// the last listing queued and the last folder asked for, above it, or
// ahead of it.
TEST(ListingQueueTest, PlaceOfAFolder) {
  ListingQueue queue(1 << 20);
  EXPECT_EQ(queue.PlaceOf("a"), ListingQueue::Place::Ahead);  // nothing yet
  ASSERT_TRUE(queue.Offer("b/c", MakeListing({}, 1)));
  platform::FolderListing got;
  EXPECT_FALSE(queue.Take("a/z", &got));  // asked for, behind what is queued
  const struct {
    const char* path;
    ListingQueue::Place place;
  } cases[] = {
      {"a", ListingQueue::Place::Passed},   {"a/z", ListingQueue::Place::Passed},
      {"b", ListingQueue::Place::OnTheWay}, {"b/c", ListingQueue::Place::OnTheWay},
      {"b/b", ListingQueue::Place::Passed}, {"b/c/d", ListingQueue::Place::Ahead},
      {"b/d", ListingQueue::Place::Ahead},  {"c", ListingQueue::Place::Ahead},
  };
  for (const auto& c : cases) EXPECT_EQ(queue.PlaceOf(c.path), c.place) << c.path;
  EXPECT_FALSE(queue.Take("c/x", &got));  // the walk behind went on past it
  EXPECT_EQ(queue.PlaceOf("b/d"), ListingQueue::Place::Passed);
  EXPECT_EQ(queue.PlaceOf("c"), ListingQueue::Place::OnTheWay);
  EXPECT_EQ(queue.PlaceOf("c/y"), ListingQueue::Place::Ahead);
}

// A tree of folders on several levels, with files among them.
void MakeFolders(TempTree& tree) {
  tree.File("a/a1/t.png");
  tree.File("a/a2/t.png");
  tree.File("a/f.png");
  tree.File("B/t.png");
  tree.File("c/c1/c2/t.png");
}

const std::vector<std::string> kWalkOrder{"a", "a/a1", "a/a2", "B", "c", "c/c1", "c/c1/c2"};

// LIST-1: listing ahead queues the listing of every folder below the source
// folder, in walk order; begun behind a walk that has passed part of the
// tree, it queues only the folders after it; a stop or a closed queue ends
// it, also while it waits for room.
TEST(ListAheadTest, QueuesTheFoldersStillToCome) {
  TempTree tree;
  MakeFolders(tree);
  const std::atomic<int> go{0};
  {
    ListingQueue queue(1 << 20);
    ListAhead(tree.Root(), queue, &go);
    platform::FolderListing got;
    for (const std::string& folder : kWalkOrder) EXPECT_TRUE(queue.Take(folder, &got)) << folder;
    EXPECT_EQ(queue.HeldBytes(), 0u);
  }
  {
    ListingQueue queue(1 << 20);
    platform::FolderListing got;
    EXPECT_FALSE(queue.Take("B", &got));  // the walk behind is in "B" already
    ListAhead(tree.Root(), queue, &go);
    EXPECT_FALSE(queue.Take("B", &got));
    ASSERT_TRUE(queue.Take("c", &got));
    ASSERT_EQ(EntriesOf(got).size(), 1u);
    EXPECT_EQ(EntriesOf(got)[0].first, "c1");
    EXPECT_TRUE(queue.Take("c/c1", &got));
    EXPECT_TRUE(queue.Take("c/c1/c2", &got));
    EXPECT_EQ(queue.HeldBytes(), 0u);
  }
  {
    const std::atomic<int> stop{1};
    ListingQueue queue(1 << 20);
    ListAhead(tree.Root(), queue, &stop);
    EXPECT_EQ(queue.HeldBytes(), 0u);
  }
  {
    ListingQueue queue(1);  // room for one listing at a time
    std::thread walk([&] { ListAhead(tree.Root(), queue, &go); });
    for (int i = 0; i < 1000 && queue.HeldBytes() == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_GT(queue.HeldBytes(), 0u);
    queue.Close();  // the walk waits to queue the second folder: it ends
    walk.join();
  }
}

}  // namespace
}  // namespace convert
