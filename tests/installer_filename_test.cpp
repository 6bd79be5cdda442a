// The installer file-name capture: which line of the list file counts, what
// of it is kept, and when the InstallerFilename setting is left alone.
#include "installer/installer.h"
#include "support/host.h"

#ifndef _WIN32
#include "platform/sim_host.h"
#endif

#include <initializer_list>
#include <string>
#include <utility>

namespace {

const char *const kPrevious = "Previous.exe";

class InstallerFilenameTest : public HostTest {
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        // Every case starts from an earlier value, so "nothing stored" and
        // "replaced" can be told apart.
        HostRegSetText(OS_HKEY_LOCAL_MACHINE, "InstallerFilename", kPrevious);
    }

    static void Capture(const char *listPath)
    {
        const HostExports &exports = HostGetExports();
        if (exports.GetInstallerFilename)
            exports.GetInstallerFilename(listPath);
        else
            LedgerwickInstaller_GetInstallerFilename(listPath);
    }

    // The stored text, or "(missing)".
    static std::string Stored()
    {
        std::string bytes;
        unsigned long type = 0;
        if (!HostRegGet(OS_HKEY_LOCAL_MACHINE, "InstallerFilename", &bytes, &type))
            return "(missing)";
        EXPECT_EQ(type, static_cast<unsigned long>(OS_REG_SZ));
        return std::string(bytes.c_str());
    }
};

struct ListCase {
    const char *what;
    std::string content;
    const char *stored; // null: the earlier value stays
};

TEST_F(InstallerFilenameTest, SourceLineGivesTheStoredName)
{
    const std::string longLine(3000, 'L');
    const ListCase cases[] = {
        {"plain", "Source: C:\\Setup\\Disk1\\Setup.exe|1234\r\n", "Setup.exe"},
        {"prefix in capitals, spaces before the bar", "SOURCE: C:\\Setup\\Setup.exe   |x\r\n", "Setup.exe"},
        {"UNC path", "source: \\\\server\\share\\Install.exe|x\r\n", "Install.exe"},
        {"after other lines", "[Files]\r\nName: Ledgerwick\r\nSource: C:\\Setup\\Disk1\\Setup.exe|1\r\n", "Setup.exe"},
        {"no backslash", "Source: Setup.exe|x\r\n", nullptr},
        {"file in a drive root", "Source: D:\\Setup.exe|x\r\n", nullptr},
        {"path ends in a backslash", "Source: C:\\Setup\\|x\r\n", nullptr},
        {"empty value ends the search", "Source: |x\r\nSource: C:\\Setup\\Late.exe|x\r\n", nullptr},
        {"only blanks before the bar", "Source:    |x\r\nSource: C:\\Setup\\Late.exe|x\r\n", nullptr},
        {"no space after the colon", "Source:C:\\Setup\\Setup.exe|x\r\nSource: C:\\Setup\\Second.exe|x\r\n",
         "Second.exe"},
        {"space before the prefix", " Source: C:\\Setup\\Setup.exe|x\r\nSource: C:\\Setup\\Next.exe|x\r\n",
         "Next.exe"},
        {"first of two counts", "Source: C:\\Setup\\First.exe|x\r\nSource: C:\\Setup\\Second.exe|x\r\n",
         "First.exe"},
        {"first of two gives no name", "Source: Setup.exe|x\r\nSource: C:\\Setup\\Second.exe|x\r\n", nullptr},
        {"last line without line break", "[Files]\r\nSource: C:\\Setup\\Last.exe|x", "Last.exe"},
        {"last line without bar or line break", "[Files]\r\nSource: C:\\Setup\\Last.exe", "Last.exe"},
        {"bare prefix at the end of the file", "[Files]\r\nSource: ", nullptr},
        {"empty file", "", nullptr},
        {"no Source line", "[Files]\r\nDest: C:\\Program Files\\Setup.exe|x\r\n", nullptr},
        // Trailing white space, line breaks included, never reaches the name.
        {"no bar, CR LF", "Source: C:\\Setup\\Setup.exe\r\nNext: x\r\n", "Setup.exe"},
        {"no bar, LF", "Source: C:\\Setup\\Setup.exe\nNext: x\n", "Setup.exe"},
        {"no bar, trailing blanks and tabs", "Source: C:\\Setup\\Setup.exe \t \r\n", "Setup.exe"},
        {"tab before the bar", "Source: C:\\Setup\\Setup.exe\t|x\r\n", "Setup.exe"},
        {"spaces inside the name stay", "Source: C:\\Setup\\My Setup.exe |x\r\n", "My Setup.exe"},
        {"line longer than the read buffer", longLine + "\r\nSource: C:\\Setup\\After.exe|x\r\n", "After.exe"},
        // Read 2047 characters at a time, each piece counts as a line.
        {"prefix at the start of a later piece", std::string(2047, 'L') + "Source: C:\\Setup\\Piece.exe|x\r\n",
         "Piece.exe"},
    };
    int index = 0;
    for (const ListCase &c : cases) {
        HostRegSetText(OS_HKEY_LOCAL_MACHINE, "InstallerFilename", kPrevious);
        const std::string list = "C:\\lwtest\\list" + std::to_string(index++) + ".txt";
        HostWriteFile(list, c.content);
        Capture(list.c_str());
        EXPECT_EQ(Stored(), c.stored ? c.stored : kPrevious) << c.what;
        // The list file was closed again: nothing holds it open.
        EXPECT_NE(OsDeleteFile(list.c_str()), 0) << c.what;
    }
    EXPECT_FALSE(HostRegGet(OS_HKEY_CURRENT_USER, "InstallerFilename", nullptr));
}

// A UTF-16 list file (with its byte-order mark) of ASCII text and single
// units: a number below 0x80 is a character, any other a unit as it is.
std::string Utf16List(std::initializer_list<std::pair<const char *, unsigned>> parts)
{
    std::string bytes = "\xFF\xFE";
    auto unit = [&bytes](unsigned u) {
        bytes += static_cast<char>(u & 0xFF);
        bytes += static_cast<char>(u >> 8);
    };
    for (const auto &part : parts) {
        for (const char *c = part.first; *c; c++)
            unit(static_cast<unsigned char>(*c));
        if (part.second)
            unit(part.second);
    }
    return bytes;
}

// An unpaired surrogate is no character: a Source path holding one is
// refused like any other text that is not text, and it takes nothing of what
// follows it with it. A pair is one character as usual.
TEST_F(InstallerFilenameTest, Utf16ListRefusesUnpairedSurrogatesAndKeepsWhatFollows)
{
    const ListCase cases[] = {
        {"high surrogate before a line feed", Utf16List({{"[Setup]", 0xD800}, {"\nSource: C:\\Setup\\setup.exe", 0}}),
         "setup.exe"},
        {"high surrogate before a backslash", Utf16List({{"Source: C:\\Downloads\\a", 0xD800}, {"\\setup.exe", 0}}),
         nullptr},
        {"high surrogate before a letter", Utf16List({{"Source: C:\\S\\", 0xD800}, {"x.exe", 0}}), nullptr},
        {"low surrogate alone", Utf16List({{"Source: C:\\S\\", 0xDC00}, {"x.exe", 0}}), nullptr},
        {"high surrogate at the end", Utf16List({{"Source: C:\\S\\x.exe", 0xDBFF}}), nullptr},
        {"two high surrogates", Utf16List({{"Source: C:\\S\\", 0xD800}, {"", 0xD800}, {"x.exe", 0}}), nullptr},
        {"surrogate on an earlier line", Utf16List({{"Name: a", 0xD800}, {"\r\nSource: C:\\S\\Setup.exe|x\r\n", 0}}),
         "Setup.exe"},
        {"surrogate after the bar", Utf16List({{"Source: C:\\S\\Setup.exe|", 0xDC00}, {"\r\n", 0}}), "Setup.exe"},
        {"a pair is one character",
         Utf16List({{"Source: C:\\S\\", 0xD83D}, {"", 0xDE00}, {"x.exe|x\r\n", 0}}), "\U0001F600x.exe"},
    };
    int index = 0;
    for (const ListCase &c : cases) {
        HostRegSetText(OS_HKEY_LOCAL_MACHINE, "InstallerFilename", kPrevious);
        const std::string list = "C:\\lwtest\\utf16-" + std::to_string(index++) + ".txt";
        HostWriteFile(list, c.content);
        Capture(list.c_str());
        EXPECT_EQ(Stored(), c.stored ? c.stored : kPrevious) << c.what;
    }
}

TEST_F(InstallerFilenameTest, ValueUpToItsBufferIsTakenLongerIsRefused)
{
    // "C:\" + folder + "\Setup.exe": 13 characters around the folder name.
    struct Case {
        size_t valueLength;
        bool stored;
    } cases[] = {{259, true}, {260, false}, {1000, false}, {2100, false}};
    for (const Case &c : cases) {
        HostRegSetText(OS_HKEY_LOCAL_MACHINE, "InstallerFilename", kPrevious);
        const std::string value = "C:\\" + std::string(c.valueLength - 13, 'f') + "\\Setup.exe";
        ASSERT_EQ(value.size(), c.valueLength);
        HostWriteFile("C:\\lwtest\\long.txt", "Source: " + value + "|x\r\n");
        Capture("C:\\lwtest\\long.txt");
        EXPECT_EQ(Stored(), c.stored ? "Setup.exe" : kPrevious) << c.valueLength;
    }
}

TEST_F(InstallerFilenameTest, TrailingBlanksDoNotCountTowardsTheLimit)
{
    const std::string value = "C:\\" + std::string(246, 'f') + "\\Setup.exe"; // 259
    HostWriteFile("C:\\lwtest\\long.txt", "Source: " + value + std::string(40, ' ') + "|x\r\n");
    Capture("C:\\lwtest\\long.txt");
    EXPECT_EQ(Stored(), "Setup.exe");
}

TEST_F(InstallerFilenameTest, NoListFileLeavesTheSettingAlone)
{
    Capture(nullptr);
    Capture("");
    Capture("C:\\lwtest\\missing.txt");
    Capture("C:\\lwtest\\no such folder\\list.txt");
    EXPECT_EQ(Stored(), kPrevious);
}

TEST_F(InstallerFilenameTest, MissingSettingIsCreatedUnderLocalMachine)
{
    HostRegDelete(OS_HKEY_LOCAL_MACHINE, "InstallerFilename");
    HostWriteFile("C:\\lwtest\\list.txt", "Source: C:\\Setup\\Setup.exe|x\r\n");
    Capture("C:\\lwtest\\list.txt");
    std::string bytes;
    unsigned long type = 0;
    ASSERT_TRUE(HostRegGet(OS_HKEY_LOCAL_MACHINE, "InstallerFilename", &bytes, &type));
    EXPECT_EQ(type, static_cast<unsigned long>(OS_REG_SZ));
    EXPECT_EQ(std::string(bytes.c_str()), "Setup.exe");
    EXPECT_FALSE(HostRegGet(OS_HKEY_CURRENT_USER, "InstallerFilename", nullptr));
}

TEST_F(InstallerFilenameTest, ListFileIsClosedOnEveryPath)
{
    if (!HostIsSimulated())
        GTEST_SKIP() << "counts host calls";
#ifndef _WIN32
    HostWriteFile("C:\\lwtest\\found.txt", "Source: C:\\Setup\\Setup.exe|x\r\n");
    HostWriteFile("C:\\lwtest\\none.txt", "nothing here\r\n");
    HostWriteFile("C:\\lwtest\\noname.txt", "Source: Setup.exe|x\r\n");
    unsigned long opened = SimCallCount(SIM_OP_FOPEN), closed = SimCallCount(SIM_OP_FCLOSE);
    Capture("C:\\lwtest\\found.txt");
    Capture("C:\\lwtest\\none.txt");
    Capture("C:\\lwtest\\noname.txt");
    EXPECT_EQ(SimCallCount(SIM_OP_FOPEN) - opened, 3u);
    EXPECT_EQ(SimCallCount(SIM_OP_FCLOSE) - closed, 3u);
#endif
}

TEST_F(InstallerFilenameTest, WriteRefusedUnderLocalMachineChangesNothing)
{
    if (!HostIsSimulated())
        GTEST_SKIP() << "needs a read-only registry root";
#ifndef _WIN32
    SimSetRegistryWritable(OS_HKEY_LOCAL_MACHINE, 0);
    HostWriteFile("C:\\lwtest\\list.txt", "Source: C:\\Setup\\Setup.exe|x\r\n");
    Capture("C:\\lwtest\\list.txt");
    EXPECT_EQ(Stored(), kPrevious);
#endif
}

} // namespace
