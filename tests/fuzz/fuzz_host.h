// What every fuzz target shares: a simulated host of its own, the bytes
// split into the parts a target needs, and the check that turns a broken
// property into a finding (libFuzzer keeps the input of an abort).
// Header-only: each target is one source file and this.
#pragma once

#include "platform/platform.h"
#include "platform/sim_host.h"

#include <ftw.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

// A property a user would state, broken: says which, and stops the run so
// that libFuzzer saves the input.
#define FUZZ_CHECK(condition, ...)                                                   \
    do {                                                                             \
        if (!(condition)) {                                                          \
            fprintf(stderr, "fuzz property broken at %s:%d: %s\n  ", __FILE__, __LINE__, \
                    #condition);                                                     \
            fprintf(stderr, __VA_ARGS__);                                            \
            fprintf(stderr, "\n");                                                   \
            abort();                                                                 \
        }                                                                            \
    } while (0)

// The bytes of one input, taken from the front as a target needs them.
struct FuzzBytes {
    const uint8_t *data;
    size_t size;

    uint8_t Byte()
    {
        if (size == 0)
            return 0;
        size--;
        return *data++;
    }
    // A text up to the next 0 byte (which is taken too), or to the end.
    std::string Text()
    {
        std::string text;
        while (size > 0) {
            uint8_t b = Byte();
            if (b == 0)
                break;
            text += static_cast<char>(b);
        }
        return text;
    }
    std::string Rest()
    {
        std::string rest(reinterpret_cast<const char *>(data), size);
        data += size;
        size = 0;
        return rest;
    }
};

inline const char *FuzzRoot()
{
    static char root[64];
    if (!root[0]) {
        // In memory where the machine has it: every input lays out a host.
        char templ[] = "/dev/shm/lwfuzz-XXXXXX";
        char fallback[] = "/tmp/lwfuzz-XXXXXX";
        const char *made = mkdtemp(templ);
        if (!made)
            made = mkdtemp(fallback);
        if (!made) {
            perror("mkdtemp");
            abort();
        }
        snprintf(root, sizeof root, "%s", made);
        atexit([] {
            nftw(root, [](const char *path, const struct stat *, int type, struct FTW *) {
                return type == FTW_DP ? rmdir(path) : unlink(path);
            }, 16, FTW_DEPTH | FTW_PHYS);
        });
    }
    return root;
}

// A fresh default host for one input, with the drives the test suite has.
inline void FuzzHostReset()
{
    SimHostReset(FuzzRoot());
    SimSetDrive('D', OS_DRIVE_FIXED);
    SimSetDrive('N', OS_DRIVE_REMOTE);
}

inline bool FuzzWriteFile(const std::string &path, const std::string &bytes)
{
    char folder[OS_PATH_BUFFER];
    if (!TextCopyPath(folder, path.c_str()))
        return false;
    OsMakeSureDirectoryPathExists(folder);
    OsFile *file = OsFopen(path.c_str(), "wb");
    if (!file)
        return false;
    bool whole = OsFwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return OsFclose(file) == 0 && whole;
}

// The file's bytes, or false when it can't be read.
inline bool FuzzReadFile(const std::string &path, std::string *bytes)
{
    OsFile *file = OsFopen(path.c_str(), "rb");
    if (!file)
        return false;
    bytes->clear();
    char chunk[4096];
    size_t n;
    while ((n = OsFread(chunk, 1, sizeof chunk, file)) > 0)
        bytes->append(chunk, n);
    OsFclose(file);
    return true;
}

inline const char *FuzzSettingsKey()
{
    return "SOFTWARE\\Velmora Software Ltd\\Ledgerwick Complete\\Settings";
}

inline void FuzzRegSet(OsRootKey root, const char *name, unsigned long type, const std::string &bytes)
{
    OsKey key;
    if (OsRegCreateKey(root, FuzzSettingsKey(), &key) != 0)
        return;
    OsRegSetValueEx(key, name, type, reinterpret_cast<const unsigned char *>(bytes.data()),
                    static_cast<unsigned long>(bytes.size()));
    OsRegCloseKey(key);
}

// The stored bytes and type, or false when the value is missing.
inline bool FuzzRegGet(OsRootKey root, const char *name, std::string *bytes, unsigned long *type = nullptr)
{
    OsKey key;
    if (OsRegOpenKey(root, FuzzSettingsKey(), &key) != 0)
        return false;
    unsigned long size = 0, kind = 0;
    long status = OsRegQueryValueEx(key, name, &kind, nullptr, &size);
    if (status == 0) {
        std::string data(size, '\0');
        status = OsRegQueryValueEx(key, name, &kind, reinterpret_cast<unsigned char *>(&data[0]), &size);
        data.resize(size);
        if (bytes)
            *bytes = data;
        if (type)
            *type = kind;
    }
    OsRegCloseKey(key);
    return status == 0;
}

// Stands for a setting that is not there. A text read back ends at its
// first NUL, so no value can spell this one (a value "<missing>" once
// passed for an absent one).
const std::string kFuzzMissing("\0<missing>", 10);

// A setting's text up to its terminator, or kFuzzMissing.
inline std::string FuzzSettingText(OsRootKey root, const char *name)
{
    std::string bytes;
    if (!FuzzRegGet(root, name, &bytes))
        return kFuzzMissing;
    return std::string(bytes.c_str());
}

inline std::string FuzzRegistryText(OsRootKey root)
{
    std::string text(SimRegistryText(root, nullptr, 0) + 1, '\0');
    SimRegistryText(root, &text[0], text.size());
    text.pop_back();
    return text;
}

// Every file and folder of the host, by its POSIX path below the root, with
// the bytes of each file and its mode: what a preview must leave alone.
inline std::map<std::string, std::string> FuzzHostFiles()
{
    static std::map<std::string, std::string> *s_files;
    static size_t s_rootLength;
    std::map<std::string, std::string> files;
    s_files = &files;
    s_rootLength = strlen(SimHostRoot());
    nftw(SimHostRoot(), [](const char *path, const struct stat *st, int type, struct FTW *) {
        std::string entry = std::to_string(st->st_mode) + ":";
        if (type == FTW_F) {
            FILE *fp = fopen(path, "rb");
            if (fp) {
                char chunk[4096];
                size_t n;
                while ((n = fread(chunk, 1, sizeof chunk, fp)) > 0)
                    entry.append(chunk, n);
                fclose(fp);
            }
        }
        (*s_files)[path + s_rootLength] = entry;
        return 0;
    }, 16, FTW_PHYS);
    return files;
}

// Text as hex, for a finding's message.
inline std::string FuzzHex(const std::string &text)
{
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : text) {
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    return hex;
}
