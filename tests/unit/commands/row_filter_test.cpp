#include <gtest/gtest.h>

#include "commands/row_filter.h"

namespace tarrowind {
namespace {

TEST(RowFilterTest, FoldsTheScriptsWithCase)
{
    EXPECT_EQ(FoldCase("Door 3 WEST"), "door 3 west");
    EXPECT_EQ(FoldCase("ÉCOLE Ärzte Ÿ"), "école ärzte ÿ");
    EXPECT_EQ(FoldCase("ŁÓDŹ ĹŇ"), "łódź ĺň");
    EXPECT_EQ(FoldCase("ΣΟΦΊΑ λόγος"), "σοφία λόγοσ");  // final sigma folds with sigma
    EXPECT_EQ(FoldCase("ДВЕРЬ Ёлка"), "дверь ёлка");
    EXPECT_EQ(FoldCase("ＧＡＴＥ"), "ｇａｔｅ");
    // Scripts without case, and bytes that are no UTF-8, pass unchanged.
    EXPECT_EQ(FoldCase("باب 門"), "باب 門");
    EXPECT_EQ(FoldCase(std::string("A\xC3\x28Z\xFF", 5)), std::string("a\xC3\x28z\xFF", 5));
    EXPECT_EQ(FoldCase(std::string("\xE2\x82", 2)), std::string("\xE2\x82", 2));  // cut sequence
}

TEST(RowFilterTest, MatchesFoldedTextWithinOneTextOnly)
{
    const std::string row = RowFilter::Haystack({"Gate Outside", "QT-DC410", "02:00:00:00:03:01", "Login successfully"});
    EXPECT_TRUE(RowFilter("  gate OUT ").Matches(row));
    EXPECT_TRUE(RowFilter("dc4").Matches(row));
    EXPECT_TRUE(RowFilter("00:03").Matches(row));
    EXPECT_FALSE(RowFilter("failed").Matches(row));
    // The end of one text and the start of the next never make a match.
    EXPECT_FALSE(RowFilter("outsideqt").Matches(row));
    EXPECT_FALSE(RowFilter("outside\nqt").Matches(row));
    EXPECT_TRUE(RowFilter("   ").IsEmpty());
    EXPECT_TRUE(RowFilter("   ").Matches(row));
    EXPECT_TRUE(RowFilter("ДВЕРЬ").Matches(RowFilter::Haystack({"Дверь 2"})));
}

}  // namespace
}  // namespace tarrowind
