#include "basic_auth.h"

#include <gtest/gtest.h>

using namespace tarrowind::sim;

TEST(Base64, DecodesPaddedText)
{
    EXPECT_EQ(decodeBase64(""), "");
    EXPECT_EQ(decodeBase64("YQ=="), "a");
    EXPECT_EQ(decodeBase64("YWI="), "ab");
    EXPECT_EQ(decodeBase64("YWJj"), "abc");
    EXPECT_EQ(decodeBase64("YWRtaW46YWRtaW4="), "admin:admin");
    EXPECT_EQ(decodeBase64("+/+/"), "\xFB\xFF\xBF");
}

TEST(Base64, RefusesBadText)
{
    EXPECT_FALSE(decodeBase64("YQ"));
    EXPECT_FALSE(decodeBase64("YQ=a"));
    EXPECT_FALSE(decodeBase64("Y==="));
    EXPECT_FALSE(decodeBase64("YQ==YQ=="));
    EXPECT_FALSE(decodeBase64("YW!j"));
    EXPECT_FALSE(decodeBase64("YW j"));
}

TEST(BasicAuthorization, SplitsAtTheFirstColon)
{
    auto credentials = parseBasicAuthorization("Basic YWRtaW46YTpi"); // admin:a:b
    ASSERT_TRUE(credentials);
    EXPECT_EQ(credentials->user, "admin");
    EXPECT_EQ(credentials->password, "a:b");
    credentials = parseBasicAuthorization("basic   Ojo=  "); // "::"
    ASSERT_TRUE(credentials);
    EXPECT_EQ(credentials->user, "");
    EXPECT_EQ(credentials->password, ":");
}

TEST(BasicAuthorization, RefusesOtherSchemesAndShapes)
{
    EXPECT_FALSE(parseBasicAuthorization(""));
    EXPECT_FALSE(parseBasicAuthorization("Basic"));
    EXPECT_FALSE(parseBasicAuthorization("Basic "));               // decodes to "" without ':'
    EXPECT_FALSE(parseBasicAuthorization("BasicYWRtaW46YWRtaW4="));
    EXPECT_FALSE(parseBasicAuthorization("Digest YWRtaW46YWRtaW4="));
    EXPECT_FALSE(parseBasicAuthorization("Basic YWRtaW4="));        // "admin": no ':'
    EXPECT_FALSE(parseBasicAuthorization("Basic " + std::string(5000, 'A')));
}
