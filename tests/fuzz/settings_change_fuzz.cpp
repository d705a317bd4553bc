// Any bytes as a module's configuration page, and a change drawn from the input, through the read, the
// change and the post of a settings action. Whatever the page held, a posted field carries either what
// the page said (after the documented corrections) or what the change asked for, and a page that lacked
// a value the form carries gets nothing posted at all.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "discovery/address_text.h"
#include "operations/module_settings.h"
#include "operations/page_variables.h"
#include "operations/percent_escape.h"
#include "operations/settings_change.h"
#include "platform/code_page.h"
#include "platform/http_client.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

using tarrowind::FindNumberVariable;
using tarrowind::FindTextVariable;

// Serves the page to the read and keeps every posted body.
class PageClient final : public tarrowind::HttpClient {
public:
    explicit PageClient(std::string_view page) : m_page(page) {}
    tarrowind::HttpResult Perform(const tarrowind::HttpRequest& request) override
    {
        if (request.method == "POST") {
            posted.emplace_back(request.body);
            return tarrowind::HttpResult{0, 200, "ok"};
        }
        return tarrowind::HttpResult{0, 200, std::string(m_page)};
    }
    std::vector<std::string> posted;

private:
    std::string_view m_page;
};

// Takes the change from the front of the input.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    bool Take(std::size_t n, std::string_view& out)
    {
        if (m_size - m_at < n) {
            return false;
        }
        out = std::string_view(reinterpret_cast<const char*>(m_data + m_at), n);
        m_at += n;
        return true;
    }
    std::optional<std::uint32_t> Address()
    {
        std::string_view bytes;
        if (!Take(4, bytes)) {
            return std::nullopt;
        }
        std::uint32_t value = 0;
        for (const char c : bytes) {
            value = value << 8 | static_cast<std::uint8_t>(c);
        }
        return value;
    }
    std::string_view Rest() const { return {reinterpret_cast<const char*>(m_data + m_at), m_size - m_at}; }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

using Fields = std::vector<std::pair<std::string, std::string>>;

Fields SplitForm(std::string_view body)
{
    Fields fields;
    while (!body.empty()) {
        const std::size_t end = body.find('&');
        const std::string_view field = body.substr(0, end);
        const std::size_t eq = field.find('=');
        FuzzCheck(eq != std::string_view::npos);
        fields.emplace_back(std::string(field.substr(0, eq)), std::string(field.substr(eq + 1)));
        body = end == std::string_view::npos ? std::string_view() : body.substr(end + 1);
    }
    return fields;
}

// What the page says for an address, as a dotted text; nothing when the page has no readable one.
std::optional<std::string> PageAddress(std::string_view page, std::string_view key)
{
    const auto text = FindTextVariable(page, key);
    if (!text) {
        return std::nullopt;
    }
    const std::string ansi = tarrowind::Utf8ToAnsi(*text);
    const std::uint32_t value = tarrowind::InetAddr(ansi);
    if (value == 0xFFFFFFFFu && ansi != "255.255.255.255") {
        return std::nullopt;
    }
    return tarrowind::FormatIp(value);
}

std::string Escaped(std::string_view text)
{
    return tarrowind::PercentEscaped(text, tarrowind::kConfigurationFormEscapes);
}

std::optional<std::string> PageText(std::string_view page, std::string_view key)
{
    const auto text = FindTextVariable(page, key);
    return text ? std::optional<std::string>(Escaped(*text)) : std::nullopt;
}

std::optional<std::string> PageNumber(std::string_view page, std::string_view key, std::uint32_t above,
                                      std::uint32_t becomes)
{
    const auto n = FindNumberVariable(page, key);
    if (!n) {
        return std::nullopt;
    }
    const auto value = static_cast<std::uint32_t>(*n);
    return std::to_string(value > above ? becomes : value);
}

std::optional<std::string> PagePort(std::string_view page)
{
    const auto text = FindTextVariable(page, "var va_DevicePort = ");
    std::int32_t port = 0;
    if (!text || !tarrowind::ReadDecimal(*text, port)) {
        return std::nullopt;
    }
    const auto value = static_cast<std::uint32_t>(port);
    return std::to_string(value < 1025 || value > 65535 ? 4000u : value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1) {
        return 0;
    }
    Input input(data + 1, size - 1);
    const std::uint8_t wanted = data[0];
    tarrowind::SettingsChange change;
    std::string_view name;
    if (wanted & 0x01 && input.Take(1, name) && input.Take(static_cast<std::uint8_t>(name[0]) % 16, name)) {
        change.name = std::string(name);
    }
    if (wanted & 0x02) {
        change.dhcp = (wanted & 0x40) != 0;
    }
    if (wanted & 0x04) {
        change.ip = input.Address();
    }
    if (wanted & 0x08) {
        change.mask = input.Address();
    }
    if (wanted & 0x10) {
        change.gateway = input.Address();
    }
    const std::string_view bytes = input.Rest();

    tarrowind::DeviceRecord record;
    record.ipText = "192.0.2.10";
    record.userName = "admin";
    record.password = "pw";
    record.useHttps = wanted & 0x20 ? 1 : 0;
    PageClient http(bytes);
    // The answer as the request reads it: its bytes made valid UTF-8.
    const std::string text = tarrowind::SanitizeUtf8(std::string(bytes));
    const std::string_view page = text;
    tarrowind::ModuleSettings written;
    const std::int32_t result =
        tarrowind::ChangeModuleSettings(change, tarrowind::HttpTarget::ForRecord(record), http, written);

    // Every field the form carries, as the page gives it or as the change sets it.
    const auto address = [&](const std::optional<std::uint32_t>& changed, std::string_view key) {
        return changed ? std::optional<std::string>(tarrowind::FormatIp(*changed)) : PageAddress(page, key);
    };
    const std::optional<std::string> dhcp =
        change.dhcp ? std::optional<std::string>(*change.dhcp ? "1" : "0") : PageNumber(page, "var va_EnableDHCP = ", 0, 1);
    const std::vector<std::pair<std::string, std::optional<std::string>>> expected = {
        {"Reboot", "0"},
        {"Default", "0"},
        {"MachName", change.name ? Escaped(*change.name) : PageText(page, "var va_machname = ")},
        {"EnableDHCP", dhcp},
        {"IpAddress", address(change.ip, "var va_IpAddr = ")},
        {"SubnetMask", address(change.mask, "var va_NetMask = ")},
        {"DefaultGateway", address(change.gateway, "var va_Gateway = ")},
        {"DNServer", PageAddress(page, "var va_DNServer = ")},
        {"SendtoServer", PageNumber(page, "var va_SendtoServer = ", 2, 2)},
        {"DDNS", PageNumber(page, "var va_ddns = ", 1, 0)},
        {"ServerAddress", PageAddress(page, "var va_ServerAddress = ")},
        {"MyName", PageText(page, "var va_MyName = ")},
        {"HostName", PageText(page, "var va_HostName = ")},
        {"UserName", PageText(page, "var va_UserName = ")},
        {"DDNSPasswd", PageText(page, "var va_DDNSPasswd = ")},
        {"3Des1", PageText(page, "var va_3Des1 = ")},
        {"3Des2", PageText(page, "var va_3Des2 = ")},
        {"3Des3", PageText(page, "var va_3Des3 = ")},
        {"DevicePort", PagePort(page)},
        {"LoginChange", "0"},
        {"Submit", "Submit"},
    };
    // The read wants every value, also those the change replaces.
    const bool everyValue = PageText(page, "var va_machname = ") && PageNumber(page, "var va_EnableDHCP = ", 0, 1) &&
                            PageAddress(page, "var va_IpAddr = ") && PageAddress(page, "var va_NetMask = ") &&
                            PageAddress(page, "var va_Gateway = ") && [&] {
                                for (const auto& [field, value] : expected) {
                                    if (!value) {
                                        return false;
                                    }
                                }
                                return true;
                            }();
    const bool passwordRefused = page.find("401 Unauthorized") != std::string_view::npos;
    const bool refused = passwordRefused || page.find("404 Not Found") != std::string_view::npos;

    if (result != tarrowind::kHttpSuccess) {
        // Nothing at all reaches the module from a read that failed or fell short.
        FuzzCheck(http.posted.empty());
        FuzzCheck(refused || !everyValue);
        FuzzCheck(result == (passwordRefused ? tarrowind::kHttpCredentialsRefused
                             : refused        ? tarrowind::kHttpRefused
                                              : tarrowind::kHttpPageIncomplete));
        return 0;
    }
    FuzzCheck(!refused && everyValue);
    FuzzCheck(http.posted.size() == 1);
    std::string_view body = http.posted.front();
    FuzzCheck(body.size() >= 2 && body.substr(body.size() - 2) == "\r\n");
    body.remove_suffix(2);
    const Fields fields = SplitForm(body);
    FuzzCheck(fields.size() == expected.size());
    for (std::size_t i = 0; i < fields.size(); ++i) {
        FuzzCheck(fields[i].first == expected[i].first);
        FuzzCheck(expected[i].second.has_value() && fields[i].second == *expected[i].second);
    }
    return 0;
}
