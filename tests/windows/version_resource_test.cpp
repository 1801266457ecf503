#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/windows/windows_test_support.h"

// The version resource as Explorer's Details tab reads it: the fixed numbers,
// then the strings of the block the translation table names.
TEST(ProgramVersionResource, CarriesTheProjectVersionProductAndMaker) {
    const std::wstring program = PathUnderWine(WAVELIFT_PROGRAM_PATH);
    const DWORD size = GetFileVersionInfoSizeW(program.c_str(), nullptr);
    ASSERT_GT(size, 0u) << "no version resource";
    std::vector<BYTE> data(size);
    ASSERT_TRUE(GetFileVersionInfoW(program.c_str(), 0, size, data.data()));

    int major = 0, minor = 0, patch = 0;
    ASSERT_EQ(std::sscanf(WAVELIFT_VERSION, "%d.%d.%d", &major, &minor, &patch), 3);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    for (const auto& [ms, ls] : {std::pair{fixed->dwFileVersionMS, fixed->dwFileVersionLS},
                                 std::pair{fixed->dwProductVersionMS, fixed->dwProductVersionLS}}) {
        EXPECT_EQ(HIWORD(ms), major);
        EXPECT_EQ(LOWORD(ms), minor);
        EXPECT_EQ(HIWORD(ls), patch);
        EXPECT_EQ(LOWORD(ls), 0);
    }

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                               &length));
    ASSERT_GE(length, 2 * sizeof(WORD));
    wchar_t block[64];
    swprintf(block, 64, L"\\StringFileInfo\\%04x%04x\\", translation[0], translation[1]);
    const auto text = [&](const wchar_t* name) {
        wchar_t* value = nullptr;
        UINT chars = 0;
        const std::wstring key = std::wstring(block) + name;
        if (!VerQueryValueW(data.data(), key.c_str(), reinterpret_cast<void**>(&value), &chars) || !value) return std::string("(none)");
        const std::wstring wide(value);
        return std::string(wide.begin(), wide.end());
    };
    EXPECT_EQ(text(L"ProductName"), "Wavelift");
    EXPECT_EQ(text(L"FileDescription"), "Wavelift");
    EXPECT_EQ(text(L"CompanyName"), "Brightmoor");
    EXPECT_EQ(text(L"FileVersion"), WAVELIFT_VERSION);
    EXPECT_EQ(text(L"ProductVersion"), WAVELIFT_VERSION);
    EXPECT_EQ(text(L"OriginalFilename"), "wavelift.exe");
    EXPECT_NE(text(L"LegalCopyright").find("Brightmoor"), std::string::npos) << text(L"LegalCopyright");
}
