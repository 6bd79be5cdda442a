// The custom actions against the simulated installer session: the
// properties checked before anything changes, the hand-over to the deferred
// action, its ticks summing to what the immediate one added, its lines in
// the installer's log, and a cancel that a second install finishes.
// The real msi.dll is driven by the package tests under Wine (tests/msi).
#include "support/host.h"

#ifndef _WIN32
#include "platform/sim_host.h"

#include <map>
#include <string>

namespace {

const std::string kOld = "C:\\Ledgerwick";
const int kTicks = 100000;

std::string DataFolder()
{
    return HostShellFolder(OS_CSIDL_PERSONAL) + "\\Ledgerwick Data";
}

void LayOut()
{
    HostReset();
    SimMsiReset();
    HostMakeFolder("C:\\lwtest");
    HostWriteFile(kOld + "\\ledgerwick.exe", "program");
    HostWriteFile(kOld + "\\Accounts.LW", std::string(300 * 1024, 'a'));
    HostWriteFile(kOld + "\\Backups\\Accounts.BK1", "bk1");
    HostWriteFile(kOld + "\\Letters\\Note.RTF", "note");
}

std::map<std::string, std::string> Tree(const std::string &folder)
{
    std::map<std::string, std::string> files;
    for (const std::string &rel : HostTree(folder))
        files[rel] = HostReadFile(folder + "\\" + rel);
    return files;
}

bool LogHas(const std::string &text)
{
    for (int i = 0; i < SimMsiLineCount(); i++)
        if (std::string(SimMsiLine(i)).find(text) != std::string::npos)
            return true;
    return false;
}

int TicksOf(int type)
{
    int ticks = 0;
    for (int i = 0; i < SimMsiProgressCount(); i++)
        if (SimMsiProgressAt(i).type == type)
            ticks += SimMsiProgressAt(i).ticks;
    return ticks;
}

// The installer's two steps: the immediate action in the install's
// session, then the deferred one with only its CustomActionData.
unsigned Install(const char *version, const char *oldFolder, const char *report, const char *preview)
{
    SimMsiSetProperty("LW_PREVIOUSVERSION", version);
    SimMsiSetProperty("LW_OLDFOLDER", oldFolder);
    SimMsiSetProperty("LW_REPORT", report);
    SimMsiSetProperty("LW_PREVIEW", preview);
    unsigned prepared = LedgerwickInstaller_MsiPrepareUpgrade(1);
    if (prepared != 0)
        return prepared;
    SimMsiSetProperty("CustomActionData", SimMsiProperty("LedgerwickInstaller_MsiUpgrade"));
    SimMsiSetScheduled(1);
    unsigned result = LedgerwickInstaller_MsiUpgrade(2);
    SimMsiSetScheduled(0);
    return result;
}

TEST(MsiActions, BadPropertiesFailBeforeAnythingChanges)
{
    const std::string tooLong = "C:\\" + std::string(300, 'x');
    struct Bad {
        const char *property, *version, *oldFolder, *report, *preview;
    } cases[] = {
        {"LW_PREVIOUSVERSION", "four", "C:\\Ledgerwick", "", ""},
        {"LW_PREVIOUSVERSION", "-4", "C:\\Ledgerwick", "", ""},
        {"LW_OLDFOLDER", "4", "Ledgerwick", "", ""},
        {"LW_OLDFOLDER", "4", "C:Ledgerwick", "", ""},
        {"LW_OLDFOLDER", "4", "C:\\Ledger|wick", "", ""},
        {"LW_OLDFOLDER", "4", tooLong.c_str(), "", ""},
        {"LW_REPORT", "4", "C:\\Ledgerwick", "report.txt", ""},
        {"LW_PREVIEW", "4", "C:\\Ledgerwick", "", "yes"},
    };
    for (const Bad &bad : cases) {
        SCOPED_TRACE(std::string(bad.property) + " " + bad.version + " " + bad.oldFolder + " " + bad.report);
        LayOut();
        std::map<std::string, std::string> before = Tree(kOld);
        EXPECT_EQ(1603u, Install(bad.version, bad.oldFolder, bad.report, bad.preview));
        EXPECT_STREQ("", SimMsiProperty("LedgerwickInstaller_MsiUpgrade"));
        EXPECT_TRUE(LogHas(bad.property));
        EXPECT_EQ(0, SimMsiProgressCount()) << "no ticks added for an upgrade that will not run";
        EXPECT_EQ(before, Tree(kOld));
        EXPECT_FALSE(HostFolderExists(DataFolder()));
    }
}

TEST(MsiActions, DeferredRunsTheUpgradeWithTicksLinesAndReport)
{
    LayOut();
    std::map<std::string, std::string> before = Tree(kOld);
    ASSERT_EQ(0u, Install("4", "C:\\Ledgerwick", "C:\\lwtest\\report.txt", "0"));
    EXPECT_STREQ("4|0|C:\\Ledgerwick|C:\\lwtest\\report.txt", SimMsiProperty("CustomActionData"));
    EXPECT_EQ(kTicks, TicksOf(3)) << "the immediate action adds the upgrade's share";
    EXPECT_EQ(kTicks, TicksOf(2)) << "the deferred one moves the bar by exactly that share";
    EXPECT_EQ(before["Accounts.LW"], HostReadFile(DataFolder() + "\\Accounts.LW"));
    EXPECT_EQ("note", HostReadFile(DataFolder() + "\\Letters\\Note.RTF"));
    EXPECT_TRUE(HostFileExists("C:\\lwtest\\report.txt"));
    EXPECT_TRUE(LogHas("Upgrade.dll (")) << "the upgrade's own log lines";
    EXPECT_TRUE(LogHas("Ledgerwick upgrade report: ")) << "the report's lines";
    EXPECT_TRUE(LogHas("Ledgerwick upgrade: result "));
}

TEST(MsiActions, PreviewAndEmptyHandOverChangeNothing)
{
    LayOut();
    std::map<std::string, std::string> before = Tree(kOld);
    EXPECT_EQ(0u, Install("4", "C:\\Ledgerwick", "C:\\lwtest\\preview.txt", "1"));
    EXPECT_EQ(before, Tree(kOld));
    EXPECT_FALSE(HostFolderExists(DataFolder()));
    EXPECT_TRUE(HostFileExists("C:\\lwtest\\preview.txt")) << "a preview's report is what it is for";

    SimMsiReset();
    SimMsiSetScheduled(1);
    EXPECT_EQ(1603u, LedgerwickInstaller_MsiUpgrade(2));
    EXPECT_TRUE(LogHas("LedgerwickInstaller_MsiUpgrade")) << "the log names the Id the package must use";
    SimMsiSetProperty("CustomActionData", "4|0|relative\\folder|");
    EXPECT_EQ(1603u, LedgerwickInstaller_MsiUpgrade(2));
    EXPECT_EQ(before, Tree(kOld));
}

TEST(MsiActions, CancelMidUpgradeThenASecondInstallFinishes)
{
    LayOut();
    ASSERT_EQ(0u, Install("4", "C:\\Ledgerwick", "", ""));
    std::map<std::string, std::string> uninterrupted = Tree(DataFolder());
    int reports = 0;
    for (int i = 0; i < SimMsiProgressCount(); i++)
        reports += SimMsiProgressAt(i).type == 2;
    ASSERT_GT(reports, 4) << "too few reports to cancel in the middle";

    LayOut();
    SimMsiCancelAtReport(reports / 2);
    EXPECT_EQ(1602u, Install("4", "C:\\Ledgerwick", "", ""));
    EXPECT_LT(TicksOf(2), kTicks);
    EXPECT_TRUE(LogHas("cancelled 1"));
    SimMsiReset();
    EXPECT_EQ(0u, Install("4", "C:\\Ledgerwick", "", ""));
    EXPECT_EQ(uninterrupted, Tree(DataFolder()));
}

} // namespace

#endif
