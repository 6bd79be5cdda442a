// An installation and a user named outside the ANSI code page: paths go
// through whole, settings hold them exactly, the log shows '?' for what its
// code page lacks. And one named within it gives the bytes it always gave.
#include "files/files.h"
#include "support/host.h"
#include "support/old_installation.h"
#include "support/log_reader.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <string>
#include <vector>

namespace {

using namespace expected;

const std::string kDocuments = "C:\\users\\U\u017cytkownik\\Documents";
const std::string kData = kDocuments + "\\Ledgerwick Data";
const std::string kOld = "C:\\Programy\\Ksi\u0119gowo\u015b\u0107";
const std::wstring kOldWide = L"C:\\Programy\\Ksi\u0119gowo\u015b\u0107";
const std::string kDataFile = "\u0141\u00f3d\u017a 2024.LW";
const std::string kBackup = "\u039b\u03bf\u03b3\u03b1\u03c1\u03b9\u03b1\u03c3\u03bc\u03bf\u03af.BK1";
const std::string kLetter = "\u4f1a\u8a08.RTF";

std::string Bytes(const std::string &tag)
{
    return tag + std::string("\0\r\n\xff\x1a\n", 6) + tag;
}

bool LogHasMessage(const std::vector<LogEntry> &entries, const std::string &message)
{
    for (const LogEntry &e : entries)
        if (e.message == message)
            return true;
    return false;
}

class UnicodeTest : public HostTest {
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        HostRegSetText(OS_HKEY_CURRENT_USER, "EnableDebugLog", "1");
    }

    static void LayOut(const std::string &old, const std::string &dataFile)
    {
        HostWriteFile(old + "\\ledgerwick.exe", Bytes("program"));
        HostWriteFile(old + "\\" + dataFile, Bytes("accounts"));
        HostWriteFile(old + "\\Backups\\" + kBackup, Bytes("bk1"));
        HostWriteFile(old + "\\Letters\\" + kLetter, Bytes("letter"));
        HostRegSetText(OS_HKEY_CURRENT_USER, "LastLedgerwickOpenedInDataFolder", (old + "\\" + dataFile).c_str());
    }
};

#ifdef _WIN32
// The expectations below of the log's bytes are those of code page 1252;
// the test scripts run Wine in a locale that gives it.
TEST_F(UnicodeTest, WineRunsWithTheWesternEuropeanCodePage)
{
    EXPECT_EQ(GetACP(), 1252u);
}
#endif

TEST_F(UnicodeTest, ProfileAndOldFolderInOtherScriptsAreCarriedOverExactly)
{
    HostSetDocumentsFolder(kDocuments);
    ASSERT_EQ(HostShellFolder(OS_CSIDL_PERSONAL), kDocuments);
    LayOut(kOld, kDataFile);
    ASSERT_NE(HostGetExports().UpgradeToVersion5W, nullptr);

    EXPECT_EQ(HostGetExports().UpgradeToVersion5W(4, kOldWide.c_str()), 0);

    EXPECT_EQ(HostTree(kData), (std::vector<std::string>{"Automated Backups\\" + kBackup, "Letters\\" + kLetter,
                                                          kDataFile}));
    EXPECT_EQ(HostReadFile(kData + "\\" + kDataFile), Bytes("accounts"));
    EXPECT_EQ(HostReadFile(kData + "\\Automated Backups\\" + kBackup), Bytes("bk1"));
    EXPECT_EQ(HostReadFile(kData + "\\Letters\\" + kLetter), Bytes("letter"));
    EXPECT_EQ(HostSettingText("DatafilePath"), kData);
    EXPECT_EQ(HostSettingText("LastLedgerwickOpenedInDataFolder"), kData + "\\" + kDataFile);

    // The readme names the data folder, which 1252 can't spell: UTF-8.
    EXPECT_FALSE(HostFolderExists(kOld));
    EXPECT_EQ(HostList(kOld + " OLD"), (std::vector<std::string>{"_Readme.txt", "\u0141\u00f3d\u017a 2024.OLD"}));
    EXPECT_EQ(HostReadFile(kOld + " OLD\\_Readme.txt"), "\xEF\xBB\xBF" + ReadmeBytes(kData));

    // The log in 1252: "ó" is there, the rest of what it lacks is '?'.
    std::vector<LogEntry> entries = ReadLogEntries();
    EXPECT_TRUE(LogHasMessage(entries, "OLDPath: C:\\Programy\\Ksi?gowo??"));
    EXPECT_TRUE(LogHasMessage(entries, "NEWPath: C:\\users\\U?ytkownik\\Documents\\Ledgerwick Data"));
    EXPECT_TRUE(LogHasMessage(entries, "LastLW: C:\\Programy\\Ksi?gowo??\\?\xF3" "d? 2024.LW"));
    EXPECT_TRUE(LogHasMessage(entries, "\t\tMOVE: Y - C:\\Programy\\Ksi?gowo??\\Letters\\??.RTF => "
                                       "C:\\users\\U?ytkownik\\Documents\\Ledgerwick Data\\Letters\\??.RTF"))
        << "the engine's line for the letter";
}

TEST_F(UnicodeTest, AnsiExportWithACodePagePathGivesTheSameBytesAsBefore)
{
    // "Contabilité": é is 0xE9 in 1252.
    const std::string old = "C:\\Programy\\Contabilit\u00e9";
    LayOut(old, "Accounts.LW");
    std::string data = HostShellFolder(OS_CSIDL_PERSONAL) + "\\Ledgerwick Data";

    EXPECT_EQ(HostGetExports().UpgradeToVersion5(4, "C:\\Programy\\Contabilit\xE9"), 0);

    EXPECT_EQ(HostReadFile(data + "\\Accounts.LW"), Bytes("accounts"));
    EXPECT_EQ(HostSettingText("LastLedgerwickOpenedInDataFolder"), data + "\\Accounts.LW");
    EXPECT_EQ(HostReadFile(old + " OLD\\_Readme.txt"), ReadmeBytes(data));
    std::vector<LogEntry> entries = ReadLogEntries();
    EXPECT_TRUE(LogHasMessage(entries, "OLDPath: C:\\Programy\\Contabilit\xE9"));
    EXPECT_TRUE(LogHasMessage(entries, "Renamed OLDPath to TempPath"));
}

// Windows counts a path's length in UTF-16 units, whatever the script: 259
// of them is a path, 260 is not, though both are far more UTF-8 bytes.
TEST_F(UnicodeTest, PathLengthIsCountedInUtf16Units)
{
    const std::string folder = "C:\\lwtest";
    HostMakeFolder(folder);
    for (size_t units : {259u, 260u}) {
        SCOPED_TRACE(units);
        std::string path = folder + "\\";
        // Components of 100 letters: a host file system takes 255 bytes a name.
        std::string name;
        size_t inComponent = 0;
        while (TextUtf16Length((path + name).c_str()) < units) {
            bool last = TextUtf16Length((path + name).c_str()) + 1 == units;
            name += last ? "x" : inComponent == 100 ? "\\" : "\u0119";
            inComponent = name.back() == '\\' ? 0 : inComponent + 1;
        }
        ASSERT_EQ(TextUtf16Length((path + name).c_str()), units);
        char built[OS_PATH_BUFFER];
        TextCopy(built, sizeof built, folder.c_str());
        int joined = OsPathAppend(built, name.c_str());
        EXPECT_EQ(joined, units < OS_MAX_PATH ? 1 : 0);
        EXPECT_EQ(std::string(built), units < OS_MAX_PATH ? path + name : folder) << "refused, never cut";
        if (units < OS_MAX_PATH) {
            // Made, and listed back whole: far more bytes than 260.
            size_t slash = (path + name).rfind('\\');
            std::string parent = (path + name).substr(0, slash);
            HostMakeFolder(parent);
            HostWriteFile(path + name, "x");
            EXPECT_EQ(HostList(parent), std::vector<std::string>{(path + name).substr(slash + 1)});
        }
    }
}

// Bytes that are no UTF-8 count one unit each, so text that is not text is
// never taken for a shorter path than its bytes could spell.
TEST(TextLengthTest, StrayBytesCountOneUnitEach)
{
    const std::string strays(700, '\x80');
    const struct {
        std::string text;
        size_t units;
    } cases[] = {
        {"C:\\" + strays, 703},          // stray continuation bytes
        {"\xF8\xF9\xFA\xFB\xFC\xFD\xFE\xFF", 8}, // bytes no UTF-8 uses
        {"\xC0\xAF", 2},                 // overlong "/"
        {"\xC3", 1},                      // lead byte at the end
        {"\xC3x", 2},                     // lead byte without its continuation
        {"\xE2\x82x", 3},
        {"\xF0\x9F\x98", 3},            // four-byte lead, cut short
        {"\xED\xA0\x80", 3},            // a surrogate's three bytes
        {"\xF4\x90\x80\x80", 4},       // above U+10FFFF
        {"\xC3\xA9", 1},                 // U+00E9
        {"\xE2\x82\xAC", 1},            // U+20AC
        {"\xF0\x9F\x98\x80", 2},       // U+1F600, a surrogate pair
        {"a\xF0\x9F\x98\x80\x80" "b", 5},
    };
    for (const auto &c : cases)
        EXPECT_EQ(TextUtf16Length(c.text.c_str()), c.units) << testing::PrintToString(c.text);

    // Such a path does not fit, and a refused copy or append leaves the
    // buffer as it was.
    const std::string longPath = "C:\\" + std::string(300, '\x80');
    EXPECT_EQ(TextFitsPath(longPath.c_str()), 0);
    char buffer[OS_PATH_BUFFER] = "C:\\kept";
    EXPECT_EQ(TextCopyPath(buffer, longPath.c_str()), 0);
    EXPECT_STREQ(buffer, "C:\\kept");
    EXPECT_EQ(TextAppendPath(buffer, std::string(300, '\xBF').c_str()), 0);
    EXPECT_STREQ(buffer, "C:\\kept");

    // An append is measured joined: a character cut at the seam is one unit
    // once whole, not its stray bytes counted on each side.
    std::string head = "C:\\", tail = "\xAC";
    for (int i = 0; i < 200; i++)
        head += "\xE2\x82\xAC";
    for (int i = 0; i < 55; i++)
        tail += "\xE2\x82\xAC";
    head += "\xE2\x82";
    ASSERT_EQ(TextUtf16Length((head + tail).c_str()), size_t{OS_MAX_PATH - 1});
    ASSERT_LT(TextUtf16Length((head + tail).c_str()), size_t{OS_MAX_PATH});
    ASSERT_GE(TextUtf16Length(head.c_str()) + TextUtf16Length(tail.c_str()), size_t{OS_MAX_PATH});
    ASSERT_TRUE(TextCopyPath(buffer, head.c_str()));
    EXPECT_EQ(TextAppendPath(buffer, tail.c_str()), 1);
    EXPECT_TRUE(buffer == head + tail) << "the join as it stands";
}

TEST_F(UnicodeTest, NamesDifferingOnlyInTheCaseOfAnyLetterAreEqual)
{
    struct {
        const char *a, *b;
        int equal;
    } cases[] = {
        {"Contabilit\u00e9", "CONTABILIT\u00c9", 1},
        {"Ksi\u0119gowo\u015b\u0107", "KSI\u0118GOWO\u015a\u0106", 1},
        {"\u039b\u03bf\u03b3\u03b1\u03c1\u03b9\u03b1\u03c3\u03bc\u03bf\u03af", "\u039b\u039f\u0393\u0391\u03a1\u0399\u0391\u03a3\u039c\u039f\u038a", 1},
        {"\u0423\u0447\u0451\u0442", "\u0423\u0427\u0401\u0422", 1},
        {"Ksi\u0119gowo\u015b\u0107", "Ksiegowosc", 0},
        {"\u4f1a\u8a08", "\u4f1a\u8a09", 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(OsNamesEqualNoCase(c.a, c.b), c.equal) << c.a << " / " << c.b;
}

// The file system finds a file by a name in another case of any letter, as
// it compares names.
TEST_F(UnicodeTest, FilesAreFoundByTheirNameInAnotherCaseOfAnyLetter)
{
    const std::string folder = "C:\\lwtest\\Ksi\u0119gowo\u015b\u0107";
    HostWriteFile(folder + "\\\u0141\u00f3d\u017a.LW", "books");
    EXPECT_TRUE(HostFileExists("C:\\lwtest\\KSI\u0118GOWO\u015a\u0106\\\u0141\u00d3D\u0179.lw"));
    EXPECT_TRUE(SamePath(folder.c_str(), "c:\\LWTEST\\ksi\u0119gowo\u015b\u0107"));
    EXPECT_FALSE(HostFileExists("C:\\lwtest\\Ksiegowosc\\Lodz.LW"));
}

} // namespace
