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

// Controls beside the template's: the job's speed, the preview and the
// selection.
inline constexpr int IDC_JOB_RATE = 1016;               // speed and time left, on the counter's line
inline constexpr int IDC_PREVIEW_VIEW = 1017;           // the map view
inline constexpr int IDC_PREVIEW_SHOW = 1018;           // combo box: source folder or map file
inline constexpr int IDC_PREVIEW_LAYER = 1019;          // combo box: the layer shown
inline constexpr int IDC_PREVIEW_FIT = 1020;            // "Celý rozsah": the whole extent
inline constexpr int IDC_PREVIEW_SELECT = 1021;         // tool button: drag selects an area
inline constexpr int IDC_PREVIEW_LEVELS = 1022;         // the zoom levels with their tile counts
inline constexpr int IDC_PREVIEW_LEVELS_NOTE = 1023;    // whether the counts are estimates
inline constexpr int IDC_PREVIEW_COVERAGE = 1024;       // the coverage of the level shown
inline constexpr int IDC_PREVIEW_COVERAGE_TEXT = 1025;  // its figures
inline constexpr int IDC_AREA_SOUTH = 1026;             // the area's four edges, degrees
inline constexpr int IDC_AREA_WEST = 1027;
inline constexpr int IDC_AREA_NORTH = 1028;
inline constexpr int IDC_AREA_EAST = 1029;
inline constexpr int IDC_AREA_CLEAR = 1030;             // "Zrušit oblast"
inline constexpr int IDC_ZOOM_FROM = 1031;              // "od": the lowest zoom level converted
inline constexpr int IDC_ZOOM_TO = 1032;                // "do": the highest
inline constexpr int IDC_SOURCES = 1033;                // the GeoKuk map sources' check boxes
inline constexpr int IDC_PREVIEW_STATUS = 1034;         // what the preview is doing

// Icons (Qt resource paths in icon_paths.h).
inline constexpr int IDI_APP = 128;        // application icon, several sizes
inline constexpr int IDI_READY = 129;      // 16 x 16, green circle, white tick
inline constexpr int IDI_NOT_READY = 130;  // 16 x 16, red circle, white cross

}  // namespace res
