// Test support shared by both hosts: everything here goes through the
// platform layer, so it behaves the same natively and under Wine.
#include "support/host.h"

#include <algorithm>
#include <string.h>

const char *const kSettingsKey = "SOFTWARE\\Velmora Software Ltd\\Ledgerwick Complete\\Settings";

void HostRegSet(OsRootKey root, const char *name, unsigned long type, const void *data, unsigned long size)
{
    OsKey key;
    ASSERT_EQ(OsRegCreateKey(root, kSettingsKey, &key), 0);
    EXPECT_EQ(OsRegSetValueEx(key, name, type, static_cast<const unsigned char *>(data), size), 0);
    OsRegFlushKey(key);
    OsRegCloseKey(key);
}

void HostRegSetText(OsRootKey root, const char *name, const char *text)
{
    HostRegSet(root, name, OS_REG_SZ, text, static_cast<unsigned long>(strlen(text) + 1));
}

bool HostRegGet(OsRootKey root, const char *name, std::string *bytes, unsigned long *type)
{
    OsKey key;
    if (OsRegOpenKey(root, kSettingsKey, &key) != 0)
        return false;
    unsigned long size = 0, valueType = 0;
    long status = OsRegQueryValueEx(key, name, &valueType, nullptr, &size);
    if (status == 0) {
        std::string data(size, '\0');
        status = OsRegQueryValueEx(key, name, &valueType, size ? reinterpret_cast<unsigned char *>(&data[0]) : nullptr, &size);
        data.resize(size);
        if (bytes)
            *bytes = data;
    }
    OsRegCloseKey(key);
    if (type)
        *type = valueType;
    return status == 0;
}

std::string HostSettingText(const char *name)
{
    std::string bytes;
    if (!HostRegGet(OS_HKEY_CURRENT_USER, name, &bytes))
        return "";
    while (!bytes.empty() && bytes.back() == '\0')
        bytes.pop_back();
    return bytes;
}

void HostRegDelete(OsRootKey root, const char *name)
{
    OsKey key;
    if (OsRegOpenKey(root, kSettingsKey, &key) != 0)
        return;
    OsRegDeleteValue(key, name);
    OsRegFlushKey(key);
    OsRegCloseKey(key);
}

void HostMakeFolder(const std::string &path)
{
    std::string withSlash = path;
    if (withSlash.empty() || withSlash.back() != '\\')
        withSlash += '\\';
    ASSERT_EQ(OsMakeSureDirectoryPathExists(withSlash.c_str()), 1) << path;
}

void HostWriteFile(const std::string &path, const std::string &bytes)
{
    size_t slash = path.rfind('\\');
    if (slash != std::string::npos)
        HostMakeFolder(path.substr(0, slash));
    OsFile *file = OsFopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    if (!bytes.empty()) {
        EXPECT_EQ(OsFwrite(bytes.data(), 1, bytes.size(), file), bytes.size()) << path;
    }
    EXPECT_EQ(OsFclose(file), 0) << path;
}

std::string HostReadFile(const std::string &path)
{
    OsFile *file = OsFopen(path.c_str(), "rb");
    if (!file) {
        ADD_FAILURE() << "cannot read " << path;
        return "";
    }
    std::string bytes;
    char chunk[4096];
    size_t n;
    while ((n = OsFread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.append(chunk, n);
    OsFclose(file);
    return bytes;
}

bool HostFileExists(const std::string &path)
{
    unsigned long attributes = OsGetFileAttributes(path.c_str());
    return attributes != OS_INVALID_FILE_ATTRIBUTES && !(attributes & OS_FILE_ATTRIBUTE_DIRECTORY);
}

bool HostFolderExists(const std::string &path)
{
    unsigned long attributes = OsGetFileAttributes(path.c_str());
    return attributes != OS_INVALID_FILE_ATTRIBUTES && (attributes & OS_FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<std::string> HostList(const std::string &folder)
{
    std::vector<std::string> names;
    std::string pattern = folder;
    if (pattern.empty() || pattern.back() != '\\')
        pattern += '\\';
    pattern += "*.*";
    OsFindData entry;
    OsFindHandle handle = OsFindFirst(pattern.c_str(), &entry);
    if (handle == OS_INVALID_FIND_HANDLE)
        return names;
    do {
        std::string name = entry.name;
        if (name == "." || name == "..")
            continue;
        if (entry.attributes & OS_FILE_ATTRIBUTE_DIRECTORY)
            name += '\\';
        names.push_back(name);
    } while (OsFindNext(handle, &entry) == 0);
    OsFindClose(handle);
    std::sort(names.begin(), names.end());
    return names;
}

static void CollectTree(const std::string &folder, const std::string &prefix, std::vector<std::string> *out)
{
    for (const std::string &name : HostList(folder)) {
        if (name.back() == '\\')
            CollectTree(folder + "\\" + name.substr(0, name.size() - 1), prefix + name, out);
        else
            out->push_back(prefix + name);
    }
}

std::vector<std::string> HostTree(const std::string &folder)
{
    std::vector<std::string> files;
    CollectTree(folder, "", &files);
    std::sort(files.begin(), files.end());
    return files;
}

const char *const kUnicodeTestFolders[2] = {"C:\\Programy", "C:\\users\\U\u017cytkownik"};

std::string HostShellFolder(int csidl)
{
    char path[OS_PATH_BUFFER];
    OsSHGetSpecialFolderPath(csidl, path, 0);
    return path;
}
