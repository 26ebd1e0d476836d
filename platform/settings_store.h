// SettingsStore: per-user named text values, grouped by organisation word,
// application name and section. An absent value reads as the given default.
// A failing write is not reported.
//
// The window's store is backed by QSettings (app/); the command line and the
// tests use the in-memory store below.
//
// Thread-safety: used from the window thread only.
#pragma once

#include <map>
#include <string>
#include <utility>

namespace platform {

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  virtual std::u16string GetString(const std::u16string& section, const std::u16string& entry,
                                   const std::u16string& defaultValue) = 0;
  virtual void WriteString(const std::u16string& section, const std::u16string& entry,
                           const std::u16string& value) = 0;
};

class MemorySettingsStore : public SettingsStore {
 public:
  std::u16string GetString(const std::u16string& section, const std::u16string& entry,
                           const std::u16string& defaultValue) override;
  void WriteString(const std::u16string& section, const std::u16string& entry,
                   const std::u16string& value) override;
  int WriteCount() const { return writeCount_; }  // number of writes so far

 private:
  std::map<std::pair<std::u16string, std::u16string>, std::u16string> values_;  // (section, entry) -> value
  int writeCount_ = 0;
};

}  // namespace platform
