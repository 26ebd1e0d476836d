// Test entry of the window's tests: one QApplication on the offscreen
// platform, with HOME and XDG_CONFIG_HOME pointing into a fresh temporary
// folder, so that no test touches the real user's settings or preferences.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir home;
  if (!home.isValid()) {
    std::fprintf(stderr, "cannot create a temporary home folder\n");
    return 1;
  }
  qputenv("HOME", home.path().toLocal8Bit());
  qputenv("XDG_CONFIG_HOME", (home.path() + "/.config").toLocal8Bit());
  QApplication application(argc, argv);
  QCoreApplication::setOrganizationName("Corvane");
  QCoreApplication::setApplicationName("CorvaneMapCreatorTests");
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
