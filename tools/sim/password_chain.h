#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace tarrowind::sim {

// The password a reader's login page receives: "-%.2x" groups, a random first byte, then each
// byte the one before it XOR the low 8 bits of one password character. Returns those low bytes,
// one per character (empty for an empty text or a lone first byte); nothing for any other shape
// (upper-case digits, a missing hyphen, a cut group) or more than kMaxChainCharacters.
inline constexpr std::size_t kMaxChainCharacters = 1024;
std::optional<std::vector<std::uint8_t>> decodePasswordChain(std::string_view chain);

// The low 8 bits of each UTF-16 code unit of a UTF-8 text, as the login chain carries them.
// Nothing for text that is not valid UTF-8.
std::optional<std::vector<std::uint8_t>> utf16LowBytes(std::string_view utf8);

// True when the chain decodes to exactly the password's characters.
bool chainMatchesPassword(std::string_view chain, std::string_view utf8Password);

} // namespace tarrowind::sim
