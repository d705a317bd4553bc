#include "form_parser.h"

#include <gtest/gtest.h>

using namespace tarrowind::sim;

TEST(PercentDecode, DecodesHexPairsInEitherCaseAndKeepsEverythingElse)
{
    EXPECT_EQ(percentDecode("Door%201"), "Door 1");
    EXPECT_EQ(percentDecode("%c3%a9%C3%A9"), "\xC3\xA9\xC3\xA9");
    EXPECT_EQ(percentDecode("50%%20off"), "50% off"); // the sender leaves '%' itself unescaped
    EXPECT_EQ(percentDecode("a+b"), "a+b");
    EXPECT_EQ(percentDecode("%"), "%");
    EXPECT_EQ(percentDecode("%4"), "%4");
    EXPECT_EQ(percentDecode("x%zz"), "x%zz");
    EXPECT_EQ(percentDecode("%00"), std::string(1, '\0'));
    EXPECT_EQ(percentDecode(""), "");
}

TEST(FormBody, SplitsFieldsDecodesValuesAndDropsTheClosingLineBreak)
{
    const auto form = parseForm("Reboot=0&Default=0&MachName=Door%201&DDNSPasswd=p=q&Submit=Submit\r\n");
    ASSERT_TRUE(form);
    ASSERT_EQ(form->size(), 5u);
    EXPECT_EQ(*form->get("MachName"), "Door 1");
    EXPECT_EQ(*form->get("DDNSPasswd"), "p=q"); // only the first '=' splits
    EXPECT_EQ(*form->get("Submit"), "Submit");
    EXPECT_EQ(form->get("Missing"), nullptr);
}

TEST(FormBody, FirstOfARepeatedFieldWinsAndAmpersandsInValuesSplit)
{
    // An unescaped '&' in a password reaches the module as a separator.
    const auto form = parseForm("DDNSPasswd=a&b=c&DDNSPasswd=second");
    ASSERT_TRUE(form);
    EXPECT_EQ(*form->get("DDNSPasswd"), "a");
    EXPECT_EQ(*form->get("b"), "c");
    EXPECT_EQ(form->all().back().second, "second");
}

TEST(FormBody, EdgeShapes)
{
    auto form = parseForm("");
    ASSERT_TRUE(form);
    EXPECT_EQ(form->size(), 0u);
    form = parseForm("\r\n");
    ASSERT_TRUE(form);
    EXPECT_EQ(form->size(), 0u);
    form = parseForm("&&flag&=v&x=\r\n\r\n");
    ASSERT_TRUE(form);
    ASSERT_EQ(form->size(), 3u);
    EXPECT_EQ(*form->get("flag"), "");
    EXPECT_EQ(*form->get(""), "v");
    EXPECT_EQ(*form->get("x"), "\r\n"); // only one closing line break is the sender's
}

TEST(FormBody, RefusesOversizedBodiesAndTooManyFields)
{
    EXPECT_FALSE(parseForm(std::string(kMaxFormBytes + 1, 'a')));
    EXPECT_TRUE(parseForm(std::string(kMaxFormBytes, 'a')));
    std::string many;
    for (std::size_t i = 0; i < kMaxFormFields; ++i) many += "f=1&";
    EXPECT_TRUE(parseForm(many));
    EXPECT_FALSE(parseForm(many + "g=2"));
}

TEST(LoginQuery, ReadsUserAndChain)
{
    const auto query = parseLoginQuery("/login.cgi?user=admin&pswd=-1f-7e");
    ASSERT_TRUE(query);
    EXPECT_EQ(query->user, "admin");
    EXPECT_EQ(query->password, "-1f-7e");
}

TEST(LoginQuery, UserMayHoldAmpersandsAndEscapes)
{
    auto query = parseLoginQuery("/login.cgi?user=a&b&pswd=&pswd=-00-61");
    ASSERT_TRUE(query);
    EXPECT_EQ(query->user, "a&b&pswd=");
    EXPECT_EQ(query->password, "-00-61");
    query = parseLoginQuery("/login.cgi?user=front%20desk&pswd=");
    ASSERT_TRUE(query);
    EXPECT_EQ(query->user, "front desk");
    EXPECT_EQ(query->password, "");
}

TEST(LoginQuery, RefusesOtherShapes)
{
    EXPECT_FALSE(parseLoginQuery("/login.cgi"));
    EXPECT_FALSE(parseLoginQuery("/login.cgi?"));
    EXPECT_FALSE(parseLoginQuery("/login.cgi?pswd=-00&user=a"));
    EXPECT_FALSE(parseLoginQuery("/login.cgi?user=admin"));
    EXPECT_FALSE(parseLoginQuery("/login.cgi?user=admin&password=-00"));
}
