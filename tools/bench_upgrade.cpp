// Times the upgrade against the bare file operations it consists of, in one
// run, interleaved: the export with the log off, with the log on, and the
// same copies, renames, moves and folder work as plain host calls (Win32
// under Wine against the real Upgrade.dll; POSIX natively, where the upgrade
// runs on the simulated host), alone and with the one read of both files the
// upgrade makes before a data file takes the ".OLD" name, which the bare
// loop would skip otherwise. Every run starts from a freshly laid out old
// installation, is checked to have done the whole job (a run that did not
// voids the figures), and the medians, ratios and growth are printed.
//
// Usage: bench_upgrade N [N ...] [-r repetitions]
// Layout for N user files: N/10 data files in the old folder, 3N/10 backups
// in its "Backups", the rest letters in ten year folders below "Letters".
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#include <psapi.h>
#include <shlobj.h>
#else
#include "platform/sim_host.h"
#include "settings/settings.h"
#include "upgrade/upgrade.h"
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

struct Layout {
    int data, backups, letters;
};

Layout Split(int n)
{
    Layout l;
    l.data = n / 10;
    l.backups = 3 * n / 10;
    l.letters = n - l.data - l.backups;
    return l;
}

double Seconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

const char kPayload[256] = "LW bench file";

#ifdef _WIN32
// --- Win32: the real DLL and bare kernel32 calls ----------------------------

const char *kKey = "SOFTWARE\\Velmora Software Ltd\\Ledgerwick Complete\\Settings";
std::string g_old = "C:\\lwbench\\old", g_bare = "C:\\lwbench\\bare", g_data;
typedef int(__stdcall *UpgradeFn)(int, const char *);
typedef int(__stdcall *UpgradeExFn)(int, const wchar_t *, unsigned, const wchar_t *);
typedef int(__stdcall *DeleteLogFn)(void);
typedef int(__stdcall *ProgressCallbackFn)(void *, unsigned long long, unsigned long long, const wchar_t *);
typedef int(__stdcall *UpgradeProgressFn)(int, const wchar_t *, unsigned, const wchar_t *, ProgressCallbackFn, void *);
UpgradeProgressFn g_upgradeProgress;
UpgradeFn g_upgrade;
UpgradeExFn g_upgradeEx;
DeleteLogFn g_deleteLog;

// An export of the DLL as its own type. The step through void (*)(void), the
// type that stands for any function, keeps GCC from warning of a cast
// between unrelated function types.
template <typename Fn> Fn Export(HMODULE dll, const char *name)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)(void)>(GetProcAddress(dll, name)));
}

void RemoveTree(const std::string &path)
{
    WIN32_FIND_DATAA e;
    HANDLE h = FindFirstFileA((path + "\\*").c_str(), &e);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string name = e.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string child = path + "\\" + name;
            if (e.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else {
                SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(child.c_str());
            }
        } while (FindNextFileA(h, &e));
        FindClose(h);
    }
    RemoveDirectoryA(path.c_str());
}

void MakeFolder(const std::string &path) { CreateDirectoryA(path.c_str(), NULL); }

void WriteFile(const std::string &path)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "cannot write %s\n", path.c_str());
        exit(2);
    }
    DWORD written;
    ::WriteFile(h, kPayload, sizeof kPayload, &written, NULL);
    CloseHandle(h);
}

int CountFiles(const std::string &folder, const char *ext)
{
    int count = 0;
    WIN32_FIND_DATAA e;
    HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &e);
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    do {
        std::string name = e.cFileName;
        if (name == "." || name == "..")
            continue;
        if (e.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            count += CountFiles(folder + "\\" + name, ext);
        else if (name.size() > strlen(ext) && _stricmp(name.c_str() + name.size() - strlen(ext), ext) == 0)
            count++;
    } while (FindNextFileA(h, &e));
    FindClose(h);
    return count;
}

void ResetHost()
{
    RegDeleteKeyA(HKEY_CURRENT_USER, kKey);
    RemoveTree("C:\\lwbench");
    RemoveTree(g_data);
    g_deleteLog();
}

void SetLog(bool on)
{
    HKEY key;
    RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL);
    if (on)
        RegSetValueExA(key, "EnableDebugLog", 0, REG_SZ, (const BYTE *)"1", 2);
    else
        RegDeleteValueA(key, "EnableDebugLog");
    RegCloseKey(key);
}

size_t g_peakGrowth; // the largest growth of the peak working set in an export

// The same upgrade previewed: flag 1, no report.
int RunPreview()
{
    std::wstring old(g_old.begin(), g_old.end());
    return g_upgradeEx(0, old.c_str(), 1, nullptr);
}

int __stdcall Watch(void *, unsigned long long, unsigned long long, const wchar_t *);
int CallProgress(const std::wstring &old)
{
    return g_upgradeProgress(0, old.c_str(), 0, nullptr, Watch, nullptr);
}

int RunUpgrade()
{
    PROCESS_MEMORY_COUNTERS before, after;
    GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof before);
    int result = g_upgrade(0, g_old.c_str());
    GetProcessMemoryInfo(GetCurrentProcess(), &after, sizeof after);
    if (after.PeakWorkingSetSize > before.WorkingSetSize)
        g_peakGrowth = std::max(g_peakGrowth, (size_t)(after.PeakWorkingSetSize - before.WorkingSetSize));
    return result;
}

// The upgrade's file work as plain calls: enumerate, copy the data files,
// rename them, move backups and letters (folders made once each), retire
// the old folder.
// Whether two files hold the same bytes: what the upgrade reads before it
// gives a data file the ".OLD" name.
bool SameBytes(const std::string &a, const std::string &b)
{
    HANDLE first = CreateFileA(a.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    HANDLE second = CreateFileA(b.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    char x[4096], y[4096];
    DWORD nx = 0, ny = 0;
    bool same = first != INVALID_HANDLE_VALUE && second != INVALID_HANDLE_VALUE && ReadFile(first, x, sizeof x, &nx, NULL) &&
                ReadFile(second, y, sizeof y, &ny, NULL) && nx == ny && memcmp(x, y, nx) == 0;
    CloseHandle(first);
    CloseHandle(second);
    return same;
}

void BareWork(const std::string &old, const std::string &data, bool check)
{
    WIN32_FIND_DATAA e;
    MakeFolder(data);
    HANDLE h = FindFirstFileA((old + "\\*.*").c_str(), &e);
    do {
        std::string name = e.cFileName;
        if (!(e.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name.size() > 3 &&
            _stricmp(name.c_str() + name.size() - 3, ".LW") == 0) {
            CopyFileA((old + "\\" + name).c_str(), (data + "\\" + name).c_str(), FALSE);
            if (check && !SameBytes(old + "\\" + name, data + "\\" + name))
                continue;
            std::string renamed = old + "\\" + name.substr(0, name.size() - 3) + ".OLD";
            MoveFileA((old + "\\" + name).c_str(), renamed.c_str());
        }
    } while (FindNextFileA(h, &e));
    FindClose(h);
    struct Move {
        std::string from, to;
    };
    std::vector<Move> folders = {{old + "\\Backups", data + "\\Automated Backups"}};
    MakeFolder(data + "\\Letters");
    h = FindFirstFileA((old + "\\Letters\\*.*").c_str(), &e);
    do {
        if (e.cFileName[0] != '.')
            folders.push_back({old + "\\Letters\\" + e.cFileName, data + "\\Letters\\" + e.cFileName});
    } while (FindNextFileA(h, &e));
    FindClose(h);
    for (const Move &m : folders) {
        MakeFolder(m.to);
        h = FindFirstFileA((m.from + "\\*.*").c_str(), &e);
        do {
            if (e.cFileName[0] != '.')
                MoveFileA((m.from + "\\" + e.cFileName).c_str(), (m.to + "\\" + e.cFileName).c_str());
        } while (FindNextFileA(h, &e));
        FindClose(h);
        RemoveDirectoryA(m.from.c_str());
    }
    RemoveDirectoryA((old + "\\Letters").c_str());
    MoveFileA(old.c_str(), (old + " OLD").c_str());
}

bool Setup()
{
    HMODULE dll = LoadLibraryA("Upgrade.dll");
    if (!dll) {
        fprintf(stderr, "LoadLibrary(Upgrade.dll) failed: %lu\n", GetLastError());
        return false;
    }
    g_upgrade = Export<UpgradeFn>(dll, "LedgerwickInstaller_UpgradeToVersion5");
    g_upgradeEx = Export<UpgradeExFn>(dll, "LedgerwickInstaller_UpgradeToVersion5ExW");
    g_deleteLog = Export<DeleteLogFn>(dll, "DeleteLogFile");
    g_upgradeProgress = Export<UpgradeProgressFn>(dll, "LedgerwickInstaller_UpgradeToVersion5ProgressW");
    char docs[MAX_PATH];
    SHGetSpecialFolderPathA(NULL, docs, 5 /* CSIDL_PERSONAL */, TRUE);
    g_data = std::string(docs) + "\\Ledgerwick Data";
    return g_upgrade && g_upgradeEx && g_deleteLog && g_upgradeProgress;
}

const char *kHostName = "Wine, real Upgrade.dll vs Win32 calls";
#else
// --- Native: the upgrade on the simulated host, bare POSIX calls ------------

std::string g_root, g_old = "C:\\lwbench\\old", g_data = "C:\\Users\\lw\\Documents\\Ledgerwick Data";
std::string g_bareOld, g_bareData;

std::string Posix(const std::string &windowsPath)
{
    char out[4096];
    SimHostPath(windowsPath.c_str(), out, sizeof out);
    return out;
}

void MakeFolder(const std::string &path) { mkdir(Posix(path).c_str(), 0755); }

void WriteFile(const std::string &path)
{
    int fd = open(Posix(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || write(fd, kPayload, sizeof kPayload) != (ssize_t)sizeof kPayload) {
        fprintf(stderr, "cannot write %s\n", path.c_str());
        exit(2);
    }
    close(fd);
}

int CountFiles(const std::string &folder, const char *ext)
{
    static int count;
    static const char *want;
    count = 0;
    want = ext;
    nftw(
        Posix(folder).c_str(),
        [](const char *p, const struct stat *, int type, struct FTW *) {
            size_t n = strlen(p), e = strlen(want);
            if (type == FTW_F && n > e && strcasecmp(p + n - e, want) == 0)
                count++;
            return 0;
        },
        16, FTW_PHYS);
    return count;
}

void ResetHost() { SimHostReset(g_root.c_str()); }

void SetLog(bool on) { WriteSetting(SETTING_ENABLE_DEBUG_LOG, on ? "1" : "", 1); }

size_t g_peakGrowth;

long MaxRss()
{
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss * 1024L;
}

int RunPreview()
{
    std::wstring old(g_old.begin(), g_old.end());
    return LedgerwickInstaller_UpgradeToVersion5ExW(0, old.c_str(), 1, nullptr);
}

int Watch(void *, unsigned long long, unsigned long long, const wchar_t *);
int CallProgress(const std::wstring &old)
{
    return LedgerwickInstaller_UpgradeToVersion5ProgressW(0, old.c_str(), 0, nullptr, Watch, nullptr);
}

int RunUpgrade()
{
    long before = MaxRss();
    int result = LedgerwickInstaller_UpgradeToVersion5(0, g_old.c_str());
    long after = MaxRss();
    g_peakGrowth = std::max(g_peakGrowth, (size_t)(after - before));
    return result;
}

void CopyPosix(const std::string &from, const std::string &to)
{
    char buffer[65536];
    int in = open(from.c_str(), O_RDONLY), out = open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ssize_t n;
    while ((n = read(in, buffer, sizeof buffer)) > 0)
        if (write(out, buffer, (size_t)n) != n)
            break;
    close(in);
    close(out);
}

bool SameBytes(const std::string &a, const std::string &b)
{
    char x[4096], y[4096];
    int first = open(a.c_str(), O_RDONLY), second = open(b.c_str(), O_RDONLY);
    ssize_t nx = first < 0 ? -1 : read(first, x, sizeof x), ny = second < 0 ? -1 : read(second, y, sizeof y);
    close(first);
    close(second);
    return nx >= 0 && nx == ny && memcmp(x, y, (size_t)nx) == 0;
}

void BareWork(const std::string &oldWin, const std::string &dataWin, bool check)
{
    std::string old = Posix(oldWin), data = Posix(dataWin);
    mkdir(data.c_str(), 0755);
    DIR *dir = opendir(old.c_str());
    while (struct dirent *e = readdir(dir)) {
        std::string name = e->d_name;
        if (name.size() > 3 && strcasecmp(name.c_str() + name.size() - 3, ".LW") == 0) {
            CopyPosix(old + "/" + name, data + "/" + name);
            if (check && !SameBytes(old + "/" + name, data + "/" + name))
                continue;
            rename((old + "/" + name).c_str(), (old + "/" + name.substr(0, name.size() - 3) + ".OLD").c_str());
        }
    }
    closedir(dir);
    struct Move {
        std::string from, to;
    };
    std::vector<Move> folders = {{old + "/Backups", data + "/Automated Backups"}};
    mkdir((data + "/Letters").c_str(), 0755);
    dir = opendir((old + "/Letters").c_str());
    while (struct dirent *e = readdir(dir))
        if (e->d_name[0] != '.')
            folders.push_back({old + "/Letters/" + e->d_name, data + "/Letters/" + e->d_name});
    closedir(dir);
    for (const Move &m : folders) {
        mkdir(m.to.c_str(), 0755);
        dir = opendir(m.from.c_str());
        while (struct dirent *e = readdir(dir))
            if (e->d_name[0] != '.')
                rename((m.from + "/" + e->d_name).c_str(), (m.to + "/" + e->d_name).c_str());
        closedir(dir);
        rmdir(m.from.c_str());
    }
    rmdir((old + "/Letters").c_str());
    rename(old.c_str(), (old + " OLD").c_str());
}

bool Setup()
{
    char pattern[] = "/tmp/lw-bench-XXXXXX";
    if (!mkdtemp(pattern))
        return false;
    g_root = pattern;
    return true;
}

const char *kHostName = "native, upgrade on the simulated host vs POSIX calls";
#endif

// --- Common ------------------------------------------------------------------

void LayOut(int n)
{
    Layout l = Split(n);
    MakeFolder("C:\\lwbench");
    MakeFolder(g_old);
    MakeFolder(g_old + "\\Backups");
    MakeFolder(g_old + "\\Letters");
    for (int i = 0; i < l.data; i++)
        WriteFile(g_old + "\\Book" + std::to_string(i) + ".LW");
    for (int i = 0; i < l.backups; i++)
        WriteFile(g_old + "\\Backups\\Book" + std::to_string(i) + ".BK" + std::to_string(1 + i % 3));
    for (int y = 0; y < 10; y++)
        MakeFolder(g_old + "\\Letters\\" + std::to_string(2010 + y));
    for (int i = 0; i < l.letters; i++)
        WriteFile(g_old + "\\Letters\\" + std::to_string(2010 + i % 10) + "\\Letter" + std::to_string(i) + ".RTF");
}

// Whether the run carried every file: data files copied and re-extended,
// backups and letters moved.
bool WholeJob(int n)
{
    Layout l = Split(n);
    return CountFiles(g_data, ".LW") == l.data && CountFiles(g_old + " OLD", ".OLD") == l.data &&
           CountFiles(g_data + "\\Automated Backups", ".BK1") + CountFiles(g_data + "\\Automated Backups", ".BK2") +
                   CountFiles(g_data + "\\Automated Backups", ".BK3") ==
               l.backups &&
           CountFiles(g_data + "\\Letters", ".RTF") == l.letters && CountFiles(g_old + " OLD", ".RTF") == 0;
}

// A preview changes nothing: the old folder is as it was laid out.
bool LeftAlone(int n)
{
    Layout l = Split(n);
    return CountFiles(g_old, ".LW") == l.data && CountFiles(g_old + "\\Letters", ".RTF") == l.letters &&
           CountFiles(g_data, ".LW") == 0;
}

// The progress callback as a setup's might be: it turns the item into text
// for a detail line. Its calls are counted, with the longest wait between
// two of them once the total is known (the run's, not the count's).
struct Watching {
    long calls;
    double last;       // the last call of the run in hand, 0 before its first
    double longestGap;
    double inCallback; // seconds spent in the callback, all runs
    double inRuns;     // seconds of the progress runs
} g_watching;

#ifdef _WIN32
int __stdcall
#else
int
#endif
Watch(void *, unsigned long long done, unsigned long long total, const wchar_t *item)
{
    double now = Seconds();
    if (total != 0 && g_watching.last > 0)
        g_watching.longestGap = std::max(g_watching.longestGap, now - g_watching.last);
    if (total != 0)
        g_watching.last = now;
    g_watching.calls++;
    char line[600];
    snprintf(line, sizeof line, "%llu of %llu: %ls", done, total, item ? item : L"");
    g_watching.inCallback += Seconds() - now;
    return line[0] != '\0';
}

// The upgrade with its progress watched (log off, no report).
int RunProgress()
{
    std::wstring old(g_old.begin(), g_old.end());
    g_watching.last = 0;
    double start = Seconds();
    int result = CallProgress(old);
    g_watching.inRuns += Seconds() - start;
    return result;
}

// The upgrade with the log off and on, its preview (log off), with progress
// (log off), the bare calls alone, and with the byte check the upgrade makes
// before a data file takes the ".OLD" name (one read of each file).
enum { LOG_OFF, LOG_ON, PREVIEW, PROGRESS, BARE, BARE_CHECKED, KINDS };
const char *kKindNames[KINDS] = {"DLL, log off", "DLL, log on", "preview", "progress", "bare calls", "bare + check"};

double RunOnce(int kind, int n, bool *whole)
{
    ResetHost();
    LayOut(n);
    SetLog(kind == LOG_ON);
    double start = Seconds();
    if (kind == BARE || kind == BARE_CHECKED)
        BareWork(g_old, g_data, kind == BARE_CHECKED);
    else if (kind == PREVIEW)
        RunPreview();
    else if (kind == PROGRESS)
        RunProgress();
    else
        RunUpgrade();
    double took = Seconds() - start;
    *whole = kind == PREVIEW ? LeftAlone(n) : WholeJob(n);
    return took;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    size_t m = v.size() / 2;
    return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
}

} // namespace

int main(int argc, char **argv)
{
    std::vector<int> sizes;
    int reps = 5;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "-r") == 0 && i + 1 < argc)
            reps = atoi(argv[++i]);
        else
            sizes.push_back(atoi(argv[i]));
    }
    if (sizes.empty() || reps < 1) {
        fprintf(stderr, "usage: bench_upgrade N [N ...] [-r repetitions]\n");
        return 2;
    }
    if (!Setup())
        return 2;
    printf("%s; medians of %d, interleaved\n", kHostName, reps);
    printf("%8s %14s %14s %14s %14s %14s %14s %11s %13s %9s %13s %16s\n", "N", kKindNames[0], kKindNames[1],
           kKindNames[2], kKindNames[3], kKindNames[4], kKindNames[5], "off / bare", "off / checked", "on / off",
           "preview / off", "progress / both");
    bool voided = false;
    std::vector<double> offMedians, bareMedians;
    for (int n : sizes) {
        std::vector<double> times[KINDS];
        for (int r = 0; r < reps; r++)
            for (int k = 0; k < KINDS; k++) {
                bool whole = false;
                times[k].push_back(RunOnce(k, n, &whole));
                if (!whole) {
                    printf("N=%d %s, repetition %d: the job was not done whole; figures void\n", n, kKindNames[k],
                           r + 1);
                    voided = true;
                }
            }
        double m[KINDS];
        for (int k = 0; k < KINDS; k++)
            m[k] = Median(times[k]);
        offMedians.push_back(m[LOG_OFF]);
        bareMedians.push_back(m[BARE]);
        // Progress runs a preview to count, then the run: what it costs
        // beyond the two is the pacing and the callback's calls.
        printf("%8d %11.1f ms %11.1f ms %11.1f ms %11.1f ms %11.1f ms %11.1f ms %11.2f %13.2f %9.2f %13.2f %16.3f\n",
               n, m[LOG_OFF] * 1e3, m[LOG_ON] * 1e3, m[PREVIEW] * 1e3, m[PROGRESS] * 1e3, m[BARE] * 1e3,
               m[BARE_CHECKED] * 1e3, m[LOG_OFF] / m[BARE], m[LOG_OFF] / m[BARE_CHECKED], m[LOG_ON] / m[LOG_OFF],
               m[PREVIEW] / m[LOG_OFF], m[PROGRESS] / (m[LOG_OFF] + m[PREVIEW]));
        printf("%8s progress: %.0f callback calls a run, the longest wait between two %.0f ms, "
               "%.2f%% of the run in the callback\n",
               "", (double)g_watching.calls / reps, g_watching.longestGap * 1e3,
               100.0 * g_watching.inCallback / g_watching.inRuns);
        g_watching = Watching();
        fflush(stdout);
    }
    for (size_t i = 1; i < sizes.size(); i++) {
        double factor = offMedians[i] / offMedians[i - 1], files = (double)sizes[i] / sizes[i - 1];
        // The host's own calls may grow faster than the files do (Wine
        // looks a missing name up by reading the folder): shown beside.
        printf("growth N=%d -> %d (log off): x%.2f for x%.0f files, exponent %.2f; bare calls x%.2f\n",
               sizes[i - 1], sizes[i], factor, files, std::log(factor) / std::log(files),
               bareMedians[i] / bareMedians[i - 1]);
    }
    printf("largest growth of the peak working set during one export: %.2f MB\n", g_peakGrowth / 1048576.0);
    ResetHost();
#ifndef _WIN32
    nftw(
        g_root.c_str(), [](const char *p, const struct stat *, int type, struct FTW *) {
            return type == FTW_DP ? rmdir(p) : unlink(p);
        },
        16, FTW_DEPTH | FTW_PHYS);
#endif
    return voided ? 1 : 0;
}
