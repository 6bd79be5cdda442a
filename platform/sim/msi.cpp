// The installer session a custom action sees, simulated: properties in a
// table, the log lines and progress messages recorded for the test, and a
// cancel armed at a chosen progress report, as an external UI gives it.
#include "sim_internal.h"

#include <string.h>

#define SIM_MSI_PROPERTIES 32
#define SIM_MSI_NAME 128
#define SIM_MSI_VALUE 4096
#define SIM_MSI_LINES 512
#define SIM_MSI_LINE 1024
#define SIM_MSI_PROGRESS 65536

typedef struct SimMsiProperty {
    char name[SIM_MSI_NAME];
    char value[SIM_MSI_VALUE];
} SimMsiPropertyEntry;

static SimMsiPropertyEntry s_properties[SIM_MSI_PROPERTIES];
static int s_propertyCount;
static int s_scheduled;
static int s_cancelAt;
static int s_reports;
static char s_lines[SIM_MSI_LINES][SIM_MSI_LINE];
static int s_lineCount;
static SimMsiProgressMessage s_progress[SIM_MSI_PROGRESS];
static int s_progressCount;

void SimMsiReset(void)
{
    s_propertyCount = 0;
    s_scheduled = 0;
    s_cancelAt = 0;
    s_reports = 0;
    s_lineCount = 0;
    s_progressCount = 0;
}

static SimMsiPropertyEntry *Find(const char *name)
{
    for (int i = 0; i < s_propertyCount; i++)
        if (strcmp(s_properties[i].name, name) == 0)
            return &s_properties[i];
    return NULL;
}

void SimMsiSetProperty(const char *name, const char *value)
{
    SimMsiPropertyEntry *entry = Find(name);
    if (entry == NULL) {
        if (s_propertyCount == SIM_MSI_PROPERTIES)
            return;
        entry = &s_properties[s_propertyCount++];
        TextCopy(entry->name, sizeof entry->name, name);
    }
    TextCopy(entry->value, sizeof entry->value, value ? value : "");
}

const char *SimMsiProperty(const char *name)
{
    SimMsiPropertyEntry *entry = Find(name);
    return entry ? entry->value : "";
}

void SimMsiSetScheduled(int scheduled)
{
    s_scheduled = scheduled;
}

void SimMsiCancelAtReport(int n)
{
    s_cancelAt = n;
}

int SimMsiLineCount(void)
{
    return s_lineCount;
}

const char *SimMsiLine(int index)
{
    return index >= 0 && index < s_lineCount ? s_lines[index] : "";
}

int SimMsiProgressCount(void)
{
    return s_progressCount;
}

SimMsiProgressMessage SimMsiProgressAt(int index)
{
    SimMsiProgressMessage none = {0, 0, 0};
    return index >= 0 && index < s_progressCount ? s_progress[index] : none;
}

unsigned OsMsiGetProperty(OsMsiHandle install, const char *name, char *value, size_t capacity)
{
    (void)install;
    if (value == NULL || capacity == 0 || name == NULL)
        return 87; // ERROR_INVALID_PARAMETER
    if (!TextCopyWhole(value, capacity, SimMsiProperty(name))) {
        value[0] = '\0';
        return OS_ERROR_MORE_DATA;
    }
    return 0;
}

unsigned OsMsiSetProperty(OsMsiHandle install, const char *name, const char *value)
{
    (void)install;
    if (name == NULL)
        return 87;
    SimMsiSetProperty(name, value);
    return 0;
}

int OsMsiGetMode(OsMsiHandle install, int mode)
{
    (void)install;
    return mode == OS_MSIRUNMODE_SCHEDULED && s_scheduled;
}

int OsMsiLogLine(OsMsiHandle install, const char *text)
{
    (void)install;
    if (s_lineCount < SIM_MSI_LINES)
        TextCopy(s_lines[s_lineCount++], SIM_MSI_LINE, text ? text : "");
    return 0;
}

int OsMsiProgress(OsMsiHandle install, int type, int ticks, int third)
{
    (void)install;
    if (s_progressCount < SIM_MSI_PROGRESS) {
        SimMsiProgressMessage message = {type, ticks, third};
        s_progress[s_progressCount++] = message;
    }
    if (type == 2 && s_cancelAt > 0 && ++s_reports >= s_cancelAt)
        return OS_IDCANCEL;
    return 1; // IDOK
}
