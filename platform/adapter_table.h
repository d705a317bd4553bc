#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarrowind {

// One IPv4 address of an adapter, dotted.
struct AdapterAddress {
    std::string ipText;
    std::string maskText;
};

// One row of the system's adapter table, before the program picks what it uses.
struct SystemAdapter {
    std::uint32_t index = 0;
    std::string description;
    std::vector<AdapterAddress> addresses;  // in the order the system reports them
};

// The system's IPv4 adapter table; replaceable for tests.
class AdapterTable {
public:
    virtual ~AdapterTable() = default;
    // The adapters in the system's order, or nothing when the table cannot be read.
    virtual std::optional<std::vector<SystemAdapter>> Read() = 0;

    // The running system's table: IPv4 interfaces that are up and not loopback.
    static AdapterTable& System();
};

}  // namespace tarrowind
