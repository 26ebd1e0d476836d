// SelectionPanel: the selection a conversion takes, as the user sets it in
// the window: the area as four degree fields (also filled by a rectangle
// drawn on the preview), the zoom levels "od" .. "do" limited to the levels
// the source holds, and one check box per GeoKuk map source. Empty fields,
// the whole range of levels and every source ticked mean everything.
//
// A field that cannot be taken turns red, its tooltip (and accessible
// description) says why, and IsValid() is false until it is mended. The
// area is read with the command line's own parser (convert::ParseArea), so
// a typed area means exactly what the same text means to cvmap.
//
// Thread-safety: window thread only.
//
// Invariants:
//  1. Selection() names a zoom list only when a bound is set, and a source
//     list only when a known source is unticked.
//  2. The texts of the four fields are kept as typed: Save() writes them as
//     they stand, Load() restores them.
#pragma once

#include <QGroupBox>
#include <QSpinBox>
#include <QString>
#include <map>
#include <optional>
#include <vector>

#include "convert/tile_selection.h"

class QCheckBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace platform {
class SettingsStore;
}

namespace app {

// A spin box of zoom levels whose arrows step to the next level present.
class ZoomSpinBox : public QSpinBox {
  Q_OBJECT

 public:
  explicit ZoomSpinBox(QWidget* parent = nullptr);
  // The levels present, ascending; empty: every level 0 .. 99.
  void SetLevels(const std::vector<int>& levels);
  void stepBy(int steps) override;

 protected:
  StepEnabled stepEnabled() const override;

 private:
  std::vector<int> levels_;  // see SetLevels
};

class SelectionPanel : public QGroupBox {
  Q_OBJECT

 public:
  explicit SelectionPanel(QWidget* parent = nullptr);

  // The selection from the settings, and back (the section of the paths).
  void Load(platform::SettingsStore& settings);
  void Save(platform::SettingsStore& settings) const;

  // What the source folder holds: its zoom levels (ascending; empty when
  // unknown), its GeoKuk map sources, and whether both are complete (every
  // tile counted) rather than sampled.
  void SetSourceContents(const std::vector<int>& levels, const std::vector<std::u16string>& sources, bool complete);
  // The source's tiles are on the Web Mercator grid (the area must fit it).
  void SetWebMercator(bool webMercator);

  // Fills the four fields from an area drawn on the preview.
  void SetArea(const store::GeoArea& area);

  bool IsValid() const { return valid_; }
  // The area as the fields give it; none when they are empty or wrong.
  std::optional<store::GeoArea> Area() const { return area_; }
  // The selection for a job. REQUIRES: IsValid().
  convert::TileSelection Selection() const;

  // The controls by id (res/resource.h), for the window's GetDlgItem.
  std::map<int, QWidget*> Controls() const;

 signals:
  void selectionChanged();  // after any change, valid or not

 private:
  void Validate();  // recomputes area_, valid_ and every field's look
  void MarkField(QWidget* field, const QString& why, const QString& normalTip);
  void RebuildSourceBoxes();
  void OnZoomEdited();

  QLineEdit* south_ = nullptr;
  QLineEdit* west_ = nullptr;
  QLineEdit* north_ = nullptr;
  QLineEdit* east_ = nullptr;
  QPushButton* clear_ = nullptr;
  ZoomSpinBox* zoomFrom_ = nullptr;
  ZoomSpinBox* zoomTo_ = nullptr;
  QWidget* sourcesBox_ = nullptr;        // holds the check boxes
  QGridLayout* sourcesLayout_ = nullptr;
  QLabel* noSources_ = nullptr;          // shown without GeoKuk sources
  std::vector<QCheckBox*> sourceChecks_; // one per source, in sources_' order

  std::vector<int> levels_;              // present, ascending; empty: unknown
  std::optional<int> fromLevel_;         // the lowest level taken; none: no bound
  std::optional<int> toLevel_;           // the highest level taken; none: no bound
  std::vector<std::u16string> sources_;  // GeoKuk sources present
  std::vector<std::u16string> sourcesOff_;  // unticked (kept for sources not present now)
  bool sourcesComplete_ = false;         // sources_ is every source of the tree
  bool webMercator_ = false;             // the area must fit the Web Mercator grid
  bool valid_ = true;
  std::optional<store::GeoArea> area_;
};

}  // namespace app
