// The JSON dialect: any text is walked to its end with every Next moving
// on, edits of any text stay within their bounds, and an object built by
// Set, SetString and SetDetail reads back, keys in ascending order, every
// value as it was last written.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "json_value.h"

namespace {

// Enough to walk any input the fuzzer makes; the walk stops there so that
// a pathological nesting cannot turn one input into a time-out.
constexpr int kMaxSteps = 20000;

// Iterates every container depth first, as the exchange walks its answer.
void Walk(const TJsonValue& root) {
  std::vector<TJsonValue> pending = {root};
  int steps = 0;
  while (!pending.empty() && steps < kMaxSteps) {
    TJsonValue value = pending.back();
    pending.pop_back();
    if (value.Kind() != JSON_OBJECT && value.Kind() != JSON_ARRAY) {
      value.AsString("fallback");
      value.AsInteger(-1);
      continue;
    }
    value.SetCursor(0);
    TJsonValue item;
    std::string key;
    for (;;) {
      const uint32_t before = value.Cursor();
      const bool delivered = value.Next(&item, &key);
      ++steps;
      FUZZ_CHECK(value.Cursor() >= before);
      if (!delivered) break;
      FUZZ_CHECK(value.Cursor() > before);
      FUZZ_CHECK(item.Kind() != JSON_NONE && !item.Text().Empty());
      FUZZ_CHECK(item.Text().Length() <= value.Text().Length());
      pending.push_back(item);
      if (value.Kind() == JSON_OBJECT) value.Get(key);
      if (steps >= kMaxSteps) break;
    }
  }
}

// Keys are written as they are: one holding a quotation mark or a backslash
// is not a key this program writes.
std::string ConsumeKey(FuzzedDataProvider& input) {
  std::string key = input.ConsumeRandomLengthString(12);
  for (char& c : key) {
    if (c == '"' || c == '\\') c = '_';
  }
  return key;
}

bool EndsAsDetailsKey(const std::string& text) {
  static const std::string quoted = "\"DETAILS";
  return text == "DETAILS" ||
         (text.size() >= quoted.size() && text.compare(text.size() - quoted.size(), quoted.size(), quoted) == 0);
}

// Builds an object from nothing by a sequence of writes, and reads it back.
void CheckWritesReadBack(FuzzedDataProvider& input) {
  TJsonValue object(std::string("{}"));
  std::map<std::string, std::string> strings;   // key -> text, for string members
  std::map<std::string, int32_t> numbers;       // key -> number, for number members
  std::map<std::string, std::string> details;   // key -> text, inside DETAILS
  const int writes = input.ConsumeIntegralInRange(0, 24);
  for (int i = 0; i < writes && input.remaining_bytes() > 0; ++i) {
    const int what = input.ConsumeIntegralInRange(0, 2);
    std::string key = ConsumeKey(input);
    if (key == "DETAILS") key = "DETAILS_";
    if (what == 0) {
      std::string text = input.ConsumeRandomLengthString(40);
      // Get finds a key by its first quoted occurrence anywhere in the text,
      // and a value that is "DETAILS" or ends in a quote and DETAILS is
      // written as such an occurrence.
      if (EndsAsDetailsKey(text)) text += '.';
      object.SetString(key, text);
      strings[key] = text;
      numbers.erase(key);
    } else if (what == 1) {
      const int32_t number = input.ConsumeIntegralInRange<int32_t>(0, INT32_MAX);
      object.Set(key, TJsonValue(std::to_string(number)));
      numbers[key] = number;
      strings.erase(key);
    } else {
      // Details without a key would make DETAILS an array, as Set makes
      // of a value without kind; the program's detail keys are names.
      if (key.empty()) key = "KEY";
      std::string text = input.ConsumeRandomLengthString(40);
      if (EndsAsDetailsKey(text)) text += '.';
      object.SetDetail(key, text);
      if (!text.empty()) details[key] = text;
    }
  }

  FUZZ_CHECK(object.Kind() == JSON_OBJECT);
  object.SetCursor(0);
  TJsonValue member;
  std::string key;
  std::string previous;
  bool first = true;
  size_t seen = 0;
  while (object.Next(&member, &key)) {
    FUZZ_CHECK(first || previous < key);
    first = false;
    previous = key;
    ++seen;
    if (key == "DETAILS") {
      FUZZ_CHECK(!details.empty() && member.Kind() == JSON_OBJECT);
      TJsonValue detail;
      std::string detailKey;
      size_t detailsSeen = 0;
      member.SetCursor(0);
      while (member.Next(&detail, &detailKey)) {
        const auto expected = details.find(detailKey);
        FUZZ_CHECK(expected != details.end() && detail.AsString("") == expected->second);
        ++detailsSeen;
      }
      FUZZ_CHECK(detailsSeen == details.size());
    } else if (strings.count(key)) {
      FUZZ_CHECK(member.Kind() == JSON_STRING && member.AsString("") == strings[key]);
    } else {
      FUZZ_CHECK(numbers.count(key) && member.Kind() == JSON_NUMBER && member.AsInteger(-1) == numbers[key]);
    }
  }
  FUZZ_CHECK(seen == strings.size() + numbers.size() + (details.empty() ? 0 : 1));
  FUZZ_CHECK(object.Cursor() + 2 >= object.Text().Length());
}

// Writes into any text: nothing outside the value changes kind, and the
// result is walked like any other text.
void CheckWritesIntoAnyText(FuzzedDataProvider& input) {
  const std::string key = input.ConsumeRandomLengthString(8);
  const std::string text = input.ConsumeRandomLengthString(32);
  const int what = input.ConsumeIntegralInRange(0, 2);
  TJsonValue value(input.ConsumeRemainingBytesAsString());
  const TJsonKind kind = value.Kind();
  if (what == 0) value.SetString(key, text);
  if (what == 1) value.Set(key, TJsonValue(text));
  if (what == 2) value.SetDetail(key, text);
  if (kind == JSON_OBJECT || kind == JSON_ARRAY) FUZZ_CHECK(value.Kind() == kind);
  Walk(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  switch (input.ConsumeIntegralInRange(0, 2)) {
    case 0: {
      const TJsonValue value(input.ConsumeRemainingBytesAsString());
      Walk(value);
      value.GetDetails();
      break;
    }
    case 1:
      CheckWritesReadBack(input);
      break;
    default:
      CheckWritesIntoAnyText(input);
      break;
  }
  return 0;
}
