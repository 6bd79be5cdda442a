// Clean-up of the old installation: the old program's files and sub-folders,
// the user files the transfer had to leave there, the program-menu group and
// desktop shortcuts, the shell-folder fall-backs, and paths too long to touch.
#include "upgrade/upgrade.h"
#include "support/host.h"
#include "support/old_installation.h"
#include "support/log_reader.h"
#include "support/links.h"

#ifndef _WIN32
#include "platform/sim_host.h"
#endif

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace expected;

const std::string kOld = "C:\\lwtest\\Old";
const std::string kData = "C:\\lwtest\\Data";


using Line = LogEntry;

std::vector<Line> ReadLog() { return ReadLogEntries(); }

// One section's entries as "LEVEL message".
std::vector<std::string> SectionLog(const char *section)
{
    std::vector<std::string> out;
    for (const Line &line : ReadLog())
        if (line.section == section)
            out.push_back(line.level + " " + line.message);
    return out;
}

std::vector<std::string> Sorted(std::vector<std::string> items)
{
    std::sort(items.begin(), items.end());
    return items;
}

std::string Join(const std::string &folder, const std::string &name)
{
    return folder + "\\" + name;
}

std::string GroupOf(int csidl)
{
    return Join(HostShellFolder(csidl), "Programs\\Ledgerwick Complete");
}

void RemoveFileQuietly(const std::string &path)
{
    OsSetFileAttributes(path.c_str(), OS_FILE_ATTRIBUTE_NORMAL);
    OsDeleteFile(path.c_str());
}

class CleanupTest : public HostTest {
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        EnableLog();
    }

    // The shell folders are not test folders: what a test puts there is taken
    // out again, on both hosts.
    void TearDown() override
    {
        for (auto it = made_.rbegin(); it != made_.rend(); ++it) {
            RemoveFileQuietly(*it);
            OsRemoveDirectory(it->c_str());
        }
        HostTest::TearDown();
    }

    static void EnableLog() { HostRegSetText(OS_HKEY_CURRENT_USER, "EnableDebugLog", "1"); }

    // A fresh host for the next case of a table.
    void Fresh()
    {
        TearDown();
        made_.clear();
        HostReset();
        EnableLog();
    }

    void Put(const std::string &path, const std::string &bytes)
    {
        size_t slash = path.rfind('\\');
        if (!HostFolderExists(path.substr(0, slash)))
            made_.push_back(path.substr(0, slash));
        made_.push_back(path);
        HostWriteFile(path, bytes);
    }

    std::vector<std::string> made_;
};

// ---------------------------------------------------------------------------
// DeleteOldVersion

TEST_F(CleanupTest, ProgramFilesAreDeletedAndEveryAttemptLoggedInTableOrder)
{
    for (const std::string &argument : {kOld, kOld + "\\"}) {
        SCOPED_TRACE(argument);
        Fresh();
        HostWriteFile(Join(kOld, "ledgerwick.exe"), "exe");
        HostWriteFile(Join(kOld, "Demo.ico"), "ico");
        HostWriteFile(Join(kOld, "utility.mda"), "mda");
        HostWriteFile(Join(kOld, "Accounts.OLD"), "data");
        HostWriteFile(Join(kOld, "Notes.txt"), "notes");
        ASSERT_NE(OsSetFileAttributes(Join(kOld, "ledgerwick.exe").c_str(), OS_FILE_ATTRIBUTE_READONLY), 0);
        ASSERT_NE(OsSetFileAttributes(Join(kOld, "Demo.ico").c_str(),
                                      OS_FILE_ATTRIBUTE_HIDDEN | OS_FILE_ATTRIBUTE_SYSTEM),
                  0);

        DeleteOldVersion(argument.c_str(), kData.c_str(), nullptr);

        EXPECT_EQ(HostList(kOld), (std::vector<std::string>{"Accounts.OLD", "Notes.txt"}));
        EXPECT_EQ(HostReadFile(Join(kOld, "Accounts.OLD")), "data");

        std::vector<std::string> expected{"INFO ----## Started ##----"};
        for (const char *name : kProgramFiles)
            expected.push_back("INFO Removed:  " + Join(kOld, name));
        for (const char *sub : kSubFolders) {
            expected.push_back(std::string("INFO Removing ") + sub);
            expected.push_back("INFO Temp:  " + Join(kOld, sub));
        }
        expected.push_back("INFO ----## Finished ##----");
        EXPECT_EQ(SectionLog("DeleteOldVersion"), expected);

        // Each sub-folder is handed to the file engine right after its lines,
        // even when it is missing.
        std::vector<Line> log = ReadLog();
        size_t at = 0;
        for (const char *sub : kSubFolders) {
            std::string temp = "Temp:  " + Join(kOld, sub), src = "\tSrcPath: " + Join(kOld, sub);
            while (at < log.size() && log[at].message != temp)
                at++;
            ASSERT_LT(at, log.size()) << temp;
            ASSERT_LT(at + 1, log.size());
            size_t engine = at + 1;
            while (engine < log.size() && log[engine].section == "PerformActionOnFiles" &&
                   log[engine].message != src)
                engine++;
            ASSERT_LT(engine, log.size()) << src;
            EXPECT_EQ(log[engine].section, "PerformActionOnFiles") << src;
        }
    }
}

struct SubFolderCase {
    const char *what;
    std::vector<std::string> before;  // files below the old folder
    std::vector<std::string> carried; // of those, the ones with an identical copy in the data folder
    std::vector<std::string> after;   // files that must be left, unchanged
    std::vector<std::string> gone;    // folders that must be removed
    std::vector<std::string> kept;    // folders that must stay
    std::vector<std::string> logged;  // DeleteOldVersion lines that must appear
    bool keeps;                       // a pass of its own guards files of the folder
};

// Where the transfer carries a file of Backups or Letters in the data folder.
std::string CarriedTo(const std::string &relative)
{
    const std::string backups = "Backups\\";
    if (relative.compare(0, backups.size(), backups) == 0)
        return Join(kData, "Automated Backups\\" + relative.substr(backups.size()));
    return Join(kData, relative);
}

// The old program's folders lose everything but files named as the user's;
// the folders the user filled (Backups, Email, Letters) lose only what the
// transfer carried, and keep every other file whatever its name.
TEST_F(CleanupTest, SubFoldersLoseTheirFilesButNeverTheUsersBackupsOrLetters)
{
    const std::string b = Join(kOld, "Backups"), l = Join(kOld, "Letters");
    const SubFolderCase cases[] = {
        {"the program's own folders lose their files, and go when emptied",
         {"DISK1\\setup.exe", "DISK2\\a.cab", "DISK4\\b.cab", "Manual\\index.htm", "Manual\\img\\p.gif"},
         {},
         {},
         {"DISK1", "DISK2", "DISK4", "Manual"},
         {},
         {},
         false},
        {"names beginning with a dot are never touched",
         {"DISK2\\.keep", "Manual\\x.htm", "Manual\\Sub\\.hidden"},
         {},
         {"DISK2\\.keep", "Manual\\Sub\\.hidden"},
         {},
         {"DISK2", "Manual\\Sub"},
         {},
         false},
        {"the user's folders keep every file the transfer did not carry, whatever its name",
         {"Backups\\notes.txt", "Backups\\Accounts.BK1", "Backups\\Inner\\x.txt", "Email\\Sent.eml",
          "Email\\Drafts\\d.msg", "Letters\\MyLetter.doc", "Letters\\Sub\\Deep\\Invoice.rtf"},
         {},
         {"Backups\\notes.txt", "Backups\\Accounts.BK1", "Backups\\Inner\\x.txt", "Email\\Sent.eml",
          "Email\\Drafts\\d.msg", "Letters\\MyLetter.doc", "Letters\\Sub\\Deep\\Invoice.rtf"},
         {},
         {"Backups", "Email", "Letters\\Sub\\Deep"},
         {"INFO Keeping user files in: " + b, "INFO Kept:  " + Join(b, "notes.txt"),
          "INFO Kept:  " + Join(b, "Accounts.BK1"), "INFO Kept:  " + Join(l, "MyLetter.doc"),
          "INFO Kept:  " + Join(l, "Sub\\Deep\\Invoice.rtf")},
         true},
        {"what the transfer carried goes; emptied folders go with it",
         {"Backups\\Accounts.BK1", "Backups\\Accounts.BK2", "Letters\\Reminder.RTF", "Letters\\Sub\\Deep\\tmp.doc",
          "Letters\\Other\\x.RTF"},
         {"Backups\\Accounts.BK1", "Letters\\Reminder.RTF", "Letters\\Other\\x.RTF"},
         {"Backups\\Accounts.BK2", "Letters\\Sub\\Deep\\tmp.doc"},
         {"Letters\\Other"},
         {"Backups", "Letters\\Sub\\Deep"},
         {"INFO Keeping user files in: " + b, "INFO Removed:  " + Join(b, "Accounts.BK1"),
          "INFO Kept:  " + Join(b, "Accounts.BK2"), "INFO Removed:  " + Join(l, "Reminder.RTF"),
          "INFO Removed:  " + Join(l, "Other\\x.RTF"), "INFO Kept:  " + Join(l, "Sub\\Deep\\tmp.doc")},
         true},
        {"user's folders whose every file was carried go whole",
         {"Backups\\Accounts.BK1", "Letters\\Sub\\Reminder.RTF"},
         {"Backups\\Accounts.BK1", "Letters\\Sub\\Reminder.RTF"},
         {},
         {"Backups", "Letters"},
         {},
         {},
         false},
    };
    for (const SubFolderCase &c : cases) {
        SCOPED_TRACE(c.what);
        Fresh();
        HostMakeFolder(kOld);
        for (const std::string &file : c.before)
            HostWriteFile(Join(kOld, file), file);
        for (const std::string &file : c.carried)
            HostWriteFile(CarriedTo(file), file);

        DeleteOldVersion(kOld.c_str(), kData.c_str(), nullptr);

        EXPECT_EQ(HostTree(kOld), Sorted(c.after));
        for (const std::string &file : c.after)
            EXPECT_EQ(HostReadFile(Join(kOld, file)), file);
        for (const std::string &file : c.carried)
            EXPECT_EQ(HostReadFile(CarriedTo(file)), file);
        for (const std::string &folder : c.gone)
            EXPECT_FALSE(HostFolderExists(Join(kOld, folder))) << folder;
        for (const std::string &folder : c.kept)
            EXPECT_TRUE(HostFolderExists(Join(kOld, folder))) << folder;
        std::vector<std::string> log = SectionLog("DeleteOldVersion");
        for (const std::string &line : c.logged)
            EXPECT_NE(std::find(log.begin(), log.end(), line), log.end()) << line;
        bool guarded = std::any_of(log.begin(), log.end(), [](const std::string &line) {
            return line.find("Keeping user files in: ") != std::string::npos;
        });
        EXPECT_EQ(guarded, c.keeps);
    }
}

// A user's file is kept whichever old sub-folder it turns up in, not only in
// Backups and Letters; the program's own files around it still go.
TEST_F(CleanupTest, UserFilesInAnyOldSubFolderAreKept)
{
    HostWriteFile(Join(kOld, "DISK1\\setup.w01"), "disk");
    HostWriteFile(Join(kOld, "Email\\Quote.RTF"), "letter");
    HostWriteFile(Join(kOld, "Email\\out.msg"), "mail");
    HostWriteFile(Join(kOld, "Manual\\index.htm"), "page");
    HostWriteFile(Join(kOld, "Manual\\Sub\\Books.LW"), "ledger");

    DeleteOldVersion(kOld.c_str(), kData.c_str(), nullptr);

    EXPECT_EQ(HostTree(kOld), Sorted({"Email\\Quote.RTF", "Email\\out.msg", "Manual\\Sub\\Books.LW"}));
    EXPECT_EQ(HostReadFile(Join(kOld, "Email\\Quote.RTF")), "letter");
    EXPECT_EQ(HostReadFile(Join(kOld, "Manual\\Sub\\Books.LW")), "ledger");
    EXPECT_FALSE(HostFolderExists(Join(kOld, "DISK1")));
}

// What lies behind a link is not part of the old installation: neither a
// link below a sub-folder nor a sub-folder that is itself a link is walked
// through, whether the folder is cleared by the engine or, around a user's
// file, by the clean-up's own pass. A file that carries the reparse-point
// mark (as compressed or cloud files do) is still judged by its name.
TEST_F(CleanupTest, LinksInsideTheOldFolderAreNeverWalkedThrough)
{
    if (!CanMakeLinks())
        GTEST_SKIP() << "no way to make a symbolic link on this host";
    const std::string outside = "C:\\lwtest\\Outside";
    for (bool userFileInLetters : {false, true}) {
        SCOPED_TRACE(userFileInLetters ? "Letters holds a user file" : "Letters holds none");
        Fresh();
        HostWriteFile(Join(outside, "keep.txt"), "precious");
        HostWriteFile(Join(outside, "Sub\\deep.LW"), "precious");
        HostWriteFile(Join(kOld, "Letters\\a.doc"), "x");
        HostMakeFolder(Join(kOld, "Backups"));
        if (userFileInLetters)
            HostWriteFile(Join(kOld, "Letters\\Note.RTF"), "note");
        {
            Links links;
            links.Make(outside, Join(kOld, "Letters\\Link"));
            links.Make(outside, Join(kOld, "Manual"));
            links.Make(Join(outside, "keep.txt"), Join(kOld, "Backups\\Linked.BK1"));

            DeleteOldVersion(kOld.c_str(), kData.c_str(), nullptr);

            EXPECT_EQ(HostReadFile(Join(kOld, "Letters\\a.doc")), "x"); // the user's, never carried
            EXPECT_EQ(HostFileExists(Join(kOld, "Letters\\Note.RTF")), userFileInLetters);
            EXPECT_TRUE(HostFileExists(Join(kOld, "Backups\\Linked.BK1")));
            std::vector<std::string> log = SectionLog("DeleteOldVersion");
            EXPECT_NE(std::find(log.begin(), log.end(), "INFO Not followed (link): " + Join(kOld, "Manual")),
                      log.end());
        }
        EXPECT_EQ(HostTree(outside), Sorted({"Sub\\deep.LW", "keep.txt"}));
        EXPECT_EQ(HostReadFile(Join(outside, "keep.txt")), "precious");
    }
}

TEST_F(CleanupTest, BackupsAndLettersTheTransferCouldNotMoveSurviveTheCleanUp)
{
    const std::string data = "C:\\lwtest\\Data";
    HostWriteFile(Join(kOld, "Accounts.LW"), "ledger");
    HostWriteFile(Join(kOld, "Backups\\Accounts.BK1"), "old backup");
    HostWriteFile(Join(kOld, "Backups\\Accounts.BK2"), "second backup");
    HostWriteFile(Join(kOld, "Letters\\Note.RTF"), "note");
    HostWriteFile(Join(kOld, "Letters\\Sub\\Reminder.RTF"), "old letter");
    HostWriteFile(Join(data, "Automated Backups\\Accounts.BK1"), "newer backup");
    HostWriteFile(Join(data, "Letters\\Sub\\Reminder.RTF"), "newer letter");

    TransferUserFiles(kOld.c_str(), data.c_str());
    DeleteOldVersion(kOld.c_str(), kData.c_str(), nullptr);

    EXPECT_EQ(HostTree(kOld), (std::vector<std::string>{"Accounts.OLD", "Backups\\Accounts.BK1",
                                                        "Letters\\Sub\\Reminder.RTF"}));
    EXPECT_EQ(HostReadFile(Join(kOld, "Backups\\Accounts.BK1")), "old backup");
    EXPECT_EQ(HostReadFile(Join(kOld, "Letters\\Sub\\Reminder.RTF")), "old letter");
    EXPECT_EQ(HostReadFile(Join(kOld, "Accounts.OLD")), "ledger");
    EXPECT_EQ(HostReadFile(Join(data, "Automated Backups\\Accounts.BK1")), "newer backup");
    EXPECT_EQ(HostReadFile(Join(data, "Automated Backups\\Accounts.BK2")), "second backup");
    EXPECT_EQ(HostReadFile(Join(data, "Letters\\Sub\\Reminder.RTF")), "newer letter");
    EXPECT_EQ(HostReadFile(Join(data, "Letters\\Note.RTF")), "note");
    EXPECT_EQ(HostReadFile(Join(data, "Accounts.LW")), "ledger");
}

// An old folder so deep that the longer program-file names no longer fit
// behind it: those are refused, not cut to some other file's name.
TEST_F(CleanupTest, ProgramFilesTooLongForTheirPathAreRefusedNotCut)
{
    const std::string folder = "C:\\lwtest\\" + std::string(120, 'a') + "\\" + std::string(118, 'b');
    ASSERT_EQ(folder.size(), 249u);
    HostWriteFile(Join(folder, "blank.mdb"), "fits exactly");
    HostWriteFile(Join(folder, "Disk.ico"), "fits");
    HostWriteFile(Join(folder, "ledgerwic"), "what a cut \"ledgerwick.exe\" would name");

    DeleteOldVersion(folder.c_str(), kData.c_str(), nullptr);

    EXPECT_EQ(HostList(folder), std::vector<std::string>{"ledgerwic"});
    std::vector<std::string> expected{"INFO ----## Started ##----"};
    for (const char *name : kProgramFiles) {
        std::string path = Join(folder, name);
        expected.push_back(path.size() <= 259 ? "INFO Removed:  " + path : "ERROR Path too long, left alone: " + path);
    }
    for (const char *sub : kSubFolders) {
        expected.push_back(std::string("INFO Removing ") + sub);
        expected.push_back("INFO Temp:  " + Join(folder, sub));
    }
    expected.push_back("INFO ----## Finished ##----");
    EXPECT_EQ(SectionLog("DeleteOldVersion"), expected);
}

TEST_F(CleanupTest, AnOldFolderThatIsTooLongOrMissingIsRefusedWhole)
{
    const std::string tooLong = "C:\\lwtest\\" + std::string(290, 'x');
    const struct {
        const char *argument;
        std::string refusal;
    } cases[] = {
        {tooLong.c_str(), "ERROR Path too long, left alone: " + tooLong},
        {"", "ERROR Not Found: OLDPath"},
        {nullptr, "ERROR Not Found: OLDPath"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.refusal);
        Fresh();
        DeleteOldVersion(c.argument, kData.c_str(), nullptr);
        std::vector<Line> log = ReadLog();
        std::vector<std::string> all;
        for (const Line &line : log)
            all.push_back(line.section + ": " + line.level + " " + line.message);
        EXPECT_EQ(all, (std::vector<std::string>{"DeleteOldVersion: INFO ----## Started ##----",
                                                 "DeleteOldVersion: " + c.refusal,
                                                 "DeleteOldVersion: INFO ----## Finished ##----"}));
    }
}

// ---------------------------------------------------------------------------
// RemoveIcons and the shell folders

TEST_F(CleanupTest, GroupAndDesktopShortcutsGoFromTheAllUsersFoldersOnly)
{
    const std::string group = GroupOf(OS_CSIDL_COMMON_STARTMENU), ownGroup = GroupOf(OS_CSIDL_STARTMENU);
    const std::string desktop = HostShellFolder(OS_CSIDL_COMMON_DESKTOPDIRECTORY);
    const std::string ownDesktop = HostShellFolder(OS_CSIDL_DESKTOPDIRECTORY);
    ASSERT_NE(group, ownGroup);
    ASSERT_NE(desktop, ownDesktop);
    for (const char *name : kGroupShortcuts)
        Put(Join(group, name), name);
    Put(Join(group, "Mine.lnk"), "the user's own");
    ASSERT_NE(OsSetFileAttributes(Join(group, "UnInstall.lnk").c_str(), OS_FILE_ATTRIBUTE_READONLY), 0);
    for (const char *name : kDesktopShortcuts)
        Put(Join(desktop, name), name);
    Put(Join(desktop, "Other.lnk"), "other");
    Put(Join(ownGroup, "Ledgerwick Complete.lnk"), "own group copy");
    Put(Join(ownDesktop, "Ledgerwick Complete.lnk"), "own desktop copy");

    RemoveIcons();

    EXPECT_EQ(HostList(group), std::vector<std::string>{"Mine.lnk"});
    for (const char *name : kDesktopShortcuts)
        EXPECT_FALSE(HostFileExists(Join(desktop, name))) << name;
    EXPECT_TRUE(HostFileExists(Join(desktop, "Other.lnk")));
    EXPECT_EQ(HostReadFile(Join(ownGroup, "Ledgerwick Complete.lnk")), "own group copy");
    EXPECT_EQ(HostReadFile(Join(ownDesktop, "Ledgerwick Complete.lnk")), "own desktop copy");

    std::vector<std::string> expected{"INFO ----## Started ##----", "INFO Found Start Menu Path: " + group};
    for (const char *name : kGroupShortcuts)
        expected.push_back("INFO Deleted: " + Join(group, name));
    expected.push_back("INFO Deleted: " + group);
    expected.push_back("INFO Found Desktop Path: " + desktop);
    for (const char *name : kDesktopShortcuts)
        expected.push_back("INFO Deleted: " + Join(desktop, name));
    EXPECT_EQ(SectionLog("RemoveIcons"), expected);
}

TEST_F(CleanupTest, AnEmptiedGroupIsRemovedButNotTheProgramsFolder)
{
    const std::string group = GroupOf(OS_CSIDL_COMMON_STARTMENU);
    Put(Join(group, "Help.lnk"), "help");
    Put(Join(group, "Ledgerwick Complete.lnk"), "main");

    RemoveIcons();

    EXPECT_FALSE(HostFolderExists(group));
    EXPECT_TRUE(HostFolderExists(Join(HostShellFolder(OS_CSIDL_COMMON_STARTMENU), "Programs")));
}

TEST_F(CleanupTest, ShellFoldersAreTheShellsOwn)
{
    for (int csidl : {OS_CSIDL_COMMON_STARTMENU, OS_CSIDL_STARTMENU, OS_CSIDL_COMMON_DESKTOPDIRECTORY,
                      OS_CSIDL_DESKTOPDIRECTORY}) {
        SCOPED_TRACE(csidl);
        char path[OS_PATH_BUFFER] = "stale";
        EXPECT_EQ(GetShellFolder(csidl, path), 1);
        EXPECT_EQ(std::string(path), HostShellFolder(csidl));
    }
    char path[OS_PATH_BUFFER];
    EXPECT_EQ(GetProgramMenuFolder(path), 1);
    EXPECT_EQ(std::string(path), GroupOf(OS_CSIDL_COMMON_STARTMENU));
    EXPECT_EQ(GetDesktopFolder(path), 1);
    EXPECT_EQ(std::string(path), HostShellFolder(OS_CSIDL_COMMON_DESKTOPDIRECTORY));
}

// Which folder each lookup settles on when shell folders are unavailable:
// the user's own folder stands in only for the all-users one, only when that
// gives nothing, and only for the start menu and the desktop.
TEST_F(CleanupTest, OnlyTheAllUsersStartMenuAndDesktopFallBackToTheUsersOwn)
{
    if (!HostIsSimulated())
        GTEST_SKIP() << "shell folders can be made unavailable only on the simulated host";
#ifndef _WIN32
    const int kAll = -1;
    const struct {
        const char *what;
        std::vector<int> unavailable;
        int group;   // the start menu whose group is cleared, or 0 for none
        int desktop; // the desktop that is cleared, or 0 for none
    } cases[] = {
        {"all there", {}, OS_CSIDL_COMMON_STARTMENU, OS_CSIDL_COMMON_DESKTOPDIRECTORY},
        {"no all-users start menu", {OS_CSIDL_COMMON_STARTMENU}, OS_CSIDL_STARTMENU, OS_CSIDL_COMMON_DESKTOPDIRECTORY},
        {"no start menu", {OS_CSIDL_COMMON_STARTMENU, OS_CSIDL_STARTMENU}, 0, OS_CSIDL_COMMON_DESKTOPDIRECTORY},
        {"only the user's start menu missing", {OS_CSIDL_STARTMENU}, OS_CSIDL_COMMON_STARTMENU,
         OS_CSIDL_COMMON_DESKTOPDIRECTORY},
        {"no all-users desktop", {OS_CSIDL_COMMON_DESKTOPDIRECTORY}, OS_CSIDL_COMMON_STARTMENU,
         OS_CSIDL_DESKTOPDIRECTORY},
        {"no desktop", {OS_CSIDL_COMMON_DESKTOPDIRECTORY, OS_CSIDL_DESKTOPDIRECTORY}, OS_CSIDL_COMMON_STARTMENU, 0},
        {"nothing at all", {kAll}, 0, 0},
    };
    const int starts[] = {OS_CSIDL_COMMON_STARTMENU, OS_CSIDL_STARTMENU};
    const int desktops[] = {OS_CSIDL_COMMON_DESKTOPDIRECTORY, OS_CSIDL_DESKTOPDIRECTORY};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        Fresh();
        std::string shell[32];
        for (int csidl : {OS_CSIDL_STARTMENU, OS_CSIDL_DESKTOPDIRECTORY, OS_CSIDL_COMMON_STARTMENU,
                          OS_CSIDL_COMMON_DESKTOPDIRECTORY})
            shell[csidl] = HostShellFolder(csidl);
        for (int csidl : starts)
            HostWriteFile(Join(shell[csidl], "Programs\\Ledgerwick Complete\\Ledgerwick Complete.lnk"), "group");
        for (int csidl : desktops)
            HostWriteFile(Join(shell[csidl], "Ledgerwick Demo.lnk"), "desktop");
        std::vector<int> unavailable = c.unavailable;
        if (unavailable == std::vector<int>{kAll})
            unavailable = {OS_CSIDL_STARTMENU, OS_CSIDL_DESKTOPDIRECTORY, OS_CSIDL_COMMON_STARTMENU,
                           OS_CSIDL_COMMON_DESKTOPDIRECTORY};
        for (int csidl : unavailable)
            SimSetShellFolder(csidl, nullptr);

        // Only the two all-users ids fall back; the others give what they have.
        for (int csidl : {OS_CSIDL_STARTMENU, OS_CSIDL_DESKTOPDIRECTORY}) {
            bool there = std::find(unavailable.begin(), unavailable.end(), csidl) == unavailable.end();
            char path[OS_PATH_BUFFER] = "stale";
            EXPECT_EQ(GetShellFolder(csidl, path), there ? 1 : 0) << csidl;
            EXPECT_EQ(std::string(path), there ? shell[csidl] : "") << csidl;
        }
        char path[OS_PATH_BUFFER] = "stale";
        EXPECT_EQ(GetShellFolder(OS_CSIDL_COMMON_STARTMENU, path), c.group ? 1 : 0);
        EXPECT_EQ(std::string(path), c.group ? shell[c.group] : "");
        EXPECT_EQ(GetShellFolder(OS_CSIDL_COMMON_DESKTOPDIRECTORY, path), c.desktop ? 1 : 0);
        EXPECT_EQ(std::string(path), c.desktop ? shell[c.desktop] : "");

        RemoveIcons();

        for (int csidl : starts)
            EXPECT_EQ(HostFileExists(Join(shell[csidl], "Programs\\Ledgerwick Complete\\Ledgerwick Complete.lnk")) ? 0 : 1,
                      csidl == c.group ? 1 : 0)
                << csidl;
        for (int csidl : desktops)
            EXPECT_EQ(HostFileExists(Join(shell[csidl], "Ledgerwick Demo.lnk")) ? 0 : 1, csidl == c.desktop ? 1 : 0)
                << csidl;

        std::vector<std::string> expected{"INFO ----## Started ##----"};
        if (c.group) {
            std::string group = Join(shell[c.group], "Programs\\Ledgerwick Complete");
            expected.push_back("INFO Found Start Menu Path: " + group);
            for (const char *name : kGroupShortcuts)
                expected.push_back("INFO Deleted: " + Join(group, name));
            expected.push_back("INFO Deleted: " + group);
        } else {
            expected.push_back("ERROR Not Found Start Menu Path");
        }
        if (c.desktop) {
            expected.push_back("INFO Found Desktop Path: " + shell[c.desktop]);
            for (const char *name : kDesktopShortcuts)
                expected.push_back("INFO Deleted: " + Join(shell[c.desktop], name));
        }
        EXPECT_EQ(SectionLog("RemoveIcons"), expected);
    }
#endif
}

// Shell folders so deep that the group's name or a shortcut's name no longer
// fits: those are refused; cut short they would name the start menu itself
// or some other file on the desktop.
TEST_F(CleanupTest, ShortcutPathsTooLongAreRefusedNotCut)
{
    if (!HostIsSimulated())
        GTEST_SKIP() << "shell folders can be moved only on the simulated host";
#ifndef _WIN32
    // The group's name no longer fits behind the start menu, a shortcut's does.
    const std::string start = "C:\\lwtest\\" + std::string(120, 's') + "\\" + std::string(102, 'm');
    const std::string desktop = "C:\\lwtest\\" + std::string(120, 'd') + "\\" + std::string(108, 'k');
    ASSERT_EQ(start.size(), 233u);
    ASSERT_EQ(desktop.size(), 239u);
    SimSetShellFolder(OS_CSIDL_COMMON_STARTMENU, start.c_str());
    SimSetShellFolder(OS_CSIDL_COMMON_DESKTOPDIRECTORY, desktop.c_str());
    HostWriteFile(Join(start, "Ledgerwick Complete.lnk"), "not in the group");
    HostWriteFile(Join(desktop, "Ledgerwick Complete"), "what a cut name would hit");
    HostWriteFile(Join(desktop, "Ledgerwick Demo.lnk"), "fits exactly");

    char path[OS_PATH_BUFFER] = "stale";
    EXPECT_EQ(GetProgramMenuFolder(path), 0);
    EXPECT_EQ(std::string(path), "");
    RemoveIcons();

    EXPECT_TRUE(HostFolderExists(start));
    EXPECT_EQ(HostList(start), std::vector<std::string>{"Ledgerwick Complete.lnk"});
    EXPECT_EQ(HostList(desktop), std::vector<std::string>{"Ledgerwick Complete"});
    std::vector<std::string> log = SectionLog("RemoveIcons");
    // The refusal of GetProgramMenuFolder above is logged too.
    ASSERT_FALSE(log.empty());
    log.erase(log.begin());
    EXPECT_EQ(log, (std::vector<std::string>{
                       "INFO ----## Started ##----",
                       "ERROR Path too long, left alone: " + start + "\\Programs\\Ledgerwick Complete",
                       "ERROR Not Found Start Menu Path",
                       "INFO Found Desktop Path: " + desktop,
                       "ERROR Path too long, left alone: " + desktop + "\\Ledgerwick Complete.lnk",
                       "INFO Deleted: " + desktop + "\\Ledgerwick Demo.lnk",
                   }));
#endif
}

} // namespace
