// Test support: the same test source runs natively against the simulated
// host and under Wine against real Win32. This header hides the few things
// that differ (resetting the host, making windows, reaching the exports).
#pragma once

#include "include/LedgerwickUpgrade.h"
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// True on the simulated host, false under Wine.
bool HostIsSimulated();

// Gives the test a clean host: no settings under the product's key in either
// root, no test folders (C:\lwtest, C:\Ledgerwick and its " OLD" name, the
// data folder, the log, the old INI file), a real clock, no faults. Checks
// first, as HostExpectFaultsFired does, the faults of the host it replaces.
void HostReset();

// A test failure for every fault armed on the simulated host (and not yet
// checked) that never fired: a fault that can't fire tests nothing. Nothing
// under Wine, which has no faults to arm.
void HostExpectFaultsFired();

// The product's settings key.
extern const char *const kSettingsKey;

// Registry helpers over the platform layer, for arranging and checking.
void HostRegSet(OsRootKey root, const char *name, unsigned long type, const void *data, unsigned long size);
void HostRegSetText(OsRootKey root, const char *name, const char *text); // REG_SZ with terminator
// The stored bytes, or false when the value (or key) is missing.
bool HostRegGet(OsRootKey root, const char *name, std::string *bytes, unsigned long *type = nullptr);
void HostRegDelete(OsRootKey root, const char *name);
// Makes the settings key of root (created when missing) refuse writes while
// its values can still be read, as a key whose DACL denies the user
// KEY_SET_VALUE and KEY_CREATE_SUB_KEY: opening it for writing, and so
// WriteSetting, fails with ERROR_ACCESS_DENIED. HostReset undoes it. False
// when the host could not be made to refuse.
bool HostMakeSettingsKeyReadOnly(OsRootKey root);
// A per-user setting's text without its terminators; "" when it is absent.
std::string HostSettingText(const char *name);

// Files (binary, exact bytes) over the platform layer.
void HostWriteFile(const std::string &path, const std::string &bytes);
std::string HostReadFile(const std::string &path); // "" and a test failure when missing
bool HostFileExists(const std::string &path);       // exists and is not a folder
// Gives to the file its last-write time of from, as CopyFile would.
void HostCopyFileTime(const std::string &from, const std::string &to);
bool HostFolderExists(const std::string &path);
void HostMakeFolder(const std::string &path);       // with every missing parent
// The names directly in a folder (no "." or ".."), sorted, folders with a
// trailing backslash.
std::vector<std::string> HostList(const std::string &folder);
// Every file below a folder, as paths relative to it, sorted.
std::vector<std::string> HostTree(const std::string &folder);

std::string HostShellFolder(int csidl);
// Makes path (UTF-8) the user's documents folder, as a user's profile
// named in another script has it: under Wine through the User Shell Folders
// key, which HostReset puts back. The folder itself is made too.
void HostSetDocumentsFolder(const std::string &path);
// The folders the Unicode tests lay out, which HostReset removes.
extern const char *const kUnicodeTestFolders[2];

// A top-level window with this title (real under Wine), and its end.
OsWindow HostCreateWindow(const char *title);
void HostDestroyWindow(OsWindow window);

// The exports, as a setup program reaches them: from the loaded
// Upgrade.dll under Wine, directly natively.
struct HostExports {
    int(OS_STDCALL *UpgradeToVersion5)(int, const char *);
    int(OS_STDCALL *IsRunning)(void);
    void(OS_STDCALL *GetInstallerFilename)(const char *);
    int(OS_STDCALL *DeleteLogFile)(void);
    int(OS_STDCALL *UpgradeToVersion5ExW)(int, const wchar_t *, unsigned, const wchar_t *);
    int(OS_STDCALL *UpgradeToVersion5W)(int, const wchar_t *);
    void(OS_STDCALL *GetInstallerFilenameW)(const wchar_t *);
    int(OS_STDCALL *UpgradeToVersion5ProgressW)(int, const wchar_t *, unsigned, const wchar_t *,
                                                LedgerwickProgressCallback, void *);
};
// Null members for the exports the DLL does not have.
const HostExports &HostGetExports();

// Base fixture: every test starts from a reset host, and ends with every
// fault it armed having fired.
class HostTest : public ::testing::Test {
protected:
    void SetUp() override { HostReset(); }
    void TearDown() override { HostExpectFaultsFired(); }
};
