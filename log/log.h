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

// Appends one formatted line (opening and closing the file for it) when
// logging is on. Gives -1 when the line was written and closing the file then
// failed, 0 in every other case.
int LogMessage(const char *module, const char *section, LogLevel level, const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 4, 5)))
#endif
    ;

// The log file's full path into path (OS_MAX_PATH). 1, or 0 with path "" when
// the application-data folder can't be had.
int LogFilePath(char *path);

extern "C" int OS_STDCALL DeleteLogFile(void);
