// Prints how long the file engine takes on the simulated host for a tree of
// many small files: a COPY of every folder into a new tree, then a recursive
// DELETE of the source tree, each with the diagnostic log off and on.
//
// Usage: bench_engine [folders] [files per folder]   (default 50 x 40)
// The host lives in a fresh temporary folder that is removed at the end.
#include "files/files.h"
#include "platform/sim_host.h"
#include "settings/settings.h"

#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

static double Now()
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

static int RemoveEntry(const char *path, const struct stat *, int type, struct FTW *)
{
    return type == FTW_DP ? rmdir(path) : unlink(path);
}

static void WriteFile(const char *path)
{
    OsFile *file = OsFopen(path, "wb");
    if (!file) {
        fprintf(stderr, "cannot write %s\n", path);
        exit(1);
    }
    static const char kData[512] = {'L', 'W'};
    OsFwrite(kData, 1, sizeof kData, file);
    OsFclose(file);
}

// C:\bench\Src\Fnn\fileNNNN.LW (every fifth file .txt, so the filter has
// something to leave out).
static int MakeTree(int folders, int perFolder)
{
    char path[OS_PATH_BUFFER];
    int selected = 0;
    for (int f = 0; f < folders; f++) {
        TextFormat(path, sizeof path, "C:\\bench\\Src\\F%02d\\", f);
        EnsureFolderExists(path);
        for (int i = 0; i < perFolder; i++) {
            int lw = i % 5 != 4;
            selected += lw;
            TextFormat(path, sizeof path, "C:\\bench\\Src\\F%02d\\file%04d.%s", f, i, lw ? "LW" : "txt");
            WriteFile(path);
        }
    }
    return selected;
}

static void Run(const char *root, int folders, int perFolder, int logging)
{
    SimHostReset(root);
    if (logging)
        WriteSetting(SETTING_ENABLE_DEBUG_LOG, "1", 1);
    int selected = MakeTree(folders, perFolder);
    static const char *const kPatterns[] = {"*.LW", "*.OLD"};

    char source[OS_PATH_BUFFER] = "C:\\bench\\Src";
    char destination[OS_PATH_BUFFER] = "C:\\bench\\Copy";
    unsigned long scans = SimDirectoryScans(), lookups = SimCallCount(SIM_OP_GET_FILE_ATTRIBUTES);
    double start = Now();
    int copied = PerformActionOnFiles(FILE_COPY, source, destination, kPatterns, 2, 1, 0, 1);
    double copySeconds = Now() - start;
    unsigned long copyScans = SimDirectoryScans() - scans;
    unsigned long copyLookups = SimCallCount(SIM_OP_GET_FILE_ATTRIBUTES) - lookups;
    scans = SimDirectoryScans();
    lookups = SimCallCount(SIM_OP_GET_FILE_ATTRIBUTES);

    char again[OS_PATH_BUFFER] = "C:\\bench\\Src";
    start = Now();
    int deleted = PerformActionOnFiles(FILE_DELETE, again, nullptr, kPatterns, 2, 0, 1, 1);
    double deleteSeconds = Now() - start;
    unsigned long deleteScans = SimDirectoryScans() - scans;
    unsigned long deleteLookups = SimCallCount(SIM_OP_GET_FILE_ATTRIBUTES) - lookups;

    int total = folders * perFolder;
    printf("log %-3s  COPY   %5d of %5d files, %3d folders: %8.1f ms  (%6.1f us/file)  %lu attribute lookups, %lu folder scans\n",
           logging ? "on" : "off", copied, total, folders, copySeconds * 1e3, copySeconds * 1e6 / (copied ? copied : 1),
           copyLookups, copyScans);
    printf("log %-3s  DELETE %5d of %5d files, %3d folders: %8.1f ms  (%6.1f us/file)  %lu attribute lookups, %lu folder scans%s\n",
           logging ? "on" : "off", deleted, total, folders, deleteSeconds * 1e3,
           deleteSeconds * 1e6 / (deleted ? deleted : 1), deleteLookups, deleteScans, IsExistingFolder("C:\\bench\\Src") ? "  source tree NOT removed" : "");
    if (copied != selected || deleted != total)
        printf("unexpected counts: copied %d (wanted %d), deleted %d (wanted %d)\n", copied, selected, deleted, total);
}

int main(int argc, char **argv)
{
    int folders = argc > 1 ? atoi(argv[1]) : 50;
    int perFolder = argc > 2 ? atoi(argv[2]) : 40;
    if (folders < 1 || folders > 99 || perFolder < 1 || perFolder > 9999) {
        fprintf(stderr, "usage: bench_engine [folders 1-99] [files per folder 1-9999]\n");
        return 2;
    }
    char root[] = "/tmp/lwbench-XXXXXX";
    if (!mkdtemp(root)) {
        perror("mkdtemp");
        return 1;
    }
    Run(root, folders, perFolder, 0);
    Run(root, folders, perFolder, 1);
    nftw(root, RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
    return 0;
}
