// Carrying the user's files into the data folder: the walk-through layout with
// its exact trees, contents and log, files already in the way, earlier ".OLD"
// copies that must not be deleted without a copy, refused over-long paths, and
// faults of the host in the middle of the transfer. Nothing may be lost.
#include "upgrade/upgrade.h"
#include "support/host.h"
#include "support/log_reader.h"

#include <gtest/gtest-spi.h>

#ifndef _WIN32
#include "platform/sim_host.h"
#endif

#include <algorithm>
#include <map>
#include <tuple>
#include <string>
#include <vector>

namespace {

const char kOld[] = "C:\\Ledgerwick";

struct LogLine {
    std::string section, level, message;
    bool operator==(const LogLine &o) const { return section == o.section && level == o.level && message == o.message; }
    bool operator<(const LogLine &o) const
    {
        return std::tie(section, level, message) < std::tie(o.section, o.level, o.message);
    }
};

std::ostream &operator<<(std::ostream &out, const LogLine &line)
{
    return out << "[" << line.section << "] " << line.level << " \"" << line.message << "\"";
}

LogLine T(const std::string &message, const char *level = "INFO") { return {"TransferUserFiles", level, message}; }
LogLine E(const std::string &message) { return {"PerformActionOnFiles", "INFO", "\t" + message}; }
LogLine A(const std::string &message, bool done = true)
{
    return {"PerformActionOnFiles_DoAction", done ? "INFO" : "ERROR", "\t\t" + message};
}

// One complete block of the file engine, its per-file lines in any order.
std::vector<LogLine> Block(const std::string &action, const std::string &source, const std::string &destination,
                           const std::vector<LogLine> &files, int affected)
{
    std::vector<LogLine> lines = {E("----## Started ##----"), E("ActionToPerform: " + action), E("SrcPath: " + source),
                                  E("DstPath: " + destination), E("Validated Action")};
    lines.insert(lines.end(), files.begin(), files.end());
    lines.push_back(E("FilesAffected: " + std::to_string(affected)));
    lines.push_back(E("----## Finished ##----"));
    return lines;
}

std::vector<LogLine> Join(std::vector<std::vector<LogLine>> parts)
{
    std::vector<LogLine> all;
    for (auto &part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

class TransferTest : public HostTest {
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        HostRegSetText(OS_HKEY_CURRENT_USER, "EnableDebugLog", "1");
        data = HostShellFolder(OS_CSIDL_PERSONAL) + "\\Ledgerwick Data";
    }

    std::string data;

    static std::string Old(const std::string &rel) { return std::string(kOld) + "\\" + rel; }
    std::string New(const std::string &rel) const { return data + "\\" + rel; }

    // Distinct binary contents per file, so a file found elsewhere is known
    // to be that very file.
    static std::string Bytes(const std::string &tag) { return tag + std::string("\0\r\n\x1a\xff", 5) + tag + "\n"; }

    // The walk-through's old installation: program file, data file, leftover,
    // two backups and a letter.
    static void LayOutWalkThrough()
    {
        HostWriteFile(Old("LEDGER.EXE"), Bytes("program"));
        HostWriteFile(Old("Accounts.LW"), Bytes("accounts"));
        HostWriteFile(Old("Accounts.LDB"), Bytes("lock"));
        HostWriteFile(Old("Backups\\Accounts.BK1"), Bytes("bk1"));
        HostWriteFile(Old("Backups\\Accounts.BK2"), Bytes("bk2"));
        HostWriteFile(Old("Letters\\Reminder.RTF"), Bytes("letter"));
    }

    void Transfer() const { TransferUserFiles(kOld, data.c_str()); }

    static std::vector<LogLine> ReadLog()
    {
        std::vector<LogLine> lines;
        for (const LogEntry &entry : ReadLogEntries())
            lines.push_back({entry.section, entry.level, entry.message});
        return lines;
    }

    // Compares the log with the expected one: lines of this step in order,
    // and between two of them the engine's lines as a set (the order in
    // which a folder's entries are enumerated is not promised).
    static void ExpectLog(const std::vector<LogLine> &expected)
    {
        auto group = [](const std::vector<LogLine> &lines) {
            std::vector<std::pair<LogLine, std::vector<LogLine>>> groups;
            for (const LogLine &line : lines) {
                if (line.section == "TransferUserFiles" || groups.empty())
                    groups.push_back({line, {}});
                else
                    groups.back().second.push_back(line);
            }
            for (auto &g : groups) {
                // Every engine segment opens and closes one outer block.
                if (!g.second.empty()) {
                    EXPECT_EQ(g.second.front(), E("----## Started ##----")) << "after " << g.first;
                    EXPECT_EQ(g.second.back(), E("----## Finished ##----")) << "after " << g.first;
                }
                std::sort(g.second.begin(), g.second.end());
            }
            return groups;
        };
        auto got = group(ReadLog());
        auto want = group(expected);
        ASSERT_EQ(got.size(), want.size());
        for (size_t i = 0; i < want.size(); i++) {
            EXPECT_EQ(got[i].first, want[i].first) << "line group " << i;
            EXPECT_EQ(got[i].second, want[i].second) << "engine lines after " << want[i].first;
        }
    }

    static bool LogHas(const LogLine &line)
    {
        auto lines = ReadLog();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
};

TEST_F(TransferTest, WalkThroughLayoutEndsInExactTreesAndLog)
{
    LayOutWalkThrough();
    Transfer();

    EXPECT_EQ(HostTree(kOld), (std::vector<std::string>{"Accounts.OLD", "LEDGER.EXE"}));
    EXPECT_EQ(HostList(kOld), (std::vector<std::string>{"Accounts.OLD", "LEDGER.EXE"})) << "emptied folders removed";
    EXPECT_EQ(HostTree(data), (std::vector<std::string>{"Accounts.LW", "Automated Backups\\Accounts.BK1",
                                                         "Automated Backups\\Accounts.BK2", "Letters\\Reminder.RTF"}));
    EXPECT_EQ(HostReadFile(New("Accounts.LW")), Bytes("accounts"));
    EXPECT_EQ(HostReadFile(Old("Accounts.OLD")), Bytes("accounts"));
    EXPECT_EQ(HostReadFile(Old("LEDGER.EXE")), Bytes("program"));
    EXPECT_EQ(HostReadFile(New("Automated Backups\\Accounts.BK1")), Bytes("bk1"));
    EXPECT_EQ(HostReadFile(New("Automated Backups\\Accounts.BK2")), Bytes("bk2"));
    EXPECT_EQ(HostReadFile(New("Letters\\Reminder.RTF")), Bytes("letter"));

    const std::string old = kOld, oldSlash = old + "\\";
    ExpectLog(Join({
        {T("----## Started ##----"), T("OLD_DatafilePath: " + old), T("NEW_DatafilePath: " + data),
         T("Copying .LW and .OLD to new datafile folder"), T("Old: " + old), T("v5:  " + data)},
        Block("COPY", old, data, {A("COPY: Y - " + Old("Accounts.LW") + " => " + New("Accounts.LW"))}, 1),
        {T("Deleting .OLD file from old ledgerwick folder"), T("Old: " + oldSlash)},
        Block("DELETE", oldSlash, "[NULL]", {}, 0),
        {T("Renaming .LW to .OLD in old ledgerwick folder"), T("Old: " + oldSlash)},
        Block("RENAME_EXT", oldSlash, ".OLD", {A("RENAME_EXT: Y - " + Old("Accounts.LW") + " => .OLD")}, 1),
        {T("Delete any temp files that ledgerwick hasn't cleaned up"), T("Old: " + oldSlash)},
        Block("DELETE", oldSlash, "[NULL]",
              Join({{A("DELETE: Y - " + Old("Accounts.LDB") + " => [NULL]")},
                    Block("DELETE", Old("Backups"), "[NULL]", {}, 0),
                    Block("DELETE", Old("Letters"), "[NULL]", {}, 0)}),
              1),
        {T("Moving the 'Backups' to new datafile folder"), T("Old: " + Old("Backups")),
         T("v5:  " + New("Automated Backups"))},
        Block("MOVE", Old("Backups"), New("Automated Backups"),
              {A("MOVE: Y - " + Old("Backups\\Accounts.BK1") + " => " + New("Automated Backups\\Accounts.BK1")),
               A("MOVE: Y - " + Old("Backups\\Accounts.BK2") + " => " + New("Automated Backups\\Accounts.BK2"))},
              2),
        {T("Moving the 'Letters' to new datafile folder"), T("Old: " + Old("Letters")), T("v5:  " + New("Letters"))},
        Block("MOVE", Old("Letters"), New("Letters"),
              {A("MOVE: Y - " + Old("Letters\\Reminder.RTF") + " => " + New("Letters\\Reminder.RTF"))}, 1),
        {T("----## Finished ##----")},
    }));
}

TEST_F(TransferTest, FilesAlreadyInTheDataFolder)
{
    LayOutWalkThrough();
    HostWriteFile(Old("Letters\\2004\\Late.rtf"), Bytes("late"));
    HostWriteFile(Old("Backups\\Note.txt"), Bytes("note"));
    HostWriteFile(New("Accounts.LW"), Bytes("other"));
    HostWriteFile(New("Automated Backups\\Accounts.BK1"), Bytes("newer bk1"));
    // An earlier copy that a run before carried over, and a different file
    // of its name that has since turned up in the old folder.
    HostWriteFile(New("Books.OLD"), Bytes("earliest"));
    HostWriteFile(Old("Books.OLD"), Bytes("books"));
    Transfer();

    // Neither a copy nor a move replaces a different file: both files stay,
    // and the one not carried keeps its name.
    EXPECT_EQ(HostReadFile(New("Accounts.LW")), Bytes("other"));
    EXPECT_EQ(HostReadFile(Old("Accounts.LW")), Bytes("accounts"));
    EXPECT_TRUE(LogHas(T("Not Carried: " + Old("Accounts.LW") +
                             ", no identical copy in new datafile folder, kept under its name",
                         "ERROR")));
    EXPECT_EQ(HostReadFile(New("Books.OLD")), Bytes("earliest"));
    EXPECT_EQ(HostReadFile(Old("Books.OLD")), Bytes("books"));
    EXPECT_TRUE(LogHas(T("Not Copied: " + Old("Accounts.LW") + ", a different file of that name is in new datafile folder",
                         "ERROR")));
    EXPECT_EQ(HostReadFile(New("Automated Backups\\Accounts.BK1")), Bytes("newer bk1"));
    EXPECT_EQ(HostReadFile(Old("Backups\\Accounts.BK1")), Bytes("bk1"));
    EXPECT_EQ(HostReadFile(New("Automated Backups\\Accounts.BK2")), Bytes("bk2"));
    EXPECT_EQ(HostReadFile(New("Letters\\2004\\Late.rtf")), Bytes("late"));
    EXPECT_EQ(HostTree(kOld), (std::vector<std::string>{"Accounts.LW", "Backups\\Accounts.BK1",
                                                         "Backups\\Note.txt", "Books.OLD", "LEDGER.EXE"}));
    EXPECT_EQ(HostTree(data), (std::vector<std::string>{"Accounts.LW", "Automated Backups\\Accounts.BK1",
                                                         "Automated Backups\\Accounts.BK2", "Books.OLD",
                                                         "Letters\\2004\\Late.rtf", "Letters\\Reminder.RTF"}));
    EXPECT_TRUE(LogHas(A("MOVE: N - " + Old("Backups\\Accounts.BK1") + " => " + New("Automated Backups\\Accounts.BK1"),
                         false)));
}

TEST_F(TransferTest, WithoutBackupsOrLettersTheTransferStillEnds)
{
    HostWriteFile(Old("accounts.lw"), Bytes("lower"));
    Transfer();
    EXPECT_EQ(HostTree(kOld), std::vector<std::string>{"accounts.OLD"});
    EXPECT_EQ(HostTree(data), std::vector<std::string>{"accounts.lw"});
    EXPECT_EQ(HostReadFile(New("accounts.lw")), Bytes("lower"));
    auto lines = ReadLog();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), T("----## Finished ##----"));
    EXPECT_TRUE(LogHas(E("Not Validated Action")));
}

// An earlier copy may only go where the data folder now holds the same bytes;
// otherwise it is the user's only copy, and the data file then keeps its name.
TEST_F(TransferTest, EarlierCopiesAreDeletedOnlyWhereAnIdenticalCopyStands)
{
    enum Setup { Nothing, FolderInData, DifferentFileInData, CopyFails, DataFolderIsOldFolder };
    struct Case {
        const char *name;
        Setup setup;
        bool simulatedOnly;
        bool earlierCopyDeleted;
    } cases[] = {
        {"copied", Nothing, false, true},
        {"a folder of that name in the data folder", FolderInData, false, false},
        // The different file stops the copy before it is tried.
        {"a different file in the data folder", DifferentFileInData, false, false},
        {"copy fails", CopyFails, true, false},
        {"data folder is the old folder", DataFolderIsOldFolder, false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.simulatedOnly && !HostIsSimulated())
            continue;
        HostReset();
        HostRegSetText(OS_HKEY_CURRENT_USER, "EnableDebugLog", "1");
        HostWriteFile(Old("Accounts.LW"), Bytes("current"));
        HostWriteFile(Old("Accounts.OLD"), Bytes("earlier"));
        HostWriteFile(Old("Books.OLD"), Bytes("books"));
        std::string target = data;
        if (c.setup == FolderInData)
            HostMakeFolder(New("Accounts.OLD"));
        if (c.setup == DifferentFileInData)
            HostWriteFile(New("Accounts.OLD"), Bytes("other"));
#ifndef _WIN32
        if (c.setup == CopyFails)
            SimFailOperation(SIM_OP_COPY_FILE, Old("Accounts.OLD").c_str(), OS_ERROR_SHARING_VIOLATION);
#endif
        if (c.setup == DataFolderIsOldFolder)
            target = kOld;
        TransferUserFiles(kOld, target.c_str());
#ifndef _WIN32
        SimClearFaults();
#endif

        if (c.earlierCopyDeleted) {
            EXPECT_EQ(HostTree(kOld), std::vector<std::string>{"Accounts.OLD"});
            EXPECT_EQ(HostReadFile(Old("Accounts.OLD")), Bytes("current"));
            EXPECT_EQ(HostReadFile(New("Accounts.OLD")), Bytes("earlier"));
            EXPECT_EQ(HostReadFile(New("Books.OLD")), Bytes("books"));
            EXPECT_TRUE(LogHas(A("DELETE: Y - " + Old("Accounts.OLD") + " => [NULL]")));
            continue;
        }
        // The earlier copy and the data file both stay as they were.
        EXPECT_EQ(HostReadFile(Old("Accounts.OLD")), Bytes("earlier"));
        EXPECT_EQ(HostReadFile(Old("Accounts.LW")), Bytes("current"));
        EXPECT_TRUE(LogHas(T("Not Deleted: " + Old("Accounts.OLD") + ", no identical copy in new datafile folder",
                             "ERROR")));
        if (c.setup == DataFolderIsOldFolder)
            EXPECT_TRUE(LogHas(T("Not Carried: " + Old("Accounts.LW") +
                                     ", no identical copy in new datafile folder, kept under its name",
                                 "ERROR")));
        else
            EXPECT_TRUE(LogHas(A("RENAME_EXT: N - " + Old("Accounts.LW") + " => .OLD", false)));
        if (c.setup == DataFolderIsOldFolder) {
            EXPECT_EQ(HostTree(kOld), (std::vector<std::string>{"Accounts.LW", "Accounts.OLD", "Books.OLD"}));
            EXPECT_EQ(HostReadFile(Old("Books.OLD")), Bytes("books"));
        } else {
            // Books.OLD was copied, so it goes; Accounts.OLD in the data
            // folder is whatever stood there.
            EXPECT_EQ(HostTree(kOld), (std::vector<std::string>{"Accounts.LW", "Accounts.OLD"}));
            EXPECT_EQ(HostReadFile(New("Books.OLD")), Bytes("books"));
            EXPECT_EQ(HostReadFile(New("Accounts.LW")), Bytes("current"));
            if (c.setup == DifferentFileInData)
                EXPECT_EQ(HostReadFile(New("Accounts.OLD")), Bytes("other"));
            else
                EXPECT_FALSE(HostFileExists(New("Accounts.OLD")));
            EXPECT_EQ(HostFolderExists(New("Accounts.OLD")), c.setup == FolderInData);
        }
    }
}

// Files of the data folder with the size and last-write time of their
// namesakes in the old folder, but other bytes: nothing is carried over them,
// retired or deleted, and each refusal is told once.
TEST_F(TransferTest, FileThatOnlyLooksLikeItsCopyIsNoCopy)
{
    HostWriteFile(Old("Accounts.LW"), Bytes("accounts"));
    HostWriteFile(New("Accounts.LW"), Bytes("ACCOUNTS"));
    HostWriteFile(Old("Books.OLD"), Bytes("books"));
    HostWriteFile(New("Books.OLD"), Bytes("BOOKS"));
    for (const char *name : {"Accounts.LW", "Books.OLD"}) {
        HostCopyFileTime(Old(name), New(name));
        OsFileFacts old, copy;
        ASSERT_TRUE(OsGetFileFacts(Old(name).c_str(), &old) && OsGetFileFacts(New(name).c_str(), &copy));
        ASSERT_EQ(old.size, copy.size) << name;
        ASSERT_EQ(old.lastWrite, copy.lastWrite) << name;
    }
    Transfer();

    EXPECT_EQ(HostTree(kOld), (std::vector<std::string>{"Accounts.LW", "Books.OLD"}));
    EXPECT_EQ(HostReadFile(Old("Accounts.LW")), Bytes("accounts"));
    EXPECT_EQ(HostReadFile(Old("Books.OLD")), Bytes("books"));
    EXPECT_EQ(HostReadFile(New("Accounts.LW")), Bytes("ACCOUNTS"));
    EXPECT_EQ(HostReadFile(New("Books.OLD")), Bytes("BOOKS"));
    auto lines = ReadLog();
    for (const LogLine &refusal :
         {T("Not Copied: " + Old("Accounts.LW") + ", a different file of that name is in new datafile folder", "ERROR"),
          T("Not Copied: " + Old("Books.OLD") + ", a different file of that name is in new datafile folder", "ERROR"),
          T("Not Deleted: " + Old("Books.OLD") + ", no identical copy in new datafile folder", "ERROR"),
          T("Not Carried: " + Old("Accounts.LW") + ", no identical copy in new datafile folder, kept under its name",
            "ERROR")})
        EXPECT_EQ(std::count(lines.begin(), lines.end(), refusal), 1) << refusal;
}

TEST_F(TransferTest, OverLongOrMissingFoldersAreRefusedNotCut)
{
    const std::string longName(300, 'x');
    struct Case {
        const char *name;
        std::string oldPath, newPath, errorLine;
    } cases[] = {
        {"old folder too long", "C:\\" + longName, data, "Path too long, left alone: C:\\" + longName},
        {"data folder too long", kOld, "C:\\" + longName, "Path too long, left alone: C:\\" + longName},
        {"no data folder", kOld, "", "Not Found: OLD_DatafilePath or NEW_DatafilePath"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        HostReset();
        HostRegSetText(OS_HKEY_CURRENT_USER, "EnableDebugLog", "1");
        LayOutWalkThrough();
        auto before = HostTree(kOld);
        TransferUserFiles(c.oldPath.c_str(), c.newPath.c_str());
        EXPECT_EQ(HostTree(kOld), before);
        EXPECT_FALSE(HostFolderExists(data));
        EXPECT_TRUE(LogHas(T(c.errorLine, "ERROR")));
        auto lines = ReadLog();
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back(), T("----## Finished ##----"));
        for (const LogLine &line : lines)
            EXPECT_EQ(line.section, "TransferUserFiles") << "no file action may run: " << line;
    }
}

// A data folder with room for its files but not for "Automated Backups"
// behind it: the backups stay put, everything else goes on.
TEST_F(TransferTest, SubFolderThatDoesNotFitIsRefused)
{
    data = "C:\\lwtest\\" + std::string(235, 'd'); // 245 characters
    HostMakeFolder(data);
    LayOutWalkThrough();
    Transfer();
    EXPECT_TRUE(LogHas(T("Path too long, left alone: " + data + "\\Automated Backups", "ERROR")));
    EXPECT_EQ(HostReadFile(Old("Backups\\Accounts.BK1")), Bytes("bk1"));
    EXPECT_EQ(HostReadFile(Old("Backups\\Accounts.BK2")), Bytes("bk2"));
    EXPECT_EQ(HostReadFile(New("Accounts.LW")), Bytes("accounts"));
    EXPECT_EQ(HostReadFile(Old("Accounts.OLD")), Bytes("accounts"));
    // The letter's new path is too long for the engine: wherever it is, it
    // is there once and whole.
    bool moved = HostFileExists(New("Letters\\Reminder.RTF"));
    EXPECT_NE(moved, HostFileExists(Old("Letters\\Reminder.RTF")));
    EXPECT_EQ(HostReadFile(moved ? New("Letters\\Reminder.RTF") : Old("Letters\\Reminder.RTF")), Bytes("letter"));
}

#ifndef _WIN32
// Faults of the host while the files travel. Whatever fails, every user file
// that existed before is afterwards in the data folder or the old folder with
// its bytes (a data file possibly under its ".OLD" name).
TEST_F(TransferTest, NoUserFileIsLostWhenTheHostFails)
{
    struct Case {
        const char *name;
        SimOperation operation; // SIM_OP_COUNT: the volume fills up instead
        const char *path;      // relative to the old folder
        long long space;
        bool dataOnOtherDrive;
    } cases[] = {
        {"data file fails to copy", SIM_OP_COPY_FILE, "Accounts.LW", 0, false},
        {"earlier copy fails to copy", SIM_OP_COPY_FILE, "Accounts.OLD", 0, false},
        {"every copy fails", SIM_OP_COPY_FILE, nullptr, 0, false},
        {"backup locked", SIM_OP_MOVE_FILE, "Backups\\Accounts.BK1", 0, false},
        {"letter locked", SIM_OP_MOVE_FILE, "Letters\\Reminder.RTF", 0, false},
        {"earlier copy can't be deleted", SIM_OP_DELETE_FILE, "Accounts.OLD", 0, false},
        {"volume full after one copy", SIM_OP_COUNT, nullptr, 300, false},
        {"volume full at once", SIM_OP_COUNT, nullptr, 0, false},
        {"data volume full during the moves", SIM_OP_COUNT, nullptr, 700, true},
    };
    const std::vector<std::string> userFiles = {"Accounts.LW", "Accounts.OLD", "Books.LW",
                                                "Backups\\Accounts.BK1", "Backups\\Accounts.BK2",
                                                "Backups\\Accounts.BK3", "Letters\\Reminder.RTF",
                                                "Letters\\2004\\Late.RTF"};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        HostReset();
        HostRegSetText(OS_HKEY_CURRENT_USER, "EnableDebugLog", "1");
        data = HostShellFolder(OS_CSIDL_PERSONAL) + "\\Ledgerwick Data";
        if (c.dataOnOtherDrive) {
            SimSetDrive('D', OS_DRIVE_FIXED);
            data = "D:\\Ledgerwick Data";
        }
        std::map<std::string, std::string> contents;
        for (const std::string &rel : userFiles) {
            // About 100 bytes each, so the volume limits fall between files.
            contents[rel] = Bytes(rel + std::string(80, '.'));
            HostWriteFile(Old(rel), contents[rel]);
        }
        if (c.operation != SIM_OP_COUNT)
            SimFailOperation(c.operation, c.path ? Old(c.path).c_str() : nullptr, OS_ERROR_SHARING_VIOLATION);
        else
            SimSetVolumeSpace(c.dataOnOtherDrive ? 'D' : 'C', c.space);
        Transfer();
        SimClearFaults();
        SimSetVolumeSpace(c.dataOnOtherDrive ? 'D' : 'C', -1);

        std::map<std::string, std::string> found; // every file now under either folder
        for (const std::string &rel : HostTree(kOld))
            found["old\\" + rel] = HostReadFile(Old(rel));
        for (const std::string &rel : HostTree(data))
            found["new\\" + rel] = HostReadFile(New(rel));
        for (const auto &file : contents) {
            std::string name = file.first.substr(file.first.rfind('\\') + 1);
            std::string stem = name.substr(0, name.rfind('.'));
            bool kept = false;
            for (const auto &now : found) {
                std::string nowName = now.first.substr(now.first.rfind('\\') + 1);
                if (now.second == file.second && (nowName == name || nowName == stem + ".OLD"))
                    kept = true;
            }
            EXPECT_TRUE(kept) << file.first << " lost";
        }
    }
}

TEST_F(TransferTest, TheSameTransferWithoutFaultsMovesEverything)
{
    // The fault table's layout, untouched: proves that its checks look at
    // files that really travelled.
    HostWriteFile(Old("Accounts.LW"), Bytes("a"));
    HostWriteFile(Old("Accounts.OLD"), Bytes("b"));
    HostWriteFile(Old("Backups\\Accounts.BK3"), Bytes("c"));
    HostWriteFile(Old("Letters\\2004\\Late.RTF"), Bytes("d"));
    SimSetVolumeSpace('C', 1 << 20);
    Transfer();
    // The limit is accounted for but never reached.
    EXPECT_NONFATAL_FAILURE(HostExpectFaultsFired(), "volume C: limited to 1048576 bytes");
    EXPECT_EQ(HostTree(kOld), std::vector<std::string>{"Accounts.OLD"});
    EXPECT_EQ(HostReadFile(Old("Accounts.OLD")), Bytes("a"));
    EXPECT_EQ(HostTree(data), (std::vector<std::string>{"Accounts.LW", "Accounts.OLD",
                                                         "Automated Backups\\Accounts.BK3", "Letters\\2004\\Late.RTF"}));
}
#endif

} // namespace
