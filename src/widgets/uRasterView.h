#pragma once
// TRasterView: shows a QImage 1:1 at its top-left corner and reports the mouse in
// image pixels.
//
// The image is borrowed: the page that owns a raster keeps it alive for as long as
// the view shows it (SetImage(nullptr) detaches it).  A null or absent image, and the
// part of the widget the image does not cover, show the widget's background colour.
//
// Repainting can be suspended around a series of drawing calls: between the
// outermost BeginUpdate and its EndUpdate the view keeps showing the picture it had
// at BeginUpdate (even if something forces a paint), and EndUpdate repaints once.
// Refresh() asks for a repaint of the current image; inside an update block it is
// deferred to EndUpdate.
//
// Mouse signals carry positions in image pixels (the widget's own coordinates, since
// the image is shown unscaled).  Moves are reported with or without a button held.
#include <QColor>
#include <QImage>
#include <QPoint>
#include <QWidget>
#include <initializer_list>
#include <vector>

namespace k2 {

class TRasterView : public QWidget {
  Q_OBJECT

 public:
  explicit TRasterView(QWidget* parent = nullptr);

  // The raster shown, not owned; may be null.  Repaints (or defers, see above).
  void SetImage(const QImage* image);
  const QImage* Image() const { return Shown; }

  // Colour of the area without image; the palette's window colour by default.
  void SetBackground(const QColor& colour);

  // Suspends repainting; calls nest.
  void BeginUpdate();
  // Ends one BeginUpdate; the outermost one repaints the view.
  void EndUpdate();
  bool Updating() const { return UpdateDepth > 0; }
  // Repaints now-ish (through the event loop), or at the end of the update block.
  void Refresh();

  QSize sizeHint() const override;

 Q_SIGNALS:
  void MouseDown(Qt::MouseButton button, QPoint pos);
  void MouseMove(Qt::MouseButtons buttons, QPoint pos);
  void MouseUp(Qt::MouseButton button, QPoint pos);
  void MouseLeave();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  const QImage* Shown = nullptr;
  QImage Frozen;  // the picture at the outermost BeginUpdate (a shallow copy)
  int UpdateDepth = 0;
  QColor Background;
};

// A drawing batch: repainting of the views is suspended for the life of the object,
// and each view is repainted once at its end, in the order given.  The views must
// outlive the batch.
class TViewBatch {
 public:
  explicit TViewBatch(std::initializer_list<TRasterView*> views);
  ~TViewBatch();
  TViewBatch(const TViewBatch&) = delete;
  TViewBatch& operator=(const TViewBatch&) = delete;

 private:
  std::vector<TRasterView*> Views;
};

}  // namespace k2
