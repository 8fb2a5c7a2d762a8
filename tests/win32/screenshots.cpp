// Photographs the real dialog as the host stand-in shows it: the main dialog
// with a template selected on the Device tab and on the AO tab, and the About
// box. Each picture is what the screen shows, saved as a 24-bit BMP
// (screenshots.cmake turns them into PNG files). The image folder with the
// registry script is made under OUTPUT_DIR.
//   pci6406cfg-screenshots LIBRARY OUTPUT_DIR
#include <afx_user.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "dialog_view.h"
#include "host.h"
#include "resource.h"

namespace {

const char kDialogCaption[] = "PCI-6406U device setting templates";

// Wine hands a window's pixels to the X server a moment after it paints.
void LetPaintingSettle(Host* host) {
    for (DWORD dwStart = GetTickCount(); GetTickCount() - dwStart < 400;) {
        if (host != NULL) host->Pump();
        Sleep(10);
    }
}

bool SaveScreenImage(HWND hWnd, const std::string& path) {
    RECT rect;
    GetWindowRect(hWnd, &rect);
    const int cx = rect.right - rect.left, cy = rect.bottom - rect.top;
    HDC hScreen = GetDC(NULL);
    HDC hMemory = CreateCompatibleDC(hScreen);
    HBITMAP hBitmap = CreateCompatibleBitmap(hScreen, cx, cy);
    HGDIOBJ hOld = SelectObject(hMemory, hBitmap);
    BitBlt(hMemory, 0, 0, cx, cy, hScreen, rect.left, rect.top, SRCCOPY);
    SelectObject(hMemory, hOld);

    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = cx;
    info.biHeight = cy;  // bottom-up, as BMP files hold their rows
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    const DWORD cbRow = ((DWORD)cx * 3 + 3) & ~3u;
    std::vector<char> pixels(cbRow * cy);
    const int nRows = GetDIBits(hMemory, hBitmap, 0, cy, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info),
                                DIB_RGB_COLORS);
    DeleteObject(hBitmap);
    DeleteDC(hMemory);
    ReleaseDC(NULL, hScreen);
    if (nRows != cy) return false;

    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + (DWORD)pixels.size();
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&info), sizeof info);
    out.write(pixels.data(), (std::streamsize)pixels.size());
    return out.good();
}

int CALLBACK NoteFont(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM lParam) {
    *reinterpret_cast<bool*>(lParam) = true;
    return 0;
}

// Wine draws the caption buttons' glyphs with Marlett, one of its own fonts;
// without it they come out as letters ("r" for the close button).
bool HasFont(const char* pszFace) {
    LOGFONTA font = {};
    font.lfCharSet = DEFAULT_CHARSET;
    lstrcpynA(font.lfFaceName, pszFace, LF_FACESIZE);
    bool bFound = false;
    HDC hScreen = GetDC(NULL);
    EnumFontFamiliesExA(hScreen, &font, NoteFont, reinterpret_cast<LPARAM>(&bFound), 0);
    ReleaseDC(NULL, hScreen);
    return bFound;
}

int Fail(const char* what) {
    std::fprintf(stderr, "pci6406cfg-screenshots: %s\n", what);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return Fail("usage: pci6406cfg-screenshots LIBRARY OUTPUT_DIR");
    if (!HasFont("Marlett")) return Fail("no Marlett font: the caption buttons would show letters");
    const std::string out = std::string(argv[2]) + "/", root = out + "image\\";
    const std::string folder = root + "Public/Quorvex/Device_Drivers/PCI6406";
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "/PCI6406.reg", std::ios::binary)
        << kScriptHead << Section(0, 0) << Section(2, 3, k4To20mA, k0To10V, kMinus5To5V) << Section(5, 5, k0To20mA);
    Host host;
    std::string error;
    if (!host.Load(argv[1], &error)) return Fail(error.c_str());
    // The stand-in's window is as large as the tool's usually is; the dialog
    // covers it.
    host.CreateMainWindow(20, 20, 640, 480);
    host.Configure(root, "PCI6406");
    HWND hDlg = host.LibraryWindow(kDialogCaption);
    if (hDlg == NULL) return Fail("no dialog");

    HWND hTree = FindDialogControl(hDlg, IDC_TEMPLATE_TREE);
    if (!CUser::ClickTreeText(hTree, "Template2")) return Fail("no Template2 to select");
    LetPaintingSettle(&host);
    if (!SaveScreenImage(hDlg, out + "main-device.bmp")) return Fail("main-device");
    if (!CUser::ClickTab(FindDialogControl(hDlg, IDC_TEMPLATE_TABS), 1)) return Fail("no AO tab");
    LetPaintingSettle(&host);
    if (!SaveScreenImage(hDlg, out + "main-ao.bmp")) return Fail("main-ao");

    bool bAbout = false;
    {
        CUserScript user;
        user.ExpectDialog(IDD_ABOUTBOX, [&](HWND hAbout) {
            LetPaintingSettle(NULL);  // its own modal loop paints it
            bAbout = SaveScreenImage(hAbout, out + "about.bmp");
            CUser::PressKey(VK_ESCAPE);
        });
        CUser::ClickTreeText(hTree, "Template2");
        CUser::PressKey(VK_F1);
        std::string problems = user.Verify();
        if (!problems.empty()) return Fail(problems.c_str());
    }
    return bAbout ? 0 : Fail("about");
}
