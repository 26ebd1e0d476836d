#include "platform/settings_store.h"

namespace platform {

std::u16string MemorySettingsStore::GetString(const std::u16string& section,
                                              const std::u16string& entry,
                                              const std::u16string& defaultValue) {
  auto it = values_.find({section, entry});
  return it == values_.end() ? defaultValue : it->second;
}

void MemorySettingsStore::WriteString(const std::u16string& section, const std::u16string& entry,
                                      const std::u16string& value) {
  values_[{section, entry}] = value;
  ++writeCount_;
}

}  // namespace platform
