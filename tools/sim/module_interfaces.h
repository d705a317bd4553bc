#pragma once

#include "module_state.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

struct mnl_socket;
struct nlmsghdr;

namespace tarrowind::sim {

class InterfaceError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The kernel side of the modules with a web server: TCP needs real interfaces, so each such
// module gets a macvlan on its link with its own MAC and, while it answers, its own address. A
// routing rule per module sends its replies out of its own interface (also to a client on another
// subnet), and the namespace answers ARP only on the interface that holds the asked address.
class ModuleInterfaces {
public:
    explicit ModuleInterfaces(bool verbose = false);
    ~ModuleInterfaces(); // removes what it made
    ModuleInterfaces(const ModuleInterfaces&) = delete;
    ModuleInterfaces& operator=(const ModuleInterfaces&) = delete;

    // Sets the namespace's ARP and reverse-path behaviour and removes rules a crashed run left.
    void prepareNamespace();
    // Replaces every interface by one per web-serving module of the generation. Throws InterfaceError.
    void build(const ModuleGeneration& generation);
    // A restart began: the module's address goes away, so connections and ARP fail meanwhile.
    void silence(const ModulePtr& module);
    // The restart ended: the module's current address comes on, if it answers at all.
    void restore(const ModulePtr& module, Clock::time_point now);
    // Removes every interface and rule made.
    void clear();

    std::size_t size() const { return m_entries.size(); }

private:
    struct Entry {
        ModulePtr module;
        std::string name;
        int index = 0;
        std::uint32_t table = 0;
        std::optional<std::pair<Ipv4Address, Ipv4Address>> address; // ip, mask while on
    };

    void addAddress(Entry& entry, Ipv4Address ip, Ipv4Address mask);
    void removeAddress(Entry& entry);
    void removeLink(const std::string& name);
    int request(nlmsghdr* message, bool tolerateMissing = false);

    bool m_verbose;
    mnl_socket* m_socket = nullptr;
    std::uint32_t m_portId = 0;
    std::uint32_t m_sequence = 0;
    std::map<const ModuleState*, Entry> m_entries;
};

} // namespace tarrowind::sim
