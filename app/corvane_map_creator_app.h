// CCorvaneMapCreatorApp: the application object. It owns the QApplication,
// names the settings store after the organisation word "Corvane" and the
// application's name (the base name of the executable), makes Qt's own texts
// and formats Czech like the window's (when Qt's Czech catalogue is
// installed), runs the main dialog modally and ends when the dialog ends; no
// event loop runs after it.
//
// Thread-safety: window thread only; one instance per process.
#pragma once

#include <QApplication>
#include <memory>

#include "platform/qt/qt_translations.h"

class CCorvaneMapCreatorApp {
 public:
  // REQUIRES: argc and argv are main()'s, and live as long as this object.
  CCorvaneMapCreatorApp(int& argc, char** argv);
  ~CCorvaneMapCreatorApp();
  CCorvaneMapCreatorApp(const CCorvaneMapCreatorApp&) = delete;
  CCorvaneMapCreatorApp& operator=(const CCorvaneMapCreatorApp&) = delete;

  // Builds the settings store, the message boxes and the choosers, runs the
  // dialog until the close command ends it, destroys it and returns false:
  // the application ends after it.
  bool InitInstance();

 private:
  QApplication application_;  // the Qt application of the window thread
  platform::qt::QtTranslations qtTexts_;  // Qt's Czech texts; destroyed before application_
};
