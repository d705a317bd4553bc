#include <gtest/gtest.h>

#include "commands/module_csv.h"
#include "commands/settings_plan.h"

namespace tarrowind {
namespace {

ModuleRowTexts Row(std::string name, std::string mac = "02:00:00:00:01:01")
{
    ModuleRowTexts t;
    t.model = "QT-DC410";
    t.version = "V1.2";
    t.name = std::move(name);
    t.mac = std::move(mac);
    t.ip = "192.0.2.10";
    t.mask = "255.255.255.0";
    t.gateway = "192.0.2.254";
    t.adapter = "pc0";
    t.action = "None";
    t.status = "Login successfully";
    t.progress = "0";
    t.kind = "Web";
    t.adapterIndex = "2";
    t.latestVersion = "V3.21.0-7";
    t.updateAvailable = "yes";
    return t;
}

TEST(ModuleCsv, QuotesGuardsAndEndsLinesAsSpreadsheetsRead)
{
    const std::string csv = CsvDocument({Row("Door, \"east\"\r\nwing"), Row("=HYPERLINK(\"x\")"), Row("-1+2"),
                                         Row("@sum"), Row("\tTab"), Row("'quoted"), Row("Gate")});
    const std::string expected =
        "\xEF\xBB\xBF"
        "Model,Version,Name,MAC,IP,Mask,Gateway,Adapter,Action,Status,Progress,Kind,Adapter index,Latest version,"
        "Update available\r\n"
        "QT-DC410,V1.2,\"Door, \"\"east\"\"\r\nwing\",02:00:00:00:01:01,192.0.2.10,255.255.255.0,192.0.2.254,pc0,"
        "None,Login successfully,0,Web,2,V3.21.0-7,yes\r\n";
    EXPECT_EQ(csv.substr(0, expected.size()), expected);
    for (const char* field : {",\"'=HYPERLINK(\"\"x\"\")\",", ",'-1+2,", ",'@sum,", ",\"'\tTab\",", ",''quoted,", ",Gate,"}) {
        EXPECT_NE(csv.find(field), std::string::npos) << field;
    }
    EXPECT_EQ(csv.substr(csv.size() - 2), "\r\n");

    const std::string tsv = TabSeparated({Row("a\tb\nc"), Row("+x")}, true);
    EXPECT_EQ(tsv.substr(0, tsv.find('\n')),
              "Model\tVersion\tName\tMAC\tIP\tMask\tGateway\tAdapter\tAction\tStatus\tProgress\tKind\tAdapter index\t"
              "Latest version\tUpdate available");
    EXPECT_NE(tsv.find("\tV1.2\ta b c\t02:00"), std::string::npos);
    EXPECT_NE(tsv.find("\t'+x\t"), std::string::npos);
    EXPECT_EQ(std::count(tsv.begin(), tsv.end(), '\n'), 3);
}

TEST(ModuleCsv, ExportReadsBackAsAPlanWithTheNamesAsTheyWere)
{
    const std::vector<std::string> names = {"Door, \"east\"\r\nwing", "=1+1", "'quoted", "-", "Café ünï",
                                            "Door;=1+2", "  =1+2", "\xEF\xBC\x9D" "1+2", "a\tb"};
    std::vector<ModuleRowTexts> rows;
    for (std::size_t i = 0; i < names.size(); ++i) {
        rows.push_back(Row(names[i], "02:00:00:00:01:0" + std::to_string(i)));
    }
    const SettingsPlan plan = ReadSettingsPlan(CsvDocument(rows));
    ASSERT_EQ(plan.error, PlanReadError::None);
    ASSERT_EQ(plan.rows.size(), names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(plan.rows[i].name, names[i]);
        EXPECT_EQ(plan.rows[i].mac, rows[i].mac);
        EXPECT_EQ(plan.rows[i].ip, "192.0.2.10");
    }
    EXPECT_EQ(plan.rows[1].line, 4u);  // the first name spans lines 2 and 3
}

TEST(ModuleCsv, NoSeparatorOfAnyLocaleLetsAFormulaStartACell)
{
    // Where the semicolon or the tab separates cells, an unquoted "Door;=1+2" would be two, one a formula.
    EXPECT_EQ(CsvField("Door;=1+2"), "\"Door;=1+2\"");
    EXPECT_EQ(CsvField("Door\t=1+2"), "\"Door\t=1+2\"");
    EXPECT_EQ(CsvField("  =1+2"), "'  =1+2");
    EXPECT_EQ(CsvField("\xEF\xBC\x9D" "1+2"), "'\xEF\xBC\x9D" "1+2");
    EXPECT_EQ(CsvField("\n=1"), "\"'\n=1\"");
    EXPECT_EQ(CsvField("Door 1 - east"), "Door 1 - east");
    EXPECT_EQ(CsvField("192.0.2.10"), "192.0.2.10");
}

TEST(ModuleCsv, RowTextsTakeKindAdapterAndNumbersFromTheRecord)
{
    DeviceRecord r;
    r.kind = ModuleKind::BinaryDactyl;
    r.adapterName = "pc0";
    r.adapterIndex = kBroadcastAdapterIndex;
    r.progress = 42;
    ModuleRowTexts t = RowTextsOf(r, "Setting", "Setting...");
    EXPECT_EQ(t.kind, "BinaryDactyl");
    EXPECT_EQ(t.adapter, "pc0");
    EXPECT_EQ(t.adapterIndex, "4294967295");
    EXPECT_EQ(t.progress, "42");
    EXPECT_EQ(t.action, "Setting");
    EXPECT_EQ(t.status, "Setting...");
    r.routed = true;
    EXPECT_EQ(RowTextsOf(r, "", "").adapter, "Routed");
}

}  // namespace
}  // namespace tarrowind
