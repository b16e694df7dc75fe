#pragma once
// A small JSON reader and writer for the CLI.
//
// Numbers keep their source text, so that a 32-bit float is read straight from its
// decimal form (no detour through double) and the writer prints each float in the
// shortest form that reads back to the same float.  build(dump(x)) is then x, byte for
// byte.  Non-finite floats are written as the strings "NaN", "Infinity", "-Infinity".
#include <QString>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace k2::cli {

class TJsonValue {
 public:
  enum class TType { Null, Bool, Number, String, Array, Object };

  TType Type = TType::Null;
  bool BoolValue = false;
  std::string Text;  // number text, or the decoded UTF-8 string
  std::vector<TJsonValue> Items;
  std::vector<std::pair<std::string, TJsonValue>> Members;  // in document order

  bool IsNull() const { return Type == TType::Null; }
  bool IsObject() const { return Type == TType::Object; }
  bool IsArray() const { return Type == TType::Array; }
  // Member lookup; null when absent.
  const TJsonValue* Find(const char* key) const;
};

// Parses a whole document; on failure `error` says where.
bool ParseJson(const std::string& text, TJsonValue& out, QString& error);

// Typed access with messages that name the field.  They fail (false) on a wrong type or
// a value out of range.
bool GetInt32(const TJsonValue& v, const QString& name, int32_t& out, QString& error);
bool GetUInt8(const TJsonValue& v, const QString& name, uint8_t& out, QString& error);
bool GetFloat(const TJsonValue& v, const QString& name, float& out, QString& error);
bool GetString(const TJsonValue& v, const QString& name, std::string& out, QString& error);
// A required member of an object.
const TJsonValue* Member(const TJsonValue& obj, const char* key, const QString& where,
                         QString& error);

// Compact writer.  Keys and values are appended in call order; commas are automatic.
class TJsonWriter {
 public:
  TJsonWriter& BeginObject();
  TJsonWriter& EndObject();
  TJsonWriter& BeginArray();
  TJsonWriter& EndArray();
  TJsonWriter& Key(const char* key);
  TJsonWriter& Int(int64_t v);
  TJsonWriter& Float(float v);
  TJsonWriter& Double(double v);  // shortest form of a double
  TJsonWriter& Bool(bool v);
  TJsonWriter& Null();
  TJsonWriter& String(const std::string& utf8);
  TJsonWriter& Point(float x, float y);  // {"X":x,"Y":y}
  const std::string& Text() const { return Out; }

 private:
  void Separate();
  void RawString(const std::string& utf8);
  std::string Out;
  std::vector<bool> First;  // per open container: nothing written yet
  bool AfterKey = false;
};

// Shortest decimal text of a float that reads back to the same float.
std::string FloatText(float v);

}  // namespace k2::cli
