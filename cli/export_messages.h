// The messages cvmap export writes: why a target is refused, why rows were
// not exported, and what to do after a failure stopped the export. The
// functions return lines without the "cvmap: " prefix.
//
// Thread-safety: pure functions.
#pragma once

#include <string>
#include <string_view>

#include "cli/messages.h"
#include "convert/export_session.h"

namespace cli {

// Why one row is not exported (for --verbose): `detail` is the system's
// reason of a file that could not be written.
std::string ExportSkipText(convert::ExportSkip why, bool toMbtiles, std::string_view detail);

// What cvmap says about a target it refused.
Refusal ExportTargetRefusal(const convert::ExportOutcome& outcome, const std::string& map, const std::string& target);

// "warning: 40 rows were not exported: 30 ...; 10 ... (--verbose lists them)".
std::string ExportSkippedText(const convert::ExportOutcome& outcome, bool listed);

// For an MBTiles file whose tiles have more than one format: which, and
// what the metadata says; "" otherwise.
std::string MixedFormatsText(const convert::ExportOutcome& outcome);

// After a failure stopped the export: what the target keeps, and what to do.
std::string ExportStopAdvice(const convert::ExportOutcome& outcome, const std::string& map, const std::string& target);

}  // namespace cli
