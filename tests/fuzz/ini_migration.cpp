// The old INI file, any bytes, carried into the registry. The first byte
// chooses the circumstances: which settings the user already set in version
// 5, a read-only INI file, a registry that refuses writes. What a user would
// say of the result: a value set in version 5 is kept; a value the INI file
// held is in the registry, as Windows reads it, or the INI file is kept
// unchanged; nothing is cut.
#include "upgrade/upgrade.h"
#include "fuzz_host.h"

namespace {

const char *const kIni = "C:\\Windows\\ledgerwick.ini";

struct Row {
    const char *section, *key, *fallback, *setting;
};
const Row kRows[] = {
    {"Email Setup", "SMTPServer", nullptr, "SMTPServer"},
    {"Email Setup", "SMTPPort", nullptr, "SMTPPort"},
    {"Microsoft Access", "QIFFileLong", "QIFFile", "QIFFile"},
    {"Microsoft Access", "User", nullptr, "User"},
    {"Microsoft Access", "LastNonFloppyLedgerwickLong", "LastNonFloppyLedgerwick", "LastLedgerwickOpenedInDataFolder"},
};
const size_t kRowCount = sizeof kRows / sizeof kRows[0];

// What Windows reads for a key; "" for none. *tooLong when the value is
// above the 254 characters an old value holds.
std::string Read(const char *section, const char *key, bool *tooLong)
{
    std::vector<char> buffer(65536);
    OsGetPrivateProfileString(section, key, "", buffer.data(), static_cast<unsigned long>(buffer.size()), kIni);
    std::string value = buffer.data();
    *tooLong = TextUtf16Length(value.c_str()) > 254;
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 16384)
        return 0;
    FuzzBytes in{data, size};
    const uint8_t flags = in.Byte();
    const bool readOnly = flags & 0x20, unwritable = flags & 0x40;
    const std::string ini = in.Rest();

    FuzzHostReset();
    FUZZ_CHECK(FuzzWriteFile(kIni, ini), "INI file not written");
    FuzzWriteFile("C:\\Windows\\win.ini", "[intl]\r\nsState=NY\r\n");
    if (readOnly)
        OsSetFileAttributes(kIni, OS_FILE_ATTRIBUTE_READONLY);
    FuzzRegSet(OS_HKEY_CURRENT_USER, "EnableDebugLog", OS_REG_SZ, std::string("1", 2));

    // The values of before, and what the INI file holds for each row.
    // A value too long to carry whole is not carried (the file keeps it), and
    // the 8.3 key is read in its place as for an empty one.
    std::string preset[kRowCount], expected[kRowCount];
    bool held[kRowCount];
    for (size_t i = 0; i < kRowCount; i++) {
        if (flags & (1u << i)) {
            preset[i] = "set in version 5 #" + std::to_string(i);
            FuzzRegSet(OS_HKEY_CURRENT_USER, kRows[i].setting, OS_REG_SZ, preset[i] + '\0');
        }
        bool cut;
        std::string value = Read(kRows[i].section, kRows[i].key, &cut);
        held[i] = !value.empty();
        expected[i] = cut ? "" : value;
        if (expected[i].empty() && kRows[i].fallback) {
            value = Read(kRows[i].section, kRows[i].fallback, &cut);
            held[i] = held[i] || !value.empty();
            expected[i] = cut ? "" : value;
        }
    }
    if (unwritable)
        SimSetRegistryWritable(OS_HKEY_CURRENT_USER, 0);

    WriteIniSettingsToRegistry();

    bool everyValueHeld = true;
    for (size_t i = 0; i < kRowCount; i++) {
        const std::string now = FuzzSettingText(OS_HKEY_CURRENT_USER, kRows[i].setting);
        if (!preset[i].empty()) {
            FUZZ_CHECK(now == preset[i], "%s: set in version 5, now %s", kRows[i].setting, FuzzHex(now).c_str());
        } else if (unwritable) {
            FUZZ_CHECK(now == kFuzzMissing, "%s written to a registry that refuses writes", kRows[i].setting);
        } else {
            FUZZ_CHECK(now == expected[i], "%s: INI holds %s, registry %s", kRows[i].setting,
                       FuzzHex(expected[i]).c_str(), FuzzHex(now).c_str());
        }
        if (held[i] && (now == kFuzzMissing || now.empty()))
            everyValueHeld = false;
    }
    // The INI file is the only copy of a value the registry does not hold.
    std::string after;
    bool kept = FuzzReadFile(kIni, &after);
    if (!everyValueHeld) {
        FUZZ_CHECK(kept, "INI file deleted while the registry lacks one of its values");
    }
    if (kept)
        FUZZ_CHECK(after == ini, "INI file changed");
    if (everyValueHeld && !unwritable)
        FUZZ_CHECK(!kept, "INI file kept though the registry holds every value");
    return 0;
}
