// GetModuleFileNameW, and LoadLibraryExW/FreeLibrary of PE files as data files.
#include <winsim/control.h>
#include <winsim/pe_image.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <map>
#include <mutex>

#include "internal.h"
#include "modules.h"

namespace {

using winsim::pe::Image;

struct ModuleState {
    std::mutex mutex;
    std::map<HMODULE, std::shared_ptr<const Image>> dataFiles;
    uintptr_t nextHandle = 0;
};

ModuleState& Modules() {
    static ModuleState& state = *new ModuleState;  // never destroyed: threads may outlive main
    static bool hooked = (winsim::detail::OnReset([] {
                              std::lock_guard<std::mutex> lock(state.mutex);
                              state.dataFiles.clear();
                          }),
                          true);
    (void)hooked;
    return state;
}

// Data-file handles have the low bit set, as on Windows; they never repeat.
HMODULE NewDataFileHandle(ModuleState& modules) {
    ++modules.nextHandle;
    return reinterpret_cast<HMODULE>(0x7A000001u + (modules.nextHandle << 16));
}

// The program's own path: its module image, or the host executable when a
// test binary has none.
std::wstring ProgramPath() {
    const std::string& image = winsim::detail::ModuleImagePath();
    if (!image.empty()) return winsim::detail::Widen(image);
    char path[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    return length > 0 ? winsim::detail::Widen(std::string(path, static_cast<size_t>(length))) : L"";
}

// The error Windows gives for a file that cannot be loaded as a data file; 0
// when it can, with the image in *image.
DWORD ReadDataFile(const std::string& path, Image* image) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND;
    if (S_ISDIR(info.st_mode) || access(path.c_str(), R_OK) != 0) return ERROR_ACCESS_DENIED;
    if (info.st_size == 0) return ERROR_FILE_INVALID;
    std::string reason;
    if (!winsim::pe::LoadImage(path, image, &reason)) return ERROR_BAD_EXE_FORMAT;
    return 0;
}

}  // namespace

namespace winsim::detail {

std::shared_ptr<const pe::Image> ModuleResources(HMODULE module, bool* known) {
    *known = true;
    if (!module || module == MainModule()) {
        const std::string& path = ModuleImagePath();
        auto image = std::make_shared<pe::Image>();
        std::string reason;
        if (path.empty() || !pe::LoadImage(path, image.get(), &reason)) return nullptr;
        return image;
    }
    ModuleState& modules = Modules();
    std::lock_guard<std::mutex> lock(modules.mutex);
    auto found = modules.dataFiles.find(module);
    if (found == modules.dataFiles.end()) {
        *known = false;
        return nullptr;
    }
    return found->second;
}

}  // namespace winsim::detail

extern "C" {

DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size) {
    unsigned long code = 0;
    if (winsim::detail::InjectedFailure("GetModuleFileNameW", &code)) {
        SetLastError(code);
        return 0;
    }
    if (module && module != winsim::detail::MainModule())
        winsim::detail::Unimplemented("GetModuleFileNameW", "modules other than the program's own");
    std::wstring path = ProgramPath();
    if (size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (path.size() + 1 > size) {
        path.copy(fileName, size - 1);
        fileName[size - 1] = L'\0';
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    path.copy(fileName, path.size());
    fileName[path.size()] = L'\0';
    return static_cast<DWORD>(path.size());
}

HMODULE LoadLibraryExW(LPCWSTR fileName, HANDLE file, DWORD flags) {
    unsigned long code = 0;
    if (winsim::detail::InjectedFailure("LoadLibraryExW", &code)) {
        SetLastError(code);
        return nullptr;
    }
    if (file || flags != LOAD_LIBRARY_AS_DATAFILE)
        winsim::detail::Unimplemented("LoadLibraryExW", "anything but LOAD_LIBRARY_AS_DATAFILE");
    if (!fileName || !*fileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto image = std::make_shared<Image>();
    if (DWORD error = ReadDataFile(winsim::detail::Narrow(fileName), image.get())) {
        SetLastError(error);
        return nullptr;
    }
    ModuleState& modules = Modules();
    std::lock_guard<std::mutex> lock(modules.mutex);
    HMODULE handle = NewDataFileHandle(modules);
    modules.dataFiles[handle] = std::move(image);
    return handle;
}

BOOL FreeLibrary(HMODULE module) {
    unsigned long code = 0;
    if (winsim::detail::InjectedFailure("FreeLibrary", &code)) {
        SetLastError(code);
        return FALSE;
    }
    if (module == winsim::detail::MainModule()) winsim::detail::Unimplemented("FreeLibrary", "the program's own module");
    ModuleState& modules = Modules();
    std::lock_guard<std::mutex> lock(modules.mutex);
    if (modules.dataFiles.erase(module) == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

}  // extern "C"

namespace winsim {

int LoadedDataFiles() {
    ModuleState& modules = Modules();
    std::lock_guard<std::mutex> lock(modules.mutex);
    return static_cast<int>(modules.dataFiles.size());
}

}  // namespace winsim
