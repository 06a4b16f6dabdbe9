// Reads the wizard's window as a screen reader does, from another process,
// through Active Accessibility.
//   access_probe tree           the client area's visible items, one a line, as
//                               in tests/accessible_view.txt; an item whose place
//                               does not hit-test back to it says so
//   access_probe events FILE    records the window's events to FILE, one a line
//                               (event | role | name), until the window is gone;
//                               writes "hooked" first
#include <windows.h>
#include <oleacc.h>

#include <cstdio>
#include <cstring>
#include <deque>
#include <string>

namespace {

std::string utf8(BSTR s) {
    if (!s) return "";
    char out[1024] = {};
    WideCharToMultiByte(CP_UTF8, 0, s, -1, out, sizeof out, nullptr, nullptr);
    SysFreeString(s);
    return out;
}

VARIANT child(LONG id) {
    VARIANT v;
    v.vt = VT_I4;
    v.lVal = id;
    return v;
}

std::string roleName(IAccessible* a, LONG id) {
    VARIANT role;
    role.vt = VT_EMPTY;
    a->get_accRole(child(id), &role);
    switch (role.vt == VT_I4 ? role.lVal : 0) {
        case ROLE_SYSTEM_STATICTEXT: return "text";
        case ROLE_SYSTEM_PUSHBUTTON: return "button";
        case ROLE_SYSTEM_LINK: return "link";
        case ROLE_SYSTEM_PROGRESSBAR: return "progressbar";
        case ROLE_SYSTEM_CLIENT: return "client";
        default: return "role " + std::to_string(role.lVal);
    }
}

std::string name(IAccessible* a, LONG id) {
    BSTR s = nullptr;
    a->get_accName(child(id), &s);
    return utf8(s);
}

// role | name | value | states, as the table writes an item.
std::string line(IAccessible* a, LONG id) {
    BSTR value = nullptr;
    a->get_accValue(child(id), &value);
    VARIANT state;
    state.vt = VT_EMPTY;
    a->get_accState(child(id), &state);
    static const std::pair<LONG, const char*> bits[] = {{STATE_SYSTEM_UNAVAILABLE, "unavailable"},
        {STATE_SYSTEM_FOCUSED, "focused"}, {STATE_SYSTEM_READONLY, "readonly"}, {STATE_SYSTEM_INVISIBLE, "invisible"},
        {STATE_SYSTEM_FOCUSABLE, "focusable"}, {STATE_SYSTEM_LINKED, "linked"}};
    std::string out = roleName(a, id), flags;
    for (const std::string& field : {name(a, id), utf8(value)}) out += " |" + (field.empty() ? "" : " " + field);
    for (const auto& [bit, text] : bits)
        if (state.vt == VT_I4 && (state.lVal & bit)) flags += flags.empty() ? text : std::string(" ") + text;
    return out + " |" + (flags.empty() ? "" : " " + flags);
}

int tree(HWND window) {
    IAccessible* a = nullptr;
    if (FAILED(AccessibleObjectFromWindow(window, OBJID_CLIENT, __uuidof(IAccessible), reinterpret_cast<void**>(&a))))
        return 1;
    LONG count = 0;
    a->get_accChildCount(&count);
    for (LONG id = 1; id <= count; ++id) {
        VARIANT state;
        state.vt = VT_EMPTY;
        a->get_accState(child(id), &state);
        if (state.vt != VT_I4 || (state.lVal & STATE_SYSTEM_INVISIBLE)) continue;
        std::printf("%s\n", line(a, id).c_str());
        LONG x = 0, y = 0, w = 0, h = 0;
        VARIANT hit;
        hit.vt = VT_EMPTY;
        a->accLocation(&x, &y, &w, &h, child(id));
        if (FAILED(a->accHitTest(x + w / 2, y + h / 2, &hit)) || hit.vt != VT_I4 || hit.lVal != id)
            std::printf("item %ld at %ld,%ld %ldx%ld does not hit-test back to itself\n", id, x, y, w, h);
    }
    a->Release();
    return 0;
}

struct Event {
    DWORD event;
    HWND hwnd;
    LONG object, child;
};
std::deque<Event> pending;

void CALLBACK onEvent(HWINEVENTHOOK, DWORD event, HWND hwnd, LONG object, LONG child, DWORD, DWORD) {
    if (object == OBJID_CLIENT) pending.push_back({event, hwnd, object, child});
}

const char* eventName(DWORD e) {
    switch (e) {
        case EVENT_OBJECT_FOCUS: return "focus";
        case EVENT_OBJECT_REORDER: return "reorder";
        case EVENT_OBJECT_NAMECHANGE: return "namechange";
        case EVENT_OBJECT_STATECHANGE: return "statechange";
        case EVENT_OBJECT_VALUECHANGE: return "valuechange";
        case EVENT_SYSTEM_ALERT: return "alert";
        default: return nullptr;
    }
}

// The objects are read outside the hook, in the order the events came.
int events(HWND window, const char* file) {
    FILE* out = std::fopen(file, "w");
    if (!out) return 1;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_MIN, EVENT_MAX, nullptr, onEvent, pid, 0, WINEVENT_OUTOFCONTEXT);
    if (!hook) return 1;
    std::fprintf(out, "hooked\n");
    std::fflush(out);
    SetTimer(nullptr, 0, 100, nullptr);
    MSG msg;
    while (IsWindow(window) && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        DispatchMessageW(&msg);
        while (!pending.empty()) {
            const Event e = pending.front();
            pending.pop_front();
            const char* what = eventName(e.event);
            IAccessible* a = nullptr;
            VARIANT id;
            if (!what || FAILED(AccessibleObjectFromEvent(e.hwnd, e.object, e.child, &a, &id))) continue;
            std::fprintf(out, "%s | %s | %s\n", what, roleName(a, id.lVal).c_str(), name(a, id.lVal).c_str());
            std::fflush(out);
            a->Release();
        }
    }
    UnhookWinEvent(hook);
    std::fclose(out);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    HWND window = FindWindowA("TFormMain", nullptr);
    if (!window) return 2;
    if (argc >= 2 && std::strcmp(argv[1], "tree") == 0) return tree(window);
    if (argc >= 3 && std::strcmp(argv[1], "events") == 0) return events(window, argv[2]);
    std::fprintf(stderr, "usage: access_probe tree | events FILE\n");
    return 2;
}
