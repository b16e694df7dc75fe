#include "base/uStream.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cerrno>
#include <cstring>
#include <iconv.h>

#include "base/uAssert.h"
#include "geometry/uConstants.h"

namespace k2 {

namespace {

template <typename T>
void PutLE(QByteArray& buf, T v) {
  static_assert(sizeof(T) == 4, "4-byte values only");
  uint32_t u;
  std::memcpy(&u, &v, 4);
  const char bytes[4] = {static_cast<char>(u & 0xFF), static_cast<char>((u >> 8) & 0xFF),
                         static_cast<char>((u >> 16) & 0xFF), static_cast<char>((u >> 24) & 0xFF)};
  buf.append(bytes, 4);
}

uint32_t GetLE(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Runs iconv over the whole input; false on any conversion error.
bool Convert(const char* to, const char* from, const QByteArray& in, QByteArray& out) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  out.clear();
  QByteArray input = in;
  char* src = input.data();
  size_t srcLeft = static_cast<size_t>(input.size());
  char chunk[256];
  bool ok = true;
  while (srcLeft > 0) {
    char* dst = chunk;
    size_t dstLeft = sizeof chunk;
    const size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    out.append(chunk, static_cast<int>(sizeof chunk - dstLeft));
    if (r == static_cast<size_t>(-1) && errno != E2BIG) {
      ok = false;
      break;
    }
  }
  iconv_close(cd);
  return ok;
}

}  // namespace

namespace {
constexpr qsizetype ChunkBytes = 65536;
}  // namespace

void TStreamWriter::Pass() {
  if (Sink && Buffer.size() >= ChunkBytes) Flush();
}

bool TStreamWriter::Flush() {
  if (!Sink) return true;
  if (!SinkFailed && !Buffer.isEmpty())
    SinkFailed = !Sink->Write(Buffer.constData(), static_cast<size_t>(Buffer.size()));
  Buffer.clear();
  return !SinkFailed;
}

void TStreamWriter::WriteInt32(int32_t v) {
  PutLE(Buffer, v);
  Pass();
}
void TStreamWriter::WriteUInt8(uint8_t v) {
  Buffer.append(static_cast<char>(v));
  Pass();
}
void TStreamWriter::WriteFloat(float v) {
  PutLE(Buffer, v);
  Pass();
}

void TStreamWriter::WriteRect(const TRectF& r) {
  WriteFloat(r.Left);
  WriteFloat(r.Top);
  WriteFloat(r.Right);
  WriteFloat(r.Bottom);
}

void TStreamWriter::WriteBytes(const char* data, int size) {
  Buffer.append(data, size);
  Pass();
}

void TStreamWriter::WriteString(const QByteArray& bytes) {
  WriteInt32(static_cast<int32_t>(bytes.size()));
  WriteBytes(bytes);
}

void TStreamWriter::WriteHead(const char* tag, int32_t version) {
  WriteString(QByteArray(tag));
  WriteInt32(version);
}

bool TStreamReader::Take(void* out, int64_t n) {
  K2_ASSERT(Pos >= 0 && Pos <= Data.size());

  if (Bad || n < 0 || Remaining() < n) {
    Bad = true;
    Pos = Data.size();
    std::memset(out, 0, static_cast<size_t>(n > 0 ? n : 0));
    return false;
  }
  std::memcpy(out, Data.constData() + Pos, static_cast<size_t>(n));
  Pos += n;
  return true;
}

int32_t TStreamReader::ReadInt32() {
  unsigned char b[4];
  Take(b, 4);
  const uint32_t u = GetLE(b);
  int32_t v;
  std::memcpy(&v, &u, 4);
  return v;
}

uint8_t TStreamReader::ReadUInt8() {
  uint8_t b = 0;
  Take(&b, 1);
  return b;
}

float TStreamReader::ReadFloat() {
  unsigned char b[4];
  Take(b, 4);
  const uint32_t u = GetLE(b);
  float v;
  std::memcpy(&v, &u, 4);
  return v;
}

TPointF TStreamReader::ReadPoint() {
  TPointF p;
  p.X = ReadFloat();
  p.Y = ReadFloat();
  return p;
}

TRectF TStreamReader::ReadRect() {
  TRectF r;
  r.Left = ReadFloat();
  r.Top = ReadFloat();
  r.Right = ReadFloat();
  r.Bottom = ReadFloat();
  return r;
}

QByteArray TStreamReader::ReadBytes(int64_t n) {
  if (Bad || n < 0 || Remaining() < n) {
    Bad = true;
    Pos = Data.size();
    return QByteArray();
  }
  QByteArray out = Data.mid(static_cast<qsizetype>(Pos), static_cast<qsizetype>(n));
  Pos += n;
  return out;
}

QByteArray TStreamReader::ReadString() {
  const int32_t n = ReadInt32();
  if (n <= 0) return QByteArray();
  return ReadBytes(n);
}

bool TStreamReader::ReadHead(const char* tag, int32_t version) {
  const int32_t n = ReadInt32();
  if (Bad || n > MaxTagLength || n <= 0) return false;
  const QByteArray text = ReadBytes(n);
  if (Bad || text != QByteArray(tag)) return false;
  const int32_t v = ReadInt32();
  return !Bad && v == version;
}

bool ReadWholeFile(const QString& path, QByteArray& out) {
  QFileInfo info(path);
  if (path.isEmpty() || !info.exists() || !info.isFile()) return false;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return false;
  out = file.readAll();
  return file.error() == QFileDevice::NoError;
}

QString FilePart(const QString& path) { return QFileInfo(path).fileName(); }

bool ToGbk(const QString& text, QByteArray& out) {
  return Convert("GBK", "UTF-8", text.toUtf8(), out);
}

bool ToGbkSubstituting(const QString& text, QByteArray& out) {
  if (ToGbk(text, out)) return false;
  out.clear();
  const QList<uint> points = text.toUcs4();
  for (const uint cp : points) {
    QByteArray one;
    if (ToGbk(QString::fromUcs4(reinterpret_cast<const char32_t*>(&cp), 1), one))
      out += one;
    else
      out += "&#x" + QByteArray::number(cp, 16).toUpper() + ';';
  }
  return true;
}

namespace {

// "&#xHHHH;" back to the character it stands for.
QString DecodeReferences(const QString& text) {
  static const QRegularExpression reference(QStringLiteral("&#x([0-9A-Fa-f]{1,6});"));
  if (!text.contains(QStringLiteral("&#x"))) return text;
  QString out;
  qsizetype last = 0;
  for (auto it = reference.globalMatch(text); it.hasNext();) {
    const QRegularExpressionMatch m = it.next();
    bool ok = false;
    const uint cp = m.captured(1).toUInt(&ok, 16);
    out += text.mid(last, m.capturedStart() - last);
    if (ok && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF))
      out += QString::fromUcs4(reinterpret_cast<const char32_t*>(&cp), 1);
    else
      out += m.captured(0);
    last = m.capturedEnd();
  }
  return out + text.mid(last);
}

QString DecodeGbk(const QByteArray& bytes);

}  // namespace

QString FromGbk(const QByteArray& bytes) { return DecodeReferences(DecodeGbk(bytes)); }

namespace {

QString DecodeGbk(const QByteArray& bytes) {
  QByteArray utf8;
  if (Convert("UTF-8", "GBK", bytes, utf8)) return QString::fromUtf8(utf8);
  // Decode what can be decoded, byte by byte where the whole failed.
  QString result;
  for (int i = 0; i < bytes.size();) {
    QByteArray part;
    if (static_cast<unsigned char>(bytes[i]) < 0x80) {
      result += QChar(bytes[i]);
      ++i;
    } else if (i + 1 < bytes.size() && Convert("UTF-8", "GBK", bytes.mid(i, 2), part)) {
      result += QString::fromUtf8(part);
      i += 2;
    } else {
      result += QChar(0xFFFD);
      ++i;
    }
  }
  return result;
}

}  // namespace

}  // namespace k2
