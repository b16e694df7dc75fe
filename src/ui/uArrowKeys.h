#pragma once
// Which of the four arrow keys are held down in the main window.
//
// An application-wide event filter watches key presses and releases aimed at widgets
// of the window it serves (auto-repeats ignored) and forgets every held key when that
// window stops being the active window, so that a key released elsewhere never stays
// "held".  While capturing, arrow keys go to the car test only: they do not also move
// the focus between controls.  Owned by its Qt parent (the main window).
#include <QObject>
#include <QPointer>
#include <array>

class QWidget;

namespace k2 {

class TArrowKeys : public QObject {
  Q_OBJECT

 public:
  // Watches the keys of `window`; installs itself on the application.
  explicit TArrowKeys(QWidget* window);
  ~TArrowKeys() override;

  // Up, Down, Left, Right.
  bool Held(int key) const;
  void ReleaseAll() { Down.fill(false); }
  void SetCapturing(bool on) { Capturing = on; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  static int Slot(int key);  // -1 for other keys

  QPointer<QWidget> Window;
  std::array<bool, 4> Down{};
  bool Capturing = false;
};

}  // namespace k2
