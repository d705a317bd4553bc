#include "platform/private_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "tests/unit/fakes/test_environment.h"

namespace tarrowind {
namespace {

namespace fs = std::filesystem;

struct PrivateFileTest : ::testing::Test {
    fs::path folder = testing::MakeTempFolder("tarrowind-private-");
    ~PrivateFileTest() override { fs::remove_all(folder); }
};

TEST_F(PrivateFileTest, ChangesReplaceTheFileOwnerOnlyAndNoChangeWritesNothing)
{
    const std::string path = (folder / "made" / "below" / "state").string();
    int calls = 0;
    auto keep = [&](const std::string&) -> std::optional<std::string> {
        ++calls;
        return std::nullopt;
    };
    ASSERT_TRUE(ChangeLockedFile(path, keep));
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(fs::exists(path)) << "no change makes no file";

    ASSERT_TRUE(ChangeLockedFile(path, [](const std::string& text) { return text + "one\n"; }));
    ASSERT_TRUE(ChangeLockedFile(path, [](const std::string& text) { return text + "two\n"; }, Durability::kUntilRestart));
    EXPECT_EQ(ReadPrivateFile(path), "one\ntwo\n");
    EXPECT_EQ(ReadPrivateFile(path + ".missing"), std::nullopt);

    // The same text again, or no text, leaves the file itself in place.
    const auto stamp = fs::last_write_time(path);
    fs::last_write_time(path, stamp - std::chrono::hours(1));
    ASSERT_TRUE(ChangeLockedFile(path, [](const std::string& text) { return text; }));
    ASSERT_TRUE(ChangeLockedFile(path, keep));
    EXPECT_EQ(fs::last_write_time(path), stamp - std::chrono::hours(1));

    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder / "made" / "below")) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"state", "state.lock"})) << "no temporary file is left";
#ifndef _WIN32
    EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(fs::status(folder / "made").permissions(), fs::perms::owner_all);
    EXPECT_EQ(fs::status(folder / "made" / "below").permissions(), fs::perms::owner_all);
#endif
}

TEST_F(PrivateFileTest, AnOwnerOnlyFileReplacesTheOldOneWholeAndLeavesTheFolderAlone)
{
    const std::string path = (folder / "02-00-00-00-00-01.json").string();
#ifndef _WIN32
    fs::permissions(folder, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
    const mode_t umask = ::umask(0);  // a umask that would let everyone read
#endif
    ASSERT_TRUE(WriteOwnerOnlyFile(path, "first"));
    ASSERT_TRUE(WriteOwnerOnlyFile(path, "second"));
#ifndef _WIN32
    ::umask(umask);
    EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(fs::status(folder).permissions(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec)
        << "the user's folder keeps its rights";
#endif
    EXPECT_EQ(ReadPrivateFile(path), "second");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1) << "no temporary file";
    EXPECT_FALSE(WriteOwnerOnlyFile((folder / "missing" / "x.json").string(), "x"));
}

TEST_F(PrivateFileTest, ChangesOfManyAtOnceAreNoneLost)
{
    const std::string path = (folder / "counter").string();
    std::vector<std::thread> writers;
    for (int w = 0; w < 4; ++w) {
        writers.emplace_back([&path] {
            for (int i = 0; i < 50; ++i) {
                EXPECT_TRUE(ChangeLockedFile(path, [](const std::string& text) { return text + "x"; }));
            }
        });
    }
    for (std::thread& t : writers) {
        t.join();
    }
    EXPECT_EQ(ReadPrivateFile(path), std::string(200, 'x'));
}

#ifndef _WIN32
TEST_F(PrivateFileTest, FolderOfOursOthersMayEnterIsClosedAndALinkIsNotFollowed)
{
    // Another part of the program may have made the folder with the usual rights first.
    fs::create_directory(folder / "config");
    fs::permissions(folder / "config", fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                           fs::perms::others_read | fs::perms::others_exec);
    ASSERT_TRUE(ChangeLockedFile((folder / "config" / "state").string(), [](const std::string&) { return "a"; }));
    EXPECT_EQ(fs::status(folder / "config").permissions(), fs::perms::owner_all);

    // A link in the file's place is neither read through nor replaced: the change fails, both stay.
    const fs::path target = folder / "config" / "state";
    const fs::path link = folder / "config" / "linked";
    fs::create_symlink(target, link);
    bool called = false;
    EXPECT_FALSE(ChangeLockedFile(link.string(), [&](const std::string&) {
        called = true;
        return std::string("b");
    }));
    EXPECT_FALSE(called);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadPrivateFile(target.string()), "a");
}

TEST_F(PrivateFileTest, RuntimeFolderIsTheUsersAloneOrNone)
{
    const auto runtime = folder / "runtime";
    fs::create_directory(runtime);
    testing::SetEnvironment("XDG_RUNTIME_DIR", runtime.string());
    EXPECT_EQ(PrivateRuntimeDirectory(), (runtime / "tarrowind").string());
    EXPECT_EQ(fs::status(runtime / "tarrowind").permissions(), fs::perms::owner_all);

    // A link in its place is not used, nor the folder it leads to changed; a folder of ours others may
    // enter is closed to them.
    testing::SetEnvironment("XDG_RUNTIME_DIR", std::nullopt);
    testing::SetEnvironment("TMPDIR", folder.string());
    const auto fallback = folder / ("tarrowind-" + std::to_string(::geteuid()));
    fs::permissions(runtime, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
    fs::create_directory_symlink(runtime, fallback);
    EXPECT_EQ(PrivateRuntimeDirectory(), "");
    EXPECT_EQ(fs::status(runtime).permissions(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
    fs::remove(fallback);
    fs::create_directory(fallback);
    fs::permissions(fallback, fs::perms::owner_all | fs::perms::group_read);
    EXPECT_EQ(PrivateRuntimeDirectory(), fallback.string());
    EXPECT_EQ(fs::status(fallback).permissions(), fs::perms::owner_all);
    fs::remove(fallback);
    EXPECT_EQ(PrivateRuntimeDirectory(), fallback.string());
    testing::SetEnvironment("TMPDIR", std::nullopt);

    EXPECT_TRUE(ProcessIsRunning(CurrentProcessId()));
    EXPECT_FALSE(ProcessIsRunning(0));
}
#endif

}  // namespace
}  // namespace tarrowind
