// QueuedCallChannel: a notification channel that delivers the worker's
// notifications to a handler on the thread of a receiving QObject (the
// window thread).
//
// Post() only appends to a list under a short lock, and queues one call to
// the window thread when the list was empty: it never waits for the window
// thread. The window thread is woken at most once every `minimumGap` (about
// 50 times a second): each wake-up hands every notification posted since to
// the handler, one at a time, in posting order, so totals, the change of pass
// and the end of a job are never lost or reordered, while a job that ends
// thousands of folders a second costs the window thread only a few dozen
// wake-ups. After the last notification of a wake-up the delivery's end
// callback runs, if one is set: a window that draws its progress there draws
// it once per wake-up, not once per notification. Notifications still
// pending when the receiver is destroyed are dropped with it.
//
// Thread-safety: Post() may be called from any thread; the handler runs on
// the receiver's thread only.
//
// Invariants:
//  1. Every posted notification reaches the handler once, in posting order,
//     while the receiver lives, also when a handler runs a nested event loop.
//  2. At most one wake-up call is queued or timed at any moment.
#pragma once

#include <QObject>
#include <QPointer>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/notification.h"

namespace platform::qt {

// The default least time between two deliveries to the window thread.
inline constexpr std::chrono::milliseconds kDeliveryGap{20};

class QueuedCallChannel : public NotificationChannel {
 public:
  using Handler = std::function<void(int code, int count)>;

  // `handler` runs on `receiver`'s thread for every notification.
  // `receiver` is not owned. REQUIRES: receiver != nullptr, handler set.
  QueuedCallChannel(QObject* receiver, Handler handler, std::chrono::milliseconds minimumGap = kDeliveryGap);

  void Post(int code, int count) override;

  // `delivered` runs on the receiver's thread after the notifications of
  // each wake-up have all been handed to the handler. Set it before the
  // first Post().
  void SetDeliveryEnd(std::function<void()> delivered);

  // For tests and benchmarks: the wake-ups the window thread has had.
  long long Deliveries() const;

 private:
  // What the posting threads and the window thread share. Queued calls hold
  // it too, so a call that runs late never touches a destroyed channel.
  struct Shared {
    QPointer<QObject> receiver;          // not owned; calls are queued to its thread
    Handler handler;                     // runs on the receiver's thread
    std::function<void()> delivered;     // may be empty; runs on the receiver's thread after each wake-up's notifications
    std::chrono::milliseconds gap;       // least time between two deliveries
    std::mutex mutex;                    // guards posted and scheduled
    std::vector<Notification> posted;    // posted, not yet taken by the window thread
    bool scheduled = false;              // a wake-up call is queued or timed
    // Window thread only:
    std::deque<Notification> delivering;  // taken, not yet handed to the handler
    bool lastDeliveryKnown = false;       // a delivery has happened
    std::chrono::steady_clock::time_point lastDelivery;  // when the last one began
    long long deliveries = 0;            // wake-ups so far
  };
  static void Wake(const std::shared_ptr<Shared>& shared);     // window thread: deliver now or after the gap
  static void Deliver(const std::shared_ptr<Shared>& shared);  // window thread: hand over everything posted

  std::shared_ptr<Shared> shared_;  // owned jointly with the queued calls
};

}  // namespace platform::qt
