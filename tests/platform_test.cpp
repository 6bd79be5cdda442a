// The platform layer. The tables run on both hosts: under Wine the real
// Win32 functions answer them, so they hold what Windows does, and the
// simulated host has to give the same. Faults and the host's own files are
// checked on the simulated host only.
#include "support/held_open.h"
#include "support/host.h"

#ifndef _WIN32
#include "platform/sim_host.h"

#include <stdio.h>
#include <unistd.h>
#endif

#include <string.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace {

// A last error no call gives: a failure that sets none of its own shows.
const unsigned long kNoErrorYet = 0xdeadbeef;
// ERROR_FILENAME_EXCED_RANGE, which the library never looks at.
const unsigned long kFilenameExcedRange = 206;

// --- Shell path functions --------------------------------------------------------

struct MatchCase {
    const char *file;
    const char *pattern;
    bool match;
};

const MatchCase kMatchCases[] = {
    {"Books.lw", "*.lw", true},
    {"BOOKS.LW", "*.lw", true},
    {"books.lw", "*.LW", true},
    {"books.lwx", "*.lw", false},
    {"books.lw.old", "*.lw", false},
    {"books.lw.old", "*.old", true},
    {"readme", "*.*", true}, // "*.*" matches names without a dot too
    {"readme.txt", "*.*", true},
    {"xyz", "x*.*", false},  // ...but only as the whole pattern
    {"x.yz", "x*.*", true},
    {"abc", "a?c", true},
    {"ac", "a?c", false},
    {"abcd", "a?c", false},
    {"abc", "ab", false},
    {"ab", "abc", false},
    {"anything at all", "*", true},
    {"~books.tmp", "~*.tmp", true},
    {"books.tmp", "~*.tmp", false},
    {"Letter 12.doc", "Letter*.doc", true},
    {"a.b.c", "*.c", true},
    {"books.lw", "*.old;*.lw", true},
    {"books.old", "*.old;*.lw", true},
    {"books.bak", "*.old;*.lw", false},
    {"books.lw", "*.old; *.lw", true}, // blanks after ";" are skipped
};

TEST(PlatformPathTest, MatchSpecFollowsShlwapi)
{
    for (const MatchCase &c : kMatchCases)
        EXPECT_EQ(OsPathMatchSpec(c.file, c.pattern) != 0, c.match) << c.file << " against " << c.pattern;
}

struct AppendCase {
    const char *path;
    const char *more;
    const char *result;
};

const AppendCase kAppendCases[] = {
    {"C:\\Ledgerwick", "Data", "C:\\Ledgerwick\\Data"},
    {"C:\\Ledgerwick\\", "Data", "C:\\Ledgerwick\\Data"},
    {"C:\\Ledgerwick", "\\Data", "C:\\Ledgerwick\\Data"},
    {"C:\\", "Ledgerwick", "C:\\Ledgerwick"},
    {"C:\\Ledgerwick", "Data\\Books.lw", "C:\\Ledgerwick\\Data\\Books.lw"},
    {"C:\\Ledgerwick", "Data\\", "C:\\Ledgerwick\\Data\\"},
    {"C:\\Ledgerwick\\Data", "..\\Letters", "C:\\Ledgerwick\\Letters"},
    {"C:\\Ledgerwick", ".\\Data", "C:\\Ledgerwick\\Data"},
    {"\\\\server\\share", "Data", "\\\\server\\share\\Data"},
};

TEST(PlatformPathTest, AppendJoinsWithOneBackslash)
{
    for (const AppendCase &c : kAppendCases) {
        char path[OS_PATH_BUFFER];
        ASSERT_TRUE(TextCopy(path, sizeof path, c.path));
        EXPECT_NE(OsPathAppend(path, c.more), 0) << c.path << " + " << c.more;
        EXPECT_STREQ(path, c.result) << c.path << " + " << c.more;
    }
}

TEST(PlatformPathTest, AppendThatDoesNotFitLeavesThePathAlone)
{
    char path[OS_PATH_BUFFER];
    std::string start = "C:\\" + std::string(247, 'a'); // 250 characters
    ASSERT_TRUE(TextCopy(path, sizeof path, start.c_str()));
    std::string fits(8, 'b'); // 250 + 1 + 8 = 259, the most a path can hold
    EXPECT_NE(OsPathAppend(path, fits.c_str()), 0);
    EXPECT_EQ(std::string(path), start + "\\" + fits);

    ASSERT_TRUE(TextCopy(path, sizeof path, start.c_str()));
    std::string tooLong(9, 'b');
    EXPECT_EQ(OsPathAppend(path, tooLong.c_str()), 0);
    EXPECT_EQ(std::string(path), start);
}

// A ":\" with no drive letter before it, and ".." to back up over: Windows
// (Wine) gives these; the simulated host must too, reading nothing before
// its own buffer on the way.
TEST(PlatformPathTest, AppendUpFromABareColonRoot)
{
    const AppendCase cases[] = {
        {":\\", "..", ":"},
        {":\\", "..\\..\\x", ":\\x"},
        {":", "..", ":"},
        {"C:\\", "..", "C:\\"},
    };
    for (const AppendCase &c : cases) {
        char path[OS_PATH_BUFFER];
        ASSERT_TRUE(TextCopy(path, sizeof path, c.path));
        EXPECT_NE(OsPathAppend(path, c.more), 0) << c.path << " + " << c.more;
        EXPECT_STREQ(path, c.result) << c.path << " + " << c.more;
    }
}

struct RootCase {
    const char *path;
    const char *root;
    bool kept;
};

const RootCase kRootCases[] = {
    {"C:\\Ledgerwick\\Data\\Books.lw", "C:\\", true},
    {"C:\\", "C:\\", true},
    {"d:\\x.txt", "d:\\", true},
    {"\\\\server\\share\\Data\\Books.lw", "\\\\server\\share", true},
    {"Data\\Books.lw", "", false},
};

TEST(PlatformPathTest, StripToRootKeepsDriveOrShare)
{
    for (const RootCase &c : kRootCases) {
        char path[OS_PATH_BUFFER];
        ASSERT_TRUE(TextCopy(path, sizeof path, c.path));
        EXPECT_EQ(OsPathStripToRoot(path) != 0, c.kept) << c.path;
        EXPECT_STREQ(path, c.root) << c.path;
    }
}

struct BackslashCase {
    const char *path;
    const char *result;
    size_t returnedOffset; // where the returned pointer points into the path
};

// PathRemoveBackslashA points at the new terminator when it removed one, and
// at the last character when it did not.
const BackslashCase kRemoveCases[] = {
    {"C:\\Ledgerwick\\", "C:\\Ledgerwick", 13},
    {"C:\\Ledgerwick", "C:\\Ledgerwick", 12},
    {"C:\\", "C:\\", 2},
    {"C:\\a\\\\", "C:\\a\\", 5},
    {"", "", 0},
};

TEST(PlatformPathTest, RemoveBackslashSparesTheRoot)
{
    for (const BackslashCase &c : kRemoveCases) {
        char path[OS_PATH_BUFFER];
        ASSERT_TRUE(TextCopy(path, sizeof path, c.path));
        char *end = OsPathRemoveBackslash(path);
        EXPECT_STREQ(path, c.result) << c.path;
        EXPECT_EQ(end, path + c.returnedOffset) << c.path;
    }
}

const BackslashCase kAddCases[] = {
    {"C:\\Ledgerwick", "C:\\Ledgerwick\\", 14},
    {"C:\\Ledgerwick\\", "C:\\Ledgerwick\\", 14},
    {"C:", "C:\\", 3},
    {"", "", 0},
};

TEST(PlatformPathTest, AddBackslashOnlyWhenMissing)
{
    for (const BackslashCase &c : kAddCases) {
        char path[OS_PATH_BUFFER];
        ASSERT_TRUE(TextCopy(path, sizeof path, c.path));
        char *end = OsPathAddBackslash(path);
        EXPECT_STREQ(path, c.result) << c.path;
        EXPECT_EQ(end, path + c.returnedOffset) << c.path;
    }
}

TEST(PlatformPathTest, AddBackslashNeverWritesPastTheBuffer)
{
    char path[OS_PATH_BUFFER];
    std::string full(OS_MAX_PATH - 1, 'a');
    ASSERT_TRUE(TextCopy(path, sizeof path, full.c_str()));
    EXPECT_EQ(OsPathAddBackslash(path), nullptr);
    EXPECT_EQ(std::string(path), full);

    std::string roomForOne(OS_MAX_PATH - 2, 'a');
    ASSERT_TRUE(TextCopy(path, sizeof path, roomForOne.c_str()));
    EXPECT_EQ(OsPathAddBackslash(path), path + OS_MAX_PATH - 1);
    EXPECT_EQ(std::string(path), roomForOne + "\\");
}

// --- Files and folders ---------------------------------------------------------------

class PlatformTest : public HostTest {};

TEST_F(PlatformTest, DriveTypesOfTheTestDrives)
{
    struct {
        const char *root;
        unsigned type;
    } const cases[] = {
        {"C:\\", OS_DRIVE_FIXED},     {"c:\\", OS_DRIVE_FIXED},         {"D:\\", OS_DRIVE_FIXED},
        {"N:\\", OS_DRIVE_REMOTE},    {"R:\\", OS_DRIVE_REMOVABLE},     {"X:\\", OS_DRIVE_CDROM},
        {"Q:\\", OS_DRIVE_NO_ROOT_DIR},
    };
    for (const auto &c : cases)
        EXPECT_EQ(OsGetDriveType(c.root), c.type) << c.root;
}

TEST_F(PlatformTest, NamesAreFoundWithoutRegardToCase)
{
    HostWriteFile("C:\\lwtest\\Ledgerwick\\Accounts.LW", "books");
    EXPECT_TRUE(HostFileExists("c:\\LWTEST\\ledgerwick\\ACCOUNTS.lw"));
    EXPECT_TRUE(HostFolderExists("C:\\LWTEST\\LEDGERWICK"));
    EXPECT_EQ(HostReadFile("C:\\lwtest\\LEDGERWICK\\accounts.lw"), "books");

    // Writing through another spelling replaces the one file, keeping its name.
    HostWriteFile("c:\\lwtest\\ledgerwick\\ACCOUNTS.lw", "ledgers");
    EXPECT_EQ(HostList("C:\\lwtest\\Ledgerwick"), std::vector<std::string>{"Accounts.LW"});
    EXPECT_EQ(HostReadFile("C:\\lwtest\\Ledgerwick\\Accounts.LW"), "ledgers");

    // A move to the same name in other letters is no clash.
    EXPECT_NE(OsMoveFile("C:\\lwtest\\Ledgerwick\\Accounts.LW", "C:\\lwtest\\Ledgerwick\\ACCOUNTS.LW"), 0)
        << OsGetLastError();
    EXPECT_EQ(HostReadFile("C:\\lwtest\\ledgerwick\\accounts.lw"), "ledgers");
    if (HostIsSimulated()) { // Windows takes the new spelling; Wine keeps the old one
        EXPECT_EQ(HostList("C:\\lwtest\\Ledgerwick"), std::vector<std::string>{"ACCOUNTS.LW"});
    }
}

// Look-ups in other letters keep up with every change to a folder, however
// quickly they follow one another.
TEST_F(PlatformTest, NamesInOtherLettersFollowEveryChange)
{
    const std::string folder = "C:\\lwtest\\Many\\";
    for (int i = 0; i < 40; i++)
        HostWriteFile(folder + "File" + std::to_string(i) + ".LW", "x");
    for (int i = 0; i < 40; i += 2)
        ASSERT_NE(OsDeleteFile((folder + "file" + std::to_string(i) + ".lw").c_str()), 0) << i;
    for (int i = 1; i < 40; i += 4)
        ASSERT_NE(OsMoveFile((folder + "FILE" + std::to_string(i) + ".LW").c_str(),
                             (folder + "Moved" + std::to_string(i) + ".LW").c_str()),
                  0)
            << i;
    ASSERT_EQ(OsRename((folder + "file3.lw").c_str(), (folder + "FILE3.OLD").c_str()), 0);
    HostWriteFile(folder + "NEW.lw", "y");
    for (int i = 0; i < 40; i++) {
        bool moved = i % 4 == 1;
        bool kept = i % 2 == 1 && !moved && i != 3;
        EXPECT_EQ(HostFileExists(folder + "fILE" + std::to_string(i) + ".lW"), kept) << i;
        EXPECT_EQ(HostFileExists(folder + "MOVED" + std::to_string(i) + ".lw"), moved) << i;
    }
    EXPECT_TRUE(HostFileExists(folder + "file3.old"));
    EXPECT_TRUE(HostFileExists(folder + "new.LW"));
    EXPECT_EQ(OsCopyFile((folder + "NEW.LW").c_str(), (folder + "file7.lw").c_str(), 1), 0); // no second File7.LW
}

TEST_F(PlatformTest, ReadOnlyFileIsNotDeletedUntilCleared)
{
    const char *file = "C:\\lwtest\\ReadOnly.lw";
    const char *moved = "C:\\lwtest\\Moved.lw";
    HostWriteFile(file, "kept");
    ASSERT_NE(OsSetFileAttributes(file, OS_FILE_ATTRIBUTE_READONLY), 0);
    EXPECT_NE(OsGetFileAttributes(file) & OS_FILE_ATTRIBUTE_READONLY, 0u);

    OsSetLastError(kNoErrorYet);
    EXPECT_EQ(OsDeleteFile(file), 0);
    EXPECT_EQ(OsGetLastError(), (unsigned long)OS_ERROR_ACCESS_DENIED);
    EXPECT_TRUE(HostFileExists(file));

    // Moving is allowed, and the file stays read-only.
    ASSERT_NE(OsMoveFile(file, moved), 0) << OsGetLastError();
    EXPECT_FALSE(HostFileExists(file));
    EXPECT_NE(OsGetFileAttributes(moved) & OS_FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_EQ(OsDeleteFile(moved), 0);

    ASSERT_NE(OsSetFileAttributes(moved, OS_FILE_ATTRIBUTE_NORMAL), 0);
    EXPECT_EQ(OsGetFileAttributes(moved) & OS_FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_NE(OsDeleteFile(moved), 0) << OsGetLastError();
    EXPECT_FALSE(HostFileExists(moved));
}

// A file another program holds open and a file the user made read-only fail
// with different errors, and the library waits only for the first: a
// sharing violation passes when the program lets go, access denied from the
// read-only bit never does.
TEST_F(PlatformTest, HeldAndReadOnlyFilesGiveTheirOwnErrors)
{
    const std::string held = "C:\\lwtest\\held.lw", other = "C:\\lwtest\\other.lw",
                      readOnly = "C:\\lwtest\\readonly.lw", moved = "C:\\lwtest\\moved.lw";
    struct Case {
        const char *what;
        bool holdIt; // held open without sharing, else read-only
        std::function<int()> call; // non-zero on success
        unsigned long error;       // 0: the call succeeds
    } const cases[] = {
        {"copy from a held file", true, [&] { return OsCopyFile(held.c_str(), moved.c_str(), 0); },
         OS_ERROR_SHARING_VIOLATION},
        {"copy onto a held file", true, [&] { return OsCopyFile(other.c_str(), held.c_str(), 0); },
         OS_ERROR_SHARING_VIOLATION},
        {"move a held file", true, [&] { return OsMoveFile(held.c_str(), moved.c_str()); },
         OS_ERROR_SHARING_VIOLATION},
        {"rename a held file", true, [&] { return OsRename(held.c_str(), moved.c_str()) == 0; },
         OS_ERROR_SHARING_VIOLATION},
        {"delete a held file", true, [&] { return OsDeleteFile(held.c_str()); }, OS_ERROR_SHARING_VIOLATION},
        // Windows documents access denied for CopyFile onto a read-only or
        // hidden file, and the simulated host gives it; Wine (8) replaces the
        // bytes instead, so under Wine this row only shows the file unharmed.
        {"copy onto a read-only file", false, [&] { return OsCopyFile(other.c_str(), readOnly.c_str(), 0); },
         HostIsSimulated() ? (unsigned long)OS_ERROR_ACCESS_DENIED : 0ul},
        {"delete a read-only file", false, [&] { return OsDeleteFile(readOnly.c_str()); }, OS_ERROR_ACCESS_DENIED},
        {"move a read-only file", false, [&] { return OsMoveFile(readOnly.c_str(), moved.c_str()); }, 0},
        {"rename a read-only file", false, [&] { return OsRename(readOnly.c_str(), moved.c_str()) == 0; }, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        for (const std::string &path : {held, moved, readOnly})
            if (HostFileExists(path)) {
                OsSetFileAttributes(path.c_str(), OS_FILE_ATTRIBUTE_NORMAL);
                OsDeleteFile(path.c_str());
            }
        HostWriteFile(held, "held");
        HostWriteFile(other, "other");
        HostWriteFile(readOnly, "read-only");
        ASSERT_NE(OsSetFileAttributes(readOnly.c_str(), OS_FILE_ATTRIBUTE_READONLY), 0);
        int done;
        unsigned long error;
        {
            HeldOpen *hold = c.holdIt ? new HeldOpen(held) : nullptr;
            OsSetLastError(kNoErrorYet);
            done = c.call();
            error = OsGetLastError();
            delete hold;
        }
        if (c.error == 0) {
            EXPECT_NE(done, 0) << error;
            if (HostFileExists(moved)) {
                EXPECT_EQ(HostReadFile(moved), "read-only");
            } else {
                EXPECT_EQ(HostReadFile(readOnly), "other"); // Wine's copy onto a read-only file
            }
            continue;
        }
        EXPECT_EQ(done, 0);
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(HostReadFile(held), "held");
        EXPECT_EQ(HostReadFile(readOnly), "read-only");
        EXPECT_FALSE(HostFileExists(moved));
    }
}

TEST_F(PlatformTest, FailuresGiveTheWin32ErrorCodes)
{
    HostWriteFile("C:\\lwtest\\exists.txt", "exists");
    HostWriteFile("C:\\lwtest\\other.txt", "other");
    HostWriteFile("C:\\lwtest\\full\\inside.txt", "inside");
    HostMakeFolder("C:\\lwtest\\empty");

    struct {
        const char *what;
        std::function<bool()> call; // true when the call reported failure
        unsigned long error;
    } const cases[] = {
        {"delete a missing file", [] { return !OsDeleteFile("C:\\lwtest\\missing.txt"); }, OS_ERROR_FILE_NOT_FOUND},
        {"delete in a missing folder", [] { return !OsDeleteFile("C:\\lwtest\\nowhere\\missing.txt"); }, OS_ERROR_PATH_NOT_FOUND},
        {"delete a folder", [] { return !OsDeleteFile("C:\\lwtest\\empty"); }, OS_ERROR_ACCESS_DENIED},
        {"move onto an existing file",
         [] { return !OsMoveFile("C:\\lwtest\\exists.txt", "C:\\lwtest\\other.txt"); }, OS_ERROR_ALREADY_EXISTS},
        {"move a missing file", [] { return !OsMoveFile("C:\\lwtest\\missing.txt", "C:\\lwtest\\new.txt"); }, OS_ERROR_FILE_NOT_FOUND},
        {"copy onto an existing file, failing if it exists",
         [] { return !OsCopyFile("C:\\lwtest\\exists.txt", "C:\\lwtest\\other.txt", 1); }, OS_ERROR_FILE_EXISTS},
        {"copy a missing file", [] { return !OsCopyFile("C:\\lwtest\\missing.txt", "C:\\lwtest\\new.txt", 0); }, OS_ERROR_FILE_NOT_FOUND},
        {"copy into a missing folder",
         [] { return !OsCopyFile("C:\\lwtest\\exists.txt", "C:\\lwtest\\nowhere\\new.txt", 0); }, OS_ERROR_PATH_NOT_FOUND},
        {"create an existing folder", [] { return !OsCreateDirectory("C:\\lwtest\\empty"); }, OS_ERROR_ALREADY_EXISTS},
        {"create below a missing folder", [] { return !OsCreateDirectory("C:\\lwtest\\nowhere\\new"); }, OS_ERROR_PATH_NOT_FOUND},
        {"remove a folder that holds a file", [] { return !OsRemoveDirectory("C:\\lwtest\\full"); }, OS_ERROR_DIR_NOT_EMPTY},
        {"remove a missing folder", [] { return !OsRemoveDirectory("C:\\lwtest\\missing"); }, OS_ERROR_FILE_NOT_FOUND},
        {"attributes of a missing file",
         [] { return OsGetFileAttributes("C:\\lwtest\\missing.txt") == OS_INVALID_FILE_ATTRIBUTES; }, OS_ERROR_FILE_NOT_FOUND},
        {"attributes in a missing folder",
         [] { return OsGetFileAttributes("C:\\lwtest\\nowhere\\x.txt") == OS_INVALID_FILE_ATTRIBUTES; }, OS_ERROR_PATH_NOT_FOUND},
        {"a path longer than MAX_PATH",
         [] {
             std::string path = "C:\\lwtest\\" + std::string(300, 'a');
             return OsGetFileAttributes(path.c_str()) == OS_INVALID_FILE_ATTRIBUTES;
         },
         kFilenameExcedRange},
    };
    for (const auto &c : cases) {
        OsSetLastError(kNoErrorYet);
        EXPECT_TRUE(c.call()) << c.what;
        EXPECT_EQ(OsGetLastError(), c.error) << c.what;
    }
    // Nothing was changed by the refused calls.
    EXPECT_EQ(HostReadFile("C:\\lwtest\\exists.txt"), "exists");
    EXPECT_EQ(HostReadFile("C:\\lwtest\\other.txt"), "other");
    EXPECT_EQ(HostTree("C:\\lwtest"),
              (std::vector<std::string>{"exists.txt", "full\\inside.txt", "other.txt"}));
}

TEST_F(PlatformTest, CopyReplacesUnlessToldNot)
{
    HostWriteFile("C:\\lwtest\\source.txt", "new");
    HostWriteFile("C:\\lwtest\\target.txt", "old");
    EXPECT_NE(OsCopyFile("C:\\lwtest\\source.txt", "C:\\lwtest\\target.txt", 0), 0) << OsGetLastError();
    EXPECT_EQ(HostReadFile("C:\\lwtest\\target.txt"), "new");
    EXPECT_EQ(HostReadFile("C:\\lwtest\\source.txt"), "new");
}

TEST_F(PlatformTest, FileMovesToAnotherDrive)
{
    HostWriteFile("C:\\lwtest\\travel.lw", "contents");
    HostMakeFolder("D:\\lwtest");
    ASSERT_NE(OsMoveFile("C:\\lwtest\\travel.lw", "D:\\lwtest\\travel.lw"), 0) << OsGetLastError();
    EXPECT_FALSE(HostFileExists("C:\\lwtest\\travel.lw"));
    EXPECT_EQ(HostReadFile("D:\\lwtest\\travel.lw"), "contents");
    EXPECT_NE(OsDeleteFile("D:\\lwtest\\travel.lw"), 0);
    EXPECT_NE(OsRemoveDirectory("D:\\lwtest"), 0);
}

TEST_F(PlatformTest, RenameMovesFilesAndFolders)
{
    HostWriteFile("C:\\lwtest\\Old\\a.txt", "a");
    HostWriteFile("C:\\lwtest\\taken.txt", "t");
    EXPECT_EQ(OsRename("C:\\lwtest\\Old", "C:\\lwtest\\Old OLD"), 0);
    EXPECT_EQ(HostReadFile("C:\\lwtest\\Old OLD\\a.txt"), "a");
    EXPECT_EQ(OsRename("C:\\lwtest\\Old OLD\\a.txt", "C:\\lwtest\\taken.txt"), -1);
    EXPECT_EQ(HostReadFile("C:\\lwtest\\taken.txt"), "t");
}

TEST_F(PlatformTest, MakeSureDirectoryPathCreatesUpToTheLastBackslash)
{
    EXPECT_EQ(OsMakeSureDirectoryPathExists("C:\\lwtest\\a\\b\\c\\"), 1);
    EXPECT_TRUE(HostFolderExists("C:\\lwtest\\a\\b\\c"));
    EXPECT_EQ(OsMakeSureDirectoryPathExists("C:\\lwtest\\x\\y\\file.txt"), 1);
    EXPECT_TRUE(HostFolderExists("C:\\lwtest\\x\\y"));
    EXPECT_EQ(OsGetFileAttributes("C:\\lwtest\\x\\y\\file.txt"), OS_INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(OsMakeSureDirectoryPathExists("C:\\lwtest\\a\\b\\c\\"), 1); // all there already
    // What is there is passed over, folder or not, as imagehlp does: below a
    // file the folder can't be made, and the call says why.
    HostWriteFile("C:\\lwtest\\file.txt", "x");
    EXPECT_EQ(OsMakeSureDirectoryPathExists("C:\\lwtest\\file.txt\\"), 1);
    OsSetLastError(0xDEAD);
    EXPECT_EQ(OsMakeSureDirectoryPathExists("C:\\lwtest\\file.txt\\x\\"), 0);
    EXPECT_EQ(OsGetLastError(), (unsigned long)OS_ERROR_PATH_NOT_FOUND);
}

// The folders are found at backslashes alone: a forward slash is split by
// CreateDirectory only, inside one step. Each row is what Wine gives.
TEST_F(PlatformTest, MakeSureDirectoryPathSplitsAtBackslashesOnly)
{
    struct Case {
        const char *path;
        int result;
        unsigned long error; // 0: not asked (a success leaves what its look-ups set)
        const char *made;    // a folder there afterwards, or null
    } cases[] = {
        {"C:/lwtest/Fwd\\", 1, 0, "C:\\lwtest\\Fwd"},
        {"C:/lwtest/Missing/Fwd\\", 0, OS_ERROR_PATH_NOT_FOUND, nullptr},
        {"C:\\lwtest\\Missing/Fwd\\", 0, OS_ERROR_PATH_NOT_FOUND, nullptr},
        // Wine gives ERROR_FILE_NOT_FOUND for a drive letter it lacks, the
        // simulated host ERROR_PATH_NOT_FOUND as Windows does; not asked.
        {"Q:\\Nowhere\\", 0, 0, nullptr},
        {"Q:/Nowhere/", 1, 0, nullptr}, // no backslash: nothing to make
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path);
        HostReset();
        HostMakeFolder("C:\\lwtest");
        OsSetLastError(1234);
        EXPECT_EQ(OsMakeSureDirectoryPathExists(c.path), c.result);
        if (c.error) {
            EXPECT_EQ(OsGetLastError(), c.error);
        }
        if (c.made) {
            EXPECT_TRUE(HostFolderExists(c.made));
        }
        EXPECT_EQ(HostList("C:\\lwtest"), c.made ? std::vector<std::string>{"Fwd\\"} : std::vector<std::string>{});
    }
}

TEST_F(PlatformTest, FindListsDotsFilesAndFolders)
{
    HostWriteFile("C:\\lwtest\\find\\Books.lw", "b");
    HostMakeFolder("C:\\lwtest\\find\\Letters");
    std::vector<std::string> names;
    OsFindData entry;
    OsFindHandle handle = OsFindFirst("C:\\lwtest\\find\\*.*", &entry);
    ASSERT_NE(handle, OS_INVALID_FIND_HANDLE);
    do {
        bool folder = (entry.attributes & OS_FILE_ATTRIBUTE_DIRECTORY) != 0;
        names.push_back(std::string(entry.name) + (folder ? "\\" : ""));
    } while (OsFindNext(handle, &entry) == 0);
    EXPECT_EQ(OsFindClose(handle), 0);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"..\\", ".\\", "Books.lw", "Letters\\"}));

    EXPECT_EQ(OsFindFirst("C:\\lwtest\\missing\\*.*", &entry), OS_INVALID_FIND_HANDLE);
    EXPECT_EQ(OsFindFirst("C:\\lwtest\\find\\*.zzz", &entry), OS_INVALID_FIND_HANDLE);
}

TEST_F(PlatformTest, TextModeWritesAndReadsCrLf)
{
    const char *path = "C:\\lwtest\\text.txt";
    HostMakeFolder("C:\\lwtest");
    OsFile *file = OsFopen(path, "w+t");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(OsFwrite("first\nsecond\n", 1, 13, file), 13u);
    EXPECT_EQ(OsFclose(file), 0);
    EXPECT_EQ(HostReadFile(path), "first\r\nsecond\r\n");

    file = OsFopen(path, "a+");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(OsFwrite("third\n", 1, 6, file), 6u);
    EXPECT_EQ(OsFclose(file), 0);
    EXPECT_EQ(HostReadFile(path), "first\r\nsecond\r\nthird\r\n");

    file = OsFopen(path, "r");
    ASSERT_NE(file, nullptr);
    char line[64];
    std::vector<std::string> lines;
    while (OsFgets(line, sizeof line, file))
        lines.push_back(line);
    EXPECT_EQ(OsFclose(file), 0);
    EXPECT_EQ(lines, (std::vector<std::string>{"first\n", "second\n", "third\n"}));

    // fgets stops at count - 1 characters.
    file = OsFopen(path, "r");
    ASSERT_NE(file, nullptr);
    char small[4];
    ASSERT_NE(OsFgets(small, sizeof small, file), nullptr);
    EXPECT_STREQ(small, "fir");
    EXPECT_EQ(OsFclose(file), 0);

    // Reading: CR LF becomes LF, a lone CR stays; binary mode keeps both.
    HostWriteFile("C:\\lwtest\\raw.txt", "a\r\nb\rc\r\n");
    char data[64];
    file = OsFopen("C:\\lwtest\\raw.txt", "r");
    ASSERT_NE(file, nullptr);
    size_t n = OsFread(data, 1, sizeof data, file);
    EXPECT_EQ(std::string(data, n), "a\nb\rc\n");
    EXPECT_EQ(OsFclose(file), 0);
    file = OsFopen("C:\\lwtest\\raw.txt", "rb");
    ASSERT_NE(file, nullptr);
    n = OsFread(data, 1, sizeof data, file);
    EXPECT_EQ(std::string(data, n), "a\r\nb\rc\r\n");
    EXPECT_EQ(OsFclose(file), 0);

    EXPECT_EQ(OsFopen("C:\\lwtest\\missing.txt", "r"), nullptr);
}

// --- INI files -------------------------------------------------------------------------

const char kIniText[] =
    "; settings of version 4\r\n"
    "[Settings]\r\n"
    "Name = Ledger Book  \r\n"
    "Quoted=\"  spaced value  \"\r\n"
    "Single='single'\r\n"
    "Empty=\r\n"
    "NoEquals\r\n"
    "Path=C:\\Ledgerwick\\Data\r\n"
    "Inline=value ; not a comment\r\n"
    "\r\n"
    "[Other]\r\n"
    "Name=other\r\n";

struct IniCase {
    const char *section;
    const char *key;
    const char *def;
    unsigned long size;
    const char *value;
};

const IniCase kIniCases[] = {
    {"Settings", "Name", "d", 255, "Ledger Book"},
    {"SETTINGS", "name", "d", 255, "Ledger Book"},
    {"Settings", " Name ", "d", 255, "Ledger Book"},
    {"Settings", "Quoted", "d", 255, "  spaced value  "},
    {"Settings", "Single", "d", 255, "single"},
    {"Settings", "Empty", "d", 255, ""},
    {"Settings", "NoEquals", "dflt", 255, "dflt"},
    {"Settings", "Missing", "dflt", 255, "dflt"},
    {"Settings", "Missing", "dflt   ", 255, "dflt"}, // trailing blanks of the default go
    {"Settings", "Path", "d", 255, "C:\\Ledgerwick\\Data"},
    {"Settings", "Inline", "d", 255, "value ; not a comment"},
    {"Other", "Name", "d", 255, "other"},
    {"Missing", "Name", "dflt", 255, "dflt"},
    {"Settings", "Name", "d", 5, "Ledg"},
    {"Settings", "Name", "d", 1, ""},
};

TEST_F(PlatformTest, PrivateProfileStringFollowsKernel32)
{
    const char *file = "C:\\lwtest\\profile.ini";
    HostWriteFile(file, kIniText);
    for (const IniCase &c : kIniCases) {
        char buffer[256];
        memset(buffer, '#', sizeof buffer);
        unsigned long n = OsGetPrivateProfileString(c.section, c.key, c.def, buffer, c.size, file);
        EXPECT_STREQ(buffer, c.value) << c.section << "/" << c.key << " size " << c.size;
        EXPECT_EQ(n, strlen(c.value)) << c.section << "/" << c.key << " size " << c.size;
        EXPECT_EQ(buffer[c.size], '#') << "written past the size";
    }
    char buffer[64];
    EXPECT_EQ(OsGetPrivateProfileString("Settings", "Name", "none", buffer, sizeof buffer,
                                        "C:\\lwtest\\missing.ini"), 4u);
    EXPECT_STREQ(buffer, "none");
}

TEST_F(PlatformTest, BareProfileNameIsLookedUpInTheWindowsFolder)
{
    char windows[OS_PATH_BUFFER];
    ASSERT_GT(OsGetWindowsDirectory(windows, sizeof windows), 0u);
    std::string path = std::string(windows) + "\\ledgerwick.ini";
    HostWriteFile(path, "[Settings]\r\nName=from the Windows folder\r\n");
    char buffer[64];
    EXPECT_EQ(OsGetPrivateProfileString("Settings", "Name", "", buffer, sizeof buffer, "ledgerwick.ini"), 23u);
    EXPECT_STREQ(buffer, "from the Windows folder");
    EXPECT_NE(OsDeleteFile(path.c_str()), 0);
}

// The full form trims the trailing dots and spaces of the name that is last
// once ".." has been applied, not of the name written last; a name of only
// dots goes and leaves its backslash. The full form of a full form is itself.
TEST_F(PlatformTest, FullPathTrimsTheNameLastAfterDotDot)
{
    const struct {
        const char *path, *full;
    } cases[] = {
        {"\\\\verrver\\ve\\....\\ve\\..", "\\\\verrver\\ve\\"},
        {"C:\\a\\....\\b\\..", "C:\\a\\"},
        {"C:\\a\\x. \\b\\..", "C:\\a\\x"},
        {"C:\\a\\x. \\b\\..\\", "C:\\a\\x. \\"},
        {"C:\\a\\....", "C:\\a\\"},
        {"C:\\Ledgerwick/./Data/../Books.lw. ", "C:\\Ledgerwick\\Books.lw"},
        {"C:\\Ledgerwick\\Data.\\", "C:\\Ledgerwick\\Data\\"},
    };
    for (const auto &c : cases) {
        char full[OS_PATH_BUFFER], again[OS_PATH_BUFFER];
        ASSERT_EQ(OsGetFullPathName(c.path, full), 1) << c.path;
        EXPECT_STREQ(full, c.full) << c.path;
        ASSERT_EQ(OsGetFullPathName(full, again), 1) << full;
        EXPECT_STREQ(again, full) << c.path;
    }
}

// Code page 1252 as Windows has it: every byte is a character and comes back
// as that byte, the five it assigns nothing (81, 8D, 8F, 90, 9D) included.
TEST_F(PlatformTest, EveryAnsiByteSurvivesARoundTrip)
{
    for (unsigned byte = 1; byte < 256; byte++) {
        const char ansi[2] = {static_cast<char>(byte), '\0'};
        char utf8[8];
        char back[8] = "#";
        int lossy = -1;
        ASSERT_EQ(OsAnsiToUtf8(ansi, utf8, sizeof utf8), 1) << byte;
        EXPECT_EQ(OsUtf8ToAnsi(utf8, back, sizeof back, &lossy), 1) << byte;
        EXPECT_EQ(static_cast<unsigned char>(back[0]), byte) << testing::PrintToString(std::string(utf8));
        EXPECT_EQ(back[1], '\0') << byte;
        EXPECT_EQ(lossy, 0) << byte;
    }
    const struct {
        const char *ansi, *utf8;
    } unassigned[] = {{"\x81", "\u0081"}, {"\x8D", "\u008D"}, {"\x8F", "\u008F"}, {"\x90", "\u0090"}, {"\x9D", "\u009D"}};
    for (const auto &c : unassigned) {
        char utf8[8];
        ASSERT_EQ(OsAnsiToUtf8(c.ansi, utf8, sizeof utf8), 1);
        EXPECT_STREQ(utf8, c.utf8);
    }
}

// An ANSI INI file is read as ANSI however long it is: past the first few
// thousand bytes too, its accented letters are characters of the code page.
TEST_F(PlatformTest, LongAnsiProfileIsReadInTheCodePage)
{
    const char *file = "C:\\lwtest\\long.ini";
    std::string text = "[Notes]\r\n";
    for (int i = 0; text.size() < 6000; i++)
        text += "Note" + std::to_string(i) + "=" + std::string(60, 'n') + "\r\n";
    text += "[Microsoft Access]\r\nUser=Jos\xE9\r\n";
    HostWriteFile(file, text);
    char buffer[64];
    EXPECT_EQ(OsGetPrivateProfileString("Microsoft Access", "User", "", buffer, sizeof buffer, file), 5u);
    EXPECT_STREQ(buffer, "Jos\u00e9");
}

TEST_F(PlatformTest, WindowsDirectoryReportsTheSizeItNeeds)
{
    char windows[OS_PATH_BUFFER];
    unsigned length = OsGetWindowsDirectory(windows, sizeof windows);
    ASSERT_GT(length, 3u);
    EXPECT_EQ(strlen(windows), length);
    EXPECT_TRUE(HostFolderExists(windows));
    char small[3];
    EXPECT_EQ(OsGetWindowsDirectory(small, sizeof small), length + 1);
}

TEST_F(PlatformTest, ShellFoldersExist)
{
    const int ids[] = {OS_CSIDL_APPDATA, OS_CSIDL_PERSONAL, OS_CSIDL_STARTMENU, OS_CSIDL_DESKTOPDIRECTORY,
                       OS_CSIDL_COMMON_STARTMENU, OS_CSIDL_COMMON_DESKTOPDIRECTORY};
    for (int id : ids) {
        char path[OS_PATH_BUFFER];
        EXPECT_NE(OsSHGetSpecialFolderPath(id, path, 0), 0) << id;
        EXPECT_TRUE(HostFolderExists(path)) << id << " " << path;
    }
    // The folders the library reaches through item lists.
    const int located[] = {OS_CSIDL_COMMON_STARTMENU, OS_CSIDL_STARTMENU, OS_CSIDL_COMMON_DESKTOPDIRECTORY,
                           OS_CSIDL_DESKTOPDIRECTORY};
    for (int id : located) {
        char path[OS_PATH_BUFFER], fromLocation[OS_PATH_BUFFER];
        ASSERT_NE(OsSHGetSpecialFolderPath(id, path, 0), 0) << id;
        EXPECT_NE(OsSHGetFolderPathFromLocation(id, fromLocation), 0) << id;
        EXPECT_STREQ(fromLocation, path) << id;
    }
}

// --- Registry ------------------------------------------------------------------------------

TEST_F(PlatformTest, RegistryKeepsTextAndBytesExactly)
{
    const std::string text = "Ledger \"quoted\" C:\\Books\\";
    HostRegSetText(OS_HKEY_CURRENT_USER, "lwtest Text", text.c_str());
    const std::string lines = "line one\r\nline two";
    HostRegSetText(OS_HKEY_CURRENT_USER, "lwtest Lines", lines.c_str());
    std::string blob;
    for (int i = 0; i < 300; i++)
        blob += static_cast<char>(i * 7);
    HostRegSet(OS_HKEY_CURRENT_USER, "lwtest Blob", OS_REG_BINARY, blob.data(), (unsigned long)blob.size());
    const unsigned char number[4] = {42, 0, 0, 1};
    HostRegSet(OS_HKEY_LOCAL_MACHINE, "lwtest Number", OS_REG_DWORD, number, sizeof number);

    std::string bytes;
    unsigned long type = 0;
    ASSERT_TRUE(HostRegGet(OS_HKEY_CURRENT_USER, "LWTEST TEXT", &bytes, &type)); // names ignore case
    EXPECT_EQ(type, (unsigned long)OS_REG_SZ);
    EXPECT_EQ(bytes, text + '\0');
    ASSERT_TRUE(HostRegGet(OS_HKEY_CURRENT_USER, "lwtest Lines", &bytes, &type));
    EXPECT_EQ(bytes, lines + '\0');
    ASSERT_TRUE(HostRegGet(OS_HKEY_CURRENT_USER, "lwtest Blob", &bytes, &type));
    EXPECT_EQ(type, (unsigned long)OS_REG_BINARY);
    EXPECT_EQ(bytes, blob);
    ASSERT_TRUE(HostRegGet(OS_HKEY_LOCAL_MACHINE, "lwtest Number", &bytes, &type));
    EXPECT_EQ(type, (unsigned long)OS_REG_DWORD);
    EXPECT_EQ(bytes, std::string(reinterpret_cast<const char *>(number), 4));
    EXPECT_FALSE(HostRegGet(OS_HKEY_LOCAL_MACHINE, "lwtest Text", &bytes));
}

TEST_F(PlatformTest, RegistryQueryReportsSizeAndMissingValues)
{
    HostRegSetText(OS_HKEY_CURRENT_USER, "lwtest Text", "twelve chars");
    OsKey key;
    ASSERT_EQ(OsRegOpenKey(OS_HKEY_CURRENT_USER, kSettingsKey, &key), 0);
    unsigned char small[4];
    unsigned long size = sizeof small, type = 0;
    EXPECT_EQ(OsRegQueryValueEx(key, "lwtest Text", &type, small, &size), OS_ERROR_MORE_DATA);
    EXPECT_EQ(size, 13ul);
    size = 0;
    EXPECT_EQ(OsRegQueryValueEx(key, "lwtest Text", &type, nullptr, &size), 0);
    EXPECT_EQ(size, 13ul);
    size = sizeof small;
    EXPECT_EQ(OsRegQueryValueEx(key, "lwtest Missing", &type, small, &size), OS_ERROR_FILE_NOT_FOUND);

    EXPECT_EQ(OsRegDeleteValue(key, "lwtest Text"), 0);
    size = sizeof small;
    EXPECT_EQ(OsRegQueryValueEx(key, "lwtest Text", &type, small, &size), OS_ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(OsRegDeleteValue(key, "lwtest Text"), OS_ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(OsRegCloseKey(key), 0);

    EXPECT_EQ(OsRegOpenKey(OS_HKEY_CURRENT_USER, "SOFTWARE\\Velmora Software Ltd\\No Such Key", &key),
              OS_ERROR_FILE_NOT_FOUND);
}

// --- Windows and the clock ----------------------------------------------------------------

TEST_F(PlatformTest, WindowTextIsCutToTheBuffer)
{
    OsWindow window = HostCreateWindow("Ledgerwick Complete - Books");
    ASSERT_NE(window, 0u);
    char title[64];
    EXPECT_EQ(OsGetWindowText(window, title, sizeof title), 27);
    EXPECT_STREQ(title, "Ledgerwick Complete - Books");
    char small[5];
    EXPECT_EQ(OsGetWindowText(window, small, sizeof small), 4);
    EXPECT_STREQ(small, "Ledg");
    HostDestroyWindow(window);
    EXPECT_EQ(OsGetWindowText(window, title, sizeof title), 0);
    EXPECT_STREQ(title, "");
}

TEST_F(PlatformTest, LocalTimeIsATimeOfDay)
{
    OsLocalTime now;
    OsGetLocalTime(&now);
    EXPECT_TRUE(now.hour >= 0 && now.hour < 24);
    EXPECT_TRUE(now.minute >= 0 && now.minute < 60);
    EXPECT_TRUE(now.second >= 0 && now.second < 61);
    EXPECT_TRUE(now.milliseconds >= 0 && now.milliseconds < 1000);
}

#ifndef _WIN32

// --- The simulated host's own behaviour --------------------------------------------------------

class SimHostTest : public HostTest {
protected:
    void SetUp() override
    {
        if (!HostIsSimulated())
            GTEST_SKIP();
        HostTest::SetUp();
    }

    static std::string RootFile(const char *relative)
    {
        std::string path = std::string(SimHostRoot()) + "/" + relative;
        std::string text;
        FILE *fp = fopen(path.c_str(), "rb");
        if (!fp)
            return "<missing>";
        char chunk[4096];
        size_t n;
        while ((n = fread(chunk, 1, sizeof chunk, fp)) > 0)
            text.append(chunk, n);
        fclose(fp);
        return text;
    }

    static void WriteRootFile(const char *relative, const std::string &text)
    {
        std::string path = std::string(SimHostRoot()) + "/" + relative;
        FILE *fp = fopen(path.c_str(), "wb");
        ASSERT_NE(fp, nullptr);
        fwrite(text.data(), 1, text.size(), fp);
        fclose(fp);
    }

    static std::string PosixPath(const char *windowsPath)
    {
        char out[4096];
        EXPECT_NE(SimHostPath(windowsPath, out, sizeof out), 0) << windowsPath;
        return out;
    }
};

std::string RegistryText(OsRootKey root)
{
    std::string text(SimRegistryText(root, nullptr, 0) + 1, '\0');
    EXPECT_EQ(SimRegistryText(root, &text[0], text.size()), text.size() - 1);
    text.pop_back();
    return text;
}

// A mask of many stars is decided in the time of its length and the name's,
// not of every way to split the name among the stars. Windows (Wine) tries
// every split, so this is the simulated host's own. No clock is read: with
// this many stars, trying every split would not end within the test's time
// limit, which is how a return to it shows.
TEST_F(SimHostTest, MatchSpecOfManyStarsIsQuick)
{
    const std::string name(200, 'a');
    std::string mask;
    for (int i = 0; i < 24; i++)
        mask += "*a";
    EXPECT_EQ(OsPathMatchSpec(name.c_str(), (mask + "*b").c_str()), 0);
    EXPECT_NE(OsPathMatchSpec((name + "b").c_str(), (mask + "*b").c_str()), 0);
    EXPECT_NE(OsPathMatchSpec(name.c_str(), (mask + "*;*b").c_str()), 0);
}

TEST_F(SimHostTest, RegistryDumpIsRegeditText)
{
    HostRegSetText(OS_HKEY_CURRENT_USER, "Greeting", "say \"hi\" from C:\\Books");
    const unsigned char blob[] = {0x00, 0x01, 0xff};
    HostRegSet(OS_HKEY_CURRENT_USER, "Blob", OS_REG_BINARY, blob, sizeof blob);
    const unsigned char number[] = {0x2a, 0, 0, 0};
    HostRegSet(OS_HKEY_CURRENT_USER, "Number", OS_REG_DWORD, number, sizeof number);
    HostRegSetText(OS_HKEY_CURRENT_USER, "Lines", "a\r\nb");

    const std::string expected =
        "Windows Registry Editor Version 5.00\r\n"
        "\r\n"
        "[HKEY_CURRENT_USER\\SOFTWARE]\r\n"
        "\r\n"
        "[HKEY_CURRENT_USER\\SOFTWARE\\Velmora Software Ltd]\r\n"
        "\r\n"
        "[HKEY_CURRENT_USER\\SOFTWARE\\Velmora Software Ltd\\Ledgerwick Complete]\r\n"
        "\r\n"
        "[HKEY_CURRENT_USER\\SOFTWARE\\Velmora Software Ltd\\Ledgerwick Complete\\Settings]\r\n"
        "\"Greeting\"=\"say \\\"hi\\\" from C:\\\\Books\"\r\n"
        "\"Blob\"=hex:00,01,ff\r\n"
        "\"Number\"=dword:0000002a\r\n"
        "\"Lines\"=hex(1):61,0d,0a,62,00\r\n"
        "\r\n";
    const std::string empty = "Windows Registry Editor Version 5.00\r\n\r\n";
    EXPECT_EQ(RegistryText(OS_HKEY_CURRENT_USER), expected);
    EXPECT_EQ(RegistryText(OS_HKEY_LOCAL_MACHINE), empty);
    // A short buffer takes what fits, terminated; the length is the whole.
    char cut[12];
    EXPECT_EQ(SimRegistryText(OS_HKEY_LOCAL_MACHINE, cut, sizeof cut), empty.size());
    EXPECT_STREQ(cut, "Windows Reg");

    // Nothing is on disk until asked for.
    EXPECT_EQ(RootFile("registry/HKCU.reg"), "<missing>");
    ASSERT_EQ(SimDumpRegistry(), 1);
    EXPECT_EQ(RootFile("registry/HKCU.reg"), expected);
    EXPECT_EQ(RootFile("registry/HKLM.reg"), empty);
}

TEST_F(SimHostTest, RegistryIgnoresCaseAndKeepsValuesWhole)
{
    const unsigned char wrapped[] = {1, 2, 3, 4, 5};
    HostRegSet(OS_HKEY_LOCAL_MACHINE, "Wrapped", OS_REG_BINARY, wrapped, sizeof wrapped);
    HostRegSetText(OS_HKEY_LOCAL_MACHINE, "Path", "C:\\Ledgerwick");
    HostRegSet(OS_HKEY_LOCAL_MACHINE, "Expand", 2, "%", 2);
    HostRegSetText(OS_HKEY_LOCAL_MACHINE, "", "default");

    // Keys and names ignore case.
    OsKey key;
    ASSERT_EQ(OsRegOpenKey(OS_HKEY_LOCAL_MACHINE, "software\\VELMORA software ltd\\ledgerwick complete\\settings\\", &key), 0);
    unsigned long type = 0, size = 64;
    unsigned char data[64];
    EXPECT_EQ(OsRegQueryValueEx(key, "path", &type, data, &size), 0);
    EXPECT_EQ(std::string((char *)data, size), std::string("C:\\Ledgerwick") + '\0');
    OsRegCloseKey(key);
    std::string bytes;
    ASSERT_TRUE(HostRegGet(OS_HKEY_LOCAL_MACHINE, "Expand", &bytes, &type));
    EXPECT_EQ(type, 2ul);
    EXPECT_EQ(bytes, std::string("%\0", 2));
    ASSERT_TRUE(HostRegGet(OS_HKEY_LOCAL_MACHINE, "", &bytes, &type));
    EXPECT_EQ(bytes, std::string("default") + '\0');

    // Values that grow, shrink and go leave the others' bytes as they were.
    std::string big(100, '\x5a');
    HostRegSet(OS_HKEY_LOCAL_MACHINE, "Big", OS_REG_BINARY, big.data(), (unsigned long)big.size());
    HostRegSetText(OS_HKEY_LOCAL_MACHINE, "PATH", "D:\\Books\\And a longer path than before");
    HostRegDelete(OS_HKEY_LOCAL_MACHINE, "Expand");
    ASSERT_TRUE(HostRegGet(OS_HKEY_LOCAL_MACHINE, "Wrapped", &bytes, &type));
    EXPECT_EQ(bytes, std::string("\x01\x02\x03\x04\x05"));
    ASSERT_TRUE(HostRegGet(OS_HKEY_LOCAL_MACHINE, "Big", &bytes, &type));
    EXPECT_EQ(bytes, big);
    ASSERT_TRUE(HostRegGet(OS_HKEY_LOCAL_MACHINE, "Path", &bytes, &type));
    EXPECT_EQ(bytes, std::string("D:\\Books\\And a longer path than before") + '\0');
    EXPECT_FALSE(HostRegGet(OS_HKEY_LOCAL_MACHINE, "Expand", &bytes, &type));

    // Long hex lists wrap with ",\" and an indent, as regedit writes them.
    std::string text = RegistryText(OS_HKEY_LOCAL_MACHINE);
    EXPECT_NE(text.find(",\\\r\n  5a,"), std::string::npos) << text;
    EXPECT_NE(text.find("\"Path\"=\"D:\\\\Books"), std::string::npos) << text;
    EXPECT_NE(text.find("@=\"default\""), std::string::npos) << text;

    // A reset forgets the registry with the rest of the host.
    HostReset();
    EXPECT_FALSE(HostRegGet(OS_HKEY_LOCAL_MACHINE, "Big", &bytes, &type));
    EXPECT_EQ(OsRegOpenKey(OS_HKEY_LOCAL_MACHINE, kSettingsKey, &key), OS_ERROR_FILE_NOT_FOUND);
}

TEST_F(SimHostTest, UnwritableRootRefusesEveryChange)
{
    HostRegSetText(OS_HKEY_LOCAL_MACHINE, "Kept", "1");
    const std::string before = RegistryText(OS_HKEY_LOCAL_MACHINE);
    SimSetRegistryWritable(OS_HKEY_LOCAL_MACHINE, 0);

    OsKey key;
    EXPECT_EQ(OsRegCreateKey(OS_HKEY_LOCAL_MACHINE, "SOFTWARE\\Velmora Software Ltd\\New", &key),
              OS_ERROR_ACCESS_DENIED);
    EXPECT_EQ(OsRegCreateKey(OS_HKEY_LOCAL_MACHINE, kSettingsKey, &key), OS_ERROR_ACCESS_DENIED);
    ASSERT_EQ(OsRegOpenKey(OS_HKEY_LOCAL_MACHINE, kSettingsKey, &key), 0);
    const unsigned char two[] = "2";
    EXPECT_EQ(OsRegSetValueEx(key, "Kept", OS_REG_SZ, two, 2), OS_ERROR_ACCESS_DENIED);
    EXPECT_EQ(OsRegDeleteValue(key, "Kept"), OS_ERROR_ACCESS_DENIED);
    EXPECT_EQ(OsRegCloseKey(key), 0);

    std::string bytes;
    ASSERT_TRUE(HostRegGet(OS_HKEY_LOCAL_MACHINE, "Kept", &bytes));
    EXPECT_EQ(bytes, std::string("1") + '\0');
    EXPECT_EQ(RegistryText(OS_HKEY_LOCAL_MACHINE), before);
    HostRegSetText(OS_HKEY_CURRENT_USER, "Other root", "still writable");
}

TEST_F(SimHostTest, FailingOperationsFailOnlyWhereTold)
{
    HostWriteFile("C:\\lwtest\\locked.lw", "locked");
    HostWriteFile("C:\\lwtest\\free.lw", "free");
    SimFailOperation(SIM_OP_DELETE_FILE, "c:\\LWTEST\\locked.lw", OS_ERROR_SHARING_VIOLATION);
    SimFailOperation(SIM_OP_COPY_FILE, "C:\\lwtest\\copy.lw", OS_ERROR_ACCESS_DENIED);
    SimFailOperation(SIM_OP_CREATE_DIRECTORY, "C:\\lwtest\\a\\b", OS_ERROR_ACCESS_DENIED);

    OsSetLastError(kNoErrorYet);
    EXPECT_EQ(OsDeleteFile("C:\\lwtest\\locked.lw"), 0);
    EXPECT_EQ(OsGetLastError(), (unsigned long)OS_ERROR_SHARING_VIOLATION);
    EXPECT_TRUE(HostFileExists("C:\\lwtest\\locked.lw"));
    EXPECT_NE(OsDeleteFile("C:\\lwtest\\free.lw"), 0);

    OsSetLastError(kNoErrorYet);
    EXPECT_EQ(OsCopyFile("C:\\lwtest\\locked.lw", "C:\\lwtest\\copy.lw", 0), 0);
    EXPECT_EQ(OsGetLastError(), (unsigned long)OS_ERROR_ACCESS_DENIED);
    EXPECT_FALSE(HostFileExists("C:\\lwtest\\copy.lw"));

    // A folder that can't be created stops the path below it.
    EXPECT_EQ(OsMakeSureDirectoryPathExists("C:\\lwtest\\a\\b\\c\\"), 0);
    EXPECT_TRUE(HostFolderExists("C:\\lwtest\\a"));
    EXPECT_FALSE(HostFolderExists("C:\\lwtest\\a\\b"));

    SimClearFaults();
    EXPECT_NE(OsDeleteFile("C:\\lwtest\\locked.lw"), 0);
    EXPECT_EQ(OsMakeSureDirectoryPathExists("C:\\lwtest\\a\\b\\c\\"), 1);
    EXPECT_EQ(SimCallCount(SIM_OP_DELETE_FILE), 3ul);
}

TEST_F(SimHostTest, FaultsFailTheNthCallOnceOrFromThenOn)
{
    HostMakeFolder("C:\\lwtest");
    HostWriteFile("C:\\lwtest\\held.txt", "held");
    const unsigned long mutatingBefore = SimCallCount(SIM_OP_ANY_MUTATING);

    // The second folder made fails, once.
    int once = SimArmFault(SIM_OP_CREATE_DIRECTORY, nullptr, 2, SIM_FAULT_ONCE, OS_ERROR_ACCESS_DENIED);
    EXPECT_NE(OsCreateDirectory("C:\\lwtest\\a"), 0);
    OsSetLastError(kNoErrorYet);
    EXPECT_EQ(OsCreateDirectory("C:\\lwtest\\b"), 0);
    EXPECT_EQ(OsGetLastError(), (unsigned long)OS_ERROR_ACCESS_DENIED);
    EXPECT_FALSE(HostFolderExists("C:\\lwtest\\b"));
    EXPECT_NE(OsCreateDirectory("C:\\lwtest\\b"), 0);
    EXPECT_EQ(SimFaultFired(once, nullptr, 0), 1u);

    // From the third mutating call on nothing changes any more, as after a
    // power cut; reading goes on.
    int cut = SimArmFault(SIM_OP_ANY_MUTATING, nullptr, 3, SIM_FAULT_FROM_THEN_ON, OS_ERROR_ACCESS_DENIED);
    OsFile *file = OsFopen("C:\\lwtest\\a\\x.txt", "wb");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(OsFwrite("x", 1, 1, file), 1u);
    EXPECT_EQ(OsFclose(file), -1); // closed, yet reported
    OsSetLastError(kNoErrorYet);
    EXPECT_EQ(OsDeleteFile("C:\\lwtest\\a\\x.txt"), 0);
    EXPECT_EQ(OsGetLastError(), (unsigned long)OS_ERROR_ACCESS_DENIED);
    OsKey key;
    EXPECT_EQ(OsRegCreateKey(OS_HKEY_CURRENT_USER, kSettingsKey, &key), OS_ERROR_ACCESS_DENIED);
    EXPECT_EQ(HostReadFile("C:\\lwtest\\a\\x.txt"), "x");
    EXPECT_EQ(SimFaultFired(cut, nullptr, 0), 3u);
    EXPECT_EQ(SimCallCount(SIM_OP_ANY_MUTATING) - mutatingBefore, 8u);
    SimClearFaults();
    EXPECT_NE(OsDeleteFile("C:\\lwtest\\a\\x.txt"), 0);
    EXPECT_EQ(SimFaultsFired(), 4u);

    // A file held open elsewhere: it can't be opened, copied over, moved or
    // deleted, but its attributes can be read. Other files are free.
    int held = SimFailOperation(SIM_OP_ANY_FILE_ACCESS, "c:\\LWTEST\\held.txt", OS_ERROR_SHARING_VIOLATION);
    EXPECT_NE(OsGetFileAttributes("C:\\lwtest\\held.txt"), OS_INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(OsFopen("C:\\lwtest\\held.txt", "rb"), nullptr);
    EXPECT_EQ(OsCopyFile("C:\\lwtest\\a\\..\\held.txt", "C:\\lwtest\\held.txt", 0), 0);
    EXPECT_EQ(OsMoveFile("C:\\lwtest\\held.txt", "C:\\lwtest\\moved.txt"), 0);
    OsSetLastError(kNoErrorYet);
    EXPECT_EQ(OsDeleteFile("C:\\lwtest\\held.txt"), 0);
    EXPECT_EQ(OsGetLastError(), (unsigned long)OS_ERROR_SHARING_VIOLATION);
    EXPECT_NE(OsCreateDirectory("C:\\lwtest\\c"), 0);
    char description[256];
    EXPECT_EQ(SimFaultFired(held, description, sizeof description), 4u);
    EXPECT_STREQ(description, "any access to the file on c:\\LWTEST\\held.txt, call 1 and after");
    EXPECT_EQ(SimFaultFired(SimFaultCount(), description, sizeof description), 0u);
    EXPECT_STREQ(description, "");
}

TEST_F(SimHostTest, StreamFaultsOpenWriteAndClose)
{
    HostMakeFolder("C:\\lwtest");
    SimFailOperation(SIM_OP_FCLOSE, "C:\\lwtest\\log.txt", OS_ERROR_DISK_FULL);
    OsFile *file = OsFopen("C:\\lwtest\\log.txt", "a+");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(OsFwrite("line\n", 1, 5, file), 5u);
    EXPECT_EQ(OsFclose(file), -1); // reported, yet the stream is closed
    EXPECT_EQ(HostReadFile("C:\\lwtest\\log.txt"), "line\r\n");

    SimFailOperation(SIM_OP_FWRITE, nullptr, OS_ERROR_ACCESS_DENIED);
    file = OsFopen("C:\\lwtest\\other.txt", "wb");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(OsFwrite("x", 1, 1, file), 0u);
    EXPECT_EQ(OsFclose(file), 0);

    SimFailOperation(SIM_OP_FOPEN, nullptr, OS_ERROR_SHARING_VIOLATION);
    OsSetLastError(kNoErrorYet);
    EXPECT_EQ(OsFopen("C:\\lwtest\\log.txt", "r"), nullptr);
    EXPECT_EQ(OsGetLastError(), (unsigned long)OS_ERROR_SHARING_VIOLATION);

    SimFailOperation(SIM_OP_FIND_FIRST, "C:\\lwtest\\*.*", OS_ERROR_ACCESS_DENIED);
    OsFindData entry;
    EXPECT_EQ(OsFindFirst("C:\\lwtest\\*.*", &entry), OS_INVALID_FIND_HANDLE);
}

TEST_F(SimHostTest, FullVolumeStopsWritesCopiesAndMoves)
{
    HostMakeFolder("C:\\lwtest");
    SimSetVolumeSpace('C', 10);
    OsFile *file = OsFopen("C:\\lwtest\\full.bin", "wb");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(OsFwrite("12345678", 1, 8, file), 8u);
    OsSetLastError(kNoErrorYet);
    EXPECT_EQ(OsFwrite("abcde", 1, 5, file), 2u);
    EXPECT_EQ(OsGetLastError(), (unsigned long)OS_ERROR_DISK_FULL);
    EXPECT_EQ(OsFclose(file), 0);
    EXPECT_EQ(HostReadFile("C:\\lwtest\\full.bin"), "12345678ab");

    // Text mode counts the CR it adds.
    SimSetVolumeSpace('C', 3);
    file = OsFopen("C:\\lwtest\\full.txt", "w");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(OsFwrite("a\nb", 1, 3, file), 2u);
    EXPECT_EQ(OsFclose(file), 0);
    EXPECT_EQ(HostReadFile("C:\\lwtest\\full.txt"), "a\r\n");

    SimSetVolumeSpace('D', 5);
    HostMakeFolder("D:\\lwtest");
    OsSetLastError(kNoErrorYet);
    EXPECT_EQ(OsCopyFile("C:\\lwtest\\full.bin", "D:\\lwtest\\full.bin", 0), 0);
    EXPECT_EQ(OsGetLastError(), (unsigned long)OS_ERROR_DISK_FULL);
    OsSetLastError(kNoErrorYet);
    EXPECT_EQ(OsMoveFile("C:\\lwtest\\full.bin", "D:\\lwtest\\full.bin"), 0);
    EXPECT_EQ(OsGetLastError(), (unsigned long)OS_ERROR_DISK_FULL);
    EXPECT_TRUE(HostFileExists("C:\\lwtest\\full.bin"));
    EXPECT_TRUE(HostList("D:\\lwtest").empty()); // no partial copy left

    SimSetVolumeSpace('D', -1);
    EXPECT_NE(OsMoveFile("C:\\lwtest\\full.bin", "D:\\lwtest\\full.bin"), 0);
    EXPECT_EQ(HostReadFile("D:\\lwtest\\full.bin"), "12345678ab");
}

TEST_F(SimHostTest, ExactSpellingCostsNoFolderScan)
{
    HostWriteFile("C:\\lwtest\\Scan\\Exact.txt", "x");
    unsigned long before = SimDirectoryScans();
    EXPECT_TRUE(HostFileExists("C:\\lwtest\\Scan\\Exact.txt"));
    EXPECT_EQ(HostReadFile("C:\\lwtest\\Scan\\Exact.txt"), "x");
    EXPECT_EQ(SimDirectoryScans(), before);

    EXPECT_TRUE(HostFileExists("c:\\LWTEST\\scan\\exact.TXT"));
    EXPECT_GT(SimDirectoryScans(), before);
    std::string posix = PosixPath("c:\\LWTEST\\scan\\exact.TXT");
    EXPECT_EQ(posix, std::string(SimHostRoot()) + "/drives/C/lwtest/Scan/Exact.txt");
    EXPECT_EQ(PosixPath("C:\\lwtest\\scan\\New File.txt"),
              std::string(SimHostRoot()) + "/drives/C/lwtest/Scan/New File.txt");
}

TEST_F(SimHostTest, LinksAreRemovedWithoutTheirTargets)
{
    HostWriteFile("C:\\lwtest\\target\\kept.txt", "kept");
    ASSERT_EQ(symlink(PosixPath("C:\\lwtest\\target").c_str(), PosixPath("C:\\lwtest\\FolderLink").c_str()), 0);
    ASSERT_EQ(symlink(PosixPath("C:\\lwtest\\target\\kept.txt").c_str(), PosixPath("C:\\lwtest\\FileLink").c_str()),
              0);

    EXPECT_EQ(OsGetFileAttributes("C:\\lwtest\\folderlink"),
              OS_FILE_ATTRIBUTE_DIRECTORY | OS_FILE_ATTRIBUTE_REPARSE_POINT);
    unsigned long fileLink = OsGetFileAttributes("C:\\lwtest\\FileLink");
    EXPECT_NE(fileLink & OS_FILE_ATTRIBUTE_REPARSE_POINT, 0u);
    EXPECT_EQ(fileLink & OS_FILE_ATTRIBUTE_DIRECTORY, 0u);
    OsFindData entry;
    OsFindHandle handle = OsFindFirst("C:\\lwtest\\Folder*", &entry);
    ASSERT_NE(handle, OS_INVALID_FIND_HANDLE);
    EXPECT_STREQ(entry.name, "FolderLink");
    EXPECT_EQ(entry.attributes, OS_FILE_ATTRIBUTE_DIRECTORY | OS_FILE_ATTRIBUTE_REPARSE_POINT);
    OsFindClose(handle);

    OsSetLastError(kNoErrorYet);
    EXPECT_EQ(OsDeleteFile("C:\\lwtest\\FolderLink"), 0);
    EXPECT_EQ(OsGetLastError(), (unsigned long)OS_ERROR_ACCESS_DENIED);
    EXPECT_NE(OsRemoveDirectory("C:\\lwtest\\FolderLink"), 0);
    EXPECT_NE(OsDeleteFile("C:\\lwtest\\FileLink"), 0);
    EXPECT_EQ(HostList("C:\\lwtest"), std::vector<std::string>{"target\\"});
    EXPECT_EQ(HostReadFile("C:\\lwtest\\target\\kept.txt"), "kept");
}

TEST_F(SimHostTest, PathOnAMissingDriveIsNotFound)
{
    // Windows gives "path not found" here; Wine 8 says "file not found".
    OsSetLastError(kNoErrorYet);
    EXPECT_EQ(OsGetFileAttributes("Q:\\x.txt"), OS_INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(OsGetLastError(), (unsigned long)OS_ERROR_PATH_NOT_FOUND);
    SimSetDrive('Q', OS_DRIVE_RAMDISK);
    EXPECT_EQ(OsGetDriveType("Q:\\"), (unsigned)OS_DRIVE_RAMDISK);
    HostWriteFile("Q:\\x.txt", "q");
    SimSetDrive('Q', OS_DRIVE_NO_ROOT_DIR);
    EXPECT_EQ(OsGetDriveType("Q:\\"), (unsigned)OS_DRIVE_NO_ROOT_DIR);
    EXPECT_FALSE(HostFileExists("Q:\\x.txt"));
}

TEST_F(SimHostTest, FolderDoesNotMoveAcrossVolumes)
{
    HostWriteFile("C:\\lwtest\\folder\\a.txt", "a");
    OsSetLastError(kNoErrorYet);
    EXPECT_EQ(OsMoveFile("C:\\lwtest\\folder", "D:\\folder"), 0);
    EXPECT_EQ(OsGetLastError(), (unsigned long)OS_ERROR_NOT_SAME_DEVICE);
    EXPECT_EQ(HostReadFile("C:\\lwtest\\folder\\a.txt"), "a");
}

TEST_F(SimHostTest, SharesAreRemoteRoots)
{
    SimAddShare("FileServer", "Books");
    HostWriteFile("\\\\fileserver\\books\\Data\\a.lw", "shared");
    EXPECT_EQ(HostReadFile("\\\\FILESERVER\\Books\\data\\A.LW"), "shared");
    EXPECT_EQ(OsGetDriveType("\\\\fileserver\\books\\"), (unsigned)OS_DRIVE_REMOTE);
    EXPECT_EQ(OsGetDriveType("\\\\fileserver\\other\\"), (unsigned)OS_DRIVE_NO_ROOT_DIR);
    EXPECT_EQ(OsGetFileAttributes("\\\\elsewhere\\books\\a.lw"), OS_INVALID_FILE_ATTRIBUTES);
    // Server and share are one volume apart from C:.
    OsSetLastError(kNoErrorYet);
    EXPECT_EQ(OsMoveFile("\\\\fileserver\\books\\Data", "C:\\Data"), 0);
    EXPECT_EQ(OsGetLastError(), (unsigned long)OS_ERROR_NOT_SAME_DEVICE);
}

TEST_F(SimHostTest, ShellFoldersCanBeMovedOrWithdrawn)
{
    char path[OS_PATH_BUFFER];
    SimSetShellFolder(OS_CSIDL_APPDATA, nullptr);
    EXPECT_EQ(OsSHGetSpecialFolderPath(OS_CSIDL_APPDATA, path, 1), 0);
    EXPECT_STREQ(path, "");
    EXPECT_EQ(OsSHGetFolderPathFromLocation(OS_CSIDL_APPDATA, path), 0);
    EXPECT_STREQ(path, "");

    SimSetShellFolder(OS_CSIDL_PERSONAL, "C:\\Docs\\Mine");
    EXPECT_NE(OsSHGetSpecialFolderPath(OS_CSIDL_PERSONAL, path, 0), 0);
    EXPECT_STREQ(path, "C:\\Docs\\Mine");
    // A folder that has gone is only given back when asked to create it.
    ASSERT_NE(OsRemoveDirectory("C:\\Docs\\Mine"), 0);
    EXPECT_EQ(OsSHGetSpecialFolderPath(OS_CSIDL_PERSONAL, path, 0), 0);
    EXPECT_NE(OsSHGetSpecialFolderPath(OS_CSIDL_PERSONAL, path, 1), 0);
    EXPECT_TRUE(HostFolderExists("C:\\Docs\\Mine"));

    SimSetWindowsDirectory(nullptr);
    char windows[OS_PATH_BUFFER];
    EXPECT_EQ(OsGetWindowsDirectory(windows, sizeof windows), 0u);
}

TEST_F(SimHostTest, ClockAndAllocationsFollowTheTest)
{
    SimSetClock(13, 45, 7, 250);
    OsLocalTime now;
    OsGetLocalTime(&now);
    EXPECT_EQ(now.hour, 13);
    EXPECT_EQ(now.minute, 45);
    EXPECT_EQ(now.second, 7);
    EXPECT_EQ(now.milliseconds, 250);

    SimFailAllocAfter(1);
    void *first = OsAlloc(16);
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(OsAlloc(16), nullptr);
    OsFree(first);
    SimClearFaults();
    void *again = OsAlloc(16);
    EXPECT_NE(again, nullptr);
    OsFree(again);
}

TEST_F(SimHostTest, HiddenFileIsNotReplacedByCreate)
{
    HostWriteFile("C:\\lwtest\\hidden.txt", "h");
    ASSERT_NE(OsSetFileAttributes("C:\\lwtest\\hidden.txt", OS_FILE_ATTRIBUTE_HIDDEN), 0);
    EXPECT_EQ(OsGetFileAttributes("C:\\lwtest\\hidden.txt"), OS_FILE_ATTRIBUTE_HIDDEN);
    OsSetLastError(kNoErrorYet);
    EXPECT_EQ(OsFopen("C:\\lwtest\\hidden.txt", "w"), nullptr);
    EXPECT_EQ(OsGetLastError(), (unsigned long)OS_ERROR_ACCESS_DENIED);
    OsFile *file = OsFopen("C:\\lwtest\\hidden.txt", "a");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(OsFclose(file), 0);
}

#endif

} // namespace
