#include <gtest/gtest.h>

#include "commands/settings_plan.h"
#include "discovery/address_text.h"

namespace tarrowind {
namespace {

TEST(SettingsPlanRead, TakesWhatSpreadsheetsSave)
{
    struct Case {
        const char* what;
        std::string bytes;
    };
    const Case cases[] = {
        {"exported", "\xEF\xBB\xBFModel,Name,MAC,IP\r\nX,\"Door \"\"7\"\"\",02:00:00:00:00:0A,192.0.2.20\r\n"},
        {"semicolons, LF", "name;mac;ip;Other\nDoor \"7\";02:00:00:00:00:0A; 192.0.2.20 ;x\n"},
        {"tabs, no final line end", "NAME\tMac\tIP\nDoor \"7\"\t02:00:00:00:00:0A\t192.0.2.20"},
        {"blank lines, guard", "MAC,Name,IP\r\n\r\n02:00:00:00:00:0A,Door \"7\",'192.0.2.20\r\n,,\r\n"},
    };
    for (const Case& c : cases) {
        const SettingsPlan plan = ReadSettingsPlan(c.bytes);
        ASSERT_EQ(plan.error, PlanReadError::None) << c.what;
        ASSERT_EQ(plan.rows.size(), 1u) << c.what;
        EXPECT_EQ(plan.rows[0].mac, "02:00:00:00:00:0A") << c.what;
        EXPECT_EQ(plan.rows[0].name, "Door \"7\"") << c.what;
        EXPECT_EQ(plan.rows[0].ip, "192.0.2.20") << c.what;
        EXPECT_FALSE(plan.rows[0].mask) << c.what;
    }
    EXPECT_EQ(ReadSettingsPlan("MAC,IP\n\n02:00:00:00:00:0A,\n").rows.at(0).line, 3u);
    // A quoted name over two lines, with a quote in it: the next row is told by its own line.
    const SettingsPlan multiLine =
        ReadSettingsPlan("MAC,Name\n02:00:00:00:00:0A,\"two\n\"\"lines\"\"\" x\r\n02:00:00:00:00:0B,y\n");
    ASSERT_EQ(multiLine.rows.size(), 2u);
    EXPECT_EQ(multiLine.rows[0].name, "two\n\"lines\" x");
    EXPECT_EQ(multiLine.rows[1].line, 4u);
}

TEST(SettingsPlanRead, RefusesWhatIsNoPlan)
{
    const std::pair<std::string, PlanReadError> cases[] = {
        {"", PlanReadError::NoHeader},
        {"\xEF\xBB\xBF\r\n", PlanReadError::NoHeader},
        {"Name,IP\nDoor,192.0.2.1\n", PlanReadError::NoMacColumn},
        {"MAC,Model\n02:00:00:00:00:0A,X\n", PlanReadError::NoValueColumn},
        {"MAC,Name\n02:00:00:00:00:0A,\"Door\n", PlanReadError::NotText},
        {"MAC,Name\n02:00:00:00:00:0A,Caf\xE9\n", PlanReadError::NotText},
        {std::string(kMaxPlanBytes + 1, ' '), PlanReadError::TooLarge},
    };
    for (const auto& [bytes, error] : cases) {
        EXPECT_EQ(ReadSettingsPlan(bytes).error, error) << bytes.substr(0, 40);
        EXPECT_FALSE(DescribePlanReadError(error).empty());
    }
    std::string many = "MAC,IP\n";
    for (std::size_t i = 0; i <= kMaxPlanRows; ++i) {
        many += "02:00:00:00:00:0A,\n";
    }
    EXPECT_EQ(ReadSettingsPlan(many).error, PlanReadError::TooManyRows);
    many.resize(many.size() - std::string("02:00:00:00:00:0A,\n").size());
    EXPECT_EQ(ReadSettingsPlan(many).rows.size(), kMaxPlanRows);
}

struct SettingsPlanMatch : ::testing::Test {
    std::vector<DeviceRecord> rows;
    SettingsPlanMatch()
    {
        rows.reserve(8);
        for (int i = 0; i < 6; ++i) {
            DeviceRecord r;
            r.macText = "02:00:00:00:00:0" + std::to_string(i);
            r.ipText = "192.0.2." + std::to_string(10 + i);
            r.ip = ParseIpText(r.ipText);
            r.maskText = "255.255.255.0";
            r.gatewayText = "192.0.2.254";
            r.name = "M" + std::to_string(i);
            r.model = "QT-DC410";
            r.status = kStatusLoginSuccessfully;
            rows.push_back(r);
        }
    }
    std::vector<DeviceRecord*> Listed()
    {
        std::vector<DeviceRecord*> out;
        for (DeviceRecord& r : rows) {
            out.push_back(&r);
        }
        return out;
    }
    PlanMatch Match(const std::string& csv)
    {
        const SettingsPlan plan = ReadSettingsPlan(csv);
        EXPECT_EQ(plan.error, PlanReadError::None);
        return MatchSettingsPlan(plan, Listed());
    }
    static std::vector<std::pair<std::size_t, PlanProblemKind>> Kinds(const PlanMatch& m)
    {
        std::vector<std::pair<std::size_t, PlanProblemKind>> out;
        for (const PlanProblem& p : m.problems) {
            out.emplace_back(p.line, p.kind);
            EXPECT_EQ(DescribePlanProblem(p).rfind("line " + std::to_string(p.line) + ": ", 0), 0u);
        }
        return out;
    }
};

TEST_F(SettingsPlanMatch, ChangesOnlyWhatDiffersAndShowsOldAndNew)
{
    const PlanMatch m = Match("MAC,Name,IP,Mask,Gateway,DHCP\n"
                              "02-00-00-00-00-00,M0,192.0.2.10,255.255.255.0,192.0.2.254,off\n"  // all as it is
                              "020000000001,Gate,192.0.2.50,,,\n"
                              "02:00:00:00:00:02,,,255.255.0.0,192.0.9.1,Yes\n");
    EXPECT_TRUE(m.problems.empty());
    EXPECT_EQ(m.unchanged, 1u);
    ASSERT_EQ(m.changes.size(), 2u);
    const PlannedChange& gate = m.changes[0];
    EXPECT_EQ(gate.record, &rows[1]);
    EXPECT_EQ(gate.line, 3u);
    EXPECT_EQ(gate.change.name, "Gate");
    EXPECT_EQ(gate.change.ip, ParseIpText("192.0.2.50"));
    EXPECT_FALSE(gate.change.mask || gate.change.gateway || gate.change.dhcp);
    ASSERT_EQ(gate.fields.size(), 2u);
    EXPECT_EQ(gate.fields[1].field, "IP");
    EXPECT_EQ(gate.fields[1].oldText, "192.0.2.11");
    EXPECT_EQ(gate.fields[1].newText, "192.0.2.50");
    const PlannedChange& wide = m.changes[1];
    EXPECT_FALSE(wide.change.ip || wide.change.name);
    EXPECT_EQ(wide.change.mask, ParseIpText("255.255.0.0"));
    EXPECT_EQ(wide.change.dhcp, true);
    EXPECT_EQ(m.Changes().size(), 2u);
}

TEST_F(SettingsPlanMatch, ProblemRowsAreNamedAndLeftOut)
{
    rows[5].status = kStatusNone;
    const PlanMatch m = Match("MAC,IP,Mask,Gateway,DHCP\n"
                              ",192.0.2.60,,,\n"                     // 2: no MAC
                              "02:00:00:00:00:0G,192.0.2.60,,,\n"    // 3: bad MAC
                              "02:00:00:00:00:01,192.0.2.255,,,\n"   // 4: broadcast
                              "02:00:00:00:00:02,,255.0.255.0,,\n"   // 5: not a mask
                              "02:00:00:00:00:03,,,10.0.0.1,\n"      // 6: gateway off the subnet
                              "02:00:00:00:00:04,,,,maybe\n"         // 7: DHCP
                              "02:00:00:00:00:09,192.0.2.61,,,\n"    // 8: no such module
                              "02:00:00:00:00:05,192.0.2.62,,,\n"    // 9: not logged in
                              "02:00:00:00:00:00,192.0.2.70,,,\n"    // 10: MAC twice
                              "02:00:00:00:00:00,192.0.2.71,,,\n");  // 11
    using K = PlanProblemKind;
    EXPECT_EQ(Kinds(m), (std::vector<std::pair<std::size_t, K>>{{2, K::NoMac}, {3, K::BadValue}, {4, K::BadValue},
                                                                 {5, K::BadValue}, {6, K::BadValue}, {7, K::BadValue},
                                                                 {8, K::UnknownMac}, {9, K::NotOffered},
                                                                 {10, K::MacTwice}, {11, K::MacTwice}}));
    EXPECT_EQ(m.problems[8].otherLine, 11u);
    EXPECT_EQ(m.problems[9].otherLine, 10u);
    EXPECT_EQ(m.problems[3].field, "Mask");
    EXPECT_TRUE(m.changes.empty());
}

TEST_F(SettingsPlanMatch, NoAddressIsGivenTwiceNorTakenFromAnotherModule)
{
    const PlanMatch m = Match("MAC,IP\n"
                              "02:00:00:00:00:00,192.0.2.80\n"   // 2 and 3 give one address
                              "02:00:00:00:00:01,192.0.2.80\n"
                              "02:00:00:00:00:02,192.0.2.10\n"   // 4: module 0 keeps .10, its row refused
                              "02:00:00:00:00:03,192.0.2.12\n"   // 5: .12 is module 2's, though its row moves it
                              "02:00:00:00:00:04,192.0.2.15\n"   // 6: module 5 holds .15 until it moves
                              "02:00:00:00:00:05,192.0.2.90\n");
    using K = PlanProblemKind;
    EXPECT_EQ(Kinds(m), (std::vector<std::pair<std::size_t, K>>{{2, K::AddressTwice}, {3, K::AddressTwice},
                                                                 {4, K::AddressTaken}, {5, K::AddressTaken},
                                                                 {6, K::AddressTaken}}));
    EXPECT_EQ(m.problems[2].other, &rows[0]);
    EXPECT_EQ(m.problems[3].other, &rows[2]);
    EXPECT_EQ(m.problems[4].other, &rows[5]);
    ASSERT_EQ(m.changes.size(), 1u);
    EXPECT_EQ(m.changes[0].record, &rows[5]);

    const PlanMatch kept = Match("MAC,IP\n02:00:00:00:00:04,192.0.2.15\n");
    EXPECT_EQ(Kinds(kept), (std::vector<std::pair<std::size_t, K>>{{2, K::AddressTaken}}));
    EXPECT_EQ(kept.problems[0].other, &rows[5]);

    // Nor from one the plan moves away: the two would meet there while the queue runs both.
    const PlanMatch chain = Match("MAC,IP\n02:00:00:00:00:00,192.0.2.11\n02:00:00:00:00:01,192.0.2.99\n");
    EXPECT_EQ(Kinds(chain), (std::vector<std::pair<std::size_t, K>>{{2, K::AddressTaken}}));
    EXPECT_EQ(chain.changes.size(), 1u);
    const PlanMatch swap = Match("MAC,IP\n02:00:00:00:00:00,192.0.2.11\n02:00:00:00:00:01,192.0.2.10\n");
    EXPECT_EQ(Kinds(swap), (std::vector<std::pair<std::size_t, K>>{{2, K::AddressTaken}, {3, K::AddressTaken}}));
    EXPECT_TRUE(swap.changes.empty());
}

TEST_F(SettingsPlanMatch, WhatARowKeepsIsCheckedWithWhatItChanges)
{
    rows[4].dhcp = 1;
    rows[5].ip = rows[0].ip;  // two modules on one address
    const PlanMatch m = Match("MAC,IP,Mask,Gateway,DHCP\n"
                              "02:00:00:00:00:00,198.51.100.5,,,\n"      // 2: the kept gateway is on the old subnet
                              "02:00:00:00:00:01,,255.255.255.252,,\n"   // 3: the kept .11 is its /30's broadcast
                              "02:00:00:00:00:02,,255.255.0.0,,\n"       // 4: a wider subnet holds it all
                              "02:00:00:00:00:03,,,192.0.2.13,\n"        // 5: its own address as gateway (a bad value)
                              "02:00:00:00:00:04,192.0.2.200,,,\n"       // 6: DHCP on: in force later
                              "02:00:00:00:00:05,,,192.0.2.14,\n");      // 7: another module's address
    using K = PlanProblemKind;
    EXPECT_EQ(Kinds(m), (std::vector<std::pair<std::size_t, K>>{
                            {2, K::Unusable}, {3, K::Unusable}, {5, K::BadValue}, {7, K::Unusable}}));
    EXPECT_EQ(m.problems[0].field, "Gateway");
    EXPECT_EQ(m.problems[0].value, "192.0.2.254");
    EXPECT_EQ(m.problems[1].field, "IP");
    EXPECT_EQ(m.problems[1].value, "192.0.2.11");
    EXPECT_EQ(m.problems[3].rule, AddressRule::GatewayIsModule);
    ASSERT_EQ(m.changes.size(), 2u);
    EXPECT_EQ(m.changes[0].record, &rows[2]);
    EXPECT_EQ(m.changes[1].record, &rows[4]);

    // Modules sharing an address are changed only where static neighbour entries tell them apart.
    const SettingsPlan shared = ReadSettingsPlan("MAC,Gateway\n02:00:00:00:00:05,192.0.2.1\n");
    EXPECT_EQ(MatchSettingsPlan(shared, Listed()).changes.size(), 1u);
    EXPECT_EQ(Kinds(MatchSettingsPlan(shared, Listed(), false)),
              (std::vector<std::pair<std::size_t, K>>{{2, K::CannotTellApart}}));
}

}  // namespace
}  // namespace tarrowind
