// The one check every fault test shares: each user file that existed before
// (a data file, earlier copy, backup or letter) still exists, byte for byte,
// somewhere the user can find it: the data folder, or the old folder under
// either of its names, under its own name or, for a data file, its ".OLD"
// name. Header-only, as the test build names its support files one by one.
#pragma once

#include "support/host.h"

#include <map>
#include <string>
#include <vector>

inline bool IsUserFile(const std::string &path)
{
    static const char *const kUserPatterns[] = {"*.LW", "*.OLD", "*.BK1", "*.BK2", "*.BK3", "*.RTF"};
    std::string name = path.substr(path.rfind('\\') + 1);
    for (const char *pattern : kUserPatterns)
        if (OsPathMatchSpec(name.c_str(), pattern))
            return true;
    return false;
}

inline std::string NameOf(const std::string &path) { return path.substr(path.rfind('\\') + 1); }

// Every file below the folders, by full path, with its bytes.
inline std::map<std::string, std::string> FilesBelow(const std::vector<std::string> &folders)
{
    std::map<std::string, std::string> files;
    for (const std::string &folder : folders)
        for (const std::string &rel : HostTree(folder))
            files[folder + "\\" + rel] = HostReadFile(folder + "\\" + rel);
    return files;
}

// The user files of before that are nowhere to be found now.
inline std::vector<std::string> LostFiles(const std::map<std::string, std::string> &before,
                                          const std::vector<std::string> &folders)
{
    std::map<std::string, std::string> now = FilesBelow(folders);
    std::vector<std::string> lost;
    for (const auto &file : before) {
        if (!IsUserFile(file.first))
            continue;
        std::string name = NameOf(file.first);
        std::string renamed = name.substr(0, name.rfind('.')) + ".OLD";
        bool isDataFile = OsPathMatchSpec(name.c_str(), "*.LW") != 0;
        bool kept = false;
        for (const auto &candidate : now) {
            std::string candidateName = NameOf(candidate.first);
            bool nameFits = TextCompareNoCase(candidateName.c_str(), name.c_str()) == 0 ||
                            (isDataFile && TextCompareNoCase(candidateName.c_str(), renamed.c_str()) == 0);
            if (nameFits && candidate.second == file.second)
                kept = true;
        }
        if (!kept)
            lost.push_back(file.first);
    }
    return lost;
}

inline void ExpectNothingLost(const std::map<std::string, std::string> &before, const std::vector<std::string> &folders)
{
    for (const std::string &file : LostFiles(before, folders))
        ADD_FAILURE() << file << " lost";
}
