// Every text the window shows besides the control captions of the dialog
// template: the string table, button captions that change, formats, the file
// chooser's filter and the window's own messages.
//
// Thread-safety: immutable data.
#pragma once

#include "res/resource.h"

namespace res {

// The convert button's two captions.
inline constexpr char16_t kConvertCaption[] = u"Převést";  // idle: starts a job
inline constexpr char16_t kStopCaption[] = u"Zastavit";    // while a job runs

// Counter of the converting pass: files still to go, then the total.
inline constexpr char16_t kRemainingOfTotalFormat[] = u"%1 z %2";

// The target file chooser: default extension and filter (description|pattern
// pairs, as the chooser of the original system takes them).
inline constexpr char16_t kMapFileExtension[] = u"cvmap";
inline constexpr char16_t kMapFileFilter[] =
    u"Mapa Corvane (*.cvmap)|*.cvmap|Všechny soubory (*.*)|*.*||";

// Shown after a job that stopped because the map file reached the largest
// file its file system holds (FAT: 4 GiB), or the process may write.
inline constexpr char16_t kMapFileTooLarge[] =
    u"Soubor s mapou nemůže být větší: jeho souborový systém větší soubor neudrží (FAT, obvyklý na paměťových "
    u"kartách, neudrží soubor 4 GiB a větší). Mapa si ponechává všechny kachle uložené před chybou. Uložte mapu "
    u"na kartu naformátovanou exFAT nebo ext4 a převeďte znovu, nebo převeďte menší výběr kachlí.";

// Shown when another conversion of this program writes the chosen map file.
inline constexpr char16_t kMapBeingConverted[] =
    u"Do tohoto souboru s mapou právě převádí jiný převod (cvmap convert nebo jiné okno). Počkejte, až skončí, "
    u"a spusťte převod znovu.";

// Shown when the worker thread cannot be started.
inline constexpr char16_t kWorkerNotStarted[] = u"Převod nelze spustit: vlákno se nepodařilo vytvořit.";

// Language of Qt's own texts (its "qtbase_cs.qm" catalogue).
inline constexpr char16_t kQtLanguage[] = u"cs";

// Settings: organisation word, section and entries.
inline constexpr char16_t kOrganisation[] = u"Corvane";
inline constexpr char16_t kSettingsSection[] = u"Options";
inline constexpr char16_t kSettingFolder[] = u"Folder";
inline constexpr char16_t kSettingFile[] = u"File";

// --- Speed and time left, on the counter's line ---------------------------
// %1 the rate (whole files or tiles a second), %2 the time left.
inline constexpr char16_t kRateCountingFormat[] = u"%1 souborů/s";
inline constexpr char16_t kRateConvertingFormat[] = u"%1 kachlí/s, zbývá %2";
inline constexpr char16_t kRateConvertingNoEndFormat[] = u"%1 kachlí/s";
// After a job that ran long enough to be timed: %1 its duration.
inline constexpr char16_t kRateFinishedFormat[] = u"trvalo %1";
// Durations: hours and minutes, minutes and seconds, seconds.
inline constexpr char16_t kDurationHoursFormat[] = u"%1 h %2 min";
inline constexpr char16_t kDurationMinutesFormat[] = u"%1 min %2 s";
inline constexpr char16_t kDurationSecondsFormat[] = u"%1 s";

// --- Accessible names and descriptions of the template's controls ---------
struct ControlText {
  int id;                     // control id (resource.h)
  const char16_t* name;       // accessible name
  const char16_t* description;  // accessible description, also the tooltip (none for the indicators,
                                // the counter and the bar, which explain themselves)
};
inline constexpr ControlText kTemplateControlTexts[] = {
    {IDCANCEL, u"Zavřít", u"Zavře okno; běžící převod nejdřív zastaví."},
    {IDC_SOURCE_PATH, u"Složka se zdrojovými kachlemi", u"Cesta ke složce s kachlemi, které se převedou."},
    {IDC_BROWSE_SOURCE, u"Vybrat zdrojovou složku", u"Otevře výběr složky se zdrojovými kachlemi."},
    {IDC_GEOKUK_FOLDER, u"GeoKuk", u"Doplní složku cache, kterou používá GeoKuk."},
    {IDC_TARGET_PATH, u"Cílový soubor s mapou", u"Cesta k souboru s mapou (*.cvmap), do kterého se kachle uloží."},
    {IDC_BROWSE_TARGET, u"Vybrat cílový soubor", u"Otevře výběr souboru s mapou."},
    {IDC_CREATE_MAP, u"Založit", u"Založí prázdný soubor s mapou na zadané cestě (existující mapa zůstane, jak je)."},
    {IDC_LAYOUT_GEOKUK, u"GeoKuk", u"Zdrojové kachle jsou cache GeoKuku."},
    {IDC_LAYOUT_OSM, u"OSM Tracker Storage", u"Zdrojové kachle jsou ve stromu zoom/sloupec/řádek.png."},
    {IDC_AUTO_DETECT, u"Určit automaticky", u"Formát zdrojových kachlí se určí podle první nalezené kachle."},
    {IDC_CONVERT, u"Převést", u"Převede vybrané kachle zdrojové složky do mapy; během převodu ho zastaví."},
    {IDC_SOURCE_STATUS, u"Stav zdrojové složky", nullptr},
    {IDC_TARGET_STATUS, u"Stav cílového souboru", nullptr},
    {IDC_TILE_COUNT, u"Počet kachlí ke zpracování", nullptr},
    {IDC_PROGRESS, u"Průběh převodu", nullptr},
};
inline constexpr char16_t kJobRateName[] = u"Rychlost a zbývající čas";
inline constexpr char16_t kJobRateDescription[] =
    u"Rychlost převodu za posledních několik sekund a čas, který převod ještě potřebuje.";
inline constexpr char16_t kCounterDescription[] = u"Kolik kachlí zbývá zpracovat a kolik jich je celkem.";
inline constexpr char16_t kProgressDescription[] = u"Jak daleko převod došel.";

// --- The preview ----------------------------------------------------------
inline constexpr char16_t kPreviewTitle[] = u"Náhled";
inline constexpr char16_t kPreviewTip[] =
    u"Kachle zdrojové složky nebo souboru s mapou na jejich místě, úrovně přiblížení s počty kachlí "
    u"a pokrytí zobrazené úrovně.";
inline constexpr char16_t kPreviewShowLabel[] = u"Zobrazit:";
inline constexpr char16_t kPreviewShowSource[] = u"Zdrojovou složku";
inline constexpr char16_t kPreviewShowMap[] = u"Soubor s mapou";
inline constexpr char16_t kPreviewShowTip[] =
    u"Co náhled ukazuje: kachle zdrojové složky, nebo kachle souboru s mapou.";
inline constexpr char16_t kPreviewLayerLabel[] = u"Vrstva:";
inline constexpr char16_t kPreviewLayerTip[] =
    u"Která mřížka a mapa se ukazuje: OSM (Web Mercator), nebo jedna z map GeoKuku.";
// Layer names: Web Mercator, Web Mercator rows of a map with another integer
// source (%1), GeoKuk map source %1.
inline constexpr char16_t kLayerWebMercator[] = u"OSM (Web Mercator)";
inline constexpr char16_t kLayerGeoKukFormat[] = u"GeoKuk: %1";
inline constexpr char16_t kPreviewFitCaption[] = u"Celý rozsah";
inline constexpr char16_t kPreviewFitTip[] = u"Ukáže celý rozsah kachlí vrstvy.";
inline constexpr char16_t kPreviewSelectCaption[] = u"Vybrat oblast";
inline constexpr char16_t kPreviewSelectTip[] =
    u"Zapnuté: tažení myší v náhledu vybere oblast pro převod (kdykoli také tažení se stisknutým "
    u"Shiftem).";
inline constexpr char16_t kMapViewName[] = u"Mapa náhledu";
inline constexpr char16_t kMapViewTip[] =
    u"Kachle na jejich místě. Tažení posouvá, kolečko myši a klávesy + a − přibližují na další "
    u"úroveň, dvojklik vystředí, šipky posouvají; tažení se Shiftem vybere oblast pro převod. "
    u"Světle červená pole jsou místa bez kachle.";
// Drawn in the view when it has nothing to show; %1 the zoom level drawn.
inline constexpr char16_t kViewNothing[] = u"Není co zobrazit: zadejte zdrojovou složku nebo soubor s mapou.";
inline constexpr char16_t kViewEmpty[] = u"Zdroj neobsahuje žádné kachle.";
inline constexpr char16_t kViewLoading[] = u"Načítám…";
inline constexpr char16_t kViewLevelFormat[] = u"Úroveň %1";
inline constexpr char16_t kViewZoomInHint[] = u"Úroveň %1: přibližte pro obrázky kachlí.";
// The preview's state line.
inline constexpr char16_t kPreviewStatusName[] = u"Stav náhledu";
inline constexpr char16_t kPreviewStatusTip[] = u"Co náhled právě dělá.";
inline constexpr char16_t kPreviewStatusIndexing[] = u"Zjišťuji, co zdroj obsahuje…";
inline constexpr char16_t kPreviewStatusMapFailedFormat[] = u"Soubor s mapou nelze číst: %1";
inline constexpr char16_t kPreviewStatusPaused[] = u"Během převodu se mapa nečte; náhled se obnoví po jeho konci.";
// The zoom levels list.
inline constexpr char16_t kLevelsName[] = u"Úrovně přiblížení";
inline constexpr char16_t kLevelsTip[] =
    u"Úrovně přiblížení vrstvy a počty jejich kachlí. Dvojklik na úroveň ji ukáže.";
inline constexpr char16_t kLevelsZoomHeader[] = u"Úroveň";
inline constexpr char16_t kLevelsEstimatePrefix[] = u"≈ ";  // before a count that is an estimate
inline constexpr char16_t kLevelsTilesHeader[] = u"Kachlí";
inline constexpr char16_t kLevelsEstimatedNote[] =
    u"Počty jsou odhad z několika složek; přesně se počítají na pozadí.";
inline constexpr char16_t kLevelsCountingFormat[] = u"Počty jsou odhad; počítám kachle na pozadí: %1…";
inline constexpr char16_t kLevelsCountedNote[] = u"Počty jsou přesné (spočítány všechny kachle).";
inline constexpr char16_t kLevelsPausedNote[] = u"Počty jsou odhad; počítání čeká na konec převodu.";
inline constexpr char16_t kLevelsNoteName[] = u"Přesnost počtů";
// The coverage of the level shown: %1 level, %2 cells holding a tile, %3
// cells of the level's bounding box, %4 the share in percent.
inline constexpr char16_t kCoverageName[] = u"Pokrytí úrovně";
inline constexpr char16_t kCoverageTip[] =
    u"Celý rozsah zobrazené úrovně: čím tmavší bod, tím víc jeho polí má kachli; světlá místa "
    u"jsou díry, například po zastaveném převodu.";
inline constexpr char16_t kCoverageFormat[] = u"Pokrytí úrovně %1: %2 z %3 polí (%4 %)";
inline constexpr char16_t kCoverageUnknownFormat[] = u"Pokrytí úrovně %1 bude známo po spočítání kachlí.";
inline constexpr char16_t kCoverageTextName[] = u"Čísla pokrytí";

// --- The selection ----------------------------------------------------------
inline constexpr char16_t kSelectionTitle[] = u"Výběr pro převod";
inline constexpr char16_t kSelectionTip[] =
    u"Co „Převést“ převede: kachle, které leží v oblasti, na vybraných úrovních a z vybraných map. "
    u"Prázdný výběr převede vše.";
inline constexpr char16_t kAreaLabel[] = u"Oblast (°):";
inline constexpr char16_t kAreaSouthLabel[] = u"Jih";
inline constexpr char16_t kAreaWestLabel[] = u"Západ";
inline constexpr char16_t kAreaNorthLabel[] = u"Sever";
inline constexpr char16_t kAreaEastLabel[] = u"Východ";
inline constexpr char16_t kAreaSouthTip[] = u"Jižní okraj oblasti, zeměpisná šířka ve stupních (například 49.1).";
inline constexpr char16_t kAreaWestTip[] = u"Západní okraj oblasti, zeměpisná délka ve stupních (například 16.5).";
inline constexpr char16_t kAreaNorthTip[] = u"Severní okraj oblasti, zeměpisná šířka ve stupních.";
inline constexpr char16_t kAreaEastTip[] = u"Východní okraj oblasti, zeměpisná délka ve stupních.";
inline constexpr char16_t kAreaClearCaption[] = u"Zrušit oblast";
inline constexpr char16_t kAreaClearTip[] = u"Smaže oblast: převede se celý svět.";
inline constexpr char16_t kZoomLabel[] = u"Úrovně přiblížení od";
inline constexpr char16_t kZoomToLabel[] = u"do";
inline constexpr char16_t kZoomFromTip[] = u"Nejnižší úroveň přiblížení, která se převede (nabízí úrovně, které zdroj obsahuje).";
inline constexpr char16_t kZoomToTip[] = u"Nejvyšší úroveň přiblížení, která se převede (nabízí úrovně, které zdroj obsahuje).";
inline constexpr char16_t kSourcesLabel[] = u"Mapy:";
inline constexpr char16_t kSourcesTip[] = u"Mapy zdroje GeoKuk: převedou se zaškrtnuté.";
inline constexpr char16_t kSourcesNone[] = u"(zdroj nemá mapy GeoKuku)";
inline constexpr char16_t kSourceCheckTipFormat[] = u"Mapa %1: zaškrtnutá se převede.";
// Why a selection field is red; %1 the field's text.
inline constexpr char16_t kAreaNotNumberFormat[] = u"„%1“ není číslo stupňů.";
inline constexpr char16_t kAreaMissingTip[] = u"Vyplňte všechny čtyři okraje oblasti, nebo žádný.";
inline constexpr char16_t kLatitudeRangeTip[] = u"Zeměpisná šířka musí ležet mezi −90 a 90 stupni.";
inline constexpr char16_t kLongitudeRangeTip[] = u"Zeměpisná délka musí ležet mezi −180 a 180 stupni.";
inline constexpr char16_t kSouthAboveNorthTip[] = u"Jižní okraj leží severněji než severní.";
inline constexpr char16_t kWestEastOfEastTip[] = u"Západní okraj leží východněji než východní.";
inline constexpr char16_t kAreaBeyondMercatorTip[] =
    u"Kachle OSM sahají jen do 85,05° severní a jižní šířky: oblast musí ležet mezi nimi.";
inline constexpr char16_t kZoomOrderTip[] = u"Úroveň „od“ je vyšší než úroveň „do“.";
inline constexpr char16_t kNoSourceCheckedTip[] = u"Zaškrtněte aspoň jednu mapu.";
inline constexpr char16_t kSourcesIncompleteTip[] =
    u"Mapy zdroje se ještě počítají na pozadí: s nezaškrtnutou mapou půjde převádět, až budou "
    u"známy všechny.";

// Settings of the selection, in the same section as the two paths: the four
// edges as typed, the zoom levels (empty: no bound) and the GeoKuk map
// sources left out, separated by commas.
inline constexpr char16_t kSettingAreaSouth[] = u"AreaSouth";
inline constexpr char16_t kSettingAreaWest[] = u"AreaWest";
inline constexpr char16_t kSettingAreaNorth[] = u"AreaNorth";
inline constexpr char16_t kSettingAreaEast[] = u"AreaEast";
inline constexpr char16_t kSettingZoomFrom[] = u"ZoomFrom";
inline constexpr char16_t kSettingZoomTo[] = u"ZoomTo";
inline constexpr char16_t kSettingSourcesOff[] = u"SourcesOff";

}  // namespace res
