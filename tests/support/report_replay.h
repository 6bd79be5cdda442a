// The upgrade's report, read back and checked against the file system: the
// report's lines, replayed over a picture of the folders taken before the
// run, must give the picture taken after it. A line that says a file was
// kept while the run deleted it, or a file the run touched without a line,
// shows as a difference.
#pragma once

#include "support/host.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <string>
#include <vector>

struct ReportFile {
    bool whole = false;             // a BOM, CR LF line ends, a summary last
    std::vector<std::string> lines; // the decision lines
    std::string summary;
};

inline ReportFile ReadReport(const std::string &path)
{
    ReportFile report;
    if (!HostFileExists(path)) {
        ADD_FAILURE() << "no report at " << path;
        return report;
    }
    std::string bytes = HostReadFile(path);
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") != 0 || bytes.size() < 5 || bytes.compare(bytes.size() - 2, 2, "\r\n") != 0)
        return report;
    std::vector<std::string> lines;
    for (size_t at = 3; at < bytes.size();) {
        size_t end = bytes.find("\r\n", at);
        lines.push_back(bytes.substr(at, end - at));
        at = end + 2;
    }
    if (lines.empty() || lines.back().compare(0, 8, "summary\t") != 0)
        return report;
    report.summary = lines.back();
    lines.pop_back();
    report.lines = lines;
    report.whole = true;
    return report;
}

inline std::vector<std::string> SplitFields(const std::string &line)
{
    std::vector<std::string> fields;
    size_t at = 0;
    for (;;) {
        size_t tab = line.find('\t', at);
        fields.push_back(line.substr(at, tab == std::string::npos ? std::string::npos : tab - at));
        if (tab == std::string::npos)
            return fields;
        at = tab + 1;
    }
}

// What the folders hold: each file's path (in upper case, as Windows
// compares names) and bytes, and each folder's path with a trailing
// backslash and no bytes.
using Picture = std::map<std::string, std::string>;

inline std::string PictureKey(std::string path)
{
    for (char &c : path)
        c = (char)std::toupper((unsigned char)c);
    return path;
}

inline Picture TakePicture(const std::vector<std::string> &roots)
{
    Picture picture;
    for (const std::string &root : roots) {
        if (!HostFolderExists(root))
            continue;
        picture[PictureKey(root) + "\\"] = "";
        for (const std::string &rel : HostTree(root)) {
            std::string path = root + "\\" + rel;
            picture[PictureKey(path)] = HostReadFile(path);
            // Every folder on the way down.
            for (size_t at = rel.find('\\'); at != std::string::npos; at = rel.find('\\', at + 1))
                picture[PictureKey(root + "\\" + rel.substr(0, at)) + "\\"] = "";
        }
    }
    return picture;
}

// The files only: folders come and go with the files in them.
inline Picture FilesOf(const Picture &picture, bool (*counts)(const std::string &key))
{
    Picture files;
    for (const auto &entry : picture)
        if (entry.first.back() != '\\' && counts(entry.first))
            files.insert(entry);
    return files;
}

// Applies the report's lines, in order, to the picture taken before the run.
// A line naming a file the picture lacks is a failure of its own.
inline Picture Replay(Picture picture, const std::vector<std::string> &lines)
{
    for (const std::string &line : lines) {
        std::vector<std::string> f = SplitFields(line);
        if (f.size() < 3) {
            ADD_FAILURE() << "a report line without its fields: " << line;
            continue;
        }
        const std::string &verb = f[0];
        std::string from = PictureKey(f[1]), to = PictureKey(f[2]);
        if (verb == "kept" || verb == "failed")
            continue;
        bool isFile = picture.count(from) != 0;
        bool isFolder = picture.count(from + "\\") != 0;
        if (!isFile && !isFolder) {
            ADD_FAILURE() << "the report acts on what was not there: " << line;
            continue;
        }
        if (verb == "copied") {
            picture[to] = picture[from];
        } else if (verb == "moved" || verb == "renamed") {
            if (isFile) {
                picture[to] = picture[from];
                picture.erase(from);
            } else {
                Picture moved;
                for (auto it = picture.begin(); it != picture.end();) {
                    if (it->first.compare(0, from.size() + 1, from + "\\") == 0) {
                        moved[to + it->first.substr(from.size())] = it->second;
                        it = picture.erase(it);
                    } else {
                        ++it;
                    }
                }
                picture.insert(moved.begin(), moved.end());
            }
        } else if (verb == "deleted") {
            picture.erase(from);
            picture.erase(from + "\\");
        } else {
            ADD_FAILURE() << "an unknown verb: " << line;
        }
    }
    return picture;
}

// The counts of the summary line, by verb.
inline std::map<std::string, int> SummaryCounts(const std::string &summary)
{
    std::map<std::string, int> counts;
    std::vector<std::string> f = SplitFields(summary);
    if (f.size() != 4) {
        ADD_FAILURE() << "a summary without its four fields: " << summary;
        return counts;
    }
    std::string text = f[1];
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find(", ", at);
        std::string part = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
        size_t blank = part.find(' ');
        counts[part.substr(blank + 1)] = std::stoi(part.substr(0, blank));
        at = end == std::string::npos ? text.size() : end + 2;
    }
    return counts;
}
