// One diagnostic log line with any module, section, level and message text.
// What a user would say: the log gains exactly that one line, laid out in its
// columns, in the code page, the message cut (if at all) at a character and
// never the line's layout; a line feed in it reaches the file as CR LF.
#include "log/log.h"
#include "fuzz_host.h"

namespace {

std::string Pad(const std::string &text, size_t width)
{
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

// UTF-8 text in the code page, as the log writes it (checked on its own in
// the text target).
std::string Ansi(const std::string &utf8)
{
    std::vector<char> out(utf8.size() + 1);
    FUZZ_CHECK(OsUtf8ToAnsi(utf8.c_str(), out.data(), out.size(), nullptr), "no ANSI form");
    return out.data();
}

std::string OnDisk(const std::string &text)
{
    std::string bytes;
    for (char c : text) {
        if (c == '\n')
            bytes += '\r';
        bytes += c;
    }
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 12000)
        return 0;
    static std::string logPath;
    if (logPath.empty()) {
        FuzzHostReset();
        FuzzRegSet(OS_HKEY_CURRENT_USER, "EnableDebugLog", OS_REG_SZ, std::string("1", 2));
        SimSetClock(9, 5, 7, 42);
        char path[OS_PATH_BUFFER];
        FUZZ_CHECK(LogFilePath(path), "no log path");
        logPath = path;
    }
    OsDeleteFile(logPath.c_str());
    FuzzBytes in{data, size};
    const uint8_t flags = in.Byte();
    const int level = flags % 4; // 3 is no level: the line says "?"
    const bool withinCall = flags & 4;
    const std::string module = in.Text();
    const std::string section = in.Text();
    const std::string message = in.Rest();
    const std::string shown(message.c_str()); // "%s" shows text up to its first 0

    LogCall call;
    if (withinCall)
        LogCallBegin(&call);
    int result = LogMessage(module.c_str(), section.c_str(), static_cast<LogLevel>(level), "%s", message.c_str());
    if (withinCall)
        result |= LogCallEnd(&call, 0);
    FUZZ_CHECK(result == 0, "LogMessage gave %d", result);

    std::string written;
    FUZZ_CHECK(FuzzReadFile(logPath, &written), "no log file");
    static const char *const kLevels[] = {"INFO", "ERROR", "FATAL", "?"};
    const std::string head = OnDisk(Ansi("[09:05:07.042]\t[" + Pad(module, 15) + " - " + Pad(section, 30) + "]\t" +
                                         Pad(kLevels[level], 5) + "\t"));
    FUZZ_CHECK(written.compare(0, head.size(), head) == 0 && written.size() >= head.size() + 2 &&
                   written.compare(written.size() - 2, 2, "\r\n") == 0,
               "line %s, expected it to start %s", FuzzHex(written).c_str(), FuzzHex(head).c_str());
    const std::string wholeMessage = OnDisk(Ansi(shown));
    const std::string messageWritten = written.substr(head.size(), written.size() - head.size() - 2);
    if (shown.size() <= 4094) {
        FUZZ_CHECK(messageWritten == wholeMessage, "message %s written as %s", FuzzHex(shown).c_str(),
                   FuzzHex(messageWritten).c_str());
    } else {
        // Cut at a character: what is written is the start of the whole.
        FUZZ_CHECK(wholeMessage.compare(0, messageWritten.size(), messageWritten) == 0 &&
                       messageWritten.size() + 8 >= OnDisk(Ansi(shown.substr(0, 4090))).size(),
                   "long message written as %s", FuzzHex(messageWritten).c_str());
    }
    return 0;
}
