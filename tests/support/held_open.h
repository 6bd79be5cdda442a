// A file that another program holds open without sharing: it can be neither
// written, replaced, moved nor deleted until it is let go. Real under Wine;
// on the simulated host every access to the path fails as it would.
#pragma once

#include "support/host.h"

#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include "platform/sim_host.h"
#endif

class HeldOpen {
public:
    explicit HeldOpen(const std::string &path)
    {
#ifdef _WIN32
        handle_ = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_NE(handle_, INVALID_HANDLE_VALUE) << path;
#else
        SimFailOperation(SIM_OP_ANY_FILE_ACCESS, path.c_str(), OS_ERROR_SHARING_VIOLATION);
#endif
    }
    ~HeldOpen()
    {
#ifdef _WIN32
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
#else
        SimClearFaults();
#endif
    }
    HeldOpen(const HeldOpen &) = delete;
    HeldOpen &operator=(const HeldOpen &) = delete;

#ifdef _WIN32
private:
    HANDLE handle_;
#endif
};
