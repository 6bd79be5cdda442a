// The upgrade export as a setup program calls it: a version-4 installation
// carried over end to end with its exact log, the version gate, the old
// folder argument, the custom-folder test on every kind of drive, repeated and
// partial runs, and the inputs under which the old folder must be left alone.
#include "support/host.h"
#include "support/held_open.h"
#include "support/old_installation.h"
#include "support/log_reader.h"

#ifdef _WIN32
#include <windows.h>
#else
#include "platform/sim_host.h"
#endif

#include <algorithm>
#include <climits>
#include <map>
#include <string>
#include <vector>

namespace {

using namespace expected;

const std::string kOld = "C:\\Ledgerwick";
const std::string kOldRenamed = "C:\\Ledgerwick OLD";
const char kClock[] = "09:05:03.007";

// Distinct contents per file with the bytes a text-mode copy would spoil.
std::string Bytes(const std::string &tag)
{
    return tag + std::string("\0\r\n\xff\x1a\n", 6) + tag;
}

std::string Old(const std::string &rel) { return kOld + "\\" + rel; }
std::string Renamed(const std::string &rel) { return kOldRenamed + "\\" + rel; }

std::string I(const std::string &message) { return "INFO " + message; }

// The driver's lines ("LEVEL message").
std::vector<std::string> Driver(const std::vector<LogEntry> &entries) { return LogSection(entries, "UpV5"); }

bool IsEngine(const std::string &section)
{
    return section == "PerformActionOnFiles" || section == "PerformActionOnFiles_DoAction";
}

// The steps that wrote lines, in order, each once per block.
std::vector<std::string> Steps(const std::vector<LogEntry> &entries)
{
    std::vector<std::string> steps;
    for (const LogEntry &e : entries)
        if (e.section != "UpV5" && !IsEngine(e.section) && (steps.empty() || steps.back() != e.section))
            steps.push_back(e.section);
    return steps;
}

// The entries written after each driver line: [0] before the first one,
// [k] after driver line k.
std::vector<std::vector<LogEntry>> RunsAfterDriverLines(const std::vector<LogEntry> &entries)
{
    std::vector<std::vector<LogEntry>> runs(1);
    for (const LogEntry &e : entries) {
        if (e.section == "UpV5")
            runs.emplace_back();
        else
            runs.back().push_back(e);
    }
    return runs;
}

// The driver's 28 lines of the walk-through.
std::vector<std::string> WalkThroughLines(const std::string &data, int version = 4)
{
    return {
        I("----## Started ##----"),
        I("DLL Version:  1.00"),
        I("PreviousVersion: " + std::to_string(version)),
        I("OLDPath: C:\\Ledgerwick"),
        I("Written IniSettingsToReg"),
        I("NEWPath: " + data),
        I("Have found last LW"),
        I("LastLW: C:\\Ledgerwick\\Accounts.LW"),
        I("OLDPath: C:\\Ledgerwick"),
        I("TempPath: C:\\Ledgerwick"),
        I("Compared OLDPath with TempPath, and found CustomFolderUsed: N"),
        I("OLDPath Exists: C:\\Ledgerwick"),
        I("NEWPath: " + data),
        I("CustomFolderUsed not used, will check if we need to update registry settings"),
        I("LastLW: C:\\Ledgerwick\\Accounts.LW"),
        I("OLDPath: C:\\Ledgerwick"),
        I("NEWPath: " + data),
        I("Datafile has been moved to new path, updating registry"),
        I("Deleted Old Version (OLDPath=C:\\Ledgerwick)"),
        I("Removed Old Icons"),
        I("TempPath: C:\\Ledgerwick OLD"),
        I("OLDPath: C:\\Ledgerwick"),
        I("OLDPath not empty, am cleaning up"),
        I("Renamed OLDPath to TempPath"),
        I("OLDPath: C:\\Ledgerwick OLD"),
        I("NEWPath: " + data),
        I("Written Readme"),
        I("----## Finished ##----"),
    };
}

std::vector<std::string> Without(std::vector<std::string> lines, const std::vector<std::string> &drop)
{
    for (const std::string &line : drop) {
        auto at = std::find(lines.begin(), lines.end(), line);
        EXPECT_NE(at, lines.end()) << line;
        if (at != lines.end())
            lines.erase(at);
    }
    return lines;
}

// Every file below a folder with its bytes.
std::map<std::string, std::string> Snapshot(const std::string &folder)
{
    std::map<std::string, std::string> files;
    for (const std::string &rel : HostTree(folder))
        files[rel] = HostReadFile(folder + "\\" + rel);
    return files;
}

std::string WindowsFolder()
{
    char path[OS_PATH_BUFFER] = "";
    OsGetWindowsDirectory(path, sizeof path);
    return path;
}

std::string IniPath() { return WindowsFolder() + "\\ledgerwick.ini"; }

// The all-users folder, or the user's own when there is none, as the
// clean-up looks them up.
std::string ShellFolderWithFallBack(int common, int own)
{
    std::string folder = HostShellFolder(common);
    return folder.empty() ? HostShellFolder(own) : folder;
}

class UpgradeTest : public HostTest {
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        Prepare();
    }

    void Prepare()
    {
        HostRegSetText(OS_HKEY_CURRENT_USER, "EnableDebugLog", "1");
#ifndef _WIN32
        SimSetClock(9, 5, 3, 7);
#endif
        data = HostShellFolder(OS_CSIDL_PERSONAL) + "\\Ledgerwick Data";
        group = ShellFolderWithFallBack(OS_CSIDL_COMMON_STARTMENU, OS_CSIDL_STARTMENU) +
                "\\Programs\\Ledgerwick Complete";
        desktop = ShellFolderWithFallBack(OS_CSIDL_COMMON_DESKTOPDIRECTORY, OS_CSIDL_DESKTOPDIRECTORY);
    }

    // A fresh host for the next case of a table.
    void Fresh()
    {
        HostReset();
        Prepare();
    }

    std::string data, group, desktop;

    std::string New(const std::string &rel) const { return data + "\\" + rel; }

    static int Upgrade(int version, const char *oldFolder)
    {
        const HostExports &exports = HostGetExports();
        if (!exports.UpgradeToVersion5) {
            ADD_FAILURE() << "LedgerwickInstaller_UpgradeToVersion5 is not exported";
            return INT_MIN;
        }
        return exports.UpgradeToVersion5(version, oldFolder);
    }

    static void SetLastOpened(const std::string &path)
    {
        HostRegSetText(OS_HKEY_CURRENT_USER, "LastLedgerwickOpenedInDataFolder", path.c_str());
    }

    // The text of a setting, or "<absent>".
    static std::string Setting(const char *name)
    {
        std::string bytes;
        if (!HostRegGet(OS_HKEY_CURRENT_USER, name, &bytes))
            return "<absent>";
        while (!bytes.empty() && bytes.back() == '\0')
            bytes.pop_back();
        return bytes;
    }

    // The walk-through's old installation: some old program files, the data
    // file, a leftover lock file, two backups and a letter, with the
    // last-opened setting pointing at the data file.
    static void LayOutOldInstallation(bool lastOpened = true)
    {
        for (const OldFile &file : kWalkThroughFiles)
            HostWriteFile(Old(file.path), Bytes(file.tag));
        if (lastOpened)
            SetLastOpened(Old("Accounts.LW"));
    }

    void LayOutShortcuts() const
    {
        HostWriteFile(group + "\\Ledgerwick Complete.lnk", "group shortcut");
        HostWriteFile(group + "\\Help.lnk", "help shortcut");
        HostWriteFile(desktop + "\\Ledgerwick Complete.lnk", "desktop shortcut");
    }

    // The data folder after the walk-through's transfer.
    void ExpectUserFilesInDataFolder() const
    {
        EXPECT_EQ(HostTree(data), (std::vector<std::string>{"Accounts.LW", "Automated Backups\\Accounts.BK1",
                                                             "Automated Backups\\Accounts.BK2",
                                                             "Letters\\Reminder.RTF"}));
        EXPECT_EQ(HostReadFile(New("Accounts.LW")), Bytes("accounts"));
        EXPECT_EQ(HostReadFile(New("Automated Backups\\Accounts.BK1")), Bytes("bk1"));
        EXPECT_EQ(HostReadFile(New("Automated Backups\\Accounts.BK2")), Bytes("bk2"));
        EXPECT_EQ(HostReadFile(New("Letters\\Reminder.RTF")), Bytes("letter"));
    }

    // The old folder retired under its " OLD" name with the data file and a
    // readme naming the data folder.
    void ExpectRetiredOldFolder(const std::vector<std::string> &alsoThere = {}) const
    {
        EXPECT_FALSE(HostFolderExists(kOld));
        std::vector<std::string> expected = alsoThere;
        expected.push_back("Accounts.OLD");
        expected.push_back("_Readme.txt");
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(HostList(kOldRenamed), expected);
        EXPECT_EQ(HostReadFile(Renamed("Accounts.OLD")), Bytes("accounts"));
        EXPECT_EQ(HostReadFile(Renamed("_Readme.txt")), ReadmeBytes(data));
    }
};

// Checks one step's block: it opens with the step's own line (its Started
// line where it writes one), holds only its own and, where the step uses the
// file engine, the engine's lines, and ends with its Finished line where it
// writes one.
void ExpectBlock(const std::vector<LogEntry> &run, const std::string &section, bool started, bool finished,
                 bool engine)
{
    SCOPED_TRACE("block of " + section);
    ASSERT_FALSE(run.empty());
    EXPECT_EQ(run.front().section, section);
    if (started) {
        EXPECT_EQ(run.front().message, "----## Started ##----");
    }
    for (const LogEntry &e : run)
        EXPECT_TRUE(e.section == section || (engine && IsEngine(e.section))) << e;
    if (finished) {
        EXPECT_EQ(run.back().section, section);
        EXPECT_EQ(run.back().message, "----## Finished ##----");
    }
}

TEST_F(UpgradeTest, WalkThroughCarriesAVersion4InstallationOver)
{
    ASSERT_EQ(std::string(kReadmeTemplate).size(), 501u);
    LayOutOldInstallation();
    LayOutShortcuts();
    HostWriteFile(IniPath(), "[Email Setup]\r\nSMTPServer=mail.example.com\r\nSMTPPort=25\r\n");
    char state[255] = "";
    OsGetPrivateProfileString("intl", "sState", "", state, sizeof state, "win.ini");

    EXPECT_EQ(Upgrade(4, kOld.c_str()), 0);

    // The final tree.
    ExpectUserFilesInDataFolder();
    ExpectRetiredOldFolder();
    EXPECT_EQ(HostReadFile(Renamed("_Readme.txt")).size(), 507 + data.size());
    EXPECT_FALSE(HostFolderExists(group));
    EXPECT_FALSE(HostFileExists(desktop + "\\Ledgerwick Complete.lnk"));
    EXPECT_FALSE(HostFileExists(IniPath()));

    // The registry afterwards.
    EXPECT_EQ(Setting("DatafilePath"), data);
    EXPECT_EQ(Setting("LastLedgerwickOpenedInDataFolder"), New("Accounts.LW"));
    EXPECT_EQ(Setting("SMTPServer"), "mail.example.com");
    EXPECT_EQ(Setting("SMTPPort"), "25");
    EXPECT_EQ(Setting("hWnd"), "");

    // The log: every line in its exact form (natively at the fixed clock,
    // byte for byte; under Wine each line's shape).
    std::vector<LogEntry> entries = ReadLogEntries();
    ASSERT_FALSE(entries.empty());
    if (HostIsSimulated()) {
        std::string bytes = HostReadFile(LogPathForTests());
        EXPECT_EQ(bytes, LogBytesAt(entries, kClock));
        const std::string first =
            "[09:05:03.007]\t[Upgrade.dll     - UpV5                          ]\tINFO \t----## Started ##----\r\n";
        EXPECT_EQ(bytes.substr(0, first.size()), first);
    }
    EXPECT_EQ(Driver(entries), WalkThroughLines(data));

    // Each step's block where the table places it, and nothing elsewhere.
    auto runs = RunsAfterDriverLines(entries);
    ASSERT_EQ(runs.size(), 29u);
    struct Block {
        size_t after;
        const char *section;
        bool started, finished, engine;
    } blocks[] = {
        {4, "WriteIniSettingsToRegistry", true, true, false},
        {5, "GetDefaultDataFilePath", false, false, false},
        {13, "TransferUserFiles", true, true, true},
        {17, "CheckIfDatafileMoved", true, true, false},
        {18, "DeleteOldVersion", true, true, true},
        {19, "RemoveIcons", true, false, false},
        {24, "WriteReadme", true, true, false},
        {27, "ValidateLastLedgerwickOpenedInDatafileFolder", false, false, false},
    };
    size_t next = 0;
    for (size_t k = 0; k < runs.size(); k++) {
        if (next < sizeof blocks / sizeof blocks[0] && blocks[next].after == k) {
            ExpectBlock(runs[k], blocks[next].section, blocks[next].started, blocks[next].finished,
                        blocks[next].engine);
            next++;
        } else {
            EXPECT_TRUE(runs[k].empty()) << "lines after driver line " << k << ", first: " << runs[k].front();
        }
    }

    // The blocks' own lines where the run settles them.
    EXPECT_EQ(LogSection(entries, "WriteIniSettingsToRegistry"),
              (std::vector<std::string>{I("----## Started ##----"), I("SMTPServer: mail.example.com"),
                                        I("SMTPPort: 25"), I("QIFFile: "), I("User: "),
                                        I("LastNonFloppyLedgerwick: "), I(std::string("sState: ") + state),
                                        I("----## Finished ##----")}));
    EXPECT_EQ(LogSection(entries, "GetDefaultDataFilePath"),
              (std::vector<std::string>{"ERROR Not Found: DataFilePath", I("Trying Special Folder Path PERSONAL"),
                                        I("Found DataFilePath: " + data), I("Saved to Registry"), I("OK: Y")}));
    EXPECT_EQ(LogSection(entries, "TransferUserFiles"),
              (std::vector<std::string>{
                  I("----## Started ##----"), I("OLD_DatafilePath: " + kOld), I("NEW_DatafilePath: " + data),
                  I("Copying .LW and .OLD to new datafile folder"), I("Old: " + kOld), I("v5:  " + data),
                  I("Deleting .OLD file from old ledgerwick folder"), I("Old: " + kOld + "\\"),
                  I("Renaming .LW to .OLD in old ledgerwick folder"), I("Old: " + kOld + "\\"),
                  I("Delete any temp files that ledgerwick hasn't cleaned up"), I("Old: " + kOld + "\\"),
                  I("Moving the 'Backups' to new datafile folder"), I("Old: " + Old("Backups")),
                  I("v5:  " + New("Automated Backups")), I("Moving the 'Letters' to new datafile folder"),
                  I("Old: " + Old("Letters")), I("v5:  " + New("Letters")), I("----## Finished ##----")}));
    std::vector<std::string> actions = LogSection(entries, "PerformActionOnFiles_DoAction");
    std::sort(actions.begin(), actions.end());
    EXPECT_EQ(actions, (std::vector<std::string>{
                           I("\t\tCOPY: Y - " + Old("Accounts.LW") + " => " + New("Accounts.LW")),
                           I("\t\tDELETE: Y - " + Old("Accounts.LDB") + " => [NULL]"),
                           I("\t\tMOVE: Y - " + Old("Backups\\Accounts.BK1") + " => " +
                             New("Automated Backups\\Accounts.BK1")),
                           I("\t\tMOVE: Y - " + Old("Backups\\Accounts.BK2") + " => " +
                             New("Automated Backups\\Accounts.BK2")),
                           I("\t\tMOVE: Y - " + Old("Letters\\Reminder.RTF") + " => " + New("Letters\\Reminder.RTF")),
                           I("\t\tRENAME_EXT: Y - " + Old("Accounts.LW") + " => .OLD"),
                       }));
    EXPECT_EQ(LogSection(entries, "CheckIfDatafileMoved"),
              (std::vector<std::string>{
                  I("----## Started ##----"), I("CURRENT_Datafile: " + Old("Accounts.LW")),
                  I("OLD_DatafilePath: " + kOld), I("NEW_DatafilePath: " + data), I("Temp: " + kOld + "\\"),
                  I("DatafilePath: " + kOld + "\\"),
                  I("DatafilePath is same as Temp, datafile should have been moved to Ledgerwick Data"),
                  I("File Not Exist: CURRENT_Datafile (" + Old("Accounts.LW") + ")"),
                  I("File Exists: DatafilePath (" + New("Accounts.LW") + ")"), I("Has Moved to New Path"),
                  I("CURRENT_Datafile: " + Old("Accounts.LW")), I("DatafilePath: " + New("Accounts.LW")),
                  I("HasMovedToNewPath: Y"), I("----## Finished ##----")}));
    std::vector<std::string> deleteOld = {I("----## Started ##----")};
    for (const char *name : kProgramFiles)
        deleteOld.push_back(I("Removed:  " + Old(name)));
    for (const char *sub : kSubFolders) {
        deleteOld.push_back(I(std::string("Removing ") + sub));
        deleteOld.push_back(I("Temp:  " + Old(sub)));
    }
    deleteOld.push_back(I("----## Finished ##----"));
    EXPECT_EQ(LogSection(entries, "DeleteOldVersion"), deleteOld);
    std::vector<std::string> icons = {I("----## Started ##----"), I("Found Start Menu Path: " + group)};
    for (const char *name : kGroupShortcuts)
        icons.push_back(I("Deleted: " + group + "\\" + name));
    icons.push_back(I("Deleted: " + group));
    icons.push_back(I("Found Desktop Path: " + desktop));
    for (const char *name : kDesktopShortcuts)
        icons.push_back(I("Deleted: " + desktop + "\\" + name));
    EXPECT_EQ(LogSection(entries, "RemoveIcons"), icons);
    EXPECT_EQ(LogSection(entries, "WriteReadme"),
              (std::vector<std::string>{I("----## Started ##----"), I("OLD_DatafilePath: " + kOldRenamed),
                                        I("NEW_DatafilePath: " + data), I("Exists: " + kOldRenamed),
                                        I("Displayed: " + ReadmeText(data)), I("----## Finished ##----")}));
    EXPECT_EQ(LogSection(entries, "ValidateLastLedgerwickOpenedInDatafileFolder"),
              (std::vector<std::string>{I("LastLW: " + data + "\\"), I("DatafileFolderPath: " + data),
                                        I("Testing " + data + "\\ = " + data + "\\ ?"), I("Paths are the same")}));
}

// ---------------------------------------------------------------------------
// The previous version

TEST_F(UpgradeTest, VersionFiveAndAboveStopAfterTheOpeningLines)
{
    struct Case {
        int version;
        bool stops;
    } cases[] = {{5, true}, {6, true}, {1000, true}, {INT_MAX, true}, {4, false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.version);
        Fresh();
        LayOutOldInstallation();
        HostWriteFile(IniPath(), "[Email Setup]\r\nSMTPServer=mail.example.com\r\n");
        auto before = Snapshot(kOld);

        EXPECT_EQ(Upgrade(c.version, kOld.c_str()), 0);

        std::vector<LogEntry> entries = ReadLogEntries();
        if (!c.stops) {
            EXPECT_EQ(Driver(entries), WalkThroughLines(data));
            EXPECT_FALSE(HostFolderExists(kOld));
            continue;
        }
        EXPECT_EQ(Driver(entries),
                  (std::vector<std::string>{
                      I("----## Started ##----"), I("DLL Version:  1.00"),
                      I("PreviousVersion: " + std::to_string(c.version)),
                      I("PreviousVersion is greater than 5, no need to continue, we are exiting")}));
        EXPECT_EQ(entries.size(), 4u) << "no step may run";
        EXPECT_EQ(Snapshot(kOld), before);
        EXPECT_FALSE(HostFolderExists(kOldRenamed));
        EXPECT_FALSE(HostFolderExists(data));
        EXPECT_TRUE(HostFileExists(IniPath()));
        EXPECT_EQ(Setting("DatafilePath"), "<absent>");
        EXPECT_EQ(Setting("SMTPServer"), "<absent>");
        EXPECT_EQ(Setting("hWnd"), "<absent>");
        EXPECT_EQ(Setting("LastLedgerwickOpenedInDataFolder"), Old("Accounts.LW"));
    }
}

TEST_F(UpgradeTest, VersionZeroAndBelowLeaveTheOldProgramAndShortcuts)
{
    for (int version : {0, -1, INT_MIN}) {
        SCOPED_TRACE(version);
        Fresh();
        LayOutOldInstallation();
        LayOutShortcuts();

        EXPECT_EQ(Upgrade(version, kOld.c_str()), 0);

        std::vector<LogEntry> entries = ReadLogEntries();
        EXPECT_EQ(Driver(entries), Without(WalkThroughLines(data, version),
                                           {I("Deleted Old Version (OLDPath=C:\\Ledgerwick)"), I("Removed Old Icons")}));
        EXPECT_EQ(Steps(entries),
                  (std::vector<std::string>{"WriteIniSettingsToRegistry", "GetDefaultDataFilePath",
                                            "TransferUserFiles", "CheckIfDatafileMoved", "WriteReadme",
                                            "ValidateLastLedgerwickOpenedInDatafileFolder"}));
        ExpectUserFilesInDataFolder();
        ExpectRetiredOldFolder({"Ledgerwick.bmp", "Uninstal.exe", "ledgerwick.exe", "msafin.dll"});
        EXPECT_EQ(HostReadFile(Renamed("ledgerwick.exe")), Bytes("ledgerwick.exe"));
        EXPECT_TRUE(HostFileExists(group + "\\Help.lnk"));
        EXPECT_TRUE(HostFileExists(desktop + "\\Ledgerwick Complete.lnk"));
        EXPECT_EQ(Setting("LastLedgerwickOpenedInDataFolder"), New("Accounts.LW"));
    }
}

// ---------------------------------------------------------------------------
// The old folder argument

TEST_F(UpgradeTest, OldFolderArgument)
{
    const std::string notFound = "ERROR Not Found: OLD_InstallPath, using C:\\Ledgerwick";
    std::vector<std::string> withDefault = WalkThroughLines(data);
    withDefault.insert(withDefault.begin() + 3, notFound);
    // A trailing backslash is taken off once, before the first line names
    // the folder: every line names it as the walk-through does, with or
    // without a last-opened file.
    std::vector<std::string> noLastOpened = {
        I("----## Started ##----"),
        I("DLL Version:  1.00"),
        I("PreviousVersion: 4"),
        I("OLDPath: C:\\Ledgerwick"),
        I("Written IniSettingsToReg"),
        I("NEWPath: " + data),
        "ERROR Not Found: LastLW",
        I("OLDPath Exists: C:\\Ledgerwick"),
        I("NEWPath: " + data),
        I("CustomFolderUsed not used, will check if we need to update registry settings"),
        I("LastLW: "),
        I("OLDPath: C:\\Ledgerwick"),
        I("NEWPath: " + data),
        I("Datafile is already in correct path"),
        I("Deleted Old Version (OLDPath=C:\\Ledgerwick)"),
        I("Removed Old Icons"),
        I("TempPath: C:\\Ledgerwick OLD"),
        I("OLDPath: C:\\Ledgerwick"),
        I("OLDPath not empty, am cleaning up"),
        I("Renamed OLDPath to TempPath"),
        I("OLDPath: C:\\Ledgerwick OLD"),
        I("NEWPath: " + data),
        I("Written Readme"),
        I("----## Finished ##----"),
    };
    struct Case {
        const char *name;
        const char *argument;
        bool lastOpened;
        std::vector<std::string> lines;
        std::string lastOpenedAfter;
    } cases[] = {
        {"null", nullptr, true, withDefault, New("Accounts.LW")},
        {"empty", "", true, withDefault, New("Accounts.LW")},
        {"trailing backslash", "C:\\Ledgerwick\\", true, WalkThroughLines(data), New("Accounts.LW")},
        {"trailing backslash, no last-opened file", "C:\\Ledgerwick\\", false, noLastOpened, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Fresh();
        LayOutOldInstallation(c.lastOpened);
        EXPECT_EQ(Upgrade(4, c.argument), 0);
        EXPECT_EQ(Driver(ReadLogEntries()), c.lines);
        ExpectUserFilesInDataFolder();
        ExpectRetiredOldFolder();
        EXPECT_EQ(Setting("LastLedgerwickOpenedInDataFolder"), c.lastOpenedAfter);
        EXPECT_EQ(Setting("DatafilePath"), data);
    }
}

// ---------------------------------------------------------------------------
// The custom-folder test

TEST_F(UpgradeTest, LastOpenedFileDecidesOnACustomFolder)
{
    struct Case {
        const char *name;
        const char *lastOpened;
        const char *tempPath;   // the folder the driver compares
        const char *customPath; // null: no custom folder
        bool simulatedOnly;
        bool cleared; // the final check clears the last-opened setting
    } cases[] = {
        {"old folder in other letter case", "c:\\ledgerwick\\Accounts.LW", "c:\\ledgerwick", nullptr, false, false},
        {"fixed drive", "D:\\lwtest\\Accounts\\Accounts.LW", "D:\\lwtest\\Accounts", "D:\\lwtest\\Accounts", false,
         false},
        {"network drive", "N:\\lwtest\\Accounts.LW", "N:\\lwtest", "N:\\lwtest", false, false},
        {"removable drive", "R:\\lwtest\\Accounts.LW", "R:\\lwtest", nullptr, false, true},
        {"CD-ROM drive", "X:\\lwtest\\Accounts.LW", "X:\\lwtest", nullptr, false, true},
        {"drive that is not there", "Q:\\lwtest\\Accounts.LW", "Q:\\lwtest", nullptr, false, true},
        {"RAM drive", "M:\\lwtest\\Accounts.LW", "M:\\lwtest", nullptr, true, true},
        {"network share", "\\\\server\\books\\Accounts.LW", "\\\\server\\books", "\\\\server\\books", true, false},
        {"sub-folder of the old folder", "C:\\Ledgerwick\\Clients\\Accounts.LW", "C:\\Ledgerwick\\Clients",
         "C:\\Ledgerwick\\Clients", false, false},
    };
    for (const Case &c : cases) {
        if (c.simulatedOnly && !HostIsSimulated())
            continue;
        SCOPED_TRACE(c.name);
        Fresh();
#ifndef _WIN32
        SimSetDrive('M', OS_DRIVE_RAMDISK);
        SimAddShare("server", "books");
#endif
        LayOutOldInstallation();
        SetLastOpened(c.lastOpened);
        const std::string clients = Old("Clients\\Accounts.LW");
        bool inClients = std::string(c.lastOpened) == "C:\\Ledgerwick\\Clients\\Accounts.LW";
        if (inClients)
            HostWriteFile(clients, Bytes("clients"));

        EXPECT_EQ(Upgrade(4, kOld.c_str()), 0);

        std::vector<LogEntry> entries = ReadLogEntries();
        std::vector<std::string> driver = Driver(entries);
        ASSERT_GE(driver.size(), 13u);
        EXPECT_EQ(driver[7], I(std::string("LastLW: ") + c.lastOpened));
        EXPECT_EQ(driver[8], I("OLDPath: C:\\Ledgerwick"));
        EXPECT_EQ(driver[9], I(std::string("TempPath: ") + c.tempPath));
        std::vector<std::string> steps = Steps(entries);
        bool checked = std::find(steps.begin(), steps.end(), "CheckIfDatafileMoved") != steps.end();
        if (c.customPath) {
            EXPECT_EQ(driver[10], I("Compared OLDPath with TempPath, and found CustomFolderUsed: Y"));
            EXPECT_EQ(driver[11], I(std::string("CUSTOMPath: ") + c.customPath));
            std::vector<std::string> custom = {I("CustomFolderUsed, will update Data File Path"),
                                               I(std::string("Updated Data File Path: ") + c.customPath),
                                               I("Saved To Registry")};
            EXPECT_NE(std::search(driver.begin(), driver.end(), custom.begin(), custom.end()), driver.end());
            EXPECT_FALSE(checked);
            EXPECT_EQ(Setting("DatafilePath"), c.customPath);
        } else {
            EXPECT_EQ(driver[10], I("Compared OLDPath with TempPath, and found CustomFolderUsed: N"));
            EXPECT_EQ(driver[11], I("OLDPath Exists: C:\\Ledgerwick"));
            EXPECT_TRUE(checked);
            EXPECT_EQ(Setting("DatafilePath"), data);
        }
        // The user's files travel into the data folder in every case.
        ExpectUserFilesInDataFolder();
        if (inClients) {
            // The old folder holds the folder the settings now name, so it
            // keeps its name, and no readme tells the user it may go.
            EXPECT_EQ(HostReadFile(Old("Clients\\Accounts.LW")), Bytes("clients"));
            EXPECT_EQ(HostReadFile(Old("Accounts.OLD")), Bytes("accounts"));
            EXPECT_FALSE(HostFolderExists(kOldRenamed));
            EXPECT_FALSE(HostFileExists(Old("_Readme.txt")));
            EXPECT_TRUE(LogHas(entries, "UpV5",
                               "ERROR OLDPath holds the data folder or the last data file, left in place: " + kOld));
        } else {
            EXPECT_EQ(HostReadFile(Renamed("Accounts.OLD")), Bytes("accounts"));
            EXPECT_EQ(HostReadFile(Renamed("_Readme.txt")), ReadmeBytes(data));
        }
        std::string expectedLast = c.cleared ? "" : c.customPath ? c.lastOpened : New("Accounts.LW");
        EXPECT_EQ(Setting("LastLedgerwickOpenedInDataFolder"), expectedLast);
    }
}

// ---------------------------------------------------------------------------
// Repeated and partial runs

TEST_F(UpgradeTest, SecondRunAfterACompleteRunChangesNothing)
{
    LayOutOldInstallation();
    ASSERT_EQ(Upgrade(4, kOld.c_str()), 0);
    auto dataBefore = Snapshot(data);
    auto oldBefore = Snapshot(kOldRenamed);
    ASSERT_TRUE(OsDeleteFile(LogPathForTests().c_str()));

    EXPECT_EQ(Upgrade(4, kOld.c_str()), 0);

    std::vector<LogEntry> entries = ReadLogEntries();
    EXPECT_EQ(Driver(entries),
              (std::vector<std::string>{
                  I("----## Started ##----"), I("DLL Version:  1.00"), I("PreviousVersion: 4"),
                  I("OLDPath: C:\\Ledgerwick"), I("Written IniSettingsToReg"), I("NEWPath: " + data),
                  I("Have found last LW"), I("LastLW: " + New("Accounts.LW")), I("OLDPath: C:\\Ledgerwick"),
                  I("TempPath: " + data), I("Compared OLDPath with TempPath, and found CustomFolderUsed: Y"),
                  I("CUSTOMPath: " + data), I("OLDPath Not Exist: C:\\Ledgerwick"), I("----## Finished ##----")}));
    EXPECT_EQ(Steps(entries), (std::vector<std::string>{"WriteIniSettingsToRegistry", "GetDefaultDataFilePath",
                                                        "ValidateLastLedgerwickOpenedInDatafileFolder"}));
    EXPECT_TRUE(LogHas(entries, "ValidateLastLedgerwickOpenedInDatafileFolder", I("Paths are the same")));
    EXPECT_EQ(Snapshot(data), dataBefore);
    EXPECT_EQ(Snapshot(kOldRenamed), oldBefore);
    EXPECT_FALSE(HostFolderExists(kOld));
    EXPECT_EQ(Setting("DatafilePath"), data);
    EXPECT_EQ(Setting("LastLedgerwickOpenedInDataFolder"), New("Accounts.LW"));
}

TEST_F(UpgradeTest, OldFolderLeftEmptyIsRemovedWithoutReadme)
{
    HostWriteFile(Old("ledgerwick.exe"), Bytes("exe"));
    HostWriteFile(Old("Accounts.LDB"), Bytes("lock"));
    HostWriteFile(Old("Backups\\Accounts.BK1"), Bytes("bk1"));
    HostWriteFile(Old("Letters\\2004\\Reminder.RTF"), Bytes("letter"));
    HostWriteFile(Old("Manual\\Chapter1.hlp"), Bytes("manual"));
    HostMakeFolder(Old("DISK1"));

    EXPECT_EQ(Upgrade(4, kOld.c_str()), 0);

    EXPECT_FALSE(HostFolderExists(kOld));
    EXPECT_FALSE(HostFolderExists(kOldRenamed));
    EXPECT_EQ(HostTree(data), (std::vector<std::string>{"Automated Backups\\Accounts.BK1", "Letters\\2004\\Reminder.RTF"}));
    EXPECT_EQ(HostReadFile(New("Letters\\2004\\Reminder.RTF")), Bytes("letter"));
    std::vector<LogEntry> entries = ReadLogEntries();
    std::vector<std::string> driver = Driver(entries);
    ASSERT_GE(driver.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(driver.end() - 4, driver.end()),
              (std::vector<std::string>{I("TempPath: C:\\Ledgerwick OLD"), I("OLDPath: C:\\Ledgerwick"),
                                        I("OLDPath empty, have removed, nothing to clean up"),
                                        I("----## Finished ##----")}));
    EXPECT_EQ(Steps(entries),
              (std::vector<std::string>{"WriteIniSettingsToRegistry", "GetDefaultDataFilePath", "TransferUserFiles",
                                        "CheckIfDatafileMoved", "DeleteOldVersion", "RemoveIcons",
                                        "ValidateLastLedgerwickOpenedInDatafileFolder"}));
}

TEST_F(UpgradeTest, MissingOldFolderOnlySettlesTheSettings)
{
    SetLastOpened(Old("Accounts.LW"));

    EXPECT_EQ(Upgrade(4, kOld.c_str()), 0);

    std::vector<LogEntry> entries = ReadLogEntries();
    EXPECT_EQ(Driver(entries),
              (std::vector<std::string>{
                  I("----## Started ##----"), I("DLL Version:  1.00"), I("PreviousVersion: 4"),
                  I("OLDPath: C:\\Ledgerwick"), I("Written IniSettingsToReg"), I("NEWPath: " + data),
                  I("Have found last LW"), I("LastLW: C:\\Ledgerwick\\Accounts.LW"), I("OLDPath: C:\\Ledgerwick"),
                  I("TempPath: C:\\Ledgerwick"), I("Compared OLDPath with TempPath, and found CustomFolderUsed: N"),
                  I("OLDPath Not Exist: C:\\Ledgerwick"), I("----## Finished ##----")}));
    EXPECT_EQ(Steps(entries), (std::vector<std::string>{"WriteIniSettingsToRegistry", "GetDefaultDataFilePath",
                                                        "ValidateLastLedgerwickOpenedInDatafileFolder"}));
    EXPECT_FALSE(HostFolderExists(kOld));
    EXPECT_FALSE(HostFolderExists(kOldRenamed));
    EXPECT_FALSE(HostFolderExists(data));
    EXPECT_EQ(Setting("DatafilePath"), data);
    EXPECT_EQ(Setting("LastLedgerwickOpenedInDataFolder"), "");
}

// ---------------------------------------------------------------------------
// Inputs under which nothing of the old folder may go

#ifndef _WIN32
// Nothing has left the old folder, so nothing in it is deleted, renamed or
// pointed at by a readme; the final check still runs.
TEST_F(UpgradeTest, NoDataFolderLeavesTheOldFolderWhole)
{
    LayOutOldInstallation();
    HostWriteFile(Old("Accounts.OLD"), Bytes("earlier"));
    HostWriteFile(Old("Letters\\2004\\Late.RTF"), Bytes("late"));
    HostWriteFile(Old("Manual\\Chapter1.hlp"), Bytes("manual"));
    LayOutShortcuts();
    auto before = Snapshot(kOld);
    SimSetShellFolder(OS_CSIDL_PERSONAL, nullptr);

    EXPECT_EQ(Upgrade(4, kOld.c_str()), 0);

    EXPECT_EQ(Snapshot(kOld), before);
    EXPECT_FALSE(HostFolderExists(kOldRenamed));
    EXPECT_TRUE(HostFileExists(group + "\\Help.lnk"));
    EXPECT_EQ(Setting("DatafilePath"), "<absent>");
    EXPECT_EQ(Setting("LastLedgerwickOpenedInDataFolder"), Old("Accounts.LW"));
    std::vector<LogEntry> entries = ReadLogEntries();
    std::vector<std::string> driver = Driver(entries);
    ASSERT_GE(driver.size(), 9u);
    EXPECT_EQ(driver[5], I("NEWPath: [NULL]"));
    EXPECT_EQ(std::vector<std::string>(driver.end() - 3, driver.end()),
              (std::vector<std::string>{I("OLDPath Exists: C:\\Ledgerwick"), "FATAL Not Found: NEWPath",
                                        I("----## Finished ##----")}));
    EXPECT_EQ(Steps(entries), (std::vector<std::string>{"WriteIniSettingsToRegistry", "GetDefaultDataFilePath",
                                                        "ValidateLastLedgerwickOpenedInDatafileFolder"}));
    EXPECT_EQ(LogSection(entries, "ValidateLastLedgerwickOpenedInDatafileFolder"),
              (std::vector<std::string>{I("LastLW: C:\\Ledgerwick\\"), I("Unable to get DatafileFolderPath")}));
}
#endif

// An argument too long for any path buffer is refused whole: neither a cut
// version of it nor the default folder is acted on.
TEST_F(UpgradeTest, OverLongOldFolderArgumentIsLeftAlone)
{
    const std::string prefix = "C:\\lwtest\\";
    const std::string argument = prefix + std::string(300 - prefix.size(), 'a');
    const std::string cut = argument.substr(0, 259);
    LayOutOldInstallation();
    auto before = Snapshot(kOld);
    // The empty folder that the argument cut to fit would name: acted on, it
    // would be removed as empty.
    HostMakeFolder(prefix);
    const bool cutFolderMade = OsCreateDirectory(cut.c_str()) != 0;
    if (HostIsSimulated()) {
        ASSERT_TRUE(cutFolderMade);
    }

    EXPECT_EQ(Upgrade(4, argument.c_str()), 0);

    EXPECT_EQ(Snapshot(kOld), before);
    EXPECT_FALSE(HostFolderExists(kOldRenamed));
    if (cutFolderMade) {
        EXPECT_EQ(HostList(prefix), std::vector<std::string>{cut.substr(prefix.size()) + "\\"});
    }
    std::vector<LogEntry> entries = ReadLogEntries();
    std::vector<std::string> driver = Driver(entries);
    ASSERT_GE(driver.size(), 5u);
    EXPECT_EQ(driver[3], "ERROR OLD_InstallPath too long, left alone: " + argument.substr(0, 200) + "...");
    EXPECT_EQ(driver[4], I("OLDPath: "));
    EXPECT_TRUE(LogHas(entries, "UpV5", I("OLDPath Not Exist: ")));
    EXPECT_EQ(driver.back(), I("----## Finished ##----"));
    for (const LogEntry &e : entries) {
        EXPECT_NE(e.section, "TransferUserFiles") << e;
        EXPECT_NE(e.section, "DeleteOldVersion") << e;
        EXPECT_EQ(e.message.find(cut), std::string::npos) << e;
    }
}

// An old folder whose " OLD" name would not fit a path buffer keeps its
// name: a cut target could put the folder where nobody would look for it.
TEST_F(UpgradeTest, RenameTargetThatDoesNotFitLeavesTheFolderInPlace)
{
    const std::string prefix = "C:\\lwtest\\";
    for (size_t length : {255u, 256u, 257u, 259u}) {
        SCOPED_TRACE(length);
        Fresh();
        const std::string folder = prefix + std::string(length - prefix.size(), 'o');
        const std::string target = folder + " OLD";
        HostMakeFolder(prefix);
        if (!OsCreateDirectory(folder.c_str()) && !HostIsSimulated())
            GTEST_SKIP() << "this host cannot make a folder of " << length << " characters";
        ASSERT_TRUE(HostFolderExists(folder));
        // A file that nothing of the upgrade removes, where its name fits.
        // (Such folders are too long to list: "\\*.*" would not fit.)
        const bool withFile = length + 3 <= 259;
        if (withFile) {
            HostWriteFile(folder + "\\zz", "keep");
            ASSERT_TRUE(HostFileExists(folder + "\\zz"));
        }

        EXPECT_EQ(Upgrade(4, folder.c_str()), 0);

        std::vector<LogEntry> entries = ReadLogEntries();
        std::vector<std::string> driver = Driver(entries);
        const std::string error = "ERROR Rename target too long, old folder left in place: " + folder;
        if (target.size() <= 259) {
            EXPECT_FALSE(HostFolderExists(folder));
            EXPECT_TRUE(HostFolderExists(target));
            // Its contents are now out of reach of paths of MAX_PATH.
            EXPECT_TRUE(LogHas(entries, "UpV5", I("Renamed OLDPath to TempPath")));
            EXPECT_TRUE(LogHas(entries, "UpV5", I("OLDPath: " + target)));
            EXPECT_EQ(std::find(driver.begin(), driver.end(), error), driver.end());
            continue;
        }
        EXPECT_TRUE(HostFolderExists(folder));
        EXPECT_FALSE(HostFolderExists(folder.substr(0, 255) + " OLD"));
        if (withFile) {
            EXPECT_EQ(HostReadFile(folder + "\\zz"), "keep");
        }
        EXPECT_EQ(HostList("C:\\lwtest"), std::vector<std::string>{folder.substr(prefix.size()) + "\\"});
        ASSERT_GE(driver.size(), 3u);
        EXPECT_EQ(std::vector<std::string>(driver.end() - 2, driver.end()),
                  (std::vector<std::string>{error, I("----## Finished ##----")}));
        for (const std::string &line : driver)
            EXPECT_EQ(line.find("TempPath: " + folder.substr(0, 200)), std::string::npos) << line;
        std::vector<std::string> steps = Steps(entries);
        EXPECT_EQ(std::find(steps.begin(), steps.end(), "WriteReadme"), steps.end());
    }
}

// ---------------------------------------------------------------------------
// User files the transfer could not carry, on both hosts

TEST_F(UpgradeTest, BackupWhoseNameIsTakenStaysInTheOldFolder)
{
    LayOutOldInstallation();
    HostWriteFile(Old("Backups\\Manual.txt"), Bytes("not a backup"));
    HostWriteFile(New("Automated Backups\\Accounts.BK1"), Bytes("newer bk1"));

    EXPECT_EQ(Upgrade(4, kOld.c_str()), 0);

    EXPECT_EQ(HostReadFile(New("Automated Backups\\Accounts.BK1")), Bytes("newer bk1"));
    EXPECT_EQ(HostReadFile(New("Automated Backups\\Accounts.BK2")), Bytes("bk2"));
    EXPECT_EQ(HostReadFile(New("Letters\\Reminder.RTF")), Bytes("letter"));
    EXPECT_EQ(HostReadFile(New("Accounts.LW")), Bytes("accounts"));
    // The backup travels with the old folder, and so does every other file
    // the user kept in Backups.
    EXPECT_EQ(HostTree(kOldRenamed), (std::vector<std::string>{"Accounts.OLD", "Backups\\Accounts.BK1",
                                                               "Backups\\Manual.txt", "_Readme.txt"}));
    EXPECT_EQ(HostReadFile(Renamed("Backups\\Accounts.BK1")), Bytes("bk1"));
    EXPECT_EQ(HostReadFile(Renamed("Accounts.OLD")), Bytes("accounts"));
    EXPECT_EQ(Setting("LastLedgerwickOpenedInDataFolder"), New("Accounts.LW"));
    EXPECT_EQ(Driver(ReadLogEntries()), WalkThroughLines(data));
}

// The data folder already holds a different Accounts.OLD, which another
// program holds open, so the earlier copy cannot be carried over and stays;
// the data file then cannot take its name and stays as it is. Its copy in
// the data folder is the user's data all the same: the setting names it.
TEST_F(UpgradeTest, EarlierCopyThatDiffersFromTheDataFoldersStays)
{
    LayOutOldInstallation();
    HostWriteFile(Old("Accounts.OLD"), Bytes("earlier"));
    HostWriteFile(New("Accounts.OLD"), Bytes("other"));
    {
        HeldOpen held(New("Accounts.OLD"));
        EXPECT_EQ(Upgrade(4, kOld.c_str()), 0);
    }

    EXPECT_EQ(HostTree(kOldRenamed), (std::vector<std::string>{"Accounts.LW", "Accounts.OLD", "_Readme.txt"}));
    EXPECT_EQ(HostReadFile(Renamed("Accounts.OLD")), Bytes("earlier"));
    EXPECT_EQ(HostReadFile(Renamed("Accounts.LW")), Bytes("accounts"));
    EXPECT_EQ(HostReadFile(New("Accounts.OLD")), Bytes("other"));
    EXPECT_EQ(HostReadFile(New("Accounts.LW")), Bytes("accounts"));
    EXPECT_EQ(HostReadFile(New("Automated Backups\\Accounts.BK1")), Bytes("bk1"));
    EXPECT_EQ(Setting("LastLedgerwickOpenedInDataFolder"), New("Accounts.LW"));
    std::vector<LogEntry> entries = ReadLogEntries();
    EXPECT_TRUE(LogHas(entries, "TransferUserFiles",
                       "ERROR Not Deleted: " + Old("Accounts.OLD") + ", no identical copy in new datafile folder"));
    EXPECT_TRUE(LogHas(entries, "UpV5", I("Datafile is already in correct path")));
    EXPECT_TRUE(LogHas(entries, "UpV5", I("LastLW carried, its .OLD name taken: " + New("Accounts.LW"))));
    EXPECT_TRUE(LogHas(entries, "ValidateLastLedgerwickOpenedInDatafileFolder", I("Paths are the same")));
}

} // namespace
