#include "widgets/uGroupBox.h"

namespace k2 {

TGroupBox::TGroupBox(const QString& title, QWidget* parent) : QGroupBox(title, parent) {}

QList<QWidget*> TGroupBox::Controls() const {
  return findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
}

void TGroupBox::SetGroupEnabled(bool on) {
  const QList<QWidget*> controls = Controls();
  if (!on) {
    if (On) {
      Remembered.clear();
      for (QWidget* w : controls)
        if (!w->testAttribute(Qt::WA_ForceDisabled)) Remembered.append(w);
      Remembers = true;
    }
    for (QWidget* w : controls) w->setEnabled(false);
    On = false;
    setEnabled(false);
    return;
  }
  if (On && Remembers) return;
  setEnabled(true);
  if (Remembers) {
    for (const QPointer<QWidget>& w : Remembered)
      if (w) w->setEnabled(true);
  } else {
    for (QWidget* w : controls) w->setEnabled(true);
  }
  On = true;
}

void TGroupBox::SetBanner(bool banner) {
  setStyleSheet(
      // White on slate when enabled (contrast above 4.5:1), grey on pale grey when
      // disabled, so that the banner shows the group's state.
      banner ? QStringLiteral("QGroupBox { border: 1px solid palette(mid); margin-top: 18px; }"
                              "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: "
                              "top left; left: 0px; right: 0px; padding: 1px 4px; "
                              "background: #4a5d7e; color: #ffffff; }"
                              "QGroupBox::title:disabled { background: #d4d7dc; color: #80848a; }")
             : QString());
}

}  // namespace k2
