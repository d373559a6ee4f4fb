#include "app/oneinstance.h"

namespace kivo {

std::string InstanceMutexName(const std::string& exePath) {
    return exePath;
}
bool CreateInstanceMutex() {
    return false;
}
bool AnotherInstanceRunning() {
    return false;
}
void ActivateRunningInstance() {}
void CreateProgramMutex() {}
TOneInstance::TOneInstance() {}
TOneInstance::~TOneInstance() {}
bool TOneInstance::Check() {
    return false;
}

} // namespace kivo
