// The data-file location checks: when the last-opened file counts as carried
// into the data folder, and when its setting is cleared.
#include "upgrade/upgrade.h"
#include "support/host.h"
#include "support/log_reader.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

const char kMovedSection[] = "CheckIfDatafileMoved";
const char kValidateSection[] = "ValidateLastLedgerwickOpenedInDatafileFolder";
const char kMissing[] = "<missing>";
const char kOld[] = "C:\\Ledgerwick";
const char kNew[] = "C:\\lwtest\\Ledgerwick Data";

// The messages of the log, each prefixed with its level when that is not
// INFO. Every line must carry the given section.
std::vector<std::string> LogMessages(const char *section)
{
    std::vector<std::string> messages;
    for (const LogEntry &entry : ReadLogEntries()) {
        EXPECT_EQ(entry.section, section) << entry.message;
        messages.push_back(entry.level == "INFO" ? entry.message : entry.level + " " + entry.message);
    }
    return messages;
}

bool Contains(const std::vector<std::string> &messages, const std::string &message)
{
    for (const std::string &m : messages)
        if (m == message)
            return true;
    return false;
}

std::string Setting(const char *name)
{
    std::string bytes;
    if (!HostRegGet(OS_HKEY_CURRENT_USER, name, &bytes))
        return kMissing;
    if (!bytes.empty() && bytes.back() == '\0')
        bytes.pop_back();
    return bytes;
}

class DatafileChecksTest : public HostTest {
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        HostRegSetText(OS_HKEY_CURRENT_USER, "EnableDebugLog", "1");
    }
};

// ---------------------------------------------------------------------------
// CheckIfDatafileMoved

TEST_F(DatafileChecksTest, MovedFileIsRepointedWithItsFullTrace)
{
    HostWriteFile("C:\\Ledgerwick\\Accounts.OLD", "books");
    HostWriteFile("C:\\lwtest\\Ledgerwick Data\\Accounts.LW", "books");
    char current[OS_PATH_BUFFER] = "C:\\Ledgerwick\\Accounts.LW";

    EXPECT_EQ(CheckIfDatafileMoved(current, kOld, kNew), 1);

    EXPECT_STREQ(current, "C:\\lwtest\\Ledgerwick Data\\Accounts.LW");
    // The function only reports the move; the caller stores it.
    EXPECT_EQ(Setting("LastLedgerwickOpenedInDataFolder"), kMissing);
    std::vector<std::string> expected = {
        "----## Started ##----",
        "CURRENT_Datafile: C:\\Ledgerwick\\Accounts.LW",
        "OLD_DatafilePath: C:\\Ledgerwick",
        "NEW_DatafilePath: C:\\lwtest\\Ledgerwick Data",
        "Temp: C:\\Ledgerwick\\",
        "DatafilePath: C:\\Ledgerwick\\",
        "DatafilePath is same as Temp, datafile should have been moved to Ledgerwick Data",
        "File Not Exist: CURRENT_Datafile (C:\\Ledgerwick\\Accounts.LW)",
        "File Exists: DatafilePath (C:\\lwtest\\Ledgerwick Data\\Accounts.LW)",
        "Has Moved to New Path",
        "CURRENT_Datafile: C:\\Ledgerwick\\Accounts.LW",
        "DatafilePath: C:\\lwtest\\Ledgerwick Data\\Accounts.LW",
        "HasMovedToNewPath: Y",
        "----## Finished ##----",
    };
    EXPECT_EQ(LogMessages(kMovedSection), expected);
}

// The file of that name in the data folder is another file than the one
// left under its ".OLD" name: the setting is not pointed at it.
TEST_F(DatafileChecksTest, DifferentFileInTheDataFolderIsNotPointedAt)
{
    HostWriteFile("C:\\Ledgerwick\\Accounts.OLD", "the user's latest books");
    HostWriteFile("C:\\lwtest\\Ledgerwick Data\\Accounts.LW", "some other books");
    char current[OS_PATH_BUFFER] = "C:\\Ledgerwick\\Accounts.LW";

    EXPECT_EQ(CheckIfDatafileMoved(current, kOld, kNew), 0);

    EXPECT_STREQ(current, "C:\\Ledgerwick\\Accounts.LW");
    std::vector<std::string> log = LogMessages(kMovedSection);
    EXPECT_NE(std::find(log.begin(), log.end(), "HasMovedToNewPath: N"), log.end());
    EXPECT_EQ(std::find(log.begin(), log.end(), "Has Moved to New Path"), log.end());
}

TEST_F(DatafileChecksTest, EmptyCurrentDatafileSkipsToTheEnd)
{
    char current[OS_PATH_BUFFER] = "";

    EXPECT_EQ(CheckIfDatafileMoved(current, kOld, kNew), 0);

    EXPECT_STREQ(current, "");
    std::vector<std::string> expected = {
        "----## Started ##----",
        "CURRENT_Datafile: [NULL]",
        "OLD_DatafilePath: C:\\Ledgerwick",
        "NEW_DatafilePath: C:\\lwtest\\Ledgerwick Data",
        "HasMovedToNewPath: N",
        "----## Finished ##----",
    };
    EXPECT_EQ(LogMessages(kMovedSection), expected);
}

struct MovedCase {
    const char *name;
    std::string current;
    std::string oldFolder;
    std::string newFolder;
    std::vector<std::string> files;   // made before the call
    std::vector<std::string> folders; // made before the call
    bool moved;
    std::string after; // CURRENT_Datafile on return
    std::string line;  // a message the decision shows
};

void PrintTo(const MovedCase &c, std::ostream *os) { *os << c.name; }

std::string Repeat(char c, size_t n) { return std::string(n, c); }

std::vector<MovedCase> MovedCases()
{
    const std::string copy = "C:\\lwtest\\Ledgerwick Data\\Accounts.LW";
    const std::string earlier = "C:\\Ledgerwick\\Accounts.OLD";
    const std::string left = "DatafilePath is not the same as Temp, datafile should have been left";
    // 250 characters: joined with "\Accounts.LW" it no longer fits a path.
    const std::string deepNew = "C:\\lwtest\\" + Repeat('d', 240);
    // 259 characters: no room for the trailing backslash.
    const std::string deepOld = "C:\\lwtest\\" + Repeat('o', 249);
    return {
        {"Moved", "C:\\Ledgerwick\\Accounts.LW", kOld, kNew, {earlier, copy}, {}, true, copy, "Has Moved to New Path"},
        {"OldFolderOtherCaseAndBackslash", "C:\\Ledgerwick\\Accounts.LW", "c:\\LEDGERWICK\\", kNew, {copy}, {},
         true, copy, "Temp: c:\\LEDGERWICK\\"},
        {"CurrentOtherCase", "c:\\ledgerwick\\accounts.lw", kOld, kNew, {copy}, {}, true,
         "C:\\lwtest\\Ledgerwick Data\\accounts.lw", "Has Moved to New Path"},
        {"NewFolderWithBackslash", "C:\\Ledgerwick\\Accounts.LW", kOld, std::string(kNew) + "\\", {copy}, {}, true,
         copy, "Has Moved to New Path"},
        {"StillInOldFolder", "C:\\Ledgerwick\\Accounts.LW", kOld, kNew, {"C:\\Ledgerwick\\Accounts.LW", copy}, {},
         false, "C:\\Ledgerwick\\Accounts.LW", "File Exists: CURRENT_Datafile (C:\\Ledgerwick\\Accounts.LW)"},
        {"CopyMissing", "C:\\Ledgerwick\\Accounts.LW", kOld, kNew, {earlier}, {kNew}, false,
         "C:\\Ledgerwick\\Accounts.LW", "File Not Exist: DatafilePath (" + copy + ")"},
        {"CopyIsAFolder", "C:\\Ledgerwick\\Accounts.LW", kOld, kNew, {}, {copy}, false, "C:\\Ledgerwick\\Accounts.LW",
         "File Not Exist: DatafilePath (" + copy + ")"},
        {"SubFolderOfOld", "C:\\Ledgerwick\\Clients\\Accounts.LW", kOld, kNew, {copy}, {}, false,
         "C:\\Ledgerwick\\Clients\\Accounts.LW", left},
        {"OldIsOnlyAPrefix", "C:\\Ledgerwick\\Accounts.LW", "C:\\Ledger", kNew, {copy}, {}, false,
         "C:\\Ledgerwick\\Accounts.LW", left},
        {"Elsewhere", "C:\\lwtest\\Other\\Accounts.LW", kOld, kNew, {copy}, {}, false, "C:\\lwtest\\Other\\Accounts.LW",
         left},
        {"NoFolderInName", "Accounts.LW", kOld, kNew, {copy}, {}, false, "Accounts.LW", "HasMovedToNewPath: N"},
        {"NoDataFolder", "C:\\Ledgerwick\\Accounts.LW", kOld, "", {}, {}, false, "C:\\Ledgerwick\\Accounts.LW",
         "ERROR Not Found: NEW_DatafilePath"},
        {"CandidateTooLong", "C:\\Ledgerwick\\Accounts.LW", kOld, deepNew, {}, {}, false, "C:\\Ledgerwick\\Accounts.LW",
         "ERROR Path too long: NEW_DatafilePath (" + deepNew + ")"},
        {"OldFolderTooLong", "C:\\Ledgerwick\\Accounts.LW", deepOld, kNew, {copy}, {}, false,
         "C:\\Ledgerwick\\Accounts.LW", "ERROR Path too long: OLD_DatafilePath (" + deepOld + ")"},
    };
}

class CheckIfDatafileMovedTest : public DatafileChecksTest, public ::testing::WithParamInterface<MovedCase> {};

TEST_P(CheckIfDatafileMovedTest, RepointsOnlyAFileCarriedFromTheOldFolder)
{
    const MovedCase &c = GetParam();
    for (const std::string &folder : c.folders)
        HostMakeFolder(folder);
    for (const std::string &file : c.files)
        HostWriteFile(file, "books");
    char current[OS_PATH_BUFFER];
    ASSERT_TRUE(TextCopyWhole(current, sizeof current, c.current.c_str()));

    EXPECT_EQ(CheckIfDatafileMoved(current, c.oldFolder.c_str(), c.newFolder.c_str()), c.moved ? 1 : 0);

    EXPECT_EQ(std::string(current), c.after);
    std::vector<std::string> messages = LogMessages(kMovedSection);
    EXPECT_TRUE(Contains(messages, c.line)) << ::testing::PrintToString(messages);
    EXPECT_TRUE(Contains(messages, c.moved ? "HasMovedToNewPath: Y" : "HasMovedToNewPath: N"));
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back(), "----## Finished ##----");
}

INSTANTIATE_TEST_SUITE_P(Cases, CheckIfDatafileMovedTest, ::testing::ValuesIn(MovedCases()),
                         [](const ::testing::TestParamInfo<MovedCase> &info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// ValidateLastLedgerwickOpenedInDatafileFolder

struct ValidateCase {
    const char *name;
    const char *lastOpened;   // null: no value
    const char *datafilePath; // null: no value
    bool lastOpenedExists;    // the file is made on disk first
    std::string after;        // the last-opened setting afterwards
    std::vector<std::string> messages;
};

void PrintTo(const ValidateCase &c, std::ostream *os) { *os << c.name; }

std::vector<ValidateCase> ValidateCases()
{
    const std::string cleared = "Paths are not the same, Setting LastLedgerwickOpenedInDataFolder = ''";
    // Static: the cases keep pointers to these texts.
    static const std::string file = "C:\\lwtest\\Ledgerwick Data\\Accounts.LW";
    static const std::string maxFolder = "C:\\lwtest\\" + Repeat('m', 249);
    static const std::string tooLong = "C:\\lwtest\\" + Repeat('x', 300) + ".LW";
    return {
        {"SameFolderOtherCase", "c:\\lwtest\\ledgerwick data\\Accounts.LW", kNew, false,
         "c:\\lwtest\\ledgerwick data\\Accounts.LW",
         {"LastLW: c:\\lwtest\\ledgerwick data\\", "DatafileFolderPath: C:\\lwtest\\Ledgerwick Data",
          "Testing c:\\lwtest\\ledgerwick data\\ = C:\\lwtest\\Ledgerwick Data\\ ?", "Paths are the same"}},
        {"SameFolderFilePresent", file.c_str(), kNew, true, file,
         {"LastLW: C:\\lwtest\\Ledgerwick Data\\", "DatafileFolderPath: C:\\lwtest\\Ledgerwick Data",
          "Testing C:\\lwtest\\Ledgerwick Data\\ = C:\\lwtest\\Ledgerwick Data\\ ?", "Paths are the same"}},
        {"DataFolderWithBackslash", file.c_str(), "C:\\lwtest\\Ledgerwick Data\\", false, file,
         {"LastLW: C:\\lwtest\\Ledgerwick Data\\", "DatafileFolderPath: C:\\lwtest\\Ledgerwick Data\\",
          "Testing C:\\lwtest\\Ledgerwick Data\\ = C:\\lwtest\\Ledgerwick Data\\ ?", "Paths are the same"}},
        {"SubFolderOfDataFolder", "C:\\lwtest\\Ledgerwick Data\\2007\\Accounts.LW", kNew, true, "",
         {"LastLW: C:\\lwtest\\Ledgerwick Data\\2007\\", "DatafileFolderPath: C:\\lwtest\\Ledgerwick Data",
          "Testing C:\\lwtest\\Ledgerwick Data\\2007\\ = C:\\lwtest\\Ledgerwick Data\\ ?", cleared}},
        {"FloppyRoot", "A:\\Accounts.LW", kNew, false, "",
         {"LastLW: A:\\", "DatafileFolderPath: C:\\lwtest\\Ledgerwick Data",
          "Testing A:\\ = C:\\lwtest\\Ledgerwick Data\\ ?", cleared}},
        {"NoFolderInValue", "Accounts.LW", kNew, false, "",
         {"LastLW: ", "DatafileFolderPath: C:\\lwtest\\Ledgerwick Data",
          "Testing  = C:\\lwtest\\Ledgerwick Data\\ ?", cleared}},
        // No room for the backslash: compared as it stands, nothing written
        // past its buffer.
        {"DataFolderOfMaxLength", file.c_str(), maxFolder.c_str(), false, "",
         {"LastLW: C:\\lwtest\\Ledgerwick Data\\", "DatafileFolderPath: " + maxFolder,
          "Testing C:\\lwtest\\Ledgerwick Data\\ = " + maxFolder + " ?", cleared}},
        {"NoDatafilePath", file.c_str(), nullptr, false, file,
         {"LastLW: C:\\lwtest\\Ledgerwick Data\\", "Unable to get DatafileFolderPath"}},
        {"EmptyDatafilePath", file.c_str(), "", false, file,
         {"LastLW: C:\\lwtest\\Ledgerwick Data\\", "Unable to get DatafileFolderPath"}},
        {"NoLastOpened", nullptr, kNew, false, kMissing, {"Unable to get LastLW"}},
        {"EmptyLastOpened", "", kNew, false, "", {"Unable to get LastLW"}},
        // Too long for its buffer, the value reads as absent and is left alone.
        {"LastOpenedTooLong", tooLong.c_str(), kNew, false, tooLong, {"Unable to get LastLW"}},
    };
}

class ValidateLastOpenedTest : public DatafileChecksTest, public ::testing::WithParamInterface<ValidateCase> {};

TEST_P(ValidateLastOpenedTest, ClearsOnlyAFileOutsideTheDataFolder)
{
    const ValidateCase &c = GetParam();
    if (c.lastOpened)
        HostRegSetText(OS_HKEY_CURRENT_USER, "LastLedgerwickOpenedInDataFolder", c.lastOpened);
    if (c.datafilePath)
        HostRegSetText(OS_HKEY_CURRENT_USER, "DatafilePath", c.datafilePath);
    if (c.lastOpenedExists)
        HostWriteFile(c.lastOpened, "books");

    ValidateLastLedgerwickOpenedInDatafileFolder();

    EXPECT_EQ(Setting("LastLedgerwickOpenedInDataFolder"), c.after);
    EXPECT_EQ(Setting("DatafilePath"), c.datafilePath ? c.datafilePath : kMissing);
    EXPECT_EQ(LogMessages(kValidateSection), c.messages);
}

INSTANTIATE_TEST_SUITE_P(Cases, ValidateLastOpenedTest, ::testing::ValuesIn(ValidateCases()),
                         [](const ::testing::TestParamInfo<ValidateCase> &info) { return std::string(info.param.name); });

} // namespace
