#include "base/module_path_win.h"

#include <windows.h>

#include <vector>

namespace win {

std::string ModuleFilePath() {
    constexpr std::size_t kLongestPath = 32768;  // the longest path Windows knows, and its zero
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD n = GetModuleFileNameA(nullptr, buffer.data(), size);
        if (n == 0) return std::string();
        // A name that fills the buffer was cut: try a bigger one. A cut
        // name is never handed on.
        if (n < size) return std::string(buffer.data(), n);
        if (buffer.size() >= kLongestPath) return std::string();
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace win
