#include "module_interfaces.h"

#include <libmnl/libmnl.h>
#include <linux/fib_rules.h>
#include <linux/if_link.h>
#include <linux/rtnetlink.h>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>
#include <net/if.h>
#include <utility>
#include <vector>

#include "platform/ipv4_address.h"

namespace tarrowind::sim {

namespace {

// Marks this simulator's rules, so a later run can find and remove what a crashed one left.
constexpr std::uint32_t kRulePriority = 20000;
constexpr std::uint32_t kFirstTable = 10000;
// Interface group of the module interfaces: one request removes them all, and the kernel then
// unregisters them together instead of waiting once per interface.
constexpr std::uint32_t kLinkGroup = 0x7477;

std::string errnoText(int error)
{
    return std::strerror(error);
}

int prefixLength(Ipv4Address mask)
{
    int length = 0;
    while (length < 32 && (mask & (0x80000000u >> length))) ++length;
    return length;
}

void writeSysctl(const std::string& key, const char* value)
{
    const std::string path = "/proc/sys/net/" + key;
    std::ofstream file(path);
    if (!file) return; // IPv6 may be compiled out, for one
    file << value;
    if (!file.flush()) throw InterfaceError("cannot set " + path);
}

class Message {
public:
    Message(std::uint16_t type, std::uint16_t flags) : m_buffer(MNL_SOCKET_BUFFER_SIZE)
    {
        m_header = mnl_nlmsg_put_header(m_buffer.data());
        m_header->nlmsg_type = type;
        m_header->nlmsg_flags = NLM_F_REQUEST | NLM_F_ACK | flags;
    }
    template <typename T>
    T* body()
    {
        return static_cast<T*>(mnl_nlmsg_put_extra_header(m_header, sizeof(T)));
    }
    nlmsghdr* header() { return m_header; }

private:
    std::vector<char> m_buffer;
    nlmsghdr* m_header;
};

} // namespace

ModuleInterfaces::ModuleInterfaces(bool verbose) : m_verbose(verbose)
{
    m_socket = mnl_socket_open(NETLINK_ROUTE);
    if (!m_socket) throw InterfaceError("cannot open a netlink socket: " + errnoText(errno));
    if (mnl_socket_bind(m_socket, 0, MNL_SOCKET_AUTOPID) < 0) {
        const int error = errno;
        mnl_socket_close(m_socket);
        throw InterfaceError("cannot bind the netlink socket: " + errnoText(error));
    }
    m_portId = mnl_socket_get_portid(m_socket);
    m_sequence = static_cast<std::uint32_t>(time(nullptr));
}

ModuleInterfaces::~ModuleInterfaces()
{
    try {
        clear();
    } catch (const InterfaceError& error) {
        std::cerr << "tarrowind-sim: " << error.what() << '\n';
    }
    mnl_socket_close(m_socket);
}

int ModuleInterfaces::request(nlmsghdr* message, bool tolerateMissing)
{
    message->nlmsg_seq = ++m_sequence;
    if (mnl_socket_sendto(m_socket, message, message->nlmsg_len) < 0)
        throw InterfaceError("netlink send failed: " + errnoText(errno));
    std::vector<char> buffer(MNL_SOCKET_BUFFER_SIZE);
    for (;;) {
        const ssize_t got = mnl_socket_recvfrom(m_socket, buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR) continue;
            throw InterfaceError("netlink receive failed: " + errnoText(errno));
        }
        // The acknowledgement carries the request's error; 0 is success.
        const int result = mnl_cb_run(buffer.data(), static_cast<std::size_t>(got), m_sequence, m_portId, nullptr, nullptr);
        if (result == MNL_CB_OK) continue; // more to read (not expected for a single request)
        if (result == MNL_CB_STOP) return 0;
        const int error = errno;
        if (tolerateMissing && (error == ENOENT || error == ENODEV || error == EADDRNOTAVAIL || error == ESRCH))
            return error;
        return -error;
    }
}

void ModuleInterfaces::prepareNamespace()
{
    // Each interface answers ARP only for its own address, and asks with it: one MAC per module.
    writeSysctl("ipv4/conf/all/arp_ignore", "1");
    writeSysctl("ipv4/conf/all/arp_announce", "2");
    // Replies to a client on another subnet leave by the module's own rule, not a reverse route.
    writeSysctl("ipv4/conf/all/rp_filter", "0");
    writeSysctl("ipv4/conf/default/rp_filter", "0");
    writeSysctl("ipv6/conf/default/disable_ipv6", "1");
    for (int i = 0; i < 1000000; ++i) {
        Message message(RTM_DELRULE, 0);
        auto* rule = message.body<fib_rule_hdr>();
        rule->family = AF_INET;
        rule->action = FR_ACT_TO_TBL;
        mnl_attr_put_u32(message.header(), FRA_PRIORITY, kRulePriority);
        if (request(message.header(), true) != 0) break;
    }
}

void ModuleInterfaces::removeLink(const std::string& name)
{
    Message message(RTM_DELLINK, 0);
    auto* link = message.body<ifinfomsg>();
    link->ifi_family = AF_UNSPEC;
    mnl_attr_put_strz(message.header(), IFLA_IFNAME, name.c_str());
    const int result = request(message.header(), true);
    if (result < 0) throw InterfaceError("cannot remove interface " + name + ": " + errnoText(-result));
}

void ModuleInterfaces::build(const ModuleGeneration& generation)
{
    const auto started = Clock::now();
    clear();
    std::size_t number = 0;
    for (const auto& module : generation.all) {
        const std::size_t index = number++;
        if (module->scheme() == WebScheme::None) continue;
        const unsigned lower = if_nametoindex(module->link().c_str());
        if (lower == 0) throw InterfaceError("no link \"" + module->link() + "\" for a module's interface");

        Entry entry;
        entry.module = module;
        entry.name = "m" + std::to_string(index);
        entry.table = kFirstTable + static_cast<std::uint32_t>(index);

        for (int attempt = 0;; ++attempt) {
            Message message(RTM_NEWLINK, NLM_F_CREATE | NLM_F_EXCL);
            auto* link = message.body<ifinfomsg>();
            link->ifi_family = AF_UNSPEC;
            link->ifi_flags = IFF_UP;
            link->ifi_change = IFF_UP;
            nlmsghdr* header = message.header();
            mnl_attr_put_strz(header, IFLA_IFNAME, entry.name.c_str());
            mnl_attr_put_u32(header, IFLA_LINK, lower);
            mnl_attr_put_u32(header, IFLA_GROUP, kLinkGroup);
            mnl_attr_put(header, IFLA_ADDRESS, module->mac().size(), module->mac().data());
            nlattr* info = mnl_attr_nest_start(header, IFLA_LINKINFO);
            mnl_attr_put_strz(header, IFLA_INFO_KIND, "macvlan");
            nlattr* data = mnl_attr_nest_start(header, IFLA_INFO_DATA);
            mnl_attr_put_u32(header, IFLA_MACVLAN_MODE, MACVLAN_MODE_BRIDGE);
            mnl_attr_nest_end(header, data);
            mnl_attr_nest_end(header, info);
            const int result = request(header);
            if (result == -EEXIST && attempt == 0) {
                removeLink(entry.name); // left by a run that did not end cleanly
                continue;
            }
            if (result < 0)
                throw InterfaceError("cannot create macvlan " + entry.name + " on " + module->link() + " for " +
                                     formatMac(module->mac()) + ": " + errnoText(-result));
            break;
        }
        entry.index = static_cast<int>(if_nametoindex(entry.name.c_str()));
        if (entry.index == 0) throw InterfaceError("macvlan " + entry.name + " vanished after its creation");
        auto& stored = m_entries.emplace(module.get(), std::move(entry)).first->second;

        if (module->answering(Clock::now())) addAddress(stored, module->ip(), module->mask());
    }
    if (m_verbose)
        std::cerr << "made " << m_entries.size() << " module interfaces in "
                  << std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started).count() << " ms\n";
}

void ModuleInterfaces::addAddress(Entry& entry, Ipv4Address ip, Ipv4Address mask)
{
    {
        Message message(RTM_NEWADDR, NLM_F_CREATE | NLM_F_REPLACE);
        auto* address = message.body<ifaddrmsg>();
        address->ifa_family = AF_INET;
        address->ifa_prefixlen = static_cast<unsigned char>(prefixLength(mask));
        address->ifa_scope = RT_SCOPE_UNIVERSE;
        address->ifa_index = static_cast<unsigned>(entry.index);
        nlmsghdr* header = message.header();
        mnl_attr_put_u32(header, IFA_LOCAL, HostToNetworkOrder(ip));
        mnl_attr_put_u32(header, IFA_ADDRESS, HostToNetworkOrder(ip));
        if (prefixLength(mask) < 31) mnl_attr_put_u32(header, IFA_BROADCAST, HostToNetworkOrder(ip | ~mask));
        // No subnet route in the main table: many modules share a subnet, and the rule below
        // already picks each one's interface.
        mnl_attr_put_u32(header, IFA_FLAGS, IFA_F_NOPREFIXROUTE);
        const int result = request(header);
        if (result < 0)
            throw InterfaceError("cannot put " + formatIpv4(ip) + " on " + entry.name + ": " + errnoText(-result));
    }
    {
        // Everything the module sends leaves by its own interface, on-link: replies reach a client
        // on another subnet the way a module without a usable gateway would answer. The kernel
        // drops this route with the interface's last address, so it comes and goes with it.
        Message message(RTM_NEWROUTE, NLM_F_CREATE | NLM_F_REPLACE);
        auto* route = message.body<rtmsg>();
        route->rtm_family = AF_INET;
        route->rtm_table = RT_TABLE_UNSPEC;
        route->rtm_protocol = RTPROT_STATIC;
        route->rtm_scope = RT_SCOPE_LINK;
        route->rtm_type = RTN_UNICAST;
        mnl_attr_put_u32(message.header(), RTA_TABLE, entry.table);
        mnl_attr_put_u32(message.header(), RTA_OIF, static_cast<std::uint32_t>(entry.index));
        const int result = request(message.header());
        if (result < 0) throw InterfaceError("cannot add the route of " + entry.name + ": " + errnoText(-result));
    }
    {
        Message message(RTM_NEWRULE, NLM_F_CREATE);
        auto* rule = message.body<fib_rule_hdr>();
        rule->family = AF_INET;
        rule->src_len = 32;
        rule->action = FR_ACT_TO_TBL;
        mnl_attr_put_u32(message.header(), FRA_SRC, HostToNetworkOrder(ip));
        mnl_attr_put_u32(message.header(), FRA_PRIORITY, kRulePriority);
        mnl_attr_put_u32(message.header(), FRA_TABLE, entry.table);
        const int result = request(message.header());
        if (result < 0) throw InterfaceError("cannot add the rule of " + entry.name + ": " + errnoText(-result));
    }
    entry.address = std::make_pair(ip, mask);
}

void ModuleInterfaces::removeAddress(Entry& entry)
{
    if (!entry.address) return;
    const auto [ip, mask] = *entry.address;
    entry.address.reset();
    {
        Message message(RTM_DELRULE, 0);
        auto* rule = message.body<fib_rule_hdr>();
        rule->family = AF_INET;
        rule->src_len = 32;
        rule->action = FR_ACT_TO_TBL;
        mnl_attr_put_u32(message.header(), FRA_SRC, HostToNetworkOrder(ip));
        mnl_attr_put_u32(message.header(), FRA_PRIORITY, kRulePriority);
        mnl_attr_put_u32(message.header(), FRA_TABLE, entry.table);
        const int result = request(message.header(), true);
        if (result < 0) throw InterfaceError("cannot remove the rule of " + entry.name + ": " + errnoText(-result));
    }
    {
        Message message(RTM_DELADDR, 0);
        auto* address = message.body<ifaddrmsg>();
        address->ifa_family = AF_INET;
        address->ifa_prefixlen = static_cast<unsigned char>(prefixLength(mask));
        address->ifa_index = static_cast<unsigned>(entry.index);
        mnl_attr_put_u32(message.header(), IFA_LOCAL, HostToNetworkOrder(ip));
        const int result = request(message.header(), true);
        if (result < 0)
            throw InterfaceError("cannot take " + formatIpv4(ip) + " off " + entry.name + ": " + errnoText(-result));
    }
}

void ModuleInterfaces::silence(const ModulePtr& module)
{
    const auto found = m_entries.find(module.get());
    if (found == m_entries.end()) return; // no web server, or a generation that was replaced
    removeAddress(found->second);
}

void ModuleInterfaces::restore(const ModulePtr& module, Clock::time_point now)
{
    const auto found = m_entries.find(module.get());
    if (found == m_entries.end() || !module->answering(now)) return;
    Entry& entry = found->second;
    removeAddress(entry);
    addAddress(entry, module->ip(), module->mask());
}

void ModuleInterfaces::clear()
{
    auto entries = std::exchange(m_entries, {});
    for (auto& [key, entry] : entries) removeAddress(entry); // rules outlive their interfaces
    if (entries.empty()) return;
    Message message(RTM_DELLINK, 0);
    auto* link = message.body<ifinfomsg>();
    link->ifi_family = AF_UNSPEC;
    mnl_attr_put_u32(message.header(), IFLA_GROUP, kLinkGroup);
    const int result = request(message.header(), true);
    if (result < 0) throw InterfaceError("cannot remove the module interfaces: " + errnoText(-result));
}

} // namespace tarrowind::sim
