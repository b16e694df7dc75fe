#pragma once
// Little-endian binary streams for the document files, and the file helpers that
// every document uses.
//
// TStreamReader never reads past its end: a short read sets Failed() and returns
// zeros, so a truncated file can be refused instead of being read as garbage.
#include <QByteArray>
#include <QString>
#include <cstdint>

#include "base/uFileSave.h"
#include "geometry/uVector.h"

namespace k2 {

// Collects the bytes in memory (Data()), or, given a file, passes them on to it in
// chunks as they come, so that a large file is never held whole in memory.
class TStreamWriter {
 public:
  TStreamWriter() = default;
  explicit TStreamWriter(TAtomicFile& sink) : Sink(&sink) {}
  TStreamWriter(const TStreamWriter&) = delete;
  TStreamWriter& operator=(const TStreamWriter&) = delete;

  void WriteInt32(int32_t v);
  void WriteUInt8(uint8_t v);
  void WriteFloat(float v);
  void WritePoint(TPointF p) {
    WriteFloat(p.X);
    WriteFloat(p.Y);
  }
  void WriteRect(const TRectF& r);
  void WriteBytes(const char* data, int size);
  void WriteBytes(const QByteArray& b) { WriteBytes(b.constData(), static_cast<int>(b.size())); }
  // A 32-bit byte count followed by the bytes, no terminator.
  void WriteString(const QByteArray& bytes);
  // A file head: tag length, tag, version.
  void WriteHead(const char* tag, int32_t version);

  // The bytes written so far (without a file).
  const QByteArray& Data() const { return Buffer; }
  // Passes the bytes still held on to the file; false when any write to it failed.
  bool Flush();

 private:
  void Pass();  // flushes once a chunk has come together

  QByteArray Buffer;
  TAtomicFile* Sink = nullptr;  // not owned
  bool SinkFailed = false;
};

class TStreamReader {
 public:
  explicit TStreamReader(const QByteArray& data) : Data(data) {}

  int32_t ReadInt32();
  uint8_t ReadUInt8();
  float ReadFloat();
  TPointF ReadPoint();
  TRectF ReadRect();
  // Reads exactly n bytes; fails (and returns empty) when fewer remain or n < 0.
  QByteArray ReadBytes(int64_t n);
  // Reads exactly n bytes into out; fails (and fills out with zeros) when fewer remain.
  bool ReadInto(void* out, int64_t n) { return Take(out, n); }
  // Reads a counted string; a negative count reads as empty, as the file formats say.
  QByteArray ReadString();
  // Reads and checks a file head.  False for a tag length above the maximum, another
  // tag (case-sensitive, same length), another version, or a head cut short.
  bool ReadHead(const char* tag, int32_t version);

  bool Failed() const { return Bad; }
  bool AtEnd() const { return Pos >= Data.size(); }
  int64_t Remaining() const { return Data.size() - Pos; }
  // Marks the stream as failed, for readers that find an implausible count.
  void Fail() { Bad = true; }

 private:
  bool Take(void* out, int64_t n);
  const QByteArray& Data;
  int64_t Pos = 0;
  bool Bad = false;
};

// Reads a whole file.  False when it does not exist or cannot be read.
bool ReadWholeFile(const QString& path, QByteArray& out);

// The file part of a path ("Path/a.kpf" -> "a.kpf").
QString FilePart(const QString& path);

// GBK, the code page of names in record files; glibc's iconv does the conversion.
// ToGbk fails (false) when the text holds a character that GBK cannot encode.
bool ToGbk(const QString& text, QByteArray& out);
// Never fails: a character GBK cannot encode is written as its numeric reference
// "&#xHHHH;" (hexadecimal code point, as in HTML).  True when one was.
bool ToGbkSubstituting(const QString& text, QByteArray& out);
// Undecodable bytes become U+FFFD; numeric references "&#xHHHH;" become their
// characters again.
QString FromGbk(const QByteArray& bytes);

}  // namespace k2
