// The whole upgrade through every export, on a small old installation, with
// an old-folder argument of any text and settings of any name, type and
// bytes. What a user would say: no file of mine is lost (each data file,
// backup and letter is still somewhere I can find it, byte for byte, under
// its name or, for a data file, its ".OLD" name); a preview changes nothing
// at all, files, folders and settings; the export answers in its range.
#include "upgrade/upgrade.h"
#include "upgrade/report.h"
#include "settings/settings.h"
#include "fuzz_host.h"

namespace {

const char *const kOld = "C:\\Ledgerwick";

struct OldFile {
    const char *path;
    std::string bytes;
};
const OldFile kFiles[] = {
    {"ledgerwick.exe", "program"},
    {"Accounts.LW", std::string("accounts\r\n\0\x1a", 12)},
    {"Accounts.LDB", "lock"},
    {"Old Books.LW", "old books"},
    {"Backups\\Accounts.BK1", "bk1"},
    {"Letters\\2024\\Reminder.RTF", "letter"},
    {"ledgerwick.ini", "[Microsoft Access]\r\nUser=Jo\r\n"},
};

bool IsUserFile(const std::string &name)
{
    for (const char *pattern : {"*.LW", "*.OLD", "*.BK1", "*.RTF"})
        if (OsPathMatchSpec(name.c_str(), pattern))
            return true;
    return false;
}

std::string NameOf(const std::string &path)
{
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The text as wide units: UTF-8 where it is, else its bytes one by one
// (surrogates and all, as a caller may hand them over).
std::wstring Wide(const std::string &text, bool raw)
{
    std::wstring wide;
    if (raw) {
        for (size_t i = 0; i + 1 < text.size(); i += 2)
            wide += static_cast<wchar_t>(static_cast<unsigned char>(text[i]) | static_cast<unsigned char>(text[i + 1]) << 8);
        return wide;
    }
    for (size_t i = 0; i < text.size();) {
        unsigned char c = text[i];
        size_t n = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : 4;
        unsigned long point = n == 1 ? c : n == 2 ? c & 0x1F : n == 3 ? c & 0x0F : c & 0x07;
        for (size_t k = 1; k < n && i + k < text.size(); k++)
            point = (point << 6) | (text[i + k] & 0x3F);
        wide += static_cast<wchar_t>(point);
        i += n;
    }
    return wide;
}

// A progress callback that says stop at one call.
struct Stop {
    unsigned calls;
    unsigned at;
};

int StopAt(void *context, unsigned long long, unsigned long long, const wchar_t *)
{
    Stop *stop = static_cast<Stop *>(context);
    return ++stop->calls != stop->at;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 4096)
        return 0;
    FuzzBytes in{data, size};
    const uint8_t how = in.Byte();
    const int previousVersion = static_cast<int8_t>(in.Byte());
    const std::string oldFolder = in.Text();

    FuzzHostReset();
    for (const OldFile &file : kFiles)
        FuzzWriteFile(std::string(kOld) + "\\" + file.path, file.bytes);
    FuzzWriteFile("C:\\Users\\lw\\Documents\\Ledgerwick Data\\Kept.LW", "in the data folder");
    FuzzRegSet(OS_HKEY_CURRENT_USER, "LastLedgerwickOpenedInDataFolder", OS_REG_SZ,
               std::string("C:\\Ledgerwick\\Accounts.LW", 26));
    // Settings of any name of the catalogue, root, type and bytes.
    while (in.size >= 3) {
        const uint8_t which = in.Byte(), type = in.Byte(), length = in.Byte();
        std::string bytes(reinterpret_cast<const char *>(in.data), length < in.size ? length : in.size);
        in.data += bytes.size();
        in.size -= bytes.size();
        FuzzRegSet(which & 0x80 ? OS_HKEY_LOCAL_MACHINE : OS_HKEY_CURRENT_USER,
                   SettingCatalogue[(which & 0x7F) % SETTING_COUNT], type % 8, bytes);
    }

    // Every user file anywhere on the host, with its bytes.
    const std::map<std::string, std::string> before = FuzzHostFiles();
    const std::string registryBefore[2] = {FuzzRegistryText(OS_HKEY_CURRENT_USER),
                                           FuzzRegistryText(OS_HKEY_LOCAL_MACHINE)};

    const int exportUsed = how % 4;
    int result = 0;
    const std::wstring wide = Wide(oldFolder, how & 4);
    switch (exportUsed) {
    case 0:
        result = LedgerwickInstaller_UpgradeToVersion5(previousVersion, oldFolder.c_str());
        break;
    case 1:
        result = LedgerwickInstaller_UpgradeToVersion5W(previousVersion, wide.c_str());
        break;
    case 2:
    case 3: {
        const unsigned flags = exportUsed == 3 ? UPGRADE_FLAG_PREVIEW : 0;
        const wchar_t *report = how & 8 ? L"C:\\Users\\lw\\report.txt" : nullptr;
        if (how & 16) {
            // With progress, stopped at a call the input picks (0: never):
            // a stop anywhere loses nothing, and a preview stays a preview.
            Stop stop = {0, static_cast<unsigned>((how >> 5) & 63)};
            result = LedgerwickInstaller_UpgradeToVersion5ProgressW(previousVersion, wide.c_str(), flags, report,
                                                                    StopAt, &stop);
            FUZZ_CHECK(result >= UPGRADE_BAD_OLD_PATH && result < 64, "ProgressW gave %d", result);
            FUZZ_CHECK(stop.at == 0 || stop.calls <= stop.at, "%u calls after a stop at call %u", stop.calls,
                       stop.at);
        } else {
            result = LedgerwickInstaller_UpgradeToVersion5ExW(previousVersion, wide.c_str(), flags, report);
            FUZZ_CHECK(result >= UPGRADE_BAD_OLD_PATH && result < 32, "ExW gave %d", result);
        }
        break;
    }
    }

    const std::map<std::string, std::string> after = FuzzHostFiles();
    if (exportUsed == 3) {
        std::map<std::string, std::string> changed = after;
        changed.erase("/drives/C/Users/lw/report.txt");
        FUZZ_CHECK(changed == before, "a preview changed the files (%zu before, %zu after)", before.size(), after.size());
        FUZZ_CHECK(FuzzRegistryText(OS_HKEY_CURRENT_USER) == registryBefore[0] &&
                       FuzzRegistryText(OS_HKEY_LOCAL_MACHINE) == registryBefore[1],
                   "a preview changed the settings");
    }
    for (const auto &file : before) {
        const std::string name = NameOf(file.first);
        if (!S_ISREG(std::stoul(file.second)) || !IsUserFile(name))
            continue;
        const std::string bytes = file.second.substr(file.second.find(':') + 1);
        const std::string renamed = name.substr(0, name.rfind('.')) + ".OLD";
        bool found = false;
        for (const auto &now : after) {
            const std::string nowName = NameOf(now.first);
            if ((TextCompareNoCase(nowName.c_str(), name.c_str()) == 0 ||
                 TextCompareNoCase(nowName.c_str(), renamed.c_str()) == 0) &&
                now.second.substr(now.second.find(':') + 1) == bytes) {
                found = true;
                break;
            }
        }
        FUZZ_CHECK(found, "%s lost (export %d, old folder %s, result %d)", file.first.c_str(), exportUsed,
                   FuzzHex(oldFolder).c_str(), result);
    }
    return 0;
}
