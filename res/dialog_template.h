// The main dialog's template as data: the window's caption, size and font,
// and one row per control (id, kind, caption, position and size in dialog
// units, style bits). The window builds its controls from this table, in
// table order, which is also the tab order.
//
// Thread-safety: immutable data.
//
// Invariants:
//  1. Every id other than IDC_STATIC occurs once.
//  2. Positions and sizes are dialog units: x and w in quarters of the dialog
//     font's average character width, y and h in eighths of its height.
#pragma once

#include <span>

namespace res {

enum class ControlKind {
  StaticIcon,   // shows a 16 x 16 icon at its top-left corner
  StaticText,   // one line of text
  EditBox,      // one-line text box
  PushButton,   // never the default button
  RadioButton,  // automatic radio button
  CheckBox,     // automatic check box
  ProgressBar,  // horizontal bar
};

// Style bits of a control.
enum ControlStyle : unsigned {
  kStyleNone = 0,
  kTabStop = 1u << 0,     // reached with the Tab key
  kGroupStart = 1u << 1,  // first control of a group (radio group, button group)
  kBorder = 1u << 2,      // drawn with a border
  kAutoHScroll = 1u << 3, // an edit box that scrolls horizontally
};

struct ControlTemplate {
  int id;                   // control id (resource.h); IDC_STATIC for unnamed texts
  const char* name;         // id's symbolic name, "" for IDC_STATIC
  ControlKind kind;         // what to build
  const char16_t* caption;  // initial text, u"" for none
  int x;                    // left edge, dialog units
  int y;                    // top edge, dialog units
  int w;                    // width, dialog units
  int h;                    // height, dialog units
  unsigned style;           // ControlStyle bits
};

struct DialogTemplate {
  int id;                                   // template id
  const char16_t* caption;                  // window title
  int w;                                    // client width, dialog units
  int h;                                    // client height, dialog units
  std::span<const ControlTemplate> controls;  // in template (= tab) order
};

// The template of the main dialog (IDD_MAIN).
const DialogTemplate& MainDialogTemplate();

}  // namespace res
