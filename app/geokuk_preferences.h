// Lookup of GeoKuk's tile cache folder in GeoKuk's own per-user preferences.
//
// On Linux GeoKuk (a Java program) keeps its preferences in Java's per-user
// file store: one XML file per preference node,
//   $HOME/.java/.userPrefs/geokuk/current/umisteniSouboru/prefs.xml
// holding <entry key="..." value="..."/> elements. The values there are
// plain text (the XML's own escaping only), so they are taken as they stand.
//
// Thread-safety: the functions keep no state.
#pragma once

#include <QString>
#include <optional>

namespace app {

// The preference node file that holds GeoKuk's cache folder, below the
// current user's home folder ($HOME).
QString GeoKukPreferencesFile();

// The value of `key` in a Java preference node file (the last entry with
// that key wins, as Java loads them). Nothing when the file is missing,
// unreadable or not well-formed XML, or has no such entry. Shows nothing.
std::optional<QString> ReadJavaPreference(const QString& nodeFile, const QString& key);

// GeoKuk's cache folder ("kachleCacheDir"), or nothing when it cannot be
// read or is empty.
std::optional<QString> ReadGeoKukCacheFolder();

}  // namespace app
