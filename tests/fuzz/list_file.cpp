// The list file, as the setup hands it over: ANSI, UTF-8 or UTF-16 by its
// byte-order mark, any bytes at all. What a user would say of the result:
// the stored name is the last part of the first Source line's path, or
// nothing is stored; both exports agree; the list file is left as it was.
#include "installer/installer.h"
#include "fuzz_host.h"

namespace {

const char *const kList = "C:\\Setup\\list.txt";
const char *const kPrevious = "Previous.exe";

// The file as text lines (UTF-8), as the reader is meant to see it. An
// unpaired surrogate becomes bytes no UTF-8 has ("\xED\xA0\x80"). *whole is
// cleared when a line is long enough to reach the reader in pieces (each
// then read as a line of its own).
std::vector<std::string> Lines(const std::string &bytes, bool *whole)
{
    *whole = true;
    std::string text;
    const unsigned char *b = reinterpret_cast<const unsigned char *>(bytes.data());
    size_t n = bytes.size();
    if (n >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
        std::vector<unsigned long> units;
        for (size_t i = 2; i + 1 < n; i += 2)
            units.push_back(b[i] | (b[i + 1] << 8));
        for (size_t i = 0; i < units.size(); i++) {
            unsigned long c = units[i];
            if (c >= 0xD800 && c < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000)
                c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
            else if (c >= 0xD800 && c < 0xE000)
                c = 0xD800;
            if (c < 0x80) {
                text += static_cast<char>(c);
            } else if (c < 0x800) {
                text += static_cast<char>(0xC0 | (c >> 6));
                text += static_cast<char>(0x80 | (c & 0x3F));
            } else if (c < 0x10000) {
                text += static_cast<char>(0xE0 | (c >> 12));
                text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                text += static_cast<char>(0x80 | (c & 0x3F));
            } else {
                text += static_cast<char>(0xF0 | (c >> 18));
                text += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
                text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                text += static_cast<char>(0x80 | (c & 0x3F));
            }
        }
    } else if (n >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
        text = bytes.substr(3);
    } else {
        // The code page, line by line (a 0 byte ends what a line shows).
        size_t start = 0;
        while (start < n) {
            size_t end = bytes.find('\n', start);
            end = end == std::string::npos ? n : end + 1;
            std::string line = bytes.substr(start, end - start);
            if (line.size() > 1000)
                *whole = false;
            std::string shown(line.c_str());
            std::vector<char> utf8(4 * shown.size() + 1);
            FUZZ_CHECK(OsAnsiToUtf8(shown.c_str(), utf8.data(), utf8.size()), "ANSI line %s", FuzzHex(shown).c_str());
            text += utf8.data();
            if (shown.size() < line.size() && line.back() == '\n')
                text += '\n';
            start = end;
        }
    }
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        if (end - start > 1000)
            *whole = false;
        lines.push_back(std::string(text.substr(start, end - start).c_str()));
        start = end;
    }
    return lines;
}

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string Stored()
{
    std::string bytes;
    unsigned long type = 0;
    if (!FuzzRegGet(OS_HKEY_LOCAL_MACHINE, "InstallerFilename", &bytes, &type))
        return kFuzzMissing;
    FUZZ_CHECK(type == OS_REG_SZ, "type %lu", type);
    FUZZ_CHECK(!bytes.empty() && bytes.back() == '\0', "stored without its terminator");
    return std::string(bytes.c_str());
}

// A plain name that must always be taken: "X:\folder\name.exe".
bool IsPlainPath(const std::string &path)
{
    if (path.size() < 8 || path.size() > 200 || !isalpha(static_cast<unsigned char>(path[0])) || path[1] != ':' ||
        path[2] != '\\')
        return false;
    size_t last = path.rfind('\\');
    if (last == 2 || path.compare(path.size() - 4, 4, ".exe") != 0)
        return false;
    for (size_t i = 3; i < path.size(); i++) {
        char c = path[i];
        if (!(isalnum(static_cast<unsigned char>(c)) || c == '_' || (c == '\\' && i != last + 1 && path[i - 1] != '\\') ||
              (c == '.' && i == path.size() - 4)))
            return false;
    }
    return path.size() - last - 1 > 4;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 16384)
        return 0;
    static bool ready;
    if (!ready) {
        FuzzHostReset();
        ready = true;
    }
    const std::string bytes(reinterpret_cast<const char *>(data), size);
    FUZZ_CHECK(FuzzWriteFile(kList, bytes), "list file not written");

    // The first Source line, and whether every line up to it is short enough
    // to arrive whole (a longer one arrives in pieces, each read as a line).
    bool whole;
    std::vector<std::string> lines = Lines(bytes, &whole);
    const std::string *source = nullptr;
    for (const std::string &line : lines) {
        if (line.size() >= 8 && TextCompareNoCaseN(line.c_str(), "Source: ", 8) == 0) {
            source = &line;
            break;
        }
    }
    std::string path;
    if (source) {
        path = source->substr(8, source->find('|') == std::string::npos ? std::string::npos : source->find('|') - 8);
        while (!path.empty() && IsSpace(path.back()))
            path.pop_back();
    }

    std::string results[2];
    for (int wide = 0; wide < 2; wide++) {
        FuzzRegSet(OS_HKEY_LOCAL_MACHINE, "InstallerFilename", OS_REG_SZ, std::string(kPrevious) + '\0');
        if (wide)
            LedgerwickInstaller_GetInstallerFilenameW(L"C:\\Setup\\list.txt");
        else
            LedgerwickInstaller_GetInstallerFilename(kList);
        results[wide] = Stored();
    }
    FUZZ_CHECK(results[0] == results[1], "ANSI export stored %s, wide one %s", FuzzHex(results[0]).c_str(),
               FuzzHex(results[1]).c_str());
    const std::string &stored = results[0];
    FUZZ_CHECK(stored != kFuzzMissing, "the stored name was deleted");

    if (stored != kPrevious) {
        FUZZ_CHECK(!stored.empty() && stored.find('\\') == std::string::npos && !IsSpace(stored.back()),
                   "stored %s", FuzzHex(stored).c_str());
        FUZZ_CHECK(TextFitsPath(stored.c_str()), "stored %s", FuzzHex(stored).c_str());
        for (size_t i = 0; i + 1 < stored.size(); i++)
            FUZZ_CHECK(!(stored[i] == '\xED' && (stored[i + 1] & 0xE0) == 0xA0), "stored a lone surrogate: %s",
                       FuzzHex(stored).c_str());
        if (whole) {
            FUZZ_CHECK(source != nullptr, "stored %s without a Source line", FuzzHex(stored).c_str());
            size_t last = path.rfind('\\');
            FUZZ_CHECK(last != std::string::npos && path.substr(last + 1) == stored,
                       "stored %s, the first Source line's path is %s", FuzzHex(stored).c_str(),
                       FuzzHex(path).c_str());
        }
    } else if (whole && source && IsPlainPath(path)) {
        FUZZ_CHECK(false, "nothing stored for the plain path %s", path.c_str());
    }

    // Only read, and closed again.
    std::string after;
    FUZZ_CHECK(FuzzReadFile(kList, &after) && after == bytes, "list file changed");
    FUZZ_CHECK(OsDeleteFile(kList), "list file still held open");
    return 0;
}
