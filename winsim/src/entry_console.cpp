// Entry shim of a host console program: main hands wide arguments to wmain.
#include <windows.h>

#include <string>
#include <vector>

#include "internal.h"

extern int wmain(int argc, wchar_t** argv, wchar_t** envp);

extern char** environ;

namespace {

std::vector<wchar_t*> WideVector(char** items, int count, std::vector<std::wstring>& storage) {
    for (int i = 0; i < count; ++i) storage.push_back(winsim::detail::Widen(items[i]));
    std::vector<wchar_t*> vector;
    for (std::wstring& item : storage) vector.push_back(&item[0]);
    vector.push_back(nullptr);
    return vector;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::wstring> args, env;
    int envCount = 0;
    while (environ[envCount]) ++envCount;
    std::vector<wchar_t*> wideArgs = WideVector(argv, argc, args);
    std::vector<wchar_t*> wideEnv = WideVector(environ, envCount, env);
    return wmain(argc, wideArgs.data(), wideEnv.data());
}
