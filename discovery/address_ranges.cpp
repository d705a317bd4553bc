#include "discovery/address_ranges.h"

#include <algorithm>
#include <cctype>

#include "platform/ipv4_address.h"

namespace tarrowind {
namespace {

constexpr std::size_t kMaxItemEcho = 64;  // an offending item is quoted at most this long

bool IsSeparator(char c)
{
    return c == ',' || c == ';' || c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

// A decimal number of 1 to `maxDigits` digits without a leading zero (so that "010" is never read
// differently from what was meant), at most `max`.
bool ReadNumber(std::string_view& text, std::uint32_t max, std::size_t maxDigits, std::uint32_t& value)
{
    std::size_t n = 0;
    value = 0;
    while (n < text.size() && n < maxDigits + 1 && std::isdigit(static_cast<unsigned char>(text[n]))) {
        value = value * 10 + static_cast<std::uint32_t>(text[n] - '0');
        ++n;
    }
    if (n == 0 || n > maxDigits || (n > 1 && text[0] == '0') || value > max) {
        return false;
    }
    text.remove_prefix(n);
    return true;
}

bool ReadAddress(std::string_view& text, std::uint32_t& address)
{
    const auto read = Ipv4Address::ReadText(text);
    address = read.value_or(Ipv4Address()).HostOrder();
    return read.has_value();
}

bool IsUnicast(std::uint32_t address)
{
    const std::uint32_t top = address >> 24;
    return top != 0 && top != 127 && top < 224;
}

// True when [first, last] holds no address that is not unicast. The refused blocks are 0/8, 127/8 and
// 224/3, so a range holds one exactly when one of its ends is in one or it spans 127/8.
bool AllUnicast(std::uint32_t first, std::uint32_t last)
{
    return IsUnicast(first) && IsUnicast(last) && !((first >> 24) < 127 && (last >> 24) > 127);
}

std::string Echo(std::string_view item)
{
    return std::string(item.substr(0, kMaxItemEcho));
}

// One item into a range; the CIDR form leaves out the network and broadcast addresses of blocks that
// have them.
RangeError ParseItem(std::string_view item, AddressRange& range)
{
    std::string_view rest = item;
    std::uint32_t first = 0;
    if (!ReadAddress(rest, first)) {
        return RangeError::NotARange;
    }
    std::uint32_t last = first;
    if (!rest.empty() && rest.front() == '/') {
        rest.remove_prefix(1);
        std::uint32_t prefix = 0;
        if (!ReadNumber(rest, 32, 2, prefix) || !rest.empty()) {
            return RangeError::NotARange;
        }
        const std::uint32_t hostBits = prefix == 0 ? 0xFFFFFFFFu : (prefix == 32 ? 0 : (0xFFFFFFFFu >> prefix));
        first &= ~hostBits;
        last = first | hostBits;
        if (!AllUnicast(first, last)) {
            return RangeError::NotUnicast;
        }
        if (prefix <= 30) {
            ++first;
            --last;
        }
    } else if (!rest.empty() && rest.front() == '-') {
        rest.remove_prefix(1);
        if (!ReadAddress(rest, last) || !rest.empty()) {
            return RangeError::NotARange;
        }
        if (last < first) {
            return RangeError::Reversed;
        }
        if (!AllUnicast(first, last)) {
            return RangeError::NotUnicast;
        }
    } else if (!rest.empty()) {
        return RangeError::NotARange;
    } else if (!IsUnicast(first)) {
        return RangeError::NotUnicast;
    }
    range = {first, last};
    return RangeError::None;
}

// The items of `text`: blanks next to '-' or '/' do not separate, so "10.0.0.1 - 10.0.0.9" is one item.
std::vector<std::string> SplitItems(std::string_view text)
{
    std::vector<std::string> items;
    std::string current;
    bool joinNext = false;  // the last character kept was '-' or '/'
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (IsBlank(c)) {
            std::size_t j = i;
            while (j < text.size() && IsBlank(text[j])) {
                ++j;
            }
            const bool nextJoins = j < text.size() && (text[j] == '-' || text[j] == '/');
            if (!current.empty() && (joinNext || nextJoins)) {
                i = j - 1;
                continue;
            }
        }
        if (IsSeparator(c)) {
            if (!current.empty()) {
                items.push_back(std::move(current));
                current.clear();
            }
            joinNext = false;
            continue;
        }
        current += c;
        joinNext = c == '-' || c == '/';
    }
    if (!current.empty()) {
        items.push_back(std::move(current));
    }
    return items;
}

// The prefix of the CIDR block whose probed addresses are exactly [first, last], or 0 for none.
int CidrPrefixOf(const AddressRange& range)
{
    if (range.first == 0 || range.last == 0xFFFFFFFFu) {
        return 0;
    }
    const std::uint32_t network = range.first - 1;
    const std::uint32_t broadcast = range.last + 1;
    const std::uint32_t hostBits = network ^ broadcast;
    // hostBits must be 2^k - 1 with k >= 2, and the block aligned to it.
    if (hostBits < 3 || (hostBits & (hostBits + 1)) != 0 || (network & hostBits) != 0) {
        return 0;
    }
    int prefix = 32;
    for (std::uint32_t bits = hostBits; bits != 0; bits >>= 1) {
        --prefix;
    }
    return prefix;
}

}  // namespace

std::uint64_t AddressRanges::Count() const
{
    std::uint64_t count = 0;
    for (const AddressRange& range : ranges) {
        count += static_cast<std::uint64_t>(range.last) - range.first + 1;
    }
    return count;
}

bool AreProbeableRanges(const AddressRanges& ranges)
{
    std::uint64_t count = 0;
    for (const AddressRange& range : ranges.ranges) {
        if (range.first > range.last || !AllUnicast(range.first, range.last)) {
            return false;
        }
        count += static_cast<std::uint64_t>(range.last) - range.first + 1;
    }
    return count <= kMaxRangeAddresses;
}

RangeParse ParseAddressRanges(std::string_view text, AddressRanges& out)
{
    std::vector<AddressRange> parsed;
    for (const std::string& item : SplitItems(text)) {
        AddressRange range;
        if (const RangeError error = ParseItem(item, range); error != RangeError::None) {
            return {error, Echo(item)};
        }
        // Checked per item as well, so that a huge list of huge items is refused without merging it.
        if (static_cast<std::uint64_t>(range.last) - range.first + 1 > kMaxRangeAddresses) {
            return {RangeError::TooMany, Echo(item)};
        }
        parsed.push_back(range);
        if (parsed.size() > kMaxRangeAddresses) {
            return {RangeError::TooMany, Echo(item)};
        }
    }
    if (parsed.empty()) {
        return {RangeError::Empty, {}};
    }
    std::sort(parsed.begin(), parsed.end(),
              [](const AddressRange& a, const AddressRange& b) { return a.first < b.first; });
    AddressRanges merged;
    for (const AddressRange& range : parsed) {
        // Overlapping and adjacent ranges become one, so every address is probed and counted once.
        if (!merged.ranges.empty() && range.first <= static_cast<std::uint64_t>(merged.ranges.back().last) + 1) {
            merged.ranges.back().last = std::max(merged.ranges.back().last, range.last);
        } else {
            merged.ranges.push_back(range);
        }
    }
    if (merged.Count() > kMaxRangeAddresses) {
        return {RangeError::TooMany, {}};
    }
    out = std::move(merged);
    return {};
}

std::string DescribeRangeError(const RangeParse& parse)
{
    const std::string quoted = "\"" + parse.item + "\"";
    switch (parse.error) {
    case RangeError::None:
        return {};
    case RangeError::Empty:
        return "no address range given";
    case RangeError::NotARange:
        return quoted + " is not an address range (use 10.20.0.0/22, 10.20.0.1-10.20.3.254 or one address)";
    case RangeError::Reversed:
        return quoted + ": the first address is above the last";
    case RangeError::NotUnicast:
        return quoted + " holds addresses that are not unicast (0.x.x.x, 127.x.x.x or 224.0.0.0 and above)";
    case RangeError::TooMany:
        return (parse.item.empty() ? std::string("the ranges") : quoted) + " hold more than " +
               std::to_string(kMaxRangeAddresses) + " addresses";
    }
    return {};
}

std::string FormatAddressRanges(const AddressRanges& ranges)
{
    const auto dotted = [](std::uint32_t hostOrder) { return Ipv4Address::FromHostOrder(hostOrder).ToText(); };
    std::string text;
    for (const AddressRange& range : ranges.ranges) {
        if (!text.empty()) {
            text += ", ";
        }
        if (const int prefix = CidrPrefixOf(range); prefix != 0) {
            text += dotted(range.first - 1) + '/' + std::to_string(prefix);
        } else if (range.first == range.last) {
            text += dotted(range.first);
        } else {
            text += dotted(range.first) + '-' + dotted(range.last);
        }
    }
    return text;
}

}  // namespace tarrowind
