// The text on the counter's line that tells a running job's speed and the
// time it still needs ("850 kachlí/s, zbývá 2 min 10 s"), and after a job
// how long it took.
//
// Thread-safety: pure functions.
#pragma once

#include <QString>
#include <optional>

namespace app {

// "45 s", "2 min 10 s", "1 h 05 min"; seconds are rounded up, so a job
// with a second left never shows "0 s".
QString DescribeDuration(double seconds);

// The counting pass: "12000 souborů/s"; the converting pass:
// "850 kachlí/s, zbývá 2 min 10 s" (without the time left when it is not
// known). Empty while the rate is not known.
QString DescribeRate(bool converting, std::optional<double> rate, std::optional<double> secondsLeft);

// After a job: "trvalo 3 min 12 s", or empty for a job shorter than
// `shortest` seconds.
QString DescribeFinished(double seconds, double shortest);

}  // namespace app
