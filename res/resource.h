// Resource ids of the window: the dialog template, its controls, the icons and
// the string table. The numbers are the window's public ids: tests find the
// controls by them, and they never change.
//
// Thread-safety: constants only.
#pragma once

namespace res {

// Dialog template.
inline constexpr int IDD_MAIN = 102;  // the main dialog

// Controls of IDD_MAIN.
inline constexpr int IDC_STATIC = -1;            // unnamed static texts
inline constexpr int IDCANCEL = 2;               // "Zavřít": the close command
inline constexpr int IDC_SOURCE_PATH = 1000;     // source folder box
inline constexpr int IDC_BROWSE_SOURCE = 1001;   // folder chooser
inline constexpr int IDC_TARGET_PATH = 1002;     // target file box
inline constexpr int IDC_BROWSE_TARGET = 1003;   // file chooser
inline constexpr int IDC_LAYOUT_GEOKUK = 1004;   // radio button, layout 0
inline constexpr int IDC_LAYOUT_OSM = 1005;      // radio button, layout 1
inline constexpr int IDC_CONVERT = 1006;         // convert / stop
inline constexpr int IDC_PROGRESS = 1008;        // progress bar
inline constexpr int IDC_TARGET_STATUS = 1009;   // map file indicator
inline constexpr int IDC_SOURCE_STATUS = 1010;   // source folder indicator
inline constexpr int IDC_AUTO_DETECT = 1012;     // check box: detect the layout
inline constexpr int IDC_TILE_COUNT = 1013;      // counter text
inline constexpr int IDC_CREATE_MAP = 1014;      // "Založit"
inline constexpr int IDC_GEOKUK_FOLDER = 1015;   // "GeoKuk": GeoKuk's cache folder

// Icons (Qt resource paths in icon_paths.h).
inline constexpr int IDI_APP = 128;        // application icon, several sizes
inline constexpr int IDI_READY = 129;      // 16 x 16, green circle, white tick
inline constexpr int IDI_NOT_READY = 130;  // 16 x 16, red circle, white cross

}  // namespace res
