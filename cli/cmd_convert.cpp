// cvmap convert SOURCE MAP [--layout auto|geokuk|osm] [--quiet]
//
// Runs the window's conversion job on a worker thread: a counting pass, then
// the converting pass, drawing progress on stderr when it is a terminal and
// closing with a one-line summary. Ctrl-C stops the job at the next entry;
// what was stored stays.
//
// Exit codes: 0 done, 1 a database error stopped the job or the map file
// could not be created, 2 bad usage or bad input (nothing converted), 130
// stopped by Ctrl-C.
#include <dirent.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "cli/command.h"
#include "convert/conversion_job.h"
#include "convert/layouts.h"
#include "convert/probe.h"
#include "convert/progress_text.h"
#include "platform/file_io.h"
#include "platform/message_box.h"
#include "platform/notification.h"
#include "platform/worker_thread.h"
#include "store/map_file.h"
#include "store/sqlite_database.h"

namespace cli {

namespace {

using Clock = std::chrono::steady_clock;

constexpr char kConvertSynopsis[] = "convert SOURCE MAP [--layout auto|geokuk|osm] [--quiet]";
constexpr auto kRedrawInterval = std::chrono::milliseconds(200);  // at most five redraws a second
constexpr auto kNoticeGap = std::chrono::milliseconds(20);        // at most 50 looks at the notifications a second
constexpr int kBarWidth = 30;                                      // cells of the progress bar
constexpr int kExitInterrupted = 130;                              // 128 + SIGINT, as shells report it

// The signal handler only stores into lock-free atomics.
static_assert(std::atomic<int>::is_always_lock_free);
std::atomic<int>* g_stopFlag = nullptr;  // the running job's stopRequested; set before the handler
std::atomic<int> g_interrupted{0};       // 1 once Ctrl-C arrived

extern "C" void OnInterrupt(int) {
  g_interrupted.store(1);
  std::atomic<int>* flag = g_stopFlag;
  if (flag != nullptr) flag->store(1);
}

// Installs OnInterrupt for SIGINT while it lives; a second Ctrl-C gets the
// default action (ends the process; the map file's journal keeps it whole).
class InterruptScope {
 public:
  explicit InterruptScope(std::atomic<int>* stopFlag) {
    g_interrupted = 0;
    g_stopFlag = stopFlag;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, &previous_);
  }
  ~InterruptScope() {
    sigaction(SIGINT, &previous_, nullptr);
    g_stopFlag = nullptr;
  }
  InterruptScope(const InterruptScope&) = delete;
  InterruptScope& operator=(const InterruptScope&) = delete;

 private:
  struct sigaction previous_ {};  // restored on destruction
};

// Forwards to stderr and counts what was shown, so that the exit code can
// tell a database error apart from a clean run.
class CountingMessageBox : public platform::MessageBoxService {
 public:
  void Show(const std::u16string& text, platform::MessageStyle style) override {
    shown_.fetch_add(1);
    if (clearLine_.load()) std::fputs("\r\x1b[K", stderr);  // the message starts on a clean line
    stderr_.Show(text, style);
  }
  int Shown() const { return shown_.load(); }
  void ClearLineFirst(bool clear) { clearLine_ = clear; }

 private:
  std::atomic<bool> clearLine_{false};            // a progress line may be on screen
  platform::StderrMessageBox stderr_{kMessagePrefix};  // the real sink
  std::atomic<int> shown_{0};                     // messages shown so far
};

struct Options {
  std::string source;  // SOURCE, as given
  std::string map;     // MAP, as given
  int layout = -1;     // -1: detect with the probe
  bool quiet = false;  // only errors
};

std::optional<int> ParseLayoutOption(const std::string& value) {
  if (value == "auto") return -1;
  if (value == "geokuk") return convert::LayoutGeoKuk;
  if (value == "osm") return convert::LayoutOsmTrackerStorage;
  return std::nullopt;
}

// Reads the arguments. On bad usage prints the problem and sets *exitCode to
// kExitBadInput; on --help prints the usage and sets kExitOk. Returns nullopt
// in both cases.
std::optional<Options> ParseOptions(const std::vector<std::string>& args, int* exitCode) {
  const std::string usage = std::string("usage: cvmap ") + kConvertSynopsis;
  *exitCode = kExitBadInput;
  Options options;
  std::vector<std::string> operands;
  bool afterDashes = false;  // "--" ends the options
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (afterDashes || arg.size() < 2 || arg[0] != '-') {
      operands.push_back(arg);
    } else if (arg == "--") {
      afterDashes = true;
    } else if (arg == "--help" || arg == "-h") {
      std::printf("%s\n", usage.c_str());
      *exitCode = kExitOk;
      return std::nullopt;
    } else if (arg == "--quiet" || arg == "-q") {
      options.quiet = true;
    } else if (arg == "--layout" || arg.rfind("--layout=", 0) == 0) {
      std::string value;
      if (arg == "--layout") {
        if (i + 1 >= args.size()) {
          PrintError("--layout needs a value: auto, geokuk or osm");
          return std::nullopt;
        }
        value = args[++i];
      } else {
        value = arg.substr(sizeof("--layout=") - 1);
      }
      const std::optional<int> layout = ParseLayoutOption(value);
      if (!layout) {
        PrintError("unknown layout '" + value + "': use auto, geokuk or osm");
        return std::nullopt;
      }
      options.layout = *layout;
    } else {
      PrintError("unknown option '" + arg + "'; " + usage);
      return std::nullopt;
    }
  }
  if (operands.size() != 2 || operands[0].empty() || operands[1].empty()) {
    PrintError(usage);
    return std::nullopt;
  }
  options.source = operands[0];
  options.map = operands[1];
  return options;
}

// Settles the layout: the given one, or the probe's. Prints why and returns
// nullopt when the folder is rejected or gives no layout.
std::optional<int> ResolveLayout(const Options& options) {
  if (options.layout >= 0) return options.layout;
  int layout = -1;
  const convert::ProbeOutcome outcome = convert::ProbeSource(options.source, &layout);
  if (!outcome.accepted) {
    PrintError(options.source + " holds no tiles of a known layout: " + outcome.decidingFile +
               " is neither a GeoKuk nor an OSM Tracker Storage tile");
    return std::nullopt;
  }
  if (outcome.decidingFile.empty()) {
    PrintError("cannot detect the layout of " + options.source +
               ": its first folder path holds no file; give --layout geokuk or --layout osm");
    return std::nullopt;
  }
  return layout;
}

// Recognises the existing file MAP without writing to it. A database that a
// killed process left with a hot journal cannot be read read-only: SQLite
// must first roll the journal back, which takes write access. Such a file
// passes here and is recognised read-write by the caller, which restores its
// last committed state. Every other failure shows SQLite's message.
bool RecogniseExistingReadOnly(SQLite::Database& db, const std::string& map,
                               platform::MessageBoxService& boxes) {
  platform::RecordingMessageBox held;  // shown only when the file is refused
  if (store::RecogniseMapFileReadOnly(db, map, held)) return true;
  const int code = db.handle != nullptr ? sqlite3_extended_errcode(db.handle) : SQLITE_OK;
  if (code == SQLITE_READONLY_ROLLBACK || code == SQLITE_READONLY_RECOVERY) return true;
  for (const platform::RecordingMessageBox::Message& message : held.Messages()) {
    boxes.Show(message.text, message.style);
  }
  return false;
}

// Opens MAP on `db` as a map file, creating it with the map schema when it is
// missing or empty. A file that exists and is no map file is only ever read,
// so its bytes stay as they were; a folder, FIFO or device is refused without
// being opened (SQLite would wait on a FIFO for a writer). Returns kExitOk,
// or after printing the reason kExitBadInput (not a map file) or
// kExitFailure (a new map file could not be created: no folder, no
// permission, full disk).
int OpenMapFile(SQLite::Database& db, const std::string& map, platform::MessageBoxService& boxes) {
  struct stat status {};
  const bool exists = ::stat(map.c_str(), &status) == 0;
  if (exists && S_ISDIR(status.st_mode)) {
    PrintError(map + " is a folder, not a map file");
    return kExitBadInput;
  }
  if (exists && !S_ISREG(status.st_mode)) {
    PrintError(map + " is not a regular file, not a map file");
    return kExitBadInput;
  }
  if (exists && status.st_size > 0) {
    if (!RecogniseExistingReadOnly(db, map, boxes)) return kExitBadInput;  // SQLite's message has been shown
    // The read-write recognition rolls back a journal that a killed process
    // left. A file whose creation was cut short is empty again after that,
    // and is created below like a missing one.
    platform::RecordingMessageBox held;  // shown only when the file is refused
    if (store::RecogniseMapFileNative(db, map, held)) return kExitOk;
    if (::stat(map.c_str(), &status) != 0 || status.st_size != 0) {
      for (const platform::RecordingMessageBox::Message& message : held.Messages()) {
        boxes.Show(message.text, message.style);
      }
      return kExitBadInput;
    }
    db.close();
    db.isOpen = 0;
  }
  if (!store::CreateMapFileNativeInOneTransaction(db, map)) {
    // SQLite only says it could not open the file; the folder tells why.
    std::string reason = db.handle != nullptr ? sqlite3_errmsg(db.handle) : "out of memory";
    const std::string folder = std::filesystem::path(map).parent_path().string();
    if (::access(folder.empty() ? "." : folder.c_str(), W_OK | X_OK) != 0) {
      reason = (folder.empty() ? std::string(".") : folder) + ": " + std::strerror(errno);
    }
    PrintError("cannot create the map file " + map + ": " + reason);
    return kExitFailure;
  }
  db.close();
  db.isOpen = 0;
  return store::RecogniseMapFileNative(db, map, boxes) ? kExitOk : kExitBadInput;
}

// Draws the progress line on stderr, at most every kRedrawInterval.
class ProgressDisplay {
 public:
  explicit ProgressDisplay(bool enabled) : enabled_(enabled) {}

  void Update(const convert::ConversionJob& job, long long totalFiles, bool force) {
    if (!enabled_) return;
    const Clock::time_point now = Clock::now();
    if (!force && now - lastDraw_ < kRedrawInterval) return;
    lastDraw_ = now;
    const convert::ConversionStats& stats = job.stats;
    std::string line;
    if (stats.pass.load() != convert::ConvertingPass) {
      line = convert::CountingLine(stats.filesSeen.load());
    } else {
      if (!convertingSeen_) {
        convertingSeen_ = true;
        convertingStart_ = now;
      }
      const double elapsed = std::chrono::duration<double>(now - convertingStart_).count();
      const long long done = stats.filesSeen.load();
      const long long tiles = stats.tilesStored.load() + stats.duplicates.load();
      const double tileRate = elapsed > 0 ? tiles / elapsed : 0.0;
      const double fileRate = elapsed > 0 ? done / elapsed : 0.0;
      const double left = fileRate > 0 ? (totalFiles - done) / fileRate : -1.0;
      line = convert::ProgressLine(done, totalFiles, tileRate, left, kBarWidth);
    }
    std::fprintf(stderr, "\r%s\x1b[K", line.c_str());
    std::fflush(stderr);
    drawn_ = true;
  }

  void Clear() {
    if (!drawn_) return;
    std::fprintf(stderr, "\r\x1b[K");
    std::fflush(stderr);
    drawn_ = false;
  }

 private:
  bool enabled_;                                   // stderr is a terminal and not --quiet
  bool drawn_ = false;                             // a line is on screen
  Clock::time_point lastDraw_{};                   // time of the last redraw
  bool convertingSeen_ = false;                    // the converting pass has been drawn
  Clock::time_point convertingStart_{};            // when the converting pass was first seen
};

}  // namespace

int RunConvert(const std::vector<std::string>& args) {
  int exitCode = kExitOk;
  const std::optional<Options> options = ParseOptions(args, &exitCode);
  if (!options) return exitCode;
  if (!platform::IsDirectory(options->source)) {
    PrintError(options->source + " is not a folder");
    return kExitBadInput;
  }
  // A source folder that cannot be listed would convert as an empty folder
  // and report success.
  if (DIR* folder = ::opendir(options->source.c_str())) {
    ::closedir(folder);
  } else {
    PrintError("cannot read the folder " + options->source + ": " + std::strerror(errno));
    return kExitBadInput;
  }
  const std::optional<int> layout = ResolveLayout(*options);
  if (!layout) return kExitBadInput;

  CountingMessageBox boxes;
  SQLite::Database db(&boxes);
  if (const int opened = OpenMapFile(db, options->map, boxes); opened != kExitOk) return opened;
  const int shownBeforeJob = boxes.Shown();

  platform::QueueChannel notifications;
  convert::ConversionJob job;
  job.layout = *layout;
  job.sourceFolder = options->source;
  job.database = &db;
  job.notifications = &notifications;
  job.messageBoxes = &boxes;
  job.running = 1;
  job.stopRequested = 0;

  const Clock::time_point start = Clock::now();
  const bool showProgress = !options->quiet && ::isatty(STDERR_FILENO) == 1;
  ProgressDisplay progress(showProgress);
  boxes.ClearLineFirst(showProgress);
  long long totalFiles = 0;
  int finalCount = 0;
  {
    InterruptScope interrupt(&job.stopRequested);
    platform::WorkerThread worker;
    if (!worker.Start([&job] { convert::ConversionThreadProc(&job); })) {
      PrintError("cannot start the worker thread");
      return kExitFailure;
    }
    // Every notification posted since the last look is taken at once, and the
    // next look comes no sooner than kNoticeGap later: the job posts at every
    // folder end, and waking this thread for each would cost the job more
    // than the work of a small folder.
    std::vector<platform::Notification> batch;
    for (bool finished = false; !finished;) {
      if (notifications.TakeAll(&batch, kRedrawInterval)) {
        for (const platform::Notification& notice : batch) {
          if (notice.code == convert::NotifyCounted) {
            totalFiles = notice.count;  // the source folder's notice, the last one, is the total
          } else if (notice.code == convert::NotifyFinished) {
            finalCount = notice.count;
            finished = true;
          }
        }
      }
      progress.Update(job, totalFiles, false);
      if (!finished) std::this_thread::sleep_for(kNoticeGap);
    }
    worker.Join();
  }
  progress.Clear();
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  db.close();

  if (!options->quiet) {
    convert::SummaryNumbers numbers;
    numbers.filesSeen = finalCount;
    numbers.tilesStored = job.stats.tilesStored.load();
    numbers.duplicates = job.stats.duplicates.load();
    numbers.notTiles = job.stats.notTiles.load();
    numbers.unreadable = job.stats.unreadable.load();
    numbers.seconds = seconds;
    std::printf("%s%s\n", g_interrupted.load() ? "stopped: " : "", convert::SummaryLine(numbers).c_str());
  }
  if (const long long folders = job.stats.unreadableFolders.load(); folders > 0) {
    PrintError("warning: " + std::to_string(folders) +
               (folders == 1 ? " folder" : " folders") +
               " could not be read (no permission, or the path is too long); the tiles in them are not in the map");
  }
  if (g_interrupted.load() != 0) return kExitInterrupted;
  if (job.stats.databaseErrors.load() != 0 || boxes.Shown() != shownBeforeJob) return kExitFailure;
  return kExitOk;
}

}  // namespace cli
