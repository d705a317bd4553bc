#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tarrowind {

using Sha256Digest = std::array<std::uint8_t, 32>;

// SHA-256 of bytes given in pieces: the system's implementation (OpenSSL's EVP interface, or the Windows
// CNG provider).
class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void Update(std::string_view bytes);
    // The digest of everything given since the start or the last Finish, then starts over; nothing
    // when the system's implementation failed.
    std::optional<Sha256Digest> Finish();

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// The digest of a whole file (a UTF-8 path); nothing when it cannot be read to its end.
std::optional<Sha256Digest> Sha256OfFile(const std::string& path);

}  // namespace tarrowind
