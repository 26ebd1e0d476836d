// The texts that explain the two status indicators: why the source folder or
// the target file is (not) ready, and what the user can do about it. The
// dialog gathers the facts of each refresh; these functions only word them.
//
// Thread-safety: pure functions.
#pragma once

#include <QString>
#include <vector>

namespace app {

// What a refresh of the source folder found.
struct SourceFacts {
  QString path;           // the box's text
  bool exists = false;    // a file or folder of that name exists
  bool isFolder = false;  // ... and it is a folder
  bool accepted = false;  // the probe accepted it (only looked at when exists)
  QString decidingFile;   // the file the probe tested, full path; empty when none was met
  int detectedLayout = -1;  // the deciding file's layout (0, 1, 3 for an MBTiles file), -1 when it is no tile
  bool tileMapResource = false;  // the folder holds a tilemapresource.xml (most likely a TMS tree)
  bool autoDetect = true;   // the layout was put on the radio buttons
  struct Suggestion {
    QString folder;  // full path of a folder below that holds tiles
    int layout;      // their layout (0, 1)
  };
  std::vector<Suggestion> suggestions;  // refused: where the tiles are instead
};

// What a refresh of the target file, or a failed create, found.
struct TargetFacts {
  QString path;             // the box's text
  bool exists = false;      // a file or folder of that name exists
  bool isFolder = false;    // ... and it is a folder
  bool isMap = false;       // it is open as a map file
  bool createFailed = false;  // "Založit" could not open the path at all
  QString sqliteMessage;    // SQLite's message shown by the refresh, or empty
  bool busy = false;        // the refresh failed because another program holds the file locked
};

// The source indicator's tooltip.
QString ExplainSource(const SourceFacts& facts);
// The target indicator's tooltip.
QString ExplainTarget(const TargetFacts& facts);

// `file` as the user should read it: relative to `folder` when it lies below
// it, otherwise whole.
QString PathBelow(const QString& folder, const QString& file);

}  // namespace app
