#include "store/mbtiles.h"

#include <cassert>

#include "store/map_file.h"

namespace store {

MbtilesRowFate MbtilesRowToKey(const MbtilesKey& row, TileKey* key) {
  assert(key != nullptr);
  if (!row.zoomInteger || row.zoom < 0 || row.zoom > kMbtilesMaxZoom) return MbtilesRowFate::ZoomDoesNotFit;
  const long long side = 1LL << row.zoom;
  if (!row.placeInteger || row.column < 0 || row.column >= side || row.row < 0 || row.row >= side) return MbtilesRowFate::OutsideRange;
  key->x = static_cast<int>(row.column);
  key->y = static_cast<int>(side - 1 - row.row);
  key->z = ZoomToZ(static_cast<int>(row.zoom));
  key->sourceIsText = false;
  key->source.clear();
  return MbtilesRowFate::Tile;
}

bool KeyToMbtilesRow(const TileKey& key, MbtilesKey* row) {
  assert(row != nullptr);
  if (key.sourceIsText) return false;
  const long long zoom = static_cast<long long>(ZToZoom(0)) - key.z;
  if (zoom < 0 || zoom > kMbtilesMaxZoom) return false;
  const long long side = 1LL << zoom;
  if (key.x < 0 || key.x >= side || key.y < 0 || key.y >= side) return false;
  row->zoomInteger = true;
  row->placeInteger = true;
  row->zoom = zoom;
  row->column = key.x;
  row->row = side - 1 - key.y;
  return true;
}

}  // namespace store
