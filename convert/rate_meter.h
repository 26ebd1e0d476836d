// RateMeter: how fast a job goes, from the counts of its last seconds, and
// how long it still needs.
//
// The caller adds the job's count whenever it learns one. The rate is the
// growth of the count over the samples of the last `window`, divided by the
// time from the oldest of them to now: a job that stops advancing shows a
// falling rate and a growing time left, not the last good figure. Nothing is
// told until the job has run `warmUp` and the samples span a second.
//
// Thread-safety: a value; one thread uses it.
//
// Invariants:
//  1. Samples are kept in time order and never older than the window,
//     except the one sample just before it, which anchors the rate.
#pragma once

#include <chrono>
#include <deque>
#include <optional>

namespace convert {

class RateMeter {
 public:
  using Clock = std::chrono::steady_clock;

  // The rate of the last ten seconds, told once the job has run three.
  static constexpr Clock::duration kWindow = std::chrono::seconds(10);
  static constexpr Clock::duration kWarmUp = std::chrono::seconds(3);

  explicit RateMeter(Clock::duration window = kWindow, Clock::duration warmUp = kWarmUp)
      : window_(window), warmUp_(warmUp) {}

  // A job starts at `now`: every sample is forgotten.
  void StartJob(Clock::time_point now);
  // A new phase of the same job starts (its count starts again at `done`):
  // the samples are forgotten, the job's start is kept.
  void StartPhase(Clock::time_point now, long long done);
  // The job's count at `now`. Counts that go back start a new phase.
  void Add(Clock::time_point now, long long done);

  // Items per second, or nothing yet (see above).
  std::optional<double> Rate(Clock::time_point now) const;
  // Seconds until `total` is reached at the current rate, or nothing when no
  // rate is known (or it is 0 with items left).
  std::optional<double> SecondsLeft(long long total, Clock::time_point now) const;
  // Seconds since the job started (0 before StartJob).
  double Elapsed(Clock::time_point now) const;

 private:
  struct Sample {
    Clock::time_point at;  // when the count was learnt
    long long done;        // the count
  };
  Clock::duration window_;            // how far back the rate looks
  Clock::duration warmUp_;            // how long the job runs before a rate is told
  std::optional<Clock::time_point> jobStart_;  // StartJob's time
  std::deque<Sample> samples_;        // see invariant 1
};

}  // namespace convert
