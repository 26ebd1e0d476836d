// TileSource: where the tiles of a conversion or of a check come from. The
// conversion job (conversion_job.h) and the check (verify_walk.h) run every
// pass through the source their layout picks, and never ask which it is:
//
//   folder tree   GeoKuk, OSM Tracker Storage, TMS (and any value that is
//                 no layout, which finds no tile): the files of the tree in
//                 walk order, one group a folder
//   MBTiles file  LayoutMbtiles (mbtiles_source.h): the rows of the file in
//                 key order, one group a run of rows
//
// Both hand their tiles to the same steps: ConvertingPassScope
// (conversion_pass.h) stores them, TileChecker (verify_walk.h) compares
// them. A source counts its items (files, rows) as the job's file count,
// so the progress and the summaries count what the source holds.
//
// Thread-safety: a source is made and used on the thread that runs the job.
#pragma once

#include <memory>

namespace convert {

struct ConversionJob;
struct VerifyJob;

class TileSource {
 public:
  virtual ~TileSource() = default;

  // One pass of the conversion job over the source (CountingPass,
  // ConvertingPass, conversion_job.h): the counting pass counts the items
  // into job.fileCount and posts NotifyCounted; the converting pass stores
  // every tile and posts NotifyConverted at the end of each group. A stop
  // request is read after every item.
  virtual void Convert(ConversionJob& job, int pass) = 0;

  // Both passes of the conversion job, as RunConversion runs them. By
  // default the counting pass, then (unless stopped) the converting pass,
  // one after the other; a folder tree lets the two walks overlap.
  virtual void ConvertPasses(ConversionJob& job);

  // The whole check: the counting pass when job.countFirst, then the
  // checking pass.
  virtual void Verify(VerifyJob& job) = 0;
};

// The source of `layout`, reading the job's sourceFolder.
std::unique_ptr<TileSource> MakeTileSource(int layout);

}  // namespace convert
