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
  // The chosen folder's path, or nothing when the user cancelled. `current`
  // is the source box's text, where the chooser starts (see StartFolderFor).
  virtual std::optional<QString> ChooseFolder(const QString& current) = 0;
  // The chosen file's full path (it need not exist), or nothing when the user
  // cancelled. `current` is the target box's text.
  virtual std::optional<QString> ChooseMapFile(const QString& current) = 0;
};

// The desktop's choosers: a folder chooser with no title and no options, and
// an open-mode file chooser with the map file's default extension and filter
// that neither requires the file to exist nor asks before overwriting. Both
// open in StartFolderFor(current), with no file name filled in.
class DesktopPathChoosers : public PathChoosers {
 public:
  std::optional<QString> ChooseFolder(const QString& current) override;
  std::optional<QString> ChooseMapFile(const QString& current) override;
};

// The folder a chooser opens in for a box's text: the text itself when it
// names an existing folder, else the folder it lies in when that exists,
// else the user's home folder (never the folder the program was started in).
QString StartFolderFor(const QString& boxText);

// Turns a filter of "description|pattern|...||" pairs into the chooser's name
// filters "description (pattern)". A description that already ends with a
// parenthesised pattern list has it replaced by the pair's pattern, and the
// pattern "*.*" (every file) becomes "*", since on Linux "*.*" would hide
// every name without a dot. An unpaired last description is dropped.
QStringList NameFiltersFromPairs(std::u16string_view filter);

}  // namespace app
