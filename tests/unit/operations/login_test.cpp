#include <gtest/gtest.h>

#include "operations/http_target.h"
#include "operations/login.h"
#include "tests/unit/operations/operations_fixture.h"

namespace tarrowind {
namespace {

using testing::Answer;
using testing::FakeHttpClient;

// The bytes of an encoded password: "-xx" groups of lower-case hex, nothing else.
std::vector<unsigned> EncodedBytes(const std::string& encoded)
{
    std::vector<unsigned> bytes;
    EXPECT_EQ(encoded.size() % 3, 0u) << encoded;
    for (std::size_t i = 0; i + 2 < encoded.size(); i += 3) {
        EXPECT_EQ(encoded[i], '-') << encoded;
        const std::string hex = encoded.substr(i + 1, 2);
        EXPECT_EQ(hex.find_first_not_of("0123456789abcdef"), std::string::npos) << encoded;
        bytes.push_back(static_cast<unsigned>(std::stoul(hex, nullptr, 16)));
    }
    return bytes;
}

// Undoes the chain: each byte after the first is the one before XOR a character's low 8 bits.
std::vector<unsigned> DecodedUnits(const std::string& encoded)
{
    const auto bytes = EncodedBytes(encoded);
    std::vector<unsigned> units;
    for (std::size_t i = 1; i < bytes.size(); ++i) {
        units.push_back(bytes[i] ^ bytes[i - 1]);
    }
    return units;
}

TEST(EncodePassword, ChainsEveryUtf16UnitsLowByteAfterARandomFirstByte)
{
    EXPECT_EQ(EncodePassword(""), "");
    EXPECT_EQ(DecodedUnits(EncodePassword("Ab9&")), (std::vector<unsigned>{'A', 'b', '9', '&'}));
    // U+00E9 -> 0xE9; U+20AC -> 0xAC; U+1F600 is the pair D83D DE00 -> 0x3D, 0x00.
    EXPECT_EQ(DecodedUnits(EncodePassword("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80")),
              (std::vector<unsigned>{0xE9, 0xAC, 0x3D, 0x00}));
    EXPECT_EQ(EncodePassword("x").size(), 6u);
    // The first byte is random, so many runs reach the hex letters; every one must be lower case.
    for (int i = 0; i < 64; ++i) {
        EXPECT_EQ(EncodedBytes(EncodePassword("pw")).size(), 3u);
    }
}

struct LoginTest : ::testing::Test {
    FakeHttpClient http;
    DeviceRecord record;
    LoginTest()
    {
        record.ipText = "192.0.2.10";
        record.userName = "door admin&1";
        record.password = "pa ss";
    }
    testing::RecordedRequest Only() const
    {
        const auto requests = http.Requests();
        EXPECT_EQ(requests.size(), 1u);
        return requests.empty() ? testing::RecordedRequest{} : requests[0];
    }
};

TEST_F(LoginTest, CgiLoginEscapesTheUserSendsTheChainAndNoBasicCredentials)
{
    EXPECT_EQ(LoginByCgi(&record, http), kHttpSuccess);
    const auto r = Only().request;
    EXPECT_EQ(r.method, "GET");
    EXPECT_FALSE(r.basicAuth);
    EXPECT_EQ(r.host, "192.0.2.10");
    const std::string prefix = "/login.cgi?user=door%20admin%261&pswd=";
    ASSERT_EQ(r.path.substr(0, prefix.size()), prefix);
    EXPECT_EQ(DecodedUnits(r.path.substr(prefix.size())), (std::vector<unsigned>{'p', 'a', ' ', 's', 's'}));

    record.password.clear();
    http.handler = [](const HttpRequest&) { return Answer("<p>Login Fail</p>"); };
    EXPECT_EQ(LoginByCgi(&record, http), kHttpCredentialsRefused);
    EXPECT_EQ(http.Requests().back().request.path, "/login.cgi?user=door%20admin%261&pswd=");
    EXPECT_EQ(LoginByCgi(nullptr, http), kHttpNoTarget);
    EXPECT_EQ(http.Requests().size(), 2u);
}

TEST_F(LoginTest, PageLoginUsesPortAndSchemeOfTheRecordAndBasicCredentials)
{
    record.useHttps = 1;
    EXPECT_EQ(LoginByPage(&record, http), kHttpSuccess);
    record.useHttps = 0;
    EXPECT_EQ(LoginByPage(&record, http), kHttpSuccess);
    const auto requests = http.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].request.port, 443);
    EXPECT_TRUE(requests[0].request.https);
    EXPECT_EQ(requests[1].request.port, 80);
    EXPECT_FALSE(requests[1].request.https);
    for (const auto& r : requests) {
        EXPECT_EQ(r.request.method, "GET");
        EXPECT_EQ(r.request.path, "/Eng/Other.htm");
        EXPECT_TRUE(r.request.basicAuth);
        EXPECT_EQ(r.request.user, "door admin&1");
        EXPECT_EQ(r.request.password, "pa ss");
        EXPECT_FALSE(r.request.hasBody);
    }
}

TEST_F(LoginTest, PageLoginJudgesTheBodyTextNotTheStatus)
{
    struct Case {
        HttpResult answer;
        std::int32_t expected;
    };
    const Case cases[] = {
        {Answer("<h1>Access denied</h1>", 401), kHttpSuccess},
        {Answer("", 200), kHttpSuccess},
        {Answer("<title>Error</title> 401 Unauthorized <br>", 200), kHttpCredentialsRefused},
        {Answer("x 404 Not Found", 404), kHttpRefused},
        {Answer("401 unauthorized", 401), kHttpSuccess},  // the texts are case-sensitive
        {HttpResult{7, 0, {}}, 7},  // could not connect: the layer's own number
        {HttpResult{28, 0, "401 Unauthorized"}, 28},
    };
    for (const Case& c : cases) {
        http.handler = [&](const HttpRequest&) { return c.answer; };
        const std::int32_t result = LoginByPage(&record, http);
        EXPECT_EQ(result, c.expected) << c.answer.body;
        if (c.answer.code != 0) {
            EXPECT_NE(result, kHttpNoTarget);
            EXPECT_NE(result, kHttpRefused);
            EXPECT_NE(result, kHttpCredentialsRefused);
            EXPECT_NE(result, kHttpNoFirmwareData);
        }
    }
    const auto sent = http.Requests().size();
    EXPECT_EQ(LoginByPage(nullptr, http), kHttpNoTarget);
    EXPECT_EQ(http.Requests().size(), sent);
}

}  // namespace
}  // namespace tarrowind
