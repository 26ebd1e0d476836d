#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "app/geokuk_preferences.h"
#include "app/geokuk_registry_text.h"
#include "test_support.h"

namespace {

using app::DecodeGeoKukRegistryText;

// GEOKUK-1: the escaped registry form: "//" is a backslash, a slash before a
// capital letter goes, anything without a slash is unchanged.
TEST(GeoKukRegistryText, DecodesSlashEscapes) {
  EXPECT_EQ(DecodeGeoKukRegistryText(u"/C:///Mapy//cache"), u"C:\\Mapy\\cache");
  EXPECT_EQ(DecodeGeoKukRegistryText(u"cache"), u"cache");
  EXPECT_EQ(DecodeGeoKukRegistryText(u""), u"");
  // Left to right without overlap: "///" is a backslash and a dropped slash,
  // "////" two backslashes.
  EXPECT_EQ(DecodeGeoKukRegistryText(u"a///b"), u"a\\b");
  EXPECT_EQ(DecodeGeoKukRegistryText(u"a////b"), u"a\\\\b");
  // A trailing lone slash is dropped.
  EXPECT_EQ(DecodeGeoKukRegistryText(u"/D:/"), u"D:");
}

// GEOKUK-2: "/u" with four hex digits is a character outside ASCII; a "u"
// after an escaped backslash, or without four hex digits, is plain text.
TEST(GeoKukRegistryText, DecodesUnicodeEscapes) {
  EXPECT_EQ(DecodeGeoKukRegistryText(u"/C:///Mapy//Kachle/u0159e"), u"C:\\Mapy\\Kachleře");
  EXPECT_EQ(DecodeGeoKukRegistryText(u"/C:///u017eivot"), u"C:\\život");
  EXPECT_EQ(DecodeGeoKukRegistryText(u"/u00ED/u00Ed"), u"íí");
  EXPECT_EQ(DecodeGeoKukRegistryText(u"/C://users"), u"C:\\users");
  EXPECT_EQ(DecodeGeoKukRegistryText(u"/u12"), u"u12");
  EXPECT_EQ(DecodeGeoKukRegistryText(u"/u12g4x"), u"u12g4x");
}

// Points HOME at a temporary folder for the life of the object.
class TemporaryHome {
 public:
  TemporaryHome() : saved_(qgetenv("HOME")) { qputenv("HOME", dir_.path().toLocal8Bit()); }
  ~TemporaryHome() { qputenv("HOME", saved_); }
  QString path() const { return dir_.path(); }
  bool valid() const { return dir_.isValid(); }

 private:
  QTemporaryDir dir_;
  QByteArray saved_;  // HOME before
};

QByteArray PrefsXml(const QByteArray& entries) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
         "<!DOCTYPE map SYSTEM \"http://java.sun.com/dtd/preferences.dtd\">\n"
         "<map MAP_XML_VERSION=\"1.0\">\n" +
         entries + "</map>\n";
}

// GEOKUK-3: the per-user Java store below $HOME is read as it stands: slashes
// and Czech letters survive, the last entry with the key wins.
TEST(GeoKukPreferences, ReadsCacheFolderFromJavaStore) {
  TemporaryHome home;
  ASSERT_TRUE(home.valid());
  EXPECT_EQ(app::GeoKukPreferencesFile(),
            home.path() + "/.java/.userPrefs/geokuk/current/umisteniSouboru/prefs.xml");
  EXPECT_FALSE(app::ReadGeoKukCacheFolder().has_value()) << "no store yet";

  ASSERT_TRUE(app_test::WriteFile(
      app::GeoKukPreferencesFile(),
      PrefsXml("  <entry key=\"jinyKlic\" value=\"/jinam\"/>\n"
               "  <entry key=\"kachleCacheDir\" value=\"/home/petr/st&#345;ed\"/>\n"
               "  <entry key=\"kachleCacheDir\" value=\"/home/petr/Mapy/kachle \xc5\x99\xc3\xad\"/>\n")));
  std::optional<QString> folder = app::ReadGeoKukCacheFolder();
  ASSERT_TRUE(folder.has_value());
  EXPECT_EQ(*folder, QString::fromUtf8("/home/petr/Mapy/kachle \xc5\x99\xc3\xad"));
}

// GEOKUK-4: a store that is broken, lacks the key or holds an empty value
// gives nothing.
TEST(GeoKukPreferences, UnusableStoreGivesNothing) {
  TemporaryHome home;
  ASSERT_TRUE(home.valid());
  const QString file = app::GeoKukPreferencesFile();

  ASSERT_TRUE(app_test::WriteFile(file, PrefsXml("  <entry key=\"jinyKlic\" value=\"/x\"/>\n")));
  EXPECT_FALSE(app::ReadGeoKukCacheFolder().has_value()) << "key missing";

  ASSERT_TRUE(app_test::WriteFile(file, PrefsXml("  <entry key=\"kachleCacheDir\" value=\"\"/>\n")));
  EXPECT_FALSE(app::ReadGeoKukCacheFolder().has_value()) << "empty value";

  ASSERT_TRUE(app_test::WriteFile(file, "<map><entry key=\"kachleCacheDir\" value=\"/a\"/>"));
  EXPECT_FALSE(app::ReadGeoKukCacheFolder().has_value()) << "file breaks off";

  ASSERT_TRUE(app_test::WriteFile(file, "kachleCacheDir=/a\n"));
  EXPECT_FALSE(app::ReadGeoKukCacheFolder().has_value()) << "not XML";

  ASSERT_TRUE(QFile::remove(file));
  ASSERT_TRUE(QDir().mkpath(file));  // a folder where the file should be
  EXPECT_FALSE(app::ReadGeoKukCacheFolder().has_value()) << "unreadable";
}

}  // namespace
