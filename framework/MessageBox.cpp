#include "framework/MessageBox.h"

namespace fw {
namespace {

std::wstring g_appName = L"Orvetta";
HWND g_mainWindow = nullptr;
MessageBoxRecorder* g_recorder = nullptr;
bool g_sessionEnding = false;

UINT WithDefaultIcon(UINT type)
{
    if ((type & MB_ICONMASK) != 0) return type;
    switch (type & MB_TYPEMASK) {
        case MB_OK:
        case MB_OKCANCEL:
            return type | MB_ICONEXCLAMATION;
        case MB_YESNO:
        case MB_YESNOCANCEL:
            return type | MB_ICONQUESTION;
        default:
            return type;
    }
}

}  // namespace

void SetAppName(const std::wstring& name)
{
    g_appName = name;
}
const std::wstring& GetAppName()
{
    return g_appName;
}

void SetMainWindow(HWND hwnd)
{
    g_mainWindow = hwnd;
}
HWND GetMainWindow()
{
    return g_mainWindow;
}

void SetSessionEnding(bool ending)
{
    g_sessionEnding = ending;
}

int AfxMessageBox(const std::wstring& text, UINT type)
{
    if (g_sessionEnding) return (type & MB_TYPEMASK) == MB_OK ? IDOK : IDCANCEL;
    // The window the user is in (a dialog of the main window's, say) owns the box, so that
    // the box disables that window and not only the main one.
    HWND owner = g_mainWindow && ::IsWindow(g_mainWindow) ? ::GetLastActivePopup(g_mainWindow) : nullptr;
    if (g_recorder) {
        g_recorder->m_boxes.push_back({text, type, owner});
        return g_recorder->m_answer;
    }
    return ::MessageBoxW(owner, text.c_str(), g_appName.c_str(), WithDefaultIcon(type));
}

MessageBoxRecorder::MessageBoxRecorder(int answer) : m_answer(answer), m_previous(g_recorder)
{
    g_recorder = this;
}

MessageBoxRecorder::~MessageBoxRecorder()
{
    g_recorder = m_previous;
}

std::vector<std::wstring> MessageBoxRecorder::Texts() const
{
    std::vector<std::wstring> texts;
    for (const Box& box : m_boxes) texts.push_back(box.text);
    return texts;
}

}  // namespace fw
