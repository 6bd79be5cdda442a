#include "support/links.h"

#include "support/host.h"

#ifdef _WIN32
#include <windows.h>
#else
#include "platform/sim_host.h"
#include <unistd.h>
#endif

#ifdef _WIN32
static std::string UnixPath(const std::string &windowsPath)
{
    typedef char *(__cdecl * UnixName)(const wchar_t *);
    UnixName unixName = reinterpret_cast<UnixName>(
        reinterpret_cast<void *>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (unixName == nullptr)
        return "";
    wchar_t wide[OS_MAX_PATH];
    if (!MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide, OS_MAX_PATH))
        return "";
    char *name = unixName(wide);
    if (name == nullptr)
        return "";
    std::string result = name;
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

// Wine does not wait for a Unix child through its process handle, and a
// link to a device may not show through GetFileAttributes at all: the shell
// that runs the command touches a marker file when it is done, and that is
// waited for instead.
static void RunUnix(const std::string &command)
{
    static int serial = 0;
    char temp[MAX_PATH];
    ASSERT_NE(GetTempPathA(MAX_PATH, temp), 0u);
    const std::string marker = std::string(temp) + "lw_unix_done_" + std::to_string(GetCurrentProcessId()) + "_" +
                               std::to_string(++serial);
    const std::string unixMarker = UnixPath(marker);
    ASSERT_FALSE(unixMarker.empty()) << marker;
    std::string commandLine = "/bin/sh -c \"" + command + "; : > '" + unixMarker + "'\"";
    std::vector<char> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessA("Z:\\bin\\sh", buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &process))
        << commandLine;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    for (int i = 0; i < 1000 && GetFileAttributesA(marker.c_str()) == INVALID_FILE_ATTRIBUTES; i++)
        Sleep(10);
    EXPECT_NE(DeleteFileA(marker.c_str()), 0) << "no end of: " << commandLine;
}

// Single quotes keep the shell off the path (test paths hold none); the
// programs are named by full path, as the child's PATH is not the user's.
static std::string Quoted(const std::string &unixPath)
{
    EXPECT_FALSE(unixPath.empty());
    return "'" + unixPath + "'";
}

bool CanMakeLinks()
{
    return !UnixPath("C:\\").empty();
}

void MakeLink(const std::string &target, const std::string &link)
{
    MakeUnixLink(UnixPath(target), link);
}

void MakeUnixLink(const std::string &unixTarget, const std::string &link)
{
    RunUnix("/bin/ln -s " + Quoted(unixTarget) + " " + Quoted(UnixPath(link)));
}

void RemoveLink(const std::string &link)
{
    RunUnix("/bin/rm -f " + Quoted(UnixPath(link)));
}
#else
static std::string Posix(const std::string &windowsPath)
{
    char out[4096];
    EXPECT_TRUE(SimHostPath(windowsPath.c_str(), out, sizeof out)) << windowsPath;
    return out;
}

bool CanMakeLinks()
{
    return HostIsSimulated();
}

void MakeLink(const std::string &target, const std::string &link)
{
    MakeUnixLink(Posix(target), link);
}

void MakeUnixLink(const std::string &unixTarget, const std::string &link)
{
    ASSERT_EQ(symlink(unixTarget.c_str(), Posix(link).c_str()), 0) << link;
}

void RemoveLink(const std::string &link)
{
    unlink(Posix(link).c_str());
}
#endif


void Links::Make(const std::string &target, const std::string &link)
{
    made.push_back(link);
    MakeLink(target, link);
    ASSERT_NE(OsGetFileAttributes(link.c_str()), OS_INVALID_FILE_ATTRIBUTES) << link;
}

Links::~Links()
{
    for (const std::string &link : made)
        RemoveLink(link);
}
