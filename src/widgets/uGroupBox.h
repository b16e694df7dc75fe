#pragma once
// TGroupBox: a group box with the pages' group convention.
//
// SetGroupEnabled(false) disables every control of the group (its direct child
// widgets) and remembers which of them were enabled; SetGroupEnabled(true) enables
// exactly those again, or every control when the group has not been disabled this
// way since it was built.  Disabling a group that is already disabled keeps the first
// memory (and makes sure every control is disabled); enabling a group that is
// already enabled after a disable changes nothing.  Controls a page enables or
// disables on their own after the group call keep that state until the next call.
//
// The caption is greyed while the group is disabled.  QWidget::setEnabled still works
// the plain Qt way (controls keep their own states and only look disabled through
// the group); pages that want controls "never enabled themselves" use that instead.
//
// SetBanner(true) draws the caption as a banner across the top (a list group).
#include <QGroupBox>
#include <QList>
#include <QPointer>
#include <QWidget>

namespace k2 {

class TGroupBox : public QGroupBox {
  Q_OBJECT

 public:
  explicit TGroupBox(const QString& title = QString(), QWidget* parent = nullptr);

  void SetGroupEnabled(bool on);
  // False between SetGroupEnabled(false) and SetGroupEnabled(true).
  bool GroupEnabled() const { return On; }

  void SetBanner(bool banner);

 private:
  QList<QWidget*> Controls() const;

  bool On = true;
  bool Remembers = false;               // disabled at least once since built
  QList<QPointer<QWidget>> Remembered;  // the controls enabled at the last disable
};

}  // namespace k2
