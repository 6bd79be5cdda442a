// What tests expect of an old installation and of the readme left behind,
// written out here once rather than read from the library, so a change to the
// library's tables shows as a failing test.
#pragma once

#include <string>

namespace expected {

// The old program's own files, in the order they are deleted.
inline const char *const kProgramFiles[] = {
    "blank.mdb",    "Ledgerwick.bmp", "ledgerwick.cnt", "ledgerwick.exe", "ledgerwick.hlp",
    "Ledgerwick.ico", "ledgerwick.mdb", "dao2016.dll",  "demo.dat",       "Demo.ico",
    "Disk.ico",     "msabc200.dll",   "msajt200.dll",   "msaexp20.dll",   "msafin.dll",
    "Msain200.dll", "Msaju200.dll",   "msaole20.dll",   "Msarn200.exe",   "msjeterr.dll",
    "msjetint.dll", "soa200.dll",     "system.mda",     "Uninstal.exe",   "Uninstal.ico",
    "utility.mda",
};
inline const char *const kSubFolders[] = {"Backups", "DISK1", "DISK2", "DISK3",
                                          "DISK4",   "Email", "Letters", "Manual"};
inline const char *const kGroupShortcuts[] = {"Ledgerwick Complete.lnk", "Ledgerwick Demo.lnk", "Help.lnk",
                                              "Make Installation Disks.lnk", "UnInstall.lnk"};
inline const char *const kDesktopShortcuts[] = {"Ledgerwick Complete.lnk", "Ledgerwick Demo.lnk"};

// The walk-through's old installation below its folder: some old program
// files, the data file, a leftover lock file, two backups and a letter, each
// with the tag its contents are made from.
struct OldFile {
    const char *path;
    const char *tag;
};
inline const OldFile kWalkThroughFiles[] = {
    {"ledgerwick.exe", "ledgerwick.exe"},     {"Ledgerwick.bmp", "Ledgerwick.bmp"},
    {"msafin.dll", "msafin.dll"},             {"Uninstal.exe", "Uninstal.exe"},
    {"Accounts.LW", "accounts"},              {"Accounts.LDB", "lock"},
    {"Backups\\Accounts.BK1", "bk1"},         {"Backups\\Accounts.BK2", "bk2"},
    {"Letters\\Reminder.RTF", "letter"},
};

// The readme as the user reads it, before the line ends become CR LF.
inline const char kReadmeTemplate[] =
    "Please note:\n\nData files that were stored in your Ledgerwick installation folder (if any) have been moved "
    "to %s.\n\nThe files in this folder have had their extension changed from .LW to .OLD.\n\nYou can delete this "
    "folder if you've upgraded Ledgerwick Complete and it loads your data with no problems (if there are problems "
    "with your data files, then rename the files in this folder from .OLD to .LW and locate the file).\n\nYou may "
    "need help from a computer technician if you're not sure what you're doing.";

inline std::string ReadmeText(const std::string &dataFolder)
{
    std::string text = kReadmeTemplate;
    return text.replace(text.find("%s"), 2, dataFolder);
}

// Text-mode bytes: every line feed reaches the disk as CR LF.
inline std::string OnDisk(const std::string &text)
{
    std::string bytes;
    for (char c : text)
        bytes += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return bytes;
}

inline std::string ReadmeBytes(const std::string &dataFolder)
{
    return OnDisk(ReadmeText(dataFolder));
}

} // namespace expected
