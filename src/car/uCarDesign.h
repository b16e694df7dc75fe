#pragma once
// The car design page with the car test group.
#include <QWidget>

namespace k2 {

class TwdMain;

class TCarDesignPage : public QWidget {
  Q_OBJECT

 public:
  // The page works on the shared state of `main`, which outlives it.
  explicit TCarDesignPage(TwdMain* main, QWidget* parent = nullptr);

 private:
  TwdMain* Main;
};

}  // namespace k2
