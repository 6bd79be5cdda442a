// The clock, waits and windows on the simulated host: a clock a test may
// stop, waits that only count, and windows that exist by title alone.
#include "sim_internal.h"

#include <string.h>
#include <sys/time.h>
#include <time.h>

void SimSetClock(int hour, int minute, int second, int milliseconds)
{
    g_sim.clockFixed = hour >= 0;
    g_sim.clock.hour = hour;
    g_sim.clock.minute = minute;
    g_sim.clock.second = second;
    g_sim.clock.milliseconds = milliseconds;
}

void OsGetLocalTime(OsLocalTime *time)
{
    SimCountCall(SIM_OP_GET_LOCAL_TIME, 0);
    if (!time)
        return;
    if (g_sim.clockFixed) {
        *time = g_sim.clock;
        return;
    }
    struct timeval now;
    gettimeofday(&now, NULL);
    struct tm local;
    time_t seconds = now.tv_sec;
    localtime_r(&seconds, &local);
    time->hour = local.tm_hour;
    time->minute = local.tm_min;
    time->second = local.tm_sec;
    time->milliseconds = (int)(now.tv_usec / 1000);
}

unsigned long long OsGetTickCount(void)
{
    g_sim.ticks += 100;
    return g_sim.ticks + g_sim.slept;
}

OsWindow SimCreateWindow(const char *title)
{
    int slot = -1;
    for (int i = 0; i < SIM_MAX_WINDOWS && slot < 0; i++)
        if (!g_sim.windows[i].alive)
            slot = i;
    if (slot < 0)
        return 0;
    if (g_sim.nextWindow == 0)
        g_sim.nextWindow = 0x20000;
    SimWindow *w = &g_sim.windows[slot];
    w->alive = 1;
    w->handle = g_sim.nextWindow;
    g_sim.nextWindow += 4; // handles are never reused
    TextCopy(w->title, sizeof w->title, title ? title : "");
    return w->handle;
}

void SimDestroyWindow(OsWindow window)
{
    for (int i = 0; i < SIM_MAX_WINDOWS; i++)
        if (g_sim.windows[i].alive && g_sim.windows[i].handle == window)
            g_sim.windows[i].alive = 0;
}

int OsGetWindowText(OsWindow window, char *buffer, int count)
{
    SimCountCall(SIM_OP_GET_WINDOW_TEXT, 0);
    if (!buffer || count <= 0)
        return 0;
    buffer[0] = '\0';
    for (int i = 0; i < SIM_MAX_WINDOWS; i++) {
        const SimWindow *w = &g_sim.windows[i];
        if (w->alive && w->handle == window && window != 0) {
            TextCopy(buffer, (size_t)count, w->title);
            return (int)strlen(buffer);
        }
    }
    return 0;
}

void OsSleep(unsigned milliseconds)
{
    SimCountCall(SIM_OP_SLEEP, 0);
    g_sim.slept += milliseconds;
    if (g_sim.sleepHook != NULL)
        g_sim.sleepHook(g_sim.sleepHookContext);
}

unsigned long SimSleptMilliseconds(void)
{
    return g_sim.slept;
}

void SimSetSleepHook(SimHook hook, void *context)
{
    g_sim.sleepHook = hook;
    g_sim.sleepHookContext = context;
}
