#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tarrowind {

// A neighbour entry this program made, and which process made it where.
struct MadeNeighbourEntry {
    std::uint32_t interfaceIndex = 0;
    std::uint32_t address = 0;  // network order
    std::array<std::uint8_t, 6> hardwareAddress{};
    std::uint64_t process = 0;
    std::uint64_t network = 0;  // the network namespace the table belongs to
    bool operator==(const MadeNeighbourEntry&) const = default;
};

// Where the program notes the neighbour entries it makes before it makes them, so that a later run can
// remove those that a killed run left behind and tell them apart from the user's own. Replaceable for
// tests.
class NeighbourRegistry {
public:
    virtual ~NeighbourRegistry() = default;
    // Notes an entry this process is about to make (replacing its note for the same interface and
    // address); false when it could not be noted, and then the entry must not be made.
    virtual bool Note(std::uint32_t interfaceIndex, std::uint32_t address,
                      const std::array<std::uint8_t, 6>& hardwareAddress) = 0;
    // Forgets this process's note for the entry.
    virtual void Forget(std::uint32_t interfaceIndex, std::uint32_t address) = 0;
    // Hands every note of this network's table whose process has ended to `remove`, then forgets it.
    virtual void SweepAbandoned(const std::function<void(const MadeNeighbourEntry&)>& remove) = 0;
};

// The registry as a file shared by the user's processes (the window and command-line runs at once):
// one line per entry, changed under a lock and replaced whole.
class NeighbourEntryFile final : public NeighbourRegistry {
public:
    struct Identity {
        std::uint64_t process = 0;
        std::uint64_t network = 0;
        std::function<bool(std::uint64_t process)> isRunning;
    };

    NeighbourEntryFile(std::string path, Identity identity) : m_path(std::move(path)), m_identity(std::move(identity))
    {
    }

    bool Note(std::uint32_t interfaceIndex, std::uint32_t address,
              const std::array<std::uint8_t, 6>& hardwareAddress) override;
    void Forget(std::uint32_t interfaceIndex, std::uint32_t address) override;
    void SweepAbandoned(const std::function<void(const MadeNeighbourEntry&)>& remove) override;

    // This process, its network, and the system's view of which processes run.
    static Identity ThisProcess();
    // The file "neighbour-entries" in the user's private runtime folder; null when there is no such
    // folder (the entries are then not made: the exchanges go on without them).
    static NeighbourRegistry* System();

private:
    std::string m_path;
    Identity m_identity;
};

// The file's text: "interface address mac process network" per line, decimal numbers, dotted address,
// colon-separated hexadecimal MAC. Lines that do not read as one entry are dropped.
std::vector<MadeNeighbourEntry> ParseNeighbourEntries(std::string_view text);
std::string FormatNeighbourEntries(const std::vector<MadeNeighbourEntry>& entries);

}  // namespace tarrowind
