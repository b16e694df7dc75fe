#include "widgets/uRasterView.h"

#include <QMouseEvent>
#include <QPainter>

namespace k2 {

TRasterView::TRasterView(QWidget* parent) : QWidget(parent) {
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  Background = palette().color(QPalette::Window);
}

void TRasterView::SetImage(const QImage* image) {
  Shown = image;
  Refresh();
}

void TRasterView::SetBackground(const QColor& colour) {
  Background = colour;
  Refresh();
}

void TRasterView::BeginUpdate() {
  // QImage copies share their pixels until one side is painted into, so freezing
  // the picture costs one copy only when the caller really draws.
  if (UpdateDepth++ == 0) Frozen = Shown ? *Shown : QImage();
}

void TRasterView::EndUpdate() {
  if (UpdateDepth == 0) return;
  if (--UpdateDepth == 0) {
    Frozen = QImage();
    update();
  }
}

void TRasterView::Refresh() {
  if (UpdateDepth == 0) update();
}

QSize TRasterView::sizeHint() const {
  return Shown && !Shown->isNull() ? Shown->size() : QSize(100, 100);
}

void TRasterView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QImage* img = UpdateDepth > 0 ? &Frozen : Shown;
  if (img && !img->isNull()) {
    // Transparent pixels (an emptied view) show the background.
    if (img->hasAlphaChannel()) p.fillRect(QRect(QPoint(0, 0), img->size()), Background);
    p.drawImage(0, 0, *img);

    const QRegion rest = QRegion(rect()) - QRegion(QRect(QPoint(0, 0), img->size()));
    for (const QRect& r : rest) p.fillRect(r, Background);
  } else {
    p.fillRect(rect(), Background);
  }
}

void TRasterView::mousePressEvent(QMouseEvent* event) {
  Q_EMIT MouseDown(event->button(), event->position().toPoint());
}

void TRasterView::mouseMoveEvent(QMouseEvent* event) {
  Q_EMIT MouseMove(event->buttons(), event->position().toPoint());
}

void TRasterView::mouseReleaseEvent(QMouseEvent* event) {
  Q_EMIT MouseUp(event->button(), event->position().toPoint());
}

void TRasterView::leaveEvent(QEvent* event) {
  QWidget::leaveEvent(event);
  Q_EMIT MouseLeave();
}

TViewBatch::TViewBatch(std::initializer_list<TRasterView*> views) : Views(views) {
  for (TRasterView* v : Views) v->BeginUpdate();
}

TViewBatch::~TViewBatch() {
  for (TRasterView* v : Views) v->EndUpdate();
}

}  // namespace k2
