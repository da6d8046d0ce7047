#include "gateway/cgi.h"

#include <gtest/gtest.h>

#include <map>

namespace qvx::gateway {
namespace {

CgiRequest Request(std::map<std::string, std::string> env, std::string body = "",
                   std::size_t chunk = 1000) {
  CgiRequest request = ReadCgiEnvironment([&](const char* name) -> const char* {
    const auto found = env.find(name);
    return found == env.end() ? nullptr : found->second.c_str();
  });
  std::size_t offset = 0;
  ReadFormData(request, [&](std::size_t wanted) {
    const std::string part = body.substr(offset, std::min({wanted, chunk, body.size() - offset}));
    offset += part.size();
    return part;
  });
  return request;
}

std::map<std::string, std::string> Post(const std::string& body) {
  return {{"REQUEST_METHOD", "POST"},
          {"CONTENT_TYPE", "application/x-WWW-form-urlencoded"},
          {"CONTENT_LENGTH", std::to_string(body.size())}};
}

TEST(ReadFormData, StoresBodyFieldsBeforeQueryFields) {
  auto env = Post("devlist=X10%26Lamp&cmdlist=On");
  env["QUERY_STRING"] = "DEVLIST=TV&x=1";
  const CgiRequest request = Request(env, "devlist=X10%26Lamp&cmdlist=On", 7);
  EXPECT_EQ(GetFieldValue(request, "cmdlist"), "On");
  EXPECT_EQ(GetFieldValue(request, "devlist"), "X10&Lamp;TV");
  EXPECT_EQ(GetFieldValue(request, "Missing"), "");
  EXPECT_EQ(request.contentLength, 29);
}

TEST(ReadFormData, ReadsTheBodyOnlyForAnUpperCasePostOfFormData) {
  auto env = Post("a=1");
  env["REQUEST_METHOD"] = "post";
  EXPECT_TRUE(Request(env, "a=1").fields.empty());
  env = Post("a=1");
  env["CONTENT_TYPE"] = "text/plain";
  EXPECT_TRUE(Request(env, "a=1").fields.empty());
}

TEST(ReadFormData, StopsAtTheEndOfAShortBodyAndRefusesAHugeOne) {
  auto env = Post("a=1");
  env["CONTENT_LENGTH"] = "500";
  EXPECT_EQ(GetFieldValue(Request(env, "a=1&b=2"), "b"), "2");
  env["CONTENT_LENGTH"] = "99999999999999999999";
  try {
    Request(env, "a=1");
    FAIL() << "a huge declared length was accepted";
  } catch (const CgiError& error) {
    EXPECT_EQ(error.number(), 413);
  }
  env["CONTENT_LENGTH"] = "junk";
  EXPECT_EQ(Request(env, "a=1").contentLength, 0);
}

TEST(StoreFieldPairs, SplitsPairsTheWayTheFormSendsThem) {
  struct Case {
    std::string text;
    std::vector<std::pair<std::string, std::string>> fields;
  } cases[] = {
      {"a&b=c", {{"a&b", "c"}}},
      {"a=1=2&b=3", {{"a", "1=2"}, {"b", "3"}}},
      {"name=POWER+ON%20now&empty=", {{"name", "POWER ON now"}, {"empty", ""}}},
      {"no pairs here", {}},
      {"=v", {{"", "v"}}},
      {"%41=%2b%25", {{"A", "+%"}}},
  };
  for (const auto& c : cases) {
    CgiRequest request;
    StoreFieldPairs(request, c.text);
    EXPECT_EQ(request.fields, c.fields) << c.text;
  }
}

TEST(UrlDecode, RefusesBadPercentSequences) {
  EXPECT_EQ(UrlDecode(""), "");
  EXPECT_EQ(UrlDecode("%2525"), "%25");  // a decoded "%" is not decoded again
  EXPECT_EQ(UrlDecode("%e9t%C9"), "\xE9t\xC9");
  for (const char* bad : {"%4G", "abc%", "%4", "%%41", "%G1"}) {
    try {
      UrlDecode(bad);
      ADD_FAILURE() << bad << " was decoded";
    } catch (const CgiError& error) {
      EXPECT_EQ(error.number(), 65001) << bad;
      EXPECT_STREQ(error.what(), "Invalid data passed to UrlDecode() function.") << bad;
    }
  }
}

}  // namespace
}  // namespace qvx::gateway
