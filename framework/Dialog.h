// A dialog built from a resource template of the executable, modal or modeless.
// `this` is kept in DWLP_USER from WM_INITDIALOG on; WM_COMMAND and WM_NOTIFY reach the
// virtual handlers, every other message OnMessage. IDOK and IDCANCEL go to OnOK and
// OnCancel, which end a modal dialog; a modeless one decides for itself.
#pragma once

#include <windows.h>

#include <string>

namespace fw {

class Dialog {
public:
    explicit Dialog(UINT templateId) : m_templateId(templateId) {}
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;
    // Destroys a modeless window that is still open.
    virtual ~Dialog();

    INT_PTR DoModal(HWND parent);
    bool CreateModeless(HWND parent);
    // Modeless from a template in memory, for callers that adjust a copy of their
    // resource template first (pages shown as children).
    bool CreateModelessIndirect(HWND parent, const DLGTEMPLATE* dialogTemplate);
    void DestroyWindow();

    HWND GetSafeHwnd() const { return m_hwnd; }
    HWND GetDlgItem(int id) const { return m_hwnd ? ::GetDlgItem(m_hwnd, id) : nullptr; }
    void SetDlgItemText(int id, const std::wstring& text) const;
    std::wstring GetDlgItemText(int id) const;

protected:
    virtual BOOL OnInitDialog() { return TRUE; }
    // True when the command was handled.
    virtual bool OnCommand(WORD id, WORD code);
    virtual LRESULT OnNotify(NMHDR* header);
    virtual void OnOK();
    virtual void OnCancel();
    // Messages other than the above; true when handled, with the result in `result`.
    virtual bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, INT_PTR& result);

    bool IsModal() const { return m_modal; }
    UINT GetTemplateId() const { return m_templateId; }

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static INT_PTR Dispatch(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    UINT m_templateId;
    HWND m_hwnd = nullptr;
    bool m_modal = false;
};

}  // namespace fw
