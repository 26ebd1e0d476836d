#include "app/geokuk_preferences.h"

#include <QDir>
#include <QFile>
#include <QXmlStreamReader>

namespace app {

namespace {
constexpr char kNodePath[] = "/.java/.userPrefs/geokuk/current/umisteniSouboru/prefs.xml";
constexpr char kCacheFolderKey[] = "kachleCacheDir";
}  // namespace

QString GeoKukPreferencesFile() { return QDir::homePath() + QLatin1String(kNodePath); }

std::optional<QString> ReadJavaPreference(const QString& nodeFile, const QString& key) {
  QFile file(nodeFile);
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  QXmlStreamReader xml(&file);
  std::optional<QString> found;
  while (!xml.atEnd()) {
    if (xml.readNext() != QXmlStreamReader::StartElement) continue;
    if (xml.name() != QLatin1String("entry")) continue;
    const QXmlStreamAttributes attributes = xml.attributes();
    if (attributes.value(QLatin1String("key")) == key && attributes.hasAttribute(QLatin1String("value"))) {
      found = attributes.value(QLatin1String("value")).toString();
    }
  }
  // A file that breaks off or is not XML counts as unreadable as a whole.
  if (xml.hasError()) return std::nullopt;
  return found;
}

std::optional<QString> ReadGeoKukCacheFolder() {
  std::optional<QString> folder = ReadJavaPreference(GeoKukPreferencesFile(), QLatin1String(kCacheFolderKey));
  // An empty value would only wipe the folder the user has; treat it as absent.
  if (folder && folder->isEmpty()) return std::nullopt;
  return folder;
}

}  // namespace app
