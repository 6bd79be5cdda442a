// Whatever folders the setup and the settings name, the upgrade loses and
// strands no file of the user's: each file that existed before still exists,
// byte for byte, where the settings or the readme point (the data folder, or
// the old folder under its own or its " OLD" name), the settings name places
// that exist, and nothing outside the old folder and the data folder changes.
#include "upgrade/upgrade.h"
#include "files/files.h"
#include "support/host.h"
#include "support/links.h"
#include "support/log_reader.h"
#include "support/old_installation.h"

#ifdef _WIN32
#include <windows.h>
#else
#include "platform/sim_host.h"
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <thread>
#include <string>
#include <vector>

namespace {

using Files = std::map<std::string, std::string>;

std::string Bytes(const std::string &tag)
{
    return tag + std::string("\0\r\n\xff\x1a\n", 6) + tag;
}

std::string Join(const std::string &folder, const std::string &name)
{
    return folder.back() == '\\' ? folder + name : folder + "\\" + name;
}

Files FilesBelow(const std::string &folder)
{
    Files files;
    for (const std::string &rel : HostTree(folder))
        files[Join(folder, rel)] = HostReadFile(Join(folder, rel));
    return files;
}

std::string NameOf(const std::string &path)
{
    return path.substr(path.rfind('\\') + 1);
}

// The files below folder but the old program's own, which the clean-up
// deletes by design.
Files UserFilesBelow(const std::string &folder)
{
    Files files = FilesBelow(folder);
    for (auto file = files.begin(); file != files.end();) {
        bool program = std::any_of(std::begin(expected::kProgramFiles), std::end(expected::kProgramFiles),
                                   [&](const char *name) { return OsNamesEqualNoCase(name, NameOf(file->first).c_str()); });
        file = program ? files.erase(file) : std::next(file);
    }
    return files;
}

// Each file of before holds its bytes somewhere below places, under its own
// name or, for a data file, its ".OLD" name.
void ExpectEveryFileKept(const Files &before, const std::vector<std::string> &places)
{
    Files now;
    for (const std::string &place : places)
        if (!place.empty() && HostFolderExists(place))
            for (const auto &file : FilesBelow(place))
                now.insert(file);
    for (const auto &file : before) {
        std::string name = NameOf(file.first);
        std::string dotOld = name.substr(0, name.rfind('.')) + ".OLD";
        bool kept = std::any_of(now.begin(), now.end(), [&](const Files::value_type &candidate) {
            std::string found = NameOf(candidate.first);
            return candidate.second == file.second &&
                   (OsNamesEqualNoCase(found.c_str(), name.c_str()) ||
                    (OsPathMatchSpec(name.c_str(), "*.LW") && OsNamesEqualNoCase(found.c_str(), dotOld.c_str())));
        });
        EXPECT_TRUE(kept) << file.first << " was lost";
    }
}

// The settings name a data folder and a last data file that exist.
void ExpectSettingsNameWhatExists()
{
    std::string data = HostSettingText("DatafilePath");
    if (!data.empty()) {
        EXPECT_TRUE(HostFolderExists(data)) << "DatafilePath names a folder that is not there: " << data;
    }
    std::string last = HostSettingText("LastLedgerwickOpenedInDataFolder");
    if (!last.empty()) {
        EXPECT_TRUE(HostFileExists(last)) << "the last data file setting names nothing: " << last;
    }
}

std::string ShortPath(const std::string &path)
{
    char out[OS_PATH_BUFFER] = "";
#ifdef _WIN32
    GetShortPathNameA(path.c_str(), out, sizeof out);
#else
    SimShortPath(path.c_str(), out, sizeof out);
#endif
    return out;
}

std::string WindowsFolder()
{
    char folder[OS_PATH_BUFFER] = "";
    OsGetWindowsDirectory(folder, sizeof folder);
    return folder;
}

int Upgrade(int version, const char *oldFolder)
{
    return HostGetExports().UpgradeToVersion5(version, oldFolder);
}

class UserFilesKeptTest : public HostTest {
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        HostRegSetText(OS_HKEY_CURRENT_USER, "EnableDebugLog", "1");
        data = Join(HostShellFolder(OS_CSIDL_PERSONAL), "Ledgerwick Data");
    }

    // A small version-4 installation in folder.
    static void LayOut(const std::string &folder)
    {
        HostWriteFile(Join(folder, "ledgerwick.exe"), Bytes("exe"));
        HostWriteFile(Join(folder, "Accounts.LW"), Bytes("accounts"));
        HostWriteFile(Join(folder, "Backups\\Accounts.BK1"), Bytes("bk1"));
        HostWriteFile(Join(folder, "Letters\\Reminder.RTF"), Bytes("letter"));
    }

    std::string data;
};

// ---------------------------------------------------------------------------
// The data folder is the old folder under another spelling

TEST_F(UserFilesKeptTest, DataFolderThatIsTheOldFolderUnderAnotherSpellingLeavesItWhole)
{
    const std::string old = "C:\\lwtest\\LwReproFolder";
    struct Case {
        const char *name;
        int version;
        std::string argument;
        std::string dataFolder; // "" for the 8.3 form of the old folder
    } cases[] = {
        {"forward slashes", 4, old, "C:/lwtest/LwReproFolder"},
        {"8.3 name", 0, old, ""},
        {"trailing dot in the argument", 4, "c:\\lwtest\\lwreprofolder\\.", old},
        {"dot-dot in the argument", 0, "C:\\lwtest\\Other\\..\\LwReproFolder", old},
        {"other letter case", 4, "C:\\LWTEST\\LWREPROFOLDER", old},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        HostReset();
        HostRegSetText(OS_HKEY_CURRENT_USER, "EnableDebugLog", "1");
        HostWriteFile(Join(old, "Accounts.OLD"), Bytes("earlier"));
        HostWriteFile(Join(old, "Accounts.LW"), Bytes("current"));
        HostWriteFile(Join(old, "Backups\\Accounts.BK1"), Bytes("bk1"));
        HostMakeFolder("C:\\lwtest\\Other");
        std::string dataFolder = c.dataFolder.empty() ? ShortPath(old) : c.dataFolder;
        ASSERT_FALSE(dataFolder.empty());
        HostRegSetText(OS_HKEY_CURRENT_USER, "DatafilePath", dataFolder.c_str());
        HostRegSetText(OS_HKEY_CURRENT_USER, "LastLedgerwickOpenedInDataFolder", Join(old, "Accounts.LW").c_str());
        Files before = FilesBelow(old);

        EXPECT_EQ(Upgrade(c.version, c.argument.c_str()), 0);

        EXPECT_EQ(FilesBelow(old), before);
        EXPECT_FALSE(HostFolderExists(old + " OLD"));
        std::vector<LogEntry> entries = ReadLogEntries();
        bool refused = std::any_of(entries.begin(), entries.end(), [](const LogEntry &e) {
            return e.level == "FATAL" && e.message.find("OLDPath left alone (the data folder, or in it)") == 0;
        });
        EXPECT_TRUE(refused);
        ExpectSettingsNameWhatExists();
    }
}

// Called on its own with one folder under two spellings, the transfer copies
// nothing onto itself and takes no file for its own copy.
TEST_F(UserFilesKeptTest, TransferIntoTheOldFolderUnderAnotherSpellingKeepsEveryFile)
{
    const std::string old = "C:\\lwtest\\LwReproFolder";
    HostWriteFile(Join(old, "Accounts.OLD"), Bytes("earlier"));
    HostWriteFile(Join(old, "Accounts.LW"), Bytes("current"));
    Files before = FilesBelow(old);

    for (const std::string &spelling : {std::string("C:/lwtest/LwReproFolder"), ShortPath(old),
                                        std::string("c:\\LWTEST\\lwreprofolder\\.")}) {
        SCOPED_TRACE(spelling);
        TransferUserFiles(old.c_str(), spelling.c_str());
        EXPECT_EQ(FilesBelow(old), before);
    }
}

// ---------------------------------------------------------------------------
// Links

TEST_F(UserFilesKeptTest, OldSubFolderThatIsALinkLeavesWhatItPointsAtAlone)
{
    if (!CanMakeLinks())
        GTEST_SKIP() << "no way to make a symbolic link on this host";
    const std::string old = "C:\\lwtest\\LwLinked";
    const std::string outside = "C:\\lwtest\\LwOut";
    HostWriteFile(Join(old, "Accounts.LW"), Bytes("accounts"));
    HostWriteFile(Join(outside, "Outside.RTF"), Bytes("outside letter"));
    HostWriteFile(Join(outside, "Sub\\Deep.RTF"), Bytes("deep letter"));
    HostWriteFile(Join(outside, "Old.BK1"), Bytes("outside backup"));
    Files outsideBefore = FilesBelow(outside);
    {
        Links links;
        links.Make(outside, Join(old, "Letters"));
        links.Make(outside, Join(old, "Backups"));

        EXPECT_EQ(Upgrade(0, old.c_str()), 0);

        // The links travel with the old folder to its new name.
        EXPECT_FALSE(HostFolderExists(old));
        for (std::string &link : links.made)
            link = Join(old + " OLD", NameOf(link));
    }
    EXPECT_EQ(FilesBelow(outside), outsideBefore);
    EXPECT_FALSE(HostFolderExists(Join(data, "Letters")));
    EXPECT_FALSE(HostFolderExists(Join(data, "Automated Backups")));
    EXPECT_EQ(HostReadFile(Join(data, "Accounts.LW")), Bytes("accounts"));
}

// An old folder that is itself a link is left alone whole: neither what it
// points at nor the link's name changes.
TEST_F(UserFilesKeptTest, OldFolderThatIsALinkIsLeftAlone)
{
    if (!CanMakeLinks())
        GTEST_SKIP() << "no way to make a symbolic link on this host";
    const std::string outside = "C:\\lwtest\\LwOut";
    const std::string old = "C:\\lwtest\\LwLinkedInstall";
    LayOut(outside);
    Files before = FilesBelow(outside);
    {
        Links links;
        links.Make(outside, old);

        EXPECT_EQ(Upgrade(4, old.c_str()), 0);

        EXPECT_TRUE(HostFolderExists(old));
        EXPECT_FALSE(HostFolderExists(old + " OLD"));
    }
    EXPECT_EQ(FilesBelow(outside), before);
    EXPECT_TRUE(LogHas(ReadLogEntries(), "UpV5",
                       "FATAL OLDPath left alone (a link to another folder), nothing copied, deleted or renamed: " +
                           old));
}

// ---------------------------------------------------------------------------
// Folders that are no installation folder

// Files of the kinds the upgrade copies, renames, deletes or moves, in the
// folder and in sub-folders of the names the clean-up empties.
const char *const kSentinels[] = {"lw-sentinel.LW",          "lw-sentinel.OLD",          "lw-sentinel.LDB",
                                  "lw-sentinel.GID",         "Backups\\lw-sentinel.BK1", "Backups\\lw-taxes.zip",
                                  "Email\\lw-sentinel.eml",  "Letters\\lw-sentinel.RTF", "Manual\\lw-handbook.txt",
                                  "DISK1\\lw-sentinel.cab"};

struct Sentinels {
    Files files;
    std::vector<std::string> madeFolders;

    void Lay(const std::string &folder)
    {
        for (const char *sub : {"", "Backups", "Email", "Letters", "Manual", "DISK1"}) {
            std::string path = *sub ? Join(folder, sub) : folder;
            if (!HostFolderExists(path)) {
                HostMakeFolder(path);
                madeFolders.push_back(path);
            }
        }
        for (const char *name : kSentinels) {
            std::string path = Join(folder, name);
            files[path] = Bytes(path);
            HostWriteFile(path, files[path]);
        }
    }
    void Expect() const
    {
        for (const auto &file : files) {
            EXPECT_TRUE(HostFileExists(file.first)) << file.first;
            if (HostFileExists(file.first)) {
                EXPECT_EQ(HostReadFile(file.first), file.second) << file.first;
            }
        }
    }
    ~Sentinels()
    {
        for (const auto &file : files) {
            OsSetFileAttributes(file.first.c_str(), OS_FILE_ATTRIBUTE_NORMAL);
            OsDeleteFile(file.first.c_str());
        }
        for (auto folder = madeFolders.rbegin(); folder != madeFolders.rend(); ++folder)
            OsRemoveDirectory(folder->c_str());
    }
};

TEST_F(UserFilesKeptTest, FoldersThatAreNoInstallationFolderAreLeftAlone)
{
#ifndef _WIN32
    SimSetDrive('D', OS_DRIVE_FIXED);
    HostMakeFolder(Join(WindowsFolder(), "system32"));
#endif
    const std::string windows = WindowsFolder();
    const std::string profile = HostShellFolder(OS_CSIDL_PROFILE);
    const std::string documents = HostShellFolder(OS_CSIDL_PERSONAL);
    ASSERT_FALSE(windows.empty());
    ASSERT_FALSE(profile.empty());
    ASSERT_FALSE(documents.empty());
    const std::string profiles = profile.substr(0, profile.rfind('\\'));
    const std::string windowsName = NameOf(windows);
    const std::vector<std::string> arguments = {
        "C:\\", "C:\\\\", "\\\\?\\C:\\", "C:", "\\", "..", "D:\\",
        windows, windows + "\\", "C:\\Ledgerwick\\..\\" + windowsName, "c:\\" + windowsName + "\\.",
        Join(windows, "system32"),
        profile, profiles, documents, documents + "\\", data, Join(data, "Inside"),
        HostShellFolder(OS_CSIDL_COMMON_APPDATA), HostShellFolder(OS_CSIDL_PROGRAM_FILES),
        HostShellFolder(OS_CSIDL_APPDATA), HostShellFolder(OS_CSIDL_DESKTOPDIRECTORY),
    };
    for (const std::string &argument : arguments) {
        for (int version : {0, 4}) {
            SCOPED_TRACE(argument + " from version " + std::to_string(version));
            HostReset();
            HostRegSetText(OS_HKEY_CURRENT_USER, "EnableDebugLog", "1");
            HostWriteFile(Join(data, "Accounts.LW"), Bytes("the data folder's own"));
            Sentinels sentinels;
            for (const std::string &folder : {std::string("C:\\"), std::string("D:\\"), windows,
                                              Join(windows, "system32"), profile, profiles, documents, data,
                                              Join(data, "Inside")})
                sentinels.Lay(folder);
            Files dataBefore = FilesBelow(data);

            EXPECT_EQ(Upgrade(version, argument.c_str()), 0);

            sentinels.Expect();
            EXPECT_EQ(FilesBelow(data), dataBefore);
            for (const std::string &folder : {windows, profile, profiles, documents, data})
                EXPECT_FALSE(HostFolderExists(folder + " OLD")) << folder;
            std::vector<LogEntry> entries = ReadLogEntries();
            for (const LogEntry &e : entries) {
                EXPECT_NE(e.section, "TransferUserFiles");
                EXPECT_NE(e.section, "DeleteOldVersion");
                EXPECT_NE(e.section, "WriteReadme");
            }
        }
    }
}

// ---------------------------------------------------------------------------
// Folders of the user's inside the old folder

TEST_F(UserFilesKeptTest, DataFolderOrLastDataFileInsideTheOldFolderKeepItInPlace)
{
    const std::string old = "C:\\lwtest\\Ledgerwick";
    struct Case {
        const char *name;
        std::string dataFolder;   // "" for the default
        std::string lastDataFile; // in the old folder's sub-folder
    } cases[] = {
        {"data folder inside the old folder", Join(old, "Data"), ""},
        {"last data file in a sub-folder", "", Join(old, "Clients\\Client.LW")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        HostReset();
        HostRegSetText(OS_HKEY_CURRENT_USER, "EnableDebugLog", "1");
        LayOut(old);
        if (!c.dataFolder.empty()) {
            HostWriteFile(Join(c.dataFolder, "Other.LW"), Bytes("already there"));
            HostRegSetText(OS_HKEY_CURRENT_USER, "DatafilePath", c.dataFolder.c_str());
        }
        if (!c.lastDataFile.empty()) {
            HostWriteFile(c.lastDataFile, Bytes("client"));
            HostRegSetText(OS_HKEY_CURRENT_USER, "LastLedgerwickOpenedInDataFolder", c.lastDataFile.c_str());
        }
        Files before = UserFilesBelow(old);

        EXPECT_EQ(Upgrade(4, old.c_str()), 0);

        EXPECT_TRUE(HostFolderExists(old));
        EXPECT_FALSE(HostFolderExists(old + " OLD"));
        std::string dataFolder = HostSettingText("DatafilePath");
        ExpectEveryFileKept(before, {dataFolder, data, old});
        ExpectSettingsNameWhatExists();
        if (!c.dataFolder.empty()) {
            EXPECT_EQ(dataFolder, c.dataFolder);
            EXPECT_EQ(HostReadFile(Join(c.dataFolder, "Accounts.LW")), Bytes("accounts"));
            EXPECT_EQ(HostReadFile(Join(c.dataFolder, "Other.LW")), Bytes("already there"));
        } else {
            EXPECT_EQ(HostSettingText("LastLedgerwickOpenedInDataFolder"), c.lastDataFile);
            EXPECT_EQ(HostReadFile(c.lastDataFile), Bytes("client"));
        }
    }
}

// ---------------------------------------------------------------------------
// Files that could not be carried

// The data folder holds a different Accounts.LW, or the copy fails: the
// user's file keeps its name, the setting follows it to the old folder's new
// name, and never names the other file.
TEST_F(UserFilesKeptTest, DataFileThatCouldNotBeCarriedStaysNamedByTheSettings)
{
    const std::string old = "C:\\lwtest\\Ledgerwick";
    for (bool differentFileInData : {true, false}) {
        SCOPED_TRACE(differentFileInData ? "different file in the data folder" : "copy fails");
        if (!differentFileInData && !HostIsSimulated())
            continue; // a copy that fails for good needs the simulated host's faults
        HostReset();
        HostRegSetText(OS_HKEY_CURRENT_USER, "EnableDebugLog", "1");
        LayOut(old);
        HostRegSetText(OS_HKEY_CURRENT_USER, "LastLedgerwickOpenedInDataFolder", Join(old, "Accounts.LW").c_str());
        if (differentFileInData)
            HostWriteFile(Join(data, "Accounts.LW"), Bytes("someone else's books"));
#ifndef _WIN32
        else
            SimFailOperation(SIM_OP_COPY_FILE, Join(old, "Accounts.LW").c_str(), OS_ERROR_DISK_FULL);
#endif
        Files before = UserFilesBelow(old);

        EXPECT_EQ(Upgrade(4, old.c_str()), 0);
#ifndef _WIN32
        SimClearFaults();
#endif

        const std::string renamed = old + " OLD";
        ExpectEveryFileKept(before, {data, renamed});
        EXPECT_EQ(HostReadFile(Join(renamed, "Accounts.LW")), Bytes("accounts"));
        EXPECT_FALSE(HostFileExists(Join(renamed, "Accounts.OLD")));
        EXPECT_EQ(HostSettingText("LastLedgerwickOpenedInDataFolder"), Join(renamed, "Accounts.LW"));
        ExpectSettingsNameWhatExists();
        std::vector<LogEntry> entries = ReadLogEntries();
        EXPECT_TRUE(LogHas(entries, "TransferUserFiles",
                           "ERROR Not Carried: " + Join(old, "Accounts.LW") +
                               ", no identical copy in new datafile folder, kept under its name"));
        if (differentFileInData) {
            EXPECT_EQ(HostReadFile(Join(data, "Accounts.LW")), Bytes("someone else's books"));
        }
    }
}

TEST_F(UserFilesKeptTest, CleanUpKeepsTheUsersOwnFilesInBackupsEmailAndLetters)
{
    const std::string old = "C:\\lwtest\\Ledgerwick";
    LayOut(old);
    HostWriteFile(Join(old, "Letters\\MyLetter.doc"), Bytes("letter draft"));
    HostWriteFile(Join(old, "Email\\Sent.eml"), Bytes("sent mail"));
    HostWriteFile(Join(old, "Backups\\Notes.txt"), Bytes("notes"));
    HostWriteFile(Join(old, "Manual\\Handbook.hlp"), Bytes("handbook"));
    Files before = UserFilesBelow(old);
    before.erase(Join(old, "Manual\\Handbook.hlp"));

    EXPECT_EQ(Upgrade(4, old.c_str()), 0);

    const std::string renamed = old + " OLD";
    ExpectEveryFileKept(before, {data, renamed});
    EXPECT_EQ(HostReadFile(Join(renamed, "Letters\\MyLetter.doc")), Bytes("letter draft"));
    EXPECT_EQ(HostReadFile(Join(renamed, "Email\\Sent.eml")), Bytes("sent mail"));
    EXPECT_EQ(HostReadFile(Join(renamed, "Backups\\Notes.txt")), Bytes("notes"));
    // The old program's own files still go.
    EXPECT_FALSE(HostFileExists(Join(renamed, "ledgerwick.exe")));
    EXPECT_FALSE(HostFolderExists(Join(renamed, "Manual")));
    EXPECT_EQ(HostReadFile(Join(data, "Letters\\Reminder.RTF")), Bytes("letter"));
}

// A file another program holds for a moment (a virus scanner opening it) is
// carried once it is let go; the wait is logged once.
TEST_F(UserFilesKeptTest, FileHeldForAMomentIsCarriedOnceLetGo)
{
    const std::string old = "C:\\lwtest\\Ledgerwick";
    LayOut(old);
    const std::string held = Join(old, "Accounts.LW");
#ifdef _WIN32
    HANDLE handle = CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    // Let go once the upgrade has met the file held and says it will try
    // again (a fixed delay would race with a slow machine).
    std::thread letGo([handle, held] {
        const std::string path = LogPathForTests(), waiting = "In use, trying again: " + held;
        for (int i = 0; i < 500; i++) {
            std::string log;
            if (FILE *file = fopen(path.c_str(), "rb")) {
                char chunk[4096];
                for (size_t n; (n = fread(chunk, 1, sizeof chunk, file)) > 0;)
                    log.append(chunk, n);
                fclose(file);
            }
            if (log.find(waiting) != std::string::npos)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        CloseHandle(handle);
    });
#else
    // The first two tries of the copy meet the file held.
    SimArmFault(SIM_OP_COPY_FILE, held.c_str(), 1, SIM_FAULT_ONCE, OS_ERROR_SHARING_VIOLATION);
    SimArmFault(SIM_OP_COPY_FILE, held.c_str(), 2, SIM_FAULT_ONCE, OS_ERROR_SHARING_VIOLATION);
#endif

    EXPECT_EQ(Upgrade(4, old.c_str()), 0);
#ifdef _WIN32
    letGo.join();
#else
    EXPECT_EQ(SimCallCount(SIM_OP_SLEEP), 2u);
#endif

    EXPECT_EQ(HostReadFile(Join(data, "Accounts.LW")), Bytes("accounts"));
    EXPECT_EQ(HostReadFile(Join(old + " OLD", "Accounts.OLD")), Bytes("accounts"));
    std::vector<LogEntry> entries = ReadLogEntries();
    long waits = std::count_if(entries.begin(), entries.end(), [&](const LogEntry &e) {
        return e.message == "In use, trying again: " + held;
    });
    EXPECT_EQ(waits, 1);
}

// A run cut off after the data file took its ".OLD" name, before the old
// folder took its new one: the next run takes that file for what it is, the
// carried data file, not an earlier copy, and ends as an uninterrupted run.
TEST_F(UserFilesKeptTest, RunCutOffAfterTheDataFileWasReExtendedEndsAsAnUninterruptedOne)
{
    const std::string old = "C:\\lwtest\\Ledgerwick";
    HostWriteFile(Join(old, "ledgerwick.exe"), Bytes("exe"));
    HostWriteFile(Join(old, "Accounts.OLD"), Bytes("accounts"));
    HostWriteFile(Join(data, "Accounts.LW"), Bytes("accounts"));
    HostRegSetText(OS_HKEY_CURRENT_USER, "LastLedgerwickOpenedInDataFolder", Join(old, "Accounts.LW").c_str());

    EXPECT_EQ(Upgrade(4, old.c_str()), 0);

    EXPECT_EQ(HostTree(data), std::vector<std::string>{"Accounts.LW"});
    EXPECT_EQ(HostTree(old + " OLD"), (std::vector<std::string>{"Accounts.OLD", "_Readme.txt"}));
    EXPECT_EQ(HostReadFile(Join(old + " OLD", "Accounts.OLD")), Bytes("accounts"));
    EXPECT_EQ(HostSettingText("LastLedgerwickOpenedInDataFolder"), Join(data, "Accounts.LW"));
    EXPECT_TRUE(LogHas(ReadLogEntries(), "TransferUserFiles",
                       "INFO Already carried, kept as it is: " + Join(old, "Accounts.OLD")));
}

// ---------------------------------------------------------------------------
// The old folder's new name

TEST_F(UserFilesKeptTest, OldFolderTakesTheFirstFreeOldNameAndAnEarlierOneIsLeftAlone)
{
    const std::string old = "C:\\lwtest\\Ledgerwick";
    LayOut(old);
    HostWriteFile(Join(old + " OLD", "_Readme.txt"), "an earlier run's note");
    HostWriteFile(Join(old + " OLD", "Accounts.OLD"), Bytes("an earlier run's data"));
    Files earlier = FilesBelow(old + " OLD");

    EXPECT_EQ(Upgrade(4, old.c_str()), 0);

    EXPECT_EQ(FilesBelow(old + " OLD"), earlier);
    EXPECT_EQ(HostReadFile(Join(old + " OLD 2", "Accounts.OLD")), Bytes("accounts"));
    EXPECT_TRUE(HostFileExists(Join(old + " OLD 2", "_Readme.txt")));
    EXPECT_FALSE(HostFolderExists(old));
}

// A run after the old folder was retired (the setup run again, or run on
// after a cut): the setting that names the last data file follows it into
// the retired folder that holds it, whichever free name that folder took,
// and never into another one that holds a stale file of its name.
TEST_F(UserFilesKeptTest, LaterRunFollowsTheLastDataFileIntoItsRetiredFolderOnly)
{
    const std::string old = "C:\\lwtest\\Ledgerwick";
    const std::string books = Join(old, "Books.LW");
    struct Case {
        const char *name;
        std::string setting;
        std::vector<std::pair<std::string, std::string>> files; // path, bytes
        std::string expected;                                   // the setting after
    };
    const Case cases[] = {
        {"kept in the second name, the first one deleted since", Join(old + " OLD 2", "Books.LW"),
         {{Join(old + " OLD 2", "Books.LW"), "latest books"}}, Join(old + " OLD 2", "Books.LW")},
        {"cut off before the setting followed", books, {{Join(old + " OLD", "Books.LW"), "latest books"}},
         Join(old + " OLD", "Books.LW")},
        {"cut off before the setting followed, a free first name taken", books,
         {{Join(old + " OLD 2", "_Readme.txt"), "an earlier run's note"},
          {Join(old + " OLD", "Books.LW"), "latest books"}},
         Join(old + " OLD", "Books.LW")},
        {"cut off before the setting followed its carried copy", books,
         {{Join(old + " OLD", "Books.LW"), "books"}, {"DATA\\Books.LW", "books"}}, "DATA\\Books.LW"},
        // Which of the two is the latest no name tells: neither is named.
        {"two retired folders hold the name", books,
         {{Join(old + " OLD", "Books.LW"), "latest books"}, {Join(old + " OLD 2", "Books.LW"), "stale books"}},
         ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        HostReset();
        HostRegSetText(OS_HKEY_CURRENT_USER, "EnableDebugLog", "1");
        HostRegSetText(OS_HKEY_CURRENT_USER, "DatafilePath", data.c_str());
        HostMakeFolder(data);
        auto place = [&](const std::string &path) {
            return path.rfind("DATA\\", 0) == 0 ? Join(data, path.substr(5)) : path;
        };
        for (const auto &file : c.files)
            HostWriteFile(place(file.first), Bytes(file.second));
        HostRegSetText(OS_HKEY_CURRENT_USER, "LastLedgerwickOpenedInDataFolder", c.setting.c_str());
        Files before = FilesBelow("C:\\lwtest");

        Upgrade(4, old.c_str());

        EXPECT_EQ(HostSettingText("LastLedgerwickOpenedInDataFolder"), place(c.expected));
        EXPECT_EQ(FilesBelow("C:\\lwtest"), before);
        ExpectSettingsNameWhatExists();
    }
}

TEST_F(UserFilesKeptTest, FailedRenameIsLoggedAndTheReadmeGoesWhereTheFolderIs)
{
    if (!HostIsSimulated())
        GTEST_SKIP() << "a folder rename that fails needs the simulated host's faults";
#ifndef _WIN32
    const std::string old = "C:\\lwtest\\Ledgerwick";
    LayOut(old);
    SimFailOperation(SIM_OP_RENAME, old.c_str(), OS_ERROR_ACCESS_DENIED);

    EXPECT_EQ(Upgrade(4, old.c_str()), 0);
    SimClearFaults();

    EXPECT_TRUE(HostFileExists(Join(old, "_Readme.txt")));
    EXPECT_EQ(HostReadFile(Join(old, "Accounts.OLD")), Bytes("accounts"));
    EXPECT_FALSE(HostFolderExists(old + " OLD"));
    std::vector<LogEntry> entries = ReadLogEntries();
    EXPECT_TRUE(LogHas(entries, "UpV5", "ERROR Not Renamed: OLDPath to TempPath (" + old + " OLD)"));
    EXPECT_FALSE(LogHas(entries, "UpV5", "INFO Renamed OLDPath to TempPath"));
#endif
}

// ---------------------------------------------------------------------------
// The settings

// Without an old folder nothing is carried, so no setting follows the last
// data file: a folder stored from its place could be the old program's own
// (which every later run would then refuse as the data folder), one that is
// gone, or one below the data folder. The final check still clears a
// last-opened file that is not directly in the data folder.
TEST_F(UserFilesKeptTest, NoOldFolderStoresNoFolderFromTheLastDataFile)
{
    const std::string installed = "C:\\lwtest\\Apps\\Ledgerwick";
    const std::string books = "C:\\lwtest\\Books";
    const struct {
        const char *what;
        std::string datafilePath; // "" for none: the default is stored
        std::string lastOpened;
        std::string expectedDatafilePath; // "" for the default
        std::string expectedLast;
    } cases[] = {
        {"the last data file in the real old folder, a wrong one given", "", Join(installed, "Accounts.LW"), "", ""},
        {"the last data file's folder gone", books, "C:\\lwtest\\Gone\\Accounts.LW", books, ""},
        {"the last data file below the data folder", books, Join(books, "2007\\Accounts.LW"), books, ""},
        {"the data folder in other letter case", books, "c:\\LWTEST\\books\\Accounts.LW", books,
         "c:\\LWTEST\\books\\Accounts.LW"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        HostReset();
        LayOut(installed);
        HostWriteFile(Join(books, "Accounts.LW"), Bytes("books"));
        HostWriteFile(Join(books, "2007\\Accounts.LW"), Bytes("books 2007"));
        if (!c.datafilePath.empty())
            HostRegSetText(OS_HKEY_CURRENT_USER, "DatafilePath", c.datafilePath.c_str());
        HostRegSetText(OS_HKEY_CURRENT_USER, "LastLedgerwickOpenedInDataFolder", c.lastOpened.c_str());

        EXPECT_EQ(Upgrade(4, "C:\\lwtest\\NoSuchFolder"), 0);

        EXPECT_EQ(HostSettingText("DatafilePath"), c.expectedDatafilePath.empty() ? data : c.expectedDatafilePath);
        EXPECT_EQ(HostSettingText("LastLedgerwickOpenedInDataFolder"), c.expectedLast);

        // The run the setup then makes with the right folder carries it.
        EXPECT_EQ(Upgrade(4, installed.c_str()), 0);
        EXPECT_FALSE(HostFolderExists(installed));
        const std::string dataFolder = HostSettingText("DatafilePath");
        EXPECT_EQ(HostReadFile(Join(dataFolder, "Accounts.LW")), Bytes(c.datafilePath.empty() ? "accounts" : "books"));
        EXPECT_EQ(HostReadFile(Join(installed + " OLD", c.datafilePath.empty() ? "Accounts.OLD" : "Accounts.LW")),
                  Bytes("accounts"));
    }
}

TEST_F(UserFilesKeptTest, DataFolderThatCannotBeMadeLeavesTheOldFolderWhole)
{
    const std::string old = "C:\\lwtest\\Ledgerwick";
    for (const std::string &dataFolder : {std::string("C:\\lwtest\\afile.txt\\Data"), std::string("Q:\\Data"),
                                          std::string("Ledgerwick Data")}) {
        SCOPED_TRACE(dataFolder);
        HostReset();
        HostRegSetText(OS_HKEY_CURRENT_USER, "EnableDebugLog", "1");
        LayOut(old);
        HostWriteFile("C:\\lwtest\\afile.txt", "a file, not a folder");
        HostRegSetText(OS_HKEY_CURRENT_USER, "DatafilePath", dataFolder.c_str());
        Files before = FilesBelow(old);

        EXPECT_EQ(Upgrade(4, old.c_str()), 0);

        EXPECT_EQ(FilesBelow(old), before);
        EXPECT_FALSE(HostFolderExists(old + " OLD"));
        EXPECT_TRUE(LogHas(ReadLogEntries(), "UpV5", "FATAL Not Found: NEWPath"));
    }
}

} // namespace
