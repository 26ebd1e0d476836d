// The source folder probe on real trees.
#include "convert/probe.h"

#include <gtest/gtest.h>

#include "convert/layouts.h"
#include "temp_tree.h"

namespace convert {
namespace {

using convert_test::EntriesInSearchOrder;
using convert_test::TempTree;

struct Probed {
  bool accepted;
  int layout;
  std::string decidingFile;
};

Probed Probe(const std::string& source, bool autoDetect, int layoutBefore) {
  Probed probed{false, layoutBefore, "unset"};
  probed.accepted = ProbeSourceFolder(source, source, autoDetect, &probed.layout, &probed.decidingFile);
  return probed;
}

// PROBE-1: empty, missing and looping folders are accepted and change nothing.
TEST(ProbeTest, AcceptsFoldersWithoutAFile) {
  TempTree tree;
  Probed p = Probe(tree.Root(), true, 1);
  EXPECT_TRUE(p.accepted);
  EXPECT_EQ(p.layout, 1);
  EXPECT_EQ(p.decidingFile, "");

  EXPECT_TRUE(Probe(tree.Path("missing"), true, 0).accepted);

  tree.Folder("a/b");
  tree.Link("..", "a/b/up");  // the only entry of b leads back to a
  p = Probe(tree.Root(), true, 0);
  EXPECT_TRUE(p.accepted);
  EXPECT_EQ(p.decidingFile, "");
}

// PROBE-2: a GeoKuk cache is detected; trailing '/' on the folder changes nothing.
TEST(ProbeTest, DetectsGeoKuk) {
  TempTree tree;
  tree.File("79/82/d8/50/turist_13_79d8000_8250000.kachle");
  for (const std::string& source : {tree.Root(), tree.Root() + "/"}) {
    Probed p = Probe(source, true, LayoutOsmTrackerStorage);
    EXPECT_TRUE(p.accepted) << source;
    EXPECT_EQ(p.layout, LayoutGeoKuk) << source;
    EXPECT_EQ(p.decidingFile, tree.Path("79/82/d8/50/turist_13_79d8000_8250000.kachle"));
  }
}

// PROBE-3: OSM trees, also with one-digit zoom folders, are detected; with
// autoDetect off the choice stays.
TEST(ProbeTest, DetectsOsmTrackerStorage) {
  TempTree tree;
  tree.File("5/17/11.png");
  Probed p = Probe(tree.Root(), true, LayoutGeoKuk);
  EXPECT_TRUE(p.accepted);
  EXPECT_EQ(p.layout, LayoutOsmTrackerStorage);

  p = Probe(tree.Root(), false, LayoutGeoKuk);
  EXPECT_TRUE(p.accepted);
  EXPECT_EQ(p.layout, LayoutGeoKuk);
}

// PROBE-4: the first file decides; a non-tile rejects even with tiles elsewhere.
TEST(ProbeTest, RejectsWhenTheFirstFileIsNoTile) {
  TempTree tree;
  tree.File("16/353/220.jpeg");  // jpeg is no OSM extension
  Probed p = Probe(tree.Root(), true, 0);
  EXPECT_FALSE(p.accepted);
  EXPECT_EQ(p.decidingFile, tree.Path("16/353/220.jpeg"));

  TempTree upper;
  upper.File("7A/82/d8/50/turist_13_1_2.kachle");  // upper-case hex folder
  EXPECT_FALSE(Probe(upper.Root(), true, 0).accepted);

  // A text file beside a tile folder: which one decides depends on the order
  // the file system returns them, so the expectation follows that order.
  TempTree mixed;
  mixed.File("readme.txt");
  mixed.File("16/353/220.png");
  const std::vector<std::string> order = EntriesInSearchOrder(mixed.Root());
  ASSERT_EQ(order.size(), 2u);
  p = Probe(mixed.Root(), true, 0);
  if (order[0] == "readme.txt") {
    EXPECT_FALSE(p.accepted);
    EXPECT_EQ(p.decidingFile, mixed.Path("readme.txt"));
  } else {
    EXPECT_TRUE(p.accepted);
    EXPECT_EQ(p.layout, LayoutOsmTrackerStorage);
  }
}

// PROBE-5: only the first subfolder is looked at.
TEST(ProbeTest, LooksOnlyIntoTheFirstSubfolder) {
  TempTree tree;
  tree.Folder("a");             // empty
  tree.File("b/notes.txt");     // no tile
  const std::vector<std::string> order = EntriesInSearchOrder(tree.Root());
  ASSERT_EQ(order.size(), 2u);
  const Probed p = Probe(tree.Root(), true, 0);
  EXPECT_EQ(p.accepted, order[0] == "a");
  EXPECT_EQ(p.decidingFile, order[0] == "a" ? "" : tree.Path("b/notes.txt"));
}

}  // namespace
}  // namespace convert
