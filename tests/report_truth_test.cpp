// What the upgrade says it did is what it did: its report, replayed over the
// folders as they were before the run, gives the folders after it; each file
// it touched has one line that tells what became of it; the mask follows
// from those lines; and the readme left in the old folder tells the user
// which of their files are still there.
#include "support/held_open.h"
#include "support/host.h"
#include "support/log_reader.h"
#include "support/report_replay.h"

#ifndef _WIN32
#include "platform/sim_host.h"
#endif

#include <climits>
#include <cstring>

namespace {

const std::string kOld = "C:\\Ledgerwick";
const std::string kOldRenamed = "C:\\Ledgerwick OLD";
const std::string kReport = "C:\\lwtest\\report.txt";
const int kCarried = 1, kKept = 2, kSettings = 4, kFailed = 8, kNothingToDo = 16;
const unsigned kPreview = 1;

std::string Bytes(const std::string &tag)
{
    return tag + std::string("\0\r\n\xff", 4) + tag;
}

std::string Old(const std::string &rel) { return kOld + "\\" + rel; }

std::wstring Wide(const std::string &text) { return std::wstring(text.begin(), text.end()); }

// The files the report answers for: the user's, by their extensions, and
// the leftovers the transfer deletes. The old program's own files and the
// readme come and go without lines.
bool IsUsersFile(const std::string &key)
{
    size_t dot = key.rfind('.');
    std::string extension = dot == std::string::npos ? "" : key.substr(dot);
    for (const char *known : {".LW", ".OLD", ".BK1", ".BK2", ".BK3", ".RTF", ".LDB", ".GID"})
        if (extension == known)
            return true;
    return false;
}

std::vector<std::string> Sorted(std::vector<std::string> lines)
{
    std::sort(lines.begin(), lines.end());
    return lines;
}

bool HasLine(const ReportFile &report, const std::string &line)
{
    return std::find(report.lines.begin(), report.lines.end(), line) != report.lines.end();
}

class ReportTruthTest : public HostTest {
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        HostRegSetText(OS_HKEY_CURRENT_USER, "EnableDebugLog", "1");
        data = HostShellFolder(OS_CSIDL_PERSONAL) + "\\Ledgerwick Data";
        HostMakeFolder("C:\\lwtest");
    }

    std::string data;
    std::string New(const std::string &rel) const { return data + "\\" + rel; }
    std::vector<std::string> Roots() const { return {kOld, kOldRenamed, data}; }

    static int UpgradeEx(int version, unsigned flags = 0)
    {
        const HostExports &exports = HostGetExports();
        if (!exports.UpgradeToVersion5ExW) {
            ADD_FAILURE() << "LedgerwickInstaller_UpgradeToVersion5ExW is not exported";
            return INT_MIN;
        }
        std::wstring old = Wide(kOld), report = Wide(kReport);
        return exports.UpgradeToVersion5ExW(version, old.c_str(), flags, report.c_str());
    }

    // The walk-through's version-4 installation, with one more program file.
    static void LayOut()
    {
        for (const char *name : {"ledgerwick.exe", "msafin.dll", "demo.dat"})
            HostWriteFile(Old(name), Bytes(name));
        HostWriteFile(Old("Accounts.LW"), Bytes("accounts"));
        HostWriteFile(Old("Accounts.LDB"), Bytes("lock"));
        HostWriteFile(Old("Backups\\Accounts.BK1"), Bytes("bk1"));
        HostWriteFile(Old("Backups\\Accounts.BK2"), Bytes("bk2"));
        HostWriteFile(Old("Letters\\Reminder.RTF"), Bytes("letter"));
        HostRegSetText(OS_HKEY_CURRENT_USER, "LastLedgerwickOpenedInDataFolder", Old("Accounts.LW").c_str());
    }

    // Previews the upgrade, runs it for real and holds its report against
    // the folders. Where nothing fails, the preview told the same story.
    ReportFile RunAndCheck(int version, int expectedMask)
    {
        Picture before = TakePicture(Roots());
        int previewMask = UpgradeEx(version, kPreview);
        ReportFile preview = ReadReport(kReport);
        EXPECT_EQ(TakePicture(Roots()), before);
        EXPECT_EQ(UpgradeEx(version), expectedMask);
        ReportFile report = ReadReport(kReport);
        if (!(expectedMask & kFailed)) {
            EXPECT_EQ(previewMask, expectedMask);
            EXPECT_EQ(Sorted(preview.lines), Sorted(report.lines));
            EXPECT_EQ(preview.summary, report.summary);
        }
        EXPECT_TRUE(report.whole);
        EXPECT_EQ(FilesOf(Replay(before, report.lines), IsUsersFile), FilesOf(TakePicture(Roots()), IsUsersFile));

        // One line per file for what became of it; a copy leaves its source
        // to a line of its own.
        std::map<std::string, int> fates;
        for (const std::string &line : report.lines) {
            std::vector<std::string> f = SplitFields(line);
            if (f[0] != "copied") {
                EXPECT_EQ(++fates[PictureKey(f[1])], 1) << "a second line for " << f[1];
            }
        }
        // The mask as the lines tell it.
        std::map<std::string, int> counts = SummaryCounts(report.summary);
        EXPECT_EQ((expectedMask & kCarried) != 0, counts["copied"] + counts["moved"] > 0);
        EXPECT_EQ((expectedMask & kKept) != 0, counts["kept"] > 0);
        EXPECT_EQ((expectedMask & kFailed) != 0, counts["failed"] > 0);
        return report;
    }

    // A run after a complete one finds nothing to do and changes nothing.
    void ExpectSecondRunChangesNothing()
    {
        Picture settled = TakePicture(Roots());
        EXPECT_EQ(UpgradeEx(4), kNothingToDo);
        EXPECT_EQ(TakePicture(Roots()), settled);
        EXPECT_TRUE(ReadReport(kReport).lines.empty());
    }
};

TEST_F(ReportTruthTest, EveryTouchedFileHasOneTrueLine)
{
    const std::string inDataFolder = "a file of that name is already in the data folder";
    const std::string notCarriedFrom = "in a folder the upgrade carries no files from";
    const struct {
        const char *what;
        int version;
        bool carriedBefore;   // the backup and the letter already stand, identical, in the data folder
        bool differentInData; // a different Accounts.LW stands in the data folder
        std::vector<std::string> extra; // more files in the old folder
        int mask;
        std::vector<std::string> lines; // lines there must be
        std::vector<std::string> absent;
    } cases[] = {
        {"walk-through", 4, false, false, {}, kCarried | kSettings,
         {"moved\t" + Old("Backups\\Accounts.BK1") + "\t" + New("Automated Backups\\Accounts.BK1")}, {}},
        // The move is refused (the name is taken), and the clean-up then
        // deletes the file, its copy being in the data folder: the one line
        // says it was deleted, and nothing was kept.
        {"backup and letter carried before", 4, true, false, {}, kCarried | kSettings,
         {"deleted\t" + Old("Backups\\Accounts.BK1") + "\t", "deleted\t" + Old("Letters\\Reminder.RTF") + "\t"},
         {"kept\t" + Old("Backups\\Accounts.BK1") + "\t\t" + inDataFolder}},
        // Version 0 runs no clean-up: they stay, and say so.
        {"backup and letter carried before, version 0", 0, true, false, {}, kCarried | kKept | kSettings,
         {"kept\t" + Old("Backups\\Accounts.BK1") + "\t\t" + inDataFolder,
          "kept\t" + Old("Letters\\Reminder.RTF") + "\t\t" + inDataFolder},
         {}},
        {"a different Accounts.LW in the data folder", 4, false, true, {}, kCarried | kKept | kSettings,
         {"kept\t" + Old("Accounts.LW") + "\t\ta different file of that name is in the data folder"}, {}},
        // The old program's install folders lose its files, never one that
        // bears a user file's name.
        {"user files in the old program's folders", 4, false, false,
         {"DISK1\\Sample.LW", "DISK1\\setup.w01", "Manual\\Guide.RTF", "Manual\\img\\p.gif"},
         kCarried | kKept | kSettings,
         {"kept\t" + Old("DISK1\\Sample.LW") + "\t\ta user's file among the old program's",
          "kept\t" + Old("Manual\\Guide.RTF") + "\t\ta user's file among the old program's"},
         {}},
        // No step carries files out of a folder of the user's own, from
        // below Backups, or letters and backups lying at the top: they stay,
        // and the readme must not say the folder may go.
        {"user files where nothing is carried from", 4, false, false,
         {"2019\\Archive.LW", "2019\\Notes.txt", "Backups\\2019\\Accounts.BK1", "Email\\Sent\\Offer.RTF",
          "Offer.RTF", "Accounts.BK3"},
         kCarried | kKept | kSettings,
         {"kept\t" + Old("2019\\Archive.LW") + "\t\t" + notCarriedFrom,
          "kept\t" + Old("Backups\\2019\\Accounts.BK1") + "\t\t" + notCarriedFrom,
          "kept\t" + Old("Email\\Sent\\Offer.RTF") + "\t\t" + notCarriedFrom,
          "kept\t" + Old("Offer.RTF") + "\t\t" + notCarriedFrom,
          "kept\t" + Old("Accounts.BK3") + "\t\t" + notCarriedFrom},
         {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        HostReset();
        SetUp();
        LayOut();
        if (c.carriedBefore) {
            HostWriteFile(New("Automated Backups\\Accounts.BK1"), Bytes("bk1"));
            HostWriteFile(New("Letters\\Reminder.RTF"), Bytes("letter"));
        }
        if (c.differentInData)
            HostWriteFile(New("Accounts.LW"), Bytes("newer"));
        for (const std::string &rel : c.extra)
            HostWriteFile(Old(rel), Bytes(rel));

        ReportFile report = RunAndCheck(c.version, c.mask);
        for (const std::string &line : c.lines)
            EXPECT_TRUE(HasLine(report, line)) << line;
        for (const std::string &line : c.absent)
            EXPECT_FALSE(HasLine(report, line)) << line;
        // What stays of the user's travels with the folder, and its readme
        // names it. The old program's folders lose everything else; other
        // files stay where they are, unnamed.
        const std::string readme = HostFileExists(kOldRenamed + "\\_Readme.txt")
                                       ? HostReadFile(kOldRenamed + "\\_Readme.txt") : "";
        for (const std::string &rel : c.extra) {
            bool users = IsUsersFile(rel);
            bool programsFolder = rel.rfind("DISK1\\", 0) == 0 || rel.rfind("Manual\\", 0) == 0;
            EXPECT_EQ(HostFileExists(kOldRenamed + "\\" + rel), users || !programsFolder) << rel;
            EXPECT_EQ(readme.find("\r\n" + rel + " (") != std::string::npos, users) << rel << " in\n" << readme;
        }
        ExpectSecondRunChangesNothing();
    }
}

// A folder below the old one that can't be listed may hold the user's files
// unseen: it is named as kept, so the readme does not say the folder may go.
TEST_F(ReportTruthTest, FolderThatCannotBeListedIsNamedAsKept)
{
    if (!HostIsSimulated())
        GTEST_SKIP() << "needs the simulated host, which can refuse a listing";
#ifndef _WIN32
    LayOut();
    HostWriteFile(Old("2019\\Archive.LW"), Bytes("archive"));
    SimFailOperation(SIM_OP_FIND_FIRST, Old("2019\\*.*").c_str(), OS_ERROR_ACCESS_DENIED);
    int mask = UpgradeEx(4);
    HostExpectFaultsFired();
    SimClearFaults();

    EXPECT_EQ(mask, kCarried | kKept | kSettings);
    EXPECT_TRUE(HasLine(ReadReport(kReport), "kept\t" + Old("2019") + "\t\tcould not be looked into"));
    EXPECT_NE(HostReadFile(kOldRenamed + "\\_Readme.txt").find("\r\n2019 (could not be looked into)\r\n"),
              std::string::npos);
    EXPECT_EQ(HostReadFile(kOldRenamed + "\\2019\\Archive.LW"), Bytes("archive"));
#endif
}

// An old program file that another program holds open stays: a failure the
// setup hears of, not a silent success.
TEST_F(ReportTruthTest, ProgramFileThatCannotBeDeletedIsAFailure)
{
    LayOut();
    Picture before = TakePicture(Roots());
    int mask;
    {
        HeldOpen held(Old("demo.dat"));
        mask = UpgradeEx(4);
    }
    EXPECT_EQ(mask & (kCarried | kFailed), kCarried | kFailed);
    ReportFile report = ReadReport(kReport);
    EXPECT_EQ(FilesOf(Replay(before, report.lines), IsUsersFile), FilesOf(TakePicture(Roots()), IsUsersFile));
    EXPECT_TRUE(HasLine(report, "failed\t" + Old("demo.dat") + "\t\tin use by another program"));
    EXPECT_EQ(SummaryCounts(report.summary)["failed"], 1 + (HostFolderExists(kOld) ? 1 : 0));
    EXPECT_TRUE(LogHas(ReadLogEntries(), "DeleteOldVersion", "ERROR Not Removed:  " + Old("demo.dat")));
}

// Whatever the registry holds, the report keeps its lines and fields: a
// value of any type, with a tab, a line break or bytes that are no text.
TEST_F(ReportTruthTest, RegistryTextCannotAddAFieldOrALine)
{
    LayOut();
    const std::string forged = std::string("C:\\forged\tdeleted\tC:\\x\r\ndeleted\tC:\\forged.LW\t\xff\xfe");
    HostRegSet(OS_HKEY_CURRENT_USER, "DatafilePath", OS_REG_BINARY, forged.data(), (unsigned long)forged.size());

    UpgradeEx(4);

    std::string bytes = HostReadFile(kReport);
    EXPECT_EQ(bytes.find('\xff'), std::string::npos);
    ReportFile report = ReadReport(kReport);
    ASSERT_TRUE(report.whole);
    for (const std::string &line : report.lines) {
        std::vector<std::string> f = SplitFields(line);
        EXPECT_TRUE(f[0] == "kept" || f[0] == "failed" ? f.size() == 4 : f.size() == 3) << line;
        EXPECT_EQ(line.find('\r'), std::string::npos) << line;
        EXPECT_NE(f[1], "C:\\x") << line;
    }
    EXPECT_EQ(SplitFields(report.summary).size(), 4u) << report.summary;
    // Nothing left the old folder for a data folder that is no folder.
    EXPECT_EQ(HostReadFile(Old("Accounts.LW")), Bytes("accounts"));
}

// A registry that refuses writes: the settings that still name the old
// place are failures, never "Saved to Registry", and carry no settings bit.
TEST_F(ReportTruthTest, SettingsThatCouldNotBeWrittenAreFailures)
{
    LayOut();
    ASSERT_TRUE(HostMakeSettingsKeyReadOnly(OS_HKEY_CURRENT_USER));

    ReportFile report = RunAndCheck(4, kCarried | kFailed);

    const std::string key = "HKEY_CURRENT_USER\\SOFTWARE\\Velmora Software Ltd\\Ledgerwick Complete\\Settings\\";
    EXPECT_TRUE(HasLine(report, "failed\t" + key + "DatafilePath\t" + data + "\tnot written, Windows error 5"));
    EXPECT_TRUE(HasLine(report, "failed\t" + key + "LastLedgerwickOpenedInDataFolder\t" + New("Accounts.LW") +
                                    "\tnot written, Windows error 5"));
    std::vector<LogEntry> entries = ReadLogEntries();
    EXPECT_TRUE(LogHas(entries, "GetDefaultDataFilePath",
                       "ERROR Not Saved to Registry: DatafilePath = " + data + " (Windows error 5)"));
    EXPECT_FALSE(LogHas(entries, "GetDefaultDataFilePath", "INFO Saved to Registry"));
    EXPECT_TRUE(LogHas(entries, "UpV5",
                       "ERROR Not Saved to Registry: LastLedgerwickOpenedInDataFolder = " + New("Accounts.LW") +
                           " (Windows error 5)"));
}

// ---------------------------------------------------------------------------
// The readme

std::string Crlf(const std::string &text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

std::string KeptReadme(const std::string &data, const std::string &list)
{
    return Crlf("Please note:\n\nData files that were stored in your Ledgerwick installation folder (if any) have "
                "been moved to " + data + ", except the files listed below.\n\nThese files are your own and are "
                "still in this folder. They were not copied to the new data folder:\n\n" + list +
                "\nDo not delete this folder: it may hold the only copy of these files. To use one of them, open "
                "it in Ledgerwick Complete from this folder.\n\nThe other data files in this folder have had their "
                "extension changed from .LW to .OLD after they were copied to " + data + ".\n\nYou may need help "
                "from a computer technician if you're not sure what you're doing.");
}

// Where the user's own files stayed in the old folder, the readme names them
// and does not say the folder may go. The plain export's callers get no
// mask: for them the readme is the only message. In the ANSI code page where
// it holds every character, else in UTF-8 behind its mark.
TEST_F(ReportTruthTest, ReadmeNamesTheFilesThatStayed)
{
    const struct {
        const char *what;
        std::string dataFolder; // "" for the default
        std::string mark;
    } cases[] = {
        {"ANSI", "", ""},
        {"UTF-8", "C:\\lwtest\\Dane ksi\xC4\x99gowe", "\xEF\xBB\xBF"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        HostReset();
        SetUp();
        if (!c.dataFolder.empty()) {
            data = c.dataFolder;
            HostRegSetText(OS_HKEY_CURRENT_USER, "DatafilePath", data.c_str());
        }
        LayOut();
        HostWriteFile(New("Accounts.LW"), Bytes("newer"));
        HostWriteFile(New("Letters\\Reminder.RTF"), Bytes("another letter"));

        std::wstring old = Wide(kOld);
        EXPECT_EQ(HostGetExports().UpgradeToVersion5W(4, old.c_str()), 0);

        EXPECT_EQ(HostReadFile(kOldRenamed + "\\Accounts.LW"), Bytes("accounts"));
        EXPECT_EQ(HostReadFile(kOldRenamed + "\\Letters\\Reminder.RTF"), Bytes("letter"));
        EXPECT_EQ(HostReadFile(kOldRenamed + "\\_Readme.txt"),
                  c.mark + KeptReadme(data, "Accounts.LW (a different file of that name is in the data folder)\n"
                                            "Letters\\Reminder.RTF (a file of that name is already in the data "
                                            "folder)\n"));
    }
}

} // namespace
