// The source folder probe on real trees.
#include "convert/probe.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "convert/layouts.h"
#include "temp_tree.h"

namespace convert {
namespace {

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

  // A text file beside a tile folder: the folder "16" comes first in name
  // order; "-" sorts before digits, so "-notes.txt" decides.
  TempTree mixed;
  mixed.File("16/353/220.png");
  mixed.File("readme.txt");
  p = Probe(mixed.Root(), true, 0);
  EXPECT_TRUE(p.accepted);
  EXPECT_EQ(p.layout, LayoutOsmTrackerStorage);
  mixed.File("-notes.txt");
  p = Probe(mixed.Root(), true, 0);
  EXPECT_FALSE(p.accepted);
  EXPECT_EQ(p.decidingFile, mixed.Path("-notes.txt"));
}

// PROBE-5: only the first subfolder in name order is looked at.
TEST(ProbeTest, LooksOnlyIntoTheFirstSubfolder) {
  TempTree tree;
  tree.File("B/notes.txt");  // no tile
  tree.Folder("a");          // empty, and first: "A" < "B"
  Probed p = Probe(tree.Root(), true, 0);
  EXPECT_TRUE(p.accepted);
  EXPECT_EQ(p.decidingFile, "");
  tree.File("0/notes.txt");
  p = Probe(tree.Root(), true, 0);
  EXPECT_FALSE(p.accepted);
  EXPECT_EQ(p.decidingFile, tree.Path("0/notes.txt"));
}

// PROBE-6: a GeoKuk cache with the files newer GeoKuk versions and file
// managers leave at its top, created last (tmpfs lists newest first), is
// accepted as GeoKuk on the temporary folder and on tmpfs alike.
TEST(ProbeTest, AcceptsACacheWithFilesBesideItsFolders) {
  for (const std::string& base : {std::string(), std::string("/dev/shm")}) {
    if (!base.empty() && !std::filesystem::is_directory(base)) continue;
    SCOPED_TRACE(base);
    TempTree tree(base);
    tree.File("ff/82/d8/50/turist_13_79d8000_8250000.kachle");
    tree.File("00/82/d8/50/turist_13_79d8000_8250001.kachle");
    tree.File("tiles.sqlite", "SQLite format 3");
    tree.File("Thumbs.db");
    tree.File("desktop.ini");
    tree.File("poznamky.txt");
    const Probed p = Probe(tree.Root(), true, LayoutOsmTrackerStorage);
    EXPECT_TRUE(p.accepted);
    EXPECT_EQ(p.layout, LayoutGeoKuk);
    EXPECT_EQ(p.decidingFile, tree.Path("00/82/d8/50/turist_13_79d8000_8250001.kachle"));
  }
}

// PROBE-6b: hidden names (a phone's ".nomedia", a copied tree's ".DS_Store",
// a ".thumbnails" folder) sort first but decide nothing; a folder of hidden
// names only is as good as empty.
TEST(ProbeTest, HiddenNamesDecideNothing) {
  struct Case {
    std::vector<std::string> files;
    bool accepted;
    int layout;
    std::string deciding;  // below the tree; "" for none
  } cases[] = {
      {{".nomedia", "16/353/220.png"}, true, LayoutOsmTrackerStorage, "16/353/220.png"},
      {{".DS_Store", "79/.DS_Store", "79/82/d8/50/t_13_1_2.kachle"}, true, LayoutGeoKuk, "79/82/d8/50/t_13_1_2.kachle"},
      {{".thumbnails/x.jpg", "16/353/220.png"}, true, LayoutOsmTrackerStorage, "16/353/220.png"},
      {{".nomedia", "-notes.txt", "16/353/220.png"}, false, -1, "-notes.txt"},  // "-" sorts before digits
      {{".nomedia"}, true, -1, ""},
  };
  for (const Case& c : cases) {
    TempTree tree;
    for (const std::string& file : c.files) tree.File(file);
    SCOPED_TRACE(c.files.back());
    const Probed p = Probe(tree.Root(), true, -1);
    EXPECT_EQ(p.accepted, c.accepted);
    EXPECT_EQ(p.layout, c.layout);
    EXPECT_EQ(p.decidingFile, c.deciding.empty() ? "" : tree.Path(c.deciding));
  }
  TempTree hiddenOnly;
  hiddenOnly.File(".nomedia");
  int layout = -1;
  EXPECT_TRUE(ProbeSource(hiddenOnly.Root(), &layout).folderEmpty);
}

// PROBE-7: the outcome tells an empty folder; a refused root of one folder
// per map source gets those folders (one or two levels down) suggested.
TEST(ProbeTest, SuggestsTheFolderToGiveInstead) {
  TempTree empty;
  int layout = -1;
  EXPECT_TRUE(ProbeSource(empty.Root(), &layout).folderEmpty);

  TempTree atlas;
  atlas.File("Atlas/mapy-cz/15/17621/11308.png");
  atlas.File("Atlas/turist/79/82/d8/50/turist_13_79d8000_8250000.kachle");
  atlas.File("Atlas/notes/readme.txt");
  atlas.File("osm/16/353/220.png");
  const ProbeOutcome outcome = ProbeSource(atlas.Root(), &layout);
  EXPECT_FALSE(outcome.folderEmpty);
  EXPECT_FALSE(outcome.accepted);
  EXPECT_EQ(outcome.decidingFile, atlas.Path("Atlas/mapy-cz/15/17621/11308.png"));
  const std::vector<SourceSuggestion> suggestions = SuggestSourceFolders(atlas.Root(), 8);
  ASSERT_EQ(suggestions.size(), 3u);
  EXPECT_EQ(suggestions[0].folder, atlas.Path("Atlas/mapy-cz"));
  EXPECT_EQ(suggestions[0].layout, LayoutOsmTrackerStorage);
  EXPECT_EQ(suggestions[1].folder, atlas.Path("Atlas/turist"));
  EXPECT_EQ(suggestions[1].layout, LayoutGeoKuk);
  EXPECT_EQ(suggestions[2].folder, atlas.Path("osm"));
  EXPECT_EQ(SuggestSourceFolders(atlas.Root(), 1).size(), 1u);
  EXPECT_TRUE(SuggestSourceFolders(atlas.Path("Atlas/notes"), 8).empty());
}

}  // namespace
}  // namespace convert
