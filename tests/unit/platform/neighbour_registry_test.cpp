#include "platform/neighbour_registry.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "tests/unit/fakes/test_environment.h"

namespace tarrowind {
namespace {

constexpr std::array<std::uint8_t, 6> kMac{0x02, 0, 0, 0, 0xab, 0x07};

struct NeighbourRegistryTest : ::testing::Test {
    std::filesystem::path folder = testing::MakeTempFolder("tarrowind-registry-");
    std::string path = (folder / "neighbour-entries").string();
    std::set<std::uint64_t> running{100, 200};
    ~NeighbourRegistryTest() override { std::filesystem::remove_all(folder); }

    NeighbourEntryFile Process(std::uint64_t pid, std::uint64_t network = 7)
    {
        return NeighbourEntryFile(path, {pid, network, [this](std::uint64_t p) { return running.count(p) != 0; }});
    }
    std::string Text() const
    {
        std::ifstream in(path);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
};

TEST_F(NeighbourRegistryTest, NotesOfEndedProcessesOfThisNetworkAreSweptOthersStay)
{
    NeighbourEntryFile window = Process(100);
    NeighbourEntryFile killed = Process(300);
    NeighbourEntryFile otherNetwork = Process(301, 8);
    ASSERT_TRUE(window.Note(2, 0x0A0200C0u, kMac));
    ASSERT_TRUE(killed.Note(2, 0x0B0200C0u, kMac));
    ASSERT_TRUE(killed.Note(2, 0x0C0200C0u, kMac));
    ASSERT_TRUE(killed.Note(2, 0x0C0200C0u, kMac));  // the same entry again: noted once
    ASSERT_TRUE(otherNetwork.Note(2, 0x0D0200C0u, kMac));
    EXPECT_EQ(ParseNeighbourEntries(Text()).size(), 4u);

    std::vector<MadeNeighbourEntry> swept;
    NeighbourEntryFile cli = Process(200);
    cli.SweepAbandoned([&](const MadeNeighbourEntry& e) { swept.push_back(e); });
    ASSERT_EQ(swept.size(), 2u);
    EXPECT_EQ(swept[0], (MadeNeighbourEntry{2, 0x0B0200C0u, kMac, 300, 7}));
    EXPECT_EQ(swept[1].address, 0x0C0200C0u);
    swept.clear();
    cli.SweepAbandoned([&](const MadeNeighbourEntry& e) { swept.push_back(e); });
    EXPECT_TRUE(swept.empty()) << "a swept note is forgotten";

    window.Forget(2, 0x0A0200C0u);
    killed.Forget(2, 0x0D0200C0u);  // not its note
    const auto left = ParseNeighbourEntries(Text());
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].process, 301u);
}

TEST_F(NeighbourRegistryTest, TextReadsBackAndLinesThatAreNoEntryAreDropped)
{
    const std::vector<MadeNeighbourEntry> entries{{4294967295u, 0xFFFFFFFFu, kMac, 18446744073709551615ull, 0},
                                                  {1, 0x0100007Fu, {}, 1, 4026531840ull}};
    EXPECT_EQ(ParseNeighbourEntries(FormatNeighbourEntries(entries)), entries);
    const std::string bad = "2 192.0.2.1 02:00:00:00:00:01 5\n"           // a field short
                            "2 192.0.2.256 02:00:00:00:00:01 5 7\n"       // not an address
                            "2 192.0.2.1 02:00:00:00:00:001 5 7\n"        // not a MAC
                            "2 192.0.2.1 02:00:00:00:00:01 5 7 8\n"       // a field more
                            "-2 192.0.2.1 02:00:00:00:00:01 5 7\n"        // negative
                            "2 192.0.2.1 02:00:00:00:00:01 5 7";          // the last line, without end
    const auto read = ParseNeighbourEntries(bad);
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].address, 0x010200C0u);
}

}  // namespace
}  // namespace tarrowind
