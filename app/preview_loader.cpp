#include "app/preview_loader.h"

#include <QBuffer>
#include <QImageReader>
#include <QMetaType>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>

namespace app {

namespace {

// How much less the count thread gets of a busy processor than the others.
constexpr int kCountNiceness = 10;

// An image larger than this on a side is no tile: it is not decoded.
constexpr int kLargestTileSide = 4096;

// Decodes a tile image into the form the view draws fastest, no larger than
// `pixels` on a side; *whole tells whether it kept its own size.
QImage Decode(const std::vector<unsigned char>& bytes, int pixels, bool* whole) {
  QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
  QBuffer buffer(&data);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  const QSize size = reader.size();
  if (size.isValid() && (size.width() > kLargestTileSide || size.height() > kLargestTileSide)) return {};
  *whole = true;
  if (size.isValid() && (size.width() > pixels || size.height() > pixels)) {
    reader.setScaledSize(size.scaled(pixels, pixels, Qt::KeepAspectRatio));
    *whole = false;
  }
  QImage image = reader.read();
  if (image.isNull()) return image;
  return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

}  // namespace

PreviewLoader::PreviewLoader(QObject* parent) : QObject(parent) {
  qRegisterMetaType<app::IndexPtr>("app::IndexPtr");
  qRegisterMetaType<app::CountPtr>("app::CountPtr");
  qRegisterMetaType<convert::PreviewTile>("convert::PreviewTile");
  indexThread_ = std::thread([this] { IndexThread(); });
  countThread_ = std::thread([this] { CountThread(); });
  tileThread_ = std::thread([this] { TileThread(); });
}

PreviewLoader::~PreviewLoader() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ending_ = true;
  }
  indexStop_ = 1;
  countStop_ = 1;
  tileStop_ = 1;
  wake_.notify_all();
  indexThread_.join();
  countThread_.join();
  tileThread_.join();
}

int PreviewLoader::Open(const PreviewTarget& target) {
  target_ = target;
  ++generation_;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    // Ends the old generation's index or count at once; set under the lock,
    // so that the index thread clears it only for the new generation.
    indexStop_ = 1;
    countStop_ = 1;
    pendingTarget_ = target;
    pendingGeneration_ = generation_;
    wanted_.clear();
    wishGeneration_ = generation_;
  }
  wake_.notify_all();
  return generation_;
}

void PreviewLoader::Want(std::vector<convert::PreviewTile> tiles, int pixels) {
  std::reverse(tiles.begin(), tiles.end());  // the worker pops the most wanted from the back
  {
    std::lock_guard<std::mutex> lock(mutex_);
    wanted_ = std::move(tiles);
    wishGeneration_ = generation_;
    wishPixels_ = pixels;
  }
  wake_.notify_all();
}

void PreviewLoader::SetPaused(bool paused) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    paused_ = paused;
    if (paused) {
      tileStop_ = 1;   // a wait for the map file's lock ends at once
      countStop_ = 1;  // a count that runs stops, and starts again after the pause
    }
  }
  wake_.notify_all();
}

std::unique_ptr<convert::PreviewSource> PreviewLoader::OpenSource(const PreviewTarget& target, std::string* why) {
  switch (target.kind) {
    case PreviewTarget::Tree:
      return convert::OpenTreePreview(target.path, target.layout);
    case PreviewTarget::MapFile:
      return convert::OpenMapPreview(target.path, why);
    case PreviewTarget::None:
      break;
  }
  return nullptr;
}

void PreviewLoader::IndexThread() {
  int doneGeneration = 0;  // the last generation this thread has taken
  while (true) {
    PreviewTarget target;
    int generation = 0;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [&] { return ending_ || pendingGeneration_ != doneGeneration; });
      if (ending_) return;
      target = pendingTarget_;
      generation = pendingGeneration_;
      doneGeneration = generation;
      indexStop_ = 0;  // under the lock: a later Open() sets it again after this
    }
    std::string why;
    std::unique_ptr<convert::PreviewSource> source = OpenSource(target, &why);
    if (!source) {
      emit indexReady(generation, std::make_shared<convert::PreviewIndex>(), target.kind == PreviewTarget::None,
                      QString::fromStdString(why));
      continue;
    }
    source->SetStop(&indexStop_);
    // A map file is not read while a conversion may write it.
    if (target.kind == PreviewTarget::MapFile) {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [&] { return ending_ || !paused_ || pendingGeneration_ != generation; });
      if (ending_ || pendingGeneration_ != generation) continue;
    }
    auto index = std::make_shared<convert::PreviewIndex>(source->QuickIndex());
    if (indexStop_.load() != 0) continue;
    emit indexReady(generation, index, true, QString());
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (pendingGeneration_ == generation) countGeneration_ = generation;
    }
    wake_.notify_all();
  }
}

void PreviewLoader::CountThread() {
  // Only this thread's priority is lowered: its id is the thread's own.
  setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), kCountNiceness);
  int doneGeneration = 0;  // the last generation this thread has taken
  while (true) {
    PreviewTarget target;
    int generation = 0;
    {
      // The count waits while a conversion runs.
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [&] {
        return ending_ || (countGeneration_ != doneGeneration && countGeneration_ == pendingGeneration_ && !paused_);
      });
      if (ending_) return;
      target = pendingTarget_;
      generation = countGeneration_;
      doneGeneration = generation;
      countStop_ = 0;  // under the lock: a later Open() sets it again after this
    }
    std::string why;
    std::unique_ptr<convert::PreviewSource> source = OpenSource(target, &why);
    if (!source) continue;
    source->SetStop(&countStop_);
    auto count = std::make_shared<convert::PreviewCount>();
    const bool counted = source->Count(
        [this, generation](long long tiles) { emit countProgress(generation, tiles); }, count.get());
    if (counted && countStop_.load() == 0) {
      emit countReady(generation, count);
      continue;
    }
    // A count a pause broke off is begun again once the pause ends.
    std::lock_guard<std::mutex> lock(mutex_);
    if (!counted && countStop_.load() != 0 && pendingGeneration_ == generation && !ending_) doneGeneration = 0;
  }
}

void PreviewLoader::TileThread() {
  int sourceGeneration = 0;  // the generation `source` belongs to
  PreviewTarget sourceTarget;
  std::unique_ptr<convert::PreviewSource> source;
  std::vector<unsigned char> bytes;
  while (true) {
    convert::PreviewTile tile;
    int generation = 0;
    int pixels = convert::kPreviewTilePixels;
    PreviewTarget target;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      const auto ready = [&] {
        if (ending_ || wanted_.empty()) return ending_;
        return !(paused_ && pendingTarget_.kind == PreviewTarget::MapFile);
      };
      wake_.wait(lock, ready);
      if (ending_) return;
      tile = wanted_.back();
      wanted_.pop_back();
      generation = wishGeneration_;
      pixels = wishPixels_;
      if (generation != pendingGeneration_) continue;  // a wish of an older target
      target = pendingTarget_;
      tileStop_ = 0;
    }
    if (generation != sourceGeneration || !(target == sourceTarget)) {
      std::string why;
      source = OpenSource(target, &why);
      if (source) source->SetStop(&tileStop_);
      sourceGeneration = generation;
      sourceTarget = target;
      tileReads_ = 0;
    }
    if (!source) continue;
    const convert::PreviewRead read = source->Read(tile, &bytes);
    tileReads_ = source->Stats().filesRead.load() + source->Stats().rowsRead.load();
    if (read == convert::PreviewRead::Found) {
      bool whole = true;
      QImage image = Decode(bytes, pixels, &whole);
      if (!image.isNull()) {
        emit tileLoaded(generation, tile, std::move(image), whole);
        continue;
      }
    }
    if (read == convert::PreviewRead::Failed && tileStop_.load() != 0) {
      // A read the pause broke off: it is tried again after the pause.
      std::lock_guard<std::mutex> lock(mutex_);
      if (wishGeneration_ == generation) wanted_.push_back(tile);
      continue;
    }
    emit tileMissing(generation, tile);
  }
}

}  // namespace app
