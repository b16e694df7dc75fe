#pragma once
// The replay page.
#include <QWidget>

namespace k2 {

class TwdMain;

class TReplayPage : public QWidget {
  Q_OBJECT

 public:
  // The page works on the shared state of `main`, which outlives it.
  explicit TReplayPage(TwdMain* main, QWidget* parent = nullptr);

 private:
  TwdMain* Main;
};

}  // namespace k2
