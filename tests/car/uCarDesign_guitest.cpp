// The car design page, driven through its controls on the offscreen platform with
// scripted message boxes and file dialogs, and the sensor list it shows.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

#include "app/uMain.h"
#include "base/uSettings.h"
#include "car/CarGuiSupport.h"
#include "car/uCCDSensorParams.h"
#include "car/uCar.h"
#include "car/uCarDesign.h"
#include "car/uLightSensorParams.h"
#include "car/uSensorDesign.h"
#include "common/PageDriver.h"
#include "common/ScriptedDialogs.h"
#include "common/TestSupport.h"
#include "simulation/uRunView.h"
#include "widgets/uGroupBox.h"
#include "widgets/uNumEdit.h"
#include "widgets/uRasterView.h"

namespace k2 {
namespace {

using Btn = QMessageBox::StandardButton;
using test::TypeAndLeave;
using test::TypeOver;
const QString CRLF2 = QStringLiteral("\r\n");

// A point sensor as the dialog takes it.
struct TLight {
  int X, Y, Z, Beta;
  int Type = 0;
  int Radius = 0;
};

TLightSensor MakeLight(const TLight& l) {
  TLightSensor s;
  s.SensorType = static_cast<uint8_t>(l.Type);
  s.EffectiveR = l.Radius;
  s.SetAssembleX(l.X);
  s.SetAssembleY(l.Y);
  s.SetAssembleZ(l.Z);
  s.SetBeta(l.Beta);
  return s;
}

// A CCD sensor 100 mm up at 0, 0, looking down at 45 degrees onto (0, 100).
std::unique_ptr<TCCDSensor> MakeCCD() {
  auto s = std::make_unique<TCCDSensor>();
  s->ComputeSenseArea({-50, 200}, {-30, 100}, {50, 200}, {30, 100}, 128, 32);
  s->SetAssembleZ(100);
  s->SetAlpha(45);
  return s;
}

// Controls are looked up in the car page only.
class CarPageTest : public ::testing::Test, protected test::TPageDriver {
 protected:
  CarPageTest() {
    QDir(Dir.Dir()).mkdir(QStringLiteral("Car"));
    Main = std::make_unique<TwdMain>();
    Main->SwitchPage(1);
    Page = Main->CarPage;
    SetRoot(Page);
  }

  TNumEdit* Edit(const char* name) const { return W<TNumEdit>(name); }
  TCar& Car() const { return *Main->State().CurCar; }
  QString Title() const { return Main->windowTitle(); }
  QTreeWidget* List() const { return W<QTreeWidget>("vstSensorList"); }
  QImage Drawing() const { return *W<TRasterView>("imgCarDraw")->Image(); }
  QStringList Kinds() const {
    QStringList k;
    auto* c = W<QComboBox>("cbbSensorKind");
    for (int i = 0; i < c->count(); ++i) k << c->itemText(i);
    return k;
  }
  QTreeWidgetItem* Root(int kind) const { return List()->topLevelItem(kind); }
  // The three texts of the i-th sensor row of a kind.
  QStringList Row(int kind, int i) const {
    QTreeWidgetItem* item = Root(kind)->child(i);
    return {item->text(0), item->text(1), item->text(2)};
  }
  QStringList PointRows() const {
    QStringList ids;
    for (int i = 0; i < Root(0)->childCount(); ++i) ids << Row(0, i).join(QLatin1Char('|'));
    return ids;
  }
  // The car as RedrawCar draws it: white, then the car.
  QImage FreshDrawing() const {
    QImage img = MakeViewRaster(CarTestMainSize);
    img.fill(0xFFFFFFFF);
    QImage* shown = Car().DrawImage;
    Car().DrawImage = &img;
    Car().Draw();
    Car().DrawImage = shown;
    return img;
  }

  void ClickItem(QTreeWidgetItem* item) {
    QTreeWidget* list = List();
    list->scrollToItem(item);
    const QPoint p = list->visualItemRect(item).center();
    for (QEvent::Type t : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
      QMouseEvent e(t, QPointF(p), list->viewport()->mapToGlobal(QPointF(p)), Qt::LeftButton,
                    t == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
      QApplication::sendEvent(list->viewport(), &e);
    }
  }
  void ClickRow(int kind, int i) { ClickItem(Root(kind)->child(i)); }

  // Presses `button`, which must open dialog D, and runs `work` on the dialog.
  template <class D>
  void WithDialog(const char* button, const std::function<void(D&)>& work) {
    bool seen = false;
    Dialogs.AnswerDialogAs<D>([&](D& d) {
      seen = true;
      work(d);
    });
    Click(button);
    EXPECT_TRUE(seen) << button << " opened no dialog";
  }
  void AddLight(const TLight& l) {
    W<QComboBox>("cbbSensorKind")->setCurrentIndex(0);
    WithDialog<TwdLisghtSensorParams>("btnAddSensor", [&](TwdLisghtSensorParams& d) {
      d.cbbSensorType->setCurrentIndex(l.Type);
      TypeAndLeave(d.nedtEffectiveR, QString::number(l.Radius));
      TypeAndLeave(d.nedtAssembleX, QString::number(l.X));
      TypeAndLeave(d.nedtAssembleY, QString::number(l.Y));
      TypeAndLeave(d.nedtAssembleZ, QString::number(l.Z));
      TypeAndLeave(d.nedtBeta, QString::number(l.Beta));
      d.btnOK->click();
    });
  }
  void AddCCD() {
    W<QComboBox>("cbbSensorKind")->setCurrentIndex(1);
    WithDialog<TwdCCDSensorParams>("btnAddSensor", [&](TwdCCDSensorParams& d) {
      TypeAndLeave(d.nedtPixelWidth, QStringLiteral("128"));
      TypeAndLeave(d.nedtPixelHeight, QStringLiteral("32"));
      TypeAndLeave(d.nedtAssembleZ, QStringLiteral("100"));
      TypeAndLeave(d.nedtAlpha, QStringLiteral("45"));
      const std::pair<TNumEdit*, const char*> corners[8] = {
          {d.nedtTopLeftX, "-50"},    {d.nedtTopLeftY, "200"},    {d.nedtBottomLeftX, "-30"},
          {d.nedtBottomLeftY, "100"}, {d.nedtTopRightX, "50"},    {d.nedtTopRightY, "200"},
          {d.nedtBottomRightX, "30"}, {d.nedtBottomRightY, "100"}};
      for (const auto& [edit, text] : corners) TypeAndLeave(edit, QString::fromLatin1(text));
      d.btnOK->click();
    });
  }

  // A car file written directly through the model.
  QString WriteCar(const QString& name, const std::function<void(TCar&)>& build) {
    TCar car(nullptr, CarTestMainSpan);
    build(car);
    car.FileName = Dir.Path(QStringLiteral("Car/") + name);
    EXPECT_TRUE(car.SaveToFile());
    return car.FileName;
  }
  QString WriteThreeLights(const QString& name, bool withCCD = false) {
    return WriteCar(name, [&](TCar& c) {
      c.Length = 321;
      for (const TLight& l :
           {TLight{-40, 150, 50, 45}, TLight{0, 200, 50, 0, 1, 30}, TLight{40, 150, 50, 45}})
        c.AddLightSensor(std::make_unique<TLightSensor>(MakeLight(l)));
      if (withCCD) c.SetCCDSensor(MakeCCD());
    });
  }
  void Open(const QString& file) {
    Dialogs.AnswerFile(file);
    Click("btnOpenCar");
  }
  // Saves the new car as `name` so that later changes show their own marks.
  void SaveNewCarAs(const QString& name) {
    Dialogs.AnswerFile(Dir.Path(QStringLiteral("Car/") + name));
    Click("btnSaveCar");
  }

  test::TTempDir Dir;
  test::TScriptedDialogs Dialogs;
  std::unique_ptr<TwdMain> Main;
  TCarDesignPage* Page = nullptr;
};

const char* const EditingGroups[] = {"grpCarBasic", "grpCarMotor", "grpCarSteer", "grpCarSensor",
                                     "grpCarTest"};
const char* const TestButtons[] = {"btnEnterTest", "btnExitTest", "btnStartTest", "btnPauseTest"};

TEST_F(CarPageTest, WithoutACarOnlyNewAndOpenAreOfferedAndEditsChangeNothing) {
  EXPECT_TRUE(Enabled("btnNewCar"));
  EXPECT_TRUE(Enabled("btnOpenCar"));
  EXPECT_FALSE(Enabled("btnSaveCar"));
  EXPECT_FALSE(Enabled("btnCloseCar"));
  for (const char* g : EditingGroups) EXPECT_FALSE(W<TGroupBox>(g)->GroupEnabled()) << g;
  for (const char* name : {"nedtCarLength", "nedtMotorRa", "nedtSteerSpeed", "btnAddSensor",
                           "btnEditSensor", "btnDeleteSensor", "cbbSensorKind", "vstSensorList",
                           "btnEnterTest", "btnExitTest", "btnStartTest", "btnPauseTest"})
    EXPECT_FALSE(Enabled(name)) << name;
  EXPECT_EQ(W<TGroupBox>("grpCarSensor")->title(), QStringLiteral("传感器"));
  EXPECT_EQ(List()->topLevelItemCount(), 0);
  EXPECT_TRUE(Kinds().isEmpty());
  EXPECT_TRUE(Drawing().isNull());
  EXPECT_EQ(Edit("nedtCarLength")->text(), QStringLiteral("1"));
  EXPECT_EQ(Edit("nedtRatio")->text(), QStringLiteral("0.0001"));
  EXPECT_EQ(Edit("nedtMotorRa")->text(), QStringLiteral("0.100"));

  // A change that reaches a field while no car is open is not an edit.
  Edit("nedtCarLength")->SetValue(500);
  Edit("nedtMotorURated")->SetValue(12);
  EXPECT_FALSE(Main->State().CurCar);
  EXPECT_FALSE(Main->State().DocModified);
  EXPECT_FALSE(Enabled("btnSaveCar"));
  EXPECT_EQ(Title(), QStringLiteral("Kurvino2 "));
  EXPECT_TRUE(Drawing().isNull());
}

// The group the car test will drive stands on the page with its controls.
TEST_F(CarPageTest, CarTestGroupHoldsItsControls) {
  auto* group = W<TGroupBox>("grpCarTest");
  EXPECT_EQ(group->title(), QStringLiteral("赛车测试"));
  const struct {
    const char* Name;
    QSize Size;
  } views[] = {{"imgCarDraw", {300, 300}},
               {"imgCarSensors", {376, 86}},
               {"imgCarCCD", {86, 86}},
               {"imgCarView", {136, 136}}};
  for (const auto& v : views) EXPECT_EQ(W<TRasterView>(v.Name)->size(), v.Size) << v.Name;
  const char* captions[] = {"进入测试", "离开测试", "开始", "暂停"};
  for (int i = 0; i < 4; ++i) {
    auto* b = W<QPushButton>(TestButtons[i]);
    EXPECT_EQ(b->text(), QString::fromUtf8(captions[i]));
    EXPECT_TRUE(group->isAncestorOf(b));
  }
  for (const char* name :
       {"imgCarSensors", "imgCarCCD", "imgCarView", "dgCarTestSpeed", "dgCarTestSteer"})
    EXPECT_TRUE(group->isAncestorOf(W<QWidget>(name))) << name;
  EXPECT_FALSE(group->isAncestorOf(W<QWidget>("imgCarDraw")));
  EXPECT_EQ(Page->size(), QSize(944, 601));
}

TEST_F(CarPageTest, NewShowsTheDefaultCarUnsaved) {
  Click("btnNewCar");
  EXPECT_EQ(Title(), QStringLiteral("Kurvino2 新建赛车.kcf *"));
  EXPECT_EQ(Car().FileName, Dir.Path(QStringLiteral("Car/新建赛车.kcf")));
  EXPECT_TRUE(Main->State().DocIsNew && Main->State().DocModified && Main->State().DocOpen);
  const struct {
    const char* Edit;
    const char* Text;
  } shown[] = {
      {"nedtCarLength", "400"},    {"nedtCarWidth", "200"},       {"nedtCarTrack", "300"},
      {"nedtCarWheelBase", "190"}, {"nedtCarFrontLength", "130"}, {"nedtCarWheelD", "40"},
      {"nedtCarWheelWidth", "20"}, {"nedtCarWeight", "2500"},     {"nedtRatio", "0.5000"},
      {"nedtMotorURated", "7.4"},  {"nedtMotorIRated", "0.2"},    {"nedtMotornRated", "3000"},
      {"nedtMotorTRated", "10.0"}, {"nedtMotorRa", "0.200"},      {"nedtMotorL", "15"},
      {"nedtMaxSteerAngle", "40"}, {"nedtSteerSpeed", "30"}};
  for (const auto& s : shown) EXPECT_EQ(Edit(s.Edit)->text(), QString::fromUtf8(s.Text)) << s.Edit;
  for (const char* g : EditingGroups) EXPECT_TRUE(W<TGroupBox>(g)->GroupEnabled()) << g;
  for (const char* name :
       {"btnNewCar", "btnOpenCar", "btnSaveCar", "btnCloseCar", "btnAddSensor", "btnEnterTest"})
    EXPECT_TRUE(Enabled(name)) << name;
  for (const char* name :
       {"btnEditSensor", "btnDeleteSensor", "btnExitTest", "btnStartTest", "btnPauseTest"})
    EXPECT_FALSE(Enabled(name)) << name;
  EXPECT_EQ(Kinds(), (QStringList{"光电", "CCD"}));
  EXPECT_EQ(W<QComboBox>("cbbSensorKind")->currentIndex(), 0);
  ASSERT_EQ(List()->topLevelItemCount(), 2);
  EXPECT_EQ(Root(0)->text(0), QStringLiteral("光电：0"));
  EXPECT_EQ(Root(1)->text(0), QStringLiteral("CCD：0"));
  EXPECT_EQ(Root(0)->toolTip(0), QStringLiteral("光电"));
  EXPECT_EQ(W<TGroupBox>("grpCarSensor")->title(), QStringLiteral("传感器：0"));
  // The default body: 40 x 80 pixels around the centre, on white.
  EXPECT_EQ(Drawing(), FreshDrawing());
  EXPECT_NE(Drawing().pixel(150, 150), 0xFFFFFFFFu);
  EXPECT_EQ(Drawing().pixel(150, 105), 0xFFFFFFFFu);
  EXPECT_EQ(Drawing().pixel(0, 0), 0xFFFFFFFFu);
  EXPECT_TRUE(Dialogs.Boxes.empty());
}

// New and Open read the car defaults from the program folder, wherever the working
// directory is.
TEST_F(CarPageTest, NewAndOpenReadDefaultsFromTheProgramFolder) {
  const QString file = WriteCar(QStringLiteral("c.kcf"), [](TCar&) {});
  Dir.WriteSettings(QStringLiteral("[DefaultCarParam]\nRatio=2.5\nLength=450\n"));
  test::TTempDir elsewhere;  // another folder, made current, with other defaults
  elsewhere.WriteSettings(QStringLiteral("[DefaultCarParam]\nRatio=7\nLength=600\n"));
  SetProgramDir(Dir.Dir());
  for (bool open : {false, true}) {
    SCOPED_TRACE(open);
    QDir::setCurrent(elsewhere.Dir());
    Main->State().MarkDocSaved();
    if (open)
      Open(file);
    else
      Click("btnNewCar");
    ASSERT_TRUE(Main->State().CurCar);
    EXPECT_EQ(Car().Ratio, 2.5f);
    EXPECT_EQ(Edit("nedtRatio")->text(), QStringLiteral("2.5000"));
    EXPECT_EQ(Car().Length, open ? 400 : 450);  // an opened car has its file's body
    EXPECT_EQ(QDir::current(), QDir(Dir.Dir()));
  }
}

// Every field reaches the car when typed in; the body fields also redraw.
TEST_F(CarPageTest, TypedParametersReachTheCarAndMarkItModified) {
  struct Case {
    const char* Edit;
    const char* Typed;
    std::function<double(const TCar&)> Field;
    double Stored;
    bool Redraws;
  } cases[] = {
      {"nedtCarLength", "500", [](const TCar& c) { return c.Length; }, 500, true},
      {"nedtCarLength", "5000", [](const TCar& c) { return c.Length; }, 1000, true},
      {"nedtCarWidth", "150", [](const TCar& c) { return c.Width; }, 150, true},
      {"nedtCarTrack", "260", [](const TCar& c) { return c.Track; }, 260, true},
      {"nedtCarWheelBase", "210", [](const TCar& c) { return c.WheelBase; }, 210, true},
      {"nedtCarFrontLength", "120", [](const TCar& c) { return c.FrontLength; }, 120, true},
      {"nedtCarWheelD", "64", [](const TCar& c) { return c.Motor->WheelDiameter; }, 0.064f, true},
      {"nedtCarWheelWidth", "25", [](const TCar& c) { return c.WheelWidth; }, 25, true},
      {"nedtCarWeight", "20000", [](const TCar& c) { return c.Motor->WeightForce; }, 98.0f, false},
      {"nedtRatio", "0.25", [](const TCar& c) { return c.Ratio; }, 0.25, false},
      {"nedtMotorURated", "12.5", [](const TCar& c) { return c.Motor->URated; }, 12.5, false},
      {"nedtMotorIRated", "1.5", [](const TCar& c) { return c.Motor->IRated; }, 1.5, false},
      {"nedtMotornRated", "30000", [](const TCar& c) { return c.Motor->nRated; }, 30000, false},
      {"nedtMotorTRated", "0.5", [](const TCar& c) { return c.Motor->TRated; }, 0.5, false},
      {"nedtMotorRa", "1.25", [](const TCar& c) { return c.Motor->Ra; }, 1.25, false},
      {"nedtMotorL", "22", [](const TCar& c) { return c.Motor->L; }, 22, false},
      {"nedtMaxSteerAngle", "25", [](const TCar& c) { return c.SteerMotor->MaxSteerAngle; }, 25,
       false},
      {"nedtSteerSpeed", "400", [](const TCar& c) { return c.SteerMotor->SteerSpeed; }, 400, false},
  };
  Click("btnNewCar");
  SaveNewCarAs(QStringLiteral("a.kcf"));
  ASSERT_EQ(Title(), QStringLiteral("Kurvino2 a.kcf"));
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.Edit) + " " + c.Typed);
    Main->State().MarkDocSaved();
    Main->ShowCaption(false);
    W<QPushButton>("btnSaveCar")->setEnabled(false);
    QImage& raster = *Page->CarRaster();
    raster.setPixel(0, 0, 0xFF000000);  // a redraw clears it
    TypeAndLeave(Edit(c.Edit), QString::fromLatin1(c.Typed));
    EXPECT_EQ(c.Field(Car()), c.Stored);
    EXPECT_TRUE(Main->State().DocModified);
    EXPECT_TRUE(Enabled("btnSaveCar"));
    EXPECT_EQ(Title(), QStringLiteral("Kurvino2 a.kcf *"));
    EXPECT_EQ(raster.pixel(0, 0) == 0xFFFFFFFFu, c.Redraws);
    if (c.Redraws) {
      EXPECT_EQ(Drawing(), FreshDrawing());
    }
  }
}

TEST_F(CarPageTest, TypingALengthOf500DrawsTheBody100PixelsTall) {
  Click("btnNewCar");
  SaveNewCarAs(QStringLiteral("a.kcf"));
  EXPECT_EQ(Drawing().pixel(150, 108), 0xFFFFFFFFu);
  TypeOver(Edit("nedtCarLength"), QStringLiteral("500"));
  EXPECT_EQ(Title(), QStringLiteral("Kurvino2 a.kcf *"));
  // Body rows 100 to 199 at 5 mm per pixel.
  EXPECT_NE(Drawing().pixel(150, 101), 0xFFFFFFFFu);
  EXPECT_NE(Drawing().pixel(150, 198), 0xFFFFFFFFu);
  EXPECT_EQ(Drawing().pixel(150, 98), 0xFFFFFFFFu);
  EXPECT_EQ(Drawing().pixel(150, 201), 0xFFFFFFFFu);
}

TEST_F(CarPageTest, OpenReplacesTheValuesAndClearsTheMark) {
  const QString file = WriteThreeLights(QStringLiteral("three.kcf"));
  Click("btnNewCar");
  TypeAndLeave(Edit("nedtCarLength"), QStringLiteral("500"));
  Dialogs.AnswerBox(Btn::No);  // do not save the new car
  Open(file);
  ASSERT_EQ(Dialogs.FileDialogs.size(), 1u);
  EXPECT_FALSE(Dialogs.FileDialogs[0].Save);
  EXPECT_EQ(Dialogs.FileDialogs[0].Folder, Dir.Path(QStringLiteral("Car")));
  EXPECT_EQ(Dialogs.FileDialogs[0].Filter, QStringLiteral("赛车文件(*.kcf)"));
  EXPECT_EQ(Edit("nedtCarLength")->text(), QStringLiteral("321"));
  EXPECT_EQ(Car().Length, 321);
  EXPECT_EQ(Title(), QStringLiteral("Kurvino2 three.kcf"));
  EXPECT_TRUE(Main->State().DocOpen && !Main->State().DocModified && !Main->State().DocIsNew);
  EXPECT_EQ(Root(0)->text(0), QStringLiteral("光电：3"));
  EXPECT_EQ(Drawing(), FreshDrawing());
  EXPECT_TRUE(Enabled("btnEnterTest"));
  EXPECT_FALSE(Enabled("btnExitTest"));
  // Save stays as it was before the Open (enabled by New), and does nothing.
  EXPECT_TRUE(Enabled("btnSaveCar"));
  const QByteArray bytes = test::ReadFile(file);
  Click("btnSaveCar");
  EXPECT_EQ(test::ReadFile(file), bytes);
  EXPECT_EQ(Dialogs.Boxes.size(), 1u);
}

TEST_F(CarPageTest, OpenOfABadFileReportsAndLeavesNoCar) {
  struct Case {
    const char* Name;
    QByteArray Bytes;
  } cases[] = {{"text.kcf", QByteArray("not a car")},
               {"short.kcf", test::ReadFile(WriteThreeLights(QStringLiteral("t.kcf"))).left(60)},
               {"missing.kcf", QByteArray()}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    Dialogs.Boxes.clear();
    const QString file = Dir.Path(QStringLiteral("Car/") + QLatin1String(c.Name));
    if (!c.Bytes.isEmpty()) test::WriteFile(file, c.Bytes);
    Click("btnNewCar");
    Main->State().MarkDocSaved();
    Dialogs.AnswerBox(Btn::Ok);
    Open(file);
    ASSERT_EQ(Dialogs.Boxes.size(), 1u);
    EXPECT_EQ(Dialogs.Boxes[0].Text, QStringLiteral("赛车文件加载错误！"));
    EXPECT_EQ(Dialogs.Boxes[0].Title, QStringLiteral("Kurvino2 "));
    EXPECT_EQ(Dialogs.Boxes[0].Icon, QMessageBox::Critical);
    EXPECT_FALSE(Main->State().CurCar);
    EXPECT_FALSE(Main->State().DocOpen || Main->State().DocModified || Main->State().DocIsNew);
    EXPECT_FALSE(Enabled("btnCloseCar") || Enabled("btnSaveCar"));
    EXPECT_FALSE(W<TGroupBox>("grpCarBasic")->GroupEnabled());
    EXPECT_EQ(List()->topLevelItemCount(), 0);
    EXPECT_EQ(Title(), QStringLiteral("Kurvino2 "));
    EXPECT_TRUE(Drawing().isNull());
  }
}

TEST_F(CarPageTest, SensorListShowsRowsHintsAndCounts) {
  Open(WriteThreeLights(QStringLiteral("four.kcf"), true));
  ASSERT_EQ(List()->topLevelItemCount(), 2);
  EXPECT_EQ(Root(0)->text(0), QStringLiteral("光电：3"));
  EXPECT_TRUE(Root(0)->text(1).isEmpty() && Root(0)->text(2).isEmpty());
  EXPECT_EQ(Root(1)->text(0), QStringLiteral("CCD：1"));
  EXPECT_TRUE(Root(0)->isExpanded() && Root(1)->isExpanded());
  EXPECT_EQ(Row(0, 0), (QStringList{"LS 1", "X: -40, Y: 200", "非连续型"}));
  EXPECT_EQ(Row(0, 1), (QStringList{"LS 2", "X: 0, Y: 200", "连续型"}));
  EXPECT_EQ(Row(0, 2), (QStringList{"LS 3", "X: 40, Y: 200", "非连续型"}));
  const QString corners =
      QStringLiteral("左上(-50, 200)，左下(-30, 100)，右上(50, 200)，右下(30, 100)");
  EXPECT_EQ(Row(1, 0), (QStringList{"CS 1", "X: 0, Y: 100", corners}));
  EXPECT_EQ(Root(0)->child(1)->toolTip(0), QStringLiteral("LS 2") + CRLF2 +
                                               QStringLiteral("X: 0, Y: 200") + CRLF2 +
                                               QStringLiteral("连续型"));
  EXPECT_EQ(Root(1)->child(0)->toolTip(2),
            QStringLiteral("CS 1") + CRLF2 + QStringLiteral("X: 0, Y: 100") + CRLF2 + corners);
  const TSensorTreeData* d = TSensorTreeList::RowData(Root(0)->child(2));
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->ListIndex, 2);
  EXPECT_EQ(d->SensorKind, 0);
  EXPECT_EQ(TSensorTreeList::RowData(Root(1)->child(0))->SensorKind, 1);
  EXPECT_EQ(W<TGroupBox>("grpCarSensor")->title(), QStringLiteral("传感器：4"));

  auto* header = List()->header();
  const int widths[3] = {95, 100, 106};
  const char* titles[3] = {"ID&Type", "Pos", "Other"};
  for (int c = 0; c < 3; ++c) {
    EXPECT_EQ(List()->columnWidth(c), widths[c]);
    EXPECT_EQ(List()->headerItem()->text(c), QString::fromLatin1(titles[c]));
    EXPECT_EQ(header->sectionResizeMode(c), QHeaderView::Interactive);
  }

  // Edit and Delete only after a sensor row is clicked; a root row changes nothing.
  EXPECT_FALSE(Enabled("btnEditSensor") || Enabled("btnDeleteSensor"));
  ClickItem(Root(0));
  EXPECT_FALSE(Enabled("btnEditSensor") || Enabled("btnDeleteSensor"));
  ClickRow(1, 0);
  EXPECT_TRUE(Enabled("btnEditSensor") && Enabled("btnDeleteSensor"));
  ClickItem(Root(0));
  EXPECT_TRUE(Enabled("btnEditSensor") && Enabled("btnDeleteSensor"));
}

TEST_F(CarPageTest, AddIsOfferedOnlyBelowTheSensorLimit) {
  Main->State().MaxSensorCount = 2;
  Click("btnNewCar");
  AddLight({-20, 100, 50, 45});
  EXPECT_TRUE(Enabled("btnAddSensor"));
  AddLight({20, 100, 50, 45});
  EXPECT_EQ(Car().LightSensors.size(), 2u);
  EXPECT_FALSE(Enabled("btnAddSensor"));
  ClickRow(0, 0);
  Dialogs.AnswerBox(Btn::Yes);
  Click("btnDeleteSensor");
  EXPECT_EQ(Car().LightSensors.size(), 1u);
  EXPECT_TRUE(Enabled("btnAddSensor"));

  // A car that already holds more sensors than the limit cannot grow either.
  Dialogs.AnswerBox(Btn::No);  // the changed new car is not saved
  Open(WriteThreeLights(QStringLiteral("three.kcf")));
  EXPECT_EQ(Car().SensorCount(), 3);
  EXPECT_FALSE(Enabled("btnAddSensor"));
}

TEST_F(CarPageTest, ACarWithACCDSensorOffersOnlyPointSensors) {
  Click("btnNewCar");
  AddCCD();
  ASSERT_TRUE(Car().CCDSensor);
  EXPECT_EQ(Car().CCDSensor->PixelWidth, 128);
  EXPECT_EQ(Car().CCDSensor->SenseY, 100);
  EXPECT_EQ(Kinds(), QStringList{"光电"});
  EXPECT_EQ(Row(1, 0).at(0), QStringLiteral("CS 1"));
  EXPECT_EQ(Drawing(), FreshDrawing());
  // The sensed area is drawn: the car without it looks different.
  std::unique_ptr<TCCDSensor> ccd = std::move(Car().CCDSensor);
  const QImage without = FreshDrawing();
  Car().CCDSensor = std::move(ccd);
  EXPECT_NE(Drawing(), without);
  ClickRow(1, 0);
  Dialogs.AnswerBox(Btn::Yes);
  Click("btnDeleteSensor");
  EXPECT_FALSE(Car().CCDSensor);
  EXPECT_EQ(Kinds(), (QStringList{"光电", "CCD"}));
}

// Add, Edit and Delete mark the car modified and enable Save, but only parameter
// changes put " *" into the caption.
TEST_F(CarPageTest, SensorChangesMarkTheCarWithoutTheCaptionMark) {
  Open(WriteThreeLights(QStringLiteral("three.kcf")));
  W<QPushButton>("btnSaveCar")->setEnabled(false);
  AddLight({0, 50, 40, 30, 1, 20});
  EXPECT_TRUE(Main->State().DocModified);
  EXPECT_TRUE(Enabled("btnSaveCar"));
  EXPECT_EQ(Title(), QStringLiteral("Kurvino2 three.kcf"));
  ASSERT_EQ(Car().LightSensors.size(), 4u);
  const TLightSensor& added = *Car().LightSensors[3];
  EXPECT_EQ(test::Record(added), test::Record(MakeLight({0, 50, 40, 30, 1, 20})));
  EXPECT_EQ(Row(0, 3), (QStringList{"LS 4", "X: 0, Y: 73", "连续型"}));
  EXPECT_EQ(Drawing(), FreshDrawing());
}

TEST_F(CarPageTest, CancelledAddChangesNothing) {
  Open(WriteThreeLights(QStringLiteral("three.kcf")));
  WithDialog<TwdLisghtSensorParams>("btnAddSensor", [](TwdLisghtSensorParams& d) {
    d.nedtAssembleY->SetValue(300);
    d.btnCancel->click();
  });
  EXPECT_EQ(Car().LightSensors.size(), 3u);
  EXPECT_FALSE(Main->State().DocModified);
}

TEST_F(CarPageTest, EditWritesTheDialogBackIntoTheClickedSensor) {
  Open(WriteThreeLights(QStringLiteral("three.kcf")));
  const QByteArray first = test::Record(*Car().LightSensors[0]);
  const QByteArray third = test::Record(*Car().LightSensors[2]);
  for (bool ok : {false, true}) {
    SCOPED_TRACE(ok);
    ClickRow(0, 1);
    WithDialog<TwdLisghtSensorParams>("btnEditSensor", [&](TwdLisghtSensorParams& d) {
      // Pre-filled from the second sensor.
      EXPECT_EQ(d.cbbSensorType->currentIndex(), 1);
      EXPECT_EQ(d.nedtEffectiveR->IntValue(), 30);
      EXPECT_EQ(d.nedtAssembleY->IntValue(), 200);
      EXPECT_EQ(d.nedtSenseY->IntValue(), 200);
      TypeAndLeave(d.nedtBeta, QStringLiteral("45"));
      (ok ? d.btnOK : d.btnCancel)->click();
    });
    EXPECT_EQ(Main->State().DocModified, ok);
    EXPECT_EQ(Car().LightSensors[1]->SenseY, ok ? 250 : 200);
    EXPECT_EQ(Row(0, 1).at(1),
              ok ? QStringLiteral("X: 0, Y: 250") : QStringLiteral("X: 0, Y: 200"));
  }
  EXPECT_EQ(test::Record(*Car().LightSensors[0]), first);
  EXPECT_EQ(test::Record(*Car().LightSensors[2]), third);
  EXPECT_EQ(Title(), QStringLiteral("Kurvino2 three.kcf"));
  EXPECT_EQ(Drawing(), FreshDrawing());

  // The CCD sensor opens its own dialog, pre-filled.
  Car().SetCCDSensor(MakeCCD());
  Page->RebuildSensorTree();
  ClickRow(1, 0);
  WithDialog<TwdCCDSensorParams>("btnEditSensor", [](TwdCCDSensorParams& d) {
    EXPECT_EQ(d.nedtPixelWidth->IntValue(), 128);
    EXPECT_EQ(d.nedtTopRightX->IntValue(), 50);
    TypeAndLeave(d.nedtTopRightX, QStringLiteral("80"));
    d.btnOK->click();
  });
  EXPECT_EQ(Car().CCDSensor->TopRight.X, 80.0f);
  EXPECT_EQ(Car().CCDSensor->SenseRect.Right, 80.0f);
}

TEST_F(CarPageTest, DeclinedDeleteChangesNothing) {
  const QString file = WriteThreeLights(QStringLiteral("three.kcf"));
  Open(file);
  const QStringList rows = PointRows();
  ClickRow(0, 1);
  Dialogs.AnswerBox(Btn::No);
  Click("btnDeleteSensor");
  ASSERT_EQ(Dialogs.Boxes.size(), 1u);
  EXPECT_EQ(Dialogs.Boxes[0].Text, QStringLiteral("确定删除传感器LS 2？"));
  EXPECT_EQ(Dialogs.Boxes[0].Title, QStringLiteral("删除传感器"));
  EXPECT_EQ(Dialogs.Boxes[0].Icon, QMessageBox::Question);
  EXPECT_EQ(Dialogs.Boxes[0].Buttons, Btn::Yes | Btn::No);
  EXPECT_EQ(Car().LightSensors.size(), 3u);
  EXPECT_EQ(PointRows(), rows);
  EXPECT_FALSE(Main->State().DocModified);
  EXPECT_EQ(Title(), QStringLiteral("Kurvino2 three.kcf"));
}

TEST_F(CarPageTest, DeletingTheFirstOfThreePointSensorsRenumbersTheRest) {
  Open(WriteThreeLights(QStringLiteral("three.kcf")));
  const QStringList second = Row(0, 1), third = Row(0, 2);
  ClickRow(0, 0);
  Dialogs.AnswerBox(Btn::Yes);
  Click("btnDeleteSensor");
  EXPECT_EQ(Dialogs.Boxes.at(0).Text, QStringLiteral("确定删除传感器LS 1？"));
  ASSERT_EQ(Root(0)->childCount(), 2);
  EXPECT_EQ(Root(0)->text(0), QStringLiteral("光电：2"));
  EXPECT_EQ(Row(0, 0), (QStringList{"LS 1", second[1], second[2]}));
  EXPECT_EQ(Row(0, 1), (QStringList{"LS 2", third[1], third[2]}));
  EXPECT_EQ(TSensorTreeList::RowData(Root(0)->child(1))->ListIndex, 1);
  EXPECT_EQ(Car().LightSensors[0]->EffectiveR, 30);
  EXPECT_EQ(W<TGroupBox>("grpCarSensor")->title(), QStringLiteral("传感器：2"));
  EXPECT_TRUE(Main->State().DocModified);
  EXPECT_TRUE(Enabled("btnSaveCar"));
  EXPECT_EQ(Title(), QStringLiteral("Kurvino2 three.kcf"));
  EXPECT_FALSE(Enabled("btnEditSensor") || Enabled("btnDeleteSensor"));
  EXPECT_EQ(Drawing(), FreshDrawing());
}

TEST_F(CarPageTest, DeleteWithoutASensorRowAsksToChooseOne) {
  Open(WriteThreeLights(QStringLiteral("three.kcf")));
  ClickRow(0, 2);
  ClickItem(Root(1));  // a root row focused, Delete still enabled
  ASSERT_TRUE(Enabled("btnDeleteSensor"));
  Dialogs.AnswerBox(Btn::Ok);
  Click("btnDeleteSensor");
  ASSERT_EQ(Dialogs.Boxes.size(), 1u);
  EXPECT_EQ(Dialogs.Boxes[0].Text, QStringLiteral("请选择要删除的传感器！"));
  EXPECT_EQ(Dialogs.Boxes[0].Icon, QMessageBox::Critical);
  EXPECT_EQ(Car().LightSensors.size(), 3u);
  // Edit on a root row does nothing at all.
  Click("btnEditSensor");
  EXPECT_EQ(Dialogs.Boxes.size(), 1u);
  EXPECT_FALSE(Main->State().DocModified);
}

TEST_F(CarPageTest, SavingAnUnchangedCarDoesNothing) {
  const QString file = WriteThreeLights(QStringLiteral("three.kcf"));
  Open(file);
  test::WriteFile(file, QByteArray("replaced on disk"));
  W<QPushButton>("btnSaveCar")->setEnabled(true);
  Click("btnSaveCar");
  EXPECT_EQ(test::ReadFile(file), QByteArray("replaced on disk"));
  EXPECT_EQ(Dialogs.FileDialogs.size(), 1u);
  EXPECT_TRUE(Dialogs.Boxes.empty());
}

TEST_F(CarPageTest, SaveOfANewCarAsksForANameAndAFailureIsReported) {
  Click("btnNewCar");
  const QString file = Dir.Path(QStringLiteral("Car/mine.kcf"));
  Dialogs.AnswerFile(file);
  Click("btnSaveCar");
  ASSERT_EQ(Dialogs.FileDialogs.size(), 1u);
  EXPECT_TRUE(Dialogs.FileDialogs[0].Save);
  EXPECT_EQ(Dialogs.FileDialogs[0].Folder, Dir.Path(QStringLiteral("Car")));
  EXPECT_EQ(Dialogs.FileDialogs[0].Proposed, Dir.Path(QStringLiteral("Car/新建赛车.kcf")));
  EXPECT_EQ(Dialogs.FileDialogs[0].Filter, QStringLiteral("赛车文件(*.kcf)"));
  EXPECT_EQ(test::ReadFile(file).size(), 84);
  EXPECT_EQ(Title(), QStringLiteral("Kurvino2 mine.kcf"));
  EXPECT_FALSE(Enabled("btnSaveCar"));
  EXPECT_FALSE(Main->State().DocModified || Main->State().DocIsNew);
  EXPECT_TRUE(Main->State().DocOpen);

  // A second save of a named car goes to its file without a dialog; a failure is
  // reported with the file's name and leaves the car modified.
  TypeAndLeave(Edit("nedtCarWidth"), QStringLiteral("180"));
  QFile::remove(file);
  QDir(Dir.Dir()).mkpath(QStringLiteral("Car/mine.kcf/blocked"));  // a folder in its place
  Dialogs.AnswerBox(Btn::Ok);
  Click("btnSaveCar");
  ASSERT_EQ(Dialogs.Boxes.size(), 1u);
  EXPECT_EQ(Dialogs.Boxes[0].Text, QStringLiteral("mine.kcf保存失败！\r\n目标不是普通文件"));
  EXPECT_EQ(Dialogs.FileDialogs.size(), 1u);
  EXPECT_TRUE(Main->State().DocModified);
  EXPECT_TRUE(Enabled("btnSaveCar"));
  EXPECT_EQ(Title(), QStringLiteral("Kurvino2 mine.kcf *"));
}

// The unsaved-changes prompt of New, Open and Close, including a failing save.
TEST_F(CarPageTest, PromptAsksAboutUnsavedChanges) {
  enum TAction { New, Open, Close };
  enum TSave { NoDialog, Cancelled, Fails, Works };
  struct Case {
    TAction Action;
    std::vector<Btn> Answers;  // save question, then the continue question if any
    TSave Save;
    bool Proceeds;
  } cases[] = {
      {Close, {Btn::Cancel}, NoDialog, false},
      {Close, {Btn::No}, NoDialog, true},
      {Close, {Btn::Yes, Btn::No}, Cancelled, false},
      {Close, {Btn::Yes, Btn::Yes}, Cancelled, true},
      {Close, {Btn::Yes, Btn::No}, Fails, false},
      {Close, {Btn::Yes, Btn::Yes}, Fails, true},
      {Close, {Btn::Yes}, Works, true},
      {New, {Btn::Yes, Btn::No}, Fails, false},
      {New, {Btn::Yes, Btn::Yes}, Fails, true},
      {New, {Btn::Cancel}, NoDialog, false},
      {Open, {Btn::Yes, Btn::No}, Cancelled, false},
      {Open, {Btn::Yes, Btn::Yes}, Fails, true},
      {Open, {Btn::No}, NoDialog, true},
  };
  const struct {
    const char* Caption;
    const char* Question;
    const char* Button;
  } actions[] = {{"新建赛车", "是否继续创建新赛车？", "btnNewCar"},
                 {"打开赛车", "是否继续打开新赛车？", "btnOpenCar"},
                 {"关闭赛车", "继续关闭？", "btnCloseCar"}};
  const QString other = WriteThreeLights(QStringLiteral("other.kcf"));
  const QString blocked = Dir.Path(QStringLiteral("Car/blocked.kcf"));
  QDir(Dir.Dir()).mkpath(QStringLiteral("Car/blocked.kcf/inside"));  // cannot be written
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(n++);
    Main->State().MarkDocSaved();  // the previous case's car goes without a question
    Dialogs.Boxes.clear();
    Dialogs.FileDialogs.clear();
    Click("btnNewCar");
    TypeAndLeave(Edit("nedtCarWidth"), QStringLiteral("111"));
    const auto& a = actions[c.Action];
    if (c.Action == Open) Dialogs.AnswerFile(other);
    for (Btn b : c.Answers) Dialogs.AnswerBox(b);
    const QString saved = Dir.Path(QStringLiteral("Car/saved%1.kcf").arg(n));
    if (c.Save == Cancelled) Dialogs.AnswerFile(QString());
    if (c.Save == Fails) Dialogs.AnswerFile(blocked);
    if (c.Save == Works) Dialogs.AnswerFile(saved);
    Click(a.Button);
    EXPECT_TRUE(Dialogs.AllAnswersUsed());

    ASSERT_EQ(Dialogs.Boxes.size(), c.Answers.size());
    EXPECT_EQ(Dialogs.Boxes[0].Text,
              QStringLiteral("新建赛车.kcf未保存。") + CRLF2 + QStringLiteral("是否保存？"));
    EXPECT_EQ(Dialogs.Boxes[0].Title, QString::fromUtf8(a.Caption));
    EXPECT_EQ(Dialogs.Boxes[0].Icon, QMessageBox::Warning);
    EXPECT_EQ(Dialogs.Boxes[0].Buttons, Btn::Yes | Btn::No | Btn::Cancel);
    if (c.Answers.size() == 2) {
      EXPECT_EQ(Dialogs.Boxes[1].Text,
                QStringLiteral("新建赛车.kcf保存失败！") + CRLF2 + QString::fromUtf8(a.Question));
      EXPECT_EQ(Dialogs.Boxes[1].Title, QString::fromUtf8(a.Caption));
      EXPECT_EQ(Dialogs.Boxes[1].Buttons, Btn::Yes | Btn::No);
    }
    EXPECT_EQ(QFile::exists(saved), c.Save == Works);
    if (!c.Proceeds) {
      ASSERT_TRUE(Main->State().CurCar);
      EXPECT_EQ(Car().Width, 111);
      EXPECT_TRUE(Main->State().DocModified);
    } else if (c.Action == Close) {
      EXPECT_FALSE(Main->State().CurCar);
      EXPECT_EQ(Title(), QStringLiteral("Kurvino2 "));
    } else if (c.Action == New) {
      EXPECT_EQ(Car().Width, 200);
      EXPECT_EQ(Title(), QStringLiteral("Kurvino2 新建赛车.kcf *"));
    } else {
      EXPECT_EQ(Car().Length, 321);
      EXPECT_EQ(Title(), QStringLiteral("Kurvino2 other.kcf"));
    }
  }
}

TEST_F(CarPageTest, CloseEmptiesThePage) {
  Open(WriteThreeLights(QStringLiteral("three.kcf"), true));
  ClickRow(0, 0);
  Click("btnCloseCar");
  EXPECT_TRUE(Dialogs.Boxes.empty());
  EXPECT_FALSE(Main->State().CurCar);
  EXPECT_FALSE(Main->State().DocOpen || Main->State().DocModified || Main->State().DocIsNew);
  EXPECT_EQ(Title(), QStringLiteral("Kurvino2 "));
  EXPECT_EQ(Main->State().CaptionBase, QStringLiteral("Kurvino2 "));
  EXPECT_TRUE(Drawing().isNull());
  EXPECT_EQ(List()->topLevelItemCount(), 0);
  EXPECT_TRUE(Kinds().isEmpty());
  EXPECT_EQ(W<TGroupBox>("grpCarSensor")->title(), QStringLiteral("传感器"));
  EXPECT_EQ(Edit("nedtCarLength")->text(), QStringLiteral("1"));
  EXPECT_EQ(Edit("nedtMotorTRated")->text(), QStringLiteral("0.1"));
  for (const char* g : EditingGroups) EXPECT_FALSE(W<TGroupBox>(g)->GroupEnabled()) << g;
  EXPECT_FALSE(Enabled("btnCloseCar") || Enabled("btnSaveCar"));
  EXPECT_TRUE(Enabled("btnNewCar") && Enabled("btnOpenCar"));

  // A new car afterwards has its controls back, Edit and Delete waiting for a click.
  Click("btnNewCar");
  EXPECT_TRUE(Enabled("nedtCarLength") && Enabled("btnAddSensor") && Enabled("btnEnterTest"));
  EXPECT_FALSE(Enabled("btnEditSensor") || Enabled("btnDeleteSensor") || Enabled("btnExitTest"));
}

// What a new user does: a new car with its own length and wheels, three point sensors
// and a CCD, one edited and one deleted, saved, closed and opened again.
TEST_F(CarPageTest, SavedCarOpensAgainAsItWasLeft) {
  Click("btnNewCar");
  TypeAndLeave(Edit("nedtCarLength"), QStringLiteral("420"));
  TypeAndLeave(Edit("nedtCarWheelD"), QStringLiteral("52"));
  TypeAndLeave(Edit("nedtCarWheelWidth"), QStringLiteral("24"));
  TypeAndLeave(Edit("nedtMotorURated"), QStringLiteral("8.4"));
  AddLight({-40, 150, 50, 45});
  AddLight({0, 160, 50, 30, 1, 25});
  AddLight({40, 150, 50, 45});
  AddCCD();
  ClickRow(0, 2);
  WithDialog<TwdLisghtSensorParams>("btnEditSensor", [](TwdLisghtSensorParams& d) {
    TypeAndLeave(d.nedtAssembleX, QStringLiteral("60"));
    d.btnOK->click();
  });
  ClickRow(0, 0);
  Dialogs.AnswerBox(Btn::Yes);
  Click("btnDeleteSensor");
  ASSERT_EQ(PointRows(), (QStringList{"LS 1|X: 0, Y: 189|连续型", "LS 2|X: 60, Y: 200|非连续型"}));

  const QString file = Dir.Path(QStringLiteral("Car/racer.kcf"));
  Dialogs.AnswerFile(file);
  Click("btnSaveCar");
  EXPECT_EQ(test::ReadFile(file).size(), 196 + 29 * 2);
  const QImage drawing = Drawing();
  QStringList texts;
  for (TNumEdit* e : Page->findChildren<TNumEdit*>()) texts << e->text();
  const QStringList rows = PointRows() << Row(1, 0).join(QLatin1Char('|'));

  Click("btnCloseCar");
  EXPECT_TRUE(Dialogs.Boxes.size() == 1u);  // only the delete question
  ASSERT_FALSE(Main->State().CurCar);
  Open(file);
  QStringList reopened;
  for (TNumEdit* e : Page->findChildren<TNumEdit*>()) reopened << e->text();
  EXPECT_EQ(reopened, texts);
  EXPECT_EQ(PointRows() << Row(1, 0).join(QLatin1Char('|')), rows);
  EXPECT_EQ(Drawing(), drawing);
  EXPECT_EQ(Car().Motor->URated, 8.4f);
  EXPECT_EQ(Title(), QStringLiteral("Kurvino2 racer.kcf"));
}

}  // namespace
}  // namespace k2
