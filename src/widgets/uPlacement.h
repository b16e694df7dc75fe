#pragma once
// Controls placed at fixed pixel positions, as every page and dialog lays them out.
// Each helper creates the control as a child of `parent` (which owns it), gives it
// its objectName and its geometry.
#include <QRect>

class QLabel;
class QPushButton;
class QWidget;

namespace k2 {

class TGroupBox;
class TNumEdit;
class TRasterView;

// A label sized to its text, its top-left at (x, y); `name` may be null.
QLabel* PlaceLabel(QWidget* parent, const char* text, int x, int y, const char* name = nullptr);
QPushButton* PlaceButton(QWidget* parent, const char* name, const char* caption, const QRect& r);
TGroupBox* PlaceGroup(QWidget* parent, const char* name, const char* title, const QRect& r);
// A whole-number edit ("0;-0") without limits, 21 pixels high.
TNumEdit* PlaceIntEdit(QWidget* parent, const char* name, int x, int y, int width);
// A raster view of w x h pixels inside a rounded border; the view's top-left lands
// on (x, y) and the border around it is named after the view plus "Border".
TRasterView* PlaceView(QWidget* parent, const char* name, int x, int y, int w, int h);

}  // namespace k2
