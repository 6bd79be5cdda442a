// The INI settings migration: which key wins, what the registry keeps, the
// log it writes, and when the old INI file may go.
#include "upgrade/upgrade.h"
#include "support/host.h"
#include "support/log_reader.h"

#ifndef _WIN32
#include "platform/sim_host.h"
#endif

#include <string.h>

#include <string>
#include <vector>

namespace {

const char kSection[] = "WriteIniSettingsToRegistry";
const char kMissing[] = "<missing>";

using LogLine = LogEntry;

std::vector<LogLine> ReadLog() { return ReadLogEntries(); }

// The messages of the log, each prefixed with its level when that is not
// INFO; every line must carry this library's module and the step's section.
std::vector<std::string> StepMessages()
{
    std::vector<std::string> messages;
    for (const LogLine &line : ReadLog()) {
        EXPECT_EQ(line.module, "Upgrade.dll") << line.message;
        EXPECT_EQ(line.section, kSection) << line.message;
        messages.push_back(line.level == "INFO" ? line.message : line.level + " " + line.message);
    }
    return messages;
}

std::string WindowsFolder()
{
    if (HostIsSimulated())
        return "C:\\Windows";
    char path[OS_PATH_BUFFER];
    unsigned length = OsGetWindowsDirectory(path, sizeof path);
    EXPECT_GT(length, 0u);
    EXPECT_LT(length, sizeof path);
    return path;
}

// The stored text of a current-user setting, or kMissing.
std::string Setting(const char *name)
{
    std::string bytes;
    if (!HostRegGet(OS_HKEY_CURRENT_USER, name, &bytes))
        return kMissing;
    if (!bytes.empty() && bytes.back() == '\0')
        bytes.pop_back();
    return bytes;
}

class IniMigrationTest : public HostTest {
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        HostRegSetText(OS_HKEY_CURRENT_USER, "EnableDebugLog", "1");
        iniPath = WindowsFolder() + "\\ledgerwick.ini";
        // Under Wine the prefix's own win.ini is only read, never rewritten.
        if (HostIsSimulated())
            HostWriteFile(WindowsFolder() + "\\win.ini", "[intl]\r\nsCountry=United Kingdom\r\nsState=NY\r\n");
        char state[256] = "";
        OsGetPrivateProfileString("intl", "sState", "", state, sizeof state, "win.ini");
        winIniState = state;
    }

    void WriteIni(const std::string &body) { HostWriteFile(iniPath, body); }

    std::string iniPath;
    std::string winIniState;
};

TEST_F(IniMigrationTest, CarriesEveryRowLogsItAndDeletesTheIniFile)
{
    if (HostIsSimulated()) {
        ASSERT_EQ(winIniState, "NY");
    }
    WriteIni("[Email Setup]\r\nSMTPServer=mail.example.com\r\nSMTPPort=25\r\n"
             "[Microsoft Access]\r\nQIFFileLong=C:\\lwtest\\Import Files\\bank statement.qif\r\n"
             "QIFFile=C:\\lwtest\\IMPORT~1\\BANKST~1.QIF\r\nUser=Jo Smith\r\n"
             "LastNonFloppyLedgerwickLong=C:\\Ledgerwick\\My Accounts.LW\r\n"
             "LastNonFloppyLedgerwick=C:\\LEDGER~1\\MYACCO~1.LW\r\n");

    WriteIniSettingsToRegistry();

    EXPECT_EQ(Setting("SMTPServer"), "mail.example.com");
    EXPECT_EQ(Setting("SMTPPort"), "25");
    EXPECT_EQ(Setting("QIFFile"), "C:\\lwtest\\Import Files\\bank statement.qif");
    EXPECT_EQ(Setting("User"), "Jo Smith");
    EXPECT_EQ(Setting("LastLedgerwickOpenedInDataFolder"), "C:\\Ledgerwick\\My Accounts.LW");
    EXPECT_EQ(Setting("hWnd"), "");
    EXPECT_EQ(Setting("State"), winIniState);
    EXPECT_FALSE(HostFileExists(iniPath));
    std::vector<std::string> expected = {
        "----## Started ##----",
        "SMTPServer: mail.example.com",
        "SMTPPort: 25",
        "QIFFile: C:\\lwtest\\Import Files\\bank statement.qif",
        "User: Jo Smith",
        "LastNonFloppyLedgerwick: C:\\Ledgerwick\\My Accounts.LW",
        "sState: " + winIniState,
        "----## Finished ##----",
    };
    EXPECT_EQ(StepMessages(), expected);

    // A second run finds no INI file: empty texts, every setting kept.
    WriteIniSettingsToRegistry();
    EXPECT_EQ(Setting("SMTPServer"), "mail.example.com");
    EXPECT_EQ(Setting("LastLedgerwickOpenedInDataFolder"), "C:\\Ledgerwick\\My Accounts.LW");
    std::vector<std::string> second = {
        "----## Started ##----", "SMTPServer: ", "SMTPPort: ", "QIFFile: ", "User: ",
        "LastNonFloppyLedgerwick: ", "sState: " + winIniState, "----## Finished ##----",
    };
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(StepMessages(), expected);
}

TEST_F(IniMigrationTest, WithoutIniFileEverySettingExistsEmpty)
{
    WriteIniSettingsToRegistry();

    for (const char *name : {"SMTPServer", "SMTPPort", "QIFFile", "User", "LastLedgerwickOpenedInDataFolder", "hWnd"}) {
        std::string bytes;
        unsigned long type = 0;
        ASSERT_TRUE(HostRegGet(OS_HKEY_CURRENT_USER, name, &bytes, &type)) << name;
        EXPECT_EQ(bytes, std::string(1, '\0')) << name;
        EXPECT_EQ(type, (unsigned long)OS_REG_SZ) << name;
    }
    EXPECT_EQ(Setting("State"), winIniState);
    std::vector<std::string> expected = {
        "----## Started ##----", "SMTPServer: ", "SMTPPort: ", "QIFFile: ", "User: ",
        "LastNonFloppyLedgerwick: ", "sState: " + winIniState, "----## Finished ##----",
    };
    EXPECT_EQ(StepMessages(), expected);
}

// The long-name key first, the 8.3 key only when the long one gives nothing.
struct FallbackCase {
    const char *name;
    const char *access; // body of [Microsoft Access]
    const char *qifFile;
    const char *lastOpened;
};

void PrintTo(const FallbackCase &c, std::ostream *os) { *os << c.name; }

class IniFallbackTest : public IniMigrationTest, public ::testing::WithParamInterface<FallbackCase> {};

TEST_P(IniFallbackTest, PicksTheKeyThatHoldsText)
{
    const FallbackCase &c = GetParam();
    WriteIni(std::string("[Email Setup]\r\nSMTPPort=25\r\n[Microsoft Access]\r\n") + c.access);

    WriteIniSettingsToRegistry();

    EXPECT_EQ(Setting("QIFFile"), c.qifFile);
    EXPECT_EQ(Setting("LastLedgerwickOpenedInDataFolder"), c.lastOpened);
    std::vector<std::string> messages = StepMessages();
    ASSERT_EQ(messages.size(), 8u);
    EXPECT_EQ(messages[3], std::string("QIFFile: ") + c.qifFile);
    EXPECT_EQ(messages[5], std::string("LastNonFloppyLedgerwick: ") + c.lastOpened);
    EXPECT_FALSE(HostFileExists(iniPath));
}

INSTANTIATE_TEST_SUITE_P(
    Keys, IniFallbackTest,
    ::testing::Values(
        FallbackCase{"LongOnly",
                     "QIFFileLong=C:\\lwtest\\Bank Export.qif\r\nLastNonFloppyLedgerwickLong=C:\\Ledgerwick\\Long Name.LW\r\n",
                     "C:\\lwtest\\Bank Export.qif", "C:\\Ledgerwick\\Long Name.LW"},
        FallbackCase{"ShortOnly", "QIFFile=C:\\lwtest\\BANKEX~1.QIF\r\nLastNonFloppyLedgerwick=C:\\LEDGER~1\\LONGNA~1.LW\r\n",
                     "C:\\lwtest\\BANKEX~1.QIF", "C:\\LEDGER~1\\LONGNA~1.LW"},
        FallbackCase{"BothLongWins",
                     "QIFFile=C:\\lwtest\\BANKEX~1.QIF\r\nQIFFileLong=C:\\lwtest\\Bank Export.qif\r\n"
                     "LastNonFloppyLedgerwick=C:\\LEDGER~1\\LONGNA~1.LW\r\n"
                     "LastNonFloppyLedgerwickLong=C:\\Ledgerwick\\Long Name.LW\r\n",
                     "C:\\lwtest\\Bank Export.qif", "C:\\Ledgerwick\\Long Name.LW"},
        FallbackCase{"LongEmpty",
                     "QIFFileLong=\r\nQIFFile=C:\\lwtest\\BANKEX~1.QIF\r\n"
                     "LastNonFloppyLedgerwickLong=\r\nLastNonFloppyLedgerwick=C:\\LEDGER~1\\LONGNA~1.LW\r\n",
                     "C:\\lwtest\\BANKEX~1.QIF", "C:\\LEDGER~1\\LONGNA~1.LW"},
        FallbackCase{"Neither", "User=Jo\r\n", "", ""}),
    [](const ::testing::TestParamInfo<FallbackCase> &info) { return std::string(info.param.name); });

// A value that holds text in the registry wins over the INI file.
struct KeepCase {
    const char *name;
    const char *registryBefore; // null: no value
    const char *iniServer;      // null: no key
    const char *registryAfter;
};

void PrintTo(const KeepCase &c, std::ostream *os) { *os << c.name; }

class IniKeepExistingTest : public IniMigrationTest, public ::testing::WithParamInterface<KeepCase> {};

TEST_P(IniKeepExistingTest, KeepsTextAndFillsTheRest)
{
    const KeepCase &c = GetParam();
    if (c.registryBefore)
        HostRegSetText(OS_HKEY_CURRENT_USER, "SMTPServer", c.registryBefore);
    std::string ini = "[Email Setup]\r\nSMTPPort=25\r\n";
    if (c.iniServer)
        ini += std::string("SMTPServer=") + c.iniServer + "\r\n";
    WriteIni(ini);

    WriteIniSettingsToRegistry();

    EXPECT_EQ(Setting("SMTPServer"), c.registryAfter);
    std::vector<std::string> messages = StepMessages();
    ASSERT_EQ(messages.size(), 8u);
    // The line tells what the INI file held, not what the registry kept.
    EXPECT_EQ(messages[1], std::string("SMTPServer: ") + (c.iniServer ? c.iniServer : ""));
    // The registry holds text for everything the file had: nothing is lost.
    EXPECT_FALSE(HostFileExists(iniPath));
}

INSTANTIATE_TEST_SUITE_P(
    Registry, IniKeepExistingTest,
    ::testing::Values(KeepCase{"MissingTakesIni", nullptr, "mail.new.example", "mail.new.example"},
                      KeepCase{"EmptyTakesIni", "", "mail.new.example", "mail.new.example"},
                      KeepCase{"TextWinsOverIni", "mail.mine.example", "mail.new.example", "mail.mine.example"},
                      KeepCase{"TextStaysWithoutIniKey", "mail.mine.example", nullptr, "mail.mine.example"},
                      KeepCase{"NeitherCreatesEmpty", nullptr, nullptr, ""}),
    [](const ::testing::TestParamInfo<KeepCase> &info) { return std::string(info.param.name); });

TEST_F(IniMigrationTest, WindowHandleIsKeptOrCreatedEmpty)
{
    HostRegSetText(OS_HKEY_CURRENT_USER, "hWnd", "132456");
    WriteIniSettingsToRegistry();
    EXPECT_EQ(Setting("hWnd"), "132456");

    HostRegDelete(OS_HKEY_CURRENT_USER, "hWnd");
    WriteIniSettingsToRegistry();
    EXPECT_EQ(Setting("hWnd"), "");
}

TEST_F(IniMigrationTest, ProtectedIniFileIsDeletedAllTheSame)
{
    WriteIni("[Email Setup]\r\nSMTPServer=mail.example.com\r\n");
    ASSERT_NE(OsSetFileAttributes(iniPath.c_str(), OS_FILE_ATTRIBUTE_READONLY | OS_FILE_ATTRIBUTE_HIDDEN |
                                                       OS_FILE_ATTRIBUTE_SYSTEM),
              0);

    WriteIniSettingsToRegistry();

    EXPECT_EQ(Setting("SMTPServer"), "mail.example.com");
    EXPECT_FALSE(HostFileExists(iniPath));
}

// A value too long for the 254-character buffer is refused, never stored cut:
// the setting does not receive it and the INI file, its only copy, stays.
struct LengthCase {
    size_t length;
    bool carried;
};

void PrintTo(const LengthCase &c, std::ostream *os) { *os << "length " << c.length; }

class IniValueLengthTest : public IniMigrationTest, public ::testing::WithParamInterface<LengthCase> {};

TEST_P(IniValueLengthTest, CarriesWholeValuesOnly)
{
    const LengthCase &c = GetParam();
    std::string server = "mail." + std::string(c.length - 5, 'x');
    std::string ini = "[Email Setup]\r\nSMTPServer=" + server + "\r\n";
    WriteIni(ini);

    WriteIniSettingsToRegistry();

    std::vector<std::string> messages = StepMessages();
    if (c.carried) {
        EXPECT_EQ(Setting("SMTPServer"), server);
        EXPECT_FALSE(HostFileExists(iniPath));
        ASSERT_EQ(messages.size(), 8u);
        EXPECT_EQ(messages[1], "SMTPServer: " + server);
    } else {
        EXPECT_EQ(Setting("SMTPServer"), "");
        ASSERT_TRUE(HostFileExists(iniPath));
        EXPECT_EQ(HostReadFile(iniPath), ini);
        std::vector<std::string> expected = {
            "----## Started ##----",
            "ERROR Value too long, not carried over: SMTPServer",
            "SMTPServer: ",
            "SMTPPort: ",
            "QIFFile: ",
            "User: ",
            "LastNonFloppyLedgerwick: ",
            "sState: " + winIniState,
            "ERROR Registry does not hold every INI value, ledgerwick.ini kept",
            "----## Finished ##----",
        };
        EXPECT_EQ(messages, expected);
    }
}

INSTANTIATE_TEST_SUITE_P(Lengths, IniValueLengthTest,
                         ::testing::Values(LengthCase{253, true}, LengthCase{254, true}, LengthCase{255, false},
                                           LengthCase{256, false}, LengthCase{600, false}),
                         [](const ::testing::TestParamInfo<LengthCase> &info) {
                             return "Length" + std::to_string(info.param.length);
                         });

TEST_F(IniMigrationTest, OverlongLongNameFallsBackToShortName)
{
    std::string longPath = "C:\\Ledgerwick\\" + std::string(280, 'a') + ".LW";
    WriteIni("[Microsoft Access]\r\nLastNonFloppyLedgerwickLong=" + longPath +
             "\r\nLastNonFloppyLedgerwick=C:\\LEDGER~1\\AAAAAA~1.LW\r\n");

    WriteIniSettingsToRegistry();

    // The 8.3 form names the same file, so the setting holds a usable value.
    EXPECT_EQ(Setting("LastLedgerwickOpenedInDataFolder"), "C:\\LEDGER~1\\AAAAAA~1.LW");
    EXPECT_FALSE(HostFileExists(iniPath));
}

class ReadIniValueTest : public HostTest {};

// An INI file without a byte-order mark is in the ANSI code page (1252 here):
// a value is as long as its characters, not its UTF-8 bytes, so 254 accented
// letters are carried whole, as they were before the text inside was UTF-8.
TEST_F(ReadIniValueTest, CountsCharactersOfACodePageFile)
{
    std::string windows = WindowsFolder();
    HostWriteFile(windows + "\\ledgerwick.ini", "[Microsoft Access]\r\nLongest=" + std::string(254, '\xe9') +
                                                     "\r\nTooLong=" + std::string(255, '\xe9') + "\r\n");
    std::string longest;
    for (int i = 0; i < 254; i++)
        longest += "\u00e9";
    char value[INI_VALUE_BUFFER];

    EXPECT_EQ(ReadIniValue("ledgerwick.ini", "Microsoft Access", "Longest", "", value), 254);
    EXPECT_EQ(std::string(value), longest);

    memset(value, '#', sizeof value);
    EXPECT_EQ(ReadIniValue("ledgerwick.ini", "Microsoft Access", "TooLong", "", value), -1);
    EXPECT_STREQ(value, "");
}

TEST_F(ReadIniValueTest, DeliversCountAndTextOrRefuses)
{
    std::string windows = WindowsFolder();
    HostWriteFile(windows + "\\ledgerwick.ini",
                  "[Email Setup]\r\nSMTPServer=mail.example.com\r\nLong=" + std::string(300, 'z') + "\r\n");
    char value[INI_VALUE_BUFFER];

    memset(value, '#', sizeof value);
    EXPECT_EQ(ReadIniValue("ledgerwick.ini", "Email Setup", "SMTPServer", "", value), 16);
    EXPECT_STREQ(value, "mail.example.com");

    memset(value, '#', sizeof value);
    EXPECT_EQ(ReadIniValue("ledgerwick.ini", "Email Setup", "Missing", "", value), 0);
    EXPECT_STREQ(value, "");

    memset(value, '#', sizeof value);
    EXPECT_EQ(ReadIniValue("ledgerwick.ini", "No Such Section", "SMTPServer", "", value), 0);
    EXPECT_STREQ(value, "");

    memset(value, '#', sizeof value);
    EXPECT_EQ(ReadIniValue("ledgerwick.ini", "Email Setup", "Long", "", value), -1);
    EXPECT_STREQ(value, "");
}

// The INI file goes only when the registry holds every value it carried.
TEST_F(IniMigrationTest, RefusedRegistryWritesKeepTheIniFile)
{
    if (!HostIsSimulated())
        GTEST_SKIP() << "needs a registry that refuses writes";
#ifndef _WIN32
    const std::string ini = "[Email Setup]\r\nSMTPServer=mail.example.com\r\n"
                            "[Microsoft Access]\r\nUser=Jo Smith\r\n";
    WriteIni(ini);
    // The server is already held; the user is not.
    HostRegSetText(OS_HKEY_CURRENT_USER, "SMTPServer", "mail.mine.example");
    SimSetRegistryWritable(OS_HKEY_CURRENT_USER, 0);

    WriteIniSettingsToRegistry();

    EXPECT_EQ(Setting("User"), kMissing);
    ASSERT_TRUE(HostFileExists(iniPath));
    EXPECT_EQ(HostReadFile(iniPath), ini);
    // Each refused write says so, with the registry's error; none passes
    // for done.
    const std::string refused = "ERROR Not Saved to Registry: ";
    EXPECT_EQ(StepMessages(), (std::vector<std::string>{
                                  "----## Started ##----",
                                  "SMTPServer: mail.example.com",
                                  refused + "SMTPPort =  (Windows error 5)",
                                  "SMTPPort: ",
                                  refused + "QIFFile =  (Windows error 5)",
                                  "QIFFile: ",
                                  refused + "User = Jo Smith (Windows error 5)",
                                  "User: Jo Smith",
                                  refused + "LastLedgerwickOpenedInDataFolder =  (Windows error 5)",
                                  "LastNonFloppyLedgerwick: ",
                                  refused + "hWnd =  (Windows error 5)",
                                  refused + "State = NY (Windows error 5)",
                                  "sState: NY",
                                  "ERROR Registry does not hold every INI value, ledgerwick.ini kept",
                                  "----## Finished ##----",
                              }));

    // A later run with a writable registry finishes the job.
    SimSetRegistryWritable(OS_HKEY_CURRENT_USER, 1);
    WriteIniSettingsToRegistry();
    EXPECT_EQ(Setting("User"), "Jo Smith");
    EXPECT_EQ(Setting("SMTPServer"), "mail.mine.example");
    EXPECT_FALSE(HostFileExists(iniPath));
#endif
}

TEST_F(IniMigrationTest, RefusedWritesLoseNothingWhenEveryValueIsHeld)
{
    if (!HostIsSimulated())
        GTEST_SKIP() << "needs a registry that refuses writes";
#ifndef _WIN32
    WriteIni("[Email Setup]\r\nSMTPServer=mail.example.com\r\n[Microsoft Access]\r\nUser=Jo Smith\r\n");
    HostRegSetText(OS_HKEY_CURRENT_USER, "SMTPServer", "mail.mine.example");
    HostRegSetText(OS_HKEY_CURRENT_USER, "User", "Jo");
    SimSetRegistryWritable(OS_HKEY_CURRENT_USER, 0);

    WriteIniSettingsToRegistry();

    EXPECT_FALSE(HostFileExists(iniPath));
    EXPECT_EQ(Setting("SMTPServer"), "mail.mine.example");
    EXPECT_EQ(Setting("User"), "Jo");
#endif
}

} // namespace
