// Tile pictures for made-up source trees (the README's screenshot, the
// preview's benchmark): a flat coloured square with its key written in, the
// colour changing smoothly with the tile's place so that a tree looks like
// the patches of a map.
//
// Thread-safety: pure functions (Qt's painting on a QImage, any thread).
#pragma once

#include <QByteArray>
#include <QString>

namespace res_tools {

// The PNG of a `size` x `size` tile. `u` and `v` are the tile's centre in
// any plane units that change by about one per tile at the zoom shown;
// `label` is written in the middle, `source` (may be empty) under it.
QByteArray TilePicture(double u, double v, const QString& label, const QString& source, int size = 256);

}  // namespace res_tools
