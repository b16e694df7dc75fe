#include "ui/uArrowKeys.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace k2 {

TArrowKeys::TArrowKeys(QWidget* window) : QObject(window), Window(window) {
  qApp->installEventFilter(this);
}

TArrowKeys::~TArrowKeys() {
  if (qApp) qApp->removeEventFilter(this);
}

int TArrowKeys::Slot(int key) {
  switch (key) {
    case Qt::Key_Up:
      return 0;
    case Qt::Key_Down:
      return 1;
    case Qt::Key_Left:
      return 2;
    case Qt::Key_Right:
      return 3;
    default:
      return -1;
  }
}

bool TArrowKeys::Held(int key) const {
  const int slot = Slot(key);
  return slot >= 0 && Down[static_cast<size_t>(slot)];
}

bool TArrowKeys::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (watched == Window && (type == QEvent::WindowDeactivate || type == QEvent::Hide)) {
    ReleaseAll();
    return false;
  }
  if (type != QEvent::KeyPress && type != QEvent::KeyRelease) return false;
  auto* widget = qobject_cast<QWidget*>(watched);
  if (!Window || !widget || widget->window() != Window) return false;
  const auto* key = static_cast<QKeyEvent*>(event);
  const int slot = Slot(key->key());
  if (slot < 0) return false;
  if (!key->isAutoRepeat()) Down[static_cast<size_t>(slot)] = type == QEvent::KeyPress;
  return Capturing;
}

}  // namespace k2
