#include "discovery/reply_parser.h"

#include <cstdio>
#include <string_view>

#include "discovery/address_text.h"
#include "platform/ascii_case.h"
#include "platform/code_page.h"
#include "platform/ipv4_address.h"

namespace tarrowind {
namespace {

// Offsets of the text fields of one text-reply layout.
struct TextLayout {
    int name, nameWidth;
    int ip, ipWidth;
    int mac, mask, gateway, version, model;
};

constexpr TextLayout kShortLayout{0, 20, 20, 20, 40, 58, 78, 98, 118};    // 172 bytes
constexpr TextLayout kMediumLayout{0, 100, 100, 20, 120, 138, 158, 178, 198};  // 252 and 256 bytes
constexpr TextLayout kLongLayout{0, 100, 100, 50, 150, 168, 188, 208, 228};    // 282 bytes

constexpr int kMacWidth = 18;
constexpr int kAddressWidth = 20;
constexpr int kModelWidth = 30;

// The bytes of a fixed-width field up to its first NUL, at most `limit` of them.
std::string_view Bytes(const std::uint8_t* data, int offset, int limit)
{
    const auto* start = reinterpret_cast<const char*>(data + offset);
    std::size_t n = 0;
    while (n < static_cast<std::size_t>(limit) && start[n] != '\0') {
        ++n;
    }
    return {start, n};
}

// A text reply's field: at most width - 1 bytes, the last byte is the field's terminator.
std::string_view Field(const std::uint8_t* data, int offset, int width)
{
    return Bytes(data, offset, width - 1);
}

std::string Dotted(const std::uint8_t* b)
{
    return Ipv4Address::FromOctets(b[0], b[1], b[2], b[3]).ToText();
}

void ParseBinary(DeviceRecord& r, const std::uint8_t* d)
{
    r.kind = ModuleKind::BinaryDactyl;
    // Bytes 19 to 53: all 35 are the name when no NUL ends it sooner.
    std::string name = AnsiToUtf8(Bytes(d, 19, 35));
    name = name.substr(0, name.find(':'));
    r.name = name;
    r.ipText = Dotted(d + 5);
    char text[24];
    std::snprintf(text, sizeof text, "%.2X:%.2X:%.2X:%.2X:%.2X:%.2X", d[14], d[13], d[12], d[11], d[10], d[9]);
    r.macText = text;
    std::snprintf(text, sizeof text, "V%d.%dR%d", d[18], d[17], d[16]);
    r.version = text;
    r.maskText = Dotted(d + 54);
    r.gatewayText = Dotted(d + 58);
    switch (d[11]) {
    case 0xFD:
        r.model = "QT-FP6611";
        break;
    case 0xFE:
        r.model = "QT-FP6612";
        break;
    default:
        r.model = "Dactyl";
        break;
    }
    r.useHttps = 0;
    r.dhcp = d[3] != 0 ? 1 : 0;
}

void ParseText(DeviceRecord& r, const std::uint8_t* d, std::int32_t length)
{
    const TextLayout& l = length == 172 ? kShortLayout : length == 282 ? kLongLayout : kMediumLayout;
    r.kind = length == 282 ? ModuleKind::LongReply : ModuleKind::Web;
    r.name = SanitizeUtf8(Field(d, l.name, l.nameWidth));
    r.ipText = AnsiToUtf8(Field(d, l.ip, l.ipWidth));
    r.macText = UpperAscii(AnsiToUtf8(Field(d, l.mac, kMacWidth)));
    r.maskText = AnsiToUtf8(Field(d, l.mask, kAddressWidth));
    r.gatewayText = AnsiToUtf8(Field(d, l.gateway, kAddressWidth));
    r.version = AnsiToUtf8(Field(d, l.version, kAddressWidth));
    r.model = SanitizeUtf8(Field(d, l.model, kModelWidth));
    if (length == 252 || length == 256) {
        if (r.model.find("QT-FP") != std::string::npos) {
            r.kind = ModuleKind::WebDactyl;
        }
        // Listed, but no action is ever offered for these.
        if (r.model.find("QT-KS7730") != std::string::npos || r.model.find("RX5050") != std::string::npos) {
            r.status = kStatusNotSupported;
        }
    }
}

}  // namespace

std::uint8_t ReplyChecksum(const std::uint8_t* data, std::size_t count)
{
    std::uint8_t sum = 0;
    if (data == nullptr) {
        return 0;
    }
    for (std::size_t i = 0; i < count; ++i) {
        sum = static_cast<std::uint8_t>(sum - data[i]);
    }
    return sum;
}

int ParseReply(DeviceRecord& record, const std::uint8_t* data, std::int32_t length, std::uint32_t adapterIndex,
               const std::string& adapterName)
{
    if (data == nullptr) {
        return 0;
    }
    switch (length) {
    case kBinaryReplyLength:
        if (data[83] != ReplyChecksum(data, 83)) {
            return 0;
        }
        ParseBinary(record, data);
        break;
    case 172:
    case 252:
    case 256:
    case 282:
        ParseText(record, data, length);
        break;
    default:
        return 0;
    }
    record.adapterIndex = adapterIndex;
    record.adapterName = adapterName;
    record.ip = ParseIpText(record.ipText);
    record.mac = ParseMacText(record.macText);
    if (record.model == "QT-TEXT GRABBER V7K") {
        record.useHttps = 0;
    }
    return 1;
}

bool NamesItsSender(const DeviceRecord& record, std::uint32_t sender)
{
    return sender != 0 && record.ip == sender && record.ipText == FormatIp(sender);
}

void NoteReplySender(DeviceRecord& record, std::uint32_t sender)
{
    record.replyFrom = sender;
    record.addressConfirmed = NamesItsSender(record, sender);
}

}  // namespace tarrowind
