#include "cli/help_text.h"

namespace cli {

const char kOverviewHelp[] = R"(usage: cvmap COMMAND [OPTIONS] ARGUMENTS
       cvmap COMMAND --help      the options and the output of one command
       cvmap --help | --version

Turns a folder of cached map tiles into one map file (.cvmap, an SQLite
database of tiles) for the Corvane map application, and checks the result.

commands:
  convert SOURCE MAP   store every tile of the folder SOURCE in the map MAP
  verify SOURCE MAP    check that MAP holds every tile of SOURCE, byte for byte
  probe SOURCE         tell the layout of the tiles in SOURCE
  create MAP           create an empty map file, or complete an existing one
  info MAP             show the tiles of a map file per zoom level and source

Messages go to stderr, results to stdout; a path in them has control
characters, backslashes and bytes that are no UTF-8 escaped (\n, \\, \xNN).
exit codes: 0 done; 1 failed (verify: a tile is missing or different);
            2 bad usage or bad input; 130 stopped by Ctrl-C
)";

const char kConvertHelp[] = R"(usage: cvmap convert SOURCE MAP [--layout auto|geokuk|osm] [-q] [-v]

Counts the files of the folder SOURCE, then stores every tile of its layout in
the map file MAP. MAP is created when it is missing or empty; a file that is
no map file is refused and left as it is. A tile whose key MAP already holds
is kept, not replaced. Running the same command again after a stop or an
error stores what is missing and completes the map.

options:
  --layout LAYOUT  the layout of SOURCE (default: auto)
                     auto    the one probe reports (the first file met)
                     geokuk  GeoKuk's cache: .kachle files below four levels
                             of folders named by two hex digits
                     osm     OSM Tracker Storage: ZOOM/X/Y.png or .jpg
  -q, --quiet      print nothing but errors: no progress, no summary, no
                   list (also with -v)
  -v, --verbose    list on stderr every file that is not stored, and why (not
                   a tile of the layout, already present, unreadable, too
                   large), and every folder that could not be read
  -h, --help       show this help

While it runs, a progress line is drawn on stderr when that is a terminal
(the rate and the time left once they can be measured). Ctrl-C stops at the
next file; what was stored stays. Another cvmap convert into the same MAP
waits until this one has ended. Programs that read MAP meanwhile see every
committed batch and wait (their busy timeout) at most about 2 s at a time.
On a FAT file system (most memory cards) a map stops at 4 GiB: cvmap says so
at the start, and when MAP reaches the largest file its file system (or
ulimit -f) allows it stops, says so and keeps every committed tile.

summary, one line on stdout:
  N files seen        files in SOURCE
  N tiles stored      tiles this run wrote to MAP
  N already present   tiles whose key MAP held already (the stored one stays)
  N not tiles         files that are no tile of the layout
  N unreadable        tiles that could not be read (permissions, not a file)
  N too large         tiles larger than SQLite stores (shown when not 0)
  N unreadable folders  folders that could not be listed (shown when not 0)
  in S s (R tiles/s)  the time of the whole run
After a stop the line begins with "stopped: REASON:" and adds
  N rolled back with the last batch  tiles a database error took back
  N not reached       files the run did not get to
so that the counts add up to the files seen.

exit codes: 0 done; 1 MAP cannot be written (read-only, another program is
  using it, full disk), a database error stopped the run, or no file of
  SOURCE is a tile of the layout; 2 bad usage, or a SOURCE or MAP that cannot
  be used; 130 stopped by Ctrl-C
)";

const char kVerifyHelp[] = R"(usage: cvmap verify SOURCE MAP [--layout auto|geokuk|osm] [-q] [-v]

Checks that the map file MAP holds every tile of the folder SOURCE with the
very same bytes, for instance before SOURCE is deleted. SOURCE is walked as
convert walks it (same order, same rules for what is a tile); MAP is opened
read-only and never changed.

options:
  --layout LAYOUT  the layout of SOURCE: auto (default), geokuk or osm, as for
                   convert
  -q, --quiet      print nothing but errors; the exit code tells the result
                   (no list, also with -v)
  -v, --verbose    list on stdout every file that is not found identical,
                   one line each: "missing: PATH", "different: PATH",
                   "unreadable: PATH", "too large: PATH", "not a tile: PATH",
                   "unreadable folder: PATH" (PATH relative to SOURCE)
  -h, --help       show this help

summary, one line on stdout:
  N files seen       files in SOURCE
  N tiles checked    tiles of the layout looked up in MAP, of which
    N identical      are held with the same bytes
    N missing        are not held (convert SOURCE MAP stores them)
    N different      are held with other bytes (another file of the same key
                     was stored first, or the file changed since)
  N not tiles        files that are no tile of the layout (never in MAP)
  N unreadable       tiles that could not be read
  N too large        tiles larger than SQLite stores (shown when not 0)
  N unreadable folders  folders that could not be listed (shown when not 0)
  in S s (R tiles/s) the time of the check
A line "verified: ..." follows when every tile is identical. After Ctrl-C
the summary begins with "stopped: interrupted:".

exit codes: 0 every tile of SOURCE is in MAP with the same bytes; 1 a tile is
  missing, different or unreadable, no file is a tile of the layout, or MAP
  could not be read (another program is using it); 2 bad usage, or a SOURCE
  or MAP that cannot be used; 130 stopped by Ctrl-C
)";

const char kProbeHelp[] = R"(usage: cvmap probe SOURCE

Tells the layout of the tiles in the folder SOURCE, as the window's automatic
detection sees it: the first file met going down the first subfolder of every
level decides; names beginning with "." (.nomedia, .DS_Store) are passed
over. Prints "GeoKuk" or "OSM Tracker Storage", or that SOURCE is empty.
When that file is no tile, it is named, and so is any subfolder one or two
levels down that holds tiles of a known layout (give that one instead).

options:
  -h, --help       show this help

exit codes: 0 a layout was detected, or SOURCE is accepted without one (it is
  empty, or its first folders hold no file); 1 SOURCE is refused; 2 bad usage,
  or SOURCE is not a folder
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

const char kInfoHelp[] = R"(usage: cvmap info MAP

Shows what the map file MAP holds: its tile count and image bytes in total,
per zoom level and per source. MAP is opened read-only; nothing is created.

options:
  -h, --help       show this help

exit codes: 0 done; 1 another program is using MAP; 2 bad usage, or MAP is
  missing, a folder or no map file
)";

}  // namespace cli
