#include "operations/percent_escape.h"

#include <gtest/gtest.h>

#include <string>

namespace tarrowind {
namespace {

TEST(PercentEscape, LoginQueryEscapesWhatWouldEndOrExtendTheValueInUpperCaseHex)
{
    const auto escaped = [](std::string_view v) { return PercentEscaped(v, kLoginQueryEscapes); };
    EXPECT_EQ(escaped("a b&c#d%e+f=g?h"), "a%20b%26c%23d%25e%2Bf%3Dg%3Fh");
    EXPECT_EQ(escaped(std::string("\x01\x1f\x7f\n", 4)), "%01%1F%7F%0A");
    EXPECT_EQ(escaped("\xC3\xA9"), "%C3%A9");
    EXPECT_EQ(escaped("Admin_1.-~/:@!"), "Admin_1.-~/:@!");
    EXPECT_EQ(escaped(""), "");
}

TEST(PercentEscape, ConfigurationFormEscapesFormAndAddressSyntaxInLowerCaseHex)
{
    const auto escaped = [](std::string_view v) { return PercentEscaped(v, kConfigurationFormEscapes); };
    EXPECT_EQ(escaped(" \"#$&+,;<=>?@[\\]^`{|}"), "%20%22%23%24%26%2b%2c%3b%3c%3d%3e%3f%40%5b%5c%5d%5e%60%7b%7c%7d");
    EXPECT_EQ(escaped("%'()*-./:~\x01\x7f\xC3\xA9"), "%'()*-./:~%01%7f%c3%a9");
    // However long, a text is escaped whole and never sent raw.
    EXPECT_EQ(escaped(std::string(600, ' ')).size(), 1800u);
    std::string out = "a=";
    AppendPercentEscaped(out, "p&w", kConfigurationFormEscapes);
    EXPECT_EQ(out, "a=p%26w");
}

}  // namespace
}  // namespace tarrowind
