#include "platform/qt/message_box_presenter.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>
#include <cassert>

namespace platform::qt {

void QMessageBoxPresenter::Show(const std::u16string& text, MessageStyle style) {
  assert(QThread::currentThread() == QCoreApplication::instance()->thread());
  const QMessageBox::Icon icon =
      style == MessageStyle::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon;
  QMessageBox box(icon, QCoreApplication::applicationName(), QString::fromStdU16String(text),
                  QMessageBox::Ok, QApplication::activeWindow());
  box.exec();
}

}  // namespace platform::qt
