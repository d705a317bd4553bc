#include "operations/known_modules.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/private_file.h"
#include "tests/unit/operations/operations_fixture.h"

namespace tarrowind {
namespace {

KeyFingerprint Key(std::uint8_t fill)
{
    KeyFingerprint k{};
    k.fill(fill);
    return k;
}

TEST(KnownModulesFile, ReadsItsOwnLinesAndPassesOverAnythingElse)
{
    const std::string hex(64, 'a');
    const std::string text =
        "# comment\n"
        "02:00:00:00:01:01 1 " + hex + " 2026-12-10T05:00:23Z\r\n"
        "02-00-00-00-01-02 0 - 2026-12-10T05:00:24Z\n"
        "02:00:00:00:01:01 1 " + std::string(64, 'b') + " 2026-12-11T00:00:00Z\n"  // the first line stands
        "\t02:00:00:00:01:0a  1  " + std::string(64, 'C') + "  2026-12-10T05:00:25Z  \n"
        "02:00:00:00:01:03 1 - 2026-12-10T05:00:23Z\n"                  // HTTPS without a key
        "02:00:00:00:01:04 0 " + hex + " 2026-12-10T05:00:23Z\n"        // plain HTTP with one
        "02:00:00:00:01:05 1 " + hex.substr(1) + "g 2026-12-10T05:00:23Z\n"
        "02:00:00:00:01:06 1 " + hex + " 2026-12-10 05:00:23\n"
        "02:00:00:00:01:07 1 " + hex + " 2026-12-10T05:00:23Z extra\n"
        "02:00:00:00:01 1 " + hex + " 2026-12-10T05:00:23Z\n"
        "02:00:00:00:01:08 2 " + hex + " 2026-12-10T05:00:23Z";
    const KnownModuleMap modules = ParseKnownModules(text);
    ASSERT_EQ(modules.size(), 3u);
    EXPECT_EQ(modules.at("02:00:00:00:01:01"), (KnownModule{true, Key(0xAA), "2026-12-10T05:00:23Z"}));
    EXPECT_EQ(modules.at("02:00:00:00:01:02"), (KnownModule{false, {}, "2026-12-10T05:00:24Z"}));
    EXPECT_EQ(modules.at("02:00:00:00:01:0A").key, Key(0xCC));
    EXPECT_EQ(ParseKnownModules(FormatKnownModules(modules)), modules);
    EXPECT_EQ(MacKey({0x02, 0xab, 0, 0, 1, 0xff}), "02:AB:00:00:01:FF");
}

TEST(KnownModulesFile, TwoProgramsAtOnceLoseNoEntry)
{
    testing::TempDir dir;
    const std::string path = dir.path + "config/Tarrowind/known-modules";
    KnownModules window(path);
    KnownModules cli(path);
    auto learnMany = [](KnownModules& store, int first) {
        for (int i = first; i < first + 40; ++i) {
            store.Learn(MacKey({2, 0, 0, 0, static_cast<std::uint8_t>(i), 0}), true, Key(static_cast<std::uint8_t>(i)));
        }
    };
    std::thread a([&] { learnMany(window, 0); });
    std::thread b([&] { learnMany(cli, 40); });
    a.join();
    b.join();
    // A module the other program met first keeps the key it met it with.
    EXPECT_EQ(cli.Learn(MacKey({2, 0, 0, 0, 3, 0}), true, Key(0xEE)).key, Key(3));
    EXPECT_EQ(window.Find(MacKey({2, 0, 0, 0, 79, 0}))->key, Key(79));

    EXPECT_EQ(ParseKnownModules(ReadPrivateFile(path).value()).size(), 80u);

    // A key taken by one program replaces the other's, which sees it on its next look.
    window.NoteRefused(MacKey({2, 0, 0, 0, 5, 0}), Key(0x55));
    EXPECT_TRUE(window.TakeRefused(MacKey({2, 0, 0, 0, 5, 0})));
    EXPECT_FALSE(window.Refused(MacKey({2, 0, 0, 0, 5, 0})).has_value());
    EXPECT_EQ(cli.Find(MacKey({2, 0, 0, 0, 5, 0}))->key, Key(0x55));
}

TEST(KnownModulesFile, WorkersOfOneProgramShareOneStore)
{
    testing::TempDir dir;
    KnownModules known(dir.path + "known-modules");
    std::vector<std::thread> workers;
    for (int w = 0; w < 8; ++w) {
        workers.emplace_back([&known, w] {
            for (int i = 0; i < 25; ++i) {
                const std::string mac = MacKey({2, 0, 0, static_cast<std::uint8_t>(w), static_cast<std::uint8_t>(i), 0});
                EXPECT_FALSE(known.Find(mac).has_value());
                known.Learn(mac, true, Key(static_cast<std::uint8_t>(i)));
                known.NoteRefused(mac, Key(0xFF));
                EXPECT_EQ(known.Find(mac)->key, Key(static_cast<std::uint8_t>(i)));
                known.ClearRefused(mac);
            }
        });
    }
    for (std::thread& t : workers) {
        t.join();
    }
    EXPECT_EQ(ParseKnownModules(ReadPrivateFile(dir.path + "known-modules").value()).size(), 200u);
}

TEST(KnownModulesFile, LivesInTheUsersConfigurationFolder)
{
#ifdef _WIN32
    testing::SetEnvironment("APPDATA", "C:\\Users\\someone\\AppData\\Roaming");
    EXPECT_EQ(KnownModules::UserFilePath(), "C:\\Users\\someone\\AppData\\Roaming\\Tarrowind\\known-modules");
#else
    testing::SetEnvironment("XDG_CONFIG_HOME", "/tmp/xdg-test");
    EXPECT_EQ(KnownModules::UserFilePath(), "/tmp/xdg-test/Tarrowind/known-modules");
    testing::SetEnvironment("XDG_CONFIG_HOME", std::nullopt);
    testing::SetEnvironment("HOME", "/home/someone");
    EXPECT_EQ(KnownModules::UserFilePath(), "/home/someone/.config/Tarrowind/known-modules");
#endif
}

}  // namespace
}  // namespace tarrowind
