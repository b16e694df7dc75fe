#include "ManualBuilder.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <QTextTable>
#include <algorithm>
#include <cmath>
#include <functional>
#include <set>

namespace k2::manual {

namespace {

// The page, millimetres: A4 with these margins; inside them a band for the running
// header at the top and one for the page number at the bottom, the text between.
constexpr qreal SideMarginMm = 20;
constexpr qreal TopMarginMm = 12;
constexpr qreal BottomMarginMm = 12;
constexpr qreal HeaderBandMm = 11;
constexpr qreal FooterBandMm = 11;
// Device pixels per inch of the PDF.  Text is placed in these units.
constexpr int PdfDpi = 600;
// QTextDocument takes block margins and picture sizes in CSS pixels (1/96 inch) and
// scales them to the paint device.
constexpr qreal CssDpi = 96;
constexpr qreal MmPerInch = 25.4;
// Pictures take at most this share of the text's width: a view of the program at its
// own size would take half a page.
constexpr qreal MaxPictureShare = 0.65;

const QColor HeadingColour(0x1f, 0x3a, 0x5f);
const QColor RuleColour(0x99, 0x99, 0x99);
const QColor CodeBackground(0xf2, 0xf2, 0xf2);
const QColor TableHeadBackground(0xe6, 0xe6, 0xe6);
const QColor FrameTextColour(0x55, 0x55, 0x55);

// Top and bottom margins of the headings, CSS pixels, by level 1..6.
constexpr qreal HeadingTop[6] = {0, 16, 12, 10, 8, 8};
constexpr qreal HeadingBottom[6] = {14, 8, 6, 4, 4, 4};

qreal MmToPixels(qreal mm) { return mm / MmPerInch * PdfDpi; }

const QRegularExpression& IdSuffix() {
  static const QRegularExpression re(QStringLiteral("\\s*\\{#([A-Za-z][A-Za-z0-9_-]*)\\}\\s*$"));
  return re;
}

bool IsCodeBlock(const QTextBlock& b) {
  const QTextBlockFormat f = b.blockFormat();
  return f.hasProperty(QTextFormat::BlockCodeFence) ||
         f.hasProperty(QTextFormat::BlockCodeLanguage);
}

bool IsMonospaced(const QTextCharFormat& f) {
  if (f.fontFixedPitch()) return true;
  const QStringList families = f.fontFamilies().toStringList();
  return families.contains(QStringLiteral("monospace")) ||
         families.contains(QFontDatabase::systemFont(QFontDatabase::FixedFont).family());
}

// A paragraph that holds pictures and nothing else.
bool OnlyPictures(const QTextBlock& b) {
  bool any = false;
  for (auto it = b.begin(); !it.atEnd(); ++it) {
    const QTextFragment f = it.fragment();
    if (f.charFormat().isImageFormat())
      any = true;
    else if (!f.text().trimmed().isEmpty())
      return false;
  }
  return any;
}

// Applies `change` to the character format of every fragment of `doc` that `select`
// picks.  Fragments are collected first: merging formats may merge fragments.
template <class TSelect, class TChange>
void ChangeFragments(QTextDocument& doc, TSelect select, TChange change) {
  struct TSpan {
    int Pos, Length;
    QTextCharFormat Format;
  };
  std::vector<TSpan> spans;
  for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
    for (auto it = b.begin(); !it.atEnd(); ++it) {
      const QTextFragment f = it.fragment();
      if (select(f, b)) spans.push_back({f.position(), f.length(), f.charFormat()});
    }
  for (TSpan& s : spans) {
    QTextCursor c(&doc);
    c.setPosition(s.Pos);
    c.setPosition(s.Pos + s.Length, QTextCursor::KeepAnchor);
    change(s.Format);
    c.setCharFormat(s.Format);
  }
}

void ForEachTable(QTextFrame* frame, const std::function<void(QTextTable&)>& work) {
  for (QTextFrame* child : frame->childFrames()) {
    if (auto* table = qobject_cast<QTextTable*>(child)) work(*table);
    ForEachTable(child, work);
  }
}

// Draws page `page` (0-based) of a paginated document into `target`.
void DrawDocumentPage(QPainter& p, QTextDocument& doc, int page, const QRectF& target) {
  const qreal h = doc.pageSize().height();
  const QRectF clip(0, page * h, doc.pageSize().width(), h);
  p.save();
  p.translate(target.left(), target.top() - page * h);
  p.setClipRect(clip);
  QAbstractTextDocumentLayout::PaintContext context;
  context.clip = clip;
  context.palette.setColor(QPalette::Text, Qt::black);
  doc.documentLayout()->draw(&p, context);
  p.restore();
}

// Top of a block's first line in document coordinates: a block that did not fit at
// the end of a page has its lines moved to the next one.  (The block's layout is
// placed relative to its table cell, its bounding rectangle in the document.)
qreal FirstLineTop(const QTextDocument& doc, const QTextBlock& b) {
  const QRectF r = doc.documentLayout()->blockBoundingRect(b);
  const QTextLayout* l = b.layout();
  if (!l || l->lineCount() == 0) return r.top();
  return r.top() + l->lineAt(0).y();
}

// Lays the whole document out again (see KeepHeadingsWithText).
void RelayOut(QTextDocument& doc) {
  doc.markContentsDirty(0, doc.characterCount());
  doc.documentLayout()->documentSize();
}

// The layout places page tops in 1/64 pixel steps: a line at a page top may lie a
// fraction of a pixel above the exact multiple of the page height.
int PageOf(const QTextDocument& doc, qreal y) {
  return static_cast<int>(std::floor((y + 1) / doc.pageSize().height()));
}

bool WriteFileAtomic(const QString& path, const QByteArray& bytes, QString& error) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
    error = path + QStringLiteral(": ") + file.errorString();
    return false;
  }
  return true;
}

}  // namespace

// The page in device pixels, relative to the paint rectangle (inside the margins).
struct TManual::TPdfLayout {
  QRectF Paint;   // the whole paint rectangle
  QRectF Header;  // running header band
  QRectF Body;    // the text
  QRectF Footer;  // page number band
};

TManual::TManual(TManualOptions options) : Options(std::move(options)) {}

TManual::~TManual() = default;

bool TManual::Load(const QString& markdown, const QString& imageDir, QString& error) {
  Doc = std::make_unique<QTextDocument>();
  Doc->setMarkdown(markdown, QTextDocument::MarkdownDialectGitHub);
  Heads.clear();
  Images.clear();
  ImageDir = imageDir;
  TakeHeadingIds();
  std::set<QString> ids;
  for (const THeading& h : Heads)
    if (!ids.insert(h.Id).second) {
      error = QStringLiteral("two headings have the anchor \"%1\"").arg(h.Id);
      return false;
    }
  for (const QString& name : ImageNames()) {
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\'))) {
      error = QStringLiteral("%1: a picture is named by its file name alone").arg(name);
      return false;
    }
    const QString path = QDir(imageDir).filePath(name);
    QImage image;
    if (!image.load(path)) {
      error = path + QStringLiteral(": the picture is missing or unreadable");
      return false;
    }
    Doc->addResource(QTextDocument::ImageResource, QUrl(name), image);
    Images[name] = image;
  }
  Normalise();
  return true;
}

void TManual::TakeHeadingIds() {
  int n = 0;
  for (QTextBlock b = Doc->begin(); b.isValid(); b = b.next()) {
    const int level = b.blockFormat().headingLevel();
    if (level <= 0) continue;
    ++n;
    THeading h;
    h.Level = level;
    const QRegularExpressionMatch m = IdSuffix().match(b.text());
    if (m.hasMatch()) {
      h.Id = m.captured(1);
      QTextCursor c(b);
      c.setPosition(b.position() + m.capturedStart());
      c.setPosition(b.position() + b.length() - 1, QTextCursor::KeepAnchor);
      c.removeSelectedText();
    } else {
      h.Id = QStringLiteral("sec-%1").arg(n);
    }
    h.Title = b.text().trimmed();
    Heads.push_back(h);
  }
}

void TManual::Normalise() {
  QFont base(Options.FontFamily);
  base.setPointSizeF(Options.FontPoints);
  Doc->setDefaultFont(base);

  for (QTextBlock b = Doc->begin(); b.isValid(); b = b.next()) {
    QTextBlockFormat f = b.blockFormat();
    const int level = f.headingLevel();
    if (level > 0) {
      f.setTopMargin(HeadingTop[std::min(level, 6) - 1]);
      f.setBottomMargin(HeadingBottom[std::min(level, 6) - 1]);
    } else if (IsCodeBlock(b)) {
      f.setBackground(CodeBackground);
      f.setNonBreakableLines(true);
    } else if (OnlyPictures(b)) {
      f.setAlignment(Qt::AlignHCenter);
    } else {
      continue;
    }
    QTextCursor(b).setBlockFormat(f);
  }

  const QStringList mono{Options.MonoFamily};
  ChangeFragments(
      *Doc, [](const QTextFragment& f, const QTextBlock&) { return IsMonospaced(f.charFormat()); },
      [&](QTextCharFormat& f) { f.setFontFamilies(mono); });
  ChangeFragments(
      *Doc,
      [](const QTextFragment&, const QTextBlock& b) { return b.blockFormat().headingLevel() > 0; },
      [](QTextCharFormat& f) { f.setForeground(HeadingColour); });

  ForEachTable(Doc->rootFrame(), [](QTextTable& t) {
    QTextTableFormat f = t.format();
    f.setBorderCollapse(true);
    f.setBorder(1);
    f.setBorderBrush(RuleColour);
    f.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    f.setCellSpacing(0);
    f.setCellPadding(4);
    f.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    f.setHeaderRowCount(1);  // repeated on every page a table runs over
    t.setFormat(f);
    for (int c = 0; c < t.columns(); ++c) {
      QTextTableCell cell = t.cellAt(0, c);
      QTextCharFormat cf = cell.format();
      cf.setBackground(TableHeadBackground);
      cell.setFormat(cf);
    }
  });
}

std::vector<QString> TManual::ImageNames() const {
  std::vector<QString> names;
  if (!Doc) return names;
  for (QTextBlock b = Doc->begin(); b.isValid(); b = b.next())
    for (auto it = b.begin(); !it.atEnd(); ++it) {
      const QTextCharFormat f = it.fragment().charFormat();
      if (!f.isImageFormat()) continue;
      const QString name = f.toImageFormat().name();
      if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    }
  return names;
}

QString TManual::Html() const {
  if (!Doc) return QString();
  const QString html = Doc->toHtml();
  // The exporter writes one opening tag per heading block, in document order.
  static const QRegularExpression open(QStringLiteral("<h([1-6])(?=[ >])"));
  QString out;
  out.reserve(html.size() + 64 * static_cast<int>(Heads.size()));
  qsizetype from = 0;
  size_t n = 0;
  for (auto it = open.globalMatch(html); it.hasNext() && n < Heads.size();) {
    const QRegularExpressionMatch m = it.next();
    out += QStringView(html).mid(from, m.capturedEnd() - from);
    out += QStringLiteral(" id=\"%1\"").arg(Heads[n++].Id);
    from = m.capturedEnd();
  }
  out += QStringView(html).mid(from);
  const qsizetype head = out.indexOf(QLatin1String("<head>"));
  if (head >= 0)
    out.insert(head + 6, QStringLiteral("<title>%1</title>").arg(Options.Title.toHtmlEscaped()));
  return out;
}

bool TManual::WriteHtml(const QString& dir, QString& error) const {
  if (!QDir().mkpath(dir)) {
    error = dir + QStringLiteral(": cannot create the folder");
    return false;
  }
  if (!WriteFileAtomic(QDir(dir).filePath(QStringLiteral("index.html")), Html().toUtf8(), error))
    return false;
  for (const QString& name : ImageNames()) {
    const QString from = QDir(ImageDir).filePath(name);
    const QString to = QDir(dir).filePath(name);
    if (QFileInfo(from).canonicalFilePath() == QFileInfo(to).canonicalFilePath()) continue;
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly)) {
      error = from + QStringLiteral(": ") + in.errorString();
      return false;
    }
    if (!WriteFileAtomic(to, in.readAll(), error)) return false;
  }
  return true;
}

void TManual::StylePdfBody(QTextDocument& body, qreal pictureWidthCss) const {
  // Every chapter starts a page; the first one starts the body anyway.
  for (QTextBlock b = body.begin(); b.isValid(); b = b.next()) {
    if (b.blockFormat().headingLevel() != 1 || b == body.begin()) continue;
    QTextBlockFormat f = b.blockFormat();
    f.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    QTextCursor(b).setBlockFormat(f);
  }
  // Wider pictures are scaled down.
  ChangeFragments(
      body,
      [&](const QTextFragment& f, const QTextBlock&) {
        if (!f.charFormat().isImageFormat()) return false;
        const QTextImageFormat img = f.charFormat().toImageFormat();
        const auto it = Images.find(img.name());
        const qreal width = img.width() > 0      ? img.width()
                            : it != Images.end() ? it->second.width()
                                                 : 0;
        return width > pictureWidthCss;
      },
      [&](QTextCharFormat& f) {
        QTextImageFormat img = f.toImageFormat();
        const QImage& image = Images.at(img.name());
        img.setWidth(pictureWidthCss);
        img.setHeight(pictureWidthCss * image.height() / image.width());
        f = img;
      });
  // Links inside the manual have no target in the PDF: the text stays, the link goes.
  ChangeFragments(
      body,
      [](const QTextFragment& f, const QTextBlock&) {
        return f.charFormat().isAnchor() &&
               f.charFormat().anchorHref().startsWith(QLatin1Char('#'));
      },
      [](QTextCharFormat& f) {
        f.setAnchor(false);
        f.setAnchorHref(QString());
      });
}

void TManual::KeepHeadingsWithText(QTextDocument& body) const {
  // A heading must share its page with the first line after it.  When it does not,
  // the run of headings it ends starts a new page, unless the run starts a page
  // already (what follows it is taller than a page).  Qt's layout does not follow a
  // changed block reliably, so the document is laid out afresh after every break.
  std::set<int> atPageTop;  // block numbers of headings left as they are
  for (;;) {
    RelayOut(body);
    QTextBlock late;
    for (QTextBlock b = body.begin(); b.isValid() && b.next().isValid(); b = b.next()) {
      if (b.blockFormat().headingLevel() == 0 || atPageTop.count(b.blockNumber())) continue;
      if (PageOf(body, FirstLineTop(body, b)) != PageOf(body, FirstLineTop(body, b.next()))) {
        late = b;
        break;
      }
    }
    if (!late.isValid()) return;
    QTextBlock first = late;
    while (first != body.begin() && first.previous().blockFormat().headingLevel() > 0 &&
           !(first.blockFormat().pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore))
      first = first.previous();
    QTextBlockFormat f = first.blockFormat();
    if (first == body.begin() || (f.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore)) {
      atPageTop.insert(late.blockNumber());
      continue;
    }
    f.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    QTextCursor(first).setBlockFormat(f);
  }
}

void TManual::FindHeadingPages(const QTextDocument& body, int firstPage) {
  size_t n = 0;
  for (QTextBlock b = body.begin(); b.isValid() && n < Heads.size(); b = b.next())
    if (b.blockFormat().headingLevel() > 0)
      Heads[n++].Page = firstPage + PageOf(body, FirstLineTop(body, b));
}

std::unique_ptr<QTextDocument> TManual::MakeToc(QPdfWriter& writer, const TPdfLayout& page) const {
  auto toc = std::make_unique<QTextDocument>();
  toc->documentLayout()->setPaintDevice(&writer);
  toc->setDocumentMargin(0);
  QFont base(Options.FontFamily);
  base.setPointSizeF(Options.FontPoints);
  toc->setDefaultFont(base);
  toc->setPageSize(page.Body.size());

  QTextCursor c(toc.get());
  QTextBlockFormat titleBlock;
  titleBlock.setBottomMargin(HeadingBottom[0]);
  QTextCharFormat titleChars;
  titleChars.setFontPointSize(Options.FontPoints * 2);
  titleChars.setFontWeight(QFont::Bold);
  titleChars.setForeground(HeadingColour);
  c.setBlockFormat(titleBlock);
  c.insertText(Options.TocTitle, titleChars);

  std::vector<const THeading*> rows;
  for (const THeading& h : Heads)
    if (h.Level <= 2) rows.push_back(&h);
  if (rows.empty()) return toc;
  QTextTableFormat tf;
  tf.setBorder(0);
  tf.setCellSpacing(0);
  tf.setCellPadding(2);
  tf.setWidth(QTextLength(QTextLength::PercentageLength, 100));
  tf.setColumnWidthConstraints({QTextLength(QTextLength::PercentageLength, 90),
                                QTextLength(QTextLength::PercentageLength, 10)});
  QTextTable* table = c.insertTable(static_cast<int>(rows.size()), 2, tf);
  for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
    const THeading& h = *rows[r];
    QTextCharFormat chars;
    if (h.Level == 1) {
      chars.setFontWeight(QFont::Bold);
    }
    QTextBlockFormat left;
    if (h.Level == 1) left.setTopMargin(r == 0 ? 0 : 6);
    left.setIndent(h.Level - 1);
    QTextCursor cell = table->cellAt(r, 0).firstCursorPosition();
    cell.setBlockFormat(left);
    cell.insertText(h.Title, chars);
    QTextBlockFormat right = left;
    right.setIndent(0);
    right.setAlignment(Qt::AlignRight);
    cell = table->cellAt(r, 1).firstCursorPosition();
    cell.setBlockFormat(right);
    // Before the pages are known every number takes the room of three digits.
    cell.insertText(h.Page > 0 ? QString::number(h.Page) : QStringLiteral("000"), chars);
  }
  return toc;
}

QString TManual::ChapterOnPage(int number) const {
  QString chapter;
  for (const THeading& h : Heads)
    if (h.Level == 1 && h.Page > 0 && h.Page <= number) chapter = h.Title;
  return chapter;
}

void TManual::DrawCover(QPainter& p, const TPdfLayout& page) const {
  p.save();
  p.setPen(HeadingColour);
  QFont title(Options.FontFamily);
  title.setPointSizeF(Options.FontPoints * 3);
  title.setWeight(QFont::Bold);
  p.setFont(title);
  const QRectF& r = page.Paint;
  QRectF titleRect(r.left(), r.top() + r.height() * 0.22, r.width(), r.height() * 0.1);
  p.drawText(titleRect, Qt::AlignHCenter | Qt::AlignBottom | Qt::TextWordWrap, Options.Title);
  qreal y = titleRect.bottom() + MmToPixels(8);
  if (!Options.Subtitle.isEmpty()) {
    QFont sub(Options.FontFamily);
    sub.setPointSizeF(Options.FontPoints * 1.4);
    p.setFont(sub);
    p.setPen(FrameTextColour);
    const QRectF subRect(r.left(), y, r.width(), MmToPixels(20));
    p.drawText(subRect, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, Options.Subtitle);
    y = subRect.bottom() + MmToPixels(10);
  }
  const auto it = Images.find(Options.CoverImage);
  if (it != Images.end() && !it->second.isNull()) {
    const QImage& image = it->second;
    const qreal width = std::min(r.width() * 0.6, image.width() * PdfDpi / CssDpi);
    const qreal height = width * image.height() / image.width();
    p.drawImage(QRectF(r.left() + (r.width() - width) / 2, y, width, height), image);
  }
  p.restore();
}

void TManual::DrawFrame(QPainter& p, const TPdfLayout& page, int number, int count,
                        const QString& chapter) const {
  p.save();
  QFont small(Options.FontFamily);
  small.setPointSizeF(Options.FontPoints * 0.8);
  p.setFont(small);
  p.setPen(FrameTextColour);
  if (!chapter.isEmpty()) {
    const QRectF text = page.Header.adjusted(0, 0, 0, -MmToPixels(3));
    p.drawText(text, Qt::AlignLeft | Qt::AlignBottom, Options.Title);
    p.drawText(text, Qt::AlignRight | Qt::AlignBottom, chapter);
    p.setPen(QPen(RuleColour, MmToPixels(0.2)));
    const qreal y = page.Header.bottom() - MmToPixels(2);
    p.drawLine(QPointF(page.Header.left(), y), QPointF(page.Header.right(), y));
    p.setPen(FrameTextColour);
  }
  p.drawText(page.Footer, Qt::AlignHCenter | Qt::AlignBottom,
             Options.PageFormat.arg(number).arg(count));
  p.restore();
}

bool TManual::RenderPdf(QByteArray& pdf, QString& error) {
  if (!Doc) {
    error = QStringLiteral("no manual loaded");
    return false;
  }
  pdf.clear();
  QBuffer buffer(&pdf);
  buffer.open(QIODevice::WriteOnly);
  QPdfWriter writer(&buffer);
  writer.setResolution(PdfDpi);
  writer.setPageLayout(QPageLayout(
      QPageSize(QPageSize::A4), QPageLayout::Portrait,
      QMarginsF(SideMarginMm, TopMarginMm, SideMarginMm, BottomMarginMm), QPageLayout::Millimeter));
  writer.setTitle(Options.Title);
  writer.setCreator(QStringLiteral("kurvino2-manualpdf"));

  TPdfLayout page;
  const QRect paint = writer.pageLayout().paintRectPixels(PdfDpi);
  page.Paint = QRectF(0, 0, paint.width(), paint.height());
  page.Header = QRectF(0, 0, paint.width(), MmToPixels(HeaderBandMm));
  page.Footer =
      QRectF(0, paint.height() - MmToPixels(FooterBandMm), paint.width(), MmToPixels(FooterBandMm));
  page.Body =
      QRectF(0, page.Header.bottom(), paint.width(), page.Footer.top() - page.Header.bottom());

  std::unique_ptr<QTextDocument> body(Doc->clone());
  body->documentLayout()->setPaintDevice(&writer);
  body->setDocumentMargin(0);
  body->setPageSize(page.Body.size());
  StylePdfBody(*body, page.Body.width() * MaxPictureShare * CssDpi / PdfDpi);
  KeepHeadingsWithText(*body);

  // The cover is page 1, the table of contents follows, then the body.  The table's
  // length does not depend on the numbers in it (their room is kept), so the second
  // layout confirms the first.
  for (THeading& h : Heads) h.Page = 0;
  std::unique_ptr<QTextDocument> toc = MakeToc(writer, page);
  int tocPages = toc->pageCount();
  for (int attempt = 0; attempt < 3; ++attempt) {
    FindHeadingPages(*body, 2 + tocPages);
    toc = MakeToc(writer, page);
    if (toc->pageCount() == tocPages) break;
    tocPages = toc->pageCount();
  }
  const int bodyPages = body->pageCount();
  const int total = 1 + tocPages + bodyPages;

  QPainter p;
  if (!p.begin(&writer)) {
    error = QStringLiteral("cannot start the PDF");
    return false;
  }
  DrawCover(p, page);
  int number = 1;
  for (int i = 0; i < tocPages; ++i) {
    writer.newPage();
    DrawFrame(p, page, ++number, total, QString());
    DrawDocumentPage(p, *toc, i, page.Body);
  }
  for (int i = 0; i < bodyPages; ++i) {
    writer.newPage();
    ++number;
    DrawFrame(p, page, number, total, ChapterOnPage(number));
    DrawDocumentPage(p, *body, i, page.Body);
  }
  if (!p.end()) {
    error = QStringLiteral("cannot finish the PDF");
    return false;
  }
  buffer.close();
  if (Options.Date.isValid()) SetPdfCreationDate(pdf, Options.Date);
  return true;
}

bool TManual::WritePdf(const QString& path, QString& error) {
  QByteArray pdf;
  return RenderPdf(pdf, error) && WriteFileAtomic(path, pdf, error);
}

bool SetPdfCreationDate(QByteArray& pdf, const QDateTime& date) {
  static const QByteArray key("/CreationDate (D:");
  const qsizetype start = pdf.indexOf(key);
  if (start < 0) return false;
  const qsizetype from = start + key.size();
  const qsizetype end = pdf.indexOf(')', from);
  if (end < 0) return false;
  const QByteArray value = date.toUTC().toString(QStringLiteral("yyyyMMddHHmmss")).toLatin1() + 'Z';
  if (value.size() != end - from) return false;
  pdf.replace(from, value.size(), value);
  return true;
}

}  // namespace k2::manual
