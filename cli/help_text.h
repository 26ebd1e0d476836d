// The help texts of cvmap: the overview of `cvmap --help` and each command's
// own `cvmap COMMAND --help`. Every line fits 80 columns.
//
// Thread-safety: immutable data.
#pragma once

namespace cli {

// `cvmap --help`.
extern const char kOverviewHelp[];

// `cvmap COMMAND --help`: usage, what it does, every option, what it prints
// and its exit codes.
extern const char kConvertHelp[];
extern const char kVerifyHelp[];
extern const char kExportHelp[];
extern const char kProbeHelp[];
extern const char kCreateHelp[];
extern const char kInfoHelp[];
extern const char kExtractHelp[];

}  // namespace cli
