// Test support for the real Win32 host (the suite under Wine). Resetting the
// host deletes the product's settings and test folders for real, so it only
// runs inside Wine unless explicitly allowed.
#include "support/host.h"

#include <windows.h>
#include <sddl.h>
#include <shlobj.h>

#include <stdio.h>
#include <stdlib.h>
#include <string>

bool HostIsSimulated()
{
    return false;
}

static bool RunningUnderWine()
{
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != NULL && GetProcAddress(ntdll, "wine_get_version") != NULL;
}

static void RefuseRealWindows()
{
    static bool checked = false;
    if (checked)
        return;
    checked = true;
    if (RunningUnderWine() || getenv("LW_TESTS_ALLOW_REAL_WINDOWS") != NULL)
        return;
    fprintf(stderr, "lw_tests: the suite deletes C:\\Ledgerwick and the product's settings; it runs "
                    "only under Wine (set LW_TESTS_ALLOW_REAL_WINDOWS=1 on a throwaway machine).\n");
    exit(2);
}

// Removes a file or a folder with everything in it. Read-only bits are
// cleared first, as Windows refuses to delete read-only files. The wide calls
// with the "\\?\" prefix reach entries whose paths outgrew MAX_PATH (a
// folder renamed to a longer name). A link to a folder is never walked into;
// Wine 8 has no Win32 call that removes such a link without harming its
// target (RemoveDirectory removes an empty target and leaves the link), so
// one is reported instead.
static void RemoveTreeWide(const std::wstring &path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    std::string shown(path.begin() + 4, path.end()); // ASCII test paths only
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        ADD_FAILURE() << "HostReset: cannot safely remove the folder link " << shown;
        return;
    }
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        WIN32_FIND_DATAW found;
        HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &found);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                std::wstring name = found.cFileName;
                if (name != L"." && name != L"..")
                    RemoveTreeWide(path + L"\\" + name);
            } while (FindNextFileW(find, &found));
            FindClose(find);
        }
        if (!RemoveDirectoryW(path.c_str()))
            ADD_FAILURE() << "HostReset: cannot remove folder " << shown << " (error " << GetLastError() << ")";
    } else if (!DeleteFileW(path.c_str())) {
        ADD_FAILURE() << "HostReset: cannot delete " << shown << " (error " << GetLastError() << ")";
    }
}

static void RemoveTree(const std::string &path)
{
    wchar_t wide[MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH) == 0) {
        ADD_FAILURE() << "HostReset: unusable path " << path;
        return;
    }
    RemoveTreeWide(std::wstring(L"\\\\?\\") + wide);
}

// Entries of a folder whose names match a pattern, removed.
static void RemoveMatching(const std::string &folder, const char *pattern)
{
    if (folder.empty())
        return;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + "\\" + pattern).c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return;
    std::vector<std::string> names;
    do {
        std::string name = found.cFileName;
        if (name != "." && name != "..")
            names.push_back(name);
    } while (FindNextFileA(find, &found));
    FindClose(find);
    for (const std::string &name : names)
        RemoveTree(folder + "\\" + name);
}

static std::string ShellFolder(int csidl)
{
    char path[MAX_PATH] = "";
    if (!SHGetSpecialFolderPathA(NULL, path, csidl, FALSE))
        return "";
    return path;
}

void HostExpectFaultsFired()
{
}

static const wchar_t kShellFoldersKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
// The documents folder's entry as it was before a test changed it.
static bool s_documentsChanged = false;
static bool s_documentsHadValue = false;
static std::wstring s_documentsValue;
static DWORD s_documentsType = REG_EXPAND_SZ;

static std::wstring Wide(const std::string &utf8)
{
    wchar_t wide[OS_PATH_BUFFER];
    if (!MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, wide, OS_PATH_BUFFER))
        return L"";
    return wide;
}

void HostCopyFileTime(const std::string &from, const std::string &to)
{
    HANDLE source = CreateFileW(Wide(from).c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    HANDLE target = CreateFileW(Wide(to).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    FILETIME written;
    EXPECT_TRUE(source != INVALID_HANDLE_VALUE && target != INVALID_HANDLE_VALUE &&
                GetFileTime(source, NULL, NULL, &written) && SetFileTime(target, NULL, NULL, &written))
        << from << " -> " << to;
    CloseHandle(source);
    CloseHandle(target);
}

void HostSetDocumentsFolder(const std::string &path)
{
    HostMakeFolder(path);
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kShellFoldersKey, 0, NULL, 0, KEY_READ | KEY_WRITE, NULL, &key, NULL),
              ERROR_SUCCESS);
    if (!s_documentsChanged) {
        wchar_t value[MAX_PATH * 2];
        DWORD size = sizeof value - sizeof(wchar_t), type = 0;
        s_documentsHadValue = RegQueryValueExW(key, L"Personal", NULL, &type, (BYTE *)value, &size) == ERROR_SUCCESS;
        value[size / sizeof(wchar_t)] = L'\0';
        s_documentsValue = value;
        s_documentsType = type;
        s_documentsChanged = true;
    }
    std::wstring wide = Wide(path);
    EXPECT_EQ(RegSetValueExW(key, L"Personal", 0, REG_SZ, (const BYTE *)wide.c_str(),
                             (DWORD)((wide.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

static void RestoreDocumentsFolder()
{
    if (!s_documentsChanged)
        return;
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kShellFoldersKey, 0, KEY_WRITE, &key) != ERROR_SUCCESS)
        return;
    if (s_documentsHadValue)
        RegSetValueExW(key, L"Personal", 0, s_documentsType, (const BYTE *)s_documentsValue.c_str(),
                       (DWORD)((s_documentsValue.size() + 1) * sizeof(wchar_t)));
    else
        RegDeleteValueW(key, L"Personal");
    RegCloseKey(key);
    s_documentsChanged = false;
}

// Wine's server checks a key's DACL against the user's token when a handle
// is opened (Wine 8, measured: a KEY_READ | KEY_WRITE open gives 5, a
// KEY_READ one succeeds, and its RegSetValueEx gives 5), so the key is
// made read-only as on Windows. Only the two write rights are denied:
// KEY_WRITE also holds READ_CONTROL, which KEY_READ needs. The owner keeps
// WRITE_DAC and DELETE is granted, so HostReset can delete the key.
bool HostMakeSettingsKeyReadOnly(OsRootKey root)
{
    HKEY rootKey = root == OS_HKEY_LOCAL_MACHINE ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    HKEY key;
    if (RegCreateKeyExA(rootKey, kSettingsKey, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL) != ERROR_SUCCESS)
        return false;
    PSECURITY_DESCRIPTOR descriptor = NULL;
    bool made = ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(D;;0x6;;;WD)(A;;KA;;;WD)", SDDL_REVISION_1,
                                                                     &descriptor, NULL) &&
                RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor) == ERROR_SUCCESS;
    LocalFree(descriptor);
    RegCloseKey(key);
    return made;
}

void HostReset()
{
    RefuseRealWindows();
    RestoreDocumentsFolder();
    for (const char *folder : kUnicodeTestFolders)
        RemoveTreeWide(L"\\\\?\\" + Wide(folder));

    // The key's security goes with it (HostMakeSettingsKeyReadOnly).
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        LONG status = RegDeleteTreeA(root, kSettingsKey);
        if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
            ADD_FAILURE() << "HostReset: cannot delete the settings key (error " << status << ")";
    }

    RemoveTree("C:\\lwtest");
    RemoveTree("C:\\Ledgerwick");
    RemoveTree("C:\\Ledgerwick OLD");
    RemoveTree("C:\\Ledgerwick OLD 2");
    // The prefix's own test drives (scripts/wine-prefix).
    for (const char *drive : {"D:", "N:", "R:", "X:"})
        RemoveTree(std::string(drive) + "\\lwtest");

    std::string documents = ShellFolder(CSIDL_PERSONAL);
    if (!documents.empty())
        RemoveTree(documents + "\\Ledgerwick Data");
    std::string appData = ShellFolder(CSIDL_APPDATA);
    if (!appData.empty())
        RemoveTree(appData + "\\LWInst.log");
    char windows[MAX_PATH] = "";
    if (GetWindowsDirectoryA(windows, sizeof windows) > 0)
        RemoveTree(std::string(windows) + "\\ledgerwick.ini");

    // The old program's menu group and shortcuts, as tests of the clean-up
    // lay them out; the simulated host starts without them too.
    for (int csidl : {CSIDL_STARTMENU, CSIDL_COMMON_STARTMENU, CSIDL_DESKTOPDIRECTORY,
                      CSIDL_COMMON_DESKTOPDIRECTORY}) {
        std::string folder = ShellFolder(csidl);
        if (folder.empty())
            continue;
        RemoveMatching(folder, "Ledgerwick*");
        RemoveMatching(folder + "\\Programs", "Ledgerwick*");
    }
}

static LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

static const char kWindowClass[] = "LwTestWindow";

OsWindow HostCreateWindow(const char *title)
{
    static bool registered = false;
    if (!registered) {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = TestWindowProc;
        windowClass.hInstance = GetModuleHandleA(NULL);
        windowClass.lpszClassName = kWindowClass;
        registered = RegisterClassA(&windowClass) != 0;
        EXPECT_TRUE(registered) << "RegisterClassA failed: " << GetLastError();
    }
    HWND window = CreateWindowA(kWindowClass, title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                200, 100, NULL, NULL, GetModuleHandleA(NULL), NULL);
    EXPECT_NE(window, (HWND)NULL) << "CreateWindowA failed: " << GetLastError();
    return reinterpret_cast<OsWindow>(window);
}

void HostDestroyWindow(OsWindow window)
{
    if (window != 0)
        DestroyWindow(reinterpret_cast<HWND>(window));
}

template <typename Function>
static Function Export(HMODULE module, const char *name)
{
    void *address = reinterpret_cast<void *>(GetProcAddress(module, name));
    return reinterpret_cast<Function>(address);
}

const HostExports &HostGetExports()
{
    static HostExports exports = {};
    static bool loaded = false;
    if (loaded)
        return exports;
    loaded = true;
    // Found beside lw_tests.exe, as a setup program finds it beside itself.
    HMODULE module = LoadLibraryA("Upgrade.dll");
    if (module == NULL) {
        ADD_FAILURE() << "LoadLibraryA(\"Upgrade.dll\") failed: " << GetLastError();
        return exports;
    }
    exports.UpgradeToVersion5 =
        Export<decltype(exports.UpgradeToVersion5)>(module, "LedgerwickInstaller_UpgradeToVersion5");
    exports.IsRunning =
        Export<decltype(exports.IsRunning)>(module, "LedgerwickInstaller_IsLedgerwickCompleteAlreadyRunning");
    exports.GetInstallerFilename =
        Export<decltype(exports.GetInstallerFilename)>(module, "LedgerwickInstaller_GetInstallerFilename");
    exports.DeleteLogFile = Export<decltype(exports.DeleteLogFile)>(module, "DeleteLogFile");
    exports.UpgradeToVersion5ExW =
        Export<decltype(exports.UpgradeToVersion5ExW)>(module, "LedgerwickInstaller_UpgradeToVersion5ExW");
    exports.UpgradeToVersion5W =
        Export<decltype(exports.UpgradeToVersion5W)>(module, "LedgerwickInstaller_UpgradeToVersion5W");
    exports.GetInstallerFilenameW =
        Export<decltype(exports.GetInstallerFilenameW)>(module, "LedgerwickInstaller_GetInstallerFilenameW");
    exports.UpgradeToVersion5ProgressW = Export<decltype(exports.UpgradeToVersion5ProgressW)>(
        module, "LedgerwickInstaller_UpgradeToVersion5ProgressW");
    return exports;
}
