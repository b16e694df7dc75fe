#pragma once
// The replay page.
#include <QWidget>

#include "ui/uPageHost.h"

namespace k2 {

class TReplayPage : public QWidget, public IPage {
  Q_OBJECT

 public:
  // The page works on the shared state of `host`, which outlives it.
  explicit TReplayPage(IPageHost& host, QWidget* parent = nullptr);

  bool ConfirmLeave(TLeaving how) override;
  void ClosePage() override;

 private:
  IPageHost& Host;
};

}  // namespace k2
