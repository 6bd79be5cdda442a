// The upgrade export that tells what it did: its result mask, its report,
// and the preview that must change nothing and tell the same story as the
// run that follows it.
#include "support/host.h"
#include "support/held_open.h"
#include "support/log_reader.h"
#include "support/nothing_lost.h"
#include "support/report_replay.h"

#include "settings/settings.h"

#ifdef _WIN32
#include <windows.h>
#else
#include "platform/sim_host.h"
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <climits>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

const std::string kOld = "C:\\Ledgerwick";
const std::string kOldRenamed = "C:\\Ledgerwick OLD";
const std::string kReportFolder = "C:\\lwtest";
const std::string kReport = kReportFolder + "\\upgrade report.txt";

const int kCarried = 1, kKept = 2, kSettings = 4, kFailed = 8, kNothingToDo = 16;
const unsigned kPreview = 1;

std::string Bytes(const std::string &tag)
{
    return tag + std::string("\0\r\n\xff\x1a\n", 6) + tag;
}

std::wstring Wide(const std::string &text)
{
    return std::wstring(text.begin(), text.end());
}

std::string Old(const std::string &rel) { return kOld + "\\" + rel; }

std::string Line(const std::string &verb, const std::string &before, const std::string &after)
{
    return verb + "\t" + before + "\t" + after;
}

std::string Kept(const std::string &path, const std::string &reason) { return "kept\t" + path + "\t\t" + reason; }

// Everything the upgrade could touch: the files of every folder it works
// in, the INI file, the log, and every setting in both roots.
std::map<std::string, std::string> HostState(const std::vector<std::string> &folders)
{
    std::map<std::string, std::string> state;
    std::vector<std::string> files;
    for (const std::string &folder : folders) {
        state["folder " + folder] = HostFolderExists(folder) ? "there" : "absent";
        for (const std::string &rel : HostTree(folder))
            files.push_back(folder + "\\" + rel);
    }
    char windows[OS_PATH_BUFFER] = "";
    OsGetWindowsDirectory(windows, sizeof windows);
    files.push_back(std::string(windows) + "\\ledgerwick.ini");
    files.push_back(LogPathForTests());
    for (const std::string &file : files)
        state["file " + file] = HostFileExists(file) ? HostReadFile(file) : "<absent>";
    for (OsRootKey root : {OS_HKEY_CURRENT_USER, OS_HKEY_LOCAL_MACHINE}) {
        for (int id = 0; id < SETTING_COUNT; id++) {
            std::string bytes;
            unsigned long type = 0;
            bool there = HostRegGet(root, SettingCatalogue[id], &bytes, &type);
            state["setting " + std::to_string(root) + " " + SettingCatalogue[id]] =
                there ? std::to_string(type) + ":" + bytes : "<absent>";
        }
    }
    return state;
}

std::vector<std::string> Sorted(std::vector<std::string> lines)
{
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::vector<std::string> NotMentioning(const std::vector<std::string> &lines, const std::string &path)
{
    std::vector<std::string> kept;
    for (const std::string &line : lines)
        if (path.empty() || line.find(path + "\t") == std::string::npos)
            kept.push_back(line);
    return Sorted(kept);
}

// Whether the log shows the wait for a held file under section; read raw,
// as the log may be half-written while another thread asks.
// Whether the log shows the count-th wait for path under section.
bool LogShowsWait(const std::string &section, const std::string &path, int count = 1)
{
    std::string log;
#ifdef _WIN32
    if (FILE *file = fopen(LogPathForTests().c_str(), "rb")) {
        char chunk[4096];
        for (size_t n; (n = fread(chunk, 1, sizeof chunk, file)) > 0;)
            log.append(chunk, n);
        fclose(file);
    }
#else
    if (HostFileExists(LogPathForTests()))
        log = HostReadFile(LogPathForTests());
#endif
    const std::string wait = "In use, trying again: " + path + "\r\n";
    for (size_t at = log.find(wait); at != std::string::npos; at = log.find(wait, at + 1)) {
        size_t start = log.rfind("\r\n", at);
        start = start == std::string::npos ? 0 : start + 2;
        if (log.substr(start, at - start).find("- " + section + " ") != std::string::npos && --count == 0)
            return true;
    }
    return false;
}

// Which try the simulated host fails for a held file.
enum SimOperationOrNone { kRenameTry, kDeleteTry };

class UpgradeReportTest : public HostTest {
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        Prepare();
    }

    void Prepare()
    {
        // Logging on, so a preview that wrote a line would show.
        HostRegSetText(OS_HKEY_CURRENT_USER, "EnableDebugLog", "1");
        data = HostShellFolder(OS_CSIDL_PERSONAL) + "\\Ledgerwick Data";
        HostMakeFolder(kReportFolder);
    }

    void Fresh()
    {
        HostReset();
        Prepare();
    }

    std::string data;
    std::string New(const std::string &rel) const { return data + "\\" + rel; }

    static int UpgradeEx(int version, const std::string &oldFolder, unsigned flags, const std::string &report)
    {
        const HostExports &exports = HostGetExports();
        if (!exports.UpgradeToVersion5ExW) {
            ADD_FAILURE() << "LedgerwickInstaller_UpgradeToVersion5ExW is not exported";
            return INT_MIN;
        }
        std::wstring wideOld = Wide(oldFolder), wideReport = Wide(report);
        return exports.UpgradeToVersion5ExW(version, wideOld.c_str(), flags,
                                            report.empty() ? nullptr : wideReport.c_str());
    }

    // The walk-through's version-4 installation.
    static void LayOutOldInstallation()
    {
        for (const char *name : {"ledgerwick.exe", "msafin.dll", "Uninstal.exe"})
            HostWriteFile(Old(name), Bytes(name));
        HostWriteFile(Old("Accounts.LW"), Bytes("accounts"));
        HostWriteFile(Old("Accounts.LDB"), Bytes("lock"));
        HostWriteFile(Old("Backups\\Accounts.BK1"), Bytes("bk1"));
        HostWriteFile(Old("Backups\\Accounts.BK2"), Bytes("bk2"));
        HostWriteFile(Old("Letters\\Reminder.RTF"), Bytes("letter"));
        HostRegSetText(OS_HKEY_CURRENT_USER, "LastLedgerwickOpenedInDataFolder", Old("Accounts.LW").c_str());
    }

    std::vector<std::string> Touched() const
    {
        return {kOld, kOldRenamed, data, kReportFolder + "\\other"};
    }
};

// The walk-through, and the two ways a user file stays behind: each
// previewed (which must change nothing at all), then run for real. The
// preview tells what the run does, line for line, except about the file
// that a fault holds back.
TEST_F(UpgradeReportTest, PreviewThenRunReportEveryUserFile)
{
    struct Case {
        const char *name;
        bool differentInDataFolder;
        bool locked;
        int mask;
        std::vector<std::string> accountsLines; // the lines about Accounts.LW
    };
    const std::string newer = "a different file of that name is in the data folder";
    const Case cases[] = {
        {"walk-through", false, false, kCarried | kSettings,
         {Line("copied", Old("Accounts.LW"), New("Accounts.LW")),
          Line("renamed", Old("Accounts.LW"), Old("Accounts.OLD"))}},
        {"different Accounts.LW in the data folder", true, false, kCarried | kKept | kSettings,
         {Kept(Old("Accounts.LW"), newer)}},
        {"Accounts.LW held open", false, true, kCarried | kSettings | kFailed,
         {"failed\t" + Old("Accounts.LW") + "\t" + New("Accounts.LW") + "\tin use by another program"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Fresh();
        LayOutOldInstallation();
        if (c.differentInDataFolder)
            HostWriteFile(New("Accounts.LW"), Bytes("newer"));
        std::vector<std::string> common = {
            Line("deleted", Old("Accounts.LDB"), ""),
            Line("moved", Old("Backups\\Accounts.BK1"), New("Automated Backups\\Accounts.BK1")),
            Line("moved", Old("Backups\\Accounts.BK2"), New("Automated Backups\\Accounts.BK2")),
            Line("moved", Old("Letters\\Reminder.RTF"), New("Letters\\Reminder.RTF")),
            Line("renamed", kOld, kOldRenamed),
        };
        std::vector<std::string> expected = common;
        expected.insert(expected.end(), c.accountsLines.begin(), c.accountsLines.end());

        HostWriteFile(kReport, "an earlier report");
        auto before = HostState(Touched());
        ReportFile preview;
        {
            // The preview touches no file, so a held file's fault on the
            // simulated host would never fire; under Wine it is held for real.
            HeldOpen *held = c.locked && !HostIsSimulated() ? new HeldOpen(Old("Accounts.LW")) : nullptr;
            int previewMask = UpgradeEx(4, kOld, kPreview, kReport);
            delete held;
            // Assuming each operation succeeds: the walk-through's mask.
            EXPECT_EQ(previewMask, c.locked ? (kCarried | kSettings) : c.mask);
        }
        EXPECT_EQ(HostState(Touched()), before);
        preview = ReadReport(kReport);
        ASSERT_TRUE(preview.whole);
        EXPECT_FALSE(HostFileExists(kReport + ".tmp"));

        int mask;
        {
            HeldOpen *held = c.locked ? new HeldOpen(Old("Accounts.LW")) : nullptr;
            mask = UpgradeEx(4, kOld, 0, kReport);
            delete held;
        }
        EXPECT_EQ(mask, c.mask);
        ReportFile run = ReadReport(kReport);
        ASSERT_TRUE(run.whole);
        EXPECT_EQ(Sorted(run.lines), Sorted(expected));
        if (!c.locked) {
            EXPECT_EQ(Sorted(preview.lines), Sorted(run.lines));
            EXPECT_EQ(preview.summary, run.summary);
        }
        EXPECT_EQ(NotMentioning(preview.lines, c.locked ? Old("Accounts.LW") : ""),
                  NotMentioning(run.lines, c.locked ? Old("Accounts.LW") : ""));

        // The summary: counts, the data folder, the old folder's final name.
        int copied = c.differentInDataFolder || c.locked ? 0 : 1;
        int renamed = copied + 1, kept = c.differentInDataFolder ? 1 : 0, failed = c.locked ? 1 : 0;
        EXPECT_EQ(run.summary, "summary\t" + std::to_string(copied) + " copied, 3 moved, " + std::to_string(renamed) +
                                   " renamed, 1 deleted, " + std::to_string(kept) + " kept, " +
                                   std::to_string(failed) + " failed\t" + data + "\t" + kOldRenamed);

        // What the lines say is where the files are.
        EXPECT_EQ(HostReadFile(New("Automated Backups\\Accounts.BK1")), Bytes("bk1"));
        if (c.locked)
            EXPECT_FALSE(HostFileExists(New("Accounts.LW")));
        else
            EXPECT_EQ(HostReadFile(New("Accounts.LW")), Bytes(c.differentInDataFolder ? "newer" : "accounts"));
        if (copied)
            EXPECT_EQ(HostReadFile(kOldRenamed + "\\Accounts.OLD"), Bytes("accounts"));
        else
            EXPECT_EQ(HostReadFile(kOldRenamed + "\\Accounts.LW"), Bytes("accounts"));
        // The same run as the plain export: its log.
        std::vector<LogEntry> entries = ReadLogEntries();
        EXPECT_TRUE(LogHas(entries, "UpV5", "INFO Renamed OLDPath to TempPath"));
    }
}

// A data file whose identical copy already stands in the data folder, as a
// run cut off after the copy leaves it (the copy keeps the read-only bit of
// a file the user protected, and CopyFile refuses to replace it): it is
// carried without a copy, no failure, no wait, and it takes its ".OLD" name.
TEST_F(UpgradeReportTest, IdenticalCopyAlreadyInTheDataFolderIsNotCopiedAgain)
{
    struct Case {
        const char *name;
        bool readOnly;
    } const cases[] = {
        {"read-only, as a copy of a read-only data file", true},
        {"writable", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Fresh();
        LayOutOldInstallation();
        HostWriteFile(New("Accounts.LW"), Bytes("accounts"));
        HostCopyFileTime(Old("Accounts.LW"), New("Accounts.LW"));
        if (c.readOnly) {
            ASSERT_NE(OsSetFileAttributes(Old("Accounts.LW").c_str(), OS_FILE_ATTRIBUTE_READONLY), 0);
            ASSERT_NE(OsSetFileAttributes(New("Accounts.LW").c_str(), OS_FILE_ATTRIBUTE_READONLY), 0);
        }
        auto before = FilesBelow(Touched());

        EXPECT_EQ(UpgradeEx(4, kOld, 0, kReport), kCarried | kSettings);

        ReportFile run = ReadReport(kReport);
        ASSERT_TRUE(run.whole);
        EXPECT_EQ(Sorted(run.lines),
                  Sorted({Line("deleted", Old("Accounts.LDB"), ""),
                          Line("moved", Old("Backups\\Accounts.BK1"), New("Automated Backups\\Accounts.BK1")),
                          Line("moved", Old("Backups\\Accounts.BK2"), New("Automated Backups\\Accounts.BK2")),
                          Line("moved", Old("Letters\\Reminder.RTF"), New("Letters\\Reminder.RTF")),
                          Line("renamed", Old("Accounts.LW"), Old("Accounts.OLD")), Line("renamed", kOld, kOldRenamed)}));
        EXPECT_EQ(run.summary, "summary\t0 copied, 3 moved, 2 renamed, 1 deleted, 0 kept, 0 failed\t" + data + "\t" +
                                   kOldRenamed);
        EXPECT_EQ(HostReadFile(New("Accounts.LW")), Bytes("accounts"));
        EXPECT_EQ(HostReadFile(kOldRenamed + "\\Accounts.OLD"), Bytes("accounts"));
        EXPECT_EQ(HostSettingText("LastLedgerwickOpenedInDataFolder"), New("Accounts.LW"));
        std::vector<LogEntry> entries = ReadLogEntries();
        EXPECT_TRUE(LogHas(entries, "TransferUserFiles", "INFO Already in new datafile folder: " + Old("Accounts.LW")));
        EXPECT_FALSE(LogHas(entries, "PerformActionOnFiles_DoAction",
                            "INFO In use, trying again: " + Old("Accounts.LW")));
#ifndef _WIN32
        EXPECT_EQ(SimSleptMilliseconds(), 0u);
#endif
        ExpectNothingLost(before, Touched());
        for (const std::string &file : {New("Accounts.LW"), kOldRenamed + "\\Accounts.OLD"})
            OsSetFileAttributes(file.c_str(), OS_FILE_ATTRIBUTE_NORMAL);
    }
}

// Whether a file of the old folder may be deleted or given its ".OLD" name
// rests on its identical copy in the data folder. When the file is held
// and the upgrade waits, the program holding it may write the copy
// meanwhile: the rule is asked again before each try, and the file stays.
// The simulated host fails the first try and changes the copy in the wait;
// under Wine the file is held for real (sharing reading, so that its copy
// is made and compared first) and let go only after the copy was changed.
TEST_F(UpgradeReportTest, CopyChangedWhileTheFileIsHeldStopsItsRenameOrDelete)
{
    struct Case {
        const char *name;
        std::string held, copy;   // relative to the old and the data folder
        SimOperationOrNone operation; // the simulated host's held try
        std::string waitSection;  // where the wait for it is logged
        int wait;                 // which wait for it there (under Wine, the
                                  // transfer's own move may wait first)
        bool usersOwnBackup;      // a file of the user's in "Backups" too
        std::string stays;        // the report line of the file that stays
        std::string never;        // the line of the act that must not happen
        int mask;
    };
    const std::string changedCopy = "a different file of that name is in the data folder";
    const std::string carriedBackup = Old("Backups\\Accounts.BK1");
    // Under Wine the backup, held for real, holds up the transfer's move
    // first, which waits under the same section.
    const int kWaitsBeforeTheCleanUp = HostIsSimulated() ? 1 : 2;
    const Case cases[] = {
        {"a data file's new name", "Accounts.LW", "Accounts.LW", kRenameTry, "PerformActionOnFiles_DoAction", 1,
         true, Kept(Old("Accounts.LW"), changedCopy), Line("renamed", Old("Accounts.LW"), Old("Accounts.OLD")),
         kCarried | kKept | kSettings},
        {"an earlier copy's delete", "Books.OLD", "Books.OLD", kDeleteTry, "PerformActionOnFiles_DoAction", 1, true,
         Kept(Old("Books.OLD"), changedCopy), Line("deleted", Old("Books.OLD"), ""), kCarried | kKept | kSettings},
        // The user's own file makes the clean-up judge the backups one by
        // one; without it every backup was carried and the whole folder is
        // cleared in one pass, which must ask again just the same.
        {"a backup's clean-up", "Backups\\Accounts.BK1", "Automated Backups\\Accounts.BK1", kDeleteTry,
         "DeleteOldVersion", 1, true,
         "failed\t" + Old("Backups\\Accounts.BK1") + "\t\tin use by another program",
         Line("deleted", Old("Backups\\Accounts.BK1"), ""), 0},
        {"a backup's clean-up, every backup carried", "Backups\\Accounts.BK1", "Automated Backups\\Accounts.BK1",
         kDeleteTry, "PerformActionOnFiles_DoAction", kWaitsBeforeTheCleanUp, false,
         "failed\t" + carriedBackup + "\t\tin use by another program", Line("deleted", carriedBackup, ""), 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Fresh();
        LayOutOldInstallation();
        HostWriteFile(Old("Books.OLD"), Bytes("books"));
        // A run before carried these.
        HostWriteFile(New("Books.OLD"), Bytes("books"));
        HostWriteFile(New("Automated Backups\\Accounts.BK1"), Bytes("bk1"));
        if (c.usersOwnBackup)
            HostWriteFile(Old("Backups\\Notes.txt"), Bytes("notes"));
        auto before = FilesBelow(Touched());
        const std::string held = Old(c.held), copy = New(c.copy);

        int mask;
#ifdef _WIN32
        HANDLE handle = CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(handle, INVALID_HANDLE_VALUE);
        std::thread otherProgram([&] {
            for (int i = 0; i < 500 && !LogShowsWait(c.waitSection, held, c.wait); i++)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            HostWriteFile(copy, Bytes("written while held"));
            CloseHandle(handle);
        });
        mask = UpgradeEx(4, kOld, 0, kReport);
        otherProgram.join();
#else
        SimArmFault(c.operation == kRenameTry ? SIM_OP_RENAME : SIM_OP_DELETE_FILE, held.c_str(), 1,
                    SIM_FAULT_ONCE, OS_ERROR_SHARING_VIOLATION);
        struct Writer {
            std::string path;
            int waits = 0;
            static void Write(void *context)
            {
                Writer *writer = static_cast<Writer *>(context);
                if (writer->waits++ == 0)
                    HostWriteFile(writer->path, Bytes("written while held"));
            }
        } writer{copy};
        SimSetSleepHook(Writer::Write, &writer);
        mask = UpgradeEx(4, kOld, 0, kReport);
        SimSetSleepHook(nullptr, nullptr);
        EXPECT_EQ(writer.waits, 1);
#endif

        EXPECT_TRUE(LogShowsWait(c.waitSection, held, c.wait));
        if (c.mask != 0)
            EXPECT_EQ(mask, c.mask);
        else
            EXPECT_NE(mask & kFailed, 0);
        ReportFile run = ReadReport(kReport);
        ASSERT_TRUE(run.whole);
        // A file held for real (under Wine) already fails the transfer's
        // move, whose line names where it was going; the file's one line
        // is that failure, with the same reason.
        auto withoutAfter = [](const std::string &line) {
            std::vector<std::string> f = SplitFields(line);
            return f.size() == 4 ? f[0] + "\t" + f[1] + "\t" + f[3] : line;
        };
        EXPECT_TRUE(std::any_of(run.lines.begin(), run.lines.end(),
                                [&](const std::string &line) { return withoutAfter(line) == withoutAfter(c.stays); }))
            << c.stays << "\nreport:\n" << ::testing::PrintToString(run.lines);
        EXPECT_EQ(std::find(run.lines.begin(), run.lines.end(), c.never), run.lines.end()) << c.never;
        // The file stays under its name, with its bytes; the copy is what
        // the other program wrote.
        EXPECT_EQ(HostReadFile(kOldRenamed + "\\" + c.held), before[held]);
        EXPECT_EQ(HostReadFile(copy), Bytes("written while held"));
        ExpectNothingLost(before, Touched());
    }
}

// The data folder the settings name, where the run can't make it: the
// preview must ask what the run's folder creation asks, level by level, and
// promise nothing the run won't do.
TEST_F(UpgradeReportTest, PreviewAndRunAgreeWhetherTheDataFolderCanBeMade)
{
    const std::string noDataFolder = "no data folder to carry the files to";
    struct Case {
        const char *name;
        std::string dataFolder;
        bool made; // the run makes it and carries the files
    } cases[] = {
        {"a drive that does not exist", "Q:\\Nowhere", false},
        {"forward slashes below a missing folder", "C:/lwtest/Custom/Fwd", false},
        {"backslashes, then a forward slash below a missing folder", "C:\\lwtest\\Custom/Fwd", false},
        {"a file where a folder would be", "C:\\lwtest\\afile\\Data", false},
        {"forward slashes below an existing folder", "C:/lwtest/Fwd", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Fresh();
        LayOutOldInstallation();
        HostWriteFile("C:\\lwtest\\afile", "not a folder");
        HostRegSetText(OS_HKEY_CURRENT_USER, "DatafilePath", c.dataFolder.c_str());
        HostWriteFile(kReport, "an earlier report");
        auto before = HostState(Touched());
        std::vector<std::string> oldTree = HostTree(kOld);
        std::vector<std::string> tree = HostTree(kReportFolder);
        std::vector<std::string> listing = HostList(kReportFolder);

        int previewMask = UpgradeEx(4, kOld, kPreview, kReport);
        EXPECT_EQ(HostState(Touched()), before);
        EXPECT_EQ(HostList(kReportFolder), listing);
        ReportFile preview = ReadReport(kReport);
        ASSERT_TRUE(preview.whole);

        int mask = UpgradeEx(4, kOld, 0, kReport);
        ReportFile run = ReadReport(kReport);
        ASSERT_TRUE(run.whole);
        EXPECT_EQ(previewMask, mask);
        EXPECT_EQ(Sorted(preview.lines), Sorted(run.lines));
        EXPECT_EQ(preview.summary, run.summary);
        if (c.made) {
            EXPECT_EQ(mask, kCarried | kSettings);
            EXPECT_EQ(HostReadFile("C:\\lwtest\\Fwd\\Accounts.LW"), Bytes("accounts"));
        } else {
            EXPECT_EQ(mask, kKept | kFailed);
            EXPECT_EQ(run.lines, std::vector<std::string>{Kept(kOld, noDataFolder)});
            // Nothing of the old folder went anywhere, nor was a folder made.
            EXPECT_EQ(HostTree(kOld), oldTree);
            EXPECT_EQ(HostTree(kReportFolder), tree);
        }
    }
}

// An old folder spelt in the device namespace (\\?\ or \\.\) is
// refused by the run, a drive root or not, whether or not a last data file
// is named; the preview must find it there just as the run does and refuse
// it the same way.
TEST_F(UpgradeReportTest, PreviewAndRunAgreeOnADevicePathOldFolder)
{
    for (const std::string &oldFolder : {std::string("\\\\?\\C:\\"), std::string("\\\\?\\C:\\Ledgerwick"),
                                         std::string("\\\\.\\C:\\Ledgerwick"), std::string("\\\\?\\c:\\ledgerwick\\"),
                                         std::string("\\\\.\\C:\\")})
    for (bool lastOpened : {false, true}) {
        SCOPED_TRACE(oldFolder + (lastOpened ? ", last data file named" : ", no last data file"));
        Fresh();
        LayOutOldInstallation();
        if (!lastOpened)
            HostRegDelete(OS_HKEY_CURRENT_USER, "LastLedgerwickOpenedInDataFolder");
        auto before = HostState(Touched());

        int previewMask = UpgradeEx(4, oldFolder, kPreview, kReport);
        EXPECT_EQ(HostState(Touched()), before);
        ReportFile preview = ReadReport(kReport);
        ASSERT_TRUE(preview.whole);

        int mask = UpgradeEx(4, oldFolder, 0, kReport);
        ReportFile run = ReadReport(kReport);
        ASSERT_TRUE(run.whole);
        EXPECT_EQ(mask, kKept | kSettings | kFailed);
        EXPECT_EQ(previewMask, mask);
        EXPECT_EQ(preview.lines, run.lines);
        EXPECT_EQ(preview.summary, run.summary);
        EXPECT_EQ(run.lines.size(), 1u);
        if (!run.lines.empty()) {
            EXPECT_EQ(run.lines[0].compare(0, 5, "kept\t"), 0) << run.lines[0];
        }
        // Refused: every file where it was.
        EXPECT_EQ(HostReadFile(Old("Accounts.LW")), Bytes("accounts"));
        EXPECT_EQ(HostReadFile(Old("ledgerwick.exe")), Bytes("ledgerwick.exe"));
        EXPECT_FALSE(HostFolderExists(kOldRenamed));
    }
}

// The old folder given with a trailing backslash is one folder however the
// run ends and whether or not a last data file is named: the report's line
// about it, the summary's final name and the log all spell it alike.
TEST_F(UpgradeReportTest, OldFolderIsSpeltOneWayInTheReport)
{
    struct Case {
        const char *name;
        bool userFiles;         // the walk-through's files, or only the program's
        std::string dataFolder; // the stored data folder; "" for the default
        std::string line;       // the report's line about the old folder
        std::string finalName;  // the summary's old folder
    } const cases[] = {
        {"carried and renamed", true, "", Line("renamed", kOld, kOldRenamed), kOldRenamed},
        {"left empty and removed", false, "", Line("deleted", kOld, ""), kOld},
        {"no data folder", true, "Q:\\Nowhere", Kept(kOld, "no data folder to carry the files to"), kOld},
        {"holds the data folder", true, Old("Data"), Kept(kOld, "holds the data folder or the last data file"),
         kOld},
    };
    for (const Case &c : cases)
    for (bool lastOpened : {true, false}) {
        SCOPED_TRACE(std::string(c.name) + (lastOpened ? ", last data file named" : ", no last data file"));
        Fresh();
        if (c.userFiles) {
            LayOutOldInstallation();
        } else {
            for (const char *name : {"ledgerwick.exe", "msafin.dll", "Uninstal.exe"})
                HostWriteFile(Old(name), Bytes(name));
        }
        // Named, whether or not it is there: only the setting decides.
        if (lastOpened)
            HostRegSetText(OS_HKEY_CURRENT_USER, "LastLedgerwickOpenedInDataFolder", Old("Accounts.LW").c_str());
        else
            HostRegDelete(OS_HKEY_CURRENT_USER, "LastLedgerwickOpenedInDataFolder");
        if (!c.dataFolder.empty())
            HostRegSetText(OS_HKEY_CURRENT_USER, "DatafilePath", c.dataFolder.c_str());

        UpgradeEx(4, kOld + "\\", 0, kReport);

        ReportFile run = ReadReport(kReport);
        ASSERT_TRUE(run.whole);
        EXPECT_TRUE(std::find(run.lines.begin(), run.lines.end(), c.line) != run.lines.end())
            << c.line << "\nreport:\n" << ::testing::PrintToString(run.lines);
        EXPECT_EQ(SplitFields(run.summary).back(), c.finalName);
        EXPECT_TRUE(LogHas(ReadLogEntries(), "UpV5", "INFO OLDPath Exists: " + kOld));
    }
}

// A second run finds no old folder; a version of 5 or more stops at once.
// Neither has a user file to report, only the summary.
TEST_F(UpgradeReportTest, NothingToDo)
{
    struct Case {
        const char *name;
        int version;
        bool runBefore;
        int mask;
        std::string summary;
    } cases[] = {
        {"version 5", 5, false, kNothingToDo, "summary\t0 copied, 0 moved, 0 renamed, 0 deleted, 0 kept, 0 failed\t\t"},
        {"no old folder after a run", 4, true, kNothingToDo,
         "summary\t0 copied, 0 moved, 0 renamed, 0 deleted, 0 kept, 0 failed\t\t"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Fresh();
        LayOutOldInstallation();
        if (c.runBefore) {
            ASSERT_EQ(UpgradeEx(4, kOld, 0, ""), kCarried | kSettings);
        }
        for (unsigned flags : {kPreview, 0u}) {
            EXPECT_EQ(UpgradeEx(c.version, kOld, flags, kReport), c.mask);
            ReportFile report = ReadReport(kReport);
            EXPECT_TRUE(report.whole);
            EXPECT_TRUE(report.lines.empty());
            EXPECT_EQ(report.summary, c.summary);
        }
    }
}

// Arguments that make the call refuse: a negative result, and nothing at all
// changed: no file, no setting, no log line, no report.
TEST_F(UpgradeReportTest, BadArgumentsChangeNothing)
{
    struct Case {
        const char *name;
        unsigned flags;
        std::string report;
        int result;
    } cases[] = {
        {"report in a folder that does not exist", 0, kReportFolder + "\\missing\\report.txt", -2},
        {"report in a folder that does not exist, preview", kPreview, kReportFolder + "\\missing\\report.txt", -2},
        {"report path too long", 0, kReportFolder + "\\" + std::string(300, 'r') + ".txt", -2},
        {"unknown flag", 2, kReport, -1},
        {"unknown flag beside preview", kPreview | 0x80000000u, kReport, -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Fresh();
        LayOutOldInstallation();
        auto before = HostState(Touched());
        std::vector<std::string> reportFolder = HostList(kReportFolder);

        EXPECT_EQ(UpgradeEx(4, kOld, c.flags, c.report), c.result);

        EXPECT_EQ(HostState(Touched()), before);
        EXPECT_EQ(HostList(kReportFolder), reportFolder);
    }
}

} // namespace
