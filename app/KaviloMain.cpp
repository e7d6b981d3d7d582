// Kavilo.exe: start-up and exit of the program. Until the main window exists, the
// program opens an empty frame window captioned with the application name.
#include "capture/CaptureSettings.h"
#include "capture/TempStore.h"
#include "framework/Handles.h"
#include "framework/MessageBox.h"
#include "framework/Profile.h"
#include "res/resource.h"

#include <windows.h>
#include <commctrl.h>

#include <string>

namespace {

std::wstring LoadResourceString(HINSTANCE instance, UINT id)
{
    const wchar_t* text = nullptr;
    // A buffer size of 0 returns a read-only pointer into the resource itself.
    const int length = ::LoadStringW(instance, id, reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 ? std::wstring(text, length) : std::wstring();
}

LRESULT CALLBACK FrameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_DESTROY) {
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int showCommand)
{
    INITCOMMONCONTROLSEX icc = {sizeof icc, 0xFF};
    ::InitCommonControlsEx(&icc);

    const std::wstring appName = LoadResourceString(instance, IDS_APP_NAME);
    fw::SetAppName(appName.empty() ? L"Orvetta" : appName);

    fw::OleInit ole;
    if (FAILED(ole.Result())) {
        fw::AfxMessageBox(LoadResourceString(instance, IDP_OLE_INIT_FAILED));
        return 1;
    }

    fw::SetRegistryKey(L"Orvetta");
    CaptureSettings().m_subDirSizeLimit = fw::GetProfileInt(L"Settings", L"SubDirSizeLimit", 128);
    CaptureSettings().m_howToGetShellIDList = fw::GetProfileInt(L"Settings", L"HowToGetShellIDList", 0);

    CTempStore& store = TheTempStore();
    if (!SetUpTempStore(store, fw::GetProfileString(L"Settings", L"TemporaryFolder", L""))) return 1;

    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = FrameProc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = L"OrvettaFrame";
    ::RegisterClassExW(&wc);
    HWND frame = ::CreateWindowExW(0, wc.lpszClassName, fw::GetAppName().c_str(), WS_OVERLAPPEDWINDOW,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                   instance, nullptr);
    int exitCode = 1;
    if (frame) {
        fw::SetMainWindow(frame);
        ::ShowWindow(frame, showCommand);
        ::UpdateWindow(frame);
        MSG msg;
        while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        exitCode = static_cast<int>(msg.wParam);
        fw::SetMainWindow(nullptr);
    }
    store.CleanUpTempFolder();
    return exitCode;
}
