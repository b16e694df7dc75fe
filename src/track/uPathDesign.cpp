#include "track/uPathDesign.h"

#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <exception>

#include "ui/uFuncProc.h"
#include "ui/uPageHost.h"
#include "base/uSettings.h"
#include "base/uStream.h"
#include "geometry/uConstants.h"
#include "track/uPath.h"
#include "track/uPathParam.h"
#include "widgets/uGroupBox.h"
#include "widgets/uPlacement.h"
#include "widgets/uNumEdit.h"
#include "widgets/uRasterView.h"

namespace k2 {

namespace {

constexpr int DesignSize = 558;     // pixels of imgPathDraw
constexpr int OverviewSize = 140;   // pixels of imgPathView
constexpr int DesignSpan = 3000;    // mm across the design view at zoom 1
constexpr int OverviewSpan = 6000;  // mm across a new overview
constexpr TDocumentKind TrackDocument = {
    "Path",
    "赛道文件(*.kpf)|*.kpf",
    "新建赛道.kpf",
    "Kurvino2 - ",
    "新建赛道文件失败！",
    "赛道文件打开错误！",
    {"新建赛道", "是否继续创建新赛道？"},
    {"打开赛道", "是否继续打开新赛道？"},
    {"关闭赛道", "继续关闭？"},
};

QString PointText(TPointF p) {
  return QStringLiteral("(%1, %2)").arg(RoundHalfEven(p.X)).arg(RoundHalfEven(p.Y));
}

}  // namespace

TPathDesignPage::TPathDesignPage(IPageHost& host, QWidget* parent)
    : QWidget(parent), Host(host), S(host.State()), Flow(host, TrackDocument, *this) {
  setFixedSize(944, 601);
  BuildControls();
  EnableTrackControls(false);
  btnSavePath->setEnabled(false);
}

TPathDesignPage::~TPathDesignPage() = default;

// ---- controls -----------------------------------------------------------------

void TPathDesignPage::BuildControls() {
  imgPathDraw = PlaceView(this, "imgPathDraw", 7, 13, DesignSize, DesignSize);
  imgPathDraw->SetImage(&DrawRaster);
  imgPathView = PlaceView(this, "imgPathView", 571, 13, OverviewSize, OverviewSize);
  imgPathView->SetImage(&ViewRaster);
  connect(imgPathDraw, &TRasterView::MouseDown, this, &TPathDesignPage::imgPathDrawMouseDown);
  connect(imgPathDraw, &TRasterView::MouseMove, this, &TPathDesignPage::imgPathDrawMouseMove);
  connect(imgPathDraw, &TRasterView::MouseUp, this, &TPathDesignPage::imgPathDrawMouseUp);
  connect(imgPathDraw, &TRasterView::MouseLeave, this, &TPathDesignPage::imgPathDrawMouseLeave);
  connect(imgPathView, &TRasterView::MouseDown, this, &TPathDesignPage::imgPathViewMouseDown);

  grpPathParam = PlaceGroup(this, "grpPathParam", "赛道参数", {717, 12, 115, 144});
  stxtPathParam = new QLabel(grpPathParam);
  stxtPathParam->setObjectName(QStringLiteral("stxtPathParam"));
  stxtPathParam->setGeometry(8, 22, 103, 72);
  stxtPathParam->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  btnPathParam = PlaceButton(grpPathParam, "btnPathParam", "修改", {20, 106, 75, 27});

  grpPathFileProcess = PlaceGroup(this, "grpPathFileProcess", "", {838, 12, 90, 145});
  btnNewPath = PlaceButton(grpPathFileProcess, "btnNewPath", "新建", {8, 10, 74, 27});
  btnOpenPath = PlaceButton(grpPathFileProcess, "btnOpenPath", "打开", {8, 43, 74, 27});
  btnSavePath = PlaceButton(grpPathFileProcess, "btnSavePath", "保存", {8, 76, 74, 27});
  btnClosePath = PlaceButton(grpPathFileProcess, "btnClosePath", "关闭", {8, 109, 74, 27});

  grpPathDesignLine = PlaceGroup(this, "grpPathDesignLine", "直线", {572, 163, 260, 81});
  PlaceLabel(grpPathDesignLine, "终点坐标：", 10, 22);
  PlaceLabel(grpPathDesignLine, "X:", 8, 50);
  nedtLineX = PlaceIntEdit(grpPathDesignLine, "nedtLineX", 22, 47, 52);
  PlaceLabel(grpPathDesignLine, "mm", 77, 50);
  PlaceLabel(grpPathDesignLine, "Y:", 106, 50);
  nedtLineY = PlaceIntEdit(grpPathDesignLine, "nedtLineY", 120, 47, 52);
  PlaceLabel(grpPathDesignLine, "mm", 175, 50);
  btnLine = PlaceButton(grpPathDesignLine, "btnLine", "直线", {206, 44, 48, 27});

  grpPathZoom = PlaceGroup(this, "grpPathZoom", "", {838, 163, 92, 120});
  btnZoomOut = PlaceButton(grpPathZoom, "btnZoomOut", "放大", {8, 12, 76, 27});
  btnZoomDefault = PlaceButton(grpPathZoom, "btnZoomDefault", "默认", {8, 46, 76, 27});
  btnZoomIn = PlaceButton(grpPathZoom, "btnZoomIn", "缩小", {8, 80, 76, 27});

  grpPathDesignArc = PlaceGroup(this, "grpPathDesignArc", "弧", {571, 253, 260, 121});
  PlaceLabel(grpPathDesignArc, "圆心坐标：", 10, 22);
  PlaceLabel(grpPathDesignArc, "X:", 8, 50);
  nedtArcX = PlaceIntEdit(grpPathDesignArc, "nedtArcX", 22, 47, 52);
  PlaceLabel(grpPathDesignArc, "mm", 77, 50);
  PlaceLabel(grpPathDesignArc, "Y:", 106, 50);
  nedtArcY = PlaceIntEdit(grpPathDesignArc, "nedtArcY", 120, 47, 52);
  PlaceLabel(grpPathDesignArc, "mm", 175, 50);
  PlaceLabel(grpPathDesignArc, "Alpha:", 8, 86);
  nedtSweepAngle = PlaceIntEdit(grpPathDesignArc, "nedtSweepAngle", 50, 83, 52);
  nedtSweepAngle->SetLimits(-360, 360, true);
  PlaceLabel(grpPathDesignArc, "°", 105, 86);
  btnArc = PlaceButton(grpPathDesignArc, "btnArc", "弧", {206, 80, 48, 27});

  grpPathDesignOther = PlaceGroup(this, "grpPathDesignOther", "", {838, 288, 89, 85});
  btnPathClose = PlaceButton(grpPathDesignOther, "btnPathClose", "封闭赛道", {8, 12, 73, 27});
  btnPathDelete = PlaceButton(grpPathDesignOther, "btnPathDelete", "删除", {8, 46, 73, 27});

  grpPathList = PlaceGroup(this, "grpPathList", "赛道数据：", {575, 380, 353, 190});
  grpPathList->SetBanner(true);
  lvPathDataList = new QTableWidget(0, 4, grpPathList);
  lvPathDataList->setObjectName(QStringLiteral("lvPathDataList"));
  lvPathDataList->setGeometry(1, 20, 351, 169);
  lvPathDataList->setHorizontalHeaderLabels({QStringLiteral("NO."), QStringLiteral("类型"),
                                             QStringLiteral("起始点"), QStringLiteral("终止点")});
  const int widths[4] = {49, 50, 125, 125};
  for (int i = 0; i < 4; ++i) lvPathDataList->setColumnWidth(i, widths[i]);
  // The last column gives way to the vertical scroll bar: no horizontal one.
  lvPathDataList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  lvPathDataList->horizontalHeader()->setStretchLastSection(true);
  lvPathDataList->verticalHeader()->hide();

  lvPathDataList->verticalHeader()->setDefaultSectionSize(18);
  lvPathDataList->horizontalHeader()->setSectionsClickable(false);
  lvPathDataList->horizontalHeader()->setHighlightSections(false);
  lvPathDataList->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  lvPathDataList->setShowGrid(true);
  lvPathDataList->setSelectionBehavior(QAbstractItemView::SelectRows);
  lvPathDataList->setSelectionMode(QAbstractItemView::SingleSelection);
  lvPathDataList->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lvPathDataList->setWordWrap(false);
  connect(lvPathDataList, &QTableWidget::itemSelectionChanged, this,
          &TPathDesignPage::lvPathDataListSelectionChanged);

  connect(btnNewPath, &QPushButton::clicked, this, &TPathDesignPage::btnNewPathClick);
  connect(btnOpenPath, &QPushButton::clicked, this, &TPathDesignPage::btnOpenPathClick);
  connect(btnSavePath, &QPushButton::clicked, this, &TPathDesignPage::btnSavePathClick);
  connect(btnClosePath, &QPushButton::clicked, this, &TPathDesignPage::btnClosePathClick);
  connect(btnLine, &QPushButton::clicked, this, &TPathDesignPage::btnLineClick);
  connect(btnArc, &QPushButton::clicked, this, &TPathDesignPage::btnArcClick);
  connect(btnPathClose, &QPushButton::clicked, this, &TPathDesignPage::btnPathCloseClick);
  connect(btnPathDelete, &QPushButton::clicked, this, &TPathDesignPage::btnPathDeleteClick);
  connect(btnPathParam, &QPushButton::clicked, this, &TPathDesignPage::btnPathParamClick);
  connect(btnZoomIn, &QPushButton::clicked, this, &TPathDesignPage::btnZoomInClick);
  connect(btnZoomOut, &QPushButton::clicked, this, &TPathDesignPage::btnZoomOutClick);
  connect(btnZoomDefault, &QPushButton::clicked, this, &TPathDesignPage::btnZoomDefaultClick);
}

void TPathDesignPage::EnableTrackControls(bool on) {
  btnClosePath->setEnabled(on);
  btnZoomOut->setEnabled(on);
  btnZoomIn->setEnabled(on);
  for (TGroupBox* g : {grpPathDesignLine, grpPathDesignArc, grpPathDesignOther, grpPathZoom,
                       grpPathList, grpPathParam})
    g->SetGroupEnabled(on);
  if (on)
    imgPathDraw->setCursor(Qt::SizeAllCursor);
  else
    imgPathDraw->unsetCursor();
}

// ---- small helpers ------------------------------------------------------------

void TPathDesignPage::CreateTrack() {
  DrawRaster = QImage(imgPathDraw->width(), imgPathDraw->height(), QImage::Format_ARGB32);
  DrawRaster.fill(DesignBackground);
  ViewRaster = QImage(imgPathView->width(), imgPathView->height(), QImage::Format_ARGB32);
  ViewRaster.fill(OverviewBackground);
  S.CurTrack = std::make_unique<TPath>(&DrawRaster, DesignSpan, &ViewRaster, OverviewSpan);
}

void TPathDesignPage::AddListRow(const TPathElement& e) {
  const int row = lvPathDataList->rowCount();
  lvPathDataList->insertRow(row);
  const QString texts[4] = {QString::number(row + 1),
                            e.Kind == 1 ? QStringLiteral("弧") : QStringLiteral("直线"),
                            PointText(e.StartPoint), PointText(e.EndPoint)};
  for (int i = 0; i < 4; ++i) lvPathDataList->setItem(row, i, new QTableWidgetItem(texts[i]));
}

void TPathDesignPage::ShowPathParam() {
  const TPath& t = *S.CurTrack;
  stxtPathParam->setText(QString::asprintf("道宽：%dmm\n线宽：%dmm\n摩擦系数：%.3f", t.PathWidth,
                                           t.LineWidth, static_cast<double>(t.Miu)));
}

void TPathDesignPage::ShowZoom() {
  // The magnification is the inverse of the zoom factor.
  const double zoom = S.CurTrack->DrawTransform->ZoomFactor;
  Host.SetStatusText(TStatusPane::Zoom, QString::asprintf("%.2fx", 1.0 / zoom));
}

void TPathDesignPage::UpdateCloseButton() {
  btnPathClose->setEnabled(!PointsEqual(CurrentEndPoint, TPointF{}));
}

void TPathDesignPage::MarkEdited() {
  btnSavePath->setEnabled(true);
  S.MarkDocModified();
  Host.ShowCaption(true);
}

template <class F>
void TPathDesignPage::MoveDesignView(F change) {
  TPath& t = *S.CurTrack;
  TViewBatch batch({imgPathDraw, imgPathView});
  t.DrawOverviewFrame();  // erases the frame at the old place
  change(*t.DrawTransform);
  t.DrawDesignView(true);
  t.DrawOverviewFrame();
}

// ---- documents ----------------------------------------------------------------

bool TPathDesignPage::HasDocument() const { return S.CurTrack != nullptr; }

QString TPathDesignPage::DocumentFile() const {
  return S.CurTrack ? S.CurTrack->FileName : QString();
}

void TPathDesignPage::SetDocumentFile(const QString& path) {
  if (S.CurTrack) S.CurTrack->FileName = path;
}

bool TPathDesignPage::SaveDocument() { return S.CurTrack && S.CurTrack->SaveToFile(); }

void TPathDesignPage::CreateDocument() { CreateTrack(); }

bool TPathDesignPage::LoadDocument(const QString& path) {
  CreateTrack();
  S.CurTrack->FileName = path;
  return S.CurTrack->LoadFromFile();
}

void TPathDesignPage::ShowNewDocument() {
  TPath& t = *S.CurTrack;
  {
    TViewBatch batch({imgPathDraw, imgPathView});
    t.DrawOverviewFrame();
    t.DrawAxes();
  }
  ShowPathParam();
  lvPathDataList->setRowCount(0);
  EnableTrackControls(true);
  btnSavePath->setEnabled(true);
  btnPathDelete->setEnabled(false);
  btnPathClose->setEnabled(false);
  CurrentEndPoint = TPointF{};
  ShowZoom();
}

void TPathDesignPage::ShowOpenedDocument() {
  TPath& t = *S.CurTrack;
  EnableTrackControls(true);
  ShowPathParam();
  lvPathDataList->setRowCount(0);
  for (const auto& e : t.Elements) AddListRow(*e);
  CurrentEndPoint = t.LastEndPoint();
  UpdateCloseButton();
  btnPathDelete->setEnabled(false);
  ShowZoom();
  TViewBatch batch({imgPathDraw, imgPathView});
  t.FitOverview();
  t.DrawOverview(true);
  t.DrawDesignView(true);
}

void TPathDesignPage::DocumentSaved() { btnSavePath->setEnabled(false); }

void TPathDesignPage::DiscardDocument() { S.CurTrack.reset(); }

void TPathDesignPage::CloseDocument() {
  S.CurTrack.reset();
  DrawRaster = QImage();
  ViewRaster = QImage();
  imgPathDraw->Refresh();
  imgPathView->Refresh();
  lvPathDataList->setRowCount(0);
  EnableTrackControls(false);
  btnSavePath->setEnabled(false);
  stxtPathParam->clear();
  Host.SetStatusText(TStatusPane::Zoom, QString());
  for (TNumEdit* e : {nedtLineX, nedtLineY, nedtArcX, nedtArcY, nedtSweepAngle}) e->SetValue(0);
  PathDragging = false;
  CurrentEndPoint = TPointF{};
}

bool TPathDesignPage::ConfirmLeave(TLeaving how) {
  if (how == TLeaving::Switch) return Flow.ConfirmUnsaved({"切换页面", "继续切换页面？"}, true);
  return Flow.ConfirmUnsaved({"退出程序", "继续退出程序？"}, false);
}

void TPathDesignPage::ClosePage() { Flow.CloseWithoutAsking(); }

void TPathDesignPage::btnNewPathClick() { Flow.New(); }
void TPathDesignPage::btnOpenPathClick() { Flow.Open(); }
void TPathDesignPage::btnSavePathClick() { Flow.Save(); }
void TPathDesignPage::btnClosePathClick() { Flow.Close(); }

// ---- elements -----------------------------------------------------------------

void TPathDesignPage::btnLineClick() {
  if (!S.CurTrack) return;
  QString error;
  auto line = BuildLine(CurrentEndPoint, static_cast<float>(nedtLineX->Value()),
                        static_cast<float>(nedtLineY->Value()), error);
  if (!line) {
    ErrorBox(Host.Window(), error);
    return;
  }
  CurrentEndPoint = line->EndPoint;
  AddListRow(*line);
  {
    TViewBatch batch({imgPathDraw, imgPathView});
    S.CurTrack->AddLine(std::move(line));
  }
  UpdateCloseButton();
  MarkEdited();
}

void TPathDesignPage::btnArcClick() {
  if (!S.CurTrack) return;
  QString error;
  auto arc = BuildArc(CurrentEndPoint, static_cast<float>(nedtArcX->Value()),
                      static_cast<float>(nedtArcY->Value()), nedtSweepAngle->IntValue(), S.MinPathR,
                      error);
  if (!arc) {
    ErrorBox(Host.Window(), error);
    return;
  }
  CurrentEndPoint = arc->EndPoint;
  AddListRow(*arc);
  {
    TViewBatch batch({imgPathDraw, imgPathView});
    S.CurTrack->AddArc(std::move(arc));
  }
  UpdateCloseButton();
  MarkEdited();
}

void TPathDesignPage::btnPathCloseClick() {
  // Offered only while the track is open-ended, so the closing line is never empty.
  if (!S.CurTrack || PointsEqual(CurrentEndPoint, TPointF{})) return;
  auto line = BuildCloseLine(CurrentEndPoint);
  AddListRow(*line);
  {
    TViewBatch batch({imgPathDraw, imgPathView});
    S.CurTrack->AddLine(std::move(line));
  }
  CurrentEndPoint = TPointF{};
  btnPathClose->setEnabled(false);
  btnPathDelete->setEnabled(true);
  MarkEdited();
}

void TPathDesignPage::btnPathDeleteClick() {
  const QList<QTableWidgetItem*> selected = lvPathDataList->selectedItems();
  if (!S.CurTrack || selected.isEmpty()) return;
  const int row = selected.first()->row();
  const QString text = QString::fromUtf8("确定删除NO.%1及之后的赛道元素？").arg(row + 1);
  if (ConfirmBox(Host.Window(), text, QStringLiteral("删除赛道元素")) != QMessageBox::Yes) return;
  TPath& t = *S.CurTrack;
  // The selected row goes; no other row becomes selected in its place.
  lvPathDataList->setCurrentItem(nullptr);
  lvPathDataList->clearSelection();
  for (int i = lvPathDataList->rowCount() - 1; i >= row; --i) lvPathDataList->removeRow(i);
  lvPathDataList->clearSelection();
  CurrentEndPoint = t.DeleteFrom(row);
  if (t.Elements.empty()) btnPathDelete->setEnabled(false);
  UpdateCloseButton();
  MarkEdited();
  TViewBatch batch({imgPathDraw, imgPathView});
  t.DrawOverview(true);
  t.DrawDesignView(true);
}

void TPathDesignPage::lvPathDataListSelectionChanged() {
  btnPathDelete->setEnabled(!lvPathDataList->selectedItems().isEmpty());
}

void TPathDesignPage::btnPathParamClick() {
  if (!S.CurTrack) return;
  TPath& t = *S.CurTrack;
  TwdPathParam dialog(Host.Window());
  dialog.setWindowTitle(QStringLiteral("赛道参数"));
  dialog.LoadFromPath(t);
  if (Dialogs().ExecDialog(dialog) != QDialog::Accepted) return;
  dialog.StoreToPath(t);
  S.MarkDocModified();
  btnSavePath->setEnabled(true);
  {
    TViewBatch batch({imgPathDraw, imgPathView});
    t.DrawDesignView(true);  // the overview does not show the widths
  }
  ShowPathParam();
  Host.ShowCaption(true);
}

// ---- zoom ---------------------------------------------------------------------

void TPathDesignPage::btnZoomInClick() {
  if (!S.CurTrack) return;
  MoveDesignView([](TTransformRect& d) { d.IncreaseZoomFactor(); });
  btnZoomOut->setEnabled(true);
  ShowZoom();
  if (S.CurTrack->DrawTransform->ZoomFactor >= 1.5f) DisableZoomButton(btnZoomIn);
}

void TPathDesignPage::btnZoomOutClick() {
  if (!S.CurTrack) return;
  MoveDesignView([](TTransformRect& d) { d.DecreaseZoomFactor(); });
  btnZoomIn->setEnabled(true);
  ShowZoom();
  if (S.CurTrack->DrawTransform->ZoomFactor <= 0.5f) DisableZoomButton(btnZoomOut);
}

// A button that disables itself under the keyboard's focus would send the focus on
// along the tab chain (to the arc's fields): it stays in the zoom group instead.
void TPathDesignPage::DisableZoomButton(QPushButton* button) {
  if (button->hasFocus()) btnZoomDefault->setFocus(Qt::OtherFocusReason);
  button->setEnabled(false);
}

void TPathDesignPage::btnZoomDefaultClick() {
  if (!S.CurTrack) return;
  MoveDesignView([](TTransformRect& d) { d.ResetZoom(); });
  btnZoomIn->setEnabled(true);
  btnZoomOut->setEnabled(true);
  ShowZoom();
}

// ---- mouse --------------------------------------------------------------------

void TPathDesignPage::imgPathDrawMouseDown(Qt::MouseButton, QPoint pos) {
  if (!S.DocOpen || !S.CurTrack) return;
  PathDragging = true;
  PathDragLast = MakePointF(static_cast<float>(pos.x()), static_cast<float>(pos.y()));
}

void TPathDesignPage::imgPathDrawMouseMove(Qt::MouseButtons, QPoint pos) {
  if (!S.DocOpen || !S.CurTrack) return;
  TPath& t = *S.CurTrack;
  if (PathDragging) {
    MoveDesignView([&](TTransformRect& d) {
      d.PanByPixels(RoundHalfEven(PathDragLast.X - pos.x()),
                    RoundHalfEven(PathDragLast.Y - pos.y()));
      if (!RectInside(d.VisibleRect, t.ViewTransform->VisibleRect)) t.ClampDrawView();
    });
    PathDragLast = MakePointF(static_cast<float>(pos.x()), static_cast<float>(pos.y()));
  }
  Host.SetStatusText(TStatusPane::Info,
                     PointText(t.DrawTransform->ViewToWorld(TPoint{pos.x(), pos.y()})));
}

void TPathDesignPage::imgPathDrawMouseUp(Qt::MouseButton, QPoint) { PathDragging = false; }

void TPathDesignPage::imgPathDrawMouseLeave() { Host.SetStatusText(TStatusPane::Info, QString()); }

void TPathDesignPage::imgPathViewMouseDown(Qt::MouseButton, QPoint pos) {
  if (!S.DocOpen || !S.CurTrack) return;
  TPath& t = *S.CurTrack;
  MoveDesignView([&](TTransformRect& d) {
    const TPointF w = t.ViewTransform->ViewToWorld(TPoint{pos.x(), pos.y()});
    d.SetOffset(MakePointF(-w.X, -w.Y));  // centres the design view on the click
    if (!RectInside(d.VisibleRect, t.ViewTransform->VisibleRect)) t.ClampDrawView();
  });
}

}  // namespace k2
