// Every failure point of the whole upgrade, on the simulated host: for each
// installation below, a run without faults counts its mutating calls; then
// each of those calls in turn fails once (nothing may be lost), and fails as
// a power cut does, from that call on, after which a second run must finish
// the job: nothing lost, and the data folder and the settings as an
// uninterrupted run leaves them.
#include "support/host.h"
#include "support/nothing_lost.h"
#include "support/old_installation.h"

#ifndef _WIN32
#include "platform/sim_host.h"
#endif

#include <iostream>
#include <map>
#include <string>
#include <vector>

namespace {

using namespace expected;

enum Installation {
    // The walk-through's installation, shortcuts and INI file.
    WalkThrough,
    // Data files, an earlier copy, backups and letters whose names the data
    // folder already holds, some with the same bytes, most with others.
    Clashes,
    // The last-opened data file lies in a folder of its own on drive D:.
    LastOpenedOnAnotherDrive,
    // The clashes, with the last-opened data file one the data folder holds
    // another of, so that it stays and the setting follows it, and a data
    // file in a folder of the user's that no step carries from.
    KeptLastDataFile,
};

const char *NameOf(Installation installation)
{
    switch (installation) {
    case WalkThrough: return "WalkThrough";
    case Clashes: return "Clashes";
    case LastOpenedOnAnotherDrive: return "LastOpenedOnAnotherDrive";
    case KeptLastDataFile: return "KeptLastDataFile";
    }
    return "?";
}

#ifndef _WIN32

const std::string kOld = "C:\\Ledgerwick";
const std::string kOldRenamed = "C:\\Ledgerwick OLD";
const std::string kCustom = "D:\\Books";

std::string Bytes(const std::string &tag)
{
    return tag + std::string("\0\r\n\xff\x1a\n", 6) + tag;
}

std::string Old(const std::string &rel) { return kOld + "\\" + rel; }

struct Host {
    std::string data;
    std::vector<std::string> folders; // where the user's files may be afterwards
};

// A fresh host with the installation laid out.
Host LayOut(Installation installation)
{
    HostReset();
    SimSetClock(9, 5, 3, 7);
    HostRegSetText(OS_HKEY_CURRENT_USER, "EnableDebugLog", "1");
    Host host;
    host.data = HostShellFolder(OS_CSIDL_PERSONAL) + "\\Ledgerwick Data";
    host.folders = {kOld, kOldRenamed, host.data};
    for (const OldFile &file : kWalkThroughFiles)
        HostWriteFile(Old(file.path), Bytes(file.tag));
    std::string lastOpened = Old("Accounts.LW");
    auto inData = [&host](const std::string &rel) { return host.data + "\\" + rel; };
    switch (installation) {
    case WalkThrough: {
        std::string group = HostShellFolder(OS_CSIDL_COMMON_STARTMENU) + "\\Programs\\Ledgerwick Complete";
        HostWriteFile(group + "\\Ledgerwick Complete.lnk", "group shortcut");
        HostWriteFile(group + "\\Help.lnk", "help shortcut");
        HostWriteFile(HostShellFolder(OS_CSIDL_COMMON_DESKTOPDIRECTORY) + "\\Ledgerwick Complete.lnk",
                      "desktop shortcut");
        char windows[OS_PATH_BUFFER] = "";
        OsGetWindowsDirectory(windows, sizeof windows);
        HostWriteFile(std::string(windows) + "\\ledgerwick.ini",
                      "[Email Setup]\r\nSMTPServer=mail.example.com\r\nSMTPPort=25\r\n");
        break;
    }
    case KeptLastDataFile:
        lastOpened = Old("Books.LW");
        HostWriteFile(Old("2019\\Archive.LW"), Bytes("archive"));
        [[fallthrough]];
    case Clashes:
        HostWriteFile(Old("Accounts.OLD"), Bytes("earlier"));
        HostWriteFile(Old("Books.LW"), Bytes("books"));
        HostWriteFile(Old("Backups\\Accounts.BK3"), Bytes("bk3"));
        HostWriteFile(Old("Letters\\2004\\Late.RTF"), Bytes("late"));
        HostWriteFile(inData("Accounts.LW"), Bytes("accounts")); // the same bytes
        HostWriteFile(inData("Accounts.OLD"), Bytes("the data folder's earlier"));
        HostWriteFile(inData("Books.LW"), Bytes("newer books"));
        HostWriteFile(inData("Automated Backups\\Accounts.BK1"), Bytes("newer bk1"));
        HostWriteFile(inData("Automated Backups\\Accounts.BK2"), Bytes("bk2")); // the same bytes
        HostWriteFile(inData("Letters\\Reminder.RTF"), Bytes("newer letter"));
        break;
    case LastOpenedOnAnotherDrive:
        HostWriteFile(kCustom + "\\Accounts.LW", Bytes("accounts on D:"));
        HostWriteFile(kCustom + "\\Books.LW", Bytes("books on D:"));
        lastOpened = kCustom + "\\Accounts.LW";
        host.folders.push_back(kCustom);
        break;
    }
    HostRegSetText(OS_HKEY_CURRENT_USER, "LastLedgerwickOpenedInDataFolder", lastOpened.c_str());
    return host;
}

void Upgrade()
{
    HostGetExports().UpgradeToVersion5(4, kOld.c_str());
}

std::string RegistryText(OsRootKey root)
{
    std::string text(SimRegistryText(root, nullptr, 0) + 1, '\0');
    SimRegistryText(root, &text[0], text.size());
    text.pop_back();
    return text;
}

// What a run leaves that the user works with: the data folder (by paths
// within it) and the settings.
struct Outcome {
    std::map<std::string, std::string> data;
    std::string currentUser, localMachine;
};

Outcome OutcomeOf(const Host &host)
{
    std::map<std::string, std::string> data;
    for (const std::string &rel : HostTree(host.data))
        data[rel] = HostReadFile(host.data + "\\" + rel);
    return {data, RegistryText(OS_HKEY_CURRENT_USER), RegistryText(OS_HKEY_LOCAL_MACHINE)};
}

// How an outcome differs from the expected one, "" when it does not.
std::string Differences(const Outcome &expected, const Outcome &actual)
{
    std::string text;
    for (const auto &file : expected.data) {
        auto found = actual.data.find(file.first);
        if (found == actual.data.end())
            text += " missing " + file.first + " in the data folder;";
        else if (found->second != file.second)
            text += " other bytes in " + file.first + " in the data folder;";
    }
    for (const auto &file : actual.data)
        if (!expected.data.count(file.first))
            text += " extra " + file.first + " in the data folder;";
    if (expected.currentUser != actual.currentUser)
        text += " HKCU differs:\n" + actual.currentUser + "\ninstead of\n" + expected.currentUser;
    if (expected.localMachine != actual.localMachine)
        text += " HKLM differs:\n" + actual.localMachine + "\ninstead of\n" + expected.localMachine;
    return text;
}

#endif

class UpgradeSweepTest : public HostTest, public ::testing::WithParamInterface<Installation> {};

TEST_P(UpgradeSweepTest, EveryMutatingCallFailsOnceAndAsAPowerCut)
{
    if (!HostIsSimulated())
        GTEST_SKIP() << "needs the simulated host, which can fail any call";
#ifndef _WIN32
    const Installation installation = GetParam();
    Host host = LayOut(installation);
    const unsigned long start = SimCallCount(SIM_OP_ANY_MUTATING);
    Upgrade();
    const unsigned long calls = SimCallCount(SIM_OP_ANY_MUTATING) - start;
    ASSERT_GT(calls, 0u);
    const Outcome uninterrupted = OutcomeOf(host);

    unsigned long runs = 1, faultsFired = 0;
    for (unsigned long call = 1; call <= calls; call++) {
        for (SimFaultMode mode : {SIM_FAULT_ONCE, SIM_FAULT_FROM_THEN_ON}) {
            const bool powerCut = mode == SIM_FAULT_FROM_THEN_ON;
            host = LayOut(installation);
            std::map<std::string, std::string> before = FilesBelow(host.folders);
            SimArmFault(SIM_OP_ANY_MUTATING, nullptr, call, mode,
                        powerCut ? OS_ERROR_ACCESS_DENIED : OS_ERROR_SHARING_VIOLATION);
            Upgrade();
            runs++;
            faultsFired += SimFaultsFired();
            SimClearFaults();
            HostExpectFaultsFired();
            std::vector<std::string> problems;
            if (powerCut) {
                Upgrade();
                runs++;
                std::string differences = Differences(uninterrupted, OutcomeOf(host));
                if (!differences.empty())
                    problems.push_back("the resumed run ends otherwise:" + differences);
            }
            for (const std::string &file : LostFiles(before, host.folders))
                problems.push_back(file + " lost");
            if (problems.empty())
                continue;
            const std::string where = std::string(NameOf(installation)) + ", mutating call " +
                                      std::to_string(call) + (powerCut ? " as a power cut" : " once");
            for (const std::string &problem : problems)
                ADD_FAILURE() << where << ": " << problem;
        }
    }
    std::cout << "[ sweep    ] " << NameOf(installation) << ": " << calls << " mutating calls, " << runs
              << " runs, " << faultsFired << " faults fired" << std::endl;
    RecordProperty("runs", static_cast<int>(runs));
    RecordProperty("faults_fired", static_cast<int>(faultsFired));
#endif
}

INSTANTIATE_TEST_SUITE_P(Installations, UpgradeSweepTest,
                         ::testing::Values(WalkThrough, Clashes, LastOpenedOnAnotherDrive, KeptLastDataFile),
                         [](const ::testing::TestParamInfo<Installation> &info) {
                             return std::string(NameOf(info.param));
                         });

} // namespace
