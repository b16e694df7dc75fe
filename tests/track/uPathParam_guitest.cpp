// TwdPathParam: transfer operations, ranges and formats of its three edits.
#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>

#include "common/PageDriver.h"
#include "common/TestSupport.h"
#include "track/uPath.h"
#include "track/uPathParam.h"
#include "widgets/uNumEdit.h"

namespace k2 {
namespace {

using test::TypeAndLeave;

class PathParamTest : public ::testing::Test {
 protected:
  test::TTempDir Dir;  // defaults: 300, 30, 0.01
  TPath Track{nullptr, 3000, nullptr, 6000};
  TwdPathParam Dialog;
};

TEST_F(PathParamTest, ShowsTheTrackAndStoresItBack) {
  Dialog.LoadFromPath(Track);
  EXPECT_EQ(Dialog.nedtPathWidth->text(), QStringLiteral("300"));
  EXPECT_EQ(Dialog.nedtLineWidth->text(), QStringLiteral("30"));
  EXPECT_EQ(Dialog.nedtMiu->text(), QStringLiteral("0.010"));
  // Unchanged values go back bit for bit.
  Track.Miu = 0.0123456f;
  Dialog.LoadFromPath(Track);
  Dialog.StoreToPath(Track);
  EXPECT_EQ(Track.Miu, 0.0123456f);
  EXPECT_EQ(Track.PathWidth, 300);

  TypeAndLeave(Dialog.nedtPathWidth, QStringLiteral("450"));
  TypeAndLeave(Dialog.nedtLineWidth, QStringLiteral("25"));
  TypeAndLeave(Dialog.nedtMiu, QStringLiteral("0.35"));
  EXPECT_EQ(Dialog.nedtMiu->text(), QStringLiteral("0.350"));
  Dialog.StoreToPath(Track);
  EXPECT_EQ(Track.PathWidth, 450);
  EXPECT_EQ(Track.LineWidth, 25);
  EXPECT_EQ(Track.Miu, 0.35f);
}

TEST_F(PathParamTest, EditsBringValuesOutsideTheirRangeBack) {
  const struct {
    TNumEdit* Edit;
    const char* Typed;
    const char* Shown;
  } cases[] = {
      {Dialog.nedtPathWidth, "0", "1"},    {Dialog.nedtPathWidth, "1500", "1000"},
      {Dialog.nedtLineWidth, "0", "1"},    {Dialog.nedtLineWidth, "1500", "1000"},
      {Dialog.nedtMiu, "0", "0.001"},      {Dialog.nedtMiu, "5", "1.000"},
      {Dialog.nedtMiu, "0.0004", "0.001"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Typed);
    TypeAndLeave(c.Edit, QString::fromLatin1(c.Typed));
    EXPECT_EQ(c.Edit->text().toStdString(), c.Shown);
  }
  Dialog.StoreToPath(Track);
  EXPECT_EQ(Track.PathWidth, 1000);
  EXPECT_EQ(Track.LineWidth, 1000);
  EXPECT_EQ(Track.Miu, 0.001f);
}

TEST_F(PathParamTest, LayoutAndButtons) {
  EXPECT_EQ(Dialog.size(), QSize(188, 202));
  // Each label above its edit, the edits top to bottom, OK left of Cancel below them.
  const char* labels[3] = {"lblPathWidth", "lblLineWidth", "lblMiu"};
  TNumEdit* edits[3] = {Dialog.nedtPathWidth, Dialog.nedtLineWidth, Dialog.nedtMiu};
  const char* texts[3] = {"赛道宽度：", "中心线宽度：", "摩擦系数："};
  for (int i = 0; i < 3; ++i) {
    auto* l = Dialog.findChild<QLabel*>(QString::fromLatin1(labels[i]));
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(l->text(), QString::fromUtf8(texts[i]));
    EXPECT_LT(l->geometry().bottom(), edits[i]->geometry().top() + 2);
    if (i > 0) {
      EXPECT_GT(l->geometry().top(), edits[i - 1]->geometry().bottom());
    }
  }
  EXPECT_EQ(Dialog.btnOK->text(), QStringLiteral("确定"));
  EXPECT_EQ(Dialog.btnCancel->text(), QStringLiteral("取消"));
  EXPECT_LT(Dialog.btnOK->x(), Dialog.btnCancel->x());
  EXPECT_GT(Dialog.btnOK->y(), Dialog.nedtMiu->geometry().bottom());
  EXPECT_FALSE(Dialog.windowFlags() & Qt::WindowCloseButtonHint);

  Dialog.btnOK->click();
  EXPECT_EQ(Dialog.result(), QDialog::Accepted);
  Dialog.btnCancel->click();
  EXPECT_EQ(Dialog.result(), QDialog::Rejected);
}

}  // namespace
}  // namespace k2
