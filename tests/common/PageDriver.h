#pragma once
// Driving pages and dialogs in GUI tests as a user does: controls are found by their
// objectName, buttons are clicked, and edits are typed into one key at a time and then
// left, which is when a TNumEdit takes its value.
#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QObject>
#include <QPushButton>
#include <QString>
#include <QWidget>
#include <gtest/gtest.h>

namespace k2::test {

// Finds the controls below one root object (a page, a dialog, the main window).  The
// root is borrowed: whoever owns it keeps it alive while the driver is used.  A
// fixture derives from the driver and sets the root once it has built the window.
class TPageDriver {
 public:
  TPageDriver() = default;
  explicit TPageDriver(const QObject* root) : Root(root) {}
  void SetRoot(const QObject* root) { Root = root; }

  // The descendant of class T called `name`; a missing one fails the test (null).
  template <class T = QWidget>
  T* W(const char* name) const {
    T* w = Root->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  void Click(const char* name) const { W<QPushButton>(name)->click(); }
  bool Enabled(const char* name) const { return W<QWidget>(name)->isEnabled(); }

 private:
  const QObject* Root = nullptr;
};

// One key press per character of `text`, at the widget's cursor.
inline void TypeKeys(QWidget* w, const QString& text) {
  for (const QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(w, &press);
  }
}

// Replaces the edit's text by `text`, one key at a time; the edit keeps the focus.
inline void TypeOver(QLineEdit* e, const QString& text) {
  e->selectAll();
  QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
  QApplication::sendEvent(e, &del);
  TypeKeys(e, text);
}

// The focus moves away from the widget.
inline void Leave(QWidget* w) {
  QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
  QApplication::sendEvent(w, &out);
}

inline void TypeAndLeave(QLineEdit* e, const QString& text) {
  TypeOver(e, text);
  Leave(e);
}

}  // namespace k2::test
