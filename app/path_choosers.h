// The two choosers of the main dialog: a folder chooser for the source folder
// and a file chooser for the target map file. The window uses the desktop's
// dialogs; tests substitute their own answers.
//
// Thread-safety: window thread only.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <string_view>

namespace app {

class PathChoosers {
 public:
  virtual ~PathChoosers() = default;
  // The chosen folder's path, or nothing when the user cancelled.
  virtual std::optional<QString> ChooseFolder() = 0;
  // The chosen file's full path (it need not exist), or nothing when the user
  // cancelled.
  virtual std::optional<QString> ChooseMapFile() = 0;
};

// The desktop's choosers: a folder chooser with no title and no options, and
// an open-mode file chooser with the map file's default extension and filter
// that neither requires the file to exist nor asks before overwriting.
class DesktopPathChoosers : public PathChoosers {
 public:
  std::optional<QString> ChooseFolder() override;
  std::optional<QString> ChooseMapFile() override;
};

// Turns a filter of "description|pattern|...||" pairs into the chooser's name
// filters "description (pattern)". A description that already ends with a
// parenthesised pattern list has it replaced by the pair's pattern, and the
// pattern "*.*" (every file) becomes "*", since on Linux "*.*" would hide
// every name without a dot. An unpaired last description is dropped.
QStringList NameFiltersFromPairs(std::u16string_view filter);

}  // namespace app
