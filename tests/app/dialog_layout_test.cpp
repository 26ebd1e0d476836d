#include <gtest/gtest.h>

#include <QDialog>
#include <QAbstractButton>
#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <set>

#include "app/dialog_builder.h"
#include "res/dialog_template.h"
#include "res/resource.h"

namespace {

using app::DialogUnits;

// LAYOUT-1: dialog units: quarters of the average character width, eighths
// of the character height, rounded to the nearest pixel.
TEST(DialogUnits, ConvertsWithRounding) {
  const DialogUnits units(6, 13);
  EXPECT_EQ(units.ToPixelsX(4), 6);
  EXPECT_EQ(units.ToPixelsX(320), 480);
  EXPECT_EQ(units.ToPixelsX(1), 2);  // 1.5
  EXPECT_EQ(units.ToPixelsY(8), 13);
  EXPECT_EQ(units.ToPixelsY(200), 325);
  EXPECT_EQ(units.ToPixelsY(3), 5);  // 4.875
  EXPECT_EQ(units.ToPixels(7, 17, 238, 14), QRect(11, 28, 357, 23));

  QFont font;
  font.setPixelSize(20);
  const DialogUnits fromFont(font);
  EXPECT_EQ(fromFont.baseY(), QFontMetrics(font).height());
  EXPECT_GT(fromFont.baseX(), 0);
  EXPECT_LT(fromFont.baseX(), fromFont.baseY());
}

// LAYOUT-2: every control of the template is built once, named by its id,
// placed where the template puts it, and the window has the template's size.
TEST(BuildControls, PlacesEveryControlOfTheTemplate) {
  QDialog dialog;
  const res::DialogTemplate& t = res::MainDialogTemplate();
  DialogUnits units(0, 0);
  const auto controls = app::BuildControls(&dialog, t, &units);
  EXPECT_GE(units.baseX(), DialogUnits(dialog.font()).baseX());
  EXPECT_EQ(units.baseY(), DialogUnits(dialog.font()).baseY());

  EXPECT_EQ(dialog.windowTitle(), "Corvane Map Creator");
  EXPECT_EQ(dialog.size(), QSize(units.ToPixelsX(320), units.ToPixelsY(200)));
  EXPECT_EQ(controls.size(), 15u);
  EXPECT_EQ(t.controls.size(), 20u);

  QStringList staticTexts;
  for (const res::ControlTemplate& c : t.controls) {
    const QRect expected = units.ToPixels(c.x, c.y, c.w, c.h);
    if (c.id == res::IDC_STATIC) {
      bool found = false;
      for (QLabel* label : dialog.findChildren<QLabel*>()) {
        if (label->geometry() == expected && label->text() == QString::fromUtf16(c.caption)) found = true;
      }
      EXPECT_TRUE(found) << QString::fromUtf16(c.caption).toStdString();
      staticTexts << QString::fromUtf16(c.caption);
      continue;
    }
    auto it = controls.find(c.id);
    ASSERT_NE(it, controls.end()) << c.id;
    EXPECT_EQ(it->second->geometry(), expected) << c.name;
    EXPECT_EQ(it->second->objectName(), QString::fromLatin1(c.name));
    EXPECT_EQ(it->second->property(app::kControlIdProperty).toInt(), c.id);
  }
  EXPECT_EQ(staticTexts, (QStringList{"Složka se zdrojovými kachlemi", "Cílový soubor s mapou",
                                      "Formát zdrojových kachlí", "Počet kachlí ke zpracování:",
                                      "verze 0.3 alpha"}));
  auto* convert = qobject_cast<QPushButton*>(controls.at(res::IDC_CONVERT));
  ASSERT_NE(convert, nullptr);
  EXPECT_EQ(convert->text(), QString::fromUtf8("Převést"));
  EXPECT_EQ(qobject_cast<QLabel*>(controls.at(res::IDC_TILE_COUNT))->text(), "0");
}

// LAYOUT-4: no caption is clipped, whatever the desktop font: every static
// text, radio button and check box is as wide as its text needs, also with a
// font much wider than the template's.
TEST(BuildControls, CaptionsFitTheirControls) {
  for (int pixelSize : {11, 13, 17}) {
    QDialog dialog;
    QFont font = dialog.font();
    font.setPixelSize(pixelSize);
    font.setLetterSpacing(QFont::PercentageSpacing, 115);
    dialog.setFont(font);
    app::BuildControls(&dialog, res::MainDialogTemplate());
    for (QLabel* label : dialog.findChildren<QLabel*>()) {
      EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text()))
          << label->text().toStdString() << " at " << pixelSize << " px";
    }
    for (QAbstractButton* button : dialog.findChildren<QAbstractButton*>()) {
      if (qobject_cast<QPushButton*>(button)) continue;
      EXPECT_GE(button->width(), button->sizeHint().width()) << button->text().toStdString();
    }
  }
}

// LAYOUT-3: Tab walks the tab stops in template order; no push button is a
// default button, or becomes one when focused.
TEST(BuildControls, TabOrderAndNoDefaultButton) {
  QDialog dialog;
  const auto controls = app::BuildControls(&dialog, res::MainDialogTemplate());
  std::map<QWidget*, int> idOf;
  for (const auto& [id, widget] : controls) idOf[widget] = id;

  std::vector<int> order;
  QWidget* w = controls.at(res::IDCANCEL);
  std::set<QWidget*> seen;
  while (w != nullptr && seen.insert(w).second) {
    if ((w->focusPolicy() & Qt::TabFocus) && idOf.count(w)) order.push_back(idOf[w]);
    w = w->nextInFocusChain();
  }
  EXPECT_EQ(order, (std::vector<int>{res::IDCANCEL, res::IDC_SOURCE_PATH, res::IDC_BROWSE_SOURCE,
                                     res::IDC_TARGET_PATH, res::IDC_BROWSE_TARGET, res::IDC_LAYOUT_GEOKUK,
                                     res::IDC_LAYOUT_OSM, res::IDC_CONVERT, res::IDC_AUTO_DETECT,
                                     res::IDC_CREATE_MAP, res::IDC_GEOKUK_FOLDER}));
  const auto buttons = dialog.findChildren<QPushButton*>();
  EXPECT_EQ(buttons.size(), 6);
  for (QPushButton* button : buttons) {
    EXPECT_FALSE(button->isDefault()) << button->objectName().toStdString();
    EXPECT_FALSE(button->autoDefault()) << button->objectName().toStdString();
  }
  EXPECT_EQ(controls.at(res::IDC_PROGRESS)->focusPolicy(), Qt::NoFocus);
}

}  // namespace
