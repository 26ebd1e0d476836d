#include "app/job_rate_text.h"

#include <algorithm>
#include <cmath>

#include "res/strings.h"

namespace app {

namespace {

QString Text(const char16_t* text) { return QString::fromUtf16(text); }

}  // namespace

QString DescribeDuration(double seconds) {
  const long long whole = std::isfinite(seconds) && seconds > 0 ? static_cast<long long>(std::ceil(seconds)) : 0;
  if (whole >= 3600) {
    const long long minutes = (whole + 59) / 60;  // the minutes left, rounded up
    return Text(res::kDurationHoursFormat).arg(minutes / 60).arg(minutes % 60, 2, 10, QLatin1Char('0'));
  }
  if (whole >= 60) return Text(res::kDurationMinutesFormat).arg(whole / 60).arg(whole % 60);
  return Text(res::kDurationSecondsFormat).arg(whole);
}

QString DescribeRate(bool converting, std::optional<double> rate, std::optional<double> secondsLeft) {
  if (!rate) return {};
  const long long perSecond = std::llround(std::max(*rate, 0.0));
  if (!converting) return Text(res::kRateCountingFormat).arg(perSecond);
  if (!secondsLeft) return Text(res::kRateConvertingNoEndFormat).arg(perSecond);
  return Text(res::kRateConvertingFormat).arg(perSecond).arg(DescribeDuration(*secondsLeft));
}

QString DescribeFinished(double seconds, double shortest) {
  if (!(seconds >= shortest)) return {};
  return Text(res::kRateFinishedFormat).arg(DescribeDuration(seconds));
}

}  // namespace app
