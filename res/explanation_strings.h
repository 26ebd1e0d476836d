// The window's explanations, in Czech: the tooltips (and accessible
// descriptions) of the two status indicators, which say why an indicator has
// its colour and what to do, and of the counter and progress bar, which give
// the result of the last job. Placeholders are QString::arg()'s %1, %2.
//
// Thread-safety: immutable data.
#pragma once

namespace res {

// Layout names as the radio buttons show them, by layout number (TMS and
// MBTiles have no radio button).
inline constexpr const char16_t* kLayoutNames[] = {u"GeoKuk", u"OSM Tracker Storage", u"TMS", u"MBTiles"};

// Source folder indicator. %1 is the box's text; in the refusal %2 is the
// file the check looked at (relative to the folder); in the two ready texts
// %2 is the layout name and %3 that file.
inline constexpr char16_t kSourceNoPathTip[] =
    u"Zadejte nebo vyberte složku se zdrojovými kachlemi (tlačítko „Vybrat“, nebo „GeoKuk“ "
    u"pro složku cache GeoKuku).";
inline constexpr char16_t kSourceMissingTip[] =
    u"Složka „%1“ neexistuje. Opravte cestu, nebo vyberte jinou složku tlačítkem „Vybrat“.";
inline constexpr char16_t kSourceRefusedTip[] =
    u"Složku „%1“ nelze převést: soubor „%2“, první, na který kontrola narazila, není kachle "
    u"GeoKuku ani OSM Tracker Storage. Vyberte složku, ve které jsou jen kachle (cache GeoKuku, "
    u"nebo strom zoom/sloupec/řádek.png).";
// Appended to the refusal, once per folder below that holds tiles: %1 the
// folder (relative to the source), %2 its layout.
inline constexpr char16_t kSourceSuggestionTip[] = u"Kachle formátu %2 jsou ve složce „%1“.";
inline constexpr char16_t kSourceNotFolderTip[] =
    u"„%1“ je soubor, ne složka: převod v něm nenajde žádné kachle. Vyberte složku s kachlemi.";
inline constexpr char16_t kSourceMbtilesTip[] =
    u"Soubor „%1“ je připraven: je to soubor MBTiles, převod uloží jeho kachle (formát zvolený níže "
    u"platí jen pro složky).";
// Appended to a ready folder's tip when it holds a tilemapresource.xml: %1
// that file's name.
inline constexpr char16_t kSourceTmsHintTip[] =
    u"Pozor: složka obsahuje „%1“, který nástroje na řezání kachlí píšou ke stromu TMS. Jeho řádky "
    u"jsou nejspíš číslovány od jihu a převod formátem OSM Tracker Storage by každou kachli uložil "
    u"obráceně; takový strom převede příkaz cvmap convert --layout tms.";
inline constexpr char16_t kSourceNoFileTip[] =
    u"Ve složce „%1“ kontrola nenašla žádný soubor, podle kterého by šel určit formát (složka je "
    u"prázdná, nebo ji nelze číst). Převod použije zvolený formát.";
inline constexpr char16_t kSourceDetectedTip[] =
    u"Složka „%1“ je připravena: obsahuje kachle formátu %2 (určeno podle souboru „%3“).";
inline constexpr char16_t kSourceChosenTip[] =
    u"Složka „%1“ je připravena: soubor „%3“ je kachle formátu %2. Formát se neurčuje "
    u"automaticky: převod použije formát zvolený níže.";

// Target file indicator. %1 is the box's text, %2 SQLite's message.
inline constexpr char16_t kTargetNoPathTip[] =
    u"Zadejte nebo vyberte soubor s mapou (*.cvmap). Nový soubor založíte tlačítkem „Založit“.";
inline constexpr char16_t kTargetMissingTip[] =
    u"Soubor „%1“ neexistuje. Založte ho tlačítkem „Založit“.";
inline constexpr char16_t kTargetFolderTip[] =
    u"„%1“ je složka, ne soubor s mapou. Doplňte jméno souboru (například mapa.cvmap) a založte "
    u"ho tlačítkem „Založit“.";
inline constexpr char16_t kTargetNotMapTip[] = u"„%1“ není soubor s mapou. SQLite hlásí: %2";
inline constexpr char16_t kTargetNotMapNoReasonTip[] = u"„%1“ není soubor s mapou.";
inline constexpr char16_t kTargetBusyTip[] =
    u"Soubor „%1“ právě používá jiný program (SQLite hlásí: %2). Až ho uvolní, vyberte soubor znovu.";
inline constexpr char16_t kTargetCreateFailedTip[] =
    u"Soubor „%1“ nelze založit ani otevřít: chybí jeho složka, nebo do ní nelze zapisovat.";
inline constexpr char16_t kTargetReadyTip[] =
    u"Soubor „%1“ je mapa: převod do něj přidá kachle, které v něm ještě nejsou.";

// Counter and progress bar: the job's result. Headings first, then one line
// per count, then at most one hint.
inline constexpr char16_t kJobRunningTip[] = u"Převod běží.";
inline constexpr char16_t kJobCompletedHeading[] = u"Převod dokončen.";
inline constexpr char16_t kJobStoppedHeading[] =
    u"Převod zastaven tlačítkem „Zastavit“. Co bylo uloženo, v mapě zůstává.";
inline constexpr char16_t kJobStoppedCountingHeading[] =
    u"Převod zastaven tlačítkem „Zastavit“ při počítání souborů; nic nebylo uloženo.";
inline constexpr char16_t kJobFailedHeading[] = u"Převod zastavila chyba: %1";
inline constexpr char16_t kJobFailedNoTextHeading[] = u"Převod zastavila chyba databáze.";
inline constexpr char16_t kJobFilesCountedLine[] = u"Napočítáno souborů: %1";
inline constexpr char16_t kJobFilesLine[] = u"Prošlo souborů: %1";
inline constexpr char16_t kJobStoredLine[] = u"Uloženo kachlí: %1";
inline constexpr char16_t kJobDuplicatesLine[] = u"Již v mapě (ponechány): %1";
inline constexpr char16_t kJobNotTilesLine[] = u"Nejsou kachle: %1";
inline constexpr char16_t kJobUnreadableLine[] = u"Nelze přečíst: %1";
inline constexpr char16_t kJobTooLargeLine[] = u"Příliš velké pro SQLite: %1";
inline constexpr char16_t kJobUnreadableFoldersLine[] =
    u"Nečitelné složky (jejich kachle v mapě nejsou): %1";
inline constexpr char16_t kJobOutsideSelectionLine[] = u"Mimo výběr (nečteny): %1";
inline constexpr char16_t kJobNothingSelectedHint[] =
    u"Výběr nezahrnul žádnou kachli zdroje: zkontrolujte oblast, úrovně a mapy ve výběru.";
inline constexpr char16_t kJobNoFilesHint[] = u"Ve složce nejsou žádné soubory.";
inline constexpr char16_t kJobFileSizeLimitHint[] =
    u"Soubor s mapou dosáhl největší velikosti, kterou jeho souborový systém unese. Mapa si ponechává všechny "
    u"kachle uložené před chybou.";
// %1: SQLite's reason why the rollback could not be completed.
inline constexpr char16_t kJobRollbackLeftHint[] =
    u"Nedokončenou dávku se nepodařilo z mapy vrátit (%1): vedle mapy zůstal její žurnál a programy, které mapu "
    u"jen čtou, ji odmítnou, dokud ji další převod nebo „Založit“ neotevře.";
inline constexpr char16_t kJobNothingNewHint[] = u"Nic nového: všechny kachle už v mapě byly.";
inline constexpr char16_t kJobNoTilesHint[] =
    u"Žádný soubor není kachle zvoleného formátu; zkuste jiný formát.";

}  // namespace res
