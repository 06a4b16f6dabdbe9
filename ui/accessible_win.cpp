#include "ui/accessible_win.h"

#include <oleacc.h>

#include <string>

#include "base/system_dll_win.h"
#include "base/utf8_text.h"

namespace ui {

static_assert(static_cast<DWORD>(AccessibleEvent::Focus) == EVENT_OBJECT_FOCUS &&
                  static_cast<DWORD>(AccessibleEvent::Reorder) == EVENT_OBJECT_REORDER &&
                  static_cast<DWORD>(AccessibleEvent::NameChange) == EVENT_OBJECT_NAMECHANGE &&
                  static_cast<DWORD>(AccessibleEvent::StateChange) == EVENT_OBJECT_STATECHANGE &&
                  static_cast<DWORD>(AccessibleEvent::ValueChange) == EVENT_OBJECT_VALUECHANGE &&
                  static_cast<DWORD>(AccessibleEvent::Alert) == EVENT_SYSTEM_ALERT,
              "event numbers");
static_assert(static_cast<LONG>(AccessibleRole::PushButton) == ROLE_SYSTEM_PUSHBUTTON &&
                  static_cast<LONG>(AccessibleRole::StaticText) == ROLE_SYSTEM_STATICTEXT &&
                  static_cast<LONG>(AccessibleRole::Link) == ROLE_SYSTEM_LINK &&
                  static_cast<LONG>(AccessibleRole::ProgressBar) == ROLE_SYSTEM_PROGRESSBAR &&
                  static_cast<LONG>(AccessibleRole::Client) == ROLE_SYSTEM_CLIENT &&
                  static_cast<LONG>(AccessibleRole::Alert) == ROLE_SYSTEM_ALERT,
              "role numbers");
static_assert(accessible_state::kUnavailable == STATE_SYSTEM_UNAVAILABLE &&
                  accessible_state::kFocused == STATE_SYSTEM_FOCUSED &&
                  accessible_state::kReadOnly == STATE_SYSTEM_READONLY &&
                  accessible_state::kInvisible == STATE_SYSTEM_INVISIBLE &&
                  accessible_state::kFocusable == STATE_SYSTEM_FOCUSABLE &&
                  accessible_state::kLinked == STATE_SYSTEM_LINKED,
              "state bits");

namespace {

BSTR toBstr(const std::string& text) {
    using AllocFn = BSTR(WINAPI*)(const OLECHAR*, UINT);
    static const auto alloc = win::SystemFunction<AllocFn>(L"oleaut32.dll", "SysAllocStringLen");
    if (!alloc) return nullptr;
    const std::u16string wide = base::DisplayText(text);
    return alloc(reinterpret_cast<const OLECHAR*>(wide.data()), static_cast<UINT>(wide.size()));
}

void setI4(VARIANT* v, LONG value) {
    v->vt = VT_I4;
    v->lVal = value;
}

}  // namespace

// The client area and its items (simple elements, by child id). Every
// call reads the items afresh; once the window is gone, every call says
// so.
class AccessibleObject final : public IAccessible {
public:
    explicit AccessibleObject(AccessibleSource& source) : source_(&source) {}
    void disconnect() { source_ = nullptr; }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (riid == __uuidof(IUnknown) || riid == __uuidof(IDispatch) || riid == __uuidof(IAccessible)) {
            *out = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

    // IDispatch: clients call the interface's own methods.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count) *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return E_NOTIMPL;
    }

    // IAccessible
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        if (!parent) return E_POINTER;
        *parent = nullptr;
        if (!source_) return CO_E_OBJNOTCONNECTED;
        using FromWindowFn = HRESULT(WINAPI*)(HWND, DWORD, REFIID, void**);
        static const auto fromWindow = win::SystemFunction<FromWindowFn>(L"oleacc.dll", "AccessibleObjectFromWindow");
        if (!fromWindow) return S_FALSE;
        return fromWindow(source_->accessibleWindow(), static_cast<DWORD>(OBJID_WINDOW), __uuidof(IDispatch),
                          reinterpret_cast<void**>(parent));
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
        if (!count) return E_POINTER;
        if (!source_) return CO_E_OBJNOTCONNECTED;
        *count = static_cast<LONG>(source_->accessibleItems().size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        AccessibleItem item;
        const HRESULT hr = find(child, item);
        return hr == S_OK ? S_FALSE : hr;  // every child is a simple element
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        return text(child, name, [this](const AccessibleItem* i) { return i ? i->name : source_->accessibleName(); });
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        return text(child, value, [](const AccessibleItem* i) { return i ? i->value : std::string(); });
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override {
        return text(child, description, [](const AccessibleItem* i) { return i ? i->description : std::string(); });
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        return text(child, action, [](const AccessibleItem* i) { return i ? i->defaultAction : std::string(); });
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
        return text(child, help, [](const AccessibleItem*) { return std::string(); });
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
        return text(child, shortcut, [](const AccessibleItem*) { return std::string(); });
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, LONG* topic) override {
        if (file) *file = nullptr;
        if (topic) *topic = 0;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        if (!role) return E_POINTER;
        role->vt = VT_EMPTY;
        AccessibleItem item;
        const HRESULT hr = find(child, item);
        if (FAILED(hr)) return hr;
        setI4(role, static_cast<LONG>(hr == S_FALSE ? AccessibleRole::Client : item.role));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        if (!state) return E_POINTER;
        state->vt = VT_EMPTY;
        AccessibleItem item;
        const HRESULT hr = find(child, item);
        if (FAILED(hr)) return hr;
        if (hr == S_OK) {
            setI4(state, static_cast<LONG>(item.states));
            return S_OK;
        }
        const HWND hwnd = source_->accessibleWindow();
        LONG self = STATE_SYSTEM_FOCUSABLE;
        if (GetFocus() == hwnd && !focusedId()) self |= STATE_SYSTEM_FOCUSED;
        if (!IsWindowVisible(hwnd)) self |= STATE_SYSTEM_INVISIBLE;
        setI4(state, self);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
        if (!focus) return E_POINTER;
        focus->vt = VT_EMPTY;
        if (!source_) return CO_E_OBJNOTCONNECTED;
        if (GetFocus() != source_->accessibleWindow()) return S_FALSE;
        setI4(focus, focusedId());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
        if (!selection) return E_POINTER;
        selection->vt = VT_EMPTY;
        return source_ ? S_FALSE : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override {
        AccessibleItem item;
        const HRESULT hr = find(child, item);
        if (FAILED(hr)) return hr;
        if (flags != SELFLAG_TAKEFOCUS) return DISP_E_MEMBERNOTFOUND;
        if (hr == S_FALSE) {
            SetFocus(source_->accessibleWindow());
            return S_OK;
        }
        if (!(item.states & STATE_SYSTEM_FOCUSABLE)) return DISP_E_MEMBERNOTFOUND;
        SetFocus(source_->accessibleWindow());
        source_->focusItem(*item.component);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child) override {
        if (!left || !top || !width || !height) return E_POINTER;
        AccessibleItem item;
        const HRESULT hr = find(child, item);
        if (FAILED(hr)) return hr;
        const HWND hwnd = source_->accessibleWindow();
        RECT r{item.box.left, item.box.top, item.box.right, item.box.bottom};
        if (hr == S_FALSE) GetClientRect(hwnd, &r);
        MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&r), 2);
        *left = r.left;
        *top = r.top;
        *width = r.right - r.left;
        *height = r.bottom - r.top;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
        if (!end) return E_POINTER;
        end->vt = VT_EMPTY;
        AccessibleItem item;
        const HRESULT hr = find(start, item);
        if (FAILED(hr)) return hr;
        const LONG count = static_cast<LONG>(source_->accessibleItems().size());
        LONG to = 0;
        if (hr == S_FALSE && direction == NAVDIR_FIRSTCHILD) to = 1;
        else if (hr == S_FALSE && direction == NAVDIR_LASTCHILD) to = count;
        else if (hr == S_OK && direction == NAVDIR_NEXT) to = item.id + 1;
        else if (hr == S_OK && direction == NAVDIR_PREVIOUS) to = item.id - 1;
        if (to < 1 || to > count) return S_FALSE;
        setI4(end, to);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* out) override {
        if (!out) return E_POINTER;
        out->vt = VT_EMPTY;
        if (!source_) return CO_E_OBJNOTCONNECTED;
        const HWND hwnd = source_->accessibleWindow();
        POINT pt{x, y};
        ScreenToClient(hwnd, &pt);
        RECT client;
        GetClientRect(hwnd, &client);
        if (!PtInRect(&client, pt)) return S_FALSE;
        LONG hit = CHILDID_SELF;
        for (const AccessibleItem& i : source_->accessibleItems()) {
            const RECT r{i.box.left, i.box.top, i.box.right, i.box.bottom};
            if (!(i.states & STATE_SYSTEM_INVISIBLE) && PtInRect(&r, pt)) hit = i.id;
        }
        setI4(out, hit);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        AccessibleItem item;
        const HRESULT hr = find(child, item);
        if (FAILED(hr)) return hr;
        if (hr == S_FALSE || item.defaultAction.empty()) return DISP_E_MEMBERNOTFOUND;
        source_->pressLater(*item.component);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

private:
    ~AccessibleObject() = default;

    // S_OK with the item for a child id, S_FALSE for the client area
    // itself, an error for anything else.
    HRESULT find(const VARIANT& child, AccessibleItem& item) const {
        if (!source_) return CO_E_OBJNOTCONNECTED;
        if (child.vt != VT_I4) return E_INVALIDARG;
        if (child.lVal == CHILDID_SELF) return S_FALSE;
        const std::vector<AccessibleItem> items = source_->accessibleItems();
        if (child.lVal < 1 || child.lVal > static_cast<LONG>(items.size())) return E_INVALIDARG;
        item = items[child.lVal - 1];
        return S_OK;
    }
    LONG focusedId() const {
        for (const AccessibleItem& i : source_->accessibleItems())
            if (i.states & STATE_SYSTEM_FOCUSED) return i.id;
        return CHILDID_SELF;
    }
    template <typename Read>
    HRESULT text(const VARIANT& child, BSTR* out, Read read) const {
        if (!out) return E_POINTER;
        *out = nullptr;
        AccessibleItem item;
        const HRESULT hr = find(child, item);
        if (FAILED(hr)) return hr;
        const std::string value = read(hr == S_OK ? &item : nullptr);
        if (value.empty()) return S_FALSE;
        *out = toBstr(value);
        return *out ? S_OK : E_OUTOFMEMORY;
    }

    AccessibleSource* source_;
    ULONG refs_ = 1;
};

WindowAccessibility::~WindowAccessibility() {
    if (!object_) return;
    object_->disconnect();
    object_->Release();
}

bool WindowAccessibility::answer(WPARAM wp, LPARAM lp, LRESULT& result) {
    if (static_cast<LONG>(lp) != OBJID_CLIENT) return false;
    using LresultFn = LRESULT(WINAPI*)(REFIID, WPARAM, LPUNKNOWN);
    static const auto lresultFromObject = win::SystemFunction<LresultFn>(L"oleacc.dll", "LresultFromObject");
    if (!lresultFromObject) return false;
    if (!object_) {
        // The object is marshalled to the screen reader's process: this
        // thread joins a single-threaded apartment, whose calls the window's
        // message loop delivers.
        using CoInitializeExFn = HRESULT(WINAPI*)(LPVOID, DWORD);
        if (const auto init = win::SystemFunction<CoInitializeExFn>(L"ole32.dll", "CoInitializeEx"))
            init(nullptr, COINIT_APARTMENTTHREADED);
        object_ = new AccessibleObject(source_);
    }
    result = lresultFromObject(__uuidof(IAccessible), wp, object_);
    return true;
}

void WindowAccessibility::raise(const RaisedEvent& e) const {
    NotifyWinEvent(static_cast<DWORD>(e.event), source_.accessibleWindow(), OBJID_CLIENT,
                   e.id == 0 ? CHILDID_SELF : e.id);
}

}  // namespace ui
