// A module's key from first contact on: learned, held to, a change refused before anything is sent and
// taken only by the user's (or the command line's) choice.
#include <gtest/gtest.h>

#include "operations/known_modules.h"
#include "tests/unit/operations/operations_fixture.h"

namespace tarrowind {
namespace {

using Statuses = std::vector<std::int32_t>;

KeyFingerprint Key(std::uint8_t fill)
{
    KeyFingerprint k{};
    k.fill(fill);
    return k;
}

struct ModuleTrustTest : testing::OperationsFixture {
    ModuleTrustTest()
    {
        ModulesAnswer(mac);
        // The layer's check as the real one makes it: a wrong key ends the request unanswered.
        http.handler = [this](const HttpRequest& q) {
            if (q.https && q.expectedKey && *q.expectedKey != moduleKey) {
                return HttpResult{HttpClient::kCertificateChanged, 0, {}, moduleKey};
            }
            if (q.method == "POST") {
                moduleKey = keyAfterRestart;
            }
            return HttpResult{0, 200, "<html>Other</html>", q.https ? std::optional(moduleKey) : std::nullopt};
        };
    }
    Statuses Run(DeviceRecord& r, std::int32_t action, std::int32_t status)
    {
        r.action = action;
        r.status = status;
        log.entries.clear();
        EXPECT_EQ(manager->QueueJob(&r), 1);
        RunWorkers();
        EXPECT_EQ(r.action, kActionNone);
        return log.Statuses();
    }
    std::vector<HttpRequest> Sent() const
    {
        std::vector<HttpRequest> out;
        for (const auto& q : http.Requests()) {
            out.push_back(q.request);
        }
        return out;
    }

    const std::string mac = "02:00:00:00:01:01";
    KeyFingerprint moduleKey = Key(1);
    KeyFingerprint keyAfterRestart = Key(1);
};

TEST_F(ModuleTrustTest, TheFirstKeyIsHeldToAndAChangeWaitsForTheUser)
{
    DeviceRecord r = WebModule();
    EXPECT_EQ(Run(r, kActionSetLogin, kStatusQueueLogin), (Statuses{kStatusLogin, kStatusLoginSuccessfully}));
    EXPECT_FALSE(Sent().back().expectedKey.has_value());
    ASSERT_TRUE(known.Find(mac).has_value());
    EXPECT_EQ(known.Find(mac)->key, Key(1));

    EXPECT_EQ(Run(r, kActionReboot, kStatusQueueReboot).back(), kStatusLoginSuccessfully);
    EXPECT_EQ(Sent().back().expectedKey, Key(1));

    moduleKey = Key(2);  // an impostor at the module's address, or a module with a new key
    const std::size_t before = Sent().size();
    EXPECT_EQ(Run(r, kActionReboot, kStatusQueueReboot), (Statuses{kStatusReboot, kStatusCertificateChanged}));
    EXPECT_EQ(Sent().size(), before + 1);  // refused in the handshake, not sent again
    EXPECT_EQ(known.Find(mac)->key, Key(1));
    EXPECT_EQ(known.Refused(mac), std::optional<std::optional<KeyFingerprint>>(Key(2)));

    EXPECT_TRUE(known.TakeRefused(mac));
    r.status = kStatusNone;
    EXPECT_EQ(Run(r, kActionSetLogin, kStatusQueueLogin).back(), kStatusLoginSuccessfully);
    EXPECT_EQ(Sent().back().expectedKey, Key(2));
    EXPECT_FALSE(known.Refused(mac).has_value());
}

TEST_F(ModuleTrustTest, PlainHttpWhereHttpsWasMetIsRefusedUnsent)
{
    DeviceRecord r = WebModule();
    EXPECT_EQ(Run(r, kActionSetLogin, kStatusQueueLogin).back(), kStatusLoginSuccessfully);
    r.useHttps = 0;  // the reply now says plain HTTP
    const std::size_t before = Sent().size();
    EXPECT_EQ(Run(r, kActionSetLogin, kStatusQueueLogin).back(), kStatusCertificateChanged);
    EXPECT_EQ(Sent().size(), before);
    EXPECT_EQ(known.Refused(mac), std::optional<std::optional<KeyFingerprint>>(std::in_place, std::nullopt));
    EXPECT_TRUE(known.Find(mac)->https);
}

TEST_F(ModuleTrustTest, AnAllowedChangeIsTakenButTheLoginAfterARestartNeverTakesOne)
{
    DeviceRecord r = WebModule();
    EXPECT_EQ(Run(r, kActionSetLogin, kStatusQueueLogin).back(), kStatusLoginSuccessfully);

    std::vector<std::string> told;
    known.onReplaced = [&](const std::string& m, const std::optional<KnownModule>& was, const KnownModule& now) {
        told.push_back(m);
        EXPECT_EQ(was->key, Key(1));
        EXPECT_EQ(now.key, Key(2));
    };
    known.AllowChange(mac);
    moduleKey = Key(2);
    keyAfterRestart = Key(3);  // the factory default makes a new key
    EXPECT_EQ(Run(r, kActionDefault, kStatusQueueSetDefault),
              (Statuses{kStatusSetDefault, kStatusWaitForLogin, kStatusQueueLogin, kStatusLogin, kStatusCertificateChanged}));
    EXPECT_EQ(told, std::vector<std::string>{mac});
    EXPECT_EQ(known.Find(mac)->key, Key(2));
    EXPECT_EQ(known.Refused(mac), std::optional<std::optional<KeyFingerprint>>(Key(3)));
    EXPECT_FALSE(known.ChangeAllowed(mac));
}

TEST_F(ModuleTrustTest, AFirmwareUploadRefusedForAChangedKeySaysSo)
{
    testing::TempDir dir;
    DeviceRecord r = WebModule();
    EXPECT_EQ(Run(r, kActionSetLogin, kStatusQueueLogin).back(), kStatusLoginSuccessfully);
    moduleKey = Key(2);
    r.firmwareFile = dir.Write("a.bin", "image");
    const std::size_t before = Sent().size();
    EXPECT_EQ(Run(r, kActionFirmwareUpdate, kStatusQueueFirmwareUpdate),
              (Statuses{kStatusFirmwareUploading, kStatusCertificateChanged}));
    EXPECT_EQ(Sent().size(), before + 1);
}

}  // namespace
}  // namespace tarrowind
