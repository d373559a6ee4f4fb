#include "app/application.h"

namespace kivo {

TApplication& TApplication::Instance() {
    static TApplication application;
    return application;
}
void TApplication::Initialize(HINSTANCE instance) {
    instance_ = instance;
}
void TApplication::Minimize() {}
void TApplication::Restore() {}
bool TApplication::IsMinimized() const {
    return false;
}
int TApplication::Run() {
    return 0;
}
bool TApplication::ProcessMessages() {
    return true;
}
void TApplication::Terminate() {
    terminated_ = true;
}
void TApplication::HandleException(const std::exception&) {}
void TApplication::EndSession() {
    ExitProcess(0);
}
LRESULT CALLBACK TApplication::WindowProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    return DefWindowProcA(w, m, wp, lp);
}
std::string ApplicationTitleFromPath(const std::string& exePath) {
    return exePath;
}

} // namespace kivo
