#pragma once
// The track design page.
#include <QWidget>

namespace k2 {

class TwdMain;

class TPathDesignPage : public QWidget {
  Q_OBJECT

 public:
  // The page works on the shared state of `main`, which outlives it.
  explicit TPathDesignPage(TwdMain* main, QWidget* parent = nullptr);

 private:
  TwdMain* Main;
};

}  // namespace k2
