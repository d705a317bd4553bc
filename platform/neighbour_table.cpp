#include "platform/neighbour_table.h"

#include <libmnl/libmnl.h>
#include <linux/neighbour.h>
#include <linux/rtnetlink.h>
#include <netinet/in.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <memory>
#include <vector>

namespace tarrowind {
namespace {

struct SocketCloser {
    void operator()(mnl_socket* s) const { mnl_socket_close(s); }
};
using NetlinkSocket = std::unique_ptr<mnl_socket, SocketCloser>;

NetlinkSocket OpenRoute()
{
    NetlinkSocket s(mnl_socket_open2(NETLINK_ROUTE, SOCK_CLOEXEC));
    if (s && mnl_socket_bind(s.get(), 0, MNL_SOCKET_AUTOPID) < 0) {
        s.reset();
    }
    return s;
}

nlmsghdr* StartNeighbourMessage(char* buffer, std::uint16_t type, std::uint16_t flags, std::uint32_t interfaceIndex,
                                std::uint32_t address, std::uint16_t state, std::uint32_t sequence)
{
    nlmsghdr* header = mnl_nlmsg_put_header(buffer);
    header->nlmsg_type = type;
    header->nlmsg_flags = static_cast<std::uint16_t>(NLM_F_REQUEST | flags);
    header->nlmsg_seq = sequence;
    auto* message = static_cast<ndmsg*>(mnl_nlmsg_put_extra_header(header, sizeof(ndmsg)));
    message->ndm_family = AF_INET;
    message->ndm_ifindex = static_cast<int>(interfaceIndex);
    message->ndm_state = state;
    mnl_attr_put(header, NDA_DST, sizeof address, &address);
    return header;
}

// Sends one request and reads until its acknowledgement or answer. `onAnswer` sees each answer message.
// Returns 0 on success or the error number the kernel gave.
template <typename OnAnswer>
int Exchange(mnl_socket* socket, nlmsghdr* request, OnAnswer onAnswer)
{
    if (mnl_socket_sendto(socket, request, request->nlmsg_len) < 0) {
        return errno != 0 ? errno : EIO;
    }
    const std::uint32_t portId = mnl_socket_get_portid(socket);
    std::vector<char> buffer(MNL_SOCKET_BUFFER_SIZE);
    for (;;) {
        const auto n = mnl_socket_recvfrom(socket, buffer.data(), buffer.size());
        if (n < 0) {
            return errno != 0 ? errno : EIO;
        }
        const int result = mnl_cb_run(
            buffer.data(), static_cast<std::size_t>(n), request->nlmsg_seq, portId,
            [](const nlmsghdr* message, void* data) {
                (*static_cast<OnAnswer*>(data))(message);
                return MNL_CB_OK;
            },
            &onAnswer);
        if (result == MNL_CB_ERROR) {
            return errno != 0 ? errno : EIO;
        }
        if (result == MNL_CB_STOP) {
            return 0;
        }
        // A plain answer without NLM_F_ACK ends after its one message.
        if (!(request->nlmsg_flags & NLM_F_ACK)) {
            return 0;
        }
    }
}

// Room for one neighbour request: header, ndmsg and two small attributes.
constexpr std::size_t kRequestSize = 256;

class RtnetlinkNeighbourTable final : public NeighbourTable {
public:
    NeighbourKind Lookup(std::uint32_t interfaceIndex, std::uint32_t address) override
    {
        return Find(interfaceIndex, address).kind;
    }

    NeighbourEntry Find(std::uint32_t interfaceIndex, std::uint32_t address) override
    {
        NetlinkSocket socket = OpenRoute();
        if (!socket) {
            return {};
        }
        alignas(nlmsghdr) char buffer[kRequestSize];
        nlmsghdr* request = StartNeighbourMessage(buffer, RTM_GETNEIGH, 0, interfaceIndex, address, 0, NextSequence());
        NeighbourEntry found;
        const int error = Exchange(socket.get(), request, [&](const nlmsghdr* message) {
            if (message->nlmsg_type != RTM_NEWNEIGH || mnl_nlmsg_get_payload_len(message) < sizeof(ndmsg)) {
                return;
            }
            const auto* entry = static_cast<const ndmsg*>(mnl_nlmsg_get_payload(message));
            if (entry->ndm_state & (NUD_PERMANENT | NUD_NOARP)) {
                found.kind = NeighbourKind::Permanent;
            } else {
                found.kind = NeighbourKind::Dynamic;
            }
            mnl_attr_parse(
                message, sizeof(ndmsg),
                [](const nlattr* attribute, void* data) {
                    if (mnl_attr_get_type(attribute) == NDA_LLADDR && mnl_attr_get_payload_len(attribute) == 6) {
                        auto& mac = *static_cast<std::optional<std::array<std::uint8_t, 6>>*>(data);
                        mac.emplace();
                        std::memcpy(mac->data(), mnl_attr_get_payload(attribute), 6);
                    }
                    return MNL_CB_OK;
                },
                &found.hardwareAddress);
        });
        return error == 0 ? found : NeighbourEntry{};
    }

    bool AddPermanent(std::uint32_t interfaceIndex, std::uint32_t address,
                      const std::array<std::uint8_t, 6>& hardwareAddress) override
    {
        return MakePermanent(interfaceIndex, address, hardwareAddress) == NeighbourChange::Made;
    }

    NeighbourChange MakePermanent(std::uint32_t interfaceIndex, std::uint32_t address,
                                  const std::array<std::uint8_t, 6>& hardwareAddress) override
    {
        NetlinkSocket socket = OpenRoute();
        if (!socket) {
            return NeighbourChange::Failed;
        }
        alignas(nlmsghdr) char buffer[kRequestSize];
        nlmsghdr* request = StartNeighbourMessage(buffer, RTM_NEWNEIGH, NLM_F_CREATE | NLM_F_REPLACE | NLM_F_ACK,
                                                  interfaceIndex, address, NUD_PERMANENT, NextSequence());
        mnl_attr_put(request, NDA_LLADDR, hardwareAddress.size(), hardwareAddress.data());
        const int error = Exchange(socket.get(), request, [](const nlmsghdr*) {});
        if (error == 0) {
            return NeighbourChange::Made;
        }
        // The kernel answers EPERM to a process without CAP_NET_ADMIN in the table's namespace.
        return error == EPERM || error == EACCES ? NeighbourChange::Refused : NeighbourChange::Failed;
    }

    bool Remove(std::uint32_t interfaceIndex, std::uint32_t address) override
    {
        NetlinkSocket socket = OpenRoute();
        if (!socket) {
            return false;
        }
        alignas(nlmsghdr) char buffer[kRequestSize];
        nlmsghdr* request =
            StartNeighbourMessage(buffer, RTM_DELNEIGH, NLM_F_ACK, interfaceIndex, address, 0, NextSequence());
        return Exchange(socket.get(), request, [](const nlmsghdr*) {}) == 0;
    }

private:
    static std::uint32_t NextSequence() { return static_cast<std::uint32_t>(std::time(nullptr)); }
};

}  // namespace

NeighbourTable& NeighbourTable::System()
{
    static RtnetlinkNeighbourTable table;
    return table;
}

}  // namespace tarrowind
