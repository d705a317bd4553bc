#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarrowind::sim {

// Bodies and queries come from the network: every reader here is bounded and never trusts a length.
inline constexpr std::size_t kMaxFormBytes = 64 * 1024;
inline constexpr std::size_t kMaxFormFields = 256;

// "%xy" with two hex digits (either case) becomes that byte; anything else, a lone '%' or '+'
// included, stays as it is. Modules escape only some bytes, so a stray '%' is literal text.
std::string percentDecode(std::string_view text);

// Name/value pairs in the order they came; a repeated name keeps its first value for get().
class FormFields {
public:
    void add(std::string name, std::string value) { m_fields.emplace_back(std::move(name), std::move(value)); }
    const std::string* get(std::string_view name) const;
    std::size_t size() const { return m_fields.size(); }
    const std::vector<std::pair<std::string, std::string>>& all() const { return m_fields; }

private:
    std::vector<std::pair<std::string, std::string>> m_fields;
};

// A form body as the configuration page posts it: fields separated by '&', the first '=' splits
// name and value, values percent-decoded, one trailing CR LF dropped. Empty pieces ("a&&b") are
// skipped. Nothing for a body above kMaxFormBytes or with more than kMaxFormFields fields.
std::optional<FormFields> parseForm(std::string_view body);

struct LoginQuery {
    std::string user;     // percent-decoded
    std::string password; // the encoded chain as sent
};

// "/login.cgi?user=U&pswd=P". The user name arrives unescaped and may hold '&', so the password
// starts after the last "&pswd=". Nothing when the query does not have that shape.
std::optional<LoginQuery> parseLoginQuery(std::string_view target);

} // namespace tarrowind::sim
