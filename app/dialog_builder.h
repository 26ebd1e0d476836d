// Builds a dialog's controls from its template (res/dialog_template.h).
//
// Dialog units become pixels by the usual rule: a horizontal unit is a
// quarter of the dialog font's average character width, a vertical unit an
// eighth of its height; the dialog's own font (the desktop's UI font) stands
// in for the template's font. A font that would clip a caption widens the
// horizontal unit just enough (see BuildControls). Every control gets its id as the dynamic
// property "controlId" and its symbolic name as object name; push buttons are
// never default buttons, not even when focused; the tab order is the
// template's order.
//
// Thread-safety: window thread only.
#pragma once

#include <QFont>
#include <QRect>
#include <map>

#include "res/dialog_template.h"

class QWidget;

namespace app {

// Name of the dynamic property that holds a control's id.
inline constexpr char kControlIdProperty[] = "controlId";

class DialogUnits {
 public:
  // Base units of `font`: its average character width (over the 52 Latin
  // letters, rounded) and its line height, both in pixels.
  explicit DialogUnits(const QFont& font);
  DialogUnits(int baseX, int baseY) : baseX_(baseX), baseY_(baseY) {}

  int ToPixelsX(int units) const;  // rounded to the nearest pixel
  int ToPixelsY(int units) const;  // rounded to the nearest pixel
  QRect ToPixels(int x, int y, int w, int h) const;

  int baseX() const { return baseX_; }
  int baseY() const { return baseY_; }

 private:
  int baseX_;  // average character width, pixels
  int baseY_;  // character height, pixels
};

// Creates every control of `dialogTemplate` as a child of `dialog`, sizes the
// dialog's client area to the template and sets its title. The units are the
// dialog font's, with the horizontal unit widened where the font would clip
// a caption (static text, radio button, check box) in its template width;
// they are stored in *usedUnits when it is not null. Returns the controls
// that have an id (the unnamed static texts are not in the map); they are
// owned by `dialog`. REQUIRES: dialog != nullptr.
std::map<int, QWidget*> BuildControls(QWidget* dialog, const res::DialogTemplate& dialogTemplate,
                                      DialogUnits* usedUnits = nullptr);

}  // namespace app
