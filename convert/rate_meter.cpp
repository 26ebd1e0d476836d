#include "convert/rate_meter.h"

namespace convert {

namespace {

constexpr std::chrono::seconds kShortestSpan{1};  // samples must span this long for a rate

double Seconds(RateMeter::Clock::duration d) { return std::chrono::duration<double>(d).count(); }

}  // namespace

void RateMeter::StartJob(Clock::time_point now) {
  jobStart_ = now;
  samples_.clear();
}

void RateMeter::StartPhase(Clock::time_point now, long long done) {
  samples_.clear();
  samples_.push_back({now, done});
}

void RateMeter::Add(Clock::time_point now, long long done) {
  if (!samples_.empty() && (done < samples_.back().done || now < samples_.back().at)) {
    StartPhase(now, done);
    return;
  }
  samples_.push_back({now, done});
  // Keep one sample at or before the window's start as the anchor.
  while (samples_.size() > 2 && samples_[1].at <= now - window_) samples_.pop_front();
}

std::optional<double> RateMeter::Rate(Clock::time_point now) const {
  if (!jobStart_ || now - *jobStart_ < warmUp_ || samples_.size() < 2) return std::nullopt;
  const Sample& oldest = samples_.front();
  const Sample& newest = samples_.back();
  if (newest.at - oldest.at < kShortestSpan) return std::nullopt;
  const double span = Seconds(now - oldest.at);
  if (span <= 0) return std::nullopt;
  return static_cast<double>(newest.done - oldest.done) / span;
}

std::optional<double> RateMeter::SecondsLeft(long long total, Clock::time_point now) const {
  const std::optional<double> rate = Rate(now);
  if (!rate || samples_.empty()) return std::nullopt;
  const long long left = total - samples_.back().done;
  if (left <= 0) return 0.0;
  if (*rate <= 0) return std::nullopt;
  return static_cast<double>(left) / *rate;
}

double RateMeter::Elapsed(Clock::time_point now) const {
  return jobStart_ ? Seconds(now - *jobStart_) : 0.0;
}

}  // namespace convert
