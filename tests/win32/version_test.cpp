// The version resource that Explorer shows for each library of the Windows build.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Versioned {
    const char* path;
    const wchar_t* originalName;
};

const Versioned kLibraries[] = {
    {VQX6406S_DLL, L"VQX6406S.dll"},
};

std::wstring StringValue(const std::vector<BYTE>& info, const wchar_t* block, const wchar_t* name) {
    std::wstring query = std::wstring(L"\\StringFileInfo\\") + block + L"\\" + name;
    wchar_t* text = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(info.data(), query.c_str(), reinterpret_cast<void**>(&text), &length) || !text) return L"<none>";
    return std::wstring(text, length && text[length - 1] == 0 ? length - 1 : length);
}

TEST(VersionResource, OneZeroZeroOneInUnitedStatesEnglish) {
    for (const Versioned& lib : kLibraries) {
        SCOPED_TRACE(lib.path);
        DWORD ignored = 0;
        DWORD size = GetFileVersionInfoSizeA(lib.path, &ignored);
        ASSERT_NE(size, 0u) << "no version resource, error " << GetLastError();
        std::vector<BYTE> info(size);
        ASSERT_TRUE(GetFileVersionInfoA(lib.path, 0, size, info.data()));

        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
        ASSERT_GE(length, sizeof *fixed);
        EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
        EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
        EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
        EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);
        EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));

        struct Translation {
            WORD language;
            WORD codePage;
        }* translations = nullptr;
        ASSERT_TRUE(VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations),
                                   &length));
        ASSERT_EQ(length, sizeof *translations) << "one language";
        EXPECT_EQ(translations->language, 0x0409) << "English (United States)";
        EXPECT_EQ(translations->codePage, 1200) << "Unicode";

        EXPECT_EQ(StringValue(info, L"040904b0", L"FileVersion"), L"1, 0, 0, 1");
        EXPECT_EQ(StringValue(info, L"040904b0", L"ProductVersion"), L"1, 0, 0, 1");
        EXPECT_EQ(StringValue(info, L"040904b0", L"OriginalFilename"), lib.originalName);
    }
}

}  // namespace
