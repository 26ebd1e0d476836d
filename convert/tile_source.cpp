#include "convert/tile_source.h"

#include "convert/conversion_job.h"
#include "convert/layouts.h"
#include "convert/mbtiles_source.h"
#include "convert/verify_walk.h"

namespace convert {

namespace {

// A folder tree: the walks of the conversion job and of the check.
class FolderTreeSource : public TileSource {
 public:
  void Convert(ConversionJob& job, int pass) override { job.WalkFolder(job.sourceFolder, pass); }
  void ConvertPasses(ConversionJob& job) override { RunFolderPasses(job); }
  void Verify(VerifyJob& job) override { VerifyFolderTree(job); }
};

}  // namespace

void TileSource::ConvertPasses(ConversionJob& job) { RunPassesInTurn(job, *this); }

std::unique_ptr<TileSource> MakeTileSource(int layout) {
  if (layout == LayoutMbtiles) return std::make_unique<MbtilesSource>();
  return std::make_unique<FolderTreeSource>();
}

}  // namespace convert
