#include "app/status_explanation.h"

#include <iterator>

#include "convert/layouts.h"
#include "convert/probe.h"
#include "res/explanation_strings.h"

namespace app {

namespace {

QString Text(const char16_t* text) { return QString::fromUtf16(text); }

QString LayoutName(int layout) {
  if (layout < 0 || layout >= static_cast<int>(std::size(res::kLayoutNames))) return QString();
  return Text(res::kLayoutNames[layout]);
}

}  // namespace

QString PathBelow(const QString& folder, const QString& file) {
  if (folder.isEmpty() || !file.startsWith(folder)) return file;
  QString rest = file.mid(folder.size());
  if (!folder.endsWith(u'/')) {
    if (!rest.startsWith(u'/')) return file;  // "/a/bc" does not lie below "/a/b"
    rest.remove(0, 1);
  }
  return rest.isEmpty() ? file : rest;
}

QString ExplainSource(const SourceFacts& facts) {
  if (facts.path.isEmpty()) return Text(res::kSourceNoPathTip);
  if (!facts.exists) return Text(res::kSourceMissingTip).arg(facts.path);
  const QString file = PathBelow(facts.path, facts.decidingFile);
  if (!facts.accepted) {
    QString text = Text(res::kSourceRefusedTip).arg(facts.path, file);
    for (const SourceFacts::Suggestion& suggestion : facts.suggestions) {
      text += u' ' + Text(res::kSourceSuggestionTip)
                         .arg(PathBelow(facts.path, suggestion.folder), LayoutName(suggestion.layout));
    }
    return text;
  }
  if (!facts.isFolder) {
    if (facts.detectedLayout == convert::LayoutMbtiles) return Text(res::kSourceMbtilesTip).arg(facts.path);
    return Text(res::kSourceNotFolderTip).arg(facts.path);
  }
  if (facts.decidingFile.isEmpty() || facts.detectedLayout < 0) {
    return Text(res::kSourceNoFileTip).arg(facts.path);
  }
  const char16_t* text = facts.autoDetect ? res::kSourceDetectedTip : res::kSourceChosenTip;
  QString tip = Text(text).arg(facts.path, LayoutName(facts.detectedLayout), file);
  if (facts.tileMapResource) tip += u' ' + Text(res::kSourceTmsHintTip).arg(QString::fromUtf8(convert::kTileMapResourceName));
  return tip;
}

QString ExplainTarget(const TargetFacts& facts) {
  if (facts.path.isEmpty()) return Text(res::kTargetNoPathTip);
  if (facts.createFailed) return Text(res::kTargetCreateFailedTip).arg(facts.path);
  if (!facts.exists) return Text(res::kTargetMissingTip).arg(facts.path);
  if (facts.isMap) return Text(res::kTargetReadyTip).arg(facts.path);
  if (facts.isFolder) return Text(res::kTargetFolderTip).arg(facts.path);
  if (facts.busy) return Text(res::kTargetBusyTip).arg(facts.path, facts.sqliteMessage);
  if (facts.sqliteMessage.isEmpty()) return Text(res::kTargetNotMapNoReasonTip).arg(facts.path);
  return Text(res::kTargetNotMapTip).arg(facts.path, facts.sqliteMessage);
}

}  // namespace app
