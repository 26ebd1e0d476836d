// window_job_run SOURCE MAP: one conversion through the window, as a user
// makes it, for user_bench. Starts the real main dialog (on whatever Qt
// platform the environment names; the benchmark uses offscreen) with SOURCE
// and MAP in its boxes, clicks "Převést", runs the event loop until the
// window is idle again, and prints the seconds from the click to that moment,
// the CPU seconds the window thread spent in them, and the counter's text.
// MAP must already be a map file.
// Exit codes: 0 done, 1 the convert button was not enabled (a path is not
// ready), 2 bad usage.
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <optional>

#include "app/corvane_map_creator_dlg.h"
#include "app/path_choosers.h"
#include "platform/message_box.h"
#include "platform/settings_store.h"
#include "platform/utf.h"
#include "res/resource.h"

namespace {

// Choosers are never used here.
class NoChoosers : public app::PathChoosers {
 public:
  std::optional<QString> ChooseFolder(const QString&) override { return std::nullopt; }
  std::optional<QString> ChooseMapFile(const QString&) override { return std::nullopt; }
};

// CPU seconds the calling thread has used so far.
double ThreadCpuSeconds() {
  struct timespec now {};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: window_job_run SOURCE MAP\n");
    return 2;
  }
  QApplication application(argc, argv);
  platform::MemorySettingsStore settings;
  settings.WriteString(u"Options", u"Folder", platform::Utf8ToUtf16(argv[1]));
  settings.WriteString(u"Options", u"File", platform::Utf8ToUtf16(argv[2]));
  platform::StderrMessageBox presenter("window_job_run: ");
  NoChoosers choosers;
  CCorvaneMapCreatorDlg dialog(CCorvaneMapCreatorDlg::Services{&settings, &presenter, &choosers});
  dialog.OnInitDialog();
  dialog.show();
  auto* convert = qobject_cast<QPushButton*>(dialog.GetDlgItem(res::IDC_CONVERT));
  if (convert == nullptr || !convert->isEnabled()) {
    std::fprintf(stderr, "window_job_run: the convert button is not enabled\n");
    return 1;
  }
  const QString idleCaption = convert->text();
  const auto start = std::chrono::steady_clock::now();
  const double cpuStart = ThreadCpuSeconds();
  convert->click();
  // The window is idle again when the job has ended and the button is back.
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (!dialog.IsJobRunning() && convert->text() == idleCaption && convert->isEnabled()) application.quit();
  });
  poll.start(5);
  application.exec();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double windowCpu = ThreadCpuSeconds() - cpuStart;
  auto* counter = qobject_cast<QLabel*>(dialog.GetDlgItem(res::IDC_TILE_COUNT));
  std::printf("%.6f %.6f %s\n", seconds, windowCpu, counter != nullptr ? counter->text().toUtf8().constData() : "");
  return 0;
}
