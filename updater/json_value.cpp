#include "json_value.h"

#include <algorithm>
#include <cstring>

// Every scan below is bounded by the view's length and none of them
// recurses, so truncated, unbalanced or deeply nested text costs at most one
// pass over the bytes.

namespace {

bool StartsWith(const TByteBuffer& text, size_t position, const char* word) {
  size_t length = std::strlen(word);
  return position <= text.Length() && text.Length() - position >= length &&
         std::memcmp(text.Data() + position, word, length) == 0;
}

bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }

TJsonKind KindAt(const TByteBuffer& text, size_t position) {
  if (position >= text.Length()) return JSON_NONE;
  uint8_t c = text[position];
  if (c == '{') return JSON_OBJECT;
  if (c == '[') return JSON_ARRAY;
  if (c == '"') return JSON_STRING;
  if (IsDigit(c)) return JSON_NUMBER;
  if (StartsWith(text, position, "true") || StartsWith(text, position, "false")) return JSON_BOOLEAN;
  return JSON_NONE;
}

size_t Find(const TByteBuffer& text, size_t from, uint8_t c) {
  for (size_t i = from; i < text.Length(); ++i) {
    if (text[i] == c) return i;
  }
  return SIZE_MAX;
}

// The quotation mark that closes the string opening at `position`; a
// backslash takes the character after it along. SIZE_MAX when the text ends
// first.
size_t StringEnd(const TByteBuffer& text, size_t position) {
  for (size_t i = position + 1; i < text.Length(); ++i) {
    if (text[i] == '\\') {
      ++i;
    } else if (text[i] == '"') {
      return i;
    }
  }
  return SIZE_MAX;
}

// Length of the value that starts at `position`; 0 when there is none or its
// end lies beyond the text. Brackets inside strings are text, not structure.
size_t ValueLength(const TByteBuffer& text, size_t position) {
  size_t n = text.Length();
  switch (KindAt(text, position)) {
    case JSON_STRING: {
      size_t quote = StringEnd(text, position);
      return quote == SIZE_MAX ? 0 : quote - position + 1;
    }
    case JSON_NUMBER: {
      size_t end = position;
      while (end < n && IsDigit(text[end])) ++end;
      return end - position;
    }
    case JSON_BOOLEAN:
      return StartsWith(text, position, "true") ? 4 : 5;
    case JSON_OBJECT:
    case JSON_ARRAY: {
      uint8_t open = text[position];
      uint8_t close = open == '{' ? '}' : ']';
      size_t depth = 0;
      for (size_t i = position; i < n; ++i) {
        if (text[i] == '"') {
          i = StringEnd(text, i);
          if (i == SIZE_MAX) return 0;
        } else if (text[i] == open) {
          ++depth;
        } else if (text[i] == close && --depth == 0) {
          return i - position + 1;
        }
      }
      return 0;
    }
    case JSON_NONE:
      break;
  }
  return 0;
}

size_t SkipSeparators(const TByteBuffer& text, size_t position) {
  while (position < text.Length() && (text[position] == ' ' || text[position] == ':')) ++position;
  return position;
}

bool IsBlank(uint8_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

uint32_t Position32(size_t position) { return static_cast<uint32_t>(std::min<size_t>(position, UINT32_MAX)); }

int HexValue(uint8_t c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A string's text as JSON writes it: quotation marks, backslashes and
// control characters escaped, every other byte as it is.
std::string Escape(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string escaped;
  for (const char c : text) {
    const uint8_t byte = static_cast<uint8_t>(c);
    if (c == '"' || c == '\\') {
      escaped += '\\';
      escaped += c;
    } else if (byte < 0x20) {
      escaped += "\\u00";
      escaped += kHex[byte >> 4];
      escaped += kHex[byte & 0x0F];
    } else {
      escaped += c;
    }
  }
  return escaped;
}

// What the escape of a backslash and `c` stands for; '\0' for none of the
// short escapes.
char ShortEscape(char c) {
  switch (c) {
    case '"':
    case '\\':
    case '/':
      return c;
    case 'b':
      return '\b';
    case 'f':
      return '\f';
    case 'n':
      return '\n';
    case 'r':
      return '\r';
    case 't':
      return '\t';
    default:
      return '\0';
  }
}

// The escapes of a string's text undone. Texts are single bytes: \u00XX is
// that byte; a \u above 00FF, or a backslash before anything else, stays as
// it was written.
std::string Unescape(const TByteBuffer& text, size_t from, size_t length) {
  std::string plain;
  const size_t end = from + length;
  for (size_t i = from; i < end; ++i) {
    const char c = static_cast<char>(text[i]);
    const char escaped = c == '\\' && i + 1 < end ? ShortEscape(static_cast<char>(text[i + 1])) : '\0';
    if (escaped != '\0') {
      plain += escaped;
      ++i;
    } else if (c == '\\' && end - i >= 6 && text[i + 1] == 'u' && text[i + 2] == '0' && text[i + 3] == '0' &&
               HexValue(text[i + 4]) >= 0 && HexValue(text[i + 5]) >= 0) {
      plain += static_cast<char>(HexValue(text[i + 4]) * 16 + HexValue(text[i + 5]));
      i += 5;
    } else {
      plain += c;
    }
  }
  return plain;
}

}  // namespace

struct TJsonValue::TMember {
  size_t key_position = 0;  // the key's opening quote
  size_t value_position = 0;
  size_t value_length = 0;
  std::string key;
};

TJsonValue::TJsonValue(const TByteBuffer& text) : kind_(KindAt(text, 0)), text_(text.Length(), text.Data()) {}

TJsonValue::TJsonValue(const std::string& text) : TJsonValue(TByteBuffer(text)) {}

TJsonValue TJsonValue::View(const TByteBuffer& text) {
  TJsonValue value;
  value.kind_ = KindAt(text, 0);
  value.text_ = text;
  return value;
}

TJsonValue TJsonValue::Get(const std::string& key) const {
  if (kind_ != JSON_OBJECT) return TJsonValue();
  std::string needle = "\"" + key + "\"";
  const uint8_t* begin = text_.Data();
  const uint8_t* end = begin + text_.Length();
  const uint8_t* found = std::search(begin, end, needle.begin(), needle.end(),
                                     [](uint8_t a, char b) { return a == static_cast<uint8_t>(b); });
  if (found == end) return TJsonValue();
  size_t position = SkipSeparators(text_, static_cast<size_t>(found - begin) + needle.size());
  size_t length = ValueLength(text_, position);
  if (length == 0) return TJsonValue();
  return View(text_.Sub(position, length));
}

std::string TJsonValue::AsString(const std::string& fallback) const {
  if (kind_ != JSON_STRING && kind_ != JSON_NONE) return text_.ToString();
  if (text_.Length() <= 1) return fallback;
  return Unescape(text_, 1, text_.Length() - 2);
}

int32_t TJsonValue::AsInteger(int32_t fallback) const {
  const uint8_t* digits = text_.Data();
  size_t count = text_.Length();
  if (kind_ == JSON_STRING && count > 2) {
    ++digits;
    count -= 2;
  } else if (kind_ != JSON_NUMBER) {
    return fallback;
  }
  // Characters are not checked to be digits. The total is held far from the
  // limits of its type so that long texts saturate instead of overflowing.
  const int64_t limit = INT64_C(1) << 40;
  int64_t total = 0;
  for (size_t i = 0; i < count; ++i) {
    total = total * 10 + (static_cast<int64_t>(digits[i]) - '0');
    total = std::max(-limit, std::min(limit, total));
  }
  if (total < 0) return 0;
  return static_cast<int32_t>(std::min<int64_t>(total, INT32_MAX));
}

bool TJsonValue::NextMember(TMember* member) {
  size_t open = Find(text_, cursor_, '"');
  if (open == SIZE_MAX) return false;
  size_t close = StringEnd(text_, open);
  if (close == SIZE_MAX) return false;
  member->key_position = open;
  member->key = text_.Sub(open + 1, close - open - 1).ToString();
  member->value_position = SkipSeparators(text_, close + 1);
  return true;
}

bool TJsonValue::NextElement(TMember* member) {
  size_t n = text_.Length();
  size_t position = cursor_;
  // '[' does not start an element: a nested array is entered, not delivered.
  while (position < n && n - position >= 5) {
    TJsonKind kind = KindAt(text_, position);
    if (kind != JSON_NONE && kind != JSON_ARRAY) break;
    ++position;
  }
  if (position >= n) return false;
  member->key_position = position;
  member->key.clear();
  member->value_position = position;
  return true;
}

bool TJsonValue::Next(TJsonValue* value, std::string* key) {
  // Built aside, so that a value passed as its own out value stays readable.
  TJsonValue found;
  std::string found_key;
  TMember member;
  bool delivered = false;
  if (static_cast<size_t>(cursor_) + 2 < text_.Length() &&
      ((kind_ == JSON_OBJECT && NextMember(&member)) || (kind_ == JSON_ARRAY && NextElement(&member)))) {
    value_start_ = Position32(member.value_position);
    member.value_length = ValueLength(text_, member.value_position);
    if (member.value_length > 0) {
      found = View(text_.Sub(member.value_position, member.value_length));
      found_key = member.key;
      cursor_ = Position32(member.value_position + member.value_length + 1);
      delivered = true;
    } else {
      cursor_ = value_start_;
    }
  }
  *value = found;
  if (key) *key = found_key;
  return delivered;
}

void TJsonValue::Set(const std::string& key, const TJsonValue& value) {
  TByteBuffer piece_text = value.Text();  // shares the block, survives edits of this text
  if (kind_ == JSON_NONE) {
    // Text without a kind is no value to keep: the container starts afresh.
    kind_ = key.empty() ? JSON_ARRAY : JSON_OBJECT;
    text_.Clear();
  }
  if (kind_ != JSON_OBJECT && kind_ != JSON_ARRAY) return;
  // A member or element without text could not be read back.
  if (piece_text.Empty()) return;
  if (text_.Empty()) text_ = TByteBuffer(std::string(kind_ == JSON_OBJECT ? "{}" : "[]"));
  size_t extent = ValueLength(text_, 0);
  if (extent == 0) return;  // unbalanced: there is no closing character to write before
  size_t closing = extent - 1;

  std::string piece;
  if (kind_ == JSON_OBJECT) {
    piece = "\"" + key + "\":";
    cursor_ = 0;
    TMember member;
    while (static_cast<size_t>(cursor_) + 2 < text_.Length() && NextMember(&member) &&
           member.key_position < closing) {
      member.value_length = ValueLength(text_, member.value_position);
      value_start_ = Position32(member.value_position);
      if (member.value_length == 0) {
        cursor_ = value_start_;
        break;
      }
      cursor_ = Position32(member.value_position + member.value_length + 1);
      if (member.key == key) {
        Replace(member.value_position, member.value_length, piece_text);
        return;
      }
      if (key < member.key) {  // byte-wise: char_traits<char> compares as unsigned char
        piece.append(reinterpret_cast<const char*>(piece_text.Data()), piece_text.Length());
        Insert(member.key_position, piece, false, true);
        return;
      }
    }
  }
  piece.append(reinterpret_cast<const char*>(piece_text.Data()), piece_text.Length());
  // A comma is needed after earlier content unless one is already there.
  size_t last = closing;
  while (last > 1 && IsBlank(text_[last - 1])) --last;
  Insert(closing, piece, last > 1 && text_[last - 1] != ',', false);
}

void TJsonValue::SetString(const std::string& key, const std::string& text) {
  Set(key, TJsonValue("\"" + Escape(text) + "\""));
}

TJsonValue TJsonValue::GetDetails() const { return Get("DETAILS"); }

void TJsonValue::SetDetail(const std::string& key, const std::string& text) {
  if (text.empty()) return;
  TJsonValue details = GetDetails();
  details.SetString(key, text);
  Set("DETAILS", details);
}

// Edits build a new block, so views that share the old one keep their text.
void TJsonValue::Insert(size_t position, const std::string& piece, bool comma_before, bool comma_after) {
  TByteBuffer edited;
  edited.Append(text_.Data(), position);
  if (comma_before) edited.Append(uint8_t(','));
  edited.Append(piece.data(), piece.size());
  if (comma_after) edited.Append(uint8_t(','));
  edited.Append(text_.Data() + position, text_.Length() - position);
  text_ = edited;
}

void TJsonValue::Replace(size_t position, size_t length, const TByteBuffer& piece) {
  TByteBuffer edited;
  edited.Append(text_.Data(), position);
  edited.Append(piece);
  edited.Append(text_.Data() + position + length, text_.Length() - position - length);
  text_ = edited;
}
