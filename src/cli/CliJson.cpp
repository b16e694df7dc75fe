#include "cli/CliJson.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace k2::cli {

const TJsonValue* TJsonValue::Find(const char* key) const {
  for (const auto& m : Members)
    if (m.first == key) return &m.second;
  return nullptr;
}

namespace {

class TParser {
 public:
  explicit TParser(const std::string& s) : S(s) {}

  bool Document(TJsonValue& out, QString& error) {
    Skip();
    if (!Value(out, 0)) {
      error = Error;
      return false;
    }
    Skip();
    if (P != S.size()) {
      error = Where(QStringLiteral("unexpected text after the document"));
      return false;
    }
    return true;
  }

 private:
  QString Where(const QString& what) const {
    int line = 1, col = 1;
    for (size_t i = 0; i < P && i < S.size(); ++i) {
      if (S[i] == '\n') {
        ++line;
        col = 1;
      } else {
        ++col;
      }
    }
    return QStringLiteral("JSON line %1, column %2: %3").arg(line).arg(col).arg(what);
  }
  bool Fail(const QString& what) {
    if (Error.isEmpty()) Error = Where(what);
    return false;
  }
  void Skip() {
    while (P < S.size() && (S[P] == ' ' || S[P] == '\t' || S[P] == '\n' || S[P] == '\r')) ++P;
  }
  bool Literal(const char* word) {
    const size_t n = std::strlen(word);
    if (S.compare(P, n, word) != 0) return false;
    P += n;
    return true;
  }

  bool Value(TJsonValue& out, int depth) {
    if (depth > 64) return Fail(QStringLiteral("nesting too deep"));
    if (P >= S.size()) return Fail(QStringLiteral("unexpected end"));
    const char c = S[P];
    if (c == '{') return Object(out, depth);
    if (c == '[') return Array(out, depth);
    if (c == '"') {
      out.Type = TJsonValue::TType::String;
      return StringToken(out.Text);
    }
    if (c == '-' || (c >= '0' && c <= '9')) return Number(out);
    if (Literal("true")) {
      out.Type = TJsonValue::TType::Bool;
      out.BoolValue = true;
      return true;
    }
    if (Literal("false")) {
      out.Type = TJsonValue::TType::Bool;
      return true;
    }
    if (Literal("null")) return true;
    return Fail(QStringLiteral("unexpected character"));
  }

  bool Object(TJsonValue& out, int depth) {
    out.Type = TJsonValue::TType::Object;
    ++P;
    Skip();
    if (P < S.size() && S[P] == '}') {
      ++P;
      return true;
    }
    for (;;) {
      Skip();
      std::string key;
      if (P >= S.size() || S[P] != '"') return Fail(QStringLiteral("expected a key"));
      if (!StringToken(key)) return false;
      Skip();
      if (P >= S.size() || S[P] != ':') return Fail(QStringLiteral("expected ':'"));
      ++P;
      Skip();
      TJsonValue v;
      if (!Value(v, depth + 1)) return false;
      out.Members.emplace_back(std::move(key), std::move(v));
      Skip();
      if (P < S.size() && S[P] == ',') {
        ++P;
        continue;
      }
      if (P < S.size() && S[P] == '}') {
        ++P;
        return true;
      }
      return Fail(QStringLiteral("expected ',' or '}'"));
    }
  }

  bool Array(TJsonValue& out, int depth) {
    out.Type = TJsonValue::TType::Array;
    ++P;
    Skip();
    if (P < S.size() && S[P] == ']') {
      ++P;
      return true;
    }
    for (;;) {
      Skip();
      TJsonValue v;
      if (!Value(v, depth + 1)) return false;
      out.Items.push_back(std::move(v));
      Skip();
      if (P < S.size() && S[P] == ',') {
        ++P;
        continue;
      }
      if (P < S.size() && S[P] == ']') {
        ++P;
        return true;
      }
      return Fail(QStringLiteral("expected ',' or ']'"));
    }
  }

  bool Number(TJsonValue& out) {
    const size_t start = P;
    if (S[P] == '-') ++P;
    auto digits = [&] {
      const size_t d = P;
      while (P < S.size() && S[P] >= '0' && S[P] <= '9') ++P;
      return P > d;
    };
    if (!digits()) return Fail(QStringLiteral("bad number"));
    if (P < S.size() && S[P] == '.') {
      ++P;
      if (!digits()) return Fail(QStringLiteral("bad number"));
    }
    if (P < S.size() && (S[P] == 'e' || S[P] == 'E')) {
      ++P;
      if (P < S.size() && (S[P] == '+' || S[P] == '-')) ++P;
      if (!digits()) return Fail(QStringLiteral("bad number"));
    }
    out.Type = TJsonValue::TType::Number;
    out.Text = S.substr(start, P - start);
    return true;
  }

  static void AppendUtf8(std::string& s, uint32_t cp) {
    if (cp < 0x80) {
      s += static_cast<char>(cp);
    } else if (cp < 0x800) {
      s += static_cast<char>(0xC0 | (cp >> 6));
      s += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      s += static_cast<char>(0xE0 | (cp >> 12));
      s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      s += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      s += static_cast<char>(0xF0 | (cp >> 18));
      s += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      s += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }

  bool Hex4(uint32_t& v) {
    if (P + 4 > S.size()) return Fail(QStringLiteral("bad \\u escape"));
    v = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = S[P++];
      v <<= 4;
      if (c >= '0' && c <= '9')
        v |= static_cast<uint32_t>(c - '0');
      else if (c >= 'a' && c <= 'f')
        v |= static_cast<uint32_t>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F')
        v |= static_cast<uint32_t>(c - 'A' + 10);
      else
        return Fail(QStringLiteral("bad \\u escape"));
    }
    return true;
  }

  bool StringToken(std::string& out) {
    ++P;  // opening quote
    out.clear();
    while (P < S.size()) {
      const char c = S[P++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20)
        return Fail(QStringLiteral("control character in string"));
      if (c != '\\') {
        out += c;
        continue;
      }
      if (P >= S.size()) break;
      const char e = S[P++];
      switch (e) {
        case '"':
          out += '"';
          break;
        case '\\':
          out += '\\';
          break;
        case '/':
          out += '/';
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'u': {
          uint32_t cp;
          if (!Hex4(cp)) return false;
          // A surrogate stands only as the first of a pair followed by its second.
          if (cp >= 0xDC00 && cp < 0xE000) return Fail(QStringLiteral("lone low surrogate"));
          if (cp >= 0xD800 && cp < 0xDC00) {
            uint32_t lo = 0;
            if (P + 1 >= S.size() || S[P] != '\\' || S[P + 1] != 'u')
              return Fail(QStringLiteral("lone high surrogate"));
            P += 2;
            if (!Hex4(lo)) return false;
            if (lo < 0xDC00 || lo >= 0xE000) return Fail(QStringLiteral("lone high surrogate"));
            cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
          }
          AppendUtf8(out, cp);
          break;
        }
        default:
          return Fail(QStringLiteral("bad escape"));
      }
    }
    return Fail(QStringLiteral("unterminated string"));
  }

  const std::string& S;
  size_t P = 0;
  QString Error;
};

QString TypeError(const QString& name, const char* expected) {
  return QStringLiteral("%1: expected %2").arg(name, QString::fromLatin1(expected));
}

}  // namespace

bool ParseJson(const std::string& text, TJsonValue& out, QString& error) {
  out = TJsonValue();
  return TParser(text).Document(out, error);
}

bool GetInt32(const TJsonValue& v, const QString& name, int32_t& out, QString& error) {
  if (v.Type != TJsonValue::TType::Number) {
    error = TypeError(name, "a whole number");
    return false;
  }
  int64_t x = 0;
  const char* b = v.Text.data();
  const char* e = b + v.Text.size();
  const auto r = std::from_chars(b, e, x);
  if (r.ec != std::errc() || r.ptr != e || x < std::numeric_limits<int32_t>::min() ||
      x > std::numeric_limits<int32_t>::max()) {
    error = TypeError(name, "a whole number in the 32-bit range");
    return false;
  }
  out = static_cast<int32_t>(x);
  return true;
}

bool GetUInt8(const TJsonValue& v, const QString& name, uint8_t& out, QString& error) {
  int32_t x;
  if (!GetInt32(v, name, x, error)) return false;
  if (x < 0 || x > 255) {
    error = TypeError(name, "a whole number from 0 to 255");
    return false;
  }
  out = static_cast<uint8_t>(x);
  return true;
}

bool GetFloat(const TJsonValue& v, const QString& name, float& out, QString& error) {
  if (v.Type == TJsonValue::TType::String) {
    if (v.Text == "NaN")
      out = std::numeric_limits<float>::quiet_NaN();
    else if (v.Text == "Infinity")
      out = std::numeric_limits<float>::infinity();
    else if (v.Text == "-Infinity")
      out = -std::numeric_limits<float>::infinity();
    else {
      error = TypeError(name, "a number");
      return false;
    }
    return true;
  }
  if (v.Type != TJsonValue::TType::Number) {
    error = TypeError(name, "a number");
    return false;
  }
  const char* b = v.Text.data();
  const char* e = b + v.Text.size();
  auto r = std::from_chars(b, e, out);
  // A number too small for a float rounds to zero, as it would in any float
  // arithmetic; only one too large is out of range.
  if (r.ec == std::errc::result_out_of_range && r.ptr == e) {
    double d = 0;
    const auto rd = std::from_chars(b, e, d);
    const char* x = std::find_if(b, e, [](char c) { return c == 'e' || c == 'E'; });
    const bool negativeExponent = x != e && x + 1 != e && x[1] == '-';
    const bool underflow =
        rd.ptr == e && ((rd.ec == std::errc() && std::fabs(d) < 1) ||
                        (rd.ec == std::errc::result_out_of_range && negativeExponent));
    if (underflow) {
      out = std::copysign(0.0f, static_cast<float>(*b == '-' ? -1 : 1));
      r.ec = std::errc();
    }
  }
  if (r.ec != std::errc() || r.ptr != e) {
    error = TypeError(name, "a number in the range of a 32-bit float");
    return false;
  }
  return true;
}

bool GetString(const TJsonValue& v, const QString& name, std::string& out, QString& error) {
  if (v.Type != TJsonValue::TType::String) {
    error = TypeError(name, "a string");
    return false;
  }
  out = v.Text;
  return true;
}

const TJsonValue* Member(const TJsonValue& obj, const char* key, const QString& where,
                         QString& error) {
  const TJsonValue* v = obj.IsObject() ? obj.Find(key) : nullptr;
  if (!v) error = QStringLiteral("%1: missing \"%2\"").arg(where, QString::fromLatin1(key));
  return v;
}

std::string FloatText(float v) {
  if (std::isnan(v)) return "\"NaN\"";
  if (std::isinf(v)) return v > 0 ? "\"Infinity\"" : "\"-Infinity\"";
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

void TJsonWriter::Separate() {
  if (AfterKey) {
    AfterKey = false;
    return;
  }
  if (!First.empty()) {
    if (!First.back()) Out += ',';
    First.back() = false;
  }
}

TJsonWriter& TJsonWriter::BeginObject() {
  Separate();
  Out += '{';
  First.push_back(true);
  return *this;
}
TJsonWriter& TJsonWriter::EndObject() {
  Out += '}';
  First.pop_back();
  return *this;
}
TJsonWriter& TJsonWriter::BeginArray() {
  Separate();
  Out += '[';
  First.push_back(true);
  return *this;
}
TJsonWriter& TJsonWriter::EndArray() {
  Out += ']';
  First.pop_back();
  return *this;
}
TJsonWriter& TJsonWriter::Key(const char* key) {
  Separate();
  RawString(key);
  Out += ':';
  AfterKey = true;
  return *this;
}
TJsonWriter& TJsonWriter::Int(int64_t v) {
  Separate();
  Out += std::to_string(v);
  return *this;
}
TJsonWriter& TJsonWriter::Float(float v) {
  Separate();
  Out += FloatText(v);
  return *this;
}
TJsonWriter& TJsonWriter::Double(double v) {
  Separate();
  if (!std::isfinite(v)) {
    Out += "null";
    return *this;
  }
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  Out.append(buf, r.ptr);
  return *this;
}
TJsonWriter& TJsonWriter::Bool(bool v) {
  Separate();
  Out += v ? "true" : "false";
  return *this;
}
TJsonWriter& TJsonWriter::Null() {
  Separate();
  Out += "null";
  return *this;
}
TJsonWriter& TJsonWriter::String(const std::string& utf8) {
  Separate();
  RawString(utf8);
  return *this;
}

void TJsonWriter::RawString(const std::string& utf8) {
  Out += '"';
  for (unsigned char c : utf8) {
    switch (c) {
      case '"':
        Out += "\\\"";
        break;
      case '\\':
        Out += "\\\\";
        break;
      case '\n':
        Out += "\\n";
        break;
      case '\r':
        Out += "\\r";
        break;
      case '\t':
        Out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          Out += buf;
        } else {
          Out += static_cast<char>(c);
        }
    }
  }
  Out += '"';
}

TJsonWriter& TJsonWriter::Point(float x, float y) {
  BeginObject();
  Key("X").Float(x);
  Key("Y").Float(y);
  return EndObject();
}

}  // namespace k2::cli
