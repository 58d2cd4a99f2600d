#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "json_value.h"

namespace {

std::string TextOf(const TJsonValue& value) { return value.Text().ToString(); }

// Every value an iteration delivers, as "key=text" (or just the text).
std::vector<std::string> Iterate(TJsonValue value) {
  std::vector<std::string> seen;
  value.SetCursor(0);
  TJsonValue item;
  std::string key;
  while (value.Next(&item, &key)) {
    seen.push_back(key.empty() ? TextOf(item) : key + "=" + TextOf(item));
    if (seen.size() > 1000) break;  // an iteration that never ends is a fault too
  }
  return seen;
}

TEST(JsonValue, KindFollowsTheFirstCharacterOnly) {
  const std::pair<const char*, TJsonKind> kinds[] = {
      {"{\"a\":1}", JSON_OBJECT}, {"[1]", JSON_ARRAY}, {"\"x\"", JSON_STRING}, {"12", JSON_NUMBER},
      {"true", JSON_BOOLEAN}, {"false", JSON_BOOLEAN}, {"", JSON_NONE}, {" {\"a\":1}", JSON_NONE},
      {"\n{}", JSON_NONE}, {"null", JSON_NONE}, {"-1", JSON_NONE}, {"fals", JSON_NONE}};
  for (const auto& [text, kind] : kinds) EXPECT_EQ(kind, TJsonValue(std::string(text)).Kind()) << text;
  EXPECT_EQ(JSON_NONE, TJsonValue(std::string(" {\"a\":1}")).Get("a").Kind());
}

TEST(JsonValue, GetFindsTheFirstQuotedKeyAndSharesTheParentsBlock) {
  TJsonValue doc{std::string("{\"A\":{\"SN\":\"1\"},\"SN\":\"2\",\"N\" : 42,\"B\":true,\"O\":{\"x\":[1,{}]}}")};
  TJsonValue sn = doc.Get("SN");
  EXPECT_EQ(JSON_STRING, sn.Kind());
  EXPECT_EQ("\"1\"", TextOf(sn));
  EXPECT_EQ(2u, doc.Text().ShareCount());
  EXPECT_EQ(42, doc.Get("N").AsInteger(0));
  EXPECT_EQ("true", TextOf(doc.Get("B")));
  EXPECT_EQ("{\"x\":[1,{}]}", TextOf(doc.Get("O")));
  EXPECT_EQ("[1,{}]", TextOf(doc.Get("O").Get("x")));
  EXPECT_TRUE(doc.Get("missing").Text().Empty());
  for (const char* cut : {"{\"A\":\"abc", "{\"A\":{\"b\":1", "{\"A\":[1", "{\"A\":"}) {
    EXPECT_TRUE(TJsonValue(std::string(cut)).Get("A").Text().Empty()) << cut;
  }
  EXPECT_EQ(JSON_NONE, doc.Get("O").Get("x").Get("x").Kind());  // arrays have no members
  // The constructor copies: the source stays alone in its block.
  TByteBuffer source(std::string("{}"));
  TJsonValue copy(source);
  EXPECT_EQ(1u, source.ShareCount());
}

TEST(JsonValue, ReadsAsStringAndInteger) {
  TJsonValue doc{std::string("{\"E\":\"\",\"N\":12,\"S\":\"12\",\"B\":true,\"X\":\"1a\",\"O\":{\"k\":\"v\"},"
                             "\"Q\":\"a\\\"\",\"L\":99999999999999999999999,\"M\":\"0/\"}")};
  EXPECT_EQ("x", doc.Get("missing").AsString("x"));
  EXPECT_EQ("", doc.Get("E").AsString("x"));
  EXPECT_EQ("12", doc.Get("N").AsString("x"));
  EXPECT_EQ("{\"k\":\"v\"}", doc.Get("O").AsString("x"));
  EXPECT_EQ("a\"", doc.Get("Q").AsString("x"));  // an escaped quotation mark is part of the string
  EXPECT_EQ(12, doc.Get("S").AsInteger(7));
  EXPECT_EQ(7, doc.Get("E").AsInteger(7));
  EXPECT_EQ(7, doc.Get("B").AsInteger(7));
  EXPECT_EQ(59, doc.Get("X").AsInteger(7));
  EXPECT_EQ(0, doc.Get("M").AsInteger(7));           // negative total
  EXPECT_EQ(INT32_MAX, doc.Get("L").AsInteger(7));   // saturates instead of overflowing
}

TEST(JsonValue, IteratesMembersAndElementsWithTheDialectsLimits) {
  EXPECT_EQ((std::vector<std::string>{"A=1", "B=\"b\"", "C={\"D\":[2]}", "E=false"}),
            Iterate(TJsonValue(std::string("{\"A\":1,\"B\":\"b\",\"C\":{\"D\":[2]},\"E\":false}"))));
  EXPECT_EQ((std::vector<std::string>{"A=1"}), Iterate(TJsonValue(std::string("{\"A\":1,\"B\":null,\"C\":2}"))));
  EXPECT_EQ((std::vector<std::string>{"{\"a\":1}", "2"}), Iterate(TJsonValue(std::string("[{\"a\":1},[2],3]"))));
  EXPECT_EQ((std::vector<std::string>{"\"a\"", "\"b\""}), Iterate(TJsonValue(std::string("[\"a\",\"b\"]"))));
  for (const char* short_tail : {"[1,2]", "[1, 2]"}) {
    EXPECT_EQ((std::vector<std::string>{"1"}), Iterate(TJsonValue(std::string(short_tail))));
  }
  EXPECT_EQ((std::vector<std::string>{"{\"a\":1}", "{}"}), Iterate(TJsonValue(std::string("[{\"a\":1},{}]"))));

  // A failed step clears the out values.
  TJsonValue doc{std::string("{\"A\":1,\"B\":null}")};
  TJsonValue item;
  std::string key;
  ASSERT_TRUE(doc.Next(&item, &key));
  EXPECT_FALSE(doc.Next(&item, &key));
  EXPECT_TRUE(item.Text().Empty() && key.empty());
}

TEST(JsonValue, WritesSortedCompactObjectsAndArrays) {
  TJsonValue object;
  object.SetString("B", "2");
  object.SetString("A", "1");
  object.SetString("C", "3");
  EXPECT_EQ("{\"A\":\"1\",\"B\":\"2\",\"C\":\"3\"}", TextOf(object));
  object.Set("A", TJsonValue(std::string("[]")));
  object.SetString("AA", "x");  // a proper prefix sorts first
  object.SetString("a", "y");   // byte order: lower case after upper case
  EXPECT_EQ("{\"A\":[],\"AA\":\"x\",\"B\":\"2\",\"C\":\"3\",\"a\":\"y\"}", TextOf(object));

  TJsonValue array;
  array.SetString("", "x");
  array.SetString("", "y");
  EXPECT_EQ(JSON_ARRAY, array.Kind());
  EXPECT_EQ("[\"x\",\"y\"]", TextOf(array));

  // The report shape: an object in an array in an object.
  TJsonValue report;
  report.SetString("SN", "7");
  TJsonValue replies;
  replies.Set("", report);
  TJsonValue request;
  request.Set("REPLIES", replies);
  EXPECT_EQ("{\"REPLIES\":[{\"SN\":\"7\"}]}", TextOf(request));

}

// Braces, brackets, quotation marks and backslashes inside strings are text:
// whatever a written value holds, every member stays in place, the text stays
// JSON, and each value reads back as it was written.
TEST(JsonValue, StringsHoldingStructureCharactersAreText) {
  const std::vector<std::string> odd = {"12{34", "M}1", "a\"b", "c:\\d\\", "[{\"}]", std::string("\x01\n\0", 3)};
  TJsonValue object;
  for (size_t i = 0; i < odd.size(); ++i) object.SetString("K" + std::to_string(i), odd[i]);
  object.SetString("Z", "last");
  EXPECT_EQ("{\"K0\":\"12{34\",\"K1\":\"M}1\",\"K2\":\"a\\\"b\",\"K3\":\"c:\\\\d\\\\\",\"K4\":\"[{\\\"}]\","
            "\"K5\":\"\\u0001\\u000A\\u0000\",\"Z\":\"last\"}",
            TextOf(object));
  for (size_t i = 0; i < odd.size(); ++i) EXPECT_EQ(odd[i], object.Get("K" + std::to_string(i)).AsString("?")) << i;
  EXPECT_EQ(odd.size() + 1, Iterate(object).size());

  // Written into a command's details, they leave the rest of it readable.
  TJsonValue command{std::string("{\"CMD\":\"CHECK_FILES\",\"DETAILS\":{\"FILES\":[{\"FILE_NAME\":\"a\"}]}}")};
  command.SetDetail("SN", "1{\"2\\");
  command.SetDetail("HOST_URL", "h}:80");
  EXPECT_EQ("[{\"FILE_NAME\":\"a\"}]", TextOf(command.GetDetails().Get("FILES")));
  EXPECT_EQ("1{\"2\\", command.GetDetails().Get("SN").AsString(""));
  EXPECT_EQ("h}:80", command.GetDetails().Get("HOST_URL").AsString(""));

  // Server text: escapes undone, structure characters in strings skipped.
  TJsonValue answer{std::string("{\"A\":{\"B\":\"x}\\\"]\",\"C\":[\"{\",2]},\"D\":\"\\/\\t\\u0041\\u20AC\\q\"}")};
  EXPECT_EQ("x}\"]", answer.Get("A").Get("B").AsString(""));
  EXPECT_EQ("[\"{\",2]", TextOf(answer.Get("A").Get("C")));
  EXPECT_EQ("/\tA\\u20AC\\q", answer.Get("D").AsString(""));
  EXPECT_EQ((std::vector<std::string>{"A={\"B\":\"x}\\\"]\",\"C\":[\"{\",2]}", "D=\"\\/\\t\\u0041\\u20AC\\q\""}),
            Iterate(answer));
}

TEST(JsonValue, WritesOnlySoundText) {
  for (const char* fixed : {"\"s\"", "12", "true", "{\"A\":1", "[1,", "{\"A\":{}"}) {
    TJsonValue value{std::string(fixed)};
    value.SetString("B", "x");
    value.SetString("", "x");
    EXPECT_EQ(fixed, TextOf(value));
  }
  TJsonValue object{std::string("{\"A\":1}")};
  object.Set("B", TJsonValue());  // a member without a value could not be read back
  EXPECT_EQ("{\"A\":1}", TextOf(object));
  // Text of no kind is not kept: writing starts a fresh container.
  TJsonValue none{std::string(" {\"A\":1}")};
  none.SetString("B", "x");
  EXPECT_EQ("{\"B\":\"x\"}", TextOf(none));
  // Server text with blanks still gets its commas in the right places.
  TJsonValue spaced{std::string("{ \"A\":1 , \"C\":3 }\r\n")};
  spaced.SetString("B", "b");
  spaced.SetString("D", "d");
  spaced.SetString("C", "c");
  EXPECT_EQ("{ \"A\":1 , \"B\":\"b\",\"C\":\"c\" ,\"D\":\"d\"}\r\n", TextOf(spaced));
  TJsonValue empty{std::string("{ }")};
  empty.SetString("A", "a");
  EXPECT_EQ("{ \"A\":\"a\"}", TextOf(empty));
  TJsonValue array{std::string("[ 1 ]")};
  array.SetString("", "x");
  EXPECT_EQ("[ 1 ,\"x\"]", TextOf(array));
}

TEST(JsonValue, WritesCopyTheBlockAndLeaveEarlierViewsAlone) {
  TJsonValue command{std::string("{\"CMD\":\"CHECK_FILES\",\"DETAILS\":{\"SN\":\"old\",\"TARGET\":\"ECR\"},\"Z\":1}")};
  TJsonValue details = command.GetDetails();
  TJsonValue target = details.Get("TARGET");
  command.SetDetail("SN", "new");
  command.SetDetail("HOST_URL", "h:80");
  command.SetDetail("TARGET", "");  // empty text changes nothing
  EXPECT_EQ("{\"CMD\":\"CHECK_FILES\",\"DETAILS\":{\"HOST_URL\":\"h:80\",\"SN\":\"new\",\"TARGET\":\"ECR\"},\"Z\":1}",
            TextOf(command));
  EXPECT_EQ("{\"SN\":\"old\",\"TARGET\":\"ECR\"}", TextOf(details));
  EXPECT_EQ("\"ECR\"", TextOf(target));

  TJsonValue bare{std::string("{\"CMD\":\"X\"}")};
  bare.SetDetail("SN", "1");
  EXPECT_EQ("{\"CMD\":\"X\",\"DETAILS\":{\"SN\":\"1\"}}", TextOf(bare));

  // A value written into itself reads its own old text.
  TJsonValue self{std::string("{\"A\":1}")};
  self.Set("B", self);
  EXPECT_EQ("{\"A\":1,\"B\":{\"A\":1}}", TextOf(self));
}

// Damaged server text: every prefix of a document, and nesting far deeper
// than any real answer, must be read and written without leaving the text.
TEST(JsonValue, SurvivesTruncatedAndDeeplyNestedText) {
  const std::string doc =
      "{\"body\":{\"COMMANDS\":[{\"CMD\":\"CHECK_FILES\",\"DETAILS\":{\"FILES\":[{\"FILE_NAME\":\"a\","
      "\"FILE_SIZE\":12}],\"TARGET\":\"ECR\"}},[3],true]},\"success\":true}";
  for (size_t cut = 0; cut <= doc.size(); ++cut) {
    TJsonValue value{doc.substr(0, cut)};
    TJsonValue commands = value.Get("body").Get("COMMANDS");
    Iterate(commands);
    Iterate(value);
    value.Get("FILE_SIZE").AsInteger(0);
    value.Get("FILE_NAME").AsString("");
    value.SetDetail("SN", "1");
    commands.SetString("", "x");
  }
  const std::string deep = std::string(100000, '[') + std::string(100000, '{') + "\"k\":1";
  TJsonValue nested{deep};
  EXPECT_TRUE(Iterate(nested).size() <= 1);
  nested.SetString("", "x");
  EXPECT_EQ(deep, TextOf(nested));
  TJsonValue balanced{"{\"k\":" + std::string(100000, '[') + std::string(100000, ']') + "}"};
  EXPECT_EQ(200000u, balanced.Get("k").Text().Length());
}

}  // namespace
