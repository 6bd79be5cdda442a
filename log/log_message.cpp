// One diagnostic log line: switch read, file opened for appending, one line
// written, file closed. Nothing is kept from one line to the next, so the
// switch can change between any two lines and other processes may read or
// append meanwhile.
#include "log/log.h"
#include "settings/settings.h"
#include "upgrade/report.h"

#include <string.h>

#define LOG_MESSAGE_SIZE 4096
// The message keeps this many characters, leaving room for the line feed.
#define LOG_MESSAGE_KEPT 4094
#define LOG_SWITCH_CAPACITY 10
// Room for everything of a line but module, section and message: the padding
// (15 + 30 + 5), four numbers of up to 11 characters, separators, terminator.
#define LOG_LINE_OVERHEAD 128

static const char *const LogLevelNames[] = {"INFO", "ERROR", "FATAL"};

static const char *LevelName(LogLevel level)
{
    // A value outside the table is written as "?" rather than read out of
    // bounds; the line itself is still worth having.
    if ((int)level < 0 || (int)level >= (int)(sizeof LogLevelNames / sizeof LogLevelNames[0]))
        return "?";
    return LogLevelNames[level];
}

static int LoggingEnabled(void)
{
    char value[LOG_SWITCH_CAPACITY];
    return ReadSetting(SETTING_ENABLE_DEBUG_LOG, value, LOG_SWITCH_CAPACITY, "") > 0;
}

int LogMessage(const char *module, const char *section, LogLevel level, const char *format, ...)
{
    if (ReportPreviewing() || !LoggingEnabled())
        return 0;
    char path[OS_MAX_PATH];
    if (!LogFilePath(path))
        return 0;

    char message[LOG_MESSAGE_SIZE];
    va_list args;
    va_start(args, format);
    TextFormatV(message, LOG_MESSAGE_KEPT + 1, format, args); // a longer text is cut
    va_end(args);
    TextAppend(message, sizeof message, "\n");

    if (module == 0)
        module = "[NULL]";
    if (section == 0)
        section = "[NULL]";
    // Module and section are written whole however long, so the line is
    // sized to what it holds rather than to a fixed buffer.
    size_t lineSize = strlen(module) + strlen(section) + strlen(message) + LOG_LINE_OVERHEAD;
    char *line = (char *)OsAlloc(lineSize);
    if (line == 0)
        return 0;

    int result = 0;
    // Text mode: the line feed reaches the file as CR LF.
    OsFile *file = OsFopen(path, "a+");
    if (file != 0) {
        OsLocalTime now;
        OsGetLocalTime(&now);
        TextFormat(line, lineSize, "[%02d:%02d:%02d.%03d]\t[%-15s - %-30s]\t%-5s\t%s",
                   now.hour, now.minute, now.second, now.milliseconds,
                   module, section, LevelName(level), message);
        // One write per line keeps it whole beside other appenders.
        OsFwrite(line, 1, strlen(line), file);
        if (OsFclose(file) != 0)
            result = -1;
    }
    OsFree(line);
    return result;
}
