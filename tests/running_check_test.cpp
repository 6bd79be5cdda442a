// The running-instance check, through the export as a setup program calls
// it: real windows under Wine, simulated ones natively, their handles stored
// in hWnd as the application stores them (decimal text).
#include "installer/installer.h"
#include "settings/settings.h"
#include "support/host.h"

#include <limits.h>
#include <string.h>
#include <string>
#include <vector>

namespace {

std::string HandleText(OsWindow window)
{
    return std::to_string(static_cast<long long>(static_cast<intptr_t>(window)));
}

class RunningCheckTest : public HostTest {
protected:
    void TearDown() override
    {
        for (OsWindow window : windows_)
            HostDestroyWindow(window);
        HostTest::TearDown();
    }

    OsWindow Window(const std::string &title)
    {
        OsWindow window = HostCreateWindow(title.c_str());
        windows_.push_back(window);
        return window;
    }

    static int IsRunning()
    {
        // The loaded DLL where there is one, the linked function otherwise.
        if (HostGetExports().IsRunning)
            return HostGetExports().IsRunning();
        return LedgerwickInstaller_IsLedgerwickCompleteAlreadyRunning();
    }

    static bool StoredHandle(std::string *text)
    {
        std::string bytes;
        if (!HostRegGet(OS_HKEY_CURRENT_USER, "hWnd", &bytes))
            return false;
        EXPECT_TRUE(!bytes.empty() && bytes.back() == '\0') << "hWnd is not a terminated text";
        *text = bytes.c_str();
        return true;
    }

    std::vector<OsWindow> windows_;
};

struct TitleCase {
    std::string title;
    int running;
};

TEST_F(RunningCheckTest, LiveWindowIsFoundByItsTitleInAnyCase)
{
    const std::string product = "Ledgerwick Complete";
    const TitleCase cases[] = {
        {product, 1},
        {product + " - [C:\\Ledgerwick Data\\Accounts.LW]", 1},
        {"LEDGERWICK COMPLETE", 1},
        {"About ledgerWICK cOMPLETE 5", 1},
        // Only 254 characters of the title take part.
        {std::string(235, 'x') + product, 1},
        {std::string(236, 'x') + product, 0},
        {"Ledgerwick", 0},
        {"Ledgerwick  Complete", 0},
        {"Notepad", 0},
        {"", 0},
    };
    for (const TitleCase &c : cases) {
        SCOPED_TRACE(c.title);
        OsWindow window = Window(c.title);
        ASSERT_NE(window, 0u);
        const std::string handle = HandleText(window);
        HostRegSetText(OS_HKEY_CURRENT_USER, "hWnd", handle.c_str());
        EXPECT_EQ(IsRunning(), c.running);
        std::string stored;
        ASSERT_TRUE(StoredHandle(&stored));
        // A live handle is left alone; one naming another window is stale.
        EXPECT_EQ(stored, c.running ? handle : "0");
    }
}

TEST_F(RunningCheckTest, HandleOfAClosedWindowIsResetOnce)
{
    OsWindow window = Window("Ledgerwick Complete");
    const std::string handle = HandleText(window);
    HostDestroyWindow(window);
    windows_.clear();
    HostRegSetText(OS_HKEY_CURRENT_USER, "hWnd", handle.c_str());

    EXPECT_EQ(IsRunning(), 0);
    std::string stored;
    ASSERT_TRUE(StoredHandle(&stored));
    EXPECT_EQ(stored, "0");
    EXPECT_EQ(IsRunning(), 0);
    ASSERT_TRUE(StoredHandle(&stored));
    EXPECT_EQ(stored, "0");
}

TEST_F(RunningCheckTest, HandleTextIsReadAsAtoiReadsIt)
{
    OsWindow window = Window("Ledgerwick Complete");
    // Leading blanks and trailing letters do not hide the handle.
    const std::string text = " \t" + HandleText(window) + "abc";
    HostRegSetText(OS_HKEY_CURRENT_USER, "hWnd", text.c_str());
    EXPECT_EQ(ReadStoredWindowHandle(), window);
    EXPECT_EQ(IsRunning(), 1);
    std::string stored;
    ASSERT_TRUE(StoredHandle(&stored));
    EXPECT_EQ(stored, text);
}

TEST_F(RunningCheckTest, NoKnownHandleWritesNothing)
{
    EXPECT_EQ(IsRunning(), 0);
    std::string stored;
    EXPECT_FALSE(StoredHandle(&stored));

    // "0", empty, and text without digits all mean no handle.
    for (const char *text : {"0", "", "none", "-"}) {
        SCOPED_TRACE(text);
        HostRegSetText(OS_HKEY_CURRENT_USER, "hWnd", text);
        EXPECT_EQ(IsRunning(), 0);
        ASSERT_TRUE(StoredHandle(&stored));
        EXPECT_EQ(stored, text);
    }
    // Nor is "0" itself rewritten: a rewrite would store 2 bytes, not these 3.
    const std::string zeroTwice("0\0\0", 3);
    HostRegSet(OS_HKEY_CURRENT_USER, "hWnd", OS_REG_SZ, zeroTwice.data(), 3);
    EXPECT_EQ(IsRunning(), 0);
    std::string bytes;
    ASSERT_TRUE(HostRegGet(OS_HKEY_CURRENT_USER, "hWnd", &bytes));
    EXPECT_EQ(bytes, zeroTwice);
}

struct ParseCase {
    const char *text;
    long long handle;
};

TEST_F(RunningCheckTest, StoredHandleParsing)
{
    const ParseCase cases[] = {
        {"", 0},
        {"0", 0},
        {" 123abc", 123},
        {"\t\n+42", 42},
        {"-7", -7},
        {"12 34", 12},
        {"abc123", 0},
        {"+-5", 0},
        {"000000000000065580", 65580},
        // Beyond an int, msvcrt's atoi keeps the low 32 bits.
        {"99999999999", 1215752191},
        {"-99999999999", -1215752191},
        {"4294967297", 1},
        {"2147483648", INT_MIN},
    };
    for (const ParseCase &c : cases) {
        SCOPED_TRACE(c.text);
        HostRegSetText(OS_HKEY_CURRENT_USER, "hWnd", c.text);
        EXPECT_EQ(ReadStoredWindowHandle(), static_cast<OsWindow>(static_cast<intptr_t>(c.handle)));
    }
    // A value of 255 characters or more is not read at all.
    const std::string longValue = "1" + std::string(254, '0');
    HostRegSetText(OS_HKEY_CURRENT_USER, "hWnd", longValue.c_str());
    EXPECT_EQ(ReadStoredWindowHandle(), 0u);
}

TEST_F(RunningCheckTest, TitleMatchIgnoresCaseAndRefusesOverlongText)
{
    OsWindow window = Window("My LEDGERWICK Complete window");
    EXPECT_TRUE(WindowTitleContains(window, "ledgerwick COMPLETE"));
    EXPECT_TRUE(WindowTitleContains(window, "window"));
    EXPECT_FALSE(WindowTitleContains(window, "Ledgerwick Complete 5"));
    EXPECT_FALSE(WindowTitleContains(window, std::string(300, 'a').c_str()));
    EXPECT_FALSE(WindowTitleContains(0, "Ledgerwick"));
}

} // namespace
