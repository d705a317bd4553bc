#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace tarrowind {

// Passwords live only as long as their use: every copy is overwritten when it goes, so that neither a
// core dump nor memory handed out again shows them.

// Overwrites `size` bytes in a way the compiler may not leave out.
void WipeBytes(void* data, std::size_t size);
// Overwrites the string's whole buffer (its capacity, not only its length: a shorter secret may sit in
// a buffer a longer one left) and empties it. Buffers the string gave up earlier when it grew are
// beyond reach: a secret is best built in a buffer reserved large enough at once.
void WipeString(std::string& text);

// Wipes a string when the scope ends.
class WipeOnExit {
public:
    explicit WipeOnExit(std::string& text) : m_text(text) {}
    ~WipeOnExit() { WipeString(m_text); }
    WipeOnExit(const WipeOnExit&) = delete;
    WipeOnExit& operator=(const WipeOnExit&) = delete;

private:
    std::string& m_text;
};

// Called where a password enters the process: from then on the process leaves no core dump (and is not
// open to a debugger of the same user). Nothing on systems without such a switch.
void KeepSecretsOutOfDumps();

// The value of an environment variable that holds a secret, taken out of the environment: the value
// is overwritten where the environment holds it and the variable is removed, so that no child process
// inherits it. Nothing when the variable is not set.
std::optional<std::string> TakeEnvironmentSecret(const std::string& name);

}  // namespace tarrowind
