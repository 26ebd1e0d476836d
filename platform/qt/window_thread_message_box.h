// WindowThreadMessageBox: a message-box service that shows every box on the
// window thread, whichever thread asks for it.
//
// A call from the window thread (the thread this object lives in) is handed
// straight to the presenter. A call from any other thread (the conversion
// worker) queues a request, asks the window thread by a queued call to serve
// it, and blocks until the presenter has shown it and the user has dismissed
// it. While the window thread itself waits for the worker (the close command),
// it serves those requests through ServeUntil() and processes nothing else,
// so a worker that meets a database error during the wait cannot deadlock
// the two threads.
//
// Thread-safety: Show() and HasPendingRequest() may be called from any thread;
// ServePending() and ServeUntil() only on the window thread.
//
// Invariants:
//  1. Requests are shown in the order they were made, one at a time.
//  2. A requesting thread returns from Show() only after its box was shown.
//  3. The presenter is only ever called on the window thread.
//  4. No request is pending when the object is destroyed (the owner joins the
//     worker before that).
#pragma once

#include <QObject>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

#include "platform/message_box.h"

namespace platform::qt {

class WindowThreadMessageBox : public QObject, public MessageBoxService {
 public:
  // `presenter` shows the box on the window thread (a QMessageBox in the
  // window, a recording sink in tests); not owned, must outlive this object.
  // REQUIRES: presenter != nullptr; constructed on the window thread.
  explicit WindowThreadMessageBox(MessageBoxService* presenter, QObject* parent = nullptr);
  ~WindowThreadMessageBox() override;

  // Shows `text` on the window thread and returns once it was dismissed.
  void Show(const std::u16string& text, MessageStyle style) override;

  // Window thread: shows every pending request, oldest first. Returns how
  // many were shown.
  int ServePending();

  // Window thread: serves requests as they come until `done` returns true;
  // handles no other event meanwhile. `done` is polled every few
  // milliseconds and after every request served.
  void ServeUntil(const std::function<bool()>& done);

  // True while a request from another thread waits to be shown.
  bool HasPendingRequest() const;

 private:
  struct Request {
    std::u16string text;  // what to show
    MessageStyle style;   // how
    bool shown = false;   // set by the window thread once the box was dismissed
  };

  bool OnWindowThread() const;

  MessageBoxService* presenter_;     // not owned
  mutable std::mutex mutex_;         // guards pending_ and every Request::shown
  std::condition_variable changed_;  // a request was queued or shown
  std::deque<Request*> pending_;     // oldest first; each lives on its requester's stack
};

}  // namespace platform::qt
