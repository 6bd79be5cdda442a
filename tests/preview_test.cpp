// The preview layer: each operation, previewed, answers what the same
// operation then answers for real — its result, its error, and what every
// read sees afterwards — and the preview changes nothing on the way.
#include "preview/preview.h"
#include "settings/settings.h"
#include "support/host.h"

#include <algorithm>
#include <functional>
#include <string.h>
#include <string>
#include <vector>

namespace {

const std::string kRoot = "C:\\lwtest\\preview"; // the host clears C:\lwtest
const unsigned long kUnset = 0xDEAD; // no call sets it: a failure that sets no error shows

std::string At(const std::string &name)
{
    return kRoot + "\\" + name;
}

// What the steps saw, one line per answer.
class Transcript {
public:
    // A call's result, and its error where it failed (preset first, so an
    // error left from an earlier call can't pass for this one's).
    void Result(const std::string &what, const std::function<bool()> &call)
    {
        OsSetLastError(kUnset);
        bool ok = call();
        lines_.push_back(what + (ok ? ": ok" : ": failed, error " + std::to_string(OsGetLastError())));
    }
    void Attributes(const std::string &path)
    {
        unsigned long attributes = PvGetFileAttributes(path.c_str());
        std::string kind = attributes == OS_INVALID_FILE_ATTRIBUTES ? "nothing"
                           : (attributes & OS_FILE_ATTRIBUTE_DIRECTORY) ? "folder"
                                                                         : "file";
        lines_.push_back(path + " is " + kind);
    }
    void Bytes(const std::string &path)
    {
        OsFile *file = PvFopen(path.c_str(), "rb");
        std::string bytes;
        if (file != nullptr) {
            char chunk[256];
            size_t n;
            while ((n = OsFread(chunk, 1, sizeof chunk, file)) > 0)
                bytes.append(chunk, n);
            OsFclose(file);
        }
        lines_.push_back(path + (file ? " holds \"" + bytes + "\"" : " can't be read"));
        OsFileFacts facts;
        if (PvGetFileFacts(path.c_str(), &facts))
            lines_.push_back(path + " size " + std::to_string(facts.size));
    }
    void Listing(const std::string &folder)
    {
        std::vector<std::string> names;
        OsFindData entry;
        PvFind *find = PvFindFirst((folder + "\\*.*").c_str(), &entry);
        if (find != nullptr) {
            do {
                if (strcmp(entry.name, ".") != 0 && strcmp(entry.name, "..") != 0)
                    names.push_back(entry.name);
            } while (PvFindNext(find, &entry) == 0);
            PvFindClose(find);
        }
        std::sort(names.begin(), names.end());
        std::string line = folder + " lists";
        for (const std::string &name : names)
            line += " " + name;
        lines_.push_back(find ? line : folder + " can't be listed");
    }
    void Setting(const char *name)
    {
        PvKey key;
        std::string line = std::string(name) + " ";
        if (PvRegOpenKey(OS_HKEY_CURRENT_USER, SETTINGS_KEY_PATH, &key) != OS_ERROR_SUCCESS) {
            lines_.push_back(line + "no key");
            return;
        }
        unsigned char data[64] = {};
        unsigned long size = 3; // too small for most: the size asked for shows
        unsigned long type = 0;
        long status = PvRegQueryValueEx(&key, name, &type, data, &size);
        line += "status " + std::to_string(status) + " size " + std::to_string(size);
        size = sizeof data;
        if (PvRegQueryValueEx(&key, name, &type, data, &size) == OS_ERROR_SUCCESS)
            line += " type " + std::to_string(type) + " \"" + std::string((const char *)data) + "\"";
        PvRegCloseKey(&key);
        lines_.push_back(line);
    }
    const std::vector<std::string> &Lines() const { return lines_; }

private:
    std::vector<std::string> lines_;
};

using Steps = std::function<void(Transcript &)>;

struct Case {
    const char *name;
    Steps steps;
};

void LayOut()
{
    HostMakeFolder(At("Letters\\2019"));
    HostMakeFolder(At("Empty"));
    HostWriteFile(At("Accounts.LW"), "accounts");
    HostWriteFile(At("Notes.OLD"), "notes");
    HostWriteFile(At("Letters\\Reminder.RTF"), "reminder");
    HostWriteFile(At("Letters\\2019\\Old.RTF"), "old");
}

const Case kCases[] = {
    {"copy",
     [](Transcript &t) {
         t.Result("copy", [] { return PvCopyFile(At("Accounts.LW").c_str(), At("Empty\\Accounts.LW").c_str()); });
         t.Bytes(At("Empty\\Accounts.LW"));
         t.Listing(At("Empty"));
         t.Result("copy over a file",
                  [] { return PvCopyFile(At("Notes.OLD").c_str(), At("Empty\\Accounts.LW").c_str()); });
         t.Bytes(At("Empty\\Accounts.LW"));
         t.Result("copy of nothing", [] { return PvCopyFile(At("None.LW").c_str(), At("Empty\\None.LW").c_str()); });
         t.Result("copy onto a folder", [] { return PvCopyFile(At("Notes.OLD").c_str(), At("Letters").c_str()); });
         t.Result("copy into no folder",
                  [] { return PvCopyFile(At("Notes.OLD").c_str(), At("Missing\\Notes.OLD").c_str()); });
     }},
    {"move and rename",
     [](Transcript &t) {
         t.Result("move", [] { return PvMoveFile(At("Accounts.LW").c_str(), At("Letters\\Accounts.LW").c_str()); });
         t.Attributes(At("Accounts.LW"));
         t.Bytes(At("Letters\\Accounts.LW"));
         t.Listing(kRoot);
         t.Result("move onto a file",
                  [] { return PvMoveFile(At("Notes.OLD").c_str(), At("Letters\\Accounts.LW").c_str()); });
         t.Result("move of what moved",
                  [] { return PvMoveFile(At("Accounts.LW").c_str(), At("Empty\\Accounts.LW").c_str()); });
         t.Result("rename a folder", [] { return PvRename(At("Letters").c_str(), At("Letters OLD").c_str()) == 0; });
         t.Listing(At("Letters OLD"));
         t.Listing(At("Letters OLD\\2019"));
         t.Attributes(At("Letters"));
         t.Bytes(At("Letters OLD\\Reminder.RTF"));
         t.Result("rename onto a folder", [] { return PvRename(At("Empty").c_str(), At("Letters OLD").c_str()) == 0; });
         t.Result("rename back", [] { return PvRename(At("Letters OLD").c_str(), At("Letters").c_str()) == 0; });
         t.Bytes(At("Letters\\2019\\Old.RTF"));
     }},
    {"delete and attributes",
     [](Transcript &t) {
         t.Result("clear attributes", [] { return PvSetFileAttributes(At("Notes.OLD").c_str(), 0x80) != 0; });
         t.Result("delete", [] { return PvDeleteFile(At("Notes.OLD").c_str()) != 0; });
         t.Attributes(At("Notes.OLD"));
         t.Bytes(At("Notes.OLD"));
         t.Listing(kRoot);
         t.Result("delete again", [] { return PvDeleteFile(At("Notes.OLD").c_str()) != 0; });
         t.Result("attributes of what went", [] { return PvSetFileAttributes(At("Notes.OLD").c_str(), 0x80) != 0; });
         t.Result("delete a folder", [] { return PvDeleteFile(At("Empty").c_str()) != 0; });
     }},
    {"folders",
     [](Transcript &t) {
         t.Result("make a chain", [] { return PvMakeSureDirectoryPathExists(At("New\\Data\\Sub\\").c_str()) != 0; });
         t.Attributes(At("New\\Data\\Sub"));
         t.Listing(At("New\\Data"));
         t.Listing(At("New\\Data\\Sub"));
         t.Result("copy into it",
                  [] { return PvCopyFile(At("Accounts.LW").c_str(), At("New\\Data\\Sub\\Accounts.LW").c_str()); });
         t.Result("remove it, not empty", [] { return PvRemoveDirectory(At("New\\Data\\Sub").c_str()) != 0; });
         t.Result("remove a folder with a folder", [] { return PvRemoveDirectory(At("Letters").c_str()) != 0; });
         t.Result("remove an empty one", [] { return PvRemoveDirectory(At("Empty").c_str()) != 0; });
         t.Attributes(At("Empty"));
         t.Result("remove it again", [] { return PvRemoveDirectory(At("Empty").c_str()) != 0; });
         // Emptied by the steps before: what was moved out no longer counts.
         t.Result("empty a folder", [] {
             return PvMoveFile(At("Letters\\2019\\Old.RTF").c_str(), At("Old.RTF").c_str()) &&
                    PvRemoveDirectory(At("Letters\\2019").c_str());
         });
         t.Listing(At("Letters"));
         t.Result("make below a file", [] { return PvMakeSureDirectoryPathExists(At("Notes.OLD\\x\\").c_str()) != 0; });
     }},
    {"settings",
     [](Transcript &t) {
         t.Setting("User");
         t.Result("write", [] {
             PvKey key;
             if (PvRegCreateKey(OS_HKEY_CURRENT_USER, SETTINGS_KEY_PATH, &key) != OS_ERROR_SUCCESS)
                 return false;
             long status = PvRegSetValueEx(&key, "User", OS_REG_SZ, (const unsigned char *)"Jo Bloggs", 10);
             PvRegFlushKey(&key);
             PvRegCloseKey(&key);
             return status == OS_ERROR_SUCCESS;
         });
         t.Setting("User");
         t.Setting("State");
         t.Result("write through the settings", [] { return WriteSetting(SETTING_STATE, "NSW", 1) == 1; });
         t.Setting("State");
         char text[16];
         int read = ReadSetting(SETTING_STATE, text, sizeof text, "");
         t.Result(std::string("read ") + std::to_string(read) + " " + text, [] { return true; });
     }},
};

class PreviewTest : public HostTest {};

TEST_F(PreviewTest, EachOperationAnswersAsTheRunThenDoes)
{
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.name);
        HostReset();
        LayOut();
        std::vector<std::string> before = HostTree(kRoot);
        std::string userBefore = HostSettingText("User");

        Transcript previewed;
        ASSERT_EQ(PreviewBegin(1), 1);
        c.steps(previewed);
        PreviewEnd();
        EXPECT_EQ(HostTree(kRoot), before);
        EXPECT_EQ(HostSettingText("User"), userBefore);
        EXPECT_EQ(HostSettingText("State"), "");

        Transcript done;
        ASSERT_EQ(PreviewBegin(0), 1);
        c.steps(done);
        PreviewEnd();
        EXPECT_EQ(previewed.Lines(), done.Lines());
    }
}

// A preview opens nothing for writing, so nothing it writes (the log, the
// readme) can reach the disk; a real run's opens are the platform's.
TEST_F(PreviewTest, APreviewOpensNothingForWriting)
{
    LayOut();
    ASSERT_EQ(PreviewBegin(1), 1);
    for (const char *mode : {"a+", "w+t", "wb"}) {
        OsSetLastError(kUnset);
        EXPECT_EQ(PvFopen(At("Written.txt").c_str(), mode), nullptr) << mode;
        EXPECT_EQ(OsGetLastError(), (unsigned long)OS_ERROR_ACCESS_DENIED) << mode;
    }
    PreviewEnd();
    EXPECT_FALSE(HostFileExists(At("Written.txt")));
    OsFile *file = PvFopen(At("Written.txt").c_str(), "wb");
    ASSERT_NE(file, nullptr);
    OsFclose(file);
    EXPECT_TRUE(HostFileExists(At("Written.txt")));
}

} // namespace
