#include "platform/qt/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <cassert>

namespace platform::qt {

QtTranslations::~QtTranslations() {
  if (installed_ && QCoreApplication::instance() != nullptr) {
    QCoreApplication::removeTranslator(&translator_);
  }
}

QString QtTranslations::DefaultFolder() { return QLibraryInfo::path(QLibraryInfo::TranslationsPath); }

bool QtTranslations::Install(const QString& language, const QString& folder) {
  assert(!installed_);
  if (QCoreApplication::instance() == nullptr) return false;
  if (!translator_.load(QStringLiteral("qtbase_") + language, folder)) return false;
  installed_ = QCoreApplication::installTranslator(&translator_);
  return installed_;
}

}  // namespace platform::qt
