// CorvaneMapCreator: the window. Turns a folder of cached map tiles into one
// map file; see the README.
#include "app/corvane_map_creator_app.h"

int main(int argc, char** argv) {
  CCorvaneMapCreatorApp app(argc, argv);
  app.InitInstance();
  return 0;
}
