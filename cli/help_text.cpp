#include "cli/help_text.h"

// The selection options, as convert, verify, export and extract explain them.
#define SELECTION_HELP \
  "selection (they combine: a tile is taken when each one given takes it):\n" \
  "  --zoom LEVELS    zoom levels as the file names carry them, one or two digits:\n" \
  "                   12-16, or 8,10,12-15\n" \
  "  --source NAMES   GeoKuk map sources, exact: turist,relief_l (OSM Tracker\n" \
  "                   Storage tiles have none and are never left out by it)\n" \
  "  --area S,W,N,E   an area in WGS84 degrees: south,west,north,east, e.g.\n" \
  "                   49.5,14.2,50.3,15.0; a tile is taken when its square and\n" \
  "                   the area overlap, a shared edge or corner included. For\n" \
  "                   Web Mercator tiles the latitudes must lie within +-85.05113\n"

namespace cli {

const char kOverviewHelp[] = R"(usage: cvmap COMMAND [OPTIONS] ARGUMENTS
       cvmap COMMAND --help      the options and the output of one command
       cvmap --help | --version

Turns a folder of cached map tiles (a GeoKuk cache, a ZOOM/X/Y tree numbered
from the north or, with --layout tms, from the south) or an MBTiles file into
one map file (.cvmap, an SQLite database of tiles) for the Corvane map
application, checks the result, and writes a map's tiles back out.

commands:
  convert SOURCE MAP   store every tile of SOURCE (a folder or an MBTiles file)
                       in the map MAP
  verify SOURCE MAP    check that MAP holds every tile of SOURCE, byte for byte
  export MAP TARGET    write the tiles of MAP to a tile tree or an MBTiles file
  extract MAP NEWMAP   copy the tiles of MAP that a selection takes into NEWMAP
  probe SOURCE         tell the layout of the tiles in SOURCE
  create MAP           create an empty map file, or complete an existing one
  info MAP             show the tiles of a map file per zoom level and source,
                       and the area each zoom level covers

convert, verify, export and extract take a selection: --zoom LEVELS,
--source NAMES, --area SOUTH,WEST,NORTH,EAST (see their --help).

Messages go to stderr, results to stdout; a path in them has control
characters, backslashes and bytes that are no UTF-8 escaped (\n, \\, \xNN).
exit codes: 0 done; 1 failed (verify: a tile is missing or different);
            2 bad usage or bad input; 130 stopped by Ctrl-C
)";

const char kConvertHelp[] = R"(usage: cvmap convert SOURCE MAP [--layout auto|geokuk|osm|tms|mbtiles]
                     [--zoom LEVELS] [--source NAMES] [--area S,W,N,E] [-q] [-v]

Counts the files of the folder SOURCE, then stores every tile of its layout in
the map file MAP; or, when SOURCE is an MBTiles file, counts its rows and
stores every tile of it. MAP is created when it is missing or empty; a file
that is no map file is refused and left as it is. A tile whose key MAP already
holds is kept, not replaced. Running the same command again after a stop or
an error stores what is missing and completes the map. With a selection only
the tiles it takes are stored; the others are never opened or read.

options:
  --layout LAYOUT  the layout of SOURCE (default: auto)
                     auto    the one probe reports (the first file met)
                     geokuk  GeoKuk's cache: .kachle files below four levels
                             of folders named by two hex digits
                     osm     OSM Tracker Storage: ZOOM/X/Y.png or .jpg
                     tms     the same paths, rows numbered from the south (the
                             common tile cutter's trees, which hold a
                             tilemapresource.xml); never detected by auto
                     mbtiles an MBTiles file (auto knows one by its content):
                             row R of zoom Z is stored as y = 2^Z - 1 - R;
                             rows without tile_data, outside their zoom level
                             or of a zoom level beyond 0-31 are not tiles
  -q, --quiet      print nothing but errors: no progress, no summary, no
                   list (also with -v)
  -v, --verbose    list on stderr every file (or row) that is not stored, and
                   why (not a tile of the layout, already present, unreadable,
                   too large, outside the selection), and every folder that
                   could not be read
  -h, --help       show this help

)" SELECTION_HELP R"(
While it runs, a progress line is drawn on stderr when that is a terminal
(the rate and the time left once they can be measured). Ctrl-C stops at the
next file; what was stored stays. Another cvmap convert into the same MAP
waits until this one has ended. Programs that read MAP meanwhile see every
committed batch and wait (their busy timeout) at most about 2 s at a time.
On a FAT file system (most memory cards) a map stops at 4 GiB: cvmap says so
at the start, and when MAP reaches the largest file its file system (or
ulimit -f) allows it stops, says so and keeps every committed tile.

summary, one line on stdout:
  N files seen        files in SOURCE ("rows seen" for an MBTiles file)
  N tiles stored      tiles this run wrote to MAP
  N already present   tiles whose key MAP held already (the stored one stays)
  N not tiles         files that are no tile of the layout
  N unreadable        tiles that could not be read (permissions, not a file)
  N too large         tiles larger than SQLite stores (shown when not 0)
  N unreadable folders  folders that could not be listed (shown when not 0)
  N outside the selection  tiles the selection left out (with a selection)
  in S s (R tiles/s)  the time of the whole run
After a stop the line begins with "stopped: REASON:" and adds
  N rolled back with the last batch  tiles a database error took back
  N not reached       files the run did not get to
so that the counts add up to the files seen.

exit codes: 0 done; 1 MAP cannot be written (read-only, another program is
  using it, full disk), a database error stopped the run, no file of SOURCE
  is a tile of the layout, or the selection takes no tile; 2 bad usage, a bad
  selection, or a SOURCE or MAP that cannot be used (nothing is created);
  130 stopped by Ctrl-C
)";

const char kVerifyHelp[] = R"(usage: cvmap verify SOURCE MAP [--layout auto|geokuk|osm|tms|mbtiles]
                    [--zoom LEVELS] [--source NAMES] [--area S,W,N,E] [-q] [-v]

Checks that the map file MAP holds every tile of SOURCE (a folder, or an
MBTiles file, whose rows are read as convert reads them) with the very same
bytes, for instance before SOURCE is deleted. SOURCE is walked as convert
walks it (same order, same rules for what is a tile); MAP is opened read-only
and never changed. With a selection only the tiles it takes are checked (a
map made by extract or by a convert with the same selection).

options:
  --layout LAYOUT  the layout of SOURCE: auto (default), geokuk, osm, tms or
                   mbtiles, as for convert
  -q, --quiet      print nothing but errors; the exit code tells the result
                   (no list, also with -v)
  -v, --verbose    list on stdout every file that is not found identical,
                   one line each: "missing: PATH", "different: PATH",
                   "unreadable: PATH", "too large: PATH", "not a tile: PATH",
                   "unreadable folder: PATH", "outside the selection: PATH"
                   (PATH relative to SOURCE)
  -h, --help       show this help

)" SELECTION_HELP R"(
summary, one line on stdout:
  N files seen       files in SOURCE ("rows seen" for an MBTiles file)
  N tiles checked    tiles of the layout looked up in MAP, of which
    N identical      are held with the same bytes
    N missing        are not held (convert SOURCE MAP stores them)
    N different      are held with other bytes (another file of the same key
                     was stored first, or the file changed since)
  N not tiles        files that are no tile of the layout (never in MAP)
  N unreadable       tiles that could not be read
  N too large        tiles larger than SQLite stores (shown when not 0)
  N unreadable folders  folders that could not be listed (shown when not 0)
  N outside the selection  tiles not checked (with a selection)
  in S s (R tiles/s) the time of the check
A line "verified: ..." follows when every tile is identical. After Ctrl-C
the summary begins with "stopped: interrupted:".

exit codes: 0 every tile of SOURCE (that the selection takes) is in MAP with
  the same bytes; 1 a tile is missing, different or unreadable, no file is a
  tile of the layout, the selection takes no tile, or MAP could not be read
  (another program is using it); 2 bad usage, a bad selection, or a SOURCE or
  MAP that cannot be used; 130 stopped by Ctrl-C
)";

const char kExportHelp[] = R"(usage: cvmap export MAP TARGET [--layout osm|geokuk|mbtiles] [--zoom LEVELS]
                    [--source NAMES] [--area S,W,N,E] [-q] [-v]

Writes the tiles of the map file MAP back out, to a tile tree or to an MBTiles
file, for a program that reads those or to get a deleted cache back. MAP is
opened read-only and never changed; the image bytes are written unchanged.

A folder TARGET (created when missing) gets one file a tile, in the layout of
the tile's grid, so that cvmap convert and verify read it back to its key:
  Web Mercator tiles   ZOOM/X/Y.png or .jpg by the image's first bytes; GIF
                       and WebP images keep .gif and .webp (which the osm
                       layout does not read), any other bytes .png
  GeoKuk tiles         XX/YY/xx/yy/SOURCE_ZOOM_X_Y.kachle, X and Y in hex
A file that exists is never replaced (counted "already present"), and no
file ever holds part of a tile under a tile's name, even after Ctrl-C or a
crash. An MBTiles TARGET (--layout mbtiles, a name ending in .mbtiles, or a
file that exists) gets the Web Mercator tiles, rows numbered from the south,
and its metadata (name, format, bounds, minzoom, maxzoom); it is created when
missing or empty, added to when it is an MBTiles file, refused otherwise.

options:
  --layout LAYOUT  what TARGET is (default: by its name, as above)
                     osm      a folder of the Web Mercator tiles only
                     geokuk   a folder of the GeoKuk tiles only
                     mbtiles  an MBTiles file
  -q, --quiet      print nothing but errors: no progress, no summary
  -v, --verbose    list on stderr every row that is not exported, and why
  -h, --help       show this help

)" SELECTION_HELP R"(
summary, one line on stdout:
  N rows read         rows of MAP
  N tiles written     tiles this run wrote to TARGET
  N already present   tiles TARGET held already (they stay as they are)
  N skipped           rows with no place in TARGET: GeoKuk tiles in an MBTiles
                      file or outside --layout, keys that no file name of
                      their layout reads back (a '_' in a source name, a zoom
                      above 99), rows without an image, files that could not
                      be written; a warning line names them
  N outside the selection  rows the selection left out (with a selection)
  in S s (R tiles/s)  the time of the whole run
After a stop the line begins with "stopped: REASON:" and adds
  N rolled back with the last batch  tiles the failure took back
  N not reached       rows the run did not get to
so that the counts add up to the rows read.

exit codes: 0 done; 1 TARGET cannot be written (read-only, another program is
  using it, full disk), a failure stopped the run, a file could not be
  written, no row of MAP could be exported, or the selection takes none; 2
  bad usage, a bad selection, or a MAP or TARGET that cannot be used; 130
  stopped by Ctrl-C
)";

const char kProbeHelp[] = R"(usage: cvmap probe SOURCE

Tells the layout of the tiles in the folder SOURCE, as the window's automatic
detection sees it: the first file met going down the first subfolder of every
level decides; names beginning with "." (.nomedia, .DS_Store) are passed
over. Prints "GeoKuk" or "OSM Tracker Storage", or that SOURCE is empty.
When that file is no tile, it is named, and so is any subfolder one or two
levels down that holds tiles of a known layout (give that one instead).
A SOURCE that is a file prints "MBTiles" when its content is an MBTiles file.
TMS trees cannot be told from OSM Tracker Storage by their names; a warning
says so when SOURCE holds a tilemapresource.xml (then give --layout tms).

options:
  -h, --help       show this help

exit codes: 0 a layout was detected, or SOURCE is accepted without one (it is
  empty, or its first folders hold no file); 1 SOURCE is refused; 2 bad usage,
  or SOURCE is neither a folder nor an MBTiles file
)";

const char kCreateHelp[] = R"(usage: cvmap create MAP

Creates an empty map file MAP, or completes an existing one: the two tables
are created where they are missing, so every tile of an existing map stays. A
file that is not an SQLite database is left byte for byte as it was (SQLite's
messages say why).

options:
  -h, --help       show this help

exit codes: 0 MAP is a map file; 1 MAP cannot be created (its folder is
  missing or not writable) or a statement failed; 2 bad usage, or MAP is a
  folder or no map file
)";

const char kInfoHelp[] = R"(usage: cvmap info MAP [--json]

Shows what the map file MAP holds: its tile count and image bytes in total,
per zoom level and per source, and then per zoom level and grid where its
tiles lie: the range of x and y and the area they cover, in degrees
south,west,north,east (5 decimals, rounded outward: given to extract --area,
it takes every tile of that level). A text s is a GeoKuk source (x and y in
GeoKuk's units), a number a Web Mercator tile (column and row). MAP is opened
read-only; nothing is created.

  extent by zoom level:
    zoom 13 (z 4) GeoKuk: 2 tiles, x 127762432-127795200,
      y 136642560-136642560, area 50.24642,12.09004,50.25634,12.11930
      (one line each)
  1 rows cannot be placed (x, y or z is no whole number, or s neither a text
  nor a number); shown only when there are any

options:
  --json           print the same as one JSON object instead: "map",
                   "tiles", "imageBytes", "levels" (z, zoom, tiles,
                   imageBytes), "sources" (s, tiles), "extents" (z, zoom,
                   grid "geokuk" or "webmercator", tiles, x and y as [min,
                   max], area {south, west, north, east} or null) and
                   "unplaced"
  -h, --help       show this help

exit codes: 0 done; 1 another program is using MAP; 2 bad usage, or MAP is
  missing, a folder or no map file
)";

const char kExtractHelp[] = R"(usage: cvmap extract MAP NEWMAP [--zoom LEVELS] [--source NAMES]
                     [--area S,W,N,E] [-q]

Copies the tiles of the map file MAP that the selection takes into the map
file NEWMAP, row for row (key and image as MAP holds them): a trip-sized map
out of a big one. MAP is opened read-only and never changed; MAP and NEWMAP
must be different files. NEWMAP is created when it is missing or empty; a
file that is no map file is refused and left as it is. A tile whose key
NEWMAP holds already is kept, not replaced. A row whose s is a text is a
GeoKuk tile (x and y in GeoKuk's units), one whose s is a number a Web
Mercator tile (column and row); cvmap info MAP shows the area of each zoom
level. Running the same command again after a stop or an error copies what
is missing.

options:
  -q, --quiet      print nothing but errors: no progress, no summary
  -h, --help       show this help

)" SELECTION_HELP R"(
While it runs, a progress line is drawn on stderr when that is a terminal.
Ctrl-C stops at the next tile; what was copied stays.

summary, one line on stdout:
  N rows in the map        rows of MAP
  N copied                 rows this run wrote to NEWMAP
  N already present        rows whose key NEWMAP held already (it stays)
  N outside the selection  rows the selection left out
  in S s (R tiles/s)       the time of the whole run
After a stop the line begins with "stopped: REASON:" and adds
  N rolled back with the last batch  rows a database error took back
  N not reached            selected rows the run did not get to
so that the counts add up to the rows in the map.

exit codes: 0 done; 1 NEWMAP cannot be written (read-only, another program is
  using it, full disk), a database error stopped the run, MAP could not be
  read, or the selection takes no tile (NEWMAP is then left as it was); 2 bad
  usage, a bad selection, MAP and NEWMAP the same file, or a MAP or NEWMAP
  that is no map file (nothing is created); 130 stopped by Ctrl-C
)";

}  // namespace cli
