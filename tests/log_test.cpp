// The diagnostic log: its exact line, the switch read before every line, the
// message cut, the close failure it reports, and DeleteLogFile.
#include "log/log.h"
#include "support/host.h"
#include "support/links.h"

#ifndef _WIN32
#include "platform/sim_host.h"
#endif

#include <regex>
#include <string>
#include <vector>

namespace {

class LogTest : public HostTest {
protected:
    static std::string LogPath() { return HostShellFolder(OS_CSIDL_APPDATA) + "\\LWInst.log"; }

    static void SetSwitch(const char *text) { HostRegSetText(OS_HKEY_CURRENT_USER, "EnableDebugLog", text); }

    static int CallDeleteLogFile()
    {
        const HostExports &exports = HostGetExports();
        return exports.DeleteLogFile ? exports.DeleteLogFile() : DeleteLogFile();
    }

    // The log's lines without their time stamps. Every line must end in CR LF
    // and open with a well-formed local time followed by a tab.
    static std::vector<std::string> LinesWithoutTime()
    {
        std::vector<std::string> lines;
        if (!HostFileExists(LogPath()))
            return lines;
        std::string content = HostReadFile(LogPath());
        static const std::regex stamp(R"(\[([01][0-9]|2[0-3]):[0-5][0-9]:[0-5][0-9]\.[0-9]{3}\]\t)");
        size_t start = 0;
        while (start < content.size()) {
            size_t end = content.find("\r\n", start);
            if (end == std::string::npos) {
                ADD_FAILURE() << "line without CR LF: " << content.substr(start);
                break;
            }
            std::string line = content.substr(start, end - start);
            EXPECT_EQ(line.find('\n'), std::string::npos) << "bare line feed in " << line;
            if (line.size() < 15 || !std::regex_match(line.substr(0, 15), stamp)) {
                ADD_FAILURE() << "no time stamp: " << line;
                lines.push_back(line);
            } else {
                lines.push_back(line.substr(15));
            }
            start = end + 2;
        }
        return lines;
    }
};

TEST_F(LogTest, ExampleLineComesOutByteForByte)
{
    if (!HostIsSimulated())
        GTEST_SKIP() << "needs the simulated host's fixed clock";
#ifndef _WIN32
    SimSetClock(9, 5, 3, 7);
    SetSwitch("1");
    EXPECT_EQ(LogMessage(LOG_MODULE, "WriteIniSettingsToRegistry", LOG_INFO, "SMTPPort: %s", "25"), 0);
    EXPECT_EQ(HostReadFile(LogPath()),
              "[09:05:03.007]\t[Upgrade.dll     - WriteIniSettingsToRegistry    ]\tINFO \tSMTPPort: 25\r\n");
#endif
}

TEST_F(LogTest, FieldsArePaddedButNeverCut)
{
    SetSwitch("1");
    struct Case {
        const char *module;
        const char *section;
        LogLevel level;
        const char *expected; // the line after its time stamp
    } cases[] = {
        {LOG_MODULE, "UpV5", LOG_INFO,
         "[Upgrade.dll     - UpV5                          ]\tINFO \tmessage"},
        {LOG_MODULE, "TransferUserFiles", LOG_ERROR,
         "[Upgrade.dll     - TransferUserFiles             ]\tERROR\tmessage"},
        {LOG_MODULE, "RemoveIcons", LOG_FATAL,
         "[Upgrade.dll     - RemoveIcons                   ]\tFATAL\tmessage"},
        // Exactly as wide as the field: no padding, nothing cut.
        {"ModuleOf15Chars", "SectionOfExactlyThirtyChars123", LOG_INFO,
         "[ModuleOf15Chars - SectionOfExactlyThirtyChars123]\tINFO \tmessage"},
        {LOG_MODULE, "ValidateLastLedgerwickOpenedInDatafileFolder", LOG_INFO,
         "[Upgrade.dll     - ValidateLastLedgerwickOpenedInDatafileFolder]\tINFO \tmessage"},
    };
    std::vector<std::string> expected;
    for (const Case &c : cases) {
        EXPECT_EQ(LogMessage(c.module, c.section, c.level, "%s", "message"), 0);
        expected.push_back(c.expected);
    }
    // An empty section is all padding.
    LogMessage("AModuleLongerThanFifteen.dll", "", LOG_ERROR, "%s", "message");
    expected.push_back("[AModuleLongerThanFifteen.dll - " + std::string(30, ' ') + "]\tERROR\tmessage");
    EXPECT_EQ(LinesWithoutTime(), expected);
}

TEST_F(LogTest, MessageIsFormattedFromItsValues)
{
    SetSwitch("1");
    LogMessage(LOG_MODULE, "PerformActionOnFiles", LOG_INFO, "\t%s: %d of %s", "Copied", 3, "[NULL]");
    LogMessage(LOG_MODULE, "PerformActionOnFiles", LOG_INFO, "100%% done");
    LogMessage(LOG_MODULE, "PerformActionOnFiles", LOG_INFO, "%s", "");
    EXPECT_EQ(LinesWithoutTime(), (std::vector<std::string>{
                                      "[Upgrade.dll     - PerformActionOnFiles          ]\tINFO \t\tCopied: 3 of [NULL]",
                                      "[Upgrade.dll     - PerformActionOnFiles          ]\tINFO \t100% done",
                                      "[Upgrade.dll     - PerformActionOnFiles          ]\tINFO \t",
                                  }));
}

TEST_F(LogTest, SwitchIsOnForOneToNineCharacters)
{
    struct Case {
        const char *value; // null: no value at all
        bool on;
    } cases[] = {
        {nullptr, false}, {"", false}, {"0", true}, {"Y", true},
        {"123456789", true}, {"1234567890", false}, {"a much longer switch text", false},
    };
    for (const Case &c : cases) {
        HostReset();
        if (c.value)
            SetSwitch(c.value);
        EXPECT_EQ(LogMessage(LOG_MODULE, "UpV5", LOG_INFO, "line"), 0);
        EXPECT_EQ(HostFileExists(LogPath()), c.on) << (c.value ? c.value : "(missing)");
        EXPECT_EQ(LinesWithoutTime().size(), c.on ? 1u : 0u) << (c.value ? c.value : "(missing)");
    }
}

TEST_F(LogTest, SwitchIsReadBeforeEveryLine)
{
    SetSwitch("1");
    LogMessage(LOG_MODULE, "UpV5", LOG_INFO, "first");
    SetSwitch("");
    LogMessage(LOG_MODULE, "UpV5", LOG_INFO, "lost while empty");
    SetSwitch("on");
    LogMessage(LOG_MODULE, "UpV5", LOG_ERROR, "second");
    HostRegDelete(OS_HKEY_CURRENT_USER, "EnableDebugLog");
    LogMessage(LOG_MODULE, "UpV5", LOG_INFO, "lost while missing");
    SetSwitch("0");
    LogMessage(LOG_MODULE, "UpV5", LOG_FATAL, "third");
    EXPECT_EQ(LinesWithoutTime(), (std::vector<std::string>{
                                      "[Upgrade.dll     - UpV5                          ]\tINFO \tfirst",
                                      "[Upgrade.dll     - UpV5                          ]\tERROR\tsecond",
                                      "[Upgrade.dll     - UpV5                          ]\tFATAL\tthird",
                                  }));
}

TEST_F(LogTest, LinesAreAppendedToWhatTheFileHolds)
{
    HostWriteFile(LogPath(), "[00:00:00.000]\tkept from an earlier run\r\n");
    SetSwitch("1");
    LogMessage(LOG_MODULE, "UpV5", LOG_INFO, "new");
    std::vector<std::string> lines = LinesWithoutTime();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "kept from an earlier run");
    EXPECT_EQ(lines[1], "[Upgrade.dll     - UpV5                          ]\tINFO \tnew");
}

TEST_F(LogTest, MessageIsCutAt4094Characters)
{
    SetSwitch("1");
    const std::string prefix = "[Upgrade.dll     - UpV5                          ]\tINFO \t";
    struct Case {
        size_t length;
        size_t kept;
    } cases[] = {{4093, 4093}, {4094, 4094}, {4095, 4094}, {10000, 4094}};
    for (const Case &c : cases) {
        CallDeleteLogFile();
        ASSERT_FALSE(HostFileExists(LogPath()));
        // A distinct last character shows where the cut fell.
        std::string message(c.length - 1, 'x');
        message += 'E';
        EXPECT_EQ(LogMessage(LOG_MODULE, "UpV5", LOG_INFO, "%s", message.c_str()), 0);
        std::vector<std::string> lines = LinesWithoutTime();
        ASSERT_EQ(lines.size(), 1u) << c.length;
        EXPECT_EQ(lines[0], prefix + message.substr(0, c.kept)) << c.length;
    }
}

// The cut never falls inside a character of more than one byte: the line
// then ends in whole letters, not in a '?' for half of one.
TEST_F(LogTest, MessageCutKeepsWholeCharacters)
{
    SetSwitch("1");
    const std::string prefix = "[Upgrade.dll     - UpV5                          ]\tINFO \t";
    std::string message(4093, 'x'); // then "\u00e9" takes bytes 4094 and 4095
    message += "\u00e9\u00e9";
    EXPECT_EQ(LogMessage(LOG_MODULE, "UpV5", LOG_INFO, "%s", message.c_str()), 0);
    std::vector<std::string> lines = LinesWithoutTime();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], prefix + std::string(4093, 'x'));
}

TEST_F(LogTest, LevelOutsideTheTableIsWrittenAsQuestionMark)
{
    SetSwitch("1");
    LogMessage(LOG_MODULE, "UpV5", static_cast<LogLevel>(3), "three");
    LogMessage(LOG_MODULE, "UpV5", static_cast<LogLevel>(-1), "minus one");
    LogMessage(LOG_MODULE, "UpV5", static_cast<LogLevel>(1000000), "large");
    EXPECT_EQ(LinesWithoutTime(), (std::vector<std::string>{
                                      "[Upgrade.dll     - UpV5                          ]\t?    \tthree",
                                      "[Upgrade.dll     - UpV5                          ]\t?    \tminus one",
                                      "[Upgrade.dll     - UpV5                          ]\t?    \tlarge",
                                  }));
}

TEST_F(LogTest, FileOpenForReadingElsewhereStillTakesLines)
{
    SetSwitch("1");
    LogMessage(LOG_MODULE, "UpV5", LOG_INFO, "first");
    OsFile *reader = OsFopen(LogPath().c_str(), "rb");
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(LogMessage(LOG_MODULE, "UpV5", LOG_INFO, "second"), 0);
    OsFclose(reader);
    EXPECT_EQ(LinesWithoutTime().size(), 2u);
}

TEST_F(LogTest, FailedCloseAfterWritingGivesMinusOne)
{
    if (!CanMakeLinks())
        GTEST_SKIP() << "needs a log file linked to /dev/full";
    // The line sits in the stream's buffer until the close flushes it, and
    // /dev/full takes no data.
    MakeUnixLink("/dev/full", LogPath());
    SetSwitch("1");
    EXPECT_EQ(LogMessage(LOG_MODULE, "UpV5", LOG_INFO, "lost"), -1);
    // The upgrade export hands on its last line's result: a version 5 ends
    // the call right after the first lines.
    const HostExports &exports = HostGetExports();
    if (exports.UpgradeToVersion5) {
        EXPECT_EQ(exports.UpgradeToVersion5(5, "C:\\lwtest\\old"), -1);
    }
    SetSwitch("");
    EXPECT_EQ(LogMessage(LOG_MODULE, "UpV5", LOG_INFO, "not even tried"), 0);
    RemoveLink(LogPath());
}

TEST_F(LogTest, FileThatCannotBeOpenedGivesZero)
{
    if (!HostIsSimulated())
        GTEST_SKIP() << "needs a simulated open failure";
#ifndef _WIN32
    SetSwitch("1");
    SimFailOperation(SIM_OP_FOPEN, LogPath().c_str(), OS_ERROR_SHARING_VIOLATION);
    EXPECT_EQ(LogMessage(LOG_MODULE, "UpV5", LOG_INFO, "lost"), 0);
    SimClearFaults();
    EXPECT_FALSE(HostFileExists(LogPath()));
#endif
}

TEST_F(LogTest, NoApplicationDataFolderMeansNoLog)
{
    if (!HostIsSimulated())
        GTEST_SKIP() << "needs a missing shell folder";
#ifndef _WIN32
    SetSwitch("1");
    const std::string appData = HostShellFolder(OS_CSIDL_APPDATA);
    SimSetShellFolder(OS_CSIDL_APPDATA, nullptr);
    char path[OS_PATH_BUFFER] = "garbage";
    EXPECT_EQ(LogFilePath(path), 0);
    EXPECT_STREQ(path, "");
    EXPECT_EQ(LogMessage(LOG_MODULE, "UpV5", LOG_INFO, "lost"), 0);
    EXPECT_EQ(CallDeleteLogFile(), 0);
    EXPECT_TRUE(HostList(appData).empty());
#endif
}

TEST_F(LogTest, FolderTooDeepForTheFileNameIsNoLogPath)
{
    if (!HostIsSimulated())
        GTEST_SKIP() << "needs a relocated shell folder";
#ifndef _WIN32
    // 250 characters: the folder itself fits, "\LWInst.log" does not.
    std::string deep = "C:\\lwtest\\" + std::string(240, 'd');
    SimSetShellFolder(OS_CSIDL_APPDATA, deep.c_str());
    ASSERT_TRUE(HostFolderExists(deep));
    char path[OS_PATH_BUFFER];
    EXPECT_EQ(LogFilePath(path), 0);
    EXPECT_STREQ(path, "");
    SetSwitch("1");
    EXPECT_EQ(LogMessage(LOG_MODULE, "UpV5", LOG_INFO, "lost"), 0);
    EXPECT_EQ(CallDeleteLogFile(), 0);
    EXPECT_TRUE(HostFolderExists(deep));
    EXPECT_TRUE(HostList(deep).empty());
#endif
}

TEST_F(LogTest, LogFilePathIsInApplicationData)
{
    char path[OS_PATH_BUFFER];
    ASSERT_EQ(LogFilePath(path), 1);
    EXPECT_EQ(std::string(path), LogPath());
}

TEST_F(LogTest, DeleteLogFileRemovesTheLogWhateverTheSwitch)
{
    struct Case {
        const char *switchText;
        bool logPresent;
    } cases[] = {{"1", true}, {"", true}, {"1", false}, {"", false}};
    for (const Case &c : cases) {
        HostReset();
        if (c.logPresent)
            HostWriteFile(LogPath(), "[00:00:00.000]\tearlier line\r\n");
        SetSwitch(c.switchText);
        int result = CallDeleteLogFile();
        EXPECT_EQ(result != 0, c.logPresent) << "switch '" << c.switchText << "'";
        EXPECT_FALSE(HostFileExists(LogPath()));
    }
}

TEST_F(LogTest, LoggingGoesOnAfterTheLogWasDeleted)
{
    SetSwitch("1");
    LogMessage(LOG_MODULE, "UpV5", LOG_INFO, "before");
    EXPECT_NE(CallDeleteLogFile(), 0);
    EXPECT_EQ(CallDeleteLogFile(), 0);
    LogMessage(LOG_MODULE, "UpV5", LOG_INFO, "after");
    EXPECT_EQ(LinesWithoutTime(), (std::vector<std::string>{
                                      "[Upgrade.dll     - UpV5                          ]\tINFO \tafter",
                                  }));
}

} // namespace
