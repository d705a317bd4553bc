// Any bytes as the answer of a module's web server, through every reader of its pages: the login
// refusal checks, the configuration page and the firmware progress page.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "discovery/device_record.h"
#include "operations/firmware_upload.h"
#include "operations/login.h"
#include "operations/module_settings.h"
#include "operations/page_variables.h"
#include "platform/http_client.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

// Answers every request with the fuzzer's bytes; the first byte picks the HTTP status.
class BytesClient final : public tarrowind::HttpClient {
public:
    BytesClient(long status, std::string_view body) : m_status(status), m_body(body) {}
    tarrowind::HttpResult Perform(const tarrowind::HttpRequest&) override
    {
        return tarrowind::HttpResult{0, m_status, std::string(m_body)};
    }

private:
    long m_status;
    std::string_view m_body;
};

// Counted through the library's search, which is far quicker than a loop the fuzzer instruments.
std::size_t Occurrences(std::string_view text, char c)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(c); at != std::string_view::npos; at = text.find(c, at + 1)) {
        ++n;
    }
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1) {
        return 0;
    }
    static constexpr long kStatuses[] = {200, 401, 404, 500};
    const std::string_view page(reinterpret_cast<const char*>(data + 1), size - 1);
    BytesClient http(kStatuses[data[0] % 4], page);

    tarrowind::DeviceRecord record;
    record.ipText = "192.0.2.10";
    record.userName = "admin";
    record.useHttps = data[0] & 0x10 ? 1 : 0;
    tarrowind::LoginByPage(&record, http);
    tarrowind::LoginByCgi(&record, http);

    tarrowind::ModuleSettings settings;
    settings.target = tarrowind::HttpTarget::ForRecord(record);
    tarrowind::ReadModuleSettings(&settings, http);
    // What was read goes back out as a form: whatever the page held, it stays one field per value and
    // one line.
    const std::string form = tarrowind::ModuleSettingsForm(settings);
    const std::string_view kEnd = "&Submit=Submit\r\n";
    FuzzCheck(form.size() >= kEnd.size() && form.find_first_of("\r\n") == form.size() - 2);
    FuzzCheck(Occurrences(form, '=') == Occurrences(form, '&') + 1);

    tarrowind::FirmwareTarget firmware{tarrowind::HttpTarget::ForRecord(record), "/nonexistent"};
    std::int32_t finish = -7;
    std::int32_t total = -7;
    tarrowind::QueryUploadProgress(&firmware, finish, total, http);

    std::int32_t number = 0;
    tarrowind::ReadDecimal(page, number);
    tarrowind::TextVariable(page, "var va_machname = ");
    tarrowind::NumberVariable(page, "var va_Total = ");
    return 0;
}
