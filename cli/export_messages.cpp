#include "cli/export_messages.h"

#include <cerrno>
#include <cstring>

#include "cli/command.h"
#include "convert/image_format.h"
#include "convert/layouts.h"

namespace cli {

namespace {

// "30 GeoKuk tiles, which ..." for a count that is not 0.
void AddPart(std::string* list, long long count, const std::string& what) {
  if (count == 0) return;
  if (!list->empty()) *list += "; ";
  *list += std::to_string(count) + " " + what;
}

std::string NotOfTargetText(int layout, bool toMbtiles) {
  if (toMbtiles) return "tiles of a named source (GeoKuk's grid), which an MBTiles file cannot hold";
  if (layout == convert::LayoutOsmTrackerStorage) return "tiles of a named source (GeoKuk's grid), not of --layout osm";
  return "tiles of the Web Mercator grid, not of --layout geokuk";
}

}  // namespace

std::string ExportSkipText(convert::ExportSkip why, bool toMbtiles, std::string_view detail) {
  switch (why) {
    case convert::ExportSkip::NotOfTarget:
      return toMbtiles ? "a tile of a named source (GeoKuk's grid); an MBTiles file holds Web Mercator tiles only"
                       : "not a tile of the layout asked for";
    case convert::ExportSkip::NoName:
      return "no file name of its layout reads back to this key (a '_' or \".kachle\" in the source name, a zoom "
             "level above 99, a negative x or y)";
    case convert::ExportSkip::OffGrid:
      return "not a tile of the Web Mercator grid of zoom levels 0 to 31";
    case convert::ExportSkip::NoKey:
      return "x, y or z is no whole number, or s holds no source";
    case convert::ExportSkip::NoImage:
      return "its image is NULL";
    case convert::ExportSkip::NotWritten:
      return "cannot be written: " + std::string(detail);
    case convert::ExportSkip::OutsideSelection:
      return "outside the selection";
  }
  return "";
}

Refusal ExportTargetRefusal(const convert::ExportOutcome& outcome, const std::string& map, const std::string& target) {
  Refusal refusal;
  refusal.exitCode = kExitBadInput;
  switch (outcome.refusal) {
    case convert::TargetRefusal::None:
      refusal.exitCode = kExitOk;
      break;
    case convert::TargetRefusal::SameFile:
      refusal.lines.push_back(Printable(target) + " is the map file " + Printable(map) + " itself; give another target");
      break;
    case convert::TargetRefusal::NotAFolder:
      refusal.lines.push_back(Printable(target) + " is a file, not a folder; --layout " +
                              (outcome.layout == convert::LayoutGeoKuk ? std::string("geokuk") : std::string("osm")) +
                              " writes a tile tree into a folder");
      break;
    case convert::TargetRefusal::CannotOpen:
      refusal.exitCode = kExitFailure;
      refusal.lines.push_back("cannot create the folder " + Printable(target) + ": " + std::strerror(outcome.targetError));
      break;
    case convert::TargetRefusal::Mbtiles:
      return MapRefusal(outcome.target, target, "MBTiles file");
  }
  return refusal;
}

std::string ExportSkippedText(const convert::ExportOutcome& outcome, bool listed) {
  const convert::ExportCounts& c = outcome.counts;
  std::string parts;
  AddPart(&parts, c.notOfTarget, NotOfTargetText(outcome.layout, outcome.toMbtiles));
  AddPart(&parts, c.noName, "whose key no file name of its layout reads back");
  AddPart(&parts, c.offGrid, "that are no tile of the Web Mercator grid of zoom levels 0 to 31");
  AddPart(&parts, c.noKey, "whose x, y or z is no whole number or whose s holds no source");
  AddPart(&parts, c.noImage, "without an image");
  AddPart(&parts, c.notWritten, "that could not be written");
  const long long skipped = c.Skipped();
  return "warning: " + std::to_string(skipped) + (skipped == 1 ? " row was" : " rows were") +
         " not exported: " + parts + (listed ? "" : " (--verbose lists them)");
}

std::string MixedFormatsText(const convert::ExportOutcome& outcome) {
  if (!outcome.toMbtiles) return "";
  std::string list;
  int kinds = 0;
  for (int f = 0; f < convert::kImageFormatCount; ++f) {
    if (outcome.formats[f] == 0) continue;
    ++kinds;
    const auto format = static_cast<convert::ImageFormat>(f);
    if (!list.empty()) list += ", ";
    list += std::to_string(outcome.formats[f]) + " " +
            (format == convert::ImageFormat::Unknown ? std::string("of no known format")
                                                     : std::string(convert::ImageExtension(format)));
  }
  if (kinds < 2) return "";
  return "warning: the tiles written have several formats (" + list + "); the metadata names " +
         convert::MbtilesFormatName(outcome.metadataFormat) + ", which readers may take for every tile";
}

std::string ExportStopAdvice(const convert::ExportOutcome& outcome, const std::string& map, const std::string& target) {
  if (outcome.mapReadFailed) {
    return "cannot read the tiles of " + Printable(map) + ": " + outcome.errorText + "; " + Printable(target) +
           " keeps every tile written before";
  }
  if (outcome.toMbtiles) {
    return DatabaseStopAdvice(outcome.errorCode, target, outcome.counts.written, outcome.fileSizeLimit,
                              outcome.rollbackLeft);
  }
  std::string what;
  switch (outcome.errorCode) {
    case ENOSPC:
    case EDQUOT:
      what = "free some space on its disk";
      break;
    case EROFS:
      what = "give a folder on a file system that can be written";
      break;
    case EIO:
      what = "mend the disk";
      break;
    default:
      what = "mend the cause";
      break;
  }
  return Printable(target) + " keeps every tile written before the error (" + std::to_string(outcome.counts.written) +
         " of this run); " + what + ", then run the same command again: it writes what is missing";
}

}  // namespace cli
