// The progress export: what its callback hears (a total known before the
// first change, work that never goes back and ends at the total, items that
// name what is worked on), and a stop asked at every call in turn, after
// which nothing is lost and a later run ends as an uninterrupted one.
#include "support/host.h"
#include "support/nothing_lost.h"
#include "support/report_replay.h"

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

const std::string kOld = "C:\\Ledgerwick";
const std::string kOldRenamed = "C:\\Ledgerwick OLD";
const std::string kReport = "C:\\lwtest\\report.txt";
const int kCarriedAndSettings = LEDGERWICK_UPGRADE_CARRIED | LEDGERWICK_UPGRADE_SETTINGS;
// A data file of 300 KB weighs 1 + 300 / 64 = 5 units.
const size_t kBigDataFile = 300 * 1024;

std::string DataFolder()
{
    return HostShellFolder(OS_CSIDL_PERSONAL) + "\\Ledgerwick Data";
}

// Clashes: files of the same names, some different, already in the data
// folder. KeptLastFile: those clashes, and the last data file is one the
// data folder's differs from, so it stays in the old folder and the setting
// follows it there.
enum Installation { Plain, Clashes, KeptLastFile };

const char *Named(Installation installation)
{
    return installation == Plain ? "plain" : installation == Clashes ? "clashes" : "kept last data file";
}

void LayOut(Installation installation)
{
    HostReset();
    HostMakeFolder("C:\\lwtest");
    HostWriteFile(kOld + "\\ledgerwick.exe", "program");
    HostWriteFile(kOld + "\\msafin.dll", "library");
    HostWriteFile(kOld + "\\Accounts.LW", std::string(kBigDataFile, 'a'));
    HostWriteFile(kOld + "\\Books.LW", "books");
    HostWriteFile(kOld + "\\Accounts.LDB", "lock");
    HostWriteFile(kOld + "\\Backups\\Accounts.BK1", "bk1");
    HostWriteFile(kOld + "\\Backups\\Accounts.BK2", "bk2");
    HostWriteFile(kOld + "\\Letters\\Note.RTF", "note");
    HostWriteFile(kOld + "\\Letters\\2019\\Reminder.RTF", "reminder");
    // The walk-through's shortcuts and INI file: the clean-up's and the
    // settings' steps are on the bar too.
    std::string group = HostShellFolder(OS_CSIDL_COMMON_STARTMENU) + "\\Programs\\Ledgerwick Complete";
    HostWriteFile(group + "\\Ledgerwick Complete.lnk", "group shortcut");
    HostWriteFile(HostShellFolder(OS_CSIDL_COMMON_DESKTOPDIRECTORY) + "\\Ledgerwick Complete.lnk", "shortcut");
    char windows[OS_PATH_BUFFER] = "";
    OsGetWindowsDirectory(windows, sizeof windows);
    HostWriteFile(std::string(windows) + "\\ledgerwick.ini", "[Email Setup]\r\nSMTPServer=mail.example.com\r\n");
    if (installation != Plain) {
        HostWriteFile(DataFolder() + "\\Books.LW", "newer books");
        HostWriteFile(DataFolder() + "\\Automated Backups\\Accounts.BK1", "bk1");
        HostWriteFile(DataFolder() + "\\Letters\\Note.RTF", "another note");
    }
    const std::string last = installation == KeptLastFile ? "\\Books.LW" : "\\Accounts.LW";
    HostRegSetText(OS_HKEY_CURRENT_USER, "LastLedgerwickOpenedInDataFolder", (kOld + last).c_str());
}

// A file's bytes as a failure can print them: a long file by its length
// and a hash.
std::string Digest(const std::string &bytes)
{
    if (bytes.size() <= 200)
        return bytes;
    unsigned long long hash = 14695981039346656037ull;
    for (unsigned char c : bytes)
        hash = (hash ^ c) * 1099511628211ull;
    return std::to_string(bytes.size()) + " bytes, hash " + std::to_string(hash);
}

// What a run leaves that the user works with: the data folder's files, the
// settings that name them, and the note in the old folder that says where
// everything went.
std::map<std::string, std::string> Outcome()
{
    std::map<std::string, std::string> outcome;
    const std::string readme = kOldRenamed + "\\_Readme.txt";
    outcome["readme"] = HostFileExists(readme) ? HostReadFile(readme) : "(none)";
    for (const std::string &rel : HostTree(DataFolder()))
        outcome[rel] = Digest(HostReadFile(DataFolder() + "\\" + rel));
    for (const char *name : {"DatafilePath", "LastLedgerwickOpenedInDataFolder", "SMTPServer"})
        outcome[name] = HostSettingText(name);
    return outcome;
}

struct Call {
    unsigned long long done, total;
    std::string item;
};

struct Recorder {
    std::vector<Call> calls;
    size_t stopAt = 0; // the call (1 = the first) that answers stop; 0 never
    // The old folder as it was, and whether it still was at the first call
    // that had a total.
    std::vector<std::string> oldTree;
    bool unchangedAtTotal = false;
};

std::string Narrow(const wchar_t *text)
{
    std::string out;
    for (; text != nullptr && *text; text++)
        out += *text < 0x80 ? (char)*text : '?';
    return out;
}

int LEDGERWICK_UPGRADE_CALLBACK Record(void *context, unsigned long long done, unsigned long long total,
                                       const wchar_t *item)
{
    Recorder *r = (Recorder *)context;
    if (total != 0 && std::none_of(r->calls.begin(), r->calls.end(), [](const Call &c) { return c.total != 0; }))
        r->unchangedAtTotal = HostTree(kOld) == r->oldTree && !HostFolderExists(DataFolder() + "\\Letters");
    r->calls.push_back({done, total, Narrow(item)});
    return r->calls.size() == r->stopAt ? 0 : 1;
}

int Progress(Recorder *recorder, const std::string &report = kReport)
{
    std::wstring old(kOld.begin(), kOld.end());
    std::wstring wideReport(report.begin(), report.end());
    return HostGetExports().UpgradeToVersion5ProgressW(4, old.c_str(), 0, wideReport.c_str(),
                                                       recorder ? Record : nullptr, recorder);
}

int ExW()
{
    std::wstring old(kOld.begin(), kOld.end());
    return HostGetExports().UpgradeToVersion5ExW(4, old.c_str(), 0, nullptr);
}

bool IsPhase(const std::string &item)
{
    return item == "Counting" || item == "Starting" || item == "Settings" || item == "Finished";
}

class ProgressTest : public HostTest {};

TEST_F(ProgressTest, TheBarRisesToATotalKnownBeforeAnyChange)
{
    LayOut(Plain);
    ASSERT_EQ(ExW(), kCarriedAndSettings);
    const auto uninterrupted = Outcome();

    // Without a callback the export is ExW.
    LayOut(Plain);
    EXPECT_EQ(Progress(nullptr), kCarriedAndSettings);
    EXPECT_EQ(Outcome(), uninterrupted);

    LayOut(Plain);
    Recorder r;
    r.oldTree = HostTree(kOld);
    std::set<std::string> before;
    // Every file of the old folder and every folder on the way to one, and
    // the shortcuts and the INI file.
    std::string group = HostShellFolder(OS_CSIDL_COMMON_STARTMENU) + "\\Programs\\Ledgerwick Complete";
    char windows[OS_PATH_BUFFER] = "";
    OsGetWindowsDirectory(windows, sizeof windows);
    before = {group, group + "\\Ledgerwick Complete.lnk",
              HostShellFolder(OS_CSIDL_COMMON_DESKTOPDIRECTORY) + "\\Ledgerwick Complete.lnk",
              std::string(windows) + "\\ledgerwick.ini"};
    before.insert(kOld);
    for (const std::string &rel : r.oldTree)
        for (size_t end = rel.find('\\'); ; end = rel.find('\\', end + 1)) {
            before.insert(kOld + "\\" + rel.substr(0, end));
            if (end == std::string::npos)
                break;
        }
    EXPECT_EQ(Progress(&r), kCarriedAndSettings);
    EXPECT_EQ(Outcome(), uninterrupted);
    ASSERT_FALSE(r.calls.empty());
    EXPECT_TRUE(r.unchangedAtTotal) << "the total came after the first change";

    // Counting first (no total, nothing done), then one total throughout.
    size_t first = 0;
    while (first < r.calls.size() && r.calls[first].total == 0) {
        EXPECT_EQ(r.calls[first].done, 0u);
        EXPECT_EQ(r.calls[first].item, "Counting");
        first++;
    }
    ASSERT_LT(first, r.calls.size());
    unsigned long long total = r.calls[first].total, biggestStep = 0;
    for (size_t i = first; i < r.calls.size(); i++) {
        SCOPED_TRACE("call " + std::to_string(i) + ": " + r.calls[i].item);
        EXPECT_EQ(r.calls[i].total, total);
        if (i > first) {
            EXPECT_GE(r.calls[i].done, r.calls[i - 1].done);
            biggestStep = std::max(biggestStep, r.calls[i].done - r.calls[i - 1].done);
        }
        // A phase, or a path of what was there before or is there after.
        const std::string &item = r.calls[i].item;
        std::string path = item.size() > 3 && item.back() == '\\' ? item.substr(0, item.size() - 1) : item;
        EXPECT_TRUE(IsPhase(item) || before.count(path) || HostFileExists(path) || HostFolderExists(path))
            << item;
    }
    EXPECT_EQ(r.calls.back().done, total);
    EXPECT_EQ(r.calls.back().item, "Finished");
    // The big data file's copy weighs its bytes, not one tick.
    EXPECT_GE(biggestStep, 1 + kBigDataFile / (64 * 1024));
    EXPECT_GT(total, 20u);
}

// A stop at each call in turn: what was done stays done, nothing is lost,
// the result and the report say it was cancelled, and a later run ends as
// an uninterrupted one. A stop while counting changes nothing at all.
TEST_F(ProgressTest, AStopAtAnyCallLosesNothingAndTheNextRunFinishes)
{
    for (Installation installation : {Plain, Clashes, KeptLastFile}) {
        SCOPED_TRACE(Named(installation));
        LayOut(installation);
        ASSERT_NE(ExW(), 0);
        const auto uninterrupted = Outcome();
        // A setup run again over a finished upgrade leaves it as it is.
        ExW();
        EXPECT_EQ(Outcome(), uninterrupted) << "a second run";
        LayOut(installation);
        Recorder all;
        Progress(&all);
        ASSERT_GE(all.calls.size(), 2u);

        int stoppedWhileCounting = 0;
        // Under Wine the calls come by the clock, so a run may have more or
        // fewer than the one counted: the stops go on until a run ends
        // before its stop.
        for (size_t stop = 1; stop <= 4 * all.calls.size() + 8; stop++) {
            SCOPED_TRACE("stop at call " + std::to_string(stop));
            LayOut(installation);
            auto files = FilesBelow({kOld, DataFolder()});
            auto oldTree = HostTree(kOld);
            Recorder r;
            r.stopAt = stop;
            int mask = Progress(&r);
            ASSERT_FALSE(r.calls.empty());
            EXPECT_LE(r.calls.size(), stop) << "a call came after the stop";
            // A stop answered to the last call comes when all is done.
            bool stopped = r.calls.size() == stop && r.calls.back().item != "Finished";
            EXPECT_EQ((mask & LEDGERWICK_UPGRADE_CANCELLED) != 0, stopped)
                << r.calls.back().item << " " << r.calls.back().done << "/" << r.calls.back().total;
            EXPECT_EQ(LostFiles(files, {kOld, kOldRenamed, DataFolder()}), std::vector<std::string>());
            ReportFile report = ReadReport(kReport);
            EXPECT_TRUE(report.whole);
            EXPECT_EQ(std::count(report.lines.begin(), report.lines.end(), "cancelled\t\t"), stopped ? 1 : 0);
            if (stopped && r.calls.back().total == 0) {
                stoppedWhileCounting++;
                EXPECT_EQ(mask, LEDGERWICK_UPGRADE_CANCELLED);
                EXPECT_EQ(HostTree(kOld), oldTree);
            }
            ExW();
            EXPECT_EQ(Outcome(), uninterrupted);
            EXPECT_EQ(LostFiles(files, {kOld, kOldRenamed, DataFolder()}), std::vector<std::string>());
            if (!stopped)
                break;
        }
        // The simulated host's clock moves at every reading: the count too
        // is told, and stopped.
        if (HostIsSimulated()) {
            EXPECT_GT(stoppedWhileCounting, 0);
        }
    }
}

} // namespace
