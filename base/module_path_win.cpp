#include "base/module_path_win.h"

#include <windows.h>

#include <vector>

namespace win {

namespace {

// The module's path through GetModuleFileNameA or W, however long; empty
// when the call fails or the name does not fit the longest buffer.
template <typename Char>
std::basic_string<Char> WholeModulePath(DWORD(WINAPI* get)(HMODULE, Char*, DWORD)) {
    constexpr std::size_t kLongestPath = 32768;  // the longest path Windows knows, and its zero
    std::vector<Char> buffer(MAX_PATH);
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD n = get(nullptr, buffer.data(), size);
        if (n == 0) return {};
        // A name that fills the buffer was cut: try a bigger one. A cut
        // name is never handed on.
        if (n < size) return std::basic_string<Char>(buffer.data(), n);
        if (buffer.size() >= kLongestPath) return {};
        buffer.resize(buffer.size() * 2);
    }
}

// True when `text` comes back unchanged from the ANSI code page. No
// best-fit letters: 'Ł' must not pass as 'L', which names another folder.
// UTF-8 takes neither that flag nor the default-used report.
bool FitsAnsiCodePage(const std::wstring& text) {
    if (text.empty()) return true;  // no wide path: nothing known against it
    const bool utf8 = GetACP() == CP_UTF8;
    const int length = static_cast<int>(text.size());
    BOOL usedDefault = FALSE;
    std::string narrow(text.size() * 3, '\0');  // at most three bytes a UTF-16 unit, in any code page
    const int n = WideCharToMultiByte(CP_ACP, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, text.data(), length, &narrow[0],
                                      static_cast<int>(narrow.size()), nullptr, utf8 ? nullptr : &usedDefault);
    if (n <= 0 || usedDefault) return false;
    std::wstring back(text.size(), L'\0');
    return MultiByteToWideChar(CP_ACP, 0, narrow.data(), n, &back[0], length) == length && back == text;
}

std::wstring Widened(const std::string& text) {
    if (text.empty()) return {};
    const int n = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0);
    if (n <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), &wide[0], n);
    return wide;
}

// The text in the ANSI code page; empty when that cannot hold it.
std::string Narrowed(const std::wstring& text) {
    if (text.empty() || !FitsAnsiCodePage(text)) return {};
    const int length = static_cast<int>(text.size());
    const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string narrow(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), length, &narrow[0], n, nullptr, nullptr);
    return narrow;
}

// The long form of a wide path; empty when it cannot be had (the path does
// not exist, say).
std::wstring LongForm(const std::wstring& path) {
    std::wstring whole(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetLongPathNameW(path.c_str(), &whole[0], static_cast<DWORD>(whole.size()));
        if (n == 0) return {};
        if (n < whole.size()) return whole.substr(0, n);
        whole.resize(n);
    }
}

}  // namespace

std::string LongPathName(const std::string& path) {
    const std::wstring wide = Widened(path);
    const std::string narrow = wide.empty() ? std::string() : Narrowed(LongForm(wide));
    return narrow.empty() ? path : narrow;
}

std::string LongTempFolder() {
    wchar_t temp[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    if (n == 0 || n > MAX_PATH) return std::string();
    const std::wstring whole = LongForm(std::wstring(temp, n));
    return Narrowed(whole.empty() ? std::wstring(temp, n) : whole);
}

std::string ModuleFilePath() {
    if (!ModulePathFitsCodePage()) return std::string();
    return WholeModulePath(GetModuleFileNameA);
}

bool ModulePathFitsCodePage() { return FitsAnsiCodePage(WholeModulePath(GetModuleFileNameW)); }

}  // namespace win
