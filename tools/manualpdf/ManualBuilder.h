#pragma once
// The user manual: one Markdown text with its pictures, written as a paged A4 PDF
// (cover, table of contents with page numbers, running header and page numbers) and
// as one HTML page for the program's help window.
//
// QtGui only: the Markdown is read by QTextDocument, the PDF is drawn by QPainter
// onto QPdfWriter.  A QGuiApplication must exist (the offscreen platform will do).
//
// Markdown beyond CommonMark and GitHub tables: a heading may end in "{#name}", which
// is removed from the text and becomes its anchor; other headings get "sec-N" in
// document order.  Links to "#name" jump to a heading in the HTML.
#include <QDateTime>
#include <QImage>
#include <QString>
#include <map>
#include <memory>
#include <vector>

class QPainter;
class QPdfWriter;
class QTextDocument;

namespace k2::manual {

struct THeading {
  int Level = 0;  // 1 for "#", 2 for "##", ...
  QString Title;  // without its "{#name}"
  QString Id;     // HTML anchor, unique in the manual
  int Page = 0;   // page of the PDF it starts on, 1 = the cover; 0 before WritePdf
};

struct TManualOptions {
  QString Title;       // cover, running header and the PDF's title
  QString Subtitle;    // cover, under the title; may be empty
  QString CoverImage;  // a picture of the manual shown on the cover; may be empty
  QString TocTitle = QStringLiteral("目录");
  QString PageFormat = QStringLiteral("第 %1 页，共 %2 页");  // page number, page count
  QString FontFamily = QStringLiteral("Noto Sans CJK SC");
  QString MonoFamily = QStringLiteral("Noto Sans Mono CJK SC");
  qreal FontPoints = 10.5;
  // The PDF's creation date.  Qt writes the current time; a fixed date makes the same
  // input give the same bytes.  Invalid: Qt's own.
  QDateTime Date;
};

class TManual {
 public:
  explicit TManual(TManualOptions options);
  ~TManual();
  TManual(const TManual&) = delete;
  TManual& operator=(const TManual&) = delete;

  // Reads the Markdown text; every picture it shows is loaded from `imageDir`.  False
  // with `error` set when a picture is missing or unreadable, or two headings share
  // an anchor.
  bool Load(const QString& markdown, const QString& imageDir, QString& error);

  const std::vector<THeading>& Headings() const { return Heads; }
  // File names of the pictures, as the text names them, in order of first use.
  std::vector<QString> ImageNames() const;

  // The whole manual as one HTML page (UTF-8), pictures by relative name, each
  // heading an <hN> with its anchor as id.
  QString Html() const;
  // index.html and the pictures into `dir`, which is created when missing.
  bool WriteHtml(const QString& dir, QString& error) const;
  // The PDF; fills in the headings' pages.  The file is replaced only when it is
  // complete.
  bool WritePdf(const QString& path, QString& error);
  // The PDF's bytes, as WritePdf writes them.
  bool RenderPdf(QByteArray& pdf, QString& error);

 private:
  struct TPdfLayout;
  void Normalise();
  void TakeHeadingIds();
  void StylePdfBody(QTextDocument& body, qreal pictureWidthCss) const;
  void KeepHeadingsWithText(QTextDocument& body) const;
  void FindHeadingPages(const QTextDocument& body, int firstPage);
  std::unique_ptr<QTextDocument> MakeToc(QPdfWriter& writer, const TPdfLayout& page) const;
  void DrawCover(QPainter& p, const TPdfLayout& page) const;
  void DrawFrame(QPainter& p, const TPdfLayout& page, int number, int count,
                 const QString& chapter) const;
  QString ChapterOnPage(int number) const;

  TManualOptions Options;
  std::unique_ptr<QTextDocument> Doc;
  std::vector<THeading> Heads;
  std::map<QString, QImage> Images;  // by the name the text uses
  QString ImageDir;
};

// Replaces the creation date Qt wrote into a PDF by `date`, keeping the file's length
// so that its cross-reference offsets stay valid.  False when there is none to replace.
bool SetPdfCreationDate(QByteArray& pdf, const QDateTime& date);

}  // namespace k2::manual
