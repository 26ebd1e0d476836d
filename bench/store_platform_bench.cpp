// Throughput of the map store's tile insert and of folder enumeration, the
// two costs that dominate a conversion besides pattern matching.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/folder_search.h"
#include "store/map_file.h"
#include "store/sqlite_database.h"
#include "store/tile_inserter.h"

namespace {

std::string MakeTempFolder() {
  std::string pattern = "/tmp/corvane-bench-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) std::abort();
  return pattern;
}

// Inserts state.range(0) tiles of 4 KiB per iteration, in one transaction, as
// the converting pass does for the tiles of one folder.
void BM_InsertTileInTransaction(benchmark::State& state) {
  const std::string folder = MakeTempFolder();
  SQLite::Database db;
  if (!store::CreateMapFileNative(db, folder + "/bench.cvmap")) std::abort();
  const std::vector<unsigned char> image(4096, 0x5a);
  store::TileInserter inserter(db);
  store::TileKey key;
  key.z = 2;
  key.sourceIsText = true;
  key.source = u"base_n";
  int next = 0;
  for (auto _ : state) {
    db.exec(SQLite::kBeginTransactionSql);
    for (int i = 0; i < state.range(0); ++i, ++next) {
      key.x = next;
      key.y = next / 256;
      inserter.Insert(key, image);
    }
    db.exec(SQLite::kCommitSql);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.SetBytesProcessed(state.iterations() * state.range(0) * static_cast<int64_t>(image.size()));
  db.close();
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_InsertTileInTransaction)->Arg(256);

// Enumerates a folder of 2000 files, with sizes (a stat per file) or kinds
// only (readdir alone), as the converting and the counting pass need.
void EnumerateFolder(benchmark::State& state, platform::EntryDetail detail) {
  const std::string folder = MakeTempFolder();
  for (int i = 0; i < 2000; ++i) std::ofstream(folder + "/" + std::to_string(i) + ".png") << "tile";
  platform::FolderSearch search;
  platform::FolderEntry entry;
  for (auto _ : state) {
    if (!search.Open(folder, detail)) std::abort();
    int n = 0;
    while (search.Next(&entry)) ++n;
    benchmark::DoNotOptimize(n);
  }
  state.SetItemsProcessed(state.iterations() * 2002);
  search.Close();
  std::filesystem::remove_all(folder);
}
void BM_FolderSearchFull(benchmark::State& state) { EnumerateFolder(state, platform::EntryDetail::Full); }
void BM_FolderSearchKindOnly(benchmark::State& state) {
  EnumerateFolder(state, platform::EntryDetail::KindOnly);
}
BENCHMARK(BM_FolderSearchFull);
BENCHMARK(BM_FolderSearchKindOnly);

}  // namespace
