#include "platform/neighbour_registry.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "platform/ipv4_address.h"
#include "platform/private_file.h"
#include "platform/process_environment.h"

namespace tarrowind {
namespace {

constexpr std::size_t kMaxEntries = 4096;  // far more than 32 workers make; a longer file is not ours
// The entries the file lists go with the system's restart, so a change need not wait for the disk.
constexpr Durability kEntriesDurability = Durability::kUntilRestart;

// The next space-separated word of `line` from `at`, which moves past it.
std::string_view Word(std::string_view line, std::size_t& at)
{
    while (at < line.size() && line[at] == ' ') {
        ++at;
    }
    const std::size_t start = at;
    while (at < line.size() && line[at] != ' ') {
        ++at;
    }
    return line.substr(start, at - start);
}

template <typename Number>
bool ReadNumber(std::string_view text, Number& value, int base = 10)
{
    if (text.empty()) {
        return false;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return error == std::errc() && end == text.data() + text.size();
}

// Splits `text` at `separator` into exactly `count` numbers of at most `digits` digits each.
template <std::size_t N>
bool ReadGroups(std::string_view text, char separator, int base, std::size_t digits, std::array<std::uint8_t, N>& out)
{
    std::size_t at = 0;
    for (std::size_t i = 0; i < N; ++i) {
        const std::size_t end = i + 1 < N ? text.find(separator, at) : text.size();
        if (end == std::string_view::npos) {
            return false;
        }
        const std::string_view group = text.substr(at, end - at);
        unsigned value = 0;
        if (group.size() > digits || !ReadNumber(group, value, base) || value > 255) {
            return false;
        }
        out[i] = static_cast<std::uint8_t>(value);
        at = end + 1;
    }
    return true;
}

bool ParseLine(std::string_view line, MadeNeighbourEntry& e)
{
    std::size_t at = 0;
    std::array<std::uint8_t, 4> address{};
    const bool read = ReadNumber(Word(line, at), e.interfaceIndex) && ReadGroups(Word(line, at), '.', 10, 3, address) &&
                      ReadGroups(Word(line, at), ':', 16, 2, e.hardwareAddress) &&
                      ReadNumber(Word(line, at), e.process) && ReadNumber(Word(line, at), e.network);
    e.address = Ipv4Address::FromOctets(address[0], address[1], address[2], address[3]).NetworkOrder();
    return read && Word(line, at).empty();
}

}  // namespace

std::vector<MadeNeighbourEntry> ParseNeighbourEntries(std::string_view text)
{
    std::vector<MadeNeighbourEntry> entries;
    std::size_t at = 0;
    while (at < text.size() && entries.size() < kMaxEntries) {
        std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        MadeNeighbourEntry e;
        if (ParseLine(text.substr(at, end - at), e)) {
            entries.push_back(e);
        }
        at = end + 1;
    }
    return entries;
}

std::string FormatNeighbourEntries(const std::vector<MadeNeighbourEntry>& entries)
{
    std::string text;
    for (const MadeNeighbourEntry& e : entries) {
        char line[160];
        const auto& m = e.hardwareAddress;
        std::snprintf(line, sizeof line, "%u %s %02x:%02x:%02x:%02x:%02x:%02x %llu %llu\n", e.interfaceIndex,
                      Ipv4Address::FromNetworkOrder(e.address).ToText().c_str(), m[0], m[1], m[2], m[3], m[4], m[5],
                      static_cast<unsigned long long>(e.process), static_cast<unsigned long long>(e.network));
        text += line;
    }
    return text;
}

bool NeighbourEntryFile::Note(std::uint32_t interfaceIndex, std::uint32_t address,
                              const std::array<std::uint8_t, 6>& hardwareAddress)
{
    const MadeNeighbourEntry made{interfaceIndex, address, hardwareAddress, m_identity.process, m_identity.network};
    return ChangeLockedFile(m_path, [&](const std::string& text) -> std::optional<std::string> {
        std::vector<MadeNeighbourEntry> entries = ParseNeighbourEntries(text);
        std::erase_if(entries, [&](const MadeNeighbourEntry& e) {
            return e.process == made.process && e.network == made.network && e.interfaceIndex == interfaceIndex &&
                   e.address == address;
        });
        if (entries.size() >= kMaxEntries) {
            return std::nullopt;
        }
        entries.push_back(made);
        return FormatNeighbourEntries(entries);
    }, kEntriesDurability);
}

void NeighbourEntryFile::Forget(std::uint32_t interfaceIndex, std::uint32_t address)
{
    ChangeLockedFile(m_path, [&](const std::string& text) -> std::optional<std::string> {
        std::vector<MadeNeighbourEntry> entries = ParseNeighbourEntries(text);
        std::erase_if(entries, [&](const MadeNeighbourEntry& e) {
            return e.process == m_identity.process && e.network == m_identity.network &&
                   e.interfaceIndex == interfaceIndex && e.address == address;
        });
        return FormatNeighbourEntries(entries);
    }, kEntriesDurability);
}

void NeighbourEntryFile::SweepAbandoned(const std::function<void(const MadeNeighbourEntry&)>& remove)
{
    ChangeLockedFile(m_path, [&](const std::string& text) -> std::optional<std::string> {
        std::vector<MadeNeighbourEntry> entries = ParseNeighbourEntries(text);
        // Only this network's table can be looked at; another network's notes wait for a run there.
        std::erase_if(entries, [&](const MadeNeighbourEntry& e) {
            if (e.network != m_identity.network || e.process == m_identity.process || m_identity.isRunning(e.process)) {
                return false;
            }
            remove(e);
            return true;
        });
        return FormatNeighbourEntries(entries);
    }, kEntriesDurability);
}

NeighbourEntryFile::Identity NeighbourEntryFile::ThisProcess()
{
    return Identity{CurrentProcessId(), NetworkNamespaceId(), &ProcessIsRunning};
}

NeighbourRegistry* NeighbourEntryFile::System()
{
    static NeighbourEntryFile* const file = []() -> NeighbourEntryFile* {
        const std::string folder = PrivateRuntimeDirectory();
        if (folder.empty()) {
            return nullptr;
        }
        static NeighbourEntryFile instance(folder + PathSeparator() + "neighbour-entries", ThisProcess());
        return &instance;
    }();
    return file;
}

}  // namespace tarrowind
