// QtSettingsStore: the per-user settings store of the window, backed by
// QSettings in the platform's native format (on Linux the text file
// ~/.config/<organisation>/<application>.conf). A section is a QSettings
// group; values are text. Every write is flushed to disk at once.
//
// Thread-safety: window thread only.
#pragma once

#include <QSettings>
#include <QString>

#include "platform/settings_store.h"

namespace platform::qt {

class QtSettingsStore : public SettingsStore {
 public:
  QtSettingsStore(const QString& organisation, const QString& application);

  std::u16string GetString(const std::u16string& section, const std::u16string& entry,
                           const std::u16string& defaultValue) override;
  // A failing write is not reported.
  void WriteString(const std::u16string& section, const std::u16string& entry,
                   const std::u16string& value) override;

  // The file the values live in.
  QString FileName() const { return settings_.fileName(); }

 private:
  QSettings settings_;  // user scope, native format
};

}  // namespace platform::qt
