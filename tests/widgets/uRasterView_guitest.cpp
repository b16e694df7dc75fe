// TRasterView: 1:1 display, suspended repainting, mouse reports.
#include <QApplication>
#include <QMouseEvent>
#include <gtest/gtest.h>
#include <vector>

#include "widgets/uRasterView.h"

namespace k2 {
namespace {

QImage Shown(TRasterView& v) { return v.grab().toImage().convertToFormat(QImage::Format_ARGB32); }

QImage Pattern(int w, int h) {
  QImage img(w, h, QImage::Format_ARGB32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) img.setPixel(x, y, qRgb(x * 7 % 256, y * 13 % 256, (x + y) % 256));
  return img;
}

TEST(RasterViewTest, ShowsTheImageOneToOneAndTheBackgroundAround) {
  QImage img = Pattern(30, 20);
  TRasterView view;
  view.resize(40, 25);
  view.SetBackground(QColor(0xFF, 0xE0, 0x10));
  view.SetImage(&img);
  const QImage shot = Shown(view);
  EXPECT_EQ(shot.copy(0, 0, 30, 20), img);
  EXPECT_EQ(shot.pixel(35, 10), qRgb(0xFF, 0xE0, 0x10));
  EXPECT_EQ(shot.pixel(10, 22), qRgb(0xFF, 0xE0, 0x10));

  view.SetImage(nullptr);
  EXPECT_EQ(Shown(view).pixel(5, 5), qRgb(0xFF, 0xE0, 0x10));
}

TEST(RasterViewTest, SuspendedViewKeepsItsPictureUntilTheLastEndUpdate) {
  QImage img(10, 10, QImage::Format_ARGB32);
  img.fill(Qt::white);
  TRasterView view;
  view.resize(10, 10);
  view.SetImage(&img);
  view.BeginUpdate();
  view.BeginUpdate();
  img.fill(Qt::black);
  view.Refresh();
  EXPECT_EQ(Shown(view).pixel(3, 3), qRgb(255, 255, 255));
  view.EndUpdate();
  EXPECT_TRUE(view.Updating());
  EXPECT_EQ(Shown(view).pixel(3, 3), qRgb(255, 255, 255));
  view.EndUpdate();
  EXPECT_FALSE(view.Updating());
  EXPECT_EQ(Shown(view).pixel(3, 3), qRgb(0, 0, 0));
}

TEST(RasterViewTest, ReportsTheMouseInImagePixels) {
  TRasterView view;
  view.resize(100, 100);
  std::vector<QString> log;
  QObject::connect(&view, &TRasterView::MouseDown, [&](Qt::MouseButton b, QPoint p) {
    log.push_back(QStringLiteral("down %1 %2,%3").arg(int(b)).arg(p.x()).arg(p.y()));
  });
  QObject::connect(&view, &TRasterView::MouseMove, [&](Qt::MouseButtons b, QPoint p) {
    log.push_back(QStringLiteral("move %1 %2,%3").arg(int(b)).arg(p.x()).arg(p.y()));
  });
  QObject::connect(&view, &TRasterView::MouseUp, [&](Qt::MouseButton b, QPoint p) {
    log.push_back(QStringLiteral("up %1 %2,%3").arg(int(b)).arg(p.x()).arg(p.y()));
  });
  QObject::connect(&view, &TRasterView::MouseLeave,
                   [&] { log.push_back(QStringLiteral("leave")); });

  auto send = [&](QEvent::Type type, QPoint p, Qt::MouseButton b, Qt::MouseButtons held) {
    QMouseEvent e(type, QPointF(p), view.mapToGlobal(QPointF(p)), b, held, Qt::NoModifier);
    QApplication::sendEvent(&view, &e);
  };
  send(QEvent::MouseMove, {5, 6}, Qt::NoButton, Qt::NoButton);
  send(QEvent::MouseButtonPress, {10, 20}, Qt::RightButton, Qt::RightButton);
  send(QEvent::MouseMove, {12, 21}, Qt::NoButton, Qt::RightButton);
  send(QEvent::MouseButtonRelease, {12, 21}, Qt::RightButton, Qt::NoButton);
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(&view, &leave);

  const std::vector<QString> expected = {
      QStringLiteral("move 0 5,6"), QStringLiteral("down 2 10,20"), QStringLiteral("move 2 12,21"),
      QStringLiteral("up 2 12,21"), QStringLiteral("leave")};
  EXPECT_EQ(log, expected);
}

}  // namespace
}  // namespace k2
