// Windows paths on the simulated host: drive letters and UNC shares mapped to
// folders under the host root, backslashes, and names matched without regard
// to case. The exact spelling is tried first, so a name that exists as
// written costs one lstat; folders are scanned only when that fails.
#include "sim_internal.h"

#include <dirent.h>
#include <errno.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

static int IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

static int IsLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

static char Upper(char c)
{
    return (c >= 'a' && c <= 'z') ? (char)(c - 'a' + 'A') : c;
}

static int ValidName(const char *text, size_t length)
{
    for (size_t i = 0; i < length; i++) {
        unsigned char c = (unsigned char)text[i];
        if (c < 32 || strchr("<>:\"|?*", c))
            return 0;
    }
    return 1;
}

int SimSplitComponents(const char *rest, SimComponent *parts, int *count, int *asksForFolder)
{
    int n = 0;
    const char *p = rest;
    *asksForFolder = 0;
    while (*p) {
        while (IsSeparator(*p))
            p++;
        if (!*p)
            break;
        const char *start = p;
        while (*p && !IsSeparator(*p))
            p++;
        size_t length = (size_t)(p - start);
        int last = (*p == '\0');
        if (length == 1 && start[0] == '.')
            continue;
        if (length == 2 && start[0] == '.' && start[1] == '.') {
            if (n > 0)
                n--;
            continue;
        }
        if (!last && length > 1 && start[length - 1] == '.' && start[length - 2] != '.')
            length--;
        if (!ValidName(start, length))
            return 0;
        if (n >= SIM_MAX_COMPONENTS)
            return 0;
        parts[n].text = start;
        parts[n].length = length;
        n++;
    }
    size_t restLength = strlen(rest);
    int endsInSeparator = restLength > 0 && IsSeparator(rest[restLength - 1]);
    int emptied = 0;
    if (n > 0 && !endsInSeparator) {
        SimComponent *final = &parts[n - 1];
        while (final->length > 0 && (final->text[final->length - 1] == '.' || final->text[final->length - 1] == ' '))
            final->length--;
        if (final->length == 0) {
            n--;
            emptied = 1;
        }
    }
    *asksForFolder = n > 0 && (endsInSeparator || emptied);
    *count = n;
    return 1;
}

static int AppendName(char *posix, const char *name, size_t length)
{
    size_t have = strlen(posix);
    if (have + 1 + length >= SIM_POSIX_MAX)
        return 0;
    posix[have] = '/';
    memcpy(posix + have + 1, name, length);
    posix[have + 1 + length] = '\0';
    return 1;
}

static int IsShortNameChar(char c)
{
    return c != ' ' && c != '.' && !strchr("+,;=[]", c);
}

void SimShortName(const char *longName, char *out)
{
    // A name that is already 8.3 in upper case is its own short name.
    const char *dot = strrchr(longName, '.');
    size_t baseLength = dot ? (size_t)(dot - longName) : strlen(longName);
    size_t extLength = dot ? strlen(dot + 1) : 0;
    int plain = baseLength > 0 && baseLength <= 8 && extLength <= 3 && (!dot || strchr(longName, '.') == dot);
    for (const char *c = longName; plain && *c; c++)
        if (*c != '.' && (!IsShortNameChar(*c) || (*c >= 'a' && *c <= 'z')))
            plain = 0;
    if (plain) {
        TextCopy(out, 13, longName);
        return;
    }
    // Otherwise the first six usable characters, "~1" and the first three of
    // the extension, upper case (one alias per name: enough for the tests,
    // which make no two names that would share one).
    size_t n = 0;
    for (size_t i = 0; i < baseLength && n < 6; i++)
        if (IsShortNameChar(longName[i]))
            out[n++] = Upper(longName[i]);
    out[n++] = '~';
    out[n++] = '1';
    if (dot && extLength > 0) {
        out[n++] = '.';
        for (size_t i = 0; i < extLength && i < 3; i++)
            out[n++] = Upper(dot[1 + i]);
    }
    out[n] = '\0';
}

// Looks for a name in a folder without regard to case, or by its 8.3 alias;
// found spelling in out.
static int ScanFolder(const char *folder, const char *name, size_t length, char *out, size_t outSize)
{
    SimCountScan();
    if (SimFindNameNoCase(folder, name, length, out, outSize))
        return 1;
    // 8.3 aliases are not indexed: only a name with a '~' reads the folder.
    int maybeShort = memchr(name, '~', length) != NULL && length <= 12;
    if (!maybeShort)
        return 0;
    DIR *dir = opendir(folder);
    if (!dir)
        return 0;
    int found = 0;
    struct dirent *entry;
    while (!found && (entry = readdir(dir)) != NULL) {
        if (entry->d_name[0] != '.') {
            char alias[13];
            SimShortName(entry->d_name, alias);
            if (strlen(alias) == length && TextCompareNoCaseN(alias, name, length) == 0)
                found = TextCopyWhole(out, outSize, entry->d_name);
        }
    }
    closedir(dir);
    return found;
}

// The share's mapped folder, matched without regard to case.
static const SimShare *FindShare(const char *server, size_t serverLength, const char *share,
                                 size_t shareLength)
{
    for (int i = 0; i < g_sim.shareCount; i++) {
        const SimShare *s = &g_sim.shares[i];
        if (strlen(s->server) == serverLength && TextCompareNoCaseN(s->server, server, serverLength) == 0 &&
            strlen(s->share) == shareLength && TextCompareNoCaseN(s->share, share, shareLength) == 0)
            return s;
    }
    return NULL;
}

int SimIsDeviceDrivePath(const char *path)
{
    return IsSeparator(path[0]) && IsSeparator(path[1]) && (path[2] == '?' || path[2] == '.') && path[3] == '\\' &&
           IsLetter(path[4]) && path[5] == ':' && path[6] == '\\';
}

// Fills the root part: posix base folder, volume and the rest of the path.
static int ResolveRoot(const char *path, SimPath *out, const char **rest, unsigned long *error)
{
    // The simulated host also applies "." and ".." after "\\?\", which
    // Windows would take as names; no caller relies on either.
    if (SimIsDeviceDrivePath(path))
        path += 4;
    if (IsLetter(path[0]) && path[1] == ':') {
        char letter = Upper(path[0]);
        if (g_sim.driveType[letter - 'A'] == OS_DRIVE_NO_ROOT_DIR) {
            *error = OS_ERROR_PATH_NOT_FOUND;
            return 0;
        }
        out->letter = letter;
        TextFormat(out->volume, sizeof out->volume, "%c", (char)(letter - 'A' + 'a'));
        TextFormat(out->posix, sizeof out->posix, "%s/drives/%c", g_sim.root, letter);
        *rest = path + 2;
        return 1;
    }
    if (IsSeparator(path[0]) && IsSeparator(path[1])) {
        const char *server = path + 2;
        if (*server == '?' || *server == '.') {
            *error = SIM_ERROR_INVALID_NAME; // device and long-path prefixes are not simulated
            return 0;
        }
        const char *p = server;
        while (*p && !IsSeparator(*p))
            p++;
        size_t serverLength = (size_t)(p - server);
        if (*p)
            p++;
        const char *share = p;
        while (*p && !IsSeparator(*p))
            p++;
        size_t shareLength = (size_t)(p - share);
        const SimShare *found = serverLength && shareLength
                                    ? FindShare(server, serverLength, share, shareLength)
                                    : NULL;
        if (!found) {
            *error = SIM_ERROR_BAD_NETPATH;
            return 0;
        }
        out->letter = 0;
        TextFormat(out->volume, sizeof out->volume, "\\\\%s\\%s", found->server, found->share);
        TextLowerAscii(out->volume);
        TextFormat(out->posix, sizeof out->posix, "%s/unc/%s/%s", g_sim.root, found->server, found->share);
        *rest = p;
        return 1;
    }
    *error = OS_ERROR_PATH_NOT_FOUND; // relative paths have no meaning here
    return 0;
}

static void SetParent(SimPath *out)
{
    TextCopy(out->parent, sizeof out->parent, out->posix);
    if (out->isRoot)
        return;
    char *slash = strrchr(out->parent, '/');
    if (slash)
        *slash = '\0';
}

int SimResolve(const char *windowsPath, SimPath *out, unsigned long *error)
{
    memset(out, 0, sizeof *out);
    if (!windowsPath) {
        *error = OS_ERROR_INVALID_PARAMETER;
        return 0;
    }
    if (!TextFitsPath(windowsPath)) {
        *error = SIM_ERROR_FILENAME_EXCED_RANGE;
        return 0;
    }
    if (!SimEnsureHost()) {
        *error = OS_ERROR_PATH_NOT_FOUND;
        return 0;
    }
    const char *rest = NULL;
    if (!ResolveRoot(windowsPath, out, &rest, error))
        return 0;
    SimComponent parts[SIM_MAX_COMPONENTS];
    int count = 0, asksForFolder;
    if (!SimSplitComponents(rest, parts, &count, &asksForFolder)) {
        *error = SIM_ERROR_INVALID_NAME;
        return 0;
    }
    out->trailingSlash = asksForFolder;
    out->parentExists = 1;
    if (count == 0) {
        out->isRoot = 1;
        out->exists = lstat(out->posix, &out->st) == 0;
        SetParent(out);
        return 1;
    }
    TextCopyWhole(out->name, sizeof out->name, "");
    memcpy(out->name, parts[count - 1].text, parts[count - 1].length);
    out->name[parts[count - 1].length] = '\0';

    // The exact spelling first: one lstat when it is there.
    char base[SIM_POSIX_MAX];
    TextCopy(base, sizeof base, out->posix);
    for (int i = 0; i < count; i++)
        if (!AppendName(out->posix, parts[i].text, parts[i].length)) {
            *error = SIM_ERROR_FILENAME_EXCED_RANGE;
            return 0;
        }
    if (lstat(out->posix, &out->st) == 0) {
        out->exists = 1;
    } else {
        TextCopy(out->posix, sizeof out->posix, base);
        int i = 0;
        for (; i < count; i++) {
            char candidate[SIM_POSIX_MAX];
            TextCopy(candidate, sizeof candidate, out->posix);
            AppendName(candidate, parts[i].text, parts[i].length);
            struct stat st;
            int found = lstat(candidate, &st) == 0;
            if (!found && errno == ENOENT) {
                char real[OS_PATH_BUFFER];
                if (ScanFolder(out->posix, parts[i].text, parts[i].length, real, sizeof real)) {
                    TextCopy(candidate, sizeof candidate, out->posix);
                    AppendName(candidate, real, strlen(real));
                    found = lstat(candidate, &st) == 0;
                }
            }
            if (!found)
                break;
            TextCopy(out->posix, sizeof out->posix, candidate);
            if (i == count - 1) {
                out->exists = 1;
                out->st = st;
            } else if (!SimIsFolder(candidate, &st)) {
                i++;
                out->parentExists = 0;
                break;
            }
        }
        if (!out->exists) {
            if (i < count - 1)
                out->parentExists = 0;
            for (; i < count; i++)
                AppendName(out->posix, parts[i].text, parts[i].length);
        }
    }
    if (out->exists && out->trailingSlash && !SimIsFolder(out->posix, &out->st)) {
        out->exists = 0;
        out->fileWithSlash = 1;
    }
    // "link\" names what the link points at, not the link (as Wine and
    // Windows resolve it): a folder, without the reparse-point mark.
    struct stat target;
    if (out->exists && out->trailingSlash && S_ISLNK(out->st.st_mode) && stat(out->posix, &target) == 0)
        out->st = target;
    SetParent(out);
    // Whatever the caller does next to this entry, under its name on disk or
    // as written (a change of case), the folder's index hears of.
    const char *slash = strrchr(out->posix, '/');
    if (slash && !out->isRoot) {
        SimNoteName(out->parent, slash + 1);
        if (strcmp(slash + 1, out->name) != 0)
            SimNoteName(out->parent, out->name);
    }
    return 1;
}

unsigned long SimMissingError(const SimPath *path)
{
    if (path->fileWithSlash)
        return SIM_ERROR_INVALID_NAME;
    return path->parentExists ? OS_ERROR_FILE_NOT_FOUND : OS_ERROR_PATH_NOT_FOUND;
}

int SimIsFolder(const char *posix, const struct stat *st)
{
    if (S_ISDIR(st->st_mode))
        return 1;
    if (!S_ISLNK(st->st_mode))
        return 0;
    struct stat target;
    return stat(posix, &target) == 0 && S_ISDIR(target.st_mode);
}

// Read-only, hidden, system and archive live in mode bits of a file: no
// owner write, sticky, set-group-id, and owner execute for "not archived".
unsigned long SimAttributesOf(const char *posix, const struct stat *st)
{
    if (S_ISLNK(st->st_mode))
        return SimIsFolder(posix, st) ? (OS_FILE_ATTRIBUTE_DIRECTORY | OS_FILE_ATTRIBUTE_REPARSE_POINT)
                                      : (OS_FILE_ATTRIBUTE_ARCHIVE | OS_FILE_ATTRIBUTE_REPARSE_POINT);
    if (S_ISDIR(st->st_mode))
        return OS_FILE_ATTRIBUTE_DIRECTORY;
    unsigned long attributes = 0;
    if (!(st->st_mode & S_IWUSR))
        attributes |= OS_FILE_ATTRIBUTE_READONLY;
    if (st->st_mode & S_ISVTX)
        attributes |= OS_FILE_ATTRIBUTE_HIDDEN;
    if (st->st_mode & S_ISGID)
        attributes |= OS_FILE_ATTRIBUTE_SYSTEM;
    if (!(st->st_mode & S_IXUSR))
        attributes |= OS_FILE_ATTRIBUTE_ARCHIVE;
    return attributes ? attributes : OS_FILE_ATTRIBUTE_NORMAL;
}

static void FoldPath(const char *in, char *out, size_t size)
{
    size_t n = 0;
    for (size_t i = 0; in[i] && n + 1 < size; i++) {
        char c = IsSeparator(in[i]) ? '\\' : in[i];
        if (c == '\\' && n > 1 && out[n - 1] == '\\')
            continue; // runs of separators count once, but not the UNC lead
        out[n++] = c;
    }
    out[n] = '\0';
    if (n > 3 && out[n - 1] == '\\')
        out[n - 1] = '\0';
}

int SimSamePath(const char *a, const char *b)
{
    char left[2 * OS_PATH_BUFFER], right[2 * OS_PATH_BUFFER];
    FoldPath(a ? a : "", left, sizeof left);
    FoldPath(b ? b : "", right, sizeof right);
    return TextCompareNoCase(left, right) == 0;
}

int SimCreateFolders(const char *windowsPath)
{
    char path[OS_PATH_BUFFER];
    if (!windowsPath || !TextCopyWhole(path, sizeof path, windowsPath))
        return 0;
    size_t length = strlen(path);
    for (size_t i = 3; i <= length; i++) {
        if (i < length && !IsSeparator(path[i]))
            continue;
        char saved = path[i];
        path[i] = '\0';
        SimPath p;
        unsigned long error;
        int ok = SimResolve(path, &p, &error);
        path[i] = saved;
        if (!ok)
            continue; // "\\server" alone is no path yet
        if (p.exists) {
            if (!SimIsFolder(p.posix, &p.st))
                return 0;
        } else if (mkdir(p.posix, 0755) != 0) {
            return 0;
        }
    }
    return 1;
}

int SimRootText(const char *path, char *out, size_t size, const char **rest)
{
    if (SimIsDeviceDrivePath(path)) {
        *rest = path + 6;
        return TextFormat(out, size, "\\\\%c\\%c:\\", path[2], path[4]);
    }
    if (IsLetter(path[0]) && path[1] == ':') {
        *rest = path + 2;
        return TextFormat(out, size, "%c:\\", path[0]);
    }
    if (IsSeparator(path[0]) && IsSeparator(path[1]) && path[2] != '?' && path[2] != '.') {
        const char *p = path + 2;
        for (int part = 0; part < 2; part++) {
            const char *start = p;
            while (*p && !IsSeparator(*p))
                p++;
            if (p == start)
                return 0;
            if (part == 0 && *p)
                p++;
        }
        *rest = p;
        return TextFormat(out, size, "\\\\%.*s\\", (int)(p - path - 2), path + 2);
    }
    return 0;
}

int SimShortPath(const char *windowsPath, char *out, size_t outSize)
{
    char longPath[OS_PATH_BUFFER];
    if (!out || outSize == 0 || !OsGetLongPathName(windowsPath, longPath))
        return 0;
    const char *rest = NULL;
    char full[2 * OS_PATH_BUFFER];
    if (!SimRootText(longPath, full, sizeof full, &rest))
        return 0;
    while (*rest) {
        while (IsSeparator(*rest))
            rest++;
        const char *start = rest;
        while (*rest && !IsSeparator(*rest))
            rest++;
        if (rest == start)
            break;
        char name[OS_PATH_BUFFER];
        char alias[13];
        TextFormat(name, sizeof name, "%.*s", (int)(rest - start), start);
        SimShortName(name, alias);
        if (full[strlen(full) - 1] != '\\')
            TextAppend(full, sizeof full, "\\");
        TextAppend(full, sizeof full, alias);
    }
    return TextCopyWhole(out, outSize, full);
}

int SimHostPath(const char *windowsPath, char *out, size_t outSize)
{
    SimPath p;
    unsigned long error;
    if (!out || outSize == 0)
        return 0;
    out[0] = '\0';
    if (!SimResolve(windowsPath, &p, &error))
        return 0;
    return TextCopyWhole(out, outSize, p.posix);
}
