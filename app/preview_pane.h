// PreviewPane: "Náhled", the map preview beside the window's form: what to
// show (the source folder, or the map file), the layer, the map view, the
// zoom levels present with their tile counts, and the coverage of the level
// shown.
//
// The pane shows the source folder while there is one, else the map file,
// unless the user picks the map file. It learns what the target holds from
// its loader (quick index, then the count in the background) and feeds the
// view; the view's wishes go to the loader. A rectangle drawn on the view
// becomes an area in degrees (areaDrawn).
//
// Thread-safety: window thread only.
#pragma once

#include <QWidget>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "app/preview_loader.h"
#include "convert/preview_source.h"

class QComboBox;
class QLabel;
class QPushButton;
class QToolButton;
class QTreeWidget;

namespace app {

class CoverageView;
class MapView;

class PreviewPane : public QWidget {
  Q_OBJECT

 public:
  explicit PreviewPane(QWidget* parent = nullptr);
  ~PreviewPane() override;

  // What the pane may show: the source folder (kind None when it is not
  // ready) and the map file (None when it is no map file). Reloads only
  // what changed.
  void SetTargets(const PreviewTarget& source, const PreviewTarget& map);
  // While a conversion runs the map file is not read and no count runs;
  // when it ends, a map file shown is read anew (its tiles changed).
  void SetJobRunning(bool running);
  // The selection's area, drawn on the view.
  void SetSelectionArea(const std::optional<store::GeoArea>& area);

  // The source folder's index as last learnt (empty when it is not shown).
  const convert::PreviewIndex& SourceIndex() const { return sourceIndex_; }
  bool ShowsSource() const { return showing_ == Showing::Source; }

  MapView* View() const { return view_; }
  PreviewLoader* Loader() const { return loader_; }
  // The controls by id (res/resource.h), for the window's GetDlgItem.
  std::map<int, QWidget*> Controls() const;

 signals:
  void areaDrawn(store::GeoArea area);
  // The source folder's contents changed (index or count).
  void sourceIndexChanged();

 private:
  enum class Showing { Source, Map };
  void Reload(bool keepView);          // opens the target shown
  void ShowLayer();                     // the layer chosen in the combo box, on the view
  void FillLayers();                    // the combo box from index_
  void FillLevels();                    // the levels list from index_
  void ShowCoverage(int zoom);          // the coverage view and its text for `zoom`
  void ShowNote();                      // whether the counts are estimates
  const convert::PreviewLayerIndex* ChosenLayer() const;

  void OnIndex(int generation, IndexPtr index, bool opened, const QString& why);
  void OnCountProgress(int generation, qlonglong tiles);
  void OnCount(int generation, CountPtr count);

  PreviewLoader* loader_ = nullptr;     // owned as a child
  MapView* view_ = nullptr;
  CoverageView* coverage_ = nullptr;
  QComboBox* show_ = nullptr;           // source folder / map file
  QComboBox* layers_ = nullptr;
  QPushButton* fit_ = nullptr;
  QToolButton* select_ = nullptr;
  QTreeWidget* levels_ = nullptr;
  QLabel* levelsNote_ = nullptr;
  QLabel* coverageText_ = nullptr;
  QLabel* status_ = nullptr;

  PreviewTarget sourceTarget_;          // the source folder, or None
  PreviewTarget mapTarget_;             // the map file, or None
  bool userChoseMap_ = false;           // the user picked the map file
  Showing showing_ = Showing::Source;
  bool jobRunning_ = false;
  bool keepViewOnIndex_ = false;        // the next index is the same target read anew
  bool counting_ = false;               // the count of the shown target runs
  long long countedSoFar_ = 0;          // its progress

  IndexPtr index_;                      // of the target shown
  CountPtr count_;                      // of the target shown, once counted
  convert::PreviewIndex sourceIndex_;   // index_ while the source folder is shown
};

// The layer's name as the combo box shows it.
QString LayerName(const convert::PreviewLayer& layer);

}  // namespace app
