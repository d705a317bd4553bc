#include "platform/secret_wipe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#if defined(__linux__)
#include <sys/prctl.h>
#endif

namespace tarrowind {
namespace {

TEST(SecretWipe, TheWholeBufferIsOverwrittenShortAndLong)
{
    for (const std::size_t length : {std::size_t{8}, std::size_t{200}}) {
        std::string secret(length, 'p');
        // A shorter secret in a buffer a longer one left: the bytes past its end are wiped too.
        secret.resize(length / 2);
        const char* buffer = secret.data();
        const std::size_t capacity = secret.capacity();
        WipeString(secret);
        EXPECT_TRUE(secret.empty());
        ASSERT_EQ(secret.data(), buffer) << "the buffer stays the string's, so it may be read";
        EXPECT_TRUE(std::all_of(buffer, buffer + capacity, [](char c) { return c == '\0'; })) << length;
    }
    {
        std::string scoped = "hunter2-hunter2-hunter2";
        const char* buffer = scoped.data();
        const std::size_t capacity = scoped.capacity();
        {
            const WipeOnExit wipe(scoped);
        }
        EXPECT_TRUE(std::all_of(buffer, buffer + capacity, [](char c) { return c == '\0'; }));
    }
}

TEST(SecretWipe, AnEnvironmentSecretIsTakenOutOfTheEnvironment)
{
#if defined(_WIN32)
    ASSERT_EQ(::_putenv("TARROWIND_TEST_SECRET=s3cret"), 0);
#else
    ASSERT_EQ(::setenv("TARROWIND_TEST_SECRET", "s3cret", 1), 0);
#endif
    EXPECT_EQ(TakeEnvironmentSecret("TARROWIND_TEST_SECRET"), std::optional<std::string>("s3cret"));
    EXPECT_EQ(std::getenv("TARROWIND_TEST_SECRET"), nullptr) << "no child process inherits it";
    EXPECT_EQ(TakeEnvironmentSecret("TARROWIND_TEST_SECRET"), std::nullopt);
}

#if defined(__linux__)
TEST(SecretWipe, AProcessHoldingAPasswordLeavesNoCoreDump)
{
    KeepSecretsOutOfDumps();
    EXPECT_EQ(::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0), 0);
}
#endif

}  // namespace
}  // namespace tarrowind
