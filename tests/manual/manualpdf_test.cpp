// The manual's builder: a small Markdown manual becomes a paged PDF with its table of
// contents and an HTML page whose headings carry their anchors.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include "ManualBuilder.h"
#include "common/TestSupport.h"

namespace k2::manual {
namespace {

// Three chapters of two sections; one section names its anchor, another links to it.
const char SmallManual[] = R"(# 1 第一章

正文，见[第二节](#custom)。

## 1.1 第一节

![图](pic.png)

## 1.2 第二节 {#custom}

文字。

# 2 第二章

## 2.1 小节

| 列一 | 列二 |
|---|---|
| 1 | 2 |

## 2.2 小节

```
code
```

# 3 第三章

## 3.1 小节

## 3.2 小节
)";

TManualOptions Options() {
  TManualOptions o;
  o.Title = QStringLiteral("手册");
  return o;
}

class ManualBuilderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QImage pic(40, 20, QImage::Format_RGB32);
    pic.fill(Qt::darkGreen);
    ASSERT_TRUE(pic.save(Dir.Path(QStringLiteral("pic.png"))));
  }
  test::TTempDir Dir;
};

int PageCount(const QByteArray& pdf) {
  static const QRegularExpression page(QStringLiteral("/Type\\s*/Page(?![a-zA-Z])"));
  int n = 0;
  for (auto it = page.globalMatch(QString::fromLatin1(pdf)); it.hasNext(); it.next()) ++n;
  return n;
}

TEST_F(ManualBuilderTest, WritesAPagedPdfAndAnHtmlPageWithAnchors) {
  TManual manual(Options());
  QString error;
  ASSERT_TRUE(manual.Load(QString::fromUtf8(SmallManual), Dir.Dir(), error)) << error.toStdString();
  ASSERT_TRUE(manual.WritePdf(Dir.Path(QStringLiteral("m.pdf")), error)) << error.toStdString();

  const QByteArray pdf = test::ReadFile(Dir.Path(QStringLiteral("m.pdf")));
  EXPECT_TRUE(pdf.startsWith("%PDF-"));
  // Cover, contents, and every chapter on pages of its own.
  const int pages = PageCount(pdf);
  EXPECT_GE(pages, 5);

  const auto& heads = manual.Headings();
  ASSERT_EQ(heads.size(), 9u);
  EXPECT_EQ(heads[2].Id, QStringLiteral("custom"));
  EXPECT_EQ(heads[2].Title, QStringLiteral("1.2 第二节"));
  int chapterPage = 2;  // the contents come after the cover
  for (const THeading& h : heads) {
    SCOPED_TRACE(h.Title.toStdString());
    EXPECT_LE(h.Page, pages);
    if (h.Level == 1) {
      EXPECT_GT(h.Page, chapterPage);
      chapterPage = h.Page;
    } else {
      EXPECT_GE(h.Page, chapterPage);
    }
  }

  const QString htmlDir = Dir.Path(QStringLiteral("html"));
  ASSERT_TRUE(manual.WriteHtml(htmlDir, error)) << error.toStdString();
  const QString html =
      QString::fromUtf8(test::ReadFile(QDir(htmlDir).filePath(QStringLiteral("index.html"))));
  for (const THeading& h : heads)
    EXPECT_TRUE(html.contains(QStringLiteral("<h%1 id=\"%2\"").arg(h.Level).arg(h.Id)))
        << h.Id.toStdString();
  EXPECT_FALSE(html.contains(QStringLiteral("{#")));
  EXPECT_TRUE(html.contains(QStringLiteral("href=\"#custom\"")));
  EXPECT_TRUE(html.contains(QStringLiteral("src=\"pic.png\"")));
  EXPECT_TRUE(QFile::exists(QDir(htmlDir).filePath(QStringLiteral("pic.png"))));
}

// The tool run twice on the same input: Qt's own creation date and its per-process
// hash seed would each make the PDFs differ.
TEST_F(ManualBuilderTest, TheToolWritesTheSameBytesForTheSameInput) {
  const QString markdown = Dir.Path(QStringLiteral("m.md"));
  test::WriteFile(markdown, QByteArray(SmallManual));
  QByteArray pdfs[2];
  for (int i = 0; i < 2; ++i) {
    const QString pdf = Dir.Path(QStringLiteral("m%1.pdf").arg(i));
    QProcess tool;
    tool.start(QStringLiteral(KURVINO2_MANUALPDF_TOOL),
               {QStringLiteral("--markdown"), markdown, QStringLiteral("--images"), Dir.Dir(),
                QStringLiteral("--pdf"), pdf, QStringLiteral("--html-dir"),
                Dir.Path(QStringLiteral("html"))});
    ASSERT_TRUE(tool.waitForFinished(120000));
    ASSERT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
    pdfs[i] = test::ReadFile(pdf);
  }
  EXPECT_TRUE(pdfs[0].startsWith("%PDF-"));
  EXPECT_EQ(pdfs[0], pdfs[1]);
}

struct TRefusal {
  const char* Name;
  const char* Markdown;
  const char* Named;  // what the message names
};
void PrintTo(const TRefusal& c, std::ostream* os) { *os << c.Name; }

class ManualRefusalTest : public ManualBuilderTest,
                          public ::testing::WithParamInterface<TRefusal> {};

TEST_P(ManualRefusalTest, NamesWhatIsWrong) {
  TManual manual(Options());
  QString error;
  EXPECT_FALSE(manual.Load(QString::fromUtf8(GetParam().Markdown), Dir.Dir(), error));
  EXPECT_TRUE(error.contains(QString::fromUtf8(GetParam().Named))) << error.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Load, ManualRefusalTest,
    ::testing::Values(TRefusal{"MissingPicture", "# A\n\n![x](pic.png)\n\n![y](gone.png)\n",
                               "gone.png"},
                      TRefusal{"PictureInAFolder", "# A\n\n![x](sub/pic.png)\n", "sub/pic.png"},
                      TRefusal{"AnchorTwice", "# A {#same}\n\n## B {#same}\n", "same"}),
    test::TCaseName());

}  // namespace
}  // namespace k2::manual
