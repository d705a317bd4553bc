#include "frame_codec.h"
#include "reply_encoder.h"
#include "udp_responder.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace tarrowind::sim;
using namespace std::chrono_literals;

namespace {

const MacAddress kPcMac{0x02, 0xAA, 0, 0, 0, 1};
constexpr Ipv4Address kPcIp = 0xC0000201u; // 192.0.2.1

ModuleConfig module(ModuleKind kind, std::uint8_t last, Ipv4Address ip, const char* link = "sim0")
{
    ModuleConfig m;
    m.kind = kind;
    m.replyLength = kind == ModuleKind::BinaryDactyl ? 84 : kind == ModuleKind::LongReply ? 282 : 172;
    m.name = "M" + std::to_string(last);
    m.mac = {0x02, 0x11, 0x22, kind == ModuleKind::BinaryDactyl ? std::uint8_t{0xFD} : std::uint8_t{0}, 0x01, last};
    m.ip = ip;
    m.mask = 0xFFFFFF00u;
    m.version = "V1.2R3";
    m.model = "QT-DC410";
    m.link = link;
    return m;
}

struct Reply {
    std::string link;
    UdpFrame udp;
};

class Responder : public ::testing::Test {
protected:
    void load(std::vector<ModuleConfig> modules, std::uint32_t silenceMs = 1000)
    {
        SimConfig config;
        config.restartSilenceMs = silenceMs;
        config.modules = std::move(modules);
        table.load(config);
    }

    FrameOutcome send(const std::string& link, Ipv4Address dstIp, std::uint16_t port, Bytes payload,
                      MacAddress dstMac = kBroadcastMac, Clock::time_point at = {})
    {
        UdpFrame probe;
        probe.srcMac = kPcMac;
        probe.dstMac = dstMac;
        probe.srcIp = kPcIp;
        probe.dstIp = dstIp;
        probe.srcPort = 40001;
        probe.dstPort = port;
        probe.payload = std::move(payload);
        return responder.handleFrame(link, buildUdpFrame(probe), at == Clock::time_point{} ? now : at);
    }

    static std::vector<Reply> replies(const FrameOutcome& outcome)
    {
        std::vector<Reply> out;
        for (const auto& action : outcome.actions) {
            if (const auto* frame = std::get_if<SendFrame>(&action.action)) {
                const ParsedFrame parsed = parseFrame(frame->frame);
                if (const auto* udp = std::get_if<UdpFrame>(&parsed)) out.push_back({frame->link, *udp});
            }
        }
        return out;
    }

    static std::vector<std::uint8_t> lastBytes(const std::vector<Reply>& list)
    {
        std::vector<std::uint8_t> out;
        for (const auto& reply : list) out.push_back(reply.udp.srcMac[5]);
        std::sort(out.begin(), out.end());
        return out;
    }

    const Bytes info{'i', 'n', 'f', 'o'};
    const Bytes binaryProbe{0xFF, 0x04, 0x02, 0xFB};
    ModuleTable table;
    UdpResponder responder{table};
    Clock::time_point now = Clock::now();
};

Bytes settingsRequest(const MacAddress& mac, Ipv4Address newIp)
{
    Bytes b(49, 0);
    b[0] = 0xFF;
    b[1] = 0x31;
    b[2] = 0xE0;
    b[3] = mac[5];
    b[4] = mac[4];
    b[5] = mac[3];
    b[7] = mac[2];
    b[8] = mac[1];
    b[9] = mac[0];
    b[11] = 'N';
    b[12] = 'e';
    b[13] = 'w';
    for (int i = 0; i < 4; ++i) b[32 + i] = static_cast<std::uint8_t>(newIp >> (24 - 8 * i));
    b[36] = b[37] = b[38] = 255;
    b[44] = 0x77;
    b[45] = 0x08;
    b[48] = frameChecksum(std::span(b).first(48));
    return b;
}

} // namespace

TEST_F(Responder, LimitedBroadcastReachesEveryTextModuleOfTheLink)
{
    load({module(ModuleKind::Web, 1, 0xC000020Au), module(ModuleKind::Web, 2, 0xCB00710Au), // 203.0.113.10
          module(ModuleKind::BinaryDactyl, 3, 0xC0000214u), module(ModuleKind::LongReply, 4, 0xC633640Bu, "sim1")});
    const auto list = replies(send("sim0", kLimitedBroadcast, kTextProbePort, info));
    EXPECT_EQ(lastBytes(list), (std::vector<std::uint8_t>{1, 2}));
    for (const auto& reply : list) {
        EXPECT_EQ(reply.link, "sim0");
        EXPECT_EQ(reply.udp.dstMac, kPcMac);
        EXPECT_EQ(reply.udp.dstIp, kPcIp);
        EXPECT_EQ(reply.udp.dstPort, 40001);
        EXPECT_EQ(reply.udp.srcPort, kTextProbePort);
        EXPECT_EQ(reply.udp.payload.size(), 172u);
        EXPECT_EQ(reply.udp.srcIp, reply.udp.srcMac[5] == 1 ? 0xC000020Au : 0xCB00710Au);
    }
    EXPECT_EQ(lastBytes(replies(send("sim1", kLimitedBroadcast, kTextProbePort, info))),
              (std::vector<std::uint8_t>{4}));
}

TEST_F(Responder, DirectedBroadcastReachesOnlyThatSubnet)
{
    load({module(ModuleKind::Web, 1, 0xC000020Au), module(ModuleKind::Web, 2, 0xCB00710Au)});
    EXPECT_EQ(lastBytes(replies(send("sim0", 0xC00002FFu, kTextProbePort, info))), (std::vector<std::uint8_t>{1}));
    EXPECT_TRUE(replies(send("sim0", 0xC63364FFu, kTextProbePort, info)).empty());
}

TEST_F(Responder, UnicastNeedsTheModulesOwnMacAndAddress)
{
    load({module(ModuleKind::Web, 1, 0xC000020Au), module(ModuleKind::Web, 2, 0xC000020Bu)});
    const MacAddress first = module(ModuleKind::Web, 1, 0).mac;
    EXPECT_EQ(lastBytes(replies(send("sim0", 0xC000020Au, kTextProbePort, info, first))),
              (std::vector<std::uint8_t>{1}));
    EXPECT_TRUE(replies(send("sim0", 0xC000020Bu, kTextProbePort, info, first)).empty());
    EXPECT_TRUE(replies(send("sim0", 0xC000020Au, kTextProbePort, info, {0x02, 9, 9, 9, 9, 9})).empty());
}

TEST_F(Responder, EachProbeOnlyOnItsPortAndOnlyForItsKind)
{
    load({module(ModuleKind::Web, 1, 0xC000020Au), module(ModuleKind::BinaryDactyl, 3, 0xC0000214u)});
    const auto binary = replies(send("sim0", kLimitedBroadcast, kBinaryPort, binaryProbe));
    ASSERT_EQ(lastBytes(binary), (std::vector<std::uint8_t>{3}));
    EXPECT_EQ(binary[0].udp.srcPort, kBinaryPort);
    EXPECT_EQ(binary[0].udp.payload, encodeBinaryReply(module(ModuleKind::BinaryDactyl, 3, 0xC0000214u)));
    EXPECT_TRUE(replies(send("sim0", kLimitedBroadcast, kTextProbePort, binaryProbe)).empty());
    EXPECT_TRUE(replies(send("sim0", kLimitedBroadcast, kBinaryPort, info)).empty());
    EXPECT_TRUE(replies(send("sim0", kLimitedBroadcast, kTextProbePort, Bytes{'i', 'n', 'f'})).empty());
}

TEST_F(Responder, SilentAndDelayedModules)
{
    ModuleConfig silent = module(ModuleKind::Web, 1, 0xC000020Au);
    silent.faults.silent = true;
    ModuleConfig slow = module(ModuleKind::Web, 2, 0xC000020Bu);
    slow.faults.delayMs = 750;
    load({silent, slow});
    const FrameOutcome outcome = send("sim0", kLimitedBroadcast, kTextProbePort, info);
    ASSERT_EQ(outcome.actions.size(), 1u);
    EXPECT_EQ(outcome.actions[0].delay, 750ms);
    EXPECT_EQ(lastBytes(replies(outcome)), (std::vector<std::uint8_t>{2}));
}

TEST_F(Responder, SecondLinkHearsTheModuleToo)
{
    ModuleConfig both = module(ModuleKind::Web, 1, 0xC633640Au, "sim1");
    both.faults.alsoOnLink = "sim0";
    load({both});
    const auto onSim0 = replies(send("sim0", kLimitedBroadcast, kTextProbePort, info));
    ASSERT_EQ(onSim0.size(), 1u);
    EXPECT_EQ(onSim0[0].link, "sim0");
    EXPECT_EQ(replies(send("sim1", 0xC63364FFu, kTextProbePort, info)).size(), 1u);
}

TEST_F(Responder, SettingsRequestIsAcknowledgedThenTheReaderRestartsOnItsNewAddress)
{
    const ModuleConfig config = module(ModuleKind::BinaryDactyl, 3, 0xC0000214u);
    load({config, module(ModuleKind::BinaryDactyl, 4, 0xC0000215u)}, 1500);
    const FrameOutcome outcome =
        send("sim0", kLimitedBroadcast, kBinaryPort, settingsRequest(config.mac, 0xC000021Eu)); // -> .30
    const auto acks = replies(outcome);
    ASSERT_EQ(acks.size(), 1u);
    EXPECT_EQ(acks[0].udp.payload, encodeSettingsAck(config.mac));
    EXPECT_EQ(acks[0].udp.srcMac, config.mac);
    EXPECT_EQ(acks[0].udp.dstIp, kPcIp);
    EXPECT_EQ(acks[0].udp.dstPort, 40001);
    ASSERT_EQ(outcome.actions.size(), 2u);
    ASSERT_TRUE(std::holds_alternative<SendFrame>(outcome.actions[0].action)); // ack before the restart
    const auto* restart = std::get_if<StartRestart>(&outcome.actions[1].action);
    ASSERT_NE(restart, nullptr);
    EXPECT_EQ(restart->module->mac(), config.mac);

    restart->module->restart(now, restart->changes);
    EXPECT_TRUE(replies(send("sim0", kLimitedBroadcast, kBinaryPort, binaryProbe, kBroadcastMac, now + 1499ms))
                    .size() == 1u); // only the other reader while restarting
    const auto after = replies(send("sim0", kLimitedBroadcast, kBinaryPort, binaryProbe, kBroadcastMac, now + 1500ms));
    ASSERT_EQ(after.size(), 2u);
    const auto& moved = after[0].udp.srcMac == config.mac ? after[0] : after[1];
    EXPECT_EQ(moved.udp.srcIp, 0xC000021Eu);
    EXPECT_EQ(Bytes(moved.udp.payload.begin() + 5, moved.udp.payload.begin() + 9), (Bytes{192, 0, 2, 30}));
    EXPECT_EQ(moved.udp.payload[19], 'N');
}

TEST_F(Responder, SettingsRequestForAnotherReaderOrDamagedIsIgnored)
{
    const ModuleConfig config = module(ModuleKind::BinaryDactyl, 3, 0xC0000214u);
    load({config});
    MacAddress other = config.mac;
    other[0] = 0x06;
    EXPECT_TRUE(send("sim0", kLimitedBroadcast, kBinaryPort, settingsRequest(other, 1)).actions.empty());
    Bytes damaged = settingsRequest(config.mac, 1);
    damaged[20] ^= 0x40;
    EXPECT_TRUE(send("sim0", kLimitedBroadcast, kBinaryPort, damaged).actions.empty());
}

TEST_F(Responder, DelayedReaderAcknowledgesAndRestartsLate)
{
    ModuleConfig config = module(ModuleKind::BinaryDactyl, 3, 0xC0000214u);
    config.faults.delayMs = 300;
    load({config});
    const FrameOutcome outcome = send("sim0", kLimitedBroadcast, kBinaryPort, settingsRequest(config.mac, 1));
    ASSERT_EQ(outcome.actions.size(), 2u);
    EXPECT_EQ(outcome.actions[0].delay, 300ms);
    EXPECT_EQ(outcome.actions[1].delay, 300ms);
}

TEST_F(Responder, AnswersArpForItsAddressUnlessQuiet)
{
    // Only modules without a web server: the others have a kernel interface that answers ARP.
    ModuleConfig silent = module(ModuleKind::LongReply, 2, 0xC000020Bu);
    silent.faults.silent = true;
    load({module(ModuleKind::LongReply, 1, 0xC000020Au), silent});
    ArpFrame request;
    request.ethSrc = kPcMac;
    request.ethDst = kBroadcastMac;
    request.operation = kArpRequest;
    request.senderMac = kPcMac;
    request.senderIp = kPcIp;
    request.targetIp = 0xC000020Au;

    const FrameOutcome outcome = responder.handleFrame("sim0", buildArpFrame(request), now);
    ASSERT_EQ(outcome.actions.size(), 1u);
    const ParsedFrame parsed = parseFrame(std::get<SendFrame>(outcome.actions[0].action).frame);
    const auto* reply = std::get_if<ArpFrame>(&parsed);
    ASSERT_NE(reply, nullptr);
    EXPECT_EQ(reply->operation, kArpReply);
    EXPECT_EQ(reply->ethDst, kPcMac);
    EXPECT_EQ(reply->ethSrc, module(ModuleKind::LongReply, 1, 0).mac);
    EXPECT_EQ(reply->senderMac, module(ModuleKind::LongReply, 1, 0).mac);
    EXPECT_EQ(reply->senderIp, 0xC000020Au);
    EXPECT_EQ(reply->targetMac, kPcMac);
    EXPECT_EQ(reply->targetIp, kPcIp);

    request.targetIp = 0xC000020Bu;
    EXPECT_TRUE(responder.handleFrame("sim0", buildArpFrame(request), now).actions.empty());
    request.targetIp = 0xC000020Au;
    EXPECT_TRUE(responder.handleFrame("sim1", buildArpFrame(request), now).actions.empty());
    request.operation = kArpReply;
    EXPECT_TRUE(responder.handleFrame("sim0", buildArpFrame(request), now).actions.empty());
}

TEST_F(Responder, LeavesArpOfWebModulesToTheKernelOnTheirOwnLink)
{
    ModuleConfig web = module(ModuleKind::Web, 1, 0xC000020Au);
    web.faults.alsoOnLink = "sim1";
    ModuleConfig reader = module(ModuleKind::BinaryDactyl, 2, 0xC000020Bu);
    load({web, reader});
    ArpFrame request;
    request.ethSrc = kPcMac;
    request.ethDst = kBroadcastMac;
    request.operation = kArpRequest;
    request.senderMac = kPcMac;
    request.senderIp = kPcIp;
    for (Ipv4Address target : {0xC000020Au, 0xC000020Bu}) {
        request.targetIp = target;
        const FrameOutcome outcome = responder.handleFrame("sim0", buildArpFrame(request), now);
        EXPECT_TRUE(outcome.handled);
        EXPECT_TRUE(outcome.actions.empty()) << formatIpv4(target);
    }
    // On its second link there is no kernel interface, so the module answers there itself.
    request.targetIp = 0xC000020Au;
    EXPECT_EQ(responder.handleFrame("sim1", buildArpFrame(request), now).actions.size(), 1u);
}
