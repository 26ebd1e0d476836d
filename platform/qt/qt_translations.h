// QtTranslations: Qt's own translations of its standard texts (the file
// chooser, message-box buttons, the edit boxes' context menus), loaded from
// the "qtbase_<language>.qm" catalogue that the system's Qt translations
// package installs, so that Qt's dialogs speak the window's language.
//
// Thread-safety: window thread only; one instance per language at a time.
//
// Invariants:
//  1. A catalogue that is missing or unreadable is no failure: Qt's texts
//     simply stay in English and the window runs as before.
//  2. While the object lives its translator is installed in the application;
//     it removes it when destroyed.
#pragma once

#include <QString>
#include <QTranslator>

namespace platform::qt {

class QtTranslations {
 public:
  QtTranslations() = default;
  ~QtTranslations();
  QtTranslations(const QtTranslations&) = delete;
  QtTranslations& operator=(const QtTranslations&) = delete;

  // Loads "qtbase_<language>.qm" from `folder` (by default Qt's own
  // translations folder) and installs it in the running application. Returns
  // false, changing nothing, when there is no application or the catalogue
  // cannot be loaded. REQUIRES: not installed yet.
  bool Install(const QString& language, const QString& folder = DefaultFolder());

  bool Installed() const { return installed_; }

  // Qt's translations folder (QLibraryInfo::TranslationsPath).
  static QString DefaultFolder();

 private:
  QTranslator translator_;  // holds the loaded catalogue
  bool installed_ = false;  // translator_ is installed in the application
};

}  // namespace platform::qt
