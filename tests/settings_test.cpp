// The settings store: the catalogue checked against the registry itself,
// reading with defaults and capacities, keep-existing writes, and values
// that do not fit their buffers.
#include "settings/settings.h"
#include "support/host.h"

#ifndef _WIN32
#include "platform/sim_host.h"
#endif

#include <string.h>
#include <string>

namespace {

OsRootKey OtherRoot(OsRootKey root)
{
    return root == OS_HKEY_CURRENT_USER ? OS_HKEY_LOCAL_MACHINE : OS_HKEY_CURRENT_USER;
}

std::string Stored(OsRootKey root, const char *name, unsigned long *type = nullptr)
{
    std::string bytes;
    EXPECT_TRUE(HostRegGet(root, name, &bytes, type)) << name << " missing";
    return bytes;
}

std::string Sz(const std::string &text)
{
    return text + std::string(1, '\0');
}

struct CatalogueRow {
    SettingId id;
    const char *name;
    OsRootKey root;
    const char *written;
    const char *stored; // the text as it lies in the registry
};

const OsRootKey HKCU = OS_HKEY_CURRENT_USER;
const OsRootKey HKLM = OS_HKEY_LOCAL_MACHINE;

const CatalogueRow kCatalogue[] = {
    {0, "DatafilePath", HKCU, "C:\\Users\\lw\\Documents\\Ledgerwick Data", nullptr},
    {1, "hWnd", HKCU, "65580", nullptr},
    {2, "LastLedgerwickOpenedInDataFolder", HKCU, "C:\\Ledgerwick Data\\Accounts.LW", nullptr},
    {3, "QIFFile", HKCU, "C:\\lwtest\\export.qif", nullptr},
    {4, "SMTPPort", HKCU, "25", nullptr},
    {5, "SMTPServer", HKCU, "mail.example.com", nullptr},
    {6, "State", HKCU, "NSW", nullptr},
    {7, "TaxNameInHelpDocs", HKCU, "GST", nullptr},
    {8, "User", HKCU, "Jo Bloggs", nullptr},
    {9, "UseSunkenControls", HKCU, "1", nullptr},
    {10, "OKToLoadID", HKCU, "Y", nullptr},
    {11, "AllowShiftKeyBypass", HKCU, "0", nullptr},
    {12, "RunDemo", HKCU, "False", nullptr},
    {13, "FileToOpen", HKCU, "C:\\lwtest\\open.LW", nullptr},
    {14, "EnableDebugLog", HKCU, "True", nullptr},
    {15, "LCVer", HKLM, "5.0", nullptr},
    {16, "InstallerFilename", HKLM, "setup-lc5.exe", nullptr},
    {17, "InstallPath", HKLM, "C:\\Program Files\\Ledgerwick", nullptr},
    {18, "StartAccessPath", HKLM, "C:\\Program Files\\Access", nullptr},
    {19, "SMTPUsername", HKCU, "jo", nullptr},
    {20, "SMTPPassword", HKCU, "foobar", "Zm9vYmFy"},
};

class SettingsTest : public HostTest {};

TEST_F(SettingsTest, CatalogueNamesRootsAndStoredForm)
{
    ASSERT_EQ(sizeof kCatalogue / sizeof kCatalogue[0], (size_t)SETTING_COUNT);
    for (const CatalogueRow &row : kCatalogue) {
        SCOPED_TRACE(row.name);
        EXPECT_STREQ(SettingCatalogue[row.id], row.name);
        EXPECT_EQ(SettingRootKey(row.id), row.root);
        EXPECT_EQ(WriteSetting(row.id, row.written, 1), 1);
    }
    // Only after every write: no id lands in another id's value or root.
    for (const CatalogueRow &row : kCatalogue) {
        SCOPED_TRACE(row.name);
        unsigned long type = 0;
        EXPECT_EQ(Stored(row.root, row.name, &type), Sz(row.stored ? row.stored : row.written));
        EXPECT_EQ(type, (unsigned long)OS_REG_SZ);
        EXPECT_FALSE(HostRegGet(OtherRoot(row.root), row.name, nullptr));
        char text[300];
        EXPECT_EQ(ReadSetting(row.id, text, sizeof text, ""), (int)strlen(row.written) + 1);
        EXPECT_STREQ(text, row.written);
    }
}

TEST_F(SettingsTest, KeyPathIsTheSameForEveryId)
{
    for (SettingId id = 0; id < SETTING_COUNT; id++) {
        char path[128] = "junk";
        EXPECT_EQ(SettingsKeyPath(id, path, sizeof path), 1);
        EXPECT_STREQ(path, "SOFTWARE\\Velmora Software Ltd\\Ledgerwick Complete\\Settings");
    }
    char small[10] = "junk";
    EXPECT_EQ(SettingsKeyPath(0, small, sizeof small), 0);
    EXPECT_STREQ(small, "junk");
}

TEST_F(SettingsTest, IdsOutsideTheCatalogueTouchNothing)
{
    for (SettingId id : {-1, (int)SETTING_COUNT, 1000}) {
        char text[16] = "junk";
        EXPECT_EQ(ReadSetting(id, text, sizeof text, "dflt"), 0);
        EXPECT_STREQ(text, "");
        EXPECT_EQ(WriteSetting(id, "x", 1), 0);
    }
}

TEST_F(SettingsTest, MissingOrEmptyValueGivesTheDefault)
{
    char text[32] = "junk";
    EXPECT_EQ(ReadSetting(SETTING_USER, text, sizeof text, ""), 0);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(ReadSetting(SETTING_USER, text, sizeof text, nullptr), 0);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(ReadSetting(SETTING_USER, text, sizeof text, "Nobody"), 7);
    EXPECT_STREQ(text, "Nobody");

    HostRegSetText(HKCU, "User", "");
    EXPECT_EQ(ReadSetting(SETTING_USER, text, sizeof text, "Nobody"), 7);
    EXPECT_STREQ(text, "Nobody");
    EXPECT_EQ(ReadSetting(SETTING_USER, text, sizeof text, ""), 0);
    EXPECT_STREQ(text, "");
    // Reading never creates anything.
    EXPECT_FALSE(HostRegGet(HKLM, "LCVer", nullptr));
    EXPECT_EQ(ReadSetting(SETTING_LC_VER, text, sizeof text, ""), 0);
    EXPECT_FALSE(HostRegGet(HKLM, "LCVer", nullptr));
}

TEST_F(SettingsTest, CapacityZeroLeavesTheDestinationAlone)
{
    HostRegSetText(HKCU, "User", "Jo");
    char text[8] = "junk";
    EXPECT_EQ(ReadSetting(SETTING_USER, text, 0, "dflt"), 0);
    EXPECT_STREQ(text, "junk");
}

TEST_F(SettingsTest, DefaultThatDoesNotFitIsRefusedWhole)
{
    char text[16];
    memset(text, 'x', sizeof text);
    EXPECT_EQ(ReadSetting(SETTING_USER, text, 5, "toolong"), 0);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(text[5], 'x');
}

struct RawCase {
    const char *what;
    unsigned long type;
    std::string bytes;
    unsigned long capacity;
    const char *text; // delivered; "d" is the default
    int result;
};

// Whatever the type, the stored bytes are the text; a terminator is never
// assumed, and a text that needs more than capacity bytes is not delivered.
TEST_F(SettingsTest, StoredBytesOfAnyTypeReadWithinTheirBuffers)
{
    const RawCase cases[] = {
        {"9 characters fit capacity 10", OS_REG_SZ, Sz("123456789"), 10, "123456789", 10},
        {"10 characters do not", OS_REG_SZ, Sz("1234567890"), 10, "d", 2},
        {"number with a non-zero low byte", OS_REG_DWORD, std::string("\x05\0\0\0", 4), 10, "\x05", 4},
        {"number without any zero byte", OS_REG_DWORD, "DCBA", 10, "DCBA", 4},
        {"number zero is empty", OS_REG_DWORD, std::string(4, '\0'), 10, "d", 2},
        {"binary filling the capacity", OS_REG_BINARY, "ABCDEFGHIJ", 10, "d", 2},
        {"binary one short of it", OS_REG_BINARY, "ABCDEFGHI", 10, "ABCDEFGHI", 9},
        {"text without terminator filling it", OS_REG_SZ, "ABCDEFGHIJ", 10, "d", 2},
        {"binary larger than the capacity", OS_REG_BINARY, std::string(40, 'Q'), 10, "d", 2},
        {"embedded zero ends the text", OS_REG_BINARY, std::string("ab\0cd", 5), 10, "ab", 5},
        {"number filling capacity 4", OS_REG_DWORD, "DCBA", 4, "d", 2},
        {"capacity 1 holds only the empty text", OS_REG_SZ, Sz("A"), 1, "", 0},
    };
    for (const RawCase &c : cases) {
        SCOPED_TRACE(c.what);
        HostRegSet(HKCU, "QIFFile", c.type, c.bytes.data(), (unsigned long)c.bytes.size());
        // The destination is exactly capacity bytes, followed by a guard.
        std::string buffer(c.capacity + 16, '\x5A');
        int result = ReadSetting(SETTING_QIF_FILE, &buffer[0], c.capacity, c.capacity > 1 ? "d" : "");
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(buffer.substr(c.capacity), std::string(16, '\x5A'));
        ASSERT_LT(strnlen(buffer.data(), c.capacity), (size_t)c.capacity);
        EXPECT_STREQ(buffer.c_str(), c.text);
    }
}

TEST_F(SettingsTest, PasswordIsStoredInBase64AndReadAsPlainText)
{
    // The Base64 is of the ANSI code page's bytes ("\xe9" for "\u00e9"), as
    // the application reads it, while the library's text is UTF-8.
    EXPECT_EQ(WriteSetting(SETTING_SMTP_PASSWORD, "s3cr\u00e9t!", 1), 1);
    EXPECT_EQ(Stored(HKCU, "SMTPPassword"), Sz("czNjcul0IQ=="));
    char text[64];
    EXPECT_EQ(ReadSetting(SETTING_SMTP_PASSWORD, text, sizeof text, ""), 9);
    EXPECT_STREQ(text, "s3cr\u00e9t!");
    // No other setting is encoded; text settings are Unicode, given as UTF-8.
    EXPECT_EQ(WriteSetting(SETTING_SMTP_USERNAME, "s3cr\u00e9t!", 1), 1);
    EXPECT_EQ(Stored(HKCU, "SMTPUsername"), Sz("s3cr\u00e9t!"));
}

TEST_F(SettingsTest, StoredPasswordOfOddLengthReadsAsInvalidMarker)
{
    HostRegSetText(HKCU, "SMTPPassword", "abcde");
    char text[64];
    EXPECT_EQ(ReadSetting(SETTING_SMTP_PASSWORD, text, sizeof text, ""), 18);
    EXPECT_STREQ(text, "#### Invalid ####");
    EXPECT_EQ(ReadSetting(SETTING_SMTP_PASSWORD, text, 18, ""), 18);
    EXPECT_STREQ(text, "#### Invalid ####");
    // A capacity too small for the marker gets the default, not an overrun.
    std::string buffer(17 + 16, '\x5A');
    EXPECT_EQ(ReadSetting(SETTING_SMTP_PASSWORD, &buffer[0], 17, "d"), 2);
    EXPECT_STREQ(buffer.c_str(), "d");
    EXPECT_EQ(buffer.substr(17), std::string(16, '\x5A'));
    // The marker is text: a keep-existing write leaves the value alone.
    EXPECT_EQ(WriteSetting(SETTING_SMTP_PASSWORD, "new", 0), 1);
    EXPECT_EQ(Stored(HKCU, "SMTPPassword"), Sz("abcde"));
}

TEST_F(SettingsTest, StoredPasswordDecodingToNothingReadsAsMissing)
{
    HostRegSetText(HKCU, "SMTPPassword", "====");
    char text[64] = "junk";
    EXPECT_EQ(ReadSetting(SETTING_SMTP_PASSWORD, text, sizeof text, ""), 0);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(ReadSetting(SETTING_SMTP_PASSWORD, text, sizeof text, "dflt"), 5);
    EXPECT_STREQ(text, "dflt");
}

enum Existing { ABSENT, EMPTY, HOLDS_TEXT, NUMBER_ZERO, TOO_LARGE };

struct OverwriteCase {
    Existing existing;
    int overwrite;
    bool replaced;
};

TEST_F(SettingsTest, KeepExistingLeavesOnlyAValueWithTextAlone)
{
    const OverwriteCase cases[] = {
        {ABSENT, 0, true},      {ABSENT, 1, true},
        {EMPTY, 0, true},       {EMPTY, 1, true},
        {HOLDS_TEXT, 0, false}, {HOLDS_TEXT, 1, true},
        {NUMBER_ZERO, 0, true}, {NUMBER_ZERO, 1, true},
        // Too large to read in 2048 bytes: counts as missing.
        {TOO_LARGE, 0, true},   {TOO_LARGE, 1, true},
    };
    const std::string large = Sz(std::string(3000, 'L'));
    for (const OverwriteCase &c : cases) {
        SCOPED_TRACE(testing::Message() << "existing " << c.existing << " overwrite " << c.overwrite);
        HostRegDelete(HKCU, "State");
        std::string before;
        unsigned long beforeType = OS_REG_SZ;
        switch (c.existing) {
        case ABSENT: break;
        case EMPTY: before = Sz(""); break;
        case HOLDS_TEXT: before = Sz("old"); break;
        case NUMBER_ZERO: before = std::string(4, '\0'); beforeType = OS_REG_DWORD; break;
        case TOO_LARGE: before = large; break;
        }
        if (c.existing != ABSENT)
            HostRegSet(HKCU, "State", beforeType, before.data(), (unsigned long)before.size());
        EXPECT_EQ(WriteSetting(SETTING_STATE, "new", c.overwrite), 1);
        unsigned long type = 0;
        EXPECT_EQ(Stored(HKCU, "State", &type), c.replaced ? Sz("new") : before);
        EXPECT_EQ(type, c.replaced ? (unsigned long)OS_REG_SZ : beforeType);
    }
}

TEST_F(SettingsTest, NoTextStoresTheEmptyText)
{
    HostRegSetText(HKCU, "FileToOpen", "C:\\lwtest\\a.LW");
    EXPECT_EQ(WriteSetting(SETTING_FILE_TO_OPEN, nullptr, 1), 1);
    unsigned long type = 0;
    EXPECT_EQ(Stored(HKCU, "FileToOpen", &type), Sz(""));
    EXPECT_EQ(type, (unsigned long)OS_REG_SZ);
}

TEST_F(SettingsTest, EmptyHandleKeepsAnExistingOne)
{
    EXPECT_EQ(WriteSetting(SETTING_HWND, "", 0), 1);
    EXPECT_EQ(Stored(HKCU, "hWnd"), Sz(""));
    HostRegSetText(HKCU, "hWnd", "12345");
    EXPECT_EQ(WriteSetting(SETTING_HWND, "", 0), 1);
    EXPECT_EQ(Stored(HKCU, "hWnd"), Sz("12345"));
}

TEST_F(SettingsTest, LongestTextIsStoredWholeAndLongerIsRefused)
{
    const std::string longest(2047, 'p');
    EXPECT_EQ(WriteSetting(SETTING_DATAFILE_PATH, longest.c_str(), 1), 1);
    EXPECT_EQ(Stored(HKCU, "DatafilePath"), Sz(longest));
    std::string text(2048, '\0');
    EXPECT_EQ(ReadSetting(SETTING_DATAFILE_PATH, &text[0], 2048, ""), 2048);
    EXPECT_EQ(std::string(text.c_str()), longest);

    // Cutting would store a wrong path: the old value stays.
    const std::string tooLong(2048, 'q');
    for (int overwrite : {0, 1}) {
        HostRegSetText(HKCU, "DatafilePath", "C:\\kept");
        EXPECT_EQ(WriteSetting(SETTING_DATAFILE_PATH, tooLong.c_str(), overwrite), overwrite ? 0 : 1);
        EXPECT_EQ(Stored(HKCU, "DatafilePath"), Sz("C:\\kept"));
    }
    HostRegDelete(HKCU, "DatafilePath");
    EXPECT_EQ(WriteSetting(SETTING_DATAFILE_PATH, tooLong.c_str(), 0), 0);
    EXPECT_FALSE(HostRegGet(HKCU, "DatafilePath", nullptr));
}

TEST_F(SettingsTest, PasswordWhoseEncodingIsTooLongIsRefused)
{
    // 1533 bytes encode to 2044 characters; 1534 to 2048, one too many. The
    // bytes are those of the ANSI code page: "\u00e9" counts one.
    std::string longest;
    for (size_t i = 0; i < 1533; i++)
        longest += i % 3 == 0 ? std::string("\u00e9") : std::string(1, (char)('!' + i % 90));
    EXPECT_EQ(WriteSetting(SETTING_SMTP_PASSWORD, longest.c_str(), 1), 1);
    EXPECT_EQ(Stored(HKCU, "SMTPPassword").size(), 2045u);
    std::string text(4096, '\0');
    EXPECT_EQ(ReadSetting(SETTING_SMTP_PASSWORD, &text[0], 4096, ""), (int)longest.size() + 1);
    EXPECT_EQ(std::string(text.c_str()), longest);

    HostRegSetText(HKCU, "SMTPPassword", "a2VwdA=="); // "kept"
    EXPECT_EQ(WriteSetting(SETTING_SMTP_PASSWORD, (longest + "x").c_str(), 1), 0);
    EXPECT_EQ(Stored(HKCU, "SMTPPassword"), Sz("a2VwdA=="));
}

// A settings key whose security forbids writing: the write is refused and
// reported, what the key holds is still read, and the registry call gives its
// error as its status, leaving the last error alone.
TEST_F(SettingsTest, KeyThatRefusesWritesIsReadButNotWritten)
{
    HostRegSetText(HKCU, "User", "Jo");
    ASSERT_TRUE(HostMakeSettingsKeyReadOnly(HKCU));

    EXPECT_EQ(WriteSetting(SETTING_USER, "Sam", 1), 0);
    EXPECT_EQ(WriteSetting(SETTING_STATE, "NSW", 0), 0);
    EXPECT_EQ(Stored(HKCU, "User"), Sz("Jo"));
    EXPECT_FALSE(HostRegGet(HKCU, "State", nullptr));
    char text[16] = "";
    EXPECT_EQ(ReadSetting(SETTING_USER, text, sizeof text, ""), 3);
    EXPECT_STREQ(text, "Jo");

    OsKey key;
    OsSetLastError(1234);
    EXPECT_EQ(OsRegCreateKey(HKCU, kSettingsKey, &key), OS_ERROR_ACCESS_DENIED);
    EXPECT_EQ(OsGetLastError(), 1234u);
    // A handle opened for reading refuses writes and deletions as well.
    ASSERT_EQ(OsRegOpenKey(HKCU, kSettingsKey, &key), 0);
    const unsigned char sam[] = "Sam";
    EXPECT_EQ(OsRegSetValueEx(key, "User", OS_REG_SZ, sam, sizeof sam), OS_ERROR_ACCESS_DENIED);
    EXPECT_EQ(OsRegDeleteValue(key, "User"), OS_ERROR_ACCESS_DENIED);
    OsRegCloseKey(key);
    EXPECT_EQ(Stored(HKCU, "User"), Sz("Jo"));

    // The machine's key is another key: still written.
    EXPECT_EQ(WriteSetting(SETTING_LC_VER, "5.0", 1), 1);
    EXPECT_EQ(Stored(HKLM, "LCVer"), Sz("5.0"));

    // A reset gives a key that is written again.
    HostReset();
    EXPECT_EQ(WriteSetting(SETTING_USER, "Sam", 1), 1);
    EXPECT_EQ(Stored(HKCU, "User"), Sz("Sam"));
}

#ifndef _WIN32

TEST_F(SettingsTest, UnwritableMachineRootIsReportedAndLeftAlone)
{
    SimSetRegistryWritable(HKLM, 0);
    EXPECT_EQ(WriteSetting(SETTING_INSTALLER_FILENAME, "setup.exe", 1), 0);
    EXPECT_FALSE(HostRegGet(HKLM, "InstallerFilename", nullptr));
    // The per-user root is unaffected.
    EXPECT_EQ(WriteSetting(SETTING_USER, "Jo", 1), 1);
    EXPECT_EQ(Stored(HKCU, "User"), Sz("Jo"));
    SimSetRegistryWritable(HKLM, 1);
}

TEST_F(SettingsTest, NoScratchMemoryDeliversNothing)
{
    HostRegSetText(HKCU, "User", "Jo");
    char text[16] = "junk";
    SimFailAllocAfter(0);
    EXPECT_EQ(ReadSetting(SETTING_USER, text, sizeof text, "dflt"), 0);
    EXPECT_STREQ(text, "");

    // The password's second scratch fails: the same.
    HostRegSetText(HKCU, "SMTPPassword", "Zm9vYmFy");
    strcpy(text, "junk");
    SimFailAllocAfter(1);
    EXPECT_EQ(ReadSetting(SETTING_SMTP_PASSWORD, text, sizeof text, "dflt"), 0);
    EXPECT_STREQ(text, "");
    SimClearFaults();
    EXPECT_EQ(ReadSetting(SETTING_SMTP_PASSWORD, text, sizeof text, "dflt"), 7);
    EXPECT_STREQ(text, "foobar");
}

#endif

} // namespace
