// The version resource of the built Upgrade.dll, read as integrators' tools
// and Windows Explorer read it (GetFileVersionInfo). Windows only: natively
// there is no DLL.
#ifdef _WIN32
#include "support/host.h"

#include <windows.h>

#include <string>
#include <vector>

namespace {

std::string DllPath()
{
    HMODULE dll = LoadLibraryA("Upgrade.dll");
    char path[MAX_PATH] = "";
    if (dll != nullptr) {
        GetModuleFileNameA(dll, path, sizeof path);
        FreeLibrary(dll);
    }
    return path;
}

std::string StringValue(const std::vector<char> &info, const char *name)
{
    struct Translation {
        WORD language, codePage;
    } *translations = nullptr;
    UINT size = 0;
    if (!VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", (void **)&translations, &size) || size < 4)
        return "(no translation)";
    char query[128];
    snprintf(query, sizeof query, "\\StringFileInfo\\%04x%04x\\%s", translations[0].language,
             translations[0].codePage, name);
    char *value = nullptr;
    if (!VerQueryValueA(info.data(), query, (void **)&value, &size) || value == nullptr)
        return "(missing)";
    return value;
}

TEST(DllVersionTest, TheDllSaysWhatItIs)
{
    std::string path = DllPath();
    ASSERT_FALSE(path.empty()) << "Upgrade.dll not found beside the tests";
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, info.data()));

    VS_FIXEDFILEINFO *fixed = nullptr;
    UINT fixedSize = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", (void **)&fixed, &fixedSize));
    // 1.0.0.0: the "DLL Version:  1.00" of the log.
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwFileType, (DWORD)VFT_DLL);

    EXPECT_EQ(StringValue(info, "FileVersion"), "1.0.0.0");
    EXPECT_EQ(StringValue(info, "ProductName"), "Ledgerwick Complete");
    EXPECT_EQ(StringValue(info, "CompanyName"), "Velmora Software Ltd");
    EXPECT_EQ(StringValue(info, "OriginalFilename"), "Upgrade.dll");
}

} // namespace
#endif
