// Kavilo.exe: the application object runs the program.
#include "app/KaviloApp.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    CKaviloApp app;
    if (!app.InitInstance()) {
        app.ExitInstance();
        return 1;
    }
    return app.Run();
}
