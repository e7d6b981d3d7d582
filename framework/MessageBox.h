// The program's one message box: caption "Orvetta" (the application name), owned by
// the main window's last active pop-up (the main window itself, or the dialog the user is
// in) when there is a main window. With no icon given, OK and OK/Cancel boxes get the
// exclamation icon and yes/no boxes the question icon, as the framework's default box does.
//
// Test seam: while a MessageBoxRecorder lives, boxes are not shown; their texts and
// types are recorded and the recorder's answer is returned instead.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace fw {

// The application name used as caption; set once at start-up (string resource 57344).
void SetAppName(const std::wstring& name);
const std::wstring& GetAppName();

// The main window, owner of message boxes; null when there is none.
void SetMainWindow(HWND hwnd);
HWND GetMainWindow();

int AfxMessageBox(const std::wstring& text, UINT type = MB_OK);

// Once the session is ending no box is shown, since nobody would answer it and what waits
// behind it would not run before the process is ended: OK boxes answer IDOK, others
// IDCANCEL.
void SetSessionEnding(bool ending);

class MessageBoxRecorder {
public:
    struct Box {
        std::wstring text;
        UINT type;
        HWND owner;  // the window the box would have been owned by
    };
    explicit MessageBoxRecorder(int answer = IDOK);
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;
    ~MessageBoxRecorder();

    const std::vector<Box>& Boxes() const { return m_boxes; }
    std::vector<std::wstring> Texts() const;
    void SetAnswer(int answer) { m_answer = answer; }

private:
    friend int AfxMessageBox(const std::wstring&, UINT);
    std::vector<Box> m_boxes;
    int m_answer;
    MessageBoxRecorder* m_previous;
};

}  // namespace fw
