#include "app/dialog_builder.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>
#include <algorithm>
#include <cassert>
#include <utility>
#include <vector>

#include "res/resource.h"

namespace app {

namespace {

// a * b / c rounded to the nearest whole number (b, c > 0).
int MulDivRounded(int a, int b, int c) {
  const long long product = static_cast<long long>(a) * b;
  return static_cast<int>(product >= 0 ? (product + c / 2) / c : (product - c / 2) / c);
}

QWidget* CreateControl(const res::ControlTemplate& control, QWidget* parent) {
  const QString caption = QString::fromUtf16(control.caption);
  switch (control.kind) {
    case res::ControlKind::StaticIcon: {
      auto* label = new QLabel(parent);
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      return label;
    }
    case res::ControlKind::StaticText: {
      auto* label = new QLabel(caption, parent);
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      label->setTextFormat(Qt::PlainText);
      return label;
    }
    case res::ControlKind::EditBox: {
      auto* edit = new QLineEdit(caption, parent);
      edit->setFrame((control.style & res::kBorder) != 0);
      return edit;
    }
    case res::ControlKind::PushButton: {
      auto* button = new QPushButton(caption, parent);
      button->setAutoDefault(false);
      button->setDefault(false);
      return button;
    }
    case res::ControlKind::RadioButton:
      return new QRadioButton(caption, parent);
    case res::ControlKind::CheckBox:
      return new QCheckBox(caption, parent);
    case res::ControlKind::ProgressBar: {
      auto* bar = new QProgressBar(parent);
      bar->setTextVisible(false);
      bar->setRange(0, 100);
      bar->setValue(0);
      return bar;
    }
  }
  assert(false && "unknown control kind");
  return nullptr;
}

}  // namespace

DialogUnits::DialogUnits(const QFont& font) {
  const QFontMetrics metrics(font);
  const int letters = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  baseX_ = (letters / 26 + 1) / 2;
  baseY_ = metrics.height();
}

int DialogUnits::ToPixelsX(int units) const { return MulDivRounded(units, baseX_, 4); }
int DialogUnits::ToPixelsY(int units) const { return MulDivRounded(units, baseY_, 8); }

QRect DialogUnits::ToPixels(int x, int y, int w, int h) const {
  return QRect(ToPixelsX(x), ToPixelsY(y), ToPixelsX(w), ToPixelsY(h));
}

std::map<int, QWidget*> BuildControls(QWidget* dialog, const res::DialogTemplate& dialogTemplate,
                                      DialogUnits* usedUnits) {
  assert(dialog != nullptr);
  std::vector<std::pair<const res::ControlTemplate*, QWidget*>> built;
  built.reserve(dialogTemplate.controls.size());
  for (const res::ControlTemplate& control : dialogTemplate.controls) {
    built.emplace_back(&control, CreateControl(control, dialog));
  }

  // The template was laid out for a font whose captions run narrower than
  // most desktop fonts. Where a caption would be clipped, the horizontal unit
  // grows until every caption fits; all positions and sizes stay in dialog
  // units, so the layout keeps its proportions.
  const DialogUnits fontUnits(dialog->font());
  int baseX = fontUnits.baseX();
  for (const auto& [control, widget] : built) {
    if (control->w <= 0) continue;
    int needed = 0;
    switch (control->kind) {
      case res::ControlKind::StaticText:
        needed = widget->fontMetrics().horizontalAdvance(QString::fromUtf16(control->caption));
        break;
      case res::ControlKind::RadioButton:
      case res::ControlKind::CheckBox:
        needed = widget->sizeHint().width();
        break;
      default:
        break;
    }
    baseX = std::max(baseX, (needed * 4 + control->w - 1) / control->w);
  }
  const DialogUnits units(baseX, fontUnits.baseY());
  if (usedUnits != nullptr) *usedUnits = units;

  dialog->setWindowTitle(QString::fromUtf16(dialogTemplate.caption));
  dialog->setFixedSize(units.ToPixelsX(dialogTemplate.w), units.ToPixelsY(dialogTemplate.h));

  std::map<int, QWidget*> controls;
  QWidget* previousTabStop = nullptr;
  for (const auto& [control, widget] : built) {
    widget->setGeometry(units.ToPixels(control->x, control->y, control->w, control->h));
    widget->setProperty(kControlIdProperty, control->id);
    if (control->id != res::IDC_STATIC) {
      widget->setObjectName(QString::fromLatin1(control->name));
      assert(controls.count(control->id) == 0);
      controls[control->id] = widget;
    }
    if (control->style & res::kTabStop) {
      widget->setFocusPolicy(Qt::StrongFocus);
      if (previousTabStop != nullptr) QWidget::setTabOrder(previousTabStop, widget);
      previousTabStop = widget;
    } else {
      widget->setFocusPolicy(Qt::NoFocus);
    }
  }
  return controls;
}

}  // namespace app
