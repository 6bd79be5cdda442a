// The installer's file name, picked out of the first "Source: " line of the
// setup program's list file and kept in the InstallerFilename setting.
#include "installer/installer.h"
#include "files/files.h"
#include "settings/settings.h"

#include <string.h>

#define LIST_LINE_SIZE 2048
#define SOURCE_PREFIX "Source: "
#define SOURCE_PREFIX_LENGTH 8

static int IsTrailingSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// The UTF-16 reader spells an unpaired surrogate as its three-byte form
// (ED A0..BF xx), which no valid UTF-8 text holds: a path with one names no
// file the setup could have been started from.
static int HoldsUnpairedSurrogate(const char *text)
{
    for (const unsigned char *c = (const unsigned char *)text; *c; c++)
        if (c[0] == 0xED && c[1] >= 0xA0 && c[1] <= 0xBF)
            return 1;
    return 0;
}

// The path written on a Source line (after the prefix, up to the first "|"),
// without trailing white space: the line break of a line without "|" would
// otherwise end up in the stored name. A value longer than its buffer is
// refused rather than cut, since a cut path would give a wrong name.
static int SourceValue(const char *afterPrefix, char *value)
{
    const char *bar = strchr(afterPrefix, '|');
    size_t length = bar ? (size_t)(bar - afterPrefix) : strlen(afterPrefix);
    while (length > 0 && IsTrailingSpace(afterPrefix[length - 1]))
        length--;
    value[0] = '\0';
    if (length >= OS_PATH_BUFFER)
        return 0;
    memcpy(value, afterPrefix, length);
    value[length] = '\0';
    if (HoldsUnpairedSurrogate(value) || !TextFitsPath(value)) {
        value[0] = '\0';
        return 0;
    }
    return length > 0;
}

static void StoreInstallerFilename(const char *sourceLine)
{
    char value[OS_PATH_BUFFER];
    if (!SourceValue(sourceLine + SOURCE_PREFIX_LENGTH, value))
        return;
    char name[OS_PATH_BUFFER];
    if (FileNameOfPath(value, name, 1) && HasText(name))
        WriteSetting(SETTING_INSTALLER_FILENAME, name, 1);
}

enum ListEncoding { LIST_ANSI, LIST_UTF8, LIST_UTF16 };

// The list file read in binary chunks, so one open serves every encoding.
typedef struct ListReader {
    OsFile *file;
    ListEncoding encoding;
    unsigned char chunk[512];
    size_t have, next;
    // A UTF-16 unit read to see whether it completes a surrogate pair and
    // that did not: it is the next unit of the text. -1 when none is kept.
    long kept;
} ListReader;

static int NextByte(ListReader *r)
{
    if (r->next == r->have) {
        r->have = OsFread(r->chunk, 1, sizeof r->chunk, r->file);
        r->next = 0;
        if (r->have == 0)
            return -1;
    }
    return r->chunk[r->next++];
}

// The encoding by the byte-order mark, which is passed over; none means ANSI.
static void ReadMark(ListReader *r)
{
    r->have = OsFread(r->chunk, 1, sizeof r->chunk, r->file);
    r->next = 0;
    r->encoding = LIST_ANSI;
    r->kept = -1;
    if (r->have >= 2 && r->chunk[0] == 0xFF && r->chunk[1] == 0xFE) {
        r->encoding = LIST_UTF16;
        r->next = 2;
    } else if (r->have >= 3 && r->chunk[0] == 0xEF && r->chunk[1] == 0xBB && r->chunk[2] == 0xBF) {
        r->encoding = LIST_UTF8;
        r->next = 3;
    }
}

static size_t PutUtf8(char *out, unsigned long c)
{
    if (c < 0x80) {
        out[0] = (char)c;
        return 1;
    }
    if (c < 0x800) {
        out[0] = (char)(0xC0 | (c >> 6));
        out[1] = (char)(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        out[0] = (char)(0xE0 | (c >> 12));
        out[1] = (char)(0x80 | ((c >> 6) & 0x3F));
        out[2] = (char)(0x80 | (c & 0x3F));
        return 3;
    }
    out[0] = (char)(0xF0 | (c >> 18));
    out[1] = (char)(0x80 | ((c >> 12) & 0x3F));
    out[2] = (char)(0x80 | ((c >> 6) & 0x3F));
    out[3] = (char)(0x80 | (c & 0x3F));
    return 4;
}

static long NextUnit(ListReader *r)
{
    if (r->kept >= 0) {
        long unit = r->kept;
        r->kept = -1;
        return unit;
    }
    int low = NextByte(r);
    int high = low < 0 ? -1 : NextByte(r);
    return high < 0 ? -1 : (long)(low | (high << 8));
}

// One line as UTF-8 into line (size bytes), at most LIST_LINE_SIZE - 1
// characters of the file; a longer line arrives in pieces. 0 at the end.
static int ReadLine(ListReader *r, char *line, size_t size)
{
    char raw[LIST_LINE_SIZE];
    size_t used = 0;
    int any = 0;
    if (r->encoding == LIST_UTF16) {
        long c;
        while (used + 4 < size && used + 4 < LIST_LINE_SIZE && (c = NextUnit(r)) >= 0) {
            any = 1;
            if (c >= 0xD800 && c < 0xDC00) {
                long second = NextUnit(r);
                if (second >= 0xDC00 && second < 0xE000)
                    c = 0x10000 + ((c - 0xD800) << 10) + (second - 0xDC00);
                else
                    r->kept = second; // a line feed after it still ends the line
            }
            // An unpaired surrogate keeps its own value, so that the Source
            // line it is on can be refused rather than read with a stand-in.
            used += PutUtf8(line + used, (unsigned long)c);
            if (c == '\n')
                break;
        }
        line[used] = '\0';
        return any;
    }
    int c;
    while (used + 1 < LIST_LINE_SIZE && (c = NextByte(r)) >= 0) {
        any = 1;
        raw[used++] = (char)c;
        if (c == '\n')
            break;
    }
    raw[used] = '\0';
    if (!any)
        return 0;
    if (r->encoding == LIST_UTF8)
        TextCopy(line, size, raw);
    else if (!OsAnsiToUtf8(raw, line, size))
        line[0] = '\0';
    return 1;
}

// Reads the list file (UTF-8 path) up to its first Source line.
static void CaptureInstallerFilename(const char *listFilePath)
{
    if (!HasText(listFilePath))
        return;
    ListReader *reader = (ListReader *)OsAlloc(sizeof(ListReader));
    if (reader == 0)
        return;
    // Binary: the line break's CR is white space the value loses anyway.
    reader->file = OsFopen(listFilePath, "rb");
    if (reader->file != 0) {
        ReadMark(reader);
        char line[3 * LIST_LINE_SIZE];
        // Only the first Source line counts, even when it gives no name.
        while (ReadLine(reader, line, sizeof line)) {
            if (TextCompareNoCaseN(line, SOURCE_PREFIX, SOURCE_PREFIX_LENGTH) == 0) {
                StoreInstallerFilename(line);
                break;
            }
        }
        OsFclose(reader->file);
    }
    OsFree(reader);
}

void LEDGERWICK_UPGRADE_API LedgerwickInstaller_GetInstallerFilename(const char *listFilePath)
{
    int bad;
    char *path = TextFromAnsiArgument(listFilePath, &bad);
    CaptureInstallerFilename(path);
    OsFree(path);
}

void LEDGERWICK_UPGRADE_API LedgerwickInstaller_GetInstallerFilenameW(const wchar_t *listFilePath)
{
    int bad;
    char *path = TextFromWideArgument(listFilePath, &bad);
    CaptureInstallerFilename(path);
    OsFree(path);
}
