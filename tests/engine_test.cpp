// The bulk file action engine: what it does to the files, and the log blocks
// it writes. Enumeration order is not promised by either host, so log blocks
// are compared with the entries of each folder taken as a set.
#include "files/files.h"
#include "support/held_open.h"
#include "support/host.h"
#include "support/links.h"

#ifdef _WIN32
#include <windows.h>
#else
#include "platform/sim_host.h"
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <string.h>
#include <string>
#include <vector>

namespace {

struct Line {
    std::string level, section, message;
};
using Lines = std::vector<Line>;

std::string Trim(const std::string &text)
{
    size_t end = text.find_last_not_of(' ');
    return end == std::string::npos ? "" : text.substr(0, end + 1);
}

std::string LogPath()
{
    return HostShellFolder(OS_CSIDL_APPDATA) + "\\LWInst.log";
}

// The log's lines without their timestamps, which differ by clock.
Lines ReadLog()
{
    Lines lines;
    if (!HostFileExists(LogPath()))
        return lines;
    std::string text = HostReadFile(LogPath());
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        EXPECT_NE(end, std::string::npos) << "the last line has no line end";
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        EXPECT_TRUE(!line.empty() && line.back() == '\r') << line;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        size_t tab1 = line.find('\t');
        size_t tab2 = tab1 == std::string::npos ? tab1 : line.find('\t', tab1 + 1);
        size_t tab3 = tab2 == std::string::npos ? tab2 : line.find('\t', tab2 + 1);
        if (tab3 == std::string::npos) {
            ADD_FAILURE() << "not a log line: " << line;
            continue;
        }
        std::string names = line.substr(tab1 + 1, tab2 - tab1 - 1); // "[module - section]"
        size_t dash = names.find(" - ");
        if (names.size() < 2 || names.front() != '[' || names.back() != ']' || dash == std::string::npos) {
            ADD_FAILURE() << "bad module and section: " << line;
            continue;
        }
        EXPECT_EQ(Trim(names.substr(1, dash - 1)), "Upgrade.dll");
        lines.push_back({Trim(line.substr(tab2 + 1, tab3 - tab2 - 1)),
                         Trim(names.substr(dash + 3, names.size() - dash - 4)), line.substr(tab3 + 1)});
    }
    return lines;
}

std::string Render(const Line &line)
{
    std::string message;
    for (char c : line.message)
        message += c == '\t' ? std::string("\\t") : std::string(1, c);
    return line.level + " [" + line.section + "] " + message + "\n";
}

bool Is(const Line &line, const char *message)
{
    return line.section == "PerformActionOnFiles" && line.message == message;
}

// One block in canonical form: its header lines in order, then its entries
// (file lines and nested blocks, indented) sorted, then its closing lines.
std::string CanonicalBlock(const Lines &lines, size_t &i)
{
    if (!Is(lines[i], "\t----## Started ##----"))
        return Render(lines[i++]);
    std::string out = Render(lines[i++]);
    while (i < lines.size()) {
        bool last = Is(lines[i], "\tValidated Action") || Is(lines[i], "\tNot Validated Action");
        out += Render(lines[i++]);
        if (last)
            break;
    }
    std::vector<std::string> entries;
    while (i < lines.size() && !(lines[i].section == "PerformActionOnFiles" &&
                                 lines[i].message.rfind("\tFilesAffected: ", 0) == 0)) {
        std::string entry = CanonicalBlock(lines, i), indented;
        size_t from = 0;
        while (from < entry.size()) {
            size_t to = entry.find('\n', from);
            indented += "    " + entry.substr(from, to + 1 - from);
            from = to + 1;
        }
        entries.push_back(indented);
    }
    std::sort(entries.begin(), entries.end());
    for (const std::string &entry : entries)
        out += entry;
    for (int closing = 0; closing < 2 && i < lines.size(); closing++)
        out += Render(lines[i++]);
    return out;
}

std::string Canonical(const Lines &lines)
{
    std::string out;
    for (size_t i = 0; i < lines.size();)
        out += CanonicalBlock(lines, i);
    return out;
}

Line Info(const std::string &message)
{
    return {"INFO", "PerformActionOnFiles", "\t" + message};
}

Line Error(const std::string &message)
{
    return {"ERROR", "PerformActionOnFiles", "\t" + message};
}

Lines Did(bool done, const std::string &action, const std::string &source, const std::string &destination)
{
    return {{done ? "INFO" : "ERROR", "PerformActionOnFiles_DoAction",
             "\t\t" + action + ": " + (done ? "Y" : "N") + " - " + source + " => " + destination}};
}

// The block of one call; entries are single lines or nested blocks.
Lines Block(const std::string &action, const std::string &source, const std::string &destination,
            bool validated, const std::vector<Lines> &entries, int affected)
{
    Lines lines = {Info("----## Started ##----"), Info("ActionToPerform: " + action),
                   Info("SrcPath: " + source), Info("DstPath: " + destination),
                   Info(validated ? "Validated Action" : "Not Validated Action")};
    for (const Lines &entry : entries)
        lines.insert(lines.end(), entry.begin(), entry.end());
    lines.push_back(Info("FilesAffected: " + std::to_string(affected)));
    lines.push_back(Info("----## Finished ##----"));
    return lines;
}

// A writable MAX_PATH argument buffer, as the callers pass them.
struct PathBuffer {
    char text[OS_PATH_BUFFER];
    explicit PathBuffer(const std::string &path)
    {
        memset(text, 0, sizeof text);
        EXPECT_TRUE(TextCopyWhole(text, sizeof text, path.c_str())) << path;
    }
};

const char *const kDataPatterns[] = {"*.LW", "*.OLD"};
const char *const kTempPatterns[] = {"*.LDB", "*.GID"};
const char *const kLetterPatterns[] = {"*.RTF"};
const char *const kLwPattern[] = {"*.LW"};
const std::string kFullDestination = "C:\\lwtest\\" + std::string(OS_MAX_PATH - 1 - 10, 'd');

class EngineTest : public HostTest {
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        HostRegSetText(OS_HKEY_CURRENT_USER, "EnableDebugLog", "1");
    }
    void ClearLog()
    {
        if (HostFileExists(LogPath())) {
            ASSERT_NE(OsDeleteFile(LogPath().c_str()), 0);
        }
    }
    void ExpectLog(const Lines &expected)
    {
        EXPECT_EQ(Canonical(ReadLog()), Canonical(expected));
    }
};

TEST_F(EngineTest, CopySelectsByPatternIntoANewFolder)
{
    HostWriteFile("C:\\lwtest\\Old\\Data.LW", "books");
    HostWriteFile("C:\\lwtest\\Old\\Notes.txt", "notes");
    PathBuffer source("C:\\lwtest\\Old"), destination("D:\\lwtest\\New");

    EXPECT_EQ(PerformActionOnFiles(FILE_COPY, source.text, destination.text, kDataPatterns, 2, 1, 0, 0), 1);

    EXPECT_EQ(HostTree("D:\\lwtest\\New"), (std::vector<std::string>{"Data.LW"}));
    EXPECT_EQ(HostReadFile("D:\\lwtest\\New\\Data.LW"), "books");
    EXPECT_EQ(HostTree("C:\\lwtest\\Old"), (std::vector<std::string>{"Data.LW", "Notes.txt"}));
    // The argument buffers keep the backslashes they gained.
    EXPECT_STREQ(source.text, "C:\\lwtest\\Old\\");
    EXPECT_STREQ(destination.text, "D:\\lwtest\\New\\");
    ExpectLog(Block("COPY", "C:\\lwtest\\Old", "D:\\lwtest\\New", true,
                    {Did(true, "COPY", "C:\\lwtest\\Old\\Data.LW", "D:\\lwtest\\New\\Data.LW")}, 1));
}

TEST_F(EngineTest, UnfilteredDeleteWithoutRecursionLeavesSubFoldersAndDotFiles)
{
    for (const char *name : {"a.LW", "b.txt", "README", ".keep", "Sub\\inner.LW"})
        HostWriteFile(std::string("C:\\lwtest\\Old\\") + name, "x");
    PathBuffer source("C:\\lwtest\\Old\\");

    EXPECT_EQ(PerformActionOnFiles(FILE_DELETE, source.text, nullptr, kDataPatterns, 2, 0, 1, 0), 3);

    // Removing the folder fails quietly: it still holds .keep and Sub.
    EXPECT_EQ(HostTree("C:\\lwtest\\Old"), (std::vector<std::string>{".keep", "Sub\\inner.LW"}));
    EXPECT_STREQ(source.text, "C:\\lwtest\\Old\\");
    ExpectLog(Block("DELETE", "C:\\lwtest\\Old\\", "[NULL]", true,
                    {Did(true, "DELETE", "C:\\lwtest\\Old\\a.LW", "[NULL]"),
                     Did(true, "DELETE", "C:\\lwtest\\Old\\b.txt", "[NULL]"),
                     Did(true, "DELETE", "C:\\lwtest\\Old\\README", "[NULL]")},
                    3));
}

TEST_F(EngineTest, RecursiveDeleteRemovesEmptiedFoldersBottomUp)
{
    for (const char *name : {"x.LDB", "A\\y.ldb", "A\\B\\z.GID", "C\\keep.txt", "C\\w.LDB"})
        HostWriteFile(std::string("C:\\lwtest\\Tree\\") + name, "x");
    PathBuffer source("C:\\lwtest\\Tree");

    EXPECT_EQ(PerformActionOnFiles(FILE_DELETE, source.text, nullptr, kTempPatterns, 2, 1, 1, 1), 4);

    EXPECT_EQ(HostList("C:\\lwtest\\Tree"), (std::vector<std::string>{"C\\"}));
    EXPECT_EQ(HostTree("C:\\lwtest\\Tree"), (std::vector<std::string>{"C\\keep.txt"}));
    // Nested calls get the entry's destination: the empty text, logged as [NULL].
    Lines b = Block("DELETE", "C:\\lwtest\\Tree\\A\\B", "[NULL]", true,
                    {Did(true, "DELETE", "C:\\lwtest\\Tree\\A\\B\\z.GID", "[NULL]")}, 1);
    Lines a = Block("DELETE", "C:\\lwtest\\Tree\\A", "[NULL]", true,
                    {Did(true, "DELETE", "C:\\lwtest\\Tree\\A\\y.ldb", "[NULL]"), b}, 2);
    Lines c = Block("DELETE", "C:\\lwtest\\Tree\\C", "[NULL]", true,
                    {Did(true, "DELETE", "C:\\lwtest\\Tree\\C\\w.LDB", "[NULL]")}, 1);
    ExpectLog(Block("DELETE", "C:\\lwtest\\Tree", "[NULL]", true,
                    {Did(true, "DELETE", "C:\\lwtest\\Tree\\x.LDB", "[NULL]"), a, c}, 4));

    // Once the last file goes, the whole tree goes, bottom up.
    HostWriteFile("C:\\lwtest\\Tree\\C\\D\\last.gid", "x");
    PathBuffer again("C:\\lwtest\\Tree");
    EXPECT_EQ(PerformActionOnFiles(FILE_DELETE, again.text, nullptr, kTempPatterns, 2, 1, 1, 1), 1);
    EXPECT_EQ(HostTree("C:\\lwtest\\Tree"), (std::vector<std::string>{"C\\keep.txt"}));
    PathBuffer unfiltered("C:\\lwtest\\Tree");
    EXPECT_EQ(PerformActionOnFiles(FILE_DELETE, unfiltered.text, nullptr, kTempPatterns, 2, 0, 1, 1), 1);
    EXPECT_FALSE(HostFolderExists("C:\\lwtest\\Tree"));
    EXPECT_TRUE(HostFolderExists("C:\\lwtest"));
}

TEST_F(EngineTest, MoveBuildsTheDestinationTreeOnlyWhereFilesArrive)
{
    for (const char *name : {"a.RTF", "Sub\\b.rtf", "Empty\\c.txt"})
        HostWriteFile(std::string("C:\\lwtest\\Letters\\") + name, name);
    PathBuffer source("C:\\lwtest\\Letters"), destination("D:\\lwtest\\New\\Letters");

    EXPECT_EQ(PerformActionOnFiles(FILE_MOVE, source.text, destination.text, kLetterPatterns, 1, 1, 1, 1), 2);

    EXPECT_EQ(HostList("D:\\lwtest\\New\\Letters"), (std::vector<std::string>{"Sub\\", "a.RTF"}));
    EXPECT_EQ(HostReadFile("D:\\lwtest\\New\\Letters\\Sub\\b.rtf"), "Sub\\b.rtf");
    // Sub was emptied and removed; Empty keeps its text file.
    EXPECT_EQ(HostTree("C:\\lwtest\\Letters"), (std::vector<std::string>{"Empty\\c.txt"}));
    EXPECT_EQ(HostList("C:\\lwtest\\Letters"), (std::vector<std::string>{"Empty\\"}));
    Lines sub = Block("MOVE", "C:\\lwtest\\Letters\\Sub", "D:\\lwtest\\New\\Letters\\Sub", true,
                      {Did(true, "MOVE", "C:\\lwtest\\Letters\\Sub\\b.rtf", "D:\\lwtest\\New\\Letters\\Sub\\b.rtf")},
                      1);
    Lines empty = Block("MOVE", "C:\\lwtest\\Letters\\Empty", "D:\\lwtest\\New\\Letters\\Empty", true, {}, 0);
    ExpectLog(Block("MOVE", "C:\\lwtest\\Letters", "D:\\lwtest\\New\\Letters", true,
                    {Did(true, "MOVE", "C:\\lwtest\\Letters\\a.RTF", "D:\\lwtest\\New\\Letters\\a.RTF"), sub, empty},
                    2));

    // Nothing selected: no destination folder at all.
    PathBuffer again("C:\\lwtest\\Letters"), nowhere("D:\\lwtest\\None\\Deeper");
    EXPECT_EQ(PerformActionOnFiles(FILE_MOVE, again.text, nowhere.text, kLetterPatterns, 1, 1, 1, 1), 0);
    EXPECT_FALSE(HostFolderExists("D:\\lwtest\\None"));
}

// A destination inside the source tree is not walked into: the files just
// written there would otherwise be met again, as deep as the enumeration
// happens to show them (the result would hang on its order).
TEST_F(EngineTest, DestinationInsideTheSourceTreeIsNotWalked)
{
    for (const char *name : {"A.LW", "Data.LW", "Sub\\b.LW"})
        HostWriteFile(std::string("C:\\lwtest\\Old\\") + name, name);
    PathBuffer source("C:\\lwtest\\Old"), destination("c:\\LWTEST\\old\\copy");
    EXPECT_EQ(PerformActionOnFiles(FILE_COPY, source.text, destination.text, kLwPattern, 1, 1, 0, 1), 3);
    EXPECT_EQ(HostTree("C:\\lwtest\\Old"), (std::vector<std::string>{"A.LW", "Data.LW", "Sub\\b.LW", "copy\\A.LW",
                                                                     "copy\\Data.LW", "copy\\Sub\\b.LW"}));

    // Deeper down: the tree's own Inner\Letters is where the files go.
    for (const char *name : {"a.RTF", "Inner\\b.RTF"})
        HostWriteFile(std::string("C:\\lwtest\\Letters\\") + name, name);
    PathBuffer from("C:\\lwtest\\Letters"), into("C:\\lwtest\\Letters\\Inner\\Letters");
    EXPECT_EQ(PerformActionOnFiles(FILE_MOVE, from.text, into.text, kLetterPatterns, 1, 1, 1, 1), 2);
    EXPECT_EQ(HostTree("C:\\lwtest\\Letters"),
              (std::vector<std::string>{"Inner\\Letters\\Inner\\b.RTF", "Inner\\Letters\\a.RTF"}));
}

TEST_F(EngineTest, MoveNeverReplacesAFileButCopyDoes)
{
    HostWriteFile("C:\\lwtest\\Old\\Data.LW", "new");
    HostWriteFile("C:\\lwtest\\New\\Data.LW", "old");

    PathBuffer source("C:\\lwtest\\Old"), destination("C:\\lwtest\\New");
    EXPECT_EQ(PerformActionOnFiles(FILE_MOVE, source.text, destination.text, kDataPatterns, 2, 1, 1, 0), 0);
    EXPECT_EQ(HostReadFile("C:\\lwtest\\Old\\Data.LW"), "new");
    EXPECT_EQ(HostReadFile("C:\\lwtest\\New\\Data.LW"), "old");
    ExpectLog(Block("MOVE", "C:\\lwtest\\Old", "C:\\lwtest\\New", true,
                    {Did(false, "MOVE", "C:\\lwtest\\Old\\Data.LW", "C:\\lwtest\\New\\Data.LW")}, 0));

    ClearLog();
    PathBuffer again("C:\\lwtest\\Old"), into("C:\\lwtest\\New");
    EXPECT_EQ(PerformActionOnFiles(FILE_COPY, again.text, into.text, kDataPatterns, 2, 1, 1, 0), 1);
    EXPECT_EQ(HostReadFile("C:\\lwtest\\New\\Data.LW"), "new");
    EXPECT_EQ(HostReadFile("C:\\lwtest\\Old\\Data.LW"), "new"); // and COPY never removes its source
    ExpectLog(Block("COPY", "C:\\lwtest\\Old", "C:\\lwtest\\New", true,
                    {Did(true, "COPY", "C:\\lwtest\\Old\\Data.LW", "C:\\lwtest\\New\\Data.LW")}, 1));
}

TEST_F(EngineTest, RenameExtensionKeepsEveryInnerDot)
{
    for (const char *name : {"Data.LW", "My.Books.lw", "Notes.txt"})
        HostWriteFile(std::string("C:\\lwtest\\Old\\") + name, name);
    PathBuffer source("C:\\lwtest\\Old"), extension(".OLD");

    EXPECT_EQ(PerformActionOnFiles(FILE_RENAME_EXT, source.text, extension.text, kLwPattern, 1, 1, 0, 0), 2);

    EXPECT_EQ(HostTree("C:\\lwtest\\Old"), (std::vector<std::string>{"Data.OLD", "My.Books.OLD", "Notes.txt"}));
    EXPECT_EQ(HostReadFile("C:\\lwtest\\Old\\My.Books.OLD"), "My.Books.lw");
    EXPECT_STREQ(extension.text, ".OLD"); // only read
    ExpectLog(Block("RENAME_EXT", "C:\\lwtest\\Old", ".OLD", true,
                    {Did(true, "RENAME_EXT", "C:\\lwtest\\Old\\Data.LW", ".OLD"),
                     Did(true, "RENAME_EXT", "C:\\lwtest\\Old\\My.Books.lw", ".OLD")},
                    2));

    // A file of the new name is never replaced.
    ClearLog();
    HostWriteFile("C:\\lwtest\\Old\\Data.LW", "second");
    PathBuffer again("C:\\lwtest\\Old");
    EXPECT_EQ(PerformActionOnFiles(FILE_RENAME_EXT, again.text, (char *)".OLD", kLwPattern, 1, 1, 0, 0), 0);
    EXPECT_EQ(HostReadFile("C:\\lwtest\\Old\\Data.LW"), "second");
    EXPECT_EQ(HostReadFile("C:\\lwtest\\Old\\Data.OLD"), "Data.LW");
    ExpectLog(Block("RENAME_EXT", "C:\\lwtest\\Old", ".OLD", true,
                    {Did(false, "RENAME_EXT", "C:\\lwtest\\Old\\Data.LW", ".OLD")}, 0));
}

TEST_F(EngineTest, RefusedCallsDoNothingAndChangeNoBuffer)
{
    HostWriteFile("C:\\lwtest\\Old\\Data.LW", "x");
    struct Case {
        int action;
        const char *source;      // null for none
        const char *destination; // null for none
        const char *loggedSource, *loggedDestination;
    } cases[] = {
        {FILE_DELETE, "C:\\", nullptr, "C:\\", "[NULL]"},                 // a bare root
        {FILE_DELETE, nullptr, nullptr, "[NULL]", "[NULL]"},
        {FILE_DELETE, "C:\\lwtest\\Old\\Data.LW", nullptr, "C:\\lwtest\\Old\\Data.LW", "[NULL]"}, // a file
        {FILE_DELETE, "C:\\lwtest\\Missing", "", "C:\\lwtest\\Missing", "[NULL]"},
        {FILE_MOVE, "C:\\lwtest\\Old", nullptr, "C:\\lwtest\\Old", "[NULL]"},
        {FILE_COPY, "C:\\lwtest\\Old", nullptr, "C:\\lwtest\\Old", "[NULL]"},
        {FILE_COPY, "C:\\lwtest\\Old", "", "C:\\lwtest\\Old", "[NULL]"}, // no folder to copy into
        // No room for the backslash: refused rather than glued to the names.
        {FILE_COPY, "C:\\lwtest\\Old", kFullDestination.c_str(), "C:\\lwtest\\Old", kFullDestination.c_str()},
        {FILE_RENAME_EXT, "C:\\lwtest\\Old", "OLD", "C:\\lwtest\\Old", "OLD"},
        {FILE_RENAME_EXT, "C:\\lwtest\\Old", ".", "C:\\lwtest\\Old", "."},
        {FILE_RENAME_EXT, "C:\\lwtest\\Old", nullptr, "C:\\lwtest\\Old", "[NULL]"},
    };
    for (const Case &c : cases) {
        HostReset();
        HostRegSetText(OS_HKEY_CURRENT_USER, "EnableDebugLog", "1");
        HostWriteFile("C:\\lwtest\\Old\\Data.LW", "x");
        PathBuffer source(c.source ? c.source : ""), destination(c.destination ? c.destination : "");
        EXPECT_EQ(PerformActionOnFiles(c.action, c.source ? source.text : nullptr,
                                       c.destination ? destination.text : nullptr, kDataPatterns, 2, 1, 1, 1),
                  0)
            << c.loggedSource;
        EXPECT_STREQ(source.text, c.source ? c.source : "");
        EXPECT_STREQ(destination.text, c.destination ? c.destination : "");
        EXPECT_EQ(HostTree("C:\\lwtest"), (std::vector<std::string>{"Old\\Data.LW"})) << c.loggedSource;
        ExpectLog(Block(FileActionName(c.action), c.loggedSource, c.loggedDestination, false, {}, 0));
    }
}

TEST_F(EngineTest, ArgumentBuffersGainTheirBackslashInPlace)
{
    HostMakeFolder("C:\\lwtest\\Old");
    struct Case {
        int action;
        const char *source, *destination;
        const char *sourceAfter, *destinationAfter;
    } cases[] = {
        {FILE_MOVE, "C:\\lwtest\\Old", "C:\\lwtest\\New", "C:\\lwtest\\Old\\", "C:\\lwtest\\New\\"},
        {FILE_COPY, "C:\\lwtest\\Old\\", "C:\\lwtest\\New\\", "C:\\lwtest\\Old\\", "C:\\lwtest\\New\\"},
        {FILE_RENAME_EXT, "C:\\lwtest\\Old", ".OLD", "C:\\lwtest\\Old\\", ".OLD"},
        {FILE_DELETE, "C:\\lwtest\\Old", "", "C:\\lwtest\\Old\\", ""},
    };
    for (const Case &c : cases) {
        PathBuffer source(c.source), destination(c.destination);
        EXPECT_EQ(ValidateFileAction(c.action, source.text, destination.text), 1) << c.source;
        EXPECT_STREQ(source.text, c.sourceAfter);
        EXPECT_STREQ(destination.text, c.destinationAfter);
    }
    // The destination of MOVE and COPY need not exist; nothing creates it yet.
    EXPECT_FALSE(HostFolderExists("C:\\lwtest\\New"));
}

TEST_F(EngineTest, DeleteClearsReadOnlyFirst)
{
    HostWriteFile("C:\\lwtest\\Old\\Locked.LW", "x");
    ASSERT_NE(OsSetFileAttributes("C:\\lwtest\\Old\\Locked.LW", OS_FILE_ATTRIBUTE_READONLY | OS_FILE_ATTRIBUTE_HIDDEN), 0);
    PathBuffer source("C:\\lwtest\\Old");
    EXPECT_EQ(PerformActionOnFiles(FILE_DELETE, source.text, nullptr, kDataPatterns, 2, 1, 1, 0), 1);
    EXPECT_FALSE(HostFolderExists("C:\\lwtest\\Old"));
}

TEST_F(EngineTest, SelectionIgnoresCaseTakesStarDotStarForAllAndNeverDotFiles)
{
    for (const char *name : {"README", "Backup.bk1", "Data.LW", ".hidden.LW", ".bk1"})
        HostWriteFile(std::string("C:\\lwtest\\Old\\") + name, "x");
    const char *const all[] = {"*.*"};
    const char *const backups[] = {"*.BK1", "*.BK2", "*.BK3"};
    const char *const lw[] = {"*.lw"};
    struct Case {
        const char *const *patterns;
        int count, filter;
        std::vector<std::string> copied;
    } cases[] = {
        {all, 1, 1, {"Backup.bk1", "Data.LW", "README"}},
        {backups, 3, 1, {"Backup.bk1"}},
        {lw, 1, 1, {"Data.LW"}},
        {nullptr, 0, 0, {"Backup.bk1", "Data.LW", "README"}}, // patterns never read
    };
    for (const Case &c : cases) {
        HostReset();
        for (const char *name : {"README", "Backup.bk1", "Data.LW", ".hidden.LW", ".bk1"})
            HostWriteFile(std::string("C:\\lwtest\\Old\\") + name, "x");
        PathBuffer source("C:\\lwtest\\Old"), destination("C:\\lwtest\\New");
        EXPECT_EQ(PerformActionOnFiles(FILE_COPY, source.text, destination.text, c.patterns, c.count, c.filter, 0, 0),
                  (int)c.copied.size());
        EXPECT_EQ(HostTree("C:\\lwtest\\New"), c.copied);
    }
    // Matching is against the whole path, in list order, without regard to case.
    struct Match {
        const char *path;
        const char *const *patterns;
        int count, filter, result;
    } matches[] = {
        {"C:\\Old\\Data.lw", kDataPatterns, 2, 1, 1},
        {"C:\\Old\\Data.old", kDataPatterns, 2, 1, 1},
        {"C:\\Old\\Data.LWX", kDataPatterns, 2, 1, 0},
        {"C:\\Old\\README", all, 1, 1, 1},
        {"C:\\Old\\README", kDataPatterns, 2, 1, 0},
        {"C:\\Old\\Data.OLD", kDataPatterns, 1, 1, 0}, // only the first pattern counts
        {"C:\\Old\\Data.LW", kDataPatterns, 0, 1, 0},  // no pattern, nothing selected
        {"C:\\Old\\Data.LW", nullptr, 3, 0, 1},
    };
    for (const Match &m : matches)
        EXPECT_EQ(MatchesAnyPattern(m.path, m.patterns, m.count, m.filter), m.result) << m.path << " " << m.count;
}

// An action outside the four fails every file and touches none.
TEST_F(EngineTest, UnknownActionFailsEveryFile)
{
    HostWriteFile("C:\\lwtest\\Old\\Data.LW", "x");
    HostWriteFile("C:\\lwtest\\Old\\Sub\\Inner.LW", "y");
    for (int action : {4, -1, 1000}) {
        HostRegSetText(OS_HKEY_CURRENT_USER, "EnableDebugLog", "1");
        ClearLog();
        PathBuffer source("C:\\lwtest\\Old"), destination("C:\\lwtest\\New");
        EXPECT_EQ(PerformActionOnFiles(action, source.text, destination.text, kDataPatterns, 2, 1, 1, 1), 0);
        EXPECT_EQ(HostTree("C:\\lwtest"), (std::vector<std::string>{"Old\\Data.LW", "Old\\Sub\\Inner.LW"}));
        EXPECT_STREQ(destination.text, "C:\\lwtest\\New");
        Lines sub = Block("UNKNOWN", "C:\\lwtest\\Old\\Sub", "C:\\lwtest\\New", true,
                          {Did(false, "UNKNOWN", "C:\\lwtest\\Old\\Sub\\Inner.LW", "C:\\lwtest\\New")}, 0);
        ExpectLog(Block("UNKNOWN", "C:\\lwtest\\Old", "C:\\lwtest\\New", true,
                        {Did(false, "UNKNOWN", "C:\\lwtest\\Old\\Data.LW", "C:\\lwtest\\New"), sub}, 0));
        EXPECT_EQ(PerformActionOnFiles_DoAction(action, "C:\\lwtest\\Old\\Data.LW", "C:\\lwtest\\New\\Data.LW"), 0);
        EXPECT_TRUE(HostFileExists("C:\\lwtest\\Old\\Data.LW"));
    }
}

// Entries whose joined path would not fit MAX_PATH are skipped and named in
// an ERROR line; the rest of the folder is still worked.
TEST_F(EngineTest, OverLongEntriesAreSkippedAndNamed)
{
    // Windows lets a folder be renamed so that the paths inside it grow past
    // MAX_PATH; that is how such entries come about.
    const std::string longName = std::string(200, 'f') + ".LW";
    HostWriteFile("C:\\lwtest\\s\\" + longName, "x");
    HostWriteFile("C:\\lwtest\\s\\ok.LW", "x");
    // Neither an unselected file nor a folder that is not walked gets a line.
    HostWriteFile("C:\\lwtest\\s\\" + std::string(200, 'f') + ".txt", "x");
    HostMakeFolder("C:\\lwtest\\s\\" + std::string(200, 'd'));
    const std::string longFolder = "C:\\lwtest\\" + std::string(60, 'L');
    ASSERT_EQ(OsRename("C:\\lwtest\\s", longFolder.c_str()), 0);
    // Cleaning up works with MAX_PATH paths too: shorten the folder again.
    struct Shorten {
        std::string from;
        ~Shorten() { OsRename(from.c_str(), "C:\\lwtest\\s"); }
    } shorten{longFolder};

    PathBuffer source(longFolder);
    EXPECT_EQ(PerformActionOnFiles(FILE_DELETE, source.text, nullptr, kLwPattern, 1, 1, 0, 0), 1);
    ExpectLog(Block("DELETE", longFolder, "[NULL]", true,
                    {Lines{Error("Skipped, path too long: " + longFolder + "\\" + longName)},
                     Did(true, "DELETE", longFolder + "\\ok.LW", "[NULL]")},
                    1));
    EXPECT_EQ(HostList(longFolder), (std::vector<std::string>{std::string(200, 'd') + "\\", longName,
                                                           std::string(200, 'f') + ".txt"}));

    // A destination that would grow too long.
    ClearLog();
    const std::string shortName = std::string(90, 'g') + ".LW";
    HostWriteFile("C:\\lwtest\\Src\\" + shortName, "x");
    HostWriteFile("C:\\lwtest\\Src\\a.LW", "x");
    const std::string deepDestination = "C:\\lwtest\\" + std::string(170, 'D');
    PathBuffer from("C:\\lwtest\\Src"), into(deepDestination);
    EXPECT_EQ(PerformActionOnFiles(FILE_COPY, from.text, into.text, kLwPattern, 1, 1, 0, 0), 1);
    ExpectLog(Block("COPY", "C:\\lwtest\\Src", deepDestination, true,
                    {Lines{Error("Skipped, path too long: C:\\lwtest\\Src\\" + shortName + " => " + deepDestination +
                                 "\\" + shortName)},
                     Did(true, "COPY", "C:\\lwtest\\Src\\a.LW", deepDestination + "\\a.LW")},
                    1));
    EXPECT_EQ(HostList(deepDestination), (std::vector<std::string>{"a.LW"}));
}

// A link inside a tree leads out of it: the engine never walks through one,
// so a recursive delete costs no file outside the tree. A link to a file is
// still a file: deleting it removes the link, not its target.
TEST_F(EngineTest, LinksInsideATreeAreNeverFollowed)
{
    if (!CanMakeLinks())
        GTEST_SKIP() << "no way to make a symbolic link on this host";
    HostWriteFile("C:\\lwtest\\Outside\\keep.LW", "precious");
    HostWriteFile("C:\\lwtest\\Outside\\Sub\\deep.LW", "precious");
    HostWriteFile("C:\\lwtest\\Tree\\a.LW", "x");
    HostWriteFile("C:\\lwtest\\Tree\\Real\\b.LW", "x");
    Links links;
    links.Make("C:\\lwtest\\Outside", "C:\\lwtest\\Tree\\Link");
    // Wine 8 shows a Unix link to a file as a plain file (0x20) and its
    // DeleteFile removes the target rather than the link; Windows and the
    // simulated host remove the link. So the file link is tested natively.
    const bool fileLink = HostIsSimulated();
    if (fileLink)
        links.Make("C:\\lwtest\\Outside\\keep.LW", "C:\\lwtest\\Tree\\FileLink.LW");
    ASSERT_FALSE(HasFatalFailure());

    PathBuffer source("C:\\lwtest\\Tree");
    EXPECT_EQ(PerformActionOnFiles(FILE_DELETE, source.text, nullptr, kLwPattern, 0, 0, 1, 1), fileLink ? 3 : 2);

    EXPECT_EQ(HostTree("C:\\lwtest\\Outside"), (std::vector<std::string>{"Sub\\deep.LW", "keep.LW"}));
    EXPECT_EQ(HostReadFile("C:\\lwtest\\Outside\\keep.LW"), "precious");
    EXPECT_EQ(HostList("C:\\lwtest\\Tree"), (std::vector<std::string>{"Link\\"}));
    Lines real = Block("DELETE", "C:\\lwtest\\Tree\\Real", "[NULL]", true,
                       {Did(true, "DELETE", "C:\\lwtest\\Tree\\Real\\b.LW", "[NULL]")}, 1);
    std::vector<Lines> entries = {Did(true, "DELETE", "C:\\lwtest\\Tree\\a.LW", "[NULL]"), real,
                                  Lines{Info("Not followed (link): C:\\lwtest\\Tree\\Link")}};
    if (fileLink)
        entries.push_back(Did(true, "DELETE", "C:\\lwtest\\Tree\\FileLink.LW", "[NULL]"));
    ExpectLog(Block("DELETE", "C:\\lwtest\\Tree", "[NULL]", true, entries, fileLink ? 3 : 2));

    // Nor is anything copied out through a link, nor moved into one that
    // stands where a folder of the tree would go.
    ClearLog();
    HostWriteFile("C:\\lwtest\\Src\\Link2\\x.LW", "x");
    HostMakeFolder("C:\\lwtest\\Dst");
    links.Make("C:\\lwtest\\Outside", "C:\\lwtest\\Dst\\Link2");
    ASSERT_FALSE(HasFatalFailure());
    PathBuffer from("C:\\lwtest\\Tree"), to("C:\\lwtest\\Copy");
    EXPECT_EQ(PerformActionOnFiles(FILE_COPY, from.text, to.text, kLwPattern, 1, 1, 0, 1), 0);
    EXPECT_FALSE(HostFolderExists("C:\\lwtest\\Copy"));
    PathBuffer src("C:\\lwtest\\Src"), dst("C:\\lwtest\\Dst");
    EXPECT_EQ(PerformActionOnFiles(FILE_MOVE, src.text, dst.text, kLwPattern, 1, 1, 1, 1), 0);
    EXPECT_EQ(HostTree("C:\\lwtest\\Outside"), (std::vector<std::string>{"Sub\\deep.LW", "keep.LW"}));
    EXPECT_TRUE(HostFileExists("C:\\lwtest\\Src\\Link2\\x.LW"));
    Lines copyBlock = Block("COPY", "C:\\lwtest\\Tree", "C:\\lwtest\\Copy", true,
                            {Lines{Info("Not followed (link): C:\\lwtest\\Tree\\Link")}}, 0);
    Lines moveBlock = Block("MOVE", "C:\\lwtest\\Src", "C:\\lwtest\\Dst", true,
                            {Lines{Info("Not followed (link): C:\\lwtest\\Src\\Link2")}}, 0);
    copyBlock.insert(copyBlock.end(), moveBlock.begin(), moveBlock.end());
    ExpectLog(copyBlock);
}

// ---------------------------------------------------------------------------
// Trying again while another program holds a file

// A last error no call gives: a failure that sets none of its own shows.
const unsigned long kNoError = 0xdeadbeef;

long long MillisecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

// A sharing or lock violation passes when the program holding the file lets
// go, and is worth a second; access denied comes from a permission that
// will not change, and is worth one short wait. Other errors none.
TEST_F(EngineTest, RetriesWaitLongForAHeldFileAndBrieflyForAPermission)
{
    const std::string file = "C:\\lwtest\\Old\\Data.LW";
    if (HostIsSimulated()) {
#ifndef _WIN32
        struct Case {
            unsigned long error;
            unsigned long tries;
            unsigned long waited;
        } const cases[] = {
            {OS_ERROR_SHARING_VIOLATION, 5, 1000},
            {OS_ERROR_LOCK_VIOLATION, 5, 1000},
            {OS_ERROR_ACCESS_DENIED, 2, 100},
            {OS_ERROR_DISK_FULL, 1, 0},
        };
        for (const Case &c : cases) {
            SCOPED_TRACE(c.error);
            HostReset();
            HostWriteFile(file, "data");
            int fault = SimFailOperation(SIM_OP_DELETE_FILE, file.c_str(), c.error);
            OsSetLastError(kNoError);
            EXPECT_EQ(RetryWhileInUse(RETRY_DELETE, file.c_str(), nullptr, "Test"), 0);
            EXPECT_EQ(OsGetLastError(), c.error);
            EXPECT_EQ(SimFaultFired(fault, nullptr, 0), c.tries);
            EXPECT_EQ(SimCallCount(SIM_OP_DELETE_FILE), c.tries);
            EXPECT_EQ(SimSleptMilliseconds(), c.waited);
            EXPECT_TRUE(HostFileExists(file));
        }
#endif
        return;
    }
    // Under Wine the files are really held and really read-only, and the
    // waits take their time.
    HostWriteFile(file, "data");
    {
        HeldOpen held(file);
        OsSetLastError(kNoError);
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(RetryWhileInUse(RETRY_DELETE, file.c_str(), nullptr, "Test"), 0);
        EXPECT_GE(MillisecondsSince(start), 950);
        EXPECT_EQ(OsGetLastError(), (unsigned long)OS_ERROR_SHARING_VIOLATION);
    }
    ASSERT_NE(OsSetFileAttributes(file.c_str(), OS_FILE_ATTRIBUTE_READONLY), 0);
    OsSetLastError(kNoError);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(RetryWhileInUse(RETRY_DELETE, file.c_str(), nullptr, "Test"), 0);
    long long waited = MillisecondsSince(start);
    EXPECT_GE(waited, 95);
    EXPECT_LT(waited, 1000); // the wait for a held file is a second on its own
    EXPECT_EQ(OsGetLastError(), (unsigned long)OS_ERROR_ACCESS_DENIED);
    EXPECT_TRUE(HostFileExists(file));
}

// The check a caller gives is asked before each try after a wait, never
// before the first; once it fails, no further try is made and the error of
// the last try stays the one given.
TEST_F(EngineTest, RetryGivesUpOnceItsCheckNoLongerHolds)
{
    const std::string file = "C:\\lwtest\\Old\\Data.LW";
    HostWriteFile(file, "data");
    struct Check {
        int calls = 0;
        int holdsFor = 1; // calls that answer yes
        std::string path;
        static int Ask(const char *source, void *context)
        {
            Check *check = static_cast<Check *>(context);
            check->path = source;
            // The check reads files of its own; their errors are not the
            // operation's.
            OsSetLastError(OS_ERROR_FILE_NOT_FOUND);
            return ++check->calls <= check->holdsFor;
        }
    } check;
    HeldOpen held(file);
    OsSetLastError(kNoError);
    EXPECT_EQ(RetryWhileInUse(RETRY_DELETE, file.c_str(), nullptr, "Test", Check::Ask, &check), 0);
    EXPECT_EQ(check.calls, 2);
    EXPECT_EQ(check.path, file);
    EXPECT_EQ(OsGetLastError(), (unsigned long)OS_ERROR_SHARING_VIOLATION);
#ifndef _WIN32
    EXPECT_EQ(SimCallCount(SIM_OP_DELETE_FILE), 2u);
    EXPECT_EQ(SimSleptMilliseconds(), 300u);
#endif
    EXPECT_TRUE(HostFileExists(file));
}

} // namespace
