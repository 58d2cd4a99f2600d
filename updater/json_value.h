#pragma once
#include <cstdint>
#include <string>

#include "files/byte_buffer.h"

enum TJsonKind : uint32_t {
  JSON_NONE = 0,
  JSON_STRING = 1,
  JSON_NUMBER = 2,
  JSON_BOOLEAN = 3,
  JSON_OBJECT = 4,
  JSON_ARRAY = 5,
};

// A JSON value kept as its own text: reads scan the text, writes edit it.
// Values taken from a parent (Get, Next) are views on the parent's block and
// are copied only when they are changed.
//
// The dialect is the one the update server speaks: strings, unsigned
// integers, true/false, objects and arrays; no null, no blanks before a
// value's first character. Inside a string a backslash takes the next
// character along, and braces and brackets are text, not structure. Objects
// written here keep their keys in ascending byte order and hold no blanks;
// strings written here have their quotation marks, backslashes and control
// characters escaped, so that any text reads back as it was written.
class TJsonValue {
 public:
  TJsonValue() = default;
  // A value of its own: the bytes are copied.
  explicit TJsonValue(const TByteBuffer& text);
  explicit TJsonValue(const std::string& text);

  TJsonKind Kind() const { return kind_; }
  const TByteBuffer& Text() const { return text_; }

  // Where the next Next() starts looking; set it to 0 before an iteration.
  uint32_t Cursor() const { return cursor_; }
  void SetCursor(uint32_t cursor) { cursor_ = cursor; }
  // Where the value of the member last found by Next() starts.
  uint32_t ValueStart() const { return value_start_; }

  // The first textual occurrence of the quoted key and the value after it;
  // the empty value when this is not an object or nothing valid is found.
  TJsonValue Get(const std::string& key) const;
  // A string without its quotes and with its escapes undone; `fallback` for
  // a missing value; the raw text for other kinds.
  std::string AsString(const std::string& fallback) const;
  // A number, or a string of digits; `fallback` otherwise.
  int32_t AsInteger(int32_t fallback) const;

  // The next member of an object or element of an array from the cursor.
  // False at the end and at the first value that is not recognised.
  bool Next(TJsonValue* value, std::string* key = nullptr);

  // Writes a member of an object (replacing its value when the key exists)
  // or appends an element to an array. A value without kind becomes an
  // array for an empty key and an object otherwise. Nothing is written into
  // other kinds, into a container whose brackets do not balance, or when
  // `value` has no text.
  void Set(const std::string& key, const TJsonValue& value);
  // Set with a string value: `text` escaped, between quotes.
  void SetString(const std::string& key, const std::string& text);

  // The command details: Get("DETAILS").
  TJsonValue GetDetails() const;
  // Writes the string `text` under `key` into the details and the details
  // back into this value; an empty `text` changes nothing.
  void SetDetail(const std::string& key, const std::string& text);

 private:
  struct TMember;
  // A view on `text` sharing its block; the kind follows the first byte.
  static TJsonValue View(const TByteBuffer& text);
  bool NextMember(TMember* member);
  bool NextElement(TMember* member);
  void Insert(size_t position, const std::string& piece, bool comma_before, bool comma_after);
  void Replace(size_t position, size_t length, const TByteBuffer& piece);

  TJsonKind kind_ = JSON_NONE;
  TByteBuffer text_;
  uint32_t cursor_ = 0;
  uint32_t value_start_ = 0;
};
