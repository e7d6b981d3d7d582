// The application object: start-up, the message loop and exit. Every message of the loop
// is offered to PreTranslateMessage first (accelerators, keyboard navigation of modeless
// dialog pages, the program's own routing); what it does not take is translated and
// dispatched.
#pragma once

#include "framework/Object.h"

#include <windows.h>

namespace fw {

class App : public CObject {
public:
    App();
    ~App() override;
    static App* Current();

    // False ends the process at once.
    virtual bool InitInstance() { return true; }
    // The exit code.
    virtual int ExitInstance() { return m_exitCode; }
    int Run();
    virtual bool PreTranslateMessage(MSG& msg);

    void SetAccelerators(HACCEL accelerators, HWND target)
    {
        m_accelerators = accelerators;
        m_acceleratorTarget = target;
    }

protected:
    int m_exitCode = 0;

private:
    HACCEL m_accelerators = nullptr;
    HWND m_acceleratorTarget = nullptr;
};

}  // namespace fw
