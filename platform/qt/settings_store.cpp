#include "platform/qt/settings_store.h"

namespace platform::qt {

namespace {
QString Key(const std::u16string& section, const std::u16string& entry) {
  return QString::fromStdU16String(section) + u'/' + QString::fromStdU16String(entry);
}
}  // namespace

QtSettingsStore::QtSettingsStore(const QString& organisation, const QString& application)
    : settings_(QSettings::NativeFormat, QSettings::UserScope, organisation, application) {}

std::u16string QtSettingsStore::GetString(const std::u16string& section, const std::u16string& entry,
                                          const std::u16string& defaultValue) {
  const QVariant value = settings_.value(Key(section, entry));
  if (!value.isValid()) return defaultValue;
  return value.toString().toStdU16String();
}

void QtSettingsStore::WriteString(const std::u16string& section, const std::u16string& entry,
                                  const std::u16string& value) {
  settings_.setValue(Key(section, entry), QString::fromStdU16String(value));
  settings_.sync();
}

}  // namespace platform::qt
