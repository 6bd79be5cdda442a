// One diagnostic log line. Outside an export call: switch read, file opened
// for appending, one line written, file closed. Within one (LogCallBegin):
// the switch and path of the call's start, the file kept open and flushed
// after each line, so the registry and the shell are asked once per call
// rather than once per line, and a crash still loses no line written.
#include "log/log.h"
#include "settings/settings.h"

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

// The export call under way, or null. It points into that call's stack
// frame and is cleared before the call returns: nothing survives a call.
static LogCall *s_call = 0;

void LogCallBegin(LogCall *call)
{
    call->file = 0;
    call->enabled = LoggingEnabled() && LogFilePath(call->path);
    s_call = call;
}

int LogCallEnd(LogCall *call, int status)
{
    if (s_call == call)
        s_call = 0;
    if (call->file != 0 && OsFclose(call->file) != 0)
        status = -1;
    call->file = 0;
    return status;
}

// Within a call the file is opened at the first line, and again at a later
// line when that failed, as a line of its own would have tried.
static OsFile *OpenLog(const char *path)
{
    // A preview writes nothing at all, and opens no log.
    if (s_call == 0)
        return PvFopen(path, "a+");
    if (s_call->file == 0)
        s_call->file = PvFopen(path, "a+");
    return s_call->file;
}

// Outside a call the file is closed; within one only flushed.
static int FinishLine(OsFile *file)
{
    if (s_call == 0)
        return OsFclose(file) != 0 ? -1 : 0;
    return OsFflush(file) != 0 ? -1 : 0;
}

// Cleared by the export call that set it, like s_call.
static LogListener s_listener = 0;
static void *s_listenerContext = 0;

void LogListen(LogListener listener, void *context)
{
    s_listener = listener;
    s_listenerContext = context;
}

int LogMessage(const char *module, const char *section, LogLevel level, const char *format, ...)
{
    char path[OS_PATH_BUFFER];
    int toFile = 1;
    if (s_call != 0) {
        toFile = s_call->enabled;
        if (toFile)
            TextCopy(path, sizeof path, s_call->path);
    } else {
        toFile = LoggingEnabled() && LogFilePath(path);
    }
    if (!toFile && s_listener == 0)
        return 0;

    char message[LOG_MESSAGE_SIZE];
    va_list args;
    va_start(args, format);
    // A longer text is cut, at the start of a character: half of one would
    // reach the code page as '?'.
    if (!TextFormatV(message, LOG_MESSAGE_KEPT + 1, format, args)) {
        size_t end = strlen(message);
        size_t start = end;
        while (start > 0 && ((unsigned char)message[start - 1] & 0xC0) == 0x80)
            start--;
        if (start > 0 && (unsigned char)message[start - 1] >= 0xC0) {
            unsigned char lead = (unsigned char)message[start - 1];
            size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
            if (end - (start - 1) < need)
                message[start - 1] = '\0';
        }
    }
    va_end(args);
    if (s_listener != 0)
        s_listener(s_listenerContext, section ? section : "[NULL]", level, message);
    if (!toFile)
        return 0;
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
    OsFile *file = OpenLog(path);
    if (file != 0) {
        OsLocalTime now;
        OsGetLocalTime(&now);
        TextFormat(line, lineSize, "[%02d:%02d:%02d.%03d]\t[%-15s - %-30s]\t%-5s\t%s",
                   now.hour, now.minute, now.second, now.milliseconds,
                   module, section, LevelName(level), message);
        // The log is read by people in Notepad: the ANSI code page, as it
        // always was, with '?' for what it can't hold. The line never grows.
        int lossy;
        char *written = (char *)OsAlloc(lineSize);
        if (written != 0 && OsUtf8ToAnsi(line, written, lineSize, &lossy))
            TextCopy(line, lineSize, written);
        OsFree(written);
        // One write per line keeps it whole beside other appenders.
        OsFwrite(line, 1, strlen(line), file);
        result = FinishLine(file);
    }
    OsFree(line);
    return result;
}
