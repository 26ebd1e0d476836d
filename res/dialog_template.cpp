#include "res/dialog_template.h"

#include "res/resource.h"

namespace res {
namespace {

constexpr unsigned kEdit = kTabStop | kBorder | kAutoHScroll;

constexpr ControlTemplate kMainControls[] = {
    {IDC_SOURCE_STATUS, "IDC_SOURCE_STATUS", ControlKind::StaticIcon, u"", 247, 20, 20, 20, kStyleNone},
    {IDC_TARGET_STATUS, "IDC_TARGET_STATUS", ControlKind::StaticIcon, u"", 247, 56, 20, 20, kStyleNone},
    {IDCANCEL, "IDCANCEL", ControlKind::PushButton, u"Zavřít", 263, 178, 50, 14, kTabStop},
    {IDC_STATIC, "", ControlKind::StaticText, u"Složka se zdrojovými kachlemi", 7, 7, 96, 8, kStyleNone},
    {IDC_SOURCE_PATH, "IDC_SOURCE_PATH", ControlKind::EditBox, u"", 7, 17, 238, 14, kEdit},
    {IDC_BROWSE_SOURCE, "IDC_BROWSE_SOURCE", ControlKind::PushButton, u"Vybrat", 263, 17, 50, 14, kTabStop},
    {IDC_STATIC, "", ControlKind::StaticText, u"Cílový soubor s mapou", 7, 41, 73, 8, kStyleNone},
    {IDC_TARGET_PATH, "IDC_TARGET_PATH", ControlKind::EditBox, u"", 7, 53, 238, 14, kEdit},
    {IDC_BROWSE_TARGET, "IDC_BROWSE_TARGET", ControlKind::PushButton, u"Vybrat", 263, 53, 50, 14, kTabStop},
    {IDC_STATIC, "", ControlKind::StaticText, u"Formát zdrojových kachlí", 7, 77, 80, 8, kStyleNone},
    {IDC_LAYOUT_GEOKUK, "IDC_LAYOUT_GEOKUK", ControlKind::RadioButton, u"GeoKuk", 101, 76, 40, 10,
     kTabStop | kGroupStart},
    {IDC_LAYOUT_OSM, "IDC_LAYOUT_OSM", ControlKind::RadioButton, u"OSM Tracker Storage", 146, 76, 84, 10,
     kTabStop},
    {IDC_CONVERT, "IDC_CONVERT", ControlKind::PushButton, u"Převést", 106, 103, 108, 22,
     kTabStop | kGroupStart},
    {IDC_PROGRESS, "IDC_PROGRESS", ControlKind::ProgressBar, u"", 7, 150, 306, 14, kBorder},
    {IDC_AUTO_DETECT, "IDC_AUTO_DETECT", ControlKind::CheckBox, u"Určit automaticky", 101, 89, 71, 10,
     kTabStop},
    {IDC_STATIC, "", ControlKind::StaticText, u"Počet kachlí ke zpracování:", 7, 135, 87, 8, kStyleNone},
    {IDC_TILE_COUNT, "IDC_TILE_COUNT", ControlKind::StaticText, u"0", 99, 135, 54, 8, kStyleNone},
    {IDC_CREATE_MAP, "IDC_CREATE_MAP", ControlKind::PushButton, u"Založit", 263, 67, 50, 14, kTabStop},
    {IDC_GEOKUK_FOLDER, "IDC_GEOKUK_FOLDER", ControlKind::PushButton, u"GeoKuk", 263, 32, 50, 14, kTabStop},
    {IDC_STATIC, "", ControlKind::StaticText, u"verze 0.3 alpha", 7, 184, 51, 8, kStyleNone},
};

constexpr DialogTemplate kMainDialog = {
    IDD_MAIN, u"Corvane Map Creator", 320, 200, kMainControls,
};

}  // namespace

const DialogTemplate& MainDialogTemplate() { return kMainDialog; }

}  // namespace res
