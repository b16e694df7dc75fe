#pragma once
// Typing into the numeric edits of the car page and the sensor dialogs, as a user does.
#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QString>

#include "base/uStream.h"
#include "widgets/uNumEdit.h"

namespace k2::test {

// Replaces the edit's text by `text`, one key at a time; the edit keeps the focus.
inline void TypeOver(TNumEdit* e, const QString& text) {
  e->selectAll();
  QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
  QApplication::sendEvent(e, &del);
  for (const QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(e, &press);
  }
}

// The focus moves away from the edit.
inline void Leave(QWidget* w) {
  QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
  QApplication::sendEvent(w, &out);
}

inline void TypeAndLeave(TNumEdit* e, const QString& text) {
  TypeOver(e, text);
  Leave(e);
}

// The stored record of a sensor: every field, derived ones included.
template <class TSensorKind>
QByteArray Record(const TSensorKind& s) {
  TStreamWriter w;
  s.SaveToStream(w);
  return w.Data();
}

}  // namespace k2::test
