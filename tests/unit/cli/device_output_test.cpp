#include "tools/cli/device_output.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace tarrowind {
namespace {

DeviceRecord Sample()
{
    DeviceRecord r;
    r.kind = ModuleKind::BinaryDactyl;
    r.model = "QT-FP6611";
    r.version = "V1.2R3";
    r.name = "Gate\t1\n";
    r.macText = "02:11:22:FD:01:02";
    r.ipText = "192.0.2.40";
    r.maskText = "255.255.255.0";
    r.gatewayText = "192.0.2.254";
    r.adapterName = "Broadcast";
    r.adapterIndex = kBroadcastAdapterIndex;
    r.useHttps = 0;
    r.dhcp = 1;
    r.status = kStatusNone;
    return r;
}

TEST(DeviceOutput, JsonCarriesEveryKeyInOrder)
{
    const auto j = nlohmann::ordered_json::parse(DeviceJson(Sample()));
    std::vector<std::string> keys;
    for (const auto& [key, value] : j.items()) {
        keys.push_back(key);
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"kind", "model", "version", "name", "mac", "ip", "mask", "gateway",
                                              "adapter", "adapterIndex", "useHttps", "dhcp", "status",
                                              "addressConfirmed", "replyFrom", "latestVersion", "updateAvailable"}));
    EXPECT_EQ(j["kind"], "BinaryDactyl");
    EXPECT_EQ(j["name"], "Gate\t1\n");
    EXPECT_EQ(j["adapterIndex"], 4294967295u);
    EXPECT_EQ(j["dhcp"], 1);
    EXPECT_EQ(j["addressConfirmed"], true);
    EXPECT_EQ(j["replyFrom"], "");
    EXPECT_EQ(j["latestVersion"], "");
    EXPECT_TRUE(j["updateAvailable"].is_null()) << "unknown without a list";

    DeviceRecord r = Sample();
    r.firmwareStanding = FirmwareStanding::UpToDate;
    EXPECT_EQ(nlohmann::json::parse(DeviceJson(r))["updateAvailable"], false);
}

TEST(DeviceOutput, AnUnconfirmedReplyAndControlsInNamesAreShownForWhatTheyAre)
{
    DeviceRecord r = Sample();
    r.addressConfirmed = false;
    r.replyFrom = 0x420200C0;  // 192.0.2.66
    r.name = "Door\x1b]52;c;SGk=\x07\xc2\x9b\xe2\x80\xae";
    const std::string json = DeviceJson(r);
    for (const char c : json) {
        EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20 || c == 0x7f) << json;
    }
    EXPECT_EQ(json.find("\xc2\x9b"), std::string::npos);
    const auto j = nlohmann::ordered_json::parse(json);
    EXPECT_EQ(j["addressConfirmed"], false);
    EXPECT_EQ(j["replyFrom"], "192.0.2.66");
    EXPECT_EQ(j["name"], r.name) << "the same value, only escaped";

    const std::string line = DeviceLine(r);
    EXPECT_NE(line.find("Door\\x1b]52;c;SGk=\\x07\\u009b\\u202e\t"), std::string::npos) << line;
}

TEST(DeviceOutput, LineKeepsItsColumnsWhateverTheName)
{
    const std::string line = DeviceLine(Sample());
    EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 12);
    EXPECT_EQ(line.find('\n'), std::string::npos);
    EXPECT_EQ(line.substr(0, line.find('\t')), "BinaryDactyl");
}

}  // namespace
}  // namespace tarrowind
