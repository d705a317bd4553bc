#include "udp_responder.h"

#include "frame_codec.h"
#include "settings_request.h"

#include <sstream>

namespace tarrowind::sim {

namespace {

bool acceptsDatagram(const ModuleState& module, const UdpFrame& udp)
{
    if (udp.dstMac != kBroadcastMac && udp.dstMac != module.mac()) return false;
    const Ipv4Address ip = module.ip();
    const Ipv4Address directed = ip | ~module.mask();
    return udp.dstIp == kLimitedBroadcast || udp.dstIp == directed || udp.dstIp == ip;
}

SendFrame replyTo(const std::string& link, const UdpFrame& request, const ModuleConfig& module, Bytes payload)
{
    UdpFrame reply;
    reply.srcMac = module.mac;
    reply.srcIp = module.ip;
    reply.srcPort = request.dstPort;
    reply.dstPort = request.srcPort;
    if (request.srcIp == 0) {
        // A sender without an address can only be reached by broadcast.
        reply.dstMac = kBroadcastMac;
        reply.dstIp = kLimitedBroadcast;
    } else {
        reply.dstMac = request.srcMac;
        reply.dstIp = request.srcIp;
    }
    reply.payload = std::move(payload);
    return SendFrame{link, buildUdpFrame(reply)};
}

void handleUdp(const ModuleTable& table, const std::string& link, const UdpFrame& udp, Clock::time_point now,
               FrameOutcome& outcome)
{
    std::ostringstream log;
    log << link << " udp " << formatIpv4(udp.srcIp) << ':' << udp.srcPort << " > " << formatIpv4(udp.dstIp) << ':'
        << udp.dstPort << ' ' << udp.payload.size() << " bytes";

    const bool textProbe = udp.dstPort == kTextProbePort && isTextProbe(udp.payload);
    const bool binaryProbe = udp.dstPort == kBinaryPort && isBinaryProbe(udp.payload);
    const auto request = udp.dstPort == kBinaryPort ? decodeSettingsRequest(udp.payload) : std::nullopt;
    if (textProbe) log << " text probe";
    else if (binaryProbe) log << " binary probe";
    else if (request) log << " settings request for " << formatMac(request->mac);

    int answers = 0;
    if (textProbe || binaryProbe || request) {
        const auto generation = table.current();
        const auto found = generation->byLink.find(link);
        if (found != generation->byLink.end()) {
            for (const auto& module : found->second) {
                const bool binary = module->kind() == ModuleKind::BinaryDactyl;
                if ((textProbe && binary) || (!textProbe && !binary)) continue;
                if (request && request->mac != module->mac()) continue;
                if (!module->answering(now) || !acceptsDatagram(*module, udp)) continue;

                const ModuleConfig current = module->snapshot();
                const std::chrono::milliseconds delay(current.faults.delayMs);
                if (request) {
                    outcome.actions.push_back({delay, replyTo(link, udp, current, encodeSettingsAck(current.mac))});
                    RestartChanges changes;
                    changes.network = request->settings;
                    outcome.actions.push_back({delay, StartRestart{module, std::move(changes)}});
                } else {
                    outcome.actions.push_back({delay, replyTo(link, udp, current, encodeDiscoveryReply(current))});
                }
                ++answers;
            }
        }
    }
    log << ": " << answers << (answers == 1 ? " answer" : " answers");
    outcome.description = log.str();
}

void handleArp(const ModuleTable& table, const std::string& link, const ArpFrame& arp, Clock::time_point now,
               FrameOutcome& outcome)
{
    std::ostringstream log;
    log << link << " arp";
    if (arp.operation != kArpRequest) {
        log << " op " << arp.operation << " ignored";
        outcome.description = log.str();
        return;
    }
    log << " who-has " << formatIpv4(arp.targetIp) << " tell " << formatIpv4(arp.senderIp);
    int answers = 0;
    // An announcement of the sender's own address asks nobody.
    if (arp.senderIp != arp.targetIp) {
        const auto generation = table.current();
        const auto found = generation->byLink.find(link);
        if (found != generation->byLink.end()) {
            for (const auto& module : found->second) {
                // A module with a web server has a kernel interface on its own link that answers.
                if (module->scheme() != WebScheme::None && module->link() == link) continue;
                if (module->ip() != arp.targetIp || !module->answering(now)) continue;
                ArpFrame reply;
                reply.ethDst = arp.ethSrc;
                reply.ethSrc = module->mac();
                reply.operation = kArpReply;
                reply.senderMac = module->mac();
                reply.senderIp = arp.targetIp;
                reply.targetMac = arp.senderMac;
                reply.targetIp = arp.senderIp;
                outcome.actions.push_back({std::chrono::milliseconds(0), SendFrame{link, buildArpFrame(reply)}});
                log << (answers == 0 ? ": " : ", ") << formatMac(module->mac());
                ++answers;
            }
        }
    }
    if (answers == 0) log << ": no module";
    outcome.description = log.str();
}

} // namespace

FrameOutcome UdpResponder::handleFrame(const std::string& link, std::span<const std::uint8_t> frame,
                                       Clock::time_point now, bool checkUdpChecksum) const
{
    FrameOutcome outcome;
    const ParsedFrame parsed = parseFrame(frame, checkUdpChecksum);
    if (const auto* udp = std::get_if<UdpFrame>(&parsed)) {
        outcome.handled = true;
        handleUdp(m_table, link, *udp, now, outcome);
    } else if (const auto* arp = std::get_if<ArpFrame>(&parsed)) {
        outcome.handled = true;
        handleArp(m_table, link, *arp, now, outcome);
    }
    return outcome;
}

} // namespace tarrowind::sim
