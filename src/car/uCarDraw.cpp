// The plan view of a car: body, axles, wheels (the front pair turned by the steering
// angle) and the sensors' footprints, centred on the view and turned by the heading.
// Car lengths become pixels without rounding; pen widths and the sensor dot are pixels.
#include <QPainter>
#include <QPolygonF>

#include "car/uCar.h"

namespace k2 {

namespace {

QColor Argb(QRgb c) { return QColor::fromRgba(c); }

}  // namespace

float TCar::Pix(double mm) const { return DrawTransform->ToViewLength(static_cast<float>(mm)); }

void TCar::ApplyCarTransform(QPainter& p) const {
  p.resetTransform();
  p.translate(DrawTransform->ViewWidth / 2.0, DrawTransform->ViewHeight / 2.0);
  // Screen rotation is clockwise; the heading grows counter-clockwise.
  p.rotate(-static_cast<double>(Heading));
}

void TCar::Draw() {
  if (!DrawImage || DrawImage->isNull()) return;
  QPainter p(DrawImage);
  p.setRenderHint(QPainter::Antialiasing, true);
  DrawBody(p);
  DrawAxles(p);
  DrawWheels(p);
  DrawSensors(p);
}

void TCar::DrawBody(QPainter& p) const {
  ApplyCarTransform(p);
  p.fillRect(QRectF(-Pix(Width / 2.0), -Pix(Length / 2.0), Pix(Width), Pix(Length)),
             Argb(CarBodyColor));
  p.resetTransform();
}

void TCar::DrawAxles(QPainter& p) const {
  ApplyCarTransform(p);
  QPen pen(Argb(CarAxleColor), CarAxlePenWidth);
  pen.setCapStyle(Qt::FlatCap);
  p.setPen(pen);
  const double half = Pix(Track) / 2.0;
  const double rear = Pix(static_cast<double>(WheelBase) - FrontLength);
  const double front = -Pix(FrontLength);
  p.drawLine(QPointF(-half, rear), QPointF(half, rear));
  p.drawLine(QPointF(-half, front), QPointF(half, front));
  p.setPen(Qt::NoPen);
  p.resetTransform();
}

void TCar::DrawWheels(QPainter& p) const {
  const QRectF wheel(-Pix(WheelWidth / 2.0), -Pix(WheelD / 2.0), Pix(WheelWidth), Pix(WheelD));
  const QColor color = Argb(CarWheelColor);
  const double track = Pix(Track);
  const double steer = SteerAngle;
  ApplyCarTransform(p);
  p.translate(-track / 2, Pix(static_cast<double>(WheelBase) - FrontLength));
  p.fillRect(wheel, color);  // rear left
  p.translate(track, 0);
  p.fillRect(wheel, color);  // rear right
  p.translate(0, -Pix(WheelBase));
  p.rotate(-steer);
  p.fillRect(wheel, color);  // front right
  p.rotate(steer);
  p.translate(-track, 0);
  p.rotate(-steer);
  p.fillRect(wheel, color);  // front left
  p.resetTransform();
}

void TCar::DrawSensors(QPainter& p) const {
  ApplyCarTransform(p);
  p.setPen(Qt::NoPen);
  for (const auto& s : LightSensors) DrawLightSensor(p, *s);
  if (CCDSensor) DrawCCDSensor(p, *CCDSensor);
  p.resetTransform();
}

void TCar::DrawLightSensor(QPainter& p, const TLightSensor& s) const {
  const double r = LightSensorDotSize / 2;
  p.setBrush(Argb(LightSensorColor));
  p.drawEllipse(
      QRectF(Pix(s.SenseX) - r, -Pix(s.SenseY) - r, LightSensorDotSize, LightSensorDotSize));
}

void TCar::DrawCCDSensor(QPainter& p, const TCCDSensor& s) const {
  const auto at = [this](TPointF c) { return QPointF(Pix(c.X), -Pix(c.Y)); };
  const QPolygonF area({at(s.TopLeft), at(s.TopRight), at(s.BottomRight), at(s.BottomLeft)});
  p.setBrush(Argb(CCDAreaColor));
  p.drawPolygon(area, Qt::OddEvenFill);
}

}  // namespace k2
