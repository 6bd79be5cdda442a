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

static void RunUnix(const char *program, const std::string &arguments)
{
    std::string commandLine = std::string(program) + " " + arguments;
    std::vector<char> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::string image = std::string("Z:") + program;
    for (char &c : image)
        if (c == '/')
            c = '\\';
    ASSERT_TRUE(CreateProcessA(image.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &process))
        << commandLine;
    WaitForSingleObject(process.hProcess, 30000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

bool CanMakeLinks()
{
    return !UnixPath("C:\\").empty();
}

// Wine does not wait for a Unix child through its process handle: wait for
// the link itself.
static void WaitForLink(const std::string &link, bool present)
{
    for (int i = 0; i < 200; i++) {
        bool there = OsGetFileAttributes(link.c_str()) != OS_INVALID_FILE_ATTRIBUTES;
        if (there == present)
            return;
        Sleep(25);
    }
}

void MakeLink(const std::string &target, const std::string &link)
{
    RunUnix("/bin/ln", "-s \"" + UnixPath(target) + "\" \"" + UnixPath(link) + "\"");
    WaitForLink(link, true);
}

void RemoveLink(const std::string &link)
{
    RunUnix("/bin/rm", "-f \"" + UnixPath(link) + "\"");
    WaitForLink(link, false);
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
    ASSERT_EQ(symlink(Posix(target).c_str(), Posix(link).c_str()), 0) << link;
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
