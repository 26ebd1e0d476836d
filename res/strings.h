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
