#include <gtest/gtest.h>

#include "discovery/dactyl_settings.h"
#include "operations/settings_change.h"
#include "tests/unit/operations/operations_fixture.h"

namespace tarrowind {
namespace {

using testing::Answer;
using testing::Ip;
using Statuses = std::vector<std::int32_t>;

const std::string kHidden = testing::SettingsPage();

struct SettingsChangeTest : testing::OperationsFixture {
    Statuses Run(DeviceRecord& r, const SettingsChange& change)
    {
        r.action = kActionSetting;
        r.status = kStatusQueueSetting;
        r.pendingPayload = MakePayload(change);
        log.entries.clear();
        EXPECT_EQ(manager->QueueJob(&r), 1);
        RunWorkers();
        EXPECT_EQ(manager->GetJobCount(), 0);
        EXPECT_EQ(r.pendingPayload, nullptr);
        return log.Statuses();
    }
};

TEST_F(SettingsChangeTest, WebModuleIsReadAndWrittenBackWithOnlyTheChangedFields)
{
    ModulesAnswer();
    http.handler = [](const HttpRequest& q) { return Answer(q.path == "/Eng/Hidden.htm" ? kHidden : "ok"); };
    DeviceRecord r = WebModule("192.0.2.10");
    SettingsChange change;
    change.ip = Ip(192, 0, 2, 77);
    change.gateway = Ip(192, 0, 2, 1);
    EXPECT_EQ(Run(r, change), (Statuses{kStatusSetting, kStatusWaitForLogin, kStatusQueueLogin, kStatusLogin,
                                        kStatusLoginSuccessfully}));
    EXPECT_EQ(r.ipText, "192.0.2.77");
    const auto sent = http.Requests();
    ASSERT_GE(sent.size(), 3u);
    EXPECT_EQ(sent[0].request.path, "/Eng/Hidden.htm");
    EXPECT_EQ(sent[0].request.host, "192.0.2.10");
    EXPECT_EQ(sent[1].request.host, "192.0.2.10");
    // The name, mask, DNS and port as read; the login stays, so none is posted.
    for (const char* part : {"MachName=Door&EnableDHCP=0&IpAddress=192.0.2.77&SubnetMask=255.255.255.0&"
                             "DefaultGateway=192.0.2.1&DNServer=192.0.2.53&",
                             "&MyName=me&", "&DevicePort=4001&LoginChange=0&Submit"}) {
        EXPECT_NE(sent[1].body.find(part), std::string::npos) << part << "\n" << sent[1].body;
    }
    EXPECT_EQ(sent[2].request.host, "192.0.2.77");
    EXPECT_EQ(sent[2].request.user, "admin");
    EXPECT_EQ(sent[2].request.password, "secret");
}

TEST_F(SettingsChangeTest, ReadOrWriteThatFailsKeepsTheOldAddress)
{
    for (const char* failing : {"/Eng/Hidden.htm", "/ConfigHidden"}) {
        http.handler = [failing](const HttpRequest& q) {
            return q.path == failing ? HttpResult{7, 0, {}} : Answer(kHidden);
        };
        DeviceRecord r = WebModule("192.0.2.10");
        SettingsChange change;
        change.ip = Ip(192, 0, 2, 77);
        const std::size_t before = http.Requests().size();
        EXPECT_EQ(Run(r, change), (Statuses{kStatusSetting, kStatusSettingFailed})) << failing;
        EXPECT_EQ(r.action, kActionNone);
        EXPECT_EQ(r.ipText, "192.0.2.10");
        EXPECT_EQ(r.ip, Ip(192, 0, 2, 10));
        EXPECT_EQ(http.Requests().size(), before + (failing == std::string("/ConfigHidden") ? 2 : 1));
    }
    // A refusal page is a failed read too: nothing is posted.
    http.handler = [](const HttpRequest&) { return Answer("401 Unauthorized"); };
    DeviceRecord r = WebModule("192.0.2.10");
    SettingsChange change;
    change.name = "New";
    const std::size_t before = http.Requests().size();
    EXPECT_EQ(Run(r, change), (Statuses{kStatusSetting, kStatusSettingFailed}));
    EXPECT_EQ(http.Requests().size(), before + 1);
}

TEST_F(SettingsChangeTest, IncompletePagePostsNothingAndSaysTheSettingsWereUnreadable)
{
    // A busy module, an empty answer, a page cut short: posting the form would clear what is missing.
    const std::string cut = testing::SettingsPage().substr(0, testing::SettingsPage().find("var va_3Des1"));
    for (const std::string& page : {std::string("<html>503 Service Unavailable</html>"), std::string(), cut}) {
        http.handler = [&](const HttpRequest&) { return Answer(page, 503); };
        DeviceRecord r = WebModule("192.0.2.10");
        SettingsChange change;
        change.name = "New";
        const std::size_t before = http.Requests().size();
        EXPECT_EQ(Run(r, change), (Statuses{kStatusSetting, kStatusSettingsUnreadable})) << page;
        EXPECT_EQ(r.action, kActionNone);
        const auto sent = http.Requests();
        ASSERT_EQ(sent.size(), before + 1);
        EXPECT_EQ(sent.back().request.method, "GET");
    }
}

TEST_F(SettingsChangeTest, ReaderWithoutARequestOfItsOwnIsSentNothing)
{
    // A web module's form, or no payload at all, is nothing a reader can take.
    for (const bool withForm : {false, true}) {
        DeviceRecord r = DactylReader();
        r.action = kActionSetting;
        r.status = kStatusQueueSetting;
        if (withForm) {
            r.pendingPayload = MakePayload(ModuleSettings{});
            EXPECT_EQ(manager->SendDactylSettings(&r), 0);
        }
        log.entries.clear();
        sockets.sent.clear();
        ASSERT_EQ(manager->QueueJob(&r), 1);
        RunWorkers();
        EXPECT_EQ(log.Statuses(), (Statuses{kStatusSetting, kStatusSettingFailed}));
        EXPECT_EQ(r.pendingPayload, nullptr);
        EXPECT_TRUE(sockets.sent.empty());
    }
    EXPECT_EQ(manager->SendDactylSettings(nullptr), 0);
}

TEST_F(SettingsChangeTest, ReaderGetsItsCurrentValuesWithTheChange)
{
    DeviceRecord r = DactylReader();
    std::vector<std::uint8_t> request;
    sockets.responder = [&](const testing::FakeUdpSockets::Sent& s) -> std::vector<testing::FakeUdpSockets::Answer> {
        if (s.data.size() != kDactylRequestLength) {
            return {};
        }
        request = s.data;
        std::vector<std::uint8_t> ack(12, 0);
        ack[0] = 0xFA, ack[9] = 0x02, ack[8] = 0x11, ack[7] = 0x22, ack[5] = 0xFD, ack[4] = 0x01, ack[3] = 0x02;
        return {{5, ack, Ip(192, 0, 2, 40)}};
    };
    SettingsChange change;
    change.ip = Ip(192, 0, 2, 41);
    change.dhcp = false;
    const Statuses shown = Run(r, change);
    ASSERT_GE(shown.size(), 2u);
    EXPECT_EQ(shown[1], kStatusWaitForLogin);
    const auto expected = MakeDactylSettingsRequest(r.macText, "Reader", false, 0xC0000229u, 0xFFFFFF00u, 0xC00002FEu);
    EXPECT_EQ(request, std::vector<std::uint8_t>(expected.begin(), expected.end()));

    // A routed reader is looked for where the request sent it: no broadcast reaches it there.
    DeviceRecord routed = DactylReader();
    routed.routed = true;
    sockets.sent.clear();
    Run(routed, change);
    EXPECT_EQ(routed.ipText, "192.0.2.41");
    bool probedThere = false;
    for (const auto& s : sockets.sent) {
        probedThere = probedThere || (s.address == Ip(192, 0, 2, 41) && s.port == CControllerManager::kBinaryProbePort &&
                                      s.data.size() == CControllerManager::kBinaryProbe.size());
    }
    EXPECT_TRUE(probedThere);

    // Without an acknowledgement the reader keeps what it had.
    sockets.responder = nullptr;
    DeviceRecord silent = DactylReader();
    EXPECT_EQ(Run(silent, change), (Statuses{kStatusSetting, kStatusSettingFailed}));
    EXPECT_EQ(silent.ipText, "192.0.2.40");
}

}  // namespace
}  // namespace tarrowind
