// The resources of the Windows build's libraries: the version Explorer shows
// for both, and the dialog templates and board picture of PCI6406Cfg.
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
    {PCI6406CFG_DLL, L"PCI6406Cfg.dll"},
};

std::wstring StringValue(const std::vector<BYTE>& info, const wchar_t* block, const wchar_t* name) {
    std::wstring query = std::wstring(L"\\StringFileInfo\\") + block + L"\\" + name;
    wchar_t* text = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(info.data(), query.c_str(), reinterpret_cast<void**>(&text), &length) || !text)
        return L"<none>";
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

// The size in dialog units of a DLGTEMPLATE or DLGTEMPLATEEX.
SIZE TemplateSize(const void* pTemplate) {
    const WORD* p = static_cast<const WORD*>(pTemplate);
    if (p[0] == 1 && p[1] == 0xFFFF) return {(LONG)(short)p[11], (LONG)(short)p[12]};
    const DLGTEMPLATE* pDlg = static_cast<const DLGTEMPLATE*>(pTemplate);
    return {pDlg->cx, pDlg->cy};
}

TEST(PCI6406CfgResources, DialogTemplatesAndTheBoardPicture) {
    HMODULE hLibrary = LoadLibraryExA(PCI6406CFG_DLL, NULL, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(hLibrary, (HMODULE)NULL);
    struct Dialog {
        WORD nID;
        LONG cx, cy;
    } dialogs[] = {{105, 317, 238}, {106, 254, 72}, {123, 146, 186}, {124, 226, 187}};
    for (const Dialog& d : dialogs) {
        SCOPED_TRACE(d.nID);
        HRSRC hResource = FindResourceA(hLibrary, MAKEINTRESOURCEA(d.nID), (LPCSTR)RT_DIALOG);
        ASSERT_NE(hResource, (HRSRC)NULL);
        SIZE size = TemplateSize(LockResource(LoadResource(hLibrary, hResource)));
        EXPECT_EQ(size.cx, d.cx);
        EXPECT_EQ(size.cy, d.cy);
    }
    HBITMAP hBitmap = (HBITMAP)LoadImageA(hLibrary, MAKEINTRESOURCEA(127), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
    ASSERT_NE(hBitmap, (HBITMAP)NULL);
    BITMAP bitmap;
    ASSERT_EQ(GetObjectA(hBitmap, sizeof bitmap, &bitmap), (int)sizeof bitmap);
    EXPECT_EQ(bitmap.bmWidth, 220);
    EXPECT_EQ(bitmap.bmHeight, 123);
    EXPECT_EQ(bitmap.bmBitsPixel, 24);
    DeleteObject(hBitmap);
    FreeLibrary(hLibrary);
}

}  // namespace
