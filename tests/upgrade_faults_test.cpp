// The whole upgrade under faults of the simulated host: whatever fails, every
// user file that existed before the upgrade is afterwards still somewhere the
// user can find it (the data folder, or the old folder under either of its
// names), byte for byte.
#include "support/host.h"
#include "support/log_reader.h"
#include "support/nothing_lost.h"

#ifndef _WIN32
#include "platform/sim_host.h"

#include <gtest/gtest-spi.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace {

const std::string kOld = "C:\\Ledgerwick";
const std::string kOldRenamed = "C:\\Ledgerwick OLD";

std::string Bytes(const std::string &tag)
{
    // About 100 bytes each, so volume limits fall between files.
    return tag + std::string("\0\r\n\xff\x1a\n", 6) + std::string(80, '.') + tag;
}

class UpgradeFaultsTest : public HostTest {
protected:
    void Prepare()
    {
        HostReset();
        HostRegSetText(OS_HKEY_CURRENT_USER, "EnableDebugLog", "1");
        HostRegSetText(OS_HKEY_CURRENT_USER, "LastLedgerwickOpenedInDataFolder", "C:\\Ledgerwick\\Accounts.LW");
        data = HostShellFolder(OS_CSIDL_PERSONAL) + "\\Ledgerwick Data";
        for (const char *rel : {"ledgerwick.exe", "msafin.dll", "Accounts.LW", "Books.LW", "Accounts.OLD",
                                "Accounts.LDB", "Backups\\Accounts.BK1", "Backups\\Accounts.BK2",
                                "Backups\\Accounts.BK3", "Letters\\Reminder.RTF", "Letters\\2004\\Late.RTF",
                                "Manual\\Chapter1.hlp"})
            HostWriteFile(Old(rel), Bytes(rel));
        char windows[OS_PATH_BUFFER] = "";
        OsGetWindowsDirectory(windows, sizeof windows);
        ini = std::string(windows) + "\\ledgerwick.ini";
        HostWriteFile(ini, "[Email Setup]\r\nSMTPServer=mail.example.com\r\n");
    }

    static std::string Old(const std::string &rel) { return kOld + "\\" + rel; }
    std::string New(const std::string &rel) const { return data + "\\" + rel; }

    std::string data, ini;
};

TEST_F(UpgradeFaultsTest, NoUserFileIsLostWhateverFails)
{
    enum Fault {
        NoDocuments,
        FailOperation,
        RegistryReadOnly,
        VolumeSpace,
        DataVolumeSpace,
        DifferentEarlierCopyInData,
        BackupNameTaken,
        LetterNameTaken,
        RenameTargetExists,
        OutOfMemory,
    };
    struct Case {
        const char *name;
        Fault fault;
        SimOperation operation; // FailOperation: which, and on what (relative to the old folder; null: any)
        const char *path;
        long long space; // VolumeSpace: bytes the data folder's volume still takes; OutOfMemory: allocations that succeed
        const char *logLine; // a line the run must write ("section|LEVEL message"), or null
    } cases[] = {
        {"documents folder can't be had", NoDocuments, SIM_OP_COUNT, nullptr, 0, "UpV5|FATAL Not Found: NEWPath"},
        {"data file fails to copy", FailOperation, SIM_OP_COPY_FILE, "Accounts.LW", 0, nullptr},
        {"every copy fails", FailOperation, SIM_OP_COPY_FILE, nullptr, 0, nullptr},
        {"earlier copy fails to copy", FailOperation, SIM_OP_COPY_FILE, "Accounts.OLD", 0,
         "TransferUserFiles|ERROR Not Deleted: C:\\Ledgerwick\\Accounts.OLD, no identical copy in new datafile folder"},
        {"earlier copy can't be deleted", FailOperation, SIM_OP_DELETE_FILE, "Accounts.OLD", 0, nullptr},
        {"backup locked", FailOperation, SIM_OP_ANY_FILE_ACCESS, "Backups\\Accounts.BK1", 0, nullptr},
        {"letter locked", FailOperation, SIM_OP_ANY_FILE_ACCESS, "Letters\\2004\\Late.RTF", 0, nullptr},
        {"data folder can't be made", FailOperation, SIM_OP_CREATE_DIRECTORY, nullptr, 0, nullptr},
        {"old folder can't be renamed", FailOperation, SIM_OP_RENAME, "", 0,
         "UpV5|ERROR Not Renamed: OLDPath to TempPath (C:\\Ledgerwick OLD)"},
        {"registry refuses writes", RegistryReadOnly, SIM_OP_COUNT, nullptr, 0, nullptr},
        {"volume full from the start", VolumeSpace, SIM_OP_COUNT, nullptr, 0, nullptr},
        {"volume full after one copy", VolumeSpace, SIM_OP_COUNT, nullptr, 150, nullptr},
        {"volume full after two copies", VolumeSpace, SIM_OP_COUNT, nullptr, 250, nullptr},
        {"data volume full during the moves", DataVolumeSpace, SIM_OP_COUNT, nullptr, 450, nullptr},
        {"data volume full at once", DataVolumeSpace, SIM_OP_COUNT, nullptr, 0, nullptr},
        {"earlier Accounts.OLD differs from the data folder's", DifferentEarlierCopyInData, SIM_OP_COUNT, nullptr, 0,
         "TransferUserFiles|ERROR Not Deleted: C:\\Ledgerwick\\Accounts.OLD, no identical copy in new datafile folder"},
        {"backup's name taken in the data folder", BackupNameTaken, SIM_OP_COUNT, nullptr, 0, nullptr},
        {"letter's name taken in the data folder", LetterNameTaken, SIM_OP_COUNT, nullptr, 0, nullptr},
        {"rename target already exists", RenameTargetExists, SIM_OP_COUNT, nullptr, 0, nullptr},
        {"scratch memory runs out at once", OutOfMemory, SIM_OP_COUNT, nullptr, 0, nullptr},
        {"scratch memory runs out later", OutOfMemory, SIM_OP_COUNT, nullptr, 60, nullptr},
        {"scratch memory runs out near the end", OutOfMemory, SIM_OP_COUNT, nullptr, 150, nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Prepare();
        switch (c.fault) {
        case DataVolumeSpace:
            // Documents on a drive of their own: the moves then copy.
            SimSetShellFolder(OS_CSIDL_PERSONAL, "D:\\Documents");
            data = "D:\\Documents\\Ledgerwick Data";
            break;
        case DifferentEarlierCopyInData:
            // Read-only, so the copy over it fails as it would on Windows.
            HostWriteFile(New("Accounts.OLD"), Bytes("data folder's own"));
            OsSetFileAttributes(New("Accounts.OLD").c_str(), OS_FILE_ATTRIBUTE_READONLY);
            break;
        case BackupNameTaken:
            HostWriteFile(New("Automated Backups\\Accounts.BK1"), Bytes("newer bk1"));
            break;
        case LetterNameTaken:
            HostWriteFile(New("Letters\\2004\\Late.RTF"), Bytes("newer letter"));
            break;
        case RenameTargetExists:
            HostWriteFile(kOldRenamed + "\\Accounts.OLD", Bytes("an earlier upgrade's"));
            HostWriteFile(kOldRenamed + "\\Backups\\Accounts.BK1", Bytes("an earlier upgrade's bk1"));
            break;
        default:
            break;
        }
        const std::vector<std::string> folders = {kOld, kOldRenamed, data};
        std::map<std::string, std::string> before = FilesBelow(folders);
        std::map<std::string, std::string> oldBefore = FilesBelow({kOld});
        size_t userFiles = std::count_if(before.begin(), before.end(),
                                         [](const std::pair<const std::string, std::string> &f) {
                                             return IsUserFile(f.first);
                                         });
        ASSERT_GE(userFiles, 8u);

        switch (c.fault) {
        case NoDocuments:
            SimSetShellFolder(OS_CSIDL_PERSONAL, nullptr);
            break;
        case FailOperation: {
            std::string path = c.path ? (*c.path ? Old(c.path) : kOld) : "";
            if (c.operation == SIM_OP_CREATE_DIRECTORY)
                path = data;
            SimFailOperation(c.operation, path.empty() ? nullptr : path.c_str(), OS_ERROR_SHARING_VIOLATION);
            break;
        }
        case RegistryReadOnly:
            SimSetRegistryWritable(OS_HKEY_CURRENT_USER, 0);
            break;
        case VolumeSpace:
            SimSetVolumeSpace('C', c.space);
            break;
        case DataVolumeSpace:
            SimSetVolumeSpace('D', c.space);
            break;
        case OutOfMemory:
            SimFailAllocAfter(static_cast<int>(c.space));
            break;
        default:
            break;
        }

        HostGetExports().UpgradeToVersion5(4, kOld.c_str());

        SimClearFaults();
        SimSetVolumeSpace('C', -1);
        SimSetVolumeSpace('D', -1);
        SimFailAllocAfter(-1);
        SimSetRegistryWritable(OS_HKEY_CURRENT_USER, 1);

        ExpectNothingLost(before, folders);

        // A full C: volume also cuts the log short, and without memory the
        // log writes nothing: only the files tell there.
        if (c.fault == VolumeSpace || c.fault == OutOfMemory)
            continue;
        std::vector<LogEntry> entries = ReadLogEntries();
        {
            // The run went to its end.
            std::vector<std::string> driver = LogSection(entries, "UpV5");
            ASSERT_FALSE(driver.empty());
            EXPECT_EQ(driver.back(), "INFO ----## Finished ##----");
        }
        if (c.logLine) {
            std::string line = c.logLine;
            size_t bar = line.find('|');
            EXPECT_TRUE(LogHas(entries, line.substr(0, bar), line.substr(bar + 1))) << line;
        }
        switch (c.fault) {
        case NoDocuments:
            // Nothing could travel, so the old folder stays as it was.
            EXPECT_EQ(FilesBelow({kOld}), oldBefore);
            EXPECT_FALSE(HostFolderExists(kOldRenamed));
            break;
        case RegistryReadOnly:
            // The INI file's value could not be carried, so the file stays
            // for a later run.
            EXPECT_TRUE(HostFileExists(ini));
            break;
        case DifferentEarlierCopyInData:
            EXPECT_EQ(HostReadFile(New("Accounts.OLD")), Bytes("data folder's own"));
            OsSetFileAttributes(New("Accounts.OLD").c_str(), OS_FILE_ATTRIBUTE_NORMAL);
            break;
        case BackupNameTaken:
            EXPECT_EQ(HostReadFile(New("Automated Backups\\Accounts.BK1")), Bytes("newer bk1"));
            EXPECT_EQ(HostReadFile(kOldRenamed + "\\Backups\\Accounts.BK1"), Bytes("Backups\\Accounts.BK1"));
            break;
        case LetterNameTaken:
            EXPECT_EQ(HostReadFile(New("Letters\\2004\\Late.RTF")), Bytes("newer letter"));
            EXPECT_EQ(HostReadFile(kOldRenamed + "\\Letters\\2004\\Late.RTF"), Bytes("Letters\\2004\\Late.RTF"));
            break;
        default:
            break;
        }
    }
}

// A fault that can't fire tests nothing, so it fails its test: one on a
// misspelt path, and one past the run's last call, are each reported.
TEST_F(UpgradeFaultsTest, AFaultThatNeverFiresFailsTheTest)
{
    Prepare();
    SimFailOperation(SIM_OP_COPY_FILE, Old("Acounts.LW").c_str(), OS_ERROR_SHARING_VIOLATION);
    HostGetExports().UpgradeToVersion5(4, kOld.c_str());
    EXPECT_NONFATAL_FAILURE(HostExpectFaultsFired(), "never fired (armed since the last reset): CopyFile on "
                                                     "C:\\Ledgerwick\\Acounts.LW, call 1 and after");

    Prepare();
    unsigned long before = SimCallCount(SIM_OP_ANY_MUTATING);
    HostGetExports().UpgradeToVersion5(4, kOld.c_str());
    unsigned long calls = SimCallCount(SIM_OP_ANY_MUTATING) - before;
    Prepare();
    SimArmFault(SIM_OP_ANY_MUTATING, nullptr, calls + 1, SIM_FAULT_ONCE, OS_ERROR_ACCESS_DENIED);
    HostGetExports().UpgradeToVersion5(4, kOld.c_str());
    EXPECT_NONFATAL_FAILURE(HostExpectFaultsFired(), "any mutating call on any path, call " +
                                                         std::to_string(calls + 1) + " once");

    // The same fault one call earlier fires, and the check is content.
    Prepare();
    SimArmFault(SIM_OP_ANY_MUTATING, nullptr, calls, SIM_FAULT_ONCE, OS_ERROR_ACCESS_DENIED);
    HostGetExports().UpgradeToVersion5(4, kOld.c_str());
    EXPECT_EQ(SimFaultsFired(), 1u);
}

// The fault table's layout without a fault: its checks look at files that
// really travelled, and its checker tells a lost file.
TEST_F(UpgradeFaultsTest, WithoutFaultsEverythingTravelsAndALossIsSeen)
{
    Prepare();
    const std::vector<std::string> folders = {kOld, kOldRenamed, data};
    std::map<std::string, std::string> before = FilesBelow(folders);

    EXPECT_EQ(HostGetExports().UpgradeToVersion5(4, kOld.c_str()), 0);

    ExpectNothingLost(before, folders);
    EXPECT_FALSE(HostFolderExists(kOld));
    EXPECT_EQ(HostTree(kOldRenamed), (std::vector<std::string>{"Accounts.OLD", "Books.OLD", "_Readme.txt"}));
    EXPECT_EQ(HostTree(data),
              (std::vector<std::string>{"Accounts.LW", "Accounts.OLD", "Automated Backups\\Accounts.BK1",
                                        "Automated Backups\\Accounts.BK2", "Automated Backups\\Accounts.BK3",
                                        "Books.LW", "Letters\\2004\\Late.RTF", "Letters\\Reminder.RTF"}));
    EXPECT_FALSE(HostFileExists(ini));

    // A file gone from both places is reported.
    OsDeleteFile(New("Letters\\Reminder.RTF").c_str());
    EXPECT_NONFATAL_FAILURE(ExpectNothingLost(before, folders), "Reminder.RTF lost");
}

} // namespace
#endif
