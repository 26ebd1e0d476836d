#include "platform/qt/window_thread_message_box.h"

#include <QThread>
#include <cassert>
#include <chrono>

namespace platform::qt {

namespace {
// How often ServeUntil() looks at its condition when nothing is requested.
constexpr std::chrono::milliseconds kPollInterval(5);
}  // namespace

WindowThreadMessageBox::WindowThreadMessageBox(MessageBoxService* presenter, QObject* parent)
    : QObject(parent), presenter_(presenter) {
  assert(presenter_ != nullptr);
}

WindowThreadMessageBox::~WindowThreadMessageBox() {
  std::lock_guard<std::mutex> lock(mutex_);
  assert(pending_.empty());
}

bool WindowThreadMessageBox::OnWindowThread() const { return QThread::currentThread() == thread(); }

void WindowThreadMessageBox::Show(const std::u16string& text, MessageStyle style) {
  if (OnWindowThread()) {
    presenter_->Show(text, style);
    return;
  }
  Request request{text, style};
  {
    std::lock_guard<std::mutex> lock(mutex_);
    pending_.push_back(&request);
  }
  changed_.notify_all();
  // The queued call is dropped if this object is gone; the owner guarantees
  // that it outlives every requester, and ServeUntil() serves without it.
  QMetaObject::invokeMethod(this, [this] { ServePending(); }, Qt::QueuedConnection);
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&request] { return request.shown; });
}

int WindowThreadMessageBox::ServePending() {
  assert(OnWindowThread());
  int served = 0;
  for (;;) {
    Request* request = nullptr;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (pending_.empty()) break;
      request = pending_.front();
      pending_.pop_front();
    }
    // The presenter may run a nested event loop (a modal box); a queued
    // ServePending() that runs inside it finds the request already taken.
    presenter_->Show(request->text, request->style);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      request->shown = true;
    }
    changed_.notify_all();
    ++served;
  }
  return served;
}

void WindowThreadMessageBox::ServeUntil(const std::function<bool()>& done) {
  assert(OnWindowThread());
  for (;;) {
    ServePending();
    if (done()) return;
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, kPollInterval, [this] { return !pending_.empty(); });
  }
}

bool WindowThreadMessageBox::HasPendingRequest() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return !pending_.empty();
}

}  // namespace platform::qt
