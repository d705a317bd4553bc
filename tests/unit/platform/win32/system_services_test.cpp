#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "localisation/ini_reader.h"
#include "localisation/string_table.h"
#include "operations/firmware_folder.h"
#include "platform/code_page.h"
#include "platform/file_path.h"
#include "platform/file_stamp.h"
#include "platform/process_environment.h"
#include "tests/unit/fakes/test_environment.h"

namespace tarrowind {
namespace {

std::string Utf8(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// The management software's key in the test's own Wine prefix, removed afterwards.
class ManagementKey {
public:
    ManagementKey()
    {
        ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kPath, 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &m_key,
                          nullptr);
    }
    ~ManagementKey()
    {
        ::RegCloseKey(m_key);
        ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kPath, KEY_WOW64_64KEY, 0);
    }
    void SetText(const std::wstring& value)
    {
        ::RegSetValueExW(m_key, L"BaseDirectory", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                         static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }
    void SetNumber(DWORD value)
    {
        ::RegSetValueExW(m_key, L"BaseDirectory", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    }
    bool Open() const { return m_key != nullptr; }

private:
    static constexpr const wchar_t* kPath = L"software\\Quillon\\DCManager\\General";
    HKEY m_key = nullptr;
};

TEST(Win32Services, FirmwareFolderComesFromTheMachinesRegistry)
{
    EXPECT_EQ(LoadFirmwareFolder(), "");
    ManagementKey key;
    ASSERT_TRUE(key.Open());
    key.SetText(L"C:\\Program Files\\Quillon\\Caf\u00e9\\");
    EXPECT_EQ(LoadFirmwareFolder(), "C:\\Program Files\\Quillon\\Caf\xC3\xA9\\DCFirmware\\");
    key.SetText(L"");
    EXPECT_EQ(LoadFirmwareFolder(), "");
    key.SetNumber(7);  // not a text: as if missing
    EXPECT_EQ(LoadFirmwareFolder(), "");
}

TEST(Win32Services, FilesWithNamesOutsideTheCodePageOpenAndShowTheirChanges)
{
    const auto folder = testing::MakeTempFolder("win32 services ");
    const std::string path = Utf8(folder) + "\\\xE6\x97\xA5\xE6\x9C\xAC Caf\xC3\xA9.ini";  // a space too
    std::ofstream(PathFromUtf8(path), std::ios::binary) << "[General]\nLang=DE\n";
    EXPECT_EQ(IniReader::FromFile(path).GetString("general", "lang", "EN"), "DE");

    const FileStamp before = FileStamp::Of(path);
    EXPECT_TRUE(before.exists && before.regular);
    EXPECT_FALSE(FileStamp::Of(Utf8(folder)).regular);
    const std::string other = path + ".new";
    std::ofstream(PathFromUtf8(other), std::ios::binary) << "[General]\nLang=FR\n";  // same size
    ASSERT_TRUE(::MoveFileExW(PathFromUtf8(other).c_str(), PathFromUtf8(path).c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_FALSE(FileStamp::Of(path) == before);
    EXPECT_FALSE(FileStamp::Of(path + ".gone").exists);
    std::filesystem::remove_all(folder);
}

TEST(Win32Services, ProgramFilesEnvironmentAndLanguage)
{
    const auto options = StringTable::SystemOptions();
    EXPECT_EQ(options.tablePath, ProgramDirectory() + "\\" + StringTable::kFileName);
    wchar_t windows[MAX_PATH] = {};
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    EXPECT_EQ(PathFromUtf8(options.brandPath), std::filesystem::path(windows) / L"OrbBrand.ini");
    EXPECT_EQ(options.languageId, ::GetUserDefaultUILanguage());

    ::SetEnvironmentVariableW(L"TARROWIND_TEST_SECRET", L"p\u00e4ss \u65e5");
    EXPECT_EQ(EnvironmentVariable("TARROWIND_TEST_SECRET"), "p\xC3\xA4ss \xE6\x97\xA5");
    ::SetEnvironmentVariableW(L"TARROWIND_TEST_SECRET", L"");
    EXPECT_EQ(EnvironmentVariable("TARROWIND_TEST_SECRET"), "");
    ::SetEnvironmentVariableW(L"TARROWIND_TEST_SECRET", nullptr);
    EXPECT_EQ(EnvironmentVariable("TARROWIND_TEST_SECRET"), std::nullopt);
}

}  // namespace
}  // namespace tarrowind
