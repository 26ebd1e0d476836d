#include "app/path_choosers.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>

#include "res/strings.h"

namespace app {

std::optional<QString> DesktopPathChoosers::ChooseFolder(const QString& current) {
  const QString folder = QFileDialog::getExistingDirectory(nullptr, QString(), StartFolderFor(current));
  if (folder.isEmpty()) return std::nullopt;
  return folder;
}

std::optional<QString> DesktopPathChoosers::ChooseMapFile(const QString& current) {
  QFileDialog chooser(nullptr, QString(), StartFolderFor(current));
  chooser.setAcceptMode(QFileDialog::AcceptOpen);
  chooser.setFileMode(QFileDialog::AnyFile);
  chooser.setDefaultSuffix(QString::fromUtf16(res::kMapFileExtension));
  chooser.setNameFilters(NameFiltersFromPairs(res::kMapFileFilter));
  if (chooser.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList files = chooser.selectedFiles();
  if (files.isEmpty()) return std::nullopt;
  return files.first();
}

QString StartFolderFor(const QString& boxText) {
  if (!boxText.isEmpty()) {
    const QFileInfo named(boxText);
    if (named.isDir()) return named.absoluteFilePath();
    const QFileInfo parent(named.absolutePath());
    if (parent.isDir()) return parent.absoluteFilePath();
  }
  return QDir::homePath();
}

QStringList NameFiltersFromPairs(std::u16string_view filter) {
  const QStringList parts =
      QString::fromUtf16(filter.data(), static_cast<qsizetype>(filter.size())).split(u'|');
  static const QRegularExpression kTrailingPatterns(QStringLiteral("\\s*\\([^()]*\\)\\s*$"));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString description = parts[i];
    QString pattern = parts[i + 1];
    if (description.isEmpty() && pattern.isEmpty()) break;  // the closing "||"
    if (pattern == QLatin1String("*.*")) pattern = QStringLiteral("*");
    description.remove(kTrailingPatterns);
    filters << description + QStringLiteral(" (") + pattern + u')';
  }
  return filters;
}

}  // namespace app
