// The program entry: single-instance detection, settings, the main window and the message loop.
#include <windows.h>

#include <objbase.h>

#include "platform/clock.h"
#include "platform/collation.h"
#include "platform/files.h"
#include "platform/locale.h"
#include "platform/shell.h"
#include "ui/instel.h"
#include "win32/application.h"
#include "win32/oneinstance.h"
#include "win32/processwatch.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    using namespace kivo;
    // Before anything else of ours: is another copy of this executable running?
    CreateInstanceMutex();
    CreateProgramMutex();
    TApplication& app = TApplication::Instance();
    app.Initialize(instance);
    const FormatSettings settings = UserFormatSettings();
    // The shell's starts (ShellExecuteEx) may hand the work to COM objects: this thread is
    // theirs from before the first start until the window and the watch are gone.
    struct ComApartment {
        HRESULT result = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
        ~ComApartment() {
            if (SUCCEEDED(result)) CoUninitialize();
        }
    } com;
    int code = 0;
    try {
        // Outlives the window: programs still running when the program ends are let go.
        TProcessWatch watch;
        TInstelForm form(settings, {SystemClock(), SystemFileSystem(), UserCollator(),
                                    SystemShell(), "", &watch});
        // A copy that the guard ends leaves the log, the task file and the import file alone.
        if (!form.EndedByGuard()) {
            form.FormCreate();
            form.Show();
        }
        code = app.Run();
    } catch (const std::exception& e) {
        app.HandleException(e);
    }
    return code;
}
