#include "localisation/string_table.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <mutex>

#include "localisation/ini_reader.h"
#include "localisation/safe_format.h"
#include "localisation/text_escapes.h"
#include "platform/ascii_case.h"
#include "platform/file_stamp.h"
#include "platform/process_environment.h"

#ifndef TARROWIND_DATA_DIR
#define TARROWIND_DATA_DIR "/usr/local/share/tarrowind"
#endif

namespace tarrowind {
namespace {

constexpr std::string_view kLanguageSection = "LANGUAGE";
constexpr std::string_view kFallbackCode = "EN";
// The platform's profile reads fill buffers of 260 characters, one of them the terminator.
constexpr std::size_t kProfileValueUnits = 259;

std::atomic<MessageBoxFunction> g_messageBox{nullptr};

// The profile reader's integers: an optional sign and the leading digits; anything else, or a negative
// value, reads as 0.
std::int32_t ParseProfileInt(std::string_view text)
{
    bool negative = false;
    std::size_t pos = 0;
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) {
        negative = text[pos] == '-';
        ++pos;
    }
    std::int64_t value = 0;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
        value = std::min<std::int64_t>(value * 10 + (text[pos] - '0'), INT32_MAX);
    }
    return negative ? 0 : static_cast<std::int32_t>(value);
}

}  // namespace

struct StringTable::Cache {
    std::mutex mutex;
    bool loaded = false;
    FileStamp stamp;
    std::shared_ptr<const IniReader> reader;
};

void SetMessageBoxFunction(MessageBoxFunction function)
{
    g_messageBox.store(function);
}

MessageBoxFunction CurrentMessageBoxFunction()
{
    return g_messageBox.load();
}

std::string StringTable::LocateTable(const std::string& programDirectory)
{
    // Beside the program in a build tree; else the share folder of the prefix the program is installed
    // under, found from its own place so that a relocated install works; else the configured prefix's.
    const std::string candidates[] = {
        programDirectory + PathSeparator() + kFileName,
        programDirectory + "/../share/tarrowind/" + kFileName,
        std::string(TARROWIND_DATA_DIR) + "/" + kFileName,
    };
    for (const std::string& path : candidates) {
        if (IsRegularFile(path)) {
            return path;
        }
    }
    return candidates[0];
}

StringTable::Options StringTable::SystemOptions()
{
    Options options;
    options.tablePath = LocateTable(ProgramDirectory());
    options.brandPath = BrandFilePath();
    options.languageId = SystemLanguageId();
    return options;
}

const StringTable& StringTable::Instance()
{
    static const StringTable table(SystemOptions());
    return table;
}

StringTable::StringTable(Options options) : m_path(std::move(options.tablePath)), m_cache(std::make_unique<Cache>())
{
    const auto table = Reader();
    const std::string code = table->GetString(kLanguageSection, FormatLanguageId(options.languageId), kFallbackCode,
                                              kProfileValueUnits);
    m_languageCode = CutToUtf16Units(code, 2);
    m_rightToLeft = ParseProfileInt(table->GetString(kLanguageSection, m_languageCode, "0", kProfileValueUnits));
    // The brand file's code is taken whole; the flag stays the one of the system language's code.
    if (!options.brandPath.empty()) {
        m_languageCode =
            IniReader::FromFile(options.brandPath).GetString("General", "Lang", m_languageCode, kProfileValueUnits);
    }
    m_languageCode = UpperAscii(std::move(m_languageCode));
    if (m_languageCode == kFallbackCode) {
        m_rightToLeft = 0;
    }
}

StringTable::~StringTable() = default;

std::shared_ptr<const IniReader> StringTable::Reader() const
{
    const FileStamp stamp = FileStamp::Of(m_path);
    const std::lock_guard lock(m_cache->mutex);
    if (!m_cache->loaded || !(stamp == m_cache->stamp)) {
        m_cache->reader = std::make_shared<const IniReader>(stamp.exists ? IniReader::FromFile(m_path) : IniReader{});
        m_cache->stamp = stamp;
        m_cache->loaded = true;
    }
    return m_cache->reader;
}

std::string StringTable::RawText(std::string_view key) const
{
    const auto table = Reader();
    std::string text = table->GetString(key, m_languageCode, {}, kMaxTextUnits);
    if (text.empty()) {
        text = table->GetString(key, kFallbackCode, {}, kMaxTextUnits);
    }
    return text;
}

std::string StringTable::TextWithArguments(std::string_view key, std::span<const int> args) const
{
    return FormatIntsOrVerbatim(UnescapeText(RawText(key)), args);
}

std::string StringTable::LabelWithArguments(std::string_view key, std::span<const int> args) const
{
    std::string text = TextWithArguments(key, args);
    if (!text.empty() && text.back() != ':') {
        text += ':';
    }
    return text;
}

int StringTable::ShowMessage(std::string_view key, unsigned type) const
{
    const MessageBoxFunction show = g_messageBox.load();
    if (show == nullptr) {
        return 0;
    }
    return show(Text(key), IsRightToLeft() ? type | message_box::kRtlReading : type);
}

int ShowMessage(std::string_view key, unsigned type)
{
    return StringTable::Instance().ShowMessage(key, type);
}

bool IsRightToLeft()
{
    return StringTable::Instance().IsRightToLeft();
}

}  // namespace tarrowind
