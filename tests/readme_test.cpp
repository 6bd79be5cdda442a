// The readme left in the retired old folder: its exact bytes on disk, its log
// lines, and the cases where it is not written.
#include "upgrade/upgrade.h"
#include "support/host.h"
#include "support/old_installation.h"
#include "support/log_reader.h"

#ifndef _WIN32
#include "platform/sim_host.h"
#endif

#include <algorithm>
#include <string>
#include <vector>

namespace {

using namespace expected;

const std::string kFolder = "C:\\lwtest\\Ledgerwick OLD";

using Line = LogEntry;

std::vector<Line> ReadLog() { return ReadLogEntries(); }

// The whole log as "section: LEVEL message".
std::vector<std::string> Log()
{
    std::vector<std::string> out;
    for (const Line &line : ReadLog())
        out.push_back(line.section + ": " + line.level + " " + line.message);
    return out;
}

// The log keeps the first 4094 characters of a message.
std::string Kept(const std::string &message)
{
    return message.substr(0, 4094);
}

std::vector<std::string> Block(const std::string &folder, const std::string &data,
                               const std::vector<std::string> &middle)
{
    std::vector<std::string> lines{"WriteReadme: INFO ----## Started ##----",
                                   "WriteReadme: INFO " + Kept("OLD_DatafilePath: " + folder),
                                   "WriteReadme: INFO " + Kept("NEW_DatafilePath: " + data)};
    for (const std::string &line : middle)
        lines.push_back("WriteReadme: " + line);
    lines.push_back("WriteReadme: INFO ----## Finished ##----");
    return lines;
}

class ReadmeTest : public HostTest {
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        EnableLog();
    }
    static void EnableLog() { HostRegSetText(OS_HKEY_CURRENT_USER, "EnableDebugLog", "1"); }
    static void Fresh()
    {
        HostReset();
        EnableLog();
    }
};

TEST_F(ReadmeTest, TheNoteHoldsExactlyTheTemplateWithTheDataFolderInTextMode)
{
    const std::string longest = "C:\\lwtest\\" + std::string(120, 'd') + "\\" + std::string(128, 'e');
    ASSERT_EQ(longest.size(), 259u);
    const struct {
        std::string folderArgument;
        std::string data;
    } cases[] = {
        {kFolder, "C:\\Users\\lw\\Documents\\Ledgerwick Data"},
        {kFolder + "\\", "D:\\Books"},
        {kFolder, ""},
        {kFolder, "D:\\100% sure\\%s %d %n data"}, // a path is never read as a format
        {kFolder, longest},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.folderArgument + " / " + c.data);
        Fresh();
        HostMakeFolder(kFolder);

        WriteReadme(c.folderArgument.c_str(), c.data.c_str());

        std::string bytes = HostReadFile(kFolder + "\\_Readme.txt");
        EXPECT_EQ(bytes, OnDisk(ReadmeText(c.data)));
        EXPECT_EQ(bytes.size(), 507 + c.data.size());
        EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 8);
        EXPECT_EQ(bytes.substr(bytes.size() - 6), "doing.");
        EXPECT_EQ(HostList(kFolder), std::vector<std::string>{"_Readme.txt"});
        EXPECT_EQ(Log(), Block(c.folderArgument, c.data,
                               {"INFO Exists: " + c.folderArgument, "INFO Displayed: " + ReadmeText(c.data)}));
    }
}

TEST_F(ReadmeTest, AnEarlierNoteIsReplacedNotAppendedTo)
{
    HostWriteFile(kFolder + "\\_Readme.txt", std::string(2000, 'x') + "\r\n");
    WriteReadme(kFolder.c_str(), "D:\\Books");
    EXPECT_EQ(HostReadFile(kFolder + "\\_Readme.txt"), OnDisk(ReadmeText("D:\\Books")));
}

TEST_F(ReadmeTest, NothingIsWrittenWhereThereIsNoFolderOrThePathWouldNotFit)
{
    const std::string deep = "C:\\lwtest\\" + std::string(120, 'o') + "\\" + std::string(119, 'l');
    ASSERT_EQ(deep.size(), 250u); // 250 + "\_Readme.txt" is 262 characters
    const std::string hugeData(4501, 'z'); // 499 + 4501 characters outgrow the note's 5000
    const std::string hugeRefusal = Kept("Path too long, left alone: " + hugeData);
    const struct {
        const char *what;
        std::string folder;
        bool make;
        std::string data;
        std::vector<std::string> middle;
    } cases[] = {
        {"the folder is missing", kFolder, false, "D:\\Books", {"ERROR Not Exist: " + kFolder}},
        {"the folder is too deep for the name", deep, true, "D:\\Books",
         {"INFO Exists: " + deep, "ERROR Path too long, left alone: " + deep + "\\_Readme.txt"}},
        {"the data folder does not fit the note", kFolder, true, hugeData,
         {"INFO Exists: " + kFolder, "ERROR " + hugeRefusal}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        Fresh();
        if (c.make)
            HostMakeFolder(c.folder);

        WriteReadme(c.folder.c_str(), c.data.c_str());

        EXPECT_EQ(HostFolderExists(c.folder), c.make);
        EXPECT_TRUE(HostList(c.folder).empty());
        EXPECT_EQ(Log(), Block(c.folder, c.data, c.middle));
    }
}

TEST_F(ReadmeTest, ANoteThatCannotBeCreatedIsStillDisplayedWithoutAnError)
{
    if (!HostIsSimulated())
        GTEST_SKIP() << "needs a file that fails to open";
#ifndef _WIN32
    HostMakeFolder(kFolder);
    SimFailOperation(SIM_OP_FOPEN, (kFolder + "\\_Readme.txt").c_str(), OS_ERROR_ACCESS_DENIED);
    WriteReadme(kFolder.c_str(), "D:\\Books");
    SimClearFaults();
    EXPECT_TRUE(HostList(kFolder).empty());
    EXPECT_EQ(Log(), Block(kFolder, "D:\\Books",
                           {"INFO Exists: " + kFolder, "INFO Displayed: " + ReadmeText("D:\\Books")}));
#endif
}

} // namespace
