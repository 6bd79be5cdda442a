// The small path helpers: cutting paths by shape, the existence tests with
// their two truth conventions, folder creation and the drive-type test.
#include "files/files.h"
#include "preview/preview.h"
#include "support/host.h"

#ifndef _WIN32
#include "platform/sim_host.h"
#endif

#include <string.h>
#include <string>

namespace {

class PathHelpersTest : public HostTest {};

// A buffer that starts dirty, so a helper that forgets to empty it on
// failure shows.
struct OutBuffer {
    char text[OS_PATH_BUFFER];
    OutBuffer() { memset(text, 'Z', sizeof text - 1), text[sizeof text - 1] = '\0'; }
};

const std::string kTooLong = "C:\\lwtest\\" + std::string(300, 'a') + "\\Data.LW";

TEST_F(PathHelpersTest, FolderOfPathFollowsTheShapeAndTheDisk)
{
    HostWriteFile("C:\\lwtest\\Old\\Data.LW", "x");
    struct Case {
        const char *path;
        int result;
        const char *folder;
    } cases[] = {
        {"C:\\lwtest\\Old\\Data.LW", 1, "C:\\lwtest\\Old\\"},     // a file
        {"C:\\lwtest\\Old\\Missing.LW", 1, "C:\\lwtest\\Old\\"},  // nothing there
        {"C:\\lwtest\\Old", 1, "C:\\lwtest\\Old"},                // existing folder, as written
        {"C:\\lwtest\\Old\\", 1, "C:\\lwtest\\Old\\"},
        {"C:\\lwtest\\Gone", 1, "C:\\lwtest\\"},                  // no such folder: cut at the backslash
        {"C:\\Data.LW", 1, "C:\\"},
        {"C:\\", 1, "C:\\"},                                      // existing root
        {"Q:\\", 0, ""},                                          // no such drive
        {"A\\BCD", 0, ""},
        {"Data.LW", 0, ""},
        {"C:\\lwtest/Old/Data.LW", 1, "C:\\"},                    // "/" is no separator
        {"", 0, ""},
        {kTooLong.c_str(), 0, ""},
    };
    for (const Case &c : cases) {
        OutBuffer out;
        EXPECT_EQ(FolderOfPath(c.path, out.text), c.result) << c.path;
        EXPECT_STREQ(out.text, c.folder) << c.path;
    }
    OutBuffer out;
    EXPECT_EQ(FolderOfPath(nullptr, out.text), 0);
    EXPECT_STREQ(out.text, "");
}

TEST_F(PathHelpersTest, FileNameOfPathCutsTheLastComponent)
{
    struct Case {
        const char *path;
        int keepExtension;
        int result;
        const char *name;
    } cases[] = {
        {"C:\\Old\\Data.LW", 1, 1, "Data.LW"},
        {"C:\\Old\\Data.LW", 0, 1, "Data"},
        {"C:\\Old\\archive.2004.LW", 0, 1, "archive.2004"},
        {"C:\\Old\\README", 0, 1, "README"},
        {"C:\\Old.d\\README", 0, 1, "README"}, // the folder's dot is not the name's
        {"C:\\Old\\.LW", 0, 1, ""},
        {"C:\\Old\\", 0, 1, ""},
        {"C:\\Old\\", 1, 1, ""},
        {"C:\\Setup.exe", 0, 0, ""}, // directly in a root: no name by this test
        {"C:\\Setup.exe", 1, 0, ""},
        {"Setup.exe", 0, 0, ""},
        {"Setup.exe", 1, 0, ""},
        {"AB\\x", 0, 0, ""},
        {"AB\\x", 1, 0, ""},
        {"ABC\\x", 0, 1, "x"},
        {"ABC\\x", 1, 1, "x"},
        {"", 1, 0, ""},
        {kTooLong.c_str(), 1, 0, ""},
    };
    for (const Case &c : cases) {
        OutBuffer out;
        EXPECT_EQ(FileNameOfPath(c.path, out.text, c.keepExtension), c.result) << c.path << " keep=" << c.keepExtension;
        EXPECT_STREQ(out.text, c.name) << c.path << " keep=" << c.keepExtension;
    }
    OutBuffer out;
    EXPECT_EQ(FileNameOfPath(nullptr, out.text, 1), 0);
    EXPECT_STREQ(out.text, "");
}

TEST_F(PathHelpersTest, ExistenceTestsUseTheirOwnTruthValues)
{
    HostWriteFile("C:\\lwtest\\Old\\Data.LW", "x");
    struct Case {
        const char *path;
        int folder; // IsExistingFolder: exactly -1 for true
        int file;   // IsExistingFile: 1 for true
    } cases[] = {
        {"C:\\lwtest\\Old", -1, 0},
        {"C:\\lwtest\\Old\\", -1, 0},
        {"C:\\lwtest\\Old\\Data.LW", 0, 1},
        {"C:\\lwtest\\Old\\Data.LW\\", 0, 0},
        {"C:\\lwtest\\Old\\Data.LW\\ ", 0, 0},
        {"C:\\lwtest\\Old\\Data.LW\\. .", 0, 0},
        {"C:\\lwtest\\Old\\Data.LW\\.", 0, 1},
        {"c:\\LWTEST\\old\\data.lw", 0, 1},
        {"C:\\lwtest\\Old\\Missing.LW", 0, 0},
        {"C:\\lwtest\\Missing", 0, 0},
        {"", 0, 0},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(IsExistingFolder(c.path), c.folder) << c.path;
        EXPECT_EQ(IsExistingFile(c.path), c.file) << c.path;
    }
    EXPECT_EQ(IsExistingFolder(nullptr), 0);
    EXPECT_EQ(IsExistingFile(nullptr), 0);
    EXPECT_EQ(HasText(nullptr), 0);
    EXPECT_EQ(HasText(""), 0);
    EXPECT_EQ(HasText("x"), 1);
}

// Existing paths are told apart by what they are, missing ones by their
// full, long form; a copy with the same bytes is never the same file.
const struct SamePathCase {
    const char *a, *b;
    int same;
} kSamePathCases[] = {
    {"C:\\lwtest\\Books\\Data.LW", "c:/LWTEST/books/DATA.lw", 1},
    {"C:\\lwtest\\Books\\Data.LW", "C:\\lwtest\\Other\\..\\Books\\.\\Data.LW", 1},
    {"C:\\lwtest\\Books", "C:\\lwtest\\Books.", 1},
    {"C:\\lwtest\\Books", "C:\\lwtest\\Books\\", 1},
    {"C:\\lwtest\\Books\\Data.LW\\", "C:\\lwtest\\Books\\Data.LW", 0},
    {"C:\\lwtest\\Books\\Data.LW\\ ", "C:\\lwtest\\Books\\Data.LW", 0},
    {"C:\\lwtest\\Books\\Data.LW", "C:\\lwtest\\Copy\\Data.LW", 0},
    {"C:\\lwtest\\Books", "C:\\lwtest\\Copy", 0},
    {"C:\\lwtest\\Books\\Missing.LW", "c:\\LWTEST\\books\\MISSING.lw", 1},
    {"C:\\lwtest\\Books\\Missing.LW", "C:\\lwtest\\Books\\Data.LW", 0},
    {"C:\\lwtest\\Books\\Missing.LW", "C:\\lwtest\\Copy\\Missing.LW", 0},
    {"", "", 0},
};

void LayOutSamePathCases()
{
    HostWriteFile("C:\\lwtest\\Books\\Data.LW", "same bytes");
    HostWriteFile("C:\\lwtest\\Copy\\Data.LW", "same bytes");
    HostMakeFolder("C:\\lwtest\\Other");
}

TEST_F(PathHelpersTest, SamePathAsksWhatAPathIsThenHowItIsWritten)
{
    LayOutSamePathCases();
    for (const SamePathCase &c : kSamePathCases) {
        EXPECT_EQ(SamePath(c.a, c.b), c.same) << c.a << " / " << c.b;
        EXPECT_EQ(SamePath(c.b, c.a), c.same) << c.b << " / " << c.a;
    }
    EXPECT_EQ(OsSameFile("C:\\lwtest\\Books\\Data.LW", "C:\\lwtest\\Copy\\Data.LW"), 0);
    EXPECT_EQ(OsSameFile("C:\\lwtest\\Books\\Missing.LW", "C:\\lwtest\\Books\\Missing.LW"), -1);
    EXPECT_EQ(IsIdenticalCopy("C:\\lwtest\\Books\\Data.LW", "C:\\lwtest\\Copy\\Data.LW"), 1);
    EXPECT_EQ(IsIdenticalCopy("C:\\lwtest\\Books\\Data.LW", "c:/lwtest/BOOKS/data.lw"), 0);
}

#ifndef _WIN32
// Where the file system can't say what a path is (it can't be opened, or
// keeps no file index), the written forms still give the same answers.
TEST_F(PathHelpersTest, SamePathFallsBackToTheFormsWhereTheFileSystemCannotTell)
{
    LayOutSamePathCases();
    int fault = SimFailOperation(SIM_OP_SAME_FILE, "", OS_ERROR_ACCESS_DENIED);
    for (const SamePathCase &c : kSamePathCases)
        EXPECT_EQ(SamePath(c.a, c.b), c.same) << c.a << " / " << c.b;
    EXPECT_EQ(IsIdenticalCopy("C:\\lwtest\\Books\\Data.LW", "C:\\lwtest\\Copy\\Data.LW"), 1);
    EXPECT_EQ(IsIdenticalCopy("C:\\lwtest\\Books\\Data.LW", "c:/lwtest/BOOKS/data.lw"), 0);
    EXPECT_GT(SimFaultFired(fault, nullptr, 0), 0ul);
}
#endif

// A folder reached through the device namespace takes the folder's own form,
// and a form is its own form: "\\?\c:\/" once gave "\\?\c:", the volume,
// whose form is no form at all.
TEST_F(PathHelpersTest, DevicePathsTakeTheFormOfTheirFolder)
{
    HostMakeFolder("C:\\lwtest\\Data");
    const struct {
        const char *path, *folder;
    } cases[] = {
        {"\\\\?\\c:\\/", "C:\\"},
        {"\\\\?\\C:\\", "C:\\"},
        {"\\\\.\\c:\\/", "C:\\"},
        {"\\/?\\C:\\", "C:\\"},
        {"\\\\?\\C:\\lwtest\\Data", "C:\\lwtest\\Data"},
        {"\\\\?\\C:\\lwtest\\Data\\/", "C:\\lwtest\\Data"},
        {"\\\\?\\C:\\lwtest\\Data\\\\\\", "C:\\lwtest\\Data"},
        {"\\\\?\\C:\\lwtest\\New\\\\", "C:\\lwtest\\New"},
    };
    for (const auto &c : cases) {
        char form[OS_PATH_BUFFER], again[OS_PATH_BUFFER];
        ASSERT_EQ(PathIdentityForm(c.path, form), 1) << c.path;
        EXPECT_EQ(TextCompareNoCase(form, c.folder), 0) << c.path << " took the form " << form;
        ASSERT_EQ(PathIdentityForm(form, again), 1) << form;
        EXPECT_STREQ(again, form) << c.path;
    }
}

TEST_F(PathHelpersTest, EnsureFolderExistsCreatesTheWholeChain)
{
    HostMakeFolder("C:\\lwtest\\A");
    HostWriteFile("C:\\lwtest\\F", "a file in the way");
    struct Case {
        const char *path;
        int result;
        const char *mustExist;
    } cases[] = {
        {"C:\\lwtest\\A\\B\\C", -1, "C:\\lwtest\\A\\B\\C"},
        {"C:\\lwtest\\A\\B\\C", -1, "C:\\lwtest\\A\\B\\C"}, // already there
        {"C:\\lwtest\\A\\D\\", -1, "C:\\lwtest\\A\\D"},
        {"C:\\lwtest\\F\\G", 0, nullptr},                   // a file blocks the chain
        {"", 0, nullptr},
        {kTooLong.c_str(), 0, nullptr},
    };
    for (const Case &c : cases) {
        char copy[400];
        strcpy(copy, c.path);
        EXPECT_EQ(EnsureFolderExists(copy), c.result) << c.path;
        EXPECT_STREQ(copy, c.path) << "the caller's text is never changed";
        if (c.mustExist) {
            EXPECT_TRUE(HostFolderExists(c.mustExist)) << c.mustExist;
        }
    }
    EXPECT_EQ(HostList("C:\\lwtest\\A"), (std::vector<std::string>{"B\\", "D\\"}));
    EXPECT_FALSE(HostFolderExists("C:\\lwtest\\F\\G"));
    EXPECT_FALSE(HostFolderExists("C:\\lwtest\\" + std::string(300, 'a')));
    // A folder of exactly 259 characters has no room for the backslash the
    // creation needs; it is refused, not shortened to its parent.
    std::string longest = "C:\\lwtest\\A\\" + std::string(259 - 12, 'b');
    ASSERT_EQ(longest.size(), 259u);
    EXPECT_EQ(EnsureFolderExists(longest.c_str()), 0);
    EXPECT_EQ(HostList("C:\\lwtest\\A"), (std::vector<std::string>{"B\\", "D\\"}));
}

TEST_F(PathHelpersTest, FixedOrNetworkPathByDriveType)
{
    // The hosts provide D: fixed, N: network, R: removable and X: CD-ROM.
    struct Case {
        const char *path;
        int result;
    } cases[] = {
        {"C:\\lwtest\\x.LW", 1},
        {"D:\\data\\x.LW", 1},
        {"N:\\data\\x.LW", 1},
        {"n:\\", 1},
        {"R:\\data\\x.LW", 0},
        {"X:\\data\\x.LW", 0},
        {"Q:\\data\\x.LW", 0}, // no such drive
        {"data\\x.LW", 0},     // relative: no root
        {"x.LW", 0},
        {"", 0},
        {kTooLong.c_str(), 0},
    };
    for (const Case &c : cases) {
        char copy[400];
        strcpy(copy, c.path);
        EXPECT_EQ(IsFixedOrNetworkPath(copy), c.result) << c.path;
        EXPECT_STREQ(copy, c.path);
    }
    EXPECT_EQ(IsFixedOrNetworkPath(nullptr), 0);
}

} // namespace
