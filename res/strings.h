// Every text the window shows besides the control captions of the dialog
// template: the string table, button captions that change, formats, the file
// chooser's filter and the window's own messages.
//
// Thread-safety: immutable data.
#pragma once

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

}  // namespace res
