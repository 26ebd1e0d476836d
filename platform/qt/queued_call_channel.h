// QueuedCallChannel: a notification channel that delivers every notification
// as a queued call on the thread of a receiving QObject (the window thread).
//
// Post() only queues an event and returns: it never waits for the window
// thread. Notifications are handled one at a time, in posting order. Those
// still queued when the receiver is destroyed are dropped with it.
//
// Thread-safety: Post() may be called from any thread.
#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

#include "platform/notification.h"

namespace platform::qt {

class QueuedCallChannel : public NotificationChannel {
 public:
  using Handler = std::function<void(int code, int count)>;

  // `handler` runs on `receiver`'s thread for every notification.
  // `receiver` is not owned. REQUIRES: receiver != nullptr, handler set.
  QueuedCallChannel(QObject* receiver, Handler handler);

  void Post(int code, int count) override;

 private:
  QPointer<QObject> receiver_;  // not owned; the calls are queued to its thread
  Handler handler_;             // copied into every queued call
};

}  // namespace platform::qt
