#pragma once
// The simulation page.
#include <QWidget>

namespace k2 {

class TwdMain;

class TSimuPage : public QWidget {
  Q_OBJECT

 public:
  // The page works on the shared state of `main`, which outlives it.
  explicit TSimuPage(TwdMain* main, QWidget* parent = nullptr);

 private:
  TwdMain* Main;
};

}  // namespace k2
