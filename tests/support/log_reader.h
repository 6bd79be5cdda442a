// Reading the diagnostic log back in tests. Every entry is checked against
// the exact line layout as it is read, so a test that looks only at messages
// still fails on a badly padded field, a bare line feed or a stray line.
// Header-only: the test build compiles every tests/*.cpp but only the host
// support files it names.
#pragma once

#include "support/host.h"

#include <ctype.h>
#include <string>
#include <vector>

struct LogEntry {
    std::string time; // "hh:mm:ss.mmm"
    std::string module, section, level, message;
};

inline std::ostream &operator<<(std::ostream &out, const LogEntry &e)
{
    return out << "[" << e.section << "] " << e.level << " \"" << e.message << "\"";
}

inline std::string LogPathForTests()
{
    return HostShellFolder(OS_CSIDL_APPDATA) + "\\LWInst.log";
}

inline std::string LogPad(const std::string &text, size_t width)
{
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

// The bytes one entry must have on disk: the fields in their columns, and
// every line feed of the message (and the one ending it) written as CR LF.
inline std::string LogEntryBytes(const std::string &time, const std::string &section, const std::string &level,
                                 const std::string &message, const std::string &module = "Upgrade.dll")
{
    std::string line = "[" + time + "]\t[" + LogPad(module, 15) + " - " + LogPad(section, 30) + "]\t" +
                       LogPad(level, 5) + "\t";
    for (char c : message) {
        if (c == '\n')
            line += '\r';
        line += c;
    }
    return line + "\r\n";
}

// "[hh:mm:ss.mmm]\t[" with a valid local time.
inline bool LogStartsEntry(const std::string &line)
{
    static const char shape[] = "[00:00:00.000]\t[";
    if (line.size() < sizeof shape - 1)
        return false;
    for (size_t i = 0; i + 1 < sizeof shape; i++) {
        if (shape[i] == '0' ? !isdigit(static_cast<unsigned char>(line[i])) : line[i] != shape[i])
            return false;
    }
    int hour = std::stoi(line.substr(1, 2)), minute = std::stoi(line.substr(4, 2)),
        second = std::stoi(line.substr(7, 2));
    return hour < 24 && minute < 60 && second < 60;
}

inline std::string LogTrimRight(const std::string &text)
{
    size_t end = text.find_last_not_of(' ');
    return end == std::string::npos ? "" : text.substr(0, end + 1);
}

// Every entry of the log, in order; none when there is no log. A message that
// holds line feeds (the readme's text) spans several lines of the file.
inline std::vector<LogEntry> ReadLogEntries()
{
    std::vector<LogEntry> entries;
    std::string path = LogPathForTests();
    if (!HostFileExists(path))
        return entries;
    std::string text = HostReadFile(path);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            ADD_FAILURE() << "the log does not end with CR LF: " << text.substr(start);
            end = text.size();
        }
        std::string line = text.substr(start, end - start);
        start = end + 2;
        if (line.find('\n') != std::string::npos || line.find('\r') != std::string::npos)
            ADD_FAILURE() << "bare line feed or carriage return in: " << line;
        if (!LogStartsEntry(line)) {
            if (entries.empty())
                ADD_FAILURE() << "not a log line: " << line;
            else
                entries.back().message += "\n" + line;
            continue;
        }
        std::string rest = line.substr(16); // after "[hh:mm:ss.mmm]\t["
        size_t dash = rest.find(" - ");
        size_t close = dash == std::string::npos ? std::string::npos : rest.find("]\t", dash);
        size_t tab = close == std::string::npos ? std::string::npos : rest.find('\t', close + 2);
        if (tab == std::string::npos) {
            ADD_FAILURE() << "not a log line: " << line;
            continue;
        }
        LogEntry entry{line.substr(1, 12), LogTrimRight(rest.substr(0, dash)),
                       LogTrimRight(rest.substr(dash + 3, close - dash - 3)),
                       LogTrimRight(rest.substr(close + 2, tab - close - 2)), rest.substr(tab + 1)};
        if (entry.level != "INFO" && entry.level != "ERROR" && entry.level != "FATAL")
            ADD_FAILURE() << "unknown level in: " << line;
        EXPECT_EQ(entry.module, "Upgrade.dll") << line;
        // Rebuilt from its fields, the line must come out the same: padding
        // exact, nothing cut.
        std::string rebuilt = LogEntryBytes(entry.time, entry.section, entry.level, entry.message, entry.module);
        EXPECT_EQ(line + "\r\n", rebuilt);
        entries.push_back(entry);
    }
    return entries;
}

// The whole log file's bytes as the entries say they must be, at one time.
inline std::string LogBytesAt(const std::vector<LogEntry> &entries, const std::string &time)
{
    std::string bytes;
    for (const LogEntry &e : entries)
        bytes += LogEntryBytes(time, e.section, e.level, e.message, e.module);
    return bytes;
}

// One section's entries as "LEVEL message".
inline std::vector<std::string> LogSection(const std::vector<LogEntry> &entries, const std::string &section)
{
    std::vector<std::string> out;
    for (const LogEntry &e : entries)
        if (e.section == section)
            out.push_back(e.level + " " + e.message);
    return out;
}

inline bool LogHas(const std::vector<LogEntry> &entries, const std::string &section, const std::string &levelAndMessage)
{
    for (const LogEntry &e : entries)
        if (e.section == section && e.level + " " + e.message == levelAndMessage)
            return true;
    return false;
}
