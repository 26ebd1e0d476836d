// cvmap: command line of CorvaneMapCreator.
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("cvmap %s (%s)\n", CORVANE_VERSION, CORVANE_BUILD_TYPE);
    return 0;
  }
  std::fprintf(stderr, "usage: cvmap --version\n");
  return 2;
}
