// Settling the data folder: the stored one as it is, or the default in the
// documents folder, stored then; nothing invented when neither can be had.
#include "upgrade/upgrade.h"
#include "support/host.h"
#include "support/log_reader.h"

#ifndef _WIN32
#include "platform/sim_host.h"
#endif

#include <cstring>
#include <string>
#include <vector>

namespace {

class DataFolderTest : public HostTest {
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        HostRegSetText(OS_HKEY_CURRENT_USER, "EnableDebugLog", "1");
    }

    // "LEVEL message" of every line; every line must carry the step's section.
    static std::vector<std::string> Log()
    {
        std::vector<std::string> lines;
        for (const LogEntry &entry : ReadLogEntries()) {
            EXPECT_EQ(entry.section, "GetDefaultDataFilePath") << entry.message;
            lines.push_back(entry.level + " " + entry.message);
        }
        return lines;
    }

    static std::string Stored()
    {
        std::string bytes;
        return HostRegGet(OS_HKEY_CURRENT_USER, "DatafilePath", &bytes) ? bytes : "<missing>";
    }
};

TEST_F(DataFolderTest, StoredOrDefaultFolder)
{
    const std::string def = HostShellFolder(OS_CSIDL_PERSONAL) + "\\Ledgerwick Data";
    const std::string longest = "C:\\lwtest\\" + std::string(249, 'p'); // 259 characters
    const std::string tooLong = "C:\\lwtest\\" + std::string(250, 'p');  // 260 characters
    const std::string empty, nowhere = "C:\\lwtest\\Nowhere";
    struct Case {
        const char *name;
        const std::string *stored; // null: no value
        std::string path;
        int result;
        std::vector<std::string> log;
        std::string storedAfter;
    } cases[] = {
        {"absent", nullptr, def, 1,
         {"ERROR Not Found: DataFilePath", "INFO Trying Special Folder Path PERSONAL", "INFO Found DataFilePath: " + def,
          "INFO Saved to Registry", "INFO OK: Y"},
         def + '\0'},
        {"empty", &empty, def, 1,
         {"ERROR Not Found: DataFilePath", "INFO Trying Special Folder Path PERSONAL", "INFO Found DataFilePath: " + def,
          "INFO Saved to Registry", "INFO OK: Y"},
         def + '\0'},
        {"missing folder", &nowhere, "C:\\lwtest\\Nowhere", 0,
         {"INFO Found DataFilePath: C:\\lwtest\\Nowhere", "INFO OK: N"}, std::string("C:\\lwtest\\Nowhere") + '\0'},
        {"longest path", &longest, longest, 0, {"INFO Found DataFilePath: " + longest, "INFO OK: N"}, longest + '\0'},
        // Too long for a path: neither cut nor replaced by the default.
        {"too long", &tooLong, "", 0, {"ERROR DataFilePath too long, left alone: " + tooLong, "INFO OK: N"},
         tooLong + '\0'},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        HostReset();
        HostRegSetText(OS_HKEY_CURRENT_USER, "EnableDebugLog", "1");
        if (c.stored)
            HostRegSetText(OS_HKEY_CURRENT_USER, "DatafilePath", c.stored->c_str());
        char path[OS_PATH_BUFFER];
        memset(path, '#', sizeof path);
        EXPECT_EQ(GetDefaultDataFilePath(path), c.result);
        EXPECT_EQ(std::string(path), c.path);
        EXPECT_EQ(Log(), c.log);
        EXPECT_EQ(Stored(), c.storedAfter);
        // The folder comes into being only when files arrive in it.
        if (!c.path.empty()) {
            EXPECT_FALSE(HostFolderExists(c.path));
        }
    }
}

#ifndef _WIN32
TEST_F(DataFolderTest, NoDocumentsFolderToBeHad)
{
    const std::string deep = "C:\\lwtest\\" + std::string(240, 'q'); // 250: no room for the name
    struct Case {
        const char *name;
        const char *documents;
        std::vector<std::string> log;
    } cases[] = {
        {"unavailable", nullptr,
         {"ERROR Not Found: DataFilePath", "INFO Trying Special Folder Path PERSONAL", "ERROR Not Found: DataFilePath",
          "INFO OK: N"}},
        {"too deep", deep.c_str(),
         {"ERROR Not Found: DataFilePath", "INFO Trying Special Folder Path PERSONAL",
          "ERROR Path too long, left alone: " + deep + "\\Ledgerwick Data", "ERROR Not Found: DataFilePath",
          "INFO OK: N"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        HostReset();
        HostRegSetText(OS_HKEY_CURRENT_USER, "EnableDebugLog", "1");
        SimSetShellFolder(OS_CSIDL_PERSONAL, c.documents);
        char path[OS_PATH_BUFFER] = "junk";
        EXPECT_EQ(GetDefaultDataFilePath(path), 0);
        EXPECT_STREQ(path, "");
        EXPECT_EQ(Log(), c.log);
        EXPECT_EQ(Stored(), "<missing>");
    }
}
#endif

} // namespace
