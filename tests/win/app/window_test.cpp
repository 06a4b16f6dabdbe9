// The real program in a real window: its frame, its size and its close
// confirmation, driven as a user would (Alt+F4, the buttons of the box).
// And the window object in this process: found through its window data
// wherever it lies, with messages and timer ticks reaching it.
#include <windows.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "app/layout.h"
#include "ui/dpi_win.h"
#include "ui/window_win.h"

namespace {

bool waitFor(const std::function<bool()>& condition, DWORD limitMs) {
    const DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > limitMs) return false;
        Sleep(50);
    }
    return true;
}

std::string windowText(HWND h) {
    char buffer[512] = {};
    GetWindowTextA(h, buffer, sizeof buffer);
    return buffer;
}

struct Found {
    const char* text;
    HWND hwnd;
};

BOOL CALLBACK findChildWithText(HWND h, LPARAM lp) {
    auto* f = reinterpret_cast<Found*>(lp);
    if (windowText(h) == f->text) {
        f->hwnd = h;
        return FALSE;
    }
    return TRUE;
}

HWND childWithText(HWND parent, const char* text) {
    Found f{text, nullptr};
    EnumChildWindows(parent, findChildWithText, reinterpret_cast<LPARAM>(&f));
    return f.hwnd;
}

// The display scaling the program starts at (LogPixels), and the client area
// the window must have at it: the design's 554 by 420 scaled and rounded.
int expectedDpi() {
    const char* dpi = std::getenv("WIZARD_DPI");
    return dpi ? std::atoi(dpi) : 96;
}
int scaled(int v) { return (v * expectedDpi() * 2 + 96) / 192; }

class Program {
public:
    Program() {
        const char* exe = std::getenv("WIZARD_EXE");
        if (!exe) return;
        // The display scaling it starts at, set in this session's registry
        // as Windows keeps it: nothing on disk stands between the two.
        HKEY desktop = nullptr;
        const DWORD dpi = static_cast<DWORD>(expectedDpi());
        if (RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            &desktop, nullptr) != ERROR_SUCCESS ||
            RegSetValueExA(desktop, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi) !=
                ERROR_SUCCESS)
            return;
        RegCloseKey(desktop);
        std::string command = std::string("\"") + exe + "\"";
        STARTUPINFOA si{};
        si.cb = sizeof si;
        // Started from another folder: the program finds its files by its own path.
        started_ = CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, "C:\\", &si, &pi_) != 0;
    }
    ~Program() {
        if (!started_) return;
        if (WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(pi_.hProcess, 1);
        CloseHandle(pi_.hThread);
        CloseHandle(pi_.hProcess);
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool started() const { return started_; }
    DWORD pid() const { return pi_.dwProcessId; }
    bool running() const { return WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT; }
    bool waitExit(DWORD ms) const { return WaitForSingleObject(pi_.hProcess, ms) == WAIT_OBJECT_0; }
    DWORD exitCode() const {
        DWORD code = 99;
        GetExitCodeProcess(pi_.hProcess, &code);
        return code;
    }

private:
    PROCESS_INFORMATION pi_{};
    bool started_ = false;
};


HWND mainWindow() {
    HWND h = FindWindowA("TFormMain", nullptr);
    return h && IsWindowVisible(h) ? h : nullptr;
}

HWND exitBox() { return FindWindowA("#32770", "Exit!"); }

// The windows of a process that the task bar shows a button for: visible,
// top-level, unowned and no tool window, or carrying the app-window style.
struct TaskBarSearch {
    DWORD pid;
    std::vector<HWND> found;
};

BOOL CALLBACK collectTaskBarWindow(HWND h, LPARAM lp) {
    auto* s = reinterpret_cast<TaskBarSearch*>(lp);
    DWORD owner = 0;
    GetWindowThreadProcessId(h, &owner);
    const LONG ex = GetWindowLongA(h, GWL_EXSTYLE);
    const bool listed = (ex & WS_EX_APPWINDOW) || (!GetWindow(h, GW_OWNER) && !(ex & WS_EX_TOOLWINDOW));
    if (owner == s->pid && IsWindowVisible(h) && listed) s->found.push_back(h);
    return TRUE;
}

std::vector<HWND> taskBarWindows(DWORD pid) {
    TaskBarSearch search{pid, {}};
    EnumWindows(collectTaskBarWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

BOOL CALLBACK countBox(HWND h, LPARAM lp) {
    auto* s = reinterpret_cast<TaskBarSearch*>(lp);
    DWORD owner = 0;
    GetWindowThreadProcessId(h, &owner);
    char cls[16] = {};
    GetClassNameA(h, cls, sizeof cls);
    if (owner == s->pid && IsWindowVisible(h) && std::string(cls) == "#32770") s->found.push_back(h);
    return TRUE;
}

// How many message boxes the process shows.
int boxesOf(DWORD pid) {
    TaskBarSearch search{pid, {}};
    EnumWindows(countBox, reinterpret_cast<LPARAM>(&search));
    return static_cast<int>(search.found.size());
}

// Answers the exit question that a close request raises.
void answerExitQuestion(int button) {
    HWND box = nullptr;
    ASSERT_TRUE(waitFor([&] { return (box = exitBox()) != nullptr; }, 20000)) << "no exit question";
    SendMessageA(GetDlgItem(box, button), BM_CLICK, 0, 0);
    ASSERT_TRUE(waitFor([] { return exitBox() == nullptr; }, 20000));
}

void pressAltF4(HWND target) {
    SetForegroundWindow(target);
    INPUT keys[4] = {};
    const WORD codes[4] = {VK_MENU, VK_F4, VK_F4, VK_MENU};
    for (int i = 0; i < 4; ++i) {
        keys[i].type = INPUT_KEYBOARD;
        keys[i].ki.wVk = codes[i];
        keys[i].ki.dwFlags = i >= 2 ? KEYEVENTF_KEYUP : 0;
    }
    SendInput(4, keys, sizeof(INPUT));
}

TEST(MainWindow, FrameSizeAndCloseConfirmation) {
    Program program;
    ASSERT_TRUE(program.started()) << "set WIZARD_EXE to the program's path";
    HWND w = nullptr;
    ASSERT_TRUE(waitFor([&] { return (w = mainWindow()) != nullptr; }, 60000));

    EXPECT_EQ(windowText(w), "ZEMO ZOD Ezodi R Iravevod Idavedi");
    RECT client;
    GetClientRect(w, &client);
    EXPECT_EQ(client.right - client.left, scaled(554)) << "at " << expectedDpi() << " DPI";
    EXPECT_EQ(client.bottom - client.top, scaled(420)) << "at " << expectedDpi() << " DPI";
    const LONG style = GetWindowLongA(w, GWL_STYLE), exStyle = GetWindowLongA(w, GWL_EXSTYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX) << "no maximise";
    EXPECT_FALSE(style & WS_THICKFRAME) << "not resizable";
    EXPECT_TRUE(exStyle & WS_EX_TOPMOST);

    // Centred on the desktop.
    RECT frame, work;
    GetWindowRect(w, &frame);
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_LE(std::abs((frame.left + frame.right) / 2 - (work.left + work.right) / 2), 2);
    EXPECT_LE(std::abs((frame.top + frame.bottom) / 2 - (work.top + work.bottom) / 2), 2);

    // A maximise request leaves the size as it is.
    SendMessageA(w, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    GetClientRect(w, &client);
    EXPECT_EQ(client.right, scaled(554));
    EXPECT_EQ(client.bottom, scaled(420));
    EXPECT_FALSE(IsZoomed(w));

    // Alt+F4, answered with Cancel: the window stays.
    pressAltF4(w);
    HWND box = nullptr;
    ASSERT_TRUE(waitFor([&] { return (box = exitBox()) != nullptr; }, 20000)) << "no exit question";
    EXPECT_NE(childWithText(box, "Are you sure to exit?"), nullptr);
    ASSERT_NE(GetDlgItem(box, IDOK), nullptr);
    ASSERT_NE(GetDlgItem(box, IDCANCEL), nullptr);
    SendMessageA(GetDlgItem(box, IDCANCEL), BM_CLICK, 0, 0);
    ASSERT_TRUE(waitFor([] { return exitBox() == nullptr; }, 20000));
    EXPECT_TRUE(program.running());
    EXPECT_NE(mainWindow(), nullptr);

    // The close box (WM_CLOSE) asks too; OK ends the program with exit code 0.
    PostMessageA(w, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(waitFor([&] { return (box = exitBox()) != nullptr; }, 20000));
    SendMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    ASSERT_TRUE(program.waitExit(30000));
    EXPECT_EQ(program.exitCode(), 0u);
}

// The program is one task bar button with the application title; the
// window itself keeps its caption. Minimising from the window or from the
// button hides the window, restoring through the button shows it as it
// was, and closing from the button's menu asks as every close does.
TEST(MainWindow, OneTaskBarButtonWithTheApplicationTitle) {
    Program program;
    ASSERT_TRUE(program.started()) << "set WIZARD_EXE to the program's path";
    HWND w = nullptr;
    ASSERT_TRUE(waitFor([&] { return (w = mainWindow()) != nullptr; }, 60000));

    // The button comes with the window.
    std::vector<HWND> buttons;
    EXPECT_TRUE(waitFor([&] { return !(buttons = taskBarWindows(program.pid())).empty(); }, 20000));
    ASSERT_EQ(buttons.size(), 1u);
    HWND button = buttons[0];
    EXPECT_EQ(windowText(button), "ZEMO DAZ Adoze R Irodidiz Odovuz");
    EXPECT_EQ(GetWindow(w, GW_OWNER), button);
    EXPECT_EQ(windowText(w), "ZEMO ZOD Ezodi R Iravevod Idavedi");

    const auto minimised = [&] { return IsIconic(button) && !IsWindowVisible(w); };
    const auto restored = [&] { return !IsIconic(button) && IsWindowVisible(w) && !IsIconic(w); };
    for (HWND minimiseFrom : {w, button}) {
        PostMessageA(minimiseFrom, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        EXPECT_TRUE(waitFor(minimised, 20000)) << (minimiseFrom == w ? "from the window" : "from the button");
        PostMessageA(button, WM_SYSCOMMAND, SC_RESTORE, 0);
        EXPECT_TRUE(waitFor(restored, 20000));
        RECT client;
        GetClientRect(w, &client);
        EXPECT_EQ(client.right, scaled(554));
        EXPECT_EQ(client.bottom, scaled(420));
        EXPECT_TRUE(GetWindowLongA(w, GWL_EXSTYLE) & WS_EX_TOPMOST);
        EXPECT_EQ(taskBarWindows(program.pid()).size(), 1u);
    }

    PostMessageA(button, WM_SYSCOMMAND, SC_CLOSE, 0);
    answerExitQuestion(IDCANCEL);
    EXPECT_TRUE(program.running());
    EXPECT_NE(mainWindow(), nullptr);

    // While a box is up, closing from the button (or Alt+F4 on it) brings
    // the box forward: no second question opens over it.
    PostMessageA(w, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(waitFor([] { return exitBox() != nullptr; }, 20000)) << "no exit question";
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(button, WM_SYSCOMMAND, SC_CLOSE, 0, SMTO_NORMAL, 5000, &ignored);
    EXPECT_EQ(boxesOf(program.pid()), 1);
    answerExitQuestion(IDCANCEL);
    EXPECT_TRUE(program.running());
    EXPECT_NE(mainWindow(), nullptr);
    PostMessageA(button, WM_SYSCOMMAND, SC_CLOSE, 0);
    answerExitQuestion(IDOK);
    ASSERT_TRUE(program.waitExit(30000));
    EXPECT_EQ(program.exitCode(), 0u);
}

// The window keeps its object's address in its window data, a pointer-sized
// value. The object is placed as high as memory goes (top-down), in the
// 64-bit build above 4 GiB, where a value cut to 32 bits points elsewhere.
class HighPlacedWindow {
public:
    HighPlacedWindow()
        : memory_(VirtualAlloc(nullptr, sizeof(ui::MainWindow), MEM_RESERVE | MEM_COMMIT | MEM_TOP_DOWN,
                               PAGE_READWRITE)),
          window_(memory_ ? new (memory_) ui::MainWindow : nullptr) {}
    ~HighPlacedWindow() {
        if (window_) window_->~MainWindow();
        if (memory_) VirtualFree(memory_, 0, MEM_RELEASE);
    }
    HighPlacedWindow(const HighPlacedWindow&) = delete;
    HighPlacedWindow& operator=(const HighPlacedWindow&) = delete;
    ui::MainWindow* get() const { return window_; }

private:
    void* memory_;
    ui::MainWindow* window_;
};

TEST(MainWindowData, FindsItsObjectAtAHighAddressAndRoutesMessagesAndTicks) {
    app::Layout layout;  // outlives the window
    HighPlacedWindow placed;
    ui::MainWindow* window = placed.get();
    ASSERT_NE(window, nullptr);
    if (sizeof(void*) == 8) {
        ASSERT_GT(reinterpret_cast<std::uintptr_t>(window), std::uintptr_t{0xFFFFFFFF});
    }
    window->create(layout);
    const HWND hwnd = window->handle();
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(GetWindowLongPtrA(hwnd, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(window));

    // The window procedure finds the object: a close request reaches it ...
    int closeRequests = 0;
    window->onCloseRequest([&] {
        ++closeRequests;
        return false;
    });
    SendMessageA(hwnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(closeRequests, 1);

    // ... and so do a timer's ticks (WM_TIMER, through the same procedure).
    ui::Component& timer = layout.get("TimerBlinkingText");
    int ticks = 0;
    timer.onClick = [&] { ++ticks; };
    timer.interval = 10;
    timer.setEnabled(false);
    timer.setEnabled(true);
    EXPECT_TRUE(waitFor(
        [&] {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
            return ticks >= 3;
        },
        20000))
        << ticks << " ticks";
    timer.setEnabled(false);
    EXPECT_TRUE(IsWindow(hwnd));
}

// The window's accessible object, asked for with the client id
// zero-extended (as a 64-bit lParam may carry it), is cut off once the
// window is gone; the size for a DPI before a move between monitors is the
// window's own at the DPI it has, and the frame around the design's client
// area at another.
TEST(MainWindowData, AnswersReadersAndTheDpiQuestionAndLetsGoWithTheWindow) {
    app::Layout layout;
    ui::MainWindow window;
    window.create(layout);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const LRESULT answer = SendMessageA(window.handle(), WM_GETOBJECT, 0, static_cast<DWORD>(OBJID_CLIENT));
    IAccessible* object = nullptr;
    ASSERT_EQ(ObjectFromLresult(answer, __uuidof(IAccessible), 0, reinterpret_cast<void**>(&object)), S_OK);
    LONG count = 0;
    EXPECT_EQ(object->get_accChildCount(&count), S_OK);
    RECT now;
    GetWindowRect(window.handle(), &now);
    const int other = expectedDpi() == 192 ? 96 : 192;
    const RECT there = ui::FrameAround(554 * other / 96, 420 * other / 96, ui::kMainStyle, ui::kMainExStyle, other);
    const std::pair<int, RECT> rows[] = {{expectedDpi(), now}, {other, there}};
    for (const auto& [dpi, frame] : rows) {
        SIZE size{};
        EXPECT_TRUE(SendMessageA(window.handle(), ui::kWmGetDpiScaledSize, dpi, reinterpret_cast<LPARAM>(&size)));
        EXPECT_TRUE(size.cx == frame.right - frame.left && size.cy == frame.bottom - frame.top)
            << size.cx << "x" << size.cy << " at " << dpi << " DPI";
    }
    window.detach();
    EXPECT_EQ(object->get_accChildCount(&count), CO_E_OBJNOTCONNECTED);
    object->Release();
}

}  // namespace
