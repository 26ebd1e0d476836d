#include "convert/preview_source.h"

#include "convert/layouts.h"
#include "convert/preview_tree_sources.h"

namespace convert {

std::unique_ptr<PreviewSource> OpenTreePreview(const std::string& folder, int layout) {
  switch (layout) {
    case LayoutGeoKuk:
      return MakeGeoKukTreePreview(folder);
    case LayoutOsmTrackerStorage:
      return MakeOsmTreePreview(folder);
    case LayoutTms:
      return MakeTmsTreePreview(folder);
    case LayoutMbtiles: {
      std::string why;
      return MakeMbtilesPreview(folder, &why);
    }
    default:
      return nullptr;
  }
}

}  // namespace convert
