// Reads the wizard's window as Narrator does, from another process, through
// UI Automation (which Windows feeds from the window's Active Accessibility
// objects). Lines are written as tests/accessible_view.txt writes them, the
// role taken from the control type, the states from what UI Automation
// says: unavailable (not enabled), focused (has the keyboard focus),
// focusable; and the description from the help text (or the full or the
// Active Accessibility description). Values, read-only and linked are not
// read here.
//   uia_probe tree          the elements shown, one a line; an element that is
//                           off screen or outside the client area says so
//   uia_probe focused       the focused element's line
//   uia_probe invoke NAME   presses the focused element, which must be NAME,
//                           through the Invoke pattern, else the LegacyIAccessible
//                           pattern's default action; prints which was used.
//                           Exit code 3: the client gives no patterns at all (Wine 10)
//   uia_probe events FILE   records focus changes to FILE, one a line
//                           (focus | role | name), until the window is gone;
//                           writes "hooked" first, then where the focus is
// Exit code 2: no window, or no UI Automation client (Wine 8 has none).
#include <initguid.h>
#include <windows.h>
#include <oleacc.h>
#include <uiautomationclient.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>

#include "tests/accessible_line.h"

namespace {

IUIAutomation* automation = nullptr;

std::string utf8(BSTR s) {
    char out[1024] = {};
    if (s) WideCharToMultiByte(CP_UTF8, 0, s, -1, out, sizeof out, nullptr, nullptr);
    SysFreeString(s);
    return out;
}

// A property as UI Automation gives it, now or as cached with an event; an
// unsupported one comes back as a VT_UNKNOWN marker. (Wine 10 implements
// only the Ex forms of the calls.)
VARIANT property(IUIAutomationElement* e, PROPERTYID id, bool cached = false) {
    VARIANT v;
    v.vt = VT_EMPTY;
    if (cached) e->GetCachedPropertyValueEx(id, TRUE, &v);
    else e->GetCurrentPropertyValueEx(id, TRUE, &v);
    return v;
}

bool flag(IUIAutomationElement* e, PROPERTYID id) {
    const VARIANT v = property(e, id);
    return v.vt == VT_BOOL && v.boolVal;
}

std::string text(IUIAutomationElement* e, PROPERTYID id, bool cached = false) {
    const VARIANT v = property(e, id, cached);
    return v.vt == VT_BSTR ? utf8(v.bstrVal) : std::string();
}

std::string nameOf(IUIAutomationElement* e) { return text(e, UIA_NamePropertyId); }

// The Active Accessibility role each control type stands for, so that the
// line reads as the table's.
uint32_t roleOf(CONTROLTYPEID type) {
    static const std::pair<CONTROLTYPEID, uint32_t> roles[] = {{UIA_TextControlTypeId, ROLE_SYSTEM_STATICTEXT},
        {UIA_ButtonControlTypeId, ROLE_SYSTEM_PUSHBUTTON}, {UIA_HyperlinkControlTypeId, ROLE_SYSTEM_LINK},
        {UIA_ProgressBarControlTypeId, ROLE_SYSTEM_PROGRESSBAR}};
    for (const auto& [t, role] : roles)
        if (t == type) return role;
    return 0;
}

std::string description(IUIAutomationElement* e) {
    std::string d;
    for (PROPERTYID id :
         {UIA_HelpTextPropertyId, UIA_FullDescriptionPropertyId, UIA_LegacyIAccessibleDescriptionPropertyId})
        if (d.empty()) d = text(e, id);
    return d;
}

std::string line(IUIAutomationElement* e) {
    const VARIANT type = property(e, UIA_ControlTypePropertyId);
    const uint32_t states = (flag(e, UIA_IsEnabledPropertyId) ? 0 : STATE_SYSTEM_UNAVAILABLE) |
                            (flag(e, UIA_HasKeyboardFocusPropertyId) ? STATE_SYSTEM_FOCUSED : 0) |
                            (flag(e, UIA_IsKeyboardFocusablePropertyId) ? STATE_SYSTEM_FOCUSABLE : 0);
    return AccessibleLine(type.vt == VT_I4 ? roleOf(type.lVal) : 0, nameOf(e), "", states, description(e));
}

int tree(HWND window) {
    IUIAutomationElement* root = nullptr;
    IUIAutomationCondition* all = nullptr;
    IUIAutomationElementArray* found = nullptr;
    int count = 0;
    if (FAILED(automation->ElementFromHandle(window, &root)) || FAILED(automation->CreateTrueCondition(&all)) ||
        FAILED(root->FindAll(TreeScope_Children, all, &found)) || FAILED(found->get_Length(&count)))
        return 2;
    RECT client;
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    for (int i = 0; i < count; ++i) {
        IUIAutomationElement* e = nullptr;
        if (FAILED(found->GetElement(i, &e))) return 2;
        std::printf("%s\n", line(e).c_str());
        // Narrator draws its box around the bounding rectangle.
        RECT r{}, common;
        e->get_CurrentBoundingRectangle(&r);
        const bool inside = IntersectRect(&common, &r, &client) && EqualRect(&common, &r);
        if (flag(e, UIA_IsOffscreenPropertyId) || IsRectEmpty(&r) || !inside)
            std::printf("element %d at %ld,%ld %ldx%ld is off screen or outside the window\n", i + 1, r.left, r.top,
                        r.right - r.left, r.bottom - r.top);
        e->Release();
    }
    return 0;
}

bool isPageElement(IUIAutomationElement* e) {
    const VARIANT type = property(e, UIA_ControlTypePropertyId);
    return type.vt == VT_I4 && roleOf(type.lVal) != 0;
}

// The element with the keyboard focus. Wine 10's GetFocusedElement stops at
// the desktop; then the window's element that has the focus is taken.
IUIAutomationElement* focusedElement(HWND window) {
    IUIAutomationElement* e = nullptr;
    if (SUCCEEDED(automation->GetFocusedElement(&e)) && e && isPageElement(e)) return e;
    std::fprintf(stderr, "GetFocusedElement gives %s; taking the window's element with the keyboard focus\n",
                 e ? line(e).c_str() : "nothing");
    IUIAutomationElement* root = nullptr;
    IUIAutomationCondition* hasFocus = nullptr;
    VARIANT yes;
    yes.vt = VT_BOOL;
    yes.boolVal = VARIANT_TRUE;
    e = nullptr;
    if (SUCCEEDED(automation->ElementFromHandle(window, &root)) &&
        SUCCEEDED(automation->CreatePropertyCondition(UIA_HasKeyboardFocusPropertyId, yes, &hasFocus)))
        root->FindFirst(TreeScope_Children, hasFocus, &e);
    return e;
}

int invoke(HWND window, const char* name) {
    IUIAutomationElement* e = focusedElement(window);
    if (!e || nameOf(e) != name) {
        std::printf("the focus is on %s\n", e ? line(e).c_str() : "nothing");
        return 1;
    }
    IUIAutomationInvokePattern* invokePattern = nullptr;
    if (e->GetCurrentPatternAs(UIA_InvokePatternId, __uuidof(IUIAutomationInvokePattern),
                               reinterpret_cast<void**>(&invokePattern)) == E_NOTIMPL) {
        std::printf("this UI Automation client gives no patterns\n");
        return 3;
    }
    if (invokePattern) {
        std::printf("Invoke pattern\n");
        return FAILED(invokePattern->Invoke());
    }
    IUIAutomationLegacyIAccessiblePattern* legacy = nullptr;
    e->GetCurrentPatternAs(UIA_LegacyIAccessiblePatternId, __uuidof(IUIAutomationLegacyIAccessiblePattern),
                           reinterpret_cast<void**>(&legacy));
    if (!legacy) {
        std::printf("neither the Invoke nor the LegacyIAccessible pattern\n");
        return 1;
    }
    std::printf("LegacyIAccessible pattern's default action\n");
    return FAILED(legacy->DoDefaultAction());
}

// "focus | role | name", the element's role and name read now or from the
// cache filled when its event was raised.
std::string focusLine(IUIAutomationElement* e, bool cached) {
    const VARIANT type = property(e, UIA_ControlTypePropertyId, cached);
    const std::string l =
        AccessibleLine(type.vt == VT_I4 ? roleOf(type.lVal) : 0, text(e, UIA_NamePropertyId, cached), "", 0);
    return "focus | " + l.substr(0, l.size() - 4);  // without the empty value and states
}

class FocusRecorder final : public IUIAutomationFocusChangedEventHandler {
public:
    explicit FocusRecorder(FILE* out) : out_(out) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (riid != __uuidof(IUnknown) && riid != __uuidof(IUIAutomationFocusChangedEventHandler)) {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        *out = this;
        return S_OK;
    }
    // Lives as long as the program.
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    // Events arrive one at a time, on a thread of UI Automation's own.
    HRESULT STDMETHODCALLTYPE HandleFocusChangedEvent(IUIAutomationElement* sender) override {
        std::fprintf(out_, "%s\n", focusLine(sender, true).c_str());
        std::fflush(out_);
        return S_OK;
    }

private:
    FILE* out_;
};

int events(HWND window, const char* file) {
    FILE* out = std::fopen(file, "w");
    if (!out) return 1;
    static FocusRecorder recorder(out);
    IUIAutomationCacheRequest* roleAndName = nullptr;
    if (FAILED(automation->CreateCacheRequest(&roleAndName)) ||
        FAILED(roleAndName->AddProperty(UIA_ControlTypePropertyId)) ||
        FAILED(roleAndName->AddProperty(UIA_NamePropertyId)) ||
        FAILED(automation->AddFocusChangedEventHandler(roleAndName, &recorder)))
        return 1;
    std::fprintf(out, "hooked\n");
    // Then, as a screen reader that has just started, where the focus is.
    if (IUIAutomationElement* e = focusedElement(window)) std::fprintf(out, "%s\n", focusLine(e, false).c_str());
    std::fflush(out);
    while (IsWindow(window)) Sleep(100);
    automation->RemoveAllEventHandlers();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // Screen readers are aware of the display's DPI: they, and the client
    // area's place here, see the rectangles unscaled (Wine 10, as Windows,
    // scales what a program that is not aware sees of other windows).
    SetProcessDPIAware();
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    HWND window = FindWindowA("TFormMain", nullptr);
    if (!window) return 2;
    if (FAILED(CoCreateInstance(__uuidof(CUIAutomation), nullptr, CLSCTX_INPROC_SERVER, __uuidof(IUIAutomation),
                                reinterpret_cast<void**>(&automation)))) {
        std::fprintf(stderr, "no UI Automation client\n");
        return 2;
    }
    if (argc >= 2 && std::strcmp(argv[1], "tree") == 0) return tree(window);
    if (argc >= 2 && std::strcmp(argv[1], "focused") == 0) {
        IUIAutomationElement* e = focusedElement(window);
        if (!e) return 1;
        std::printf("%s\n", line(e).c_str());
        return 0;
    }
    if (argc >= 3 && std::strcmp(argv[1], "invoke") == 0) return invoke(window, argv[2]);
    if (argc >= 3 && std::strcmp(argv[1], "events") == 0) return events(window, argv[2]);
    std::fprintf(stderr, "usage: uia_probe tree | focused | invoke NAME | events FILE\n");
    return 2;
}
