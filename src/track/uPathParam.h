#pragma once
// TwdPathParam: the modal dialog for a track's three parameters (surface width,
// centre-line width, friction).  The caller sets the caption, loads the dialog from
// a track, runs it, and stores the values back only when it closed with OK.
#include <QDialog>

class QLabel;
class QPushButton;

namespace k2 {

class TPath;
class TNumEdit;

class TwdPathParam : public QDialog {
  Q_OBJECT

 public:
  explicit TwdPathParam(QWidget* owner = nullptr);

  // nedtPathWidth := PathWidth, nedtLineWidth := LineWidth, nedtMiu := Miu.
  void LoadFromPath(const TPath& track);
  // PathWidth, LineWidth := the whole values of their edits; Miu := nedtMiu as float.
  void StoreToPath(TPath& track) const;

  TNumEdit* nedtPathWidth = nullptr;  // 1..1000 mm
  TNumEdit* nedtLineWidth = nullptr;  // 1..1000 mm
  TNumEdit* nedtMiu = nullptr;        // 0.001..1
  QPushButton* btnOK = nullptr;
  QPushButton* btnCancel = nullptr;
};

}  // namespace k2
