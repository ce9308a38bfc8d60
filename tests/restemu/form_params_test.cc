#include "tools/restemu/form_params.h"

#include <gtest/gtest.h>

#include "tools/restemu/answer.h"
#include "tools/restemu/signature.h"

namespace {

TEST(FormParamsTest, DecodesFormsTheWayTheServerReadsThem) {
  CRequestParams params;
  ParseUrlEncoded("a=x+y%2B%3d&b&=skipped&&c=100%&d=%zz%4", params);
  ParseUrlEncoded("a=later&e=caf%C3%A9", params);
  ASSERT_EQ(params.Items().size(), 5u);
  EXPECT_EQ(params.Items()[0].strName, "a");  // a later value keeps the first place
  EXPECT_EQ(params.Get("a"), "later");
  EXPECT_TRUE(params.Has("b"));
  EXPECT_EQ(params.Get("b"), "");
  EXPECT_EQ(params.Get("c"), "100%");
  EXPECT_EQ(params.Get("d"), "%zz%4");
  EXPECT_EQ(params.Get("e"), "caf\xC3\xA9");
  EXPECT_FALSE(params.Has("missing"));
  EXPECT_EQ(UrlDecode("x+y%2B"), "x y+");
}

// The worked example of the service's documentation style: sorted pairs, raw values, no
// separators, then the secret; "sig" itself never signed.
TEST(SignatureTest, SignsSortedRawPairsWithoutTheSignature) {
  CRequestParams params;
  params.Set("v", "1.0");
  params.Set("status_includes_verb", "true");
  params.Set("status", "a b&c");
  params.Set("sig", "ignored");
  params.Set("api_key", "k");
  // md5("api_key=kstatus=a b&cstatus_includes_verb=truev=1.0secret")
  EXPECT_EQ(ExpectedSignature(params, "secret"), "45a718236fd5af4a4eac30444b156c09");
}

TEST(AnswerTest, WritesListsRecordsAndScalarsInBothFormats) {
  AnswerDocument document;
  document.root = CAnswerNode::Record(
      "r", {CAnswerNode::Text("t", "a<b & \"c\""), CAnswerNode::Number("n", 7),
            CAnswerNode::List("l"), CAnswerNode::List("m", {CAnswerNode::Bool("b", false)})});
  const std::string xml = WriteXmlAnswer(document);
  EXPECT_NE(
      xml.find("\n  <t>a&lt;b &amp; &quot;c&quot;</t>\n  <n>7</n>\n  <l list=\"true\"/>\n  <m "
               "list=\"true\">\n    <b>0</b>\n  </m>\n</r>\n"),
      std::string::npos)
      << xml;
  EXPECT_EQ(WriteJsonAnswer(document), R"({"t":"a<b & \"c\"","n":7,"l":[],"m":[false]})");
}

}  // namespace
