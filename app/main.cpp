// CorvaneMapCreator: the window. Turns a folder of cached map tiles into one
// map file; see the README.
#include "app/corvane_map_creator_app.h"
#include "platform/file_size_limits.h"

int main(int argc, char** argv) {
  // A write past `ulimit -f` then fails (and the job stops and reports it)
  // instead of killing the window in the middle of it.
  platform::IgnoreFileSizeSignal();
  CCorvaneMapCreatorApp app(argc, argv);
  app.InitInstance();
  return 0;
}
