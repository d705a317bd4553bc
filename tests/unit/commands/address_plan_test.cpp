#include <gtest/gtest.h>

#include "commands/address_plan.h"
#include "discovery/address_text.h"

namespace tarrowind {
namespace {

DeviceRecord Module(const std::string& ip, const std::string& mac, std::int32_t status = kStatusLoginSuccessfully)
{
    DeviceRecord r;
    r.ip = ParseIpText(ip);
    r.ipText = ip;
    r.macText = mac;
    r.maskText = "255.255.255.0";
    r.gatewayText = "192.0.2.254";
    r.model = "QT-DC410";
    r.status = status;
    return r;
}

struct AddressPlanTest : ::testing::Test {
    std::vector<DeviceRecord> rows;
    AddressPlanTest() { rows.reserve(16); }
    DeviceRecord& Add(DeviceRecord r)
    {
        rows.push_back(std::move(r));
        return rows.back();
    }
    std::vector<DeviceRecord*> Selected()
    {
        std::vector<DeviceRecord*> out;
        for (DeviceRecord& r : rows) {
            out.push_back(&r);
        }
        return out;
    }
    std::vector<const DeviceRecord*> Listed(const std::vector<const DeviceRecord*>& more = {})
    {
        std::vector<const DeviceRecord*> out(more);
        for (DeviceRecord& r : rows) {
            out.push_back(&r);
        }
        return out;
    }
};

TEST_F(AddressPlanTest, OfferedModulesGetConsecutiveAddressesInOrderAndInUseOnesStayAsTheyAre)
{
    DeviceRecord& a = Add(Module("192.0.2.10", "02:00:00:00:00:0A"));
    DeviceRecord& off = Add(Module("192.0.2.11", "02:00:00:00:00:0B", kStatusNone));
    DeviceRecord& b = Add(Module("192.0.2.12", "02:00:00:00:00:0C"));
    b.dhcp = 1;
    DeviceRecord& c = Add(Module("192.0.2.13", "02:00:00:00:00:0D"));
    const DeviceRecord other = Module("198.51.100.22", "02:00:00:00:00:0E");  // listed, not selected
    DeviceRecord& self = Add(Module("198.51.100.23", "02:00:00:00:00:0F"));

    const AddressPlan plan = PlanAddresses(Selected(), Listed({&other}), "198.51.100.20", "255.255.255.0", "198.51.100.1");
    ASSERT_EQ(plan.error, AddressPlanError::None);
    ASSERT_EQ(plan.rows.size(), 5u);
    EXPECT_EQ(plan.rows[0].record, &a);
    EXPECT_EQ(plan.rows[0].newIp, ParseIpText("198.51.100.20"));
    EXPECT_EQ(plan.rows[0].oldIp, a.ip);
    EXPECT_EQ(plan.rows[1].note, AddressNote::NotOffered);
    EXPECT_EQ(plan.rows[1].skip, SkipReason::NotEligible);
    EXPECT_EQ(plan.rows[1].newIp, 0u);
    EXPECT_EQ(plan.rows[2].newIp, ParseIpText("198.51.100.21"));
    EXPECT_EQ(plan.rows[3].note, AddressNote::InUse);
    EXPECT_EQ(plan.rows[3].usedBy, &other);
    EXPECT_EQ(plan.rows[3].newIp, ParseIpText("198.51.100.22"));
    EXPECT_EQ(plan.rows[4].note, AddressNote::Assigned);  // its own address again
    EXPECT_EQ(plan.rows[4].newIp, self.ip);

    const auto changes = plan.Changes();
    ASSERT_EQ(changes.size(), 3u);
    EXPECT_EQ(changes[0].first, &a);
    EXPECT_EQ(changes[0].second.ip, ParseIpText("198.51.100.20"));
    EXPECT_EQ(changes[0].second.mask, ParseIpText("255.255.255.0"));
    EXPECT_EQ(changes[0].second.gateway, ParseIpText("198.51.100.1"));
    EXPECT_FALSE(changes[0].second.dhcp);
    EXPECT_EQ(changes[1].second.dhcp, false);  // a fixed address needs the DHCP client off
    EXPECT_FALSE(changes[1].second.name);
    (void)off, (void)c;

    // Mask and gateway left empty: kept, and the modules' one mask sets the subnet.
    const AddressPlan kept = PlanAddresses({&a, &c}, Listed(), "192.0.2.100", "", "");
    ASSERT_EQ(kept.error, AddressPlanError::None);
    EXPECT_FALSE(kept.rows[0].change.mask);
    EXPECT_FALSE(kept.rows[0].change.gateway);
    EXPECT_EQ(kept.rows[1].newIp, ParseIpText("192.0.2.101"));
}

TEST_F(AddressPlanTest, BadInputIsRefusedWithItsReason)
{
    Add(Module("192.0.2.10", "02:00:00:00:00:0A"));
    Add(Module("192.0.2.11", "02:00:00:00:00:0B"));
    Add(Module("192.0.2.12", "02:00:00:00:00:0C"));
    struct Case {
        const char *start, *mask, *gateway;
        AddressPlanError error;
    };
    const Case cases[] = {
        {"192.0.2", "255.255.255.0", "", AddressPlanError::StartNotAddress},
        {"192.0.2.256", "255.255.255.0", "", AddressPlanError::StartNotAddress},
        {"192.0.2.1x", "255.255.255.0", "", AddressPlanError::StartNotAddress},
        {"10.1.1.1", "255.0.255.0", "", AddressPlanError::MaskNotMask},
        {"10.1.1.1", "255.255.255.254", "", AddressPlanError::MaskNotMask},
        {"10.1.1.1", "0.0.0.0", "", AddressPlanError::MaskNotMask},
        {"10.1.1.0", "255.255.255.0", "", AddressPlanError::StartNotHost},
        {"127.0.0.5", "255.0.0.0", "", AddressPlanError::StartNotHost},
        {"10.1.1.253", "255.255.255.0", "", AddressPlanError::PastSubnet},
        {"10.1.1.252", "255.255.255.0", "", AddressPlanError::None},
        {"10.1.1.5", "255.255.255.252", "", AddressPlanError::PastSubnet},
        {"10.1.1.20", "255.255.255.0", "10.1.2.1", AddressPlanError::GatewayNotOnSubnet},
        {"10.1.1.20", "255.255.255.0", "10.1.1.255", AddressPlanError::GatewayNotOnSubnet},
        {"10.1.1.20", "255.255.255.0", "10.1.1.22", AddressPlanError::GatewayAssigned},
        {"10.1.1.20", "255.255.255.0", "10.1.1.23", AddressPlanError::None},
        {"10.1.1.20", "255.255.255.0", "gw", AddressPlanError::GatewayNotAddress},
    };
    for (const Case& c : cases) {
        const AddressPlan plan = PlanAddresses(Selected(), Listed(), c.start, c.mask, c.gateway);
        EXPECT_EQ(plan.error, c.error) << c.start << " " << c.mask << " " << c.gateway;
        EXPECT_EQ(plan.rows.empty(), c.error != AddressPlanError::None);
        EXPECT_FALSE(DescribeAddressPlanError(c.error).empty());
    }
    rows[1].maskText = "255.255.0.0";
    EXPECT_EQ(PlanAddresses(Selected(), Listed(), "10.1.1.1", "", "").error, AddressPlanError::MasksDiffer);
    rows[1].status = kStatusNone;  // not offered: its mask does not count
    EXPECT_EQ(PlanAddresses(Selected(), Listed(), "10.1.1.1", "", "").error, AddressPlanError::None);
}

TEST_F(AddressPlanTest, AKeptGatewayIsCheckedAgainstEachNewAddress)
{
    // From .252 the third module would get .254, the gateway all three keep: its own address, and for the
    // others a module's.
    Add(Module("192.0.2.10", "02:00:00:00:00:0A"));
    Add(Module("192.0.2.11", "02:00:00:00:00:0B"));
    Add(Module("192.0.2.12", "02:00:00:00:00:0C"));
    const AddressPlan plan = PlanAddresses(Selected(), Listed(), "192.0.2.252", "", "");
    ASSERT_EQ(plan.error, AddressPlanError::None);
    EXPECT_EQ(plan.rows[0].note, AddressNote::Unusable);
    EXPECT_EQ(plan.rows[0].rule, AddressRule::GatewayIsModule);
    EXPECT_EQ(plan.rows[2].rule, AddressRule::GatewayIsAddress);
    EXPECT_TRUE(plan.Changes().empty());
    const AddressPlan below = PlanAddresses(Selected(), Listed(), "192.0.2.250", "", "");
    EXPECT_EQ(below.Changes().size(), 3u);

    // To another subnet with the old gateway kept: none can reach it; a module's address is no gateway.
    EXPECT_TRUE(PlanAddresses(Selected(), Listed(), "198.51.100.20", "", "").Changes().empty());
    EXPECT_EQ(PlanAddresses(Selected(), Listed(), "192.0.2.100", "", "192.0.2.11").error,
              AddressPlanError::GatewayIsModule);
}

TEST_F(AddressPlanTest, ModulesOnOneAddressMoveOneAfterAnotherOrNotAtAllWithoutNeighbourEntries)
{
    for (const char* mac : {"02:00:00:00:00:0A", "02:00:00:00:00:0B", "02:00:00:00:00:0C"}) {
        Add(Module("192.0.2.100", mac)).adapterIndex = 3;
    }
    DeviceRecord& reader = Add(Module("192.0.2.100", "02:00:00:00:00:0D"));
    reader.kind = ModuleKind::BinaryDactyl;
    const AddressPlan plan = PlanAddresses(Selected(), Listed(), "192.0.2.110", "", "");
    ASSERT_EQ(plan.error, AddressPlanError::None);
    ASSERT_EQ(plan.Changes().size(), 4u);
    for (const AddressPlanRow& row : plan.rows) {
        EXPECT_EQ(row.note, AddressNote::Assigned);
        EXPECT_EQ(row.sharing, 4);
    }
    EXPECT_EQ(plan.rows[3].newIp, ParseIpText("192.0.2.113"));

    // Without static entries nothing chooses which of them a request reaches: only the reader, reached
    // by broadcast with its MAC, is moved.
    const AddressPlan blind = PlanAddresses(Selected(), Listed(), "192.0.2.110", "", "", false);
    ASSERT_EQ(blind.Changes().size(), 1u);
    EXPECT_EQ(blind.Changes()[0].first, &reader);
    EXPECT_EQ(blind.rows[0].note, AddressNote::CannotTellApart);
    // Nor through a router or the limited broadcast, where no entry can be made.
    rows[0].adapterIndex = kBroadcastAdapterIndex;
    EXPECT_EQ(PlanAddresses(Selected(), Listed(), "192.0.2.110", "", "").rows[0].note, AddressNote::CannotTellApart);
}

}  // namespace
}  // namespace tarrowind
