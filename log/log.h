// The diagnostic log: one optional, append-only text file, "LWInst.log" in
// the user's application-data folder, switched on by the EnableDebugLog
// setting (read again before every line).
#pragma once

#include "platform/platform.h"

// The module name every caller in this library writes.
#define LOG_MODULE "Upgrade.dll"

typedef enum LogLevel {
    LOG_INFO = 0,
    LOG_ERROR = 1,
    LOG_FATAL = 2
} LogLevel;

// Appends one formatted line when logging is on (outside an export call,
// opening and closing the file for it). Gives -1 when the line was written and closing the file then
// failed, 0 in every other case.
int LogMessage(const char *module, const char *section, LogLevel level, const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 4, 5)))
#endif
    ;

// One export call's hold on the log. Between LogCallBegin and LogCallEnd
// the switch and the path are those read at the start of the call, and the
// file, opened at the first line, stays open and is flushed after every line
// (a line is with the file system as soon as LogMessage returns). Outside a
// call each line reads the switch and opens and closes the file itself.
// The caller owns the structure (on its stack); nothing outlives the call.
typedef struct LogCall {
    int enabled;
    char path[OS_PATH_BUFFER];
    OsFile *file;
} LogCall;
void LogCallBegin(LogCall *call);
// Closes the log; gives status, or -1 when the log was open and closing it
// failed.
int LogCallEnd(LogCall *call, int status);

// One listener that hears every line while it is set, whether or not the
// log is switched on (an installer's own log is read where this one is off):
// the section, the level and the message without its line feed. The caller
// sets it for one export call and clears it (null) before returning.
typedef void (*LogListener)(void *context, const char *section, LogLevel level, const char *message);
void LogListen(LogListener listener, void *context);

// The log file's full path into path (OS_PATH_BUFFER). 1, or 0 with path "" when
// the application-data folder can't be had.
int LogFilePath(char *path);

// DeleteLogFile, the export, is declared with the others in the public header.
#include "include/LedgerwickUpgrade.h"
