#include <gtest/gtest.h>

#include <cstdio>

#include "platform/sha256.h"
#include "tests/unit/operations/operations_fixture.h"

namespace tarrowind {
namespace {

std::string Hex(const std::optional<Sha256Digest>& digest)
{
    if (!digest) {
        return "none";
    }
    std::string text;
    for (const std::uint8_t b : *digest) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", b);
        text += pair;
    }
    return text;
}

TEST(Sha256, KnownVectorsWholeInPiecesAndAgainAfterFinish)
{
    const std::pair<std::string, const char*> vectors[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    Sha256 hash;
    for (const auto& [message, digest] : vectors) {
        hash.Update(message);
        EXPECT_EQ(Hex(hash.Finish()), digest);
        // In uneven pieces, with the same object: Finish starts over.
        for (std::size_t at = 0, n = 1; at < message.size(); at += n, n = n * 3 + 1) {
            hash.Update(std::string_view(message).substr(at, n));
        }
        EXPECT_EQ(Hex(hash.Finish()), digest);
    }
    testing::TempDir dir;
    EXPECT_EQ(Hex(Sha256OfFile(dir.Write("a.bin", std::string(1000000, 'a')))), std::get<1>(vectors[3]));
    EXPECT_EQ(Hex(Sha256OfFile(dir.Write("empty.bin", ""))), std::get<1>(vectors[0]));
    EXPECT_EQ(Sha256OfFile(dir.path + "missing.bin"), std::nullopt);
}

}  // namespace
}  // namespace tarrowind
