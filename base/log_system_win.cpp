#include "base/log_system_win.h"

#include <windows.h>

#include <cstdio>
#include <vector>

#include "base/system_dpi_win.h"

namespace win {

namespace {

constexpr const wchar_t* kLogFileName = L"\\FirmwareUpgrade.log";

bool SeekTo(HANDLE file, DWORD from) {
    LARGE_INTEGER zero{};
    return SetFilePointerEx(file, zero, nullptr, from) != FALSE;
}

bool WriteAll(HANDLE file, std::string_view text) {
    while (!text.empty()) {
        const DWORD chunk = text.size() > (1u << 20) ? (1u << 20) : static_cast<DWORD>(text.size());
        DWORD written = 0;
        if (!WriteFile(file, text.data(), chunk, &written, nullptr) || written == 0) return false;
        text.remove_prefix(written);
    }
    return true;
}

}  // namespace

std::wstring LogFolder() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = GetEnvironmentVariableW(L"LOCALAPPDATA", buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) return std::wstring(buffer.data(), n) + L"\\FirmwareUpgrade";
        buffer.resize(n);
    }
}

std::string LogFile::timeStamp() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u", t.wYear, t.wMonth, t.wDay, t.wHour,
                  t.wMinute, t.wSecond, t.wMilliseconds);
    return text;
}

std::string LogFile::runFacts() {
    // The manifest names the Windows versions the program knows, so the
    // version is the system's own, up to Windows 10 and 11 (10.0).
    OSVERSIONINFOA os{};
    os.dwOSVersionInfoSize = sizeof os;
    GetVersionExA(&os);
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    char text[256];
    std::snprintf(text, sizeof text, "FirmwareUpgrade %s, %u-bit%s, Windows %lu.%lu build %lu, %d DPI, code page %u",
                  WIZARD_VERSION, static_cast<unsigned>(sizeof(void*) * 8), wow64 ? " on 64-bit Windows" : "",
                  os.dwMajorVersion, os.dwMinorVersion, os.dwBuildNumber, SystemDpi(), GetACP());
    return text;
}

std::optional<uint64_t> LogFile::open() {
    const std::wstring folder = LogFolder();
    if (folder.empty()) return std::nullopt;
    CreateDirectoryW(folder.c_str(), nullptr);  // fails when it is there already: that is fine
    file_.reset(CreateFileW((folder + kLogFileName).c_str(), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file_.valid() || !GetFileSizeEx(file_.get(), &size)) return std::nullopt;
    return static_cast<uint64_t>(size.QuadPart);
}

std::optional<std::string> LogFile::read() {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file_.get(), &size) || size.QuadPart > (64 << 20) || !SeekTo(file_.get(), FILE_BEGIN))
        return std::nullopt;
    std::string text(static_cast<std::size_t>(size.QuadPart), '\0');
    std::size_t done = 0;
    while (done < text.size()) {
        DWORD got = 0;
        if (!ReadFile(file_.get(), &text[done], static_cast<DWORD>(text.size() - done), &got, nullptr) || got == 0)
            return std::nullopt;
        done += got;
    }
    return text;
}

bool LogFile::rewrite(std::string_view text) {
    return SeekTo(file_.get(), FILE_BEGIN) && WriteAll(file_.get(), text) && SetEndOfFile(file_.get());
}

std::string LogFile::codePageText(std::string_view text) {
    // Where the code page is UTF-8 (Windows 10 1903 and later, by the
    // manifest), a text that is not UTF-8 came from elsewhere.
    if (GetACP() == CP_UTF8 || text.empty()) return base::LogSystem::codePageText(text);
    const int length = static_cast<int>(text.size());
    const int wide = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
    if (wide <= 0) return base::LogSystem::codePageText(text);
    std::wstring utf16(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), length, &utf16[0], wide);
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), wide, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return base::LogSystem::codePageText(text);
    std::string utf8(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, utf16.data(), wide, &utf8[0], bytes, nullptr, nullptr);
    return utf8;
}

bool LogFile::append(std::string_view text) { return SeekTo(file_.get(), FILE_END) && WriteAll(file_.get(), text); }

}  // namespace win
