// Reads the wizard's window as a screen reader does, from another process,
// through Active Accessibility.
//   access_probe tree           the visible items, one a line, as written in
//                               tests/accessible_view.txt; an item whose place
//                               does not hit-test back to it says so
//   access_probe press NAME     the default action of the item of that name: exit code 0 when
//                               done, 3 when the item has none (refused), 4 when the call fails,
//                               1 when no item has the name
//   access_probe events FILE    records the window's events to FILE, one a line
//                               (event | role | name), until the window is gone;
//                               writes "hooked" first
#include <windows.h>
#include <oleacc.h>

#include <cstdio>
#include <cstring>
#include <deque>
#include <string>

#include "tests/accessible_line.h"

namespace {

VARIANT child(LONG id) {
    VARIANT v;
    v.vt = VT_I4;
    v.lVal = id;
    return v;
}

// A text property of the item, in UTF-8.
template <typename Get>
std::string text(IAccessible* a, LONG id, Get get) {
    BSTR s = nullptr;
    (a->*get)(child(id), &s);
    char out[1024] = {};
    if (s) WideCharToMultiByte(CP_UTF8, 0, s, -1, out, sizeof out, nullptr, nullptr);
    SysFreeString(s);
    return out;
}

LONG number(IAccessible* a, LONG id, HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, VARIANT*)) {
    VARIANT v;
    v.vt = VT_EMPTY;
    (a->*get)(child(id), &v);
    return v.vt == VT_I4 ? v.lVal : 0;
}

std::string line(IAccessible* a, LONG id) {
    return AccessibleLine(number(a, id, &IAccessible::get_accRole), text(a, id, &IAccessible::get_accName),
                          text(a, id, &IAccessible::get_accValue), number(a, id, &IAccessible::get_accState),
                          text(a, id, &IAccessible::get_accDescription));
}

// The role's word, as the table writes it.
std::string role(IAccessible* a, LONG id) {
    const std::string l = AccessibleLine(number(a, id, &IAccessible::get_accRole), "", "", 0);
    return l.substr(0, l.find(' '));
}

int tree(IAccessible* a, const char* pressName) {
    LONG count = 0;
    a->get_accChildCount(&count);
    for (LONG id = 1; id <= count; ++id) {
        if (pressName) {
            if (text(a, id, &IAccessible::get_accName) == pressName) {
                const HRESULT hr = a->accDoDefaultAction(child(id));
                if (FAILED(hr)) std::fprintf(stderr, "default action: error 0x%08lx\n", static_cast<unsigned long>(hr));
                return hr == DISP_E_MEMBERNOTFOUND ? 3 : FAILED(hr) ? 4 : 0;
            }
            continue;
        }
        if (number(a, id, &IAccessible::get_accState) & STATE_SYSTEM_INVISIBLE) continue;
        std::printf("%s\n", line(a, id).c_str());
        LONG x = 0, y = 0, w = 0, h = 0;
        VARIANT hit;
        hit.vt = VT_EMPTY;
        a->accLocation(&x, &y, &w, &h, child(id));
        if (FAILED(a->accHitTest(x + w / 2, y + h / 2, &hit)) || hit.vt != VT_I4 || hit.lVal != id)
            std::printf("item %ld at %ld,%ld %ldx%ld does not hit-test back to itself\n", id, x, y, w, h);
    }
    return pressName ? 1 : 0;
}

struct Event {
    DWORD event;
    HWND hwnd;
    LONG child;
};
std::deque<Event> pending;

void CALLBACK onEvent(HWINEVENTHOOK, DWORD event, HWND hwnd, LONG object, LONG child, DWORD, DWORD) {
    if (object == OBJID_CLIENT) pending.push_back({event, hwnd, child});
}

// The objects are read outside the hook, in the order the events came.
int events(HWND window, const char* file) {
    static const std::pair<DWORD, const char*> names[] = {{EVENT_OBJECT_FOCUS, "focus"},
        {EVENT_OBJECT_REORDER, "reorder"}, {EVENT_OBJECT_NAMECHANGE, "namechange"},
        {EVENT_OBJECT_STATECHANGE, "statechange"}, {EVENT_OBJECT_VALUECHANGE, "valuechange"},
        {EVENT_SYSTEM_ALERT, "alert"}};
    FILE* out = std::fopen(file, "w");
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (!out || !SetWinEventHook(EVENT_MIN, EVENT_MAX, nullptr, onEvent, pid, 0, WINEVENT_OUTOFCONTEXT)) return 1;
    std::fprintf(out, "hooked\n");
    std::fflush(out);
    SetTimer(nullptr, 0, 100, nullptr);
    MSG msg;
    while (IsWindow(window) && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        DispatchMessageW(&msg);
        for (; !pending.empty(); pending.pop_front()) {
            IAccessible* a = nullptr;
            VARIANT id;
            if (FAILED(AccessibleObjectFromEvent(pending.front().hwnd, OBJID_CLIENT, pending.front().child, &a, &id)))
                continue;
            for (const auto& [event, name] : names)
                if (event == pending.front().event)
                    std::fprintf(out, "%s | %s | %s\n", name, role(a, id.lVal).c_str(),
                                 text(a, id.lVal, &IAccessible::get_accName).c_str());
            std::fflush(out);
            a->Release();
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    HWND window = FindWindowA("TFormMain", nullptr);
    IAccessible* a = nullptr;
    if (!window || FAILED(AccessibleObjectFromWindow(window, OBJID_CLIENT, __uuidof(IAccessible),
                                                     reinterpret_cast<void**>(&a))))
        return 2;
    if (argc >= 2 && std::strcmp(argv[1], "tree") == 0) return tree(a, nullptr);
    if (argc >= 3 && std::strcmp(argv[1], "press") == 0) return tree(a, argv[2]);
    if (argc >= 3 && std::strcmp(argv[1], "events") == 0) return events(window, argv[2]);
    std::fprintf(stderr, "usage: access_probe tree | press NAME | events FILE\n");
    return 2;
}
