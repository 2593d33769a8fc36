#include "framework/Accessible.h"

#include <oleacc.h>

#include "framework/Control.h"
#include "framework/SystemDll.h"

namespace {

bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

// An empty text is no text: S_FALSE and no string, as readers expect.
HRESULT ToBstr(const std::string& text, BSTR* out) {
  *out = nullptr;
  if (text.empty()) return S_FALSE;
  const int length = static_cast<int>(text.size());
  const int wide = ::MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
  *out = late::SysAllocStringLen(nullptr, static_cast<UINT>(wide));
  if (!*out) return E_OUTOFMEMORY;
  ::MultiByteToWideChar(CP_ACP, 0, text.data(), length, *out, wide);
  return S_OK;
}

// The client object of one control's window. The control is looked up at
// each call rather than held: a reader may keep the object after the
// control is gone, and then gets the standard object's answers.
class ControlAccessible final : public IAccessible {
 public:
  ControlAccessible(HWND hwnd, IAccessible* standard) : hwnd_(hwnd), standard_(standard) {}
  ControlAccessible(const ControlAccessible&) = delete;
  ControlAccessible& operator=(const ControlAccessible&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    // No other interface: a reader finds the window through the parent,
    // which is the standard object of the window itself.
    if (riid != __uuidof(IUnknown) && riid != __uuidof(IDispatch) &&
        riid != __uuidof(IAccessible)) {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    *out = this;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    return static_cast<ULONG>(::InterlockedIncrement(&refs_));
  }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = ::InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  // What this object says itself.
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    TWinControl* c = Control(child);
    if (!c || !c->AccessibleRole()) return standard_->get_accRole(child, role);
    role->vt = VT_I4;
    role->lVal = c->AccessibleRole();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    TWinControl* c = Control(child);
    return c ? ToBstr(WithoutMnemonics(c->AccessibleName()), name)
             : standard_->get_accName(child, name);
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
    TWinControl* c = Control(child);
    if (!c) return standard_->get_accDefaultAction(child, action);
    return ToBstr(c->AccessibleAction() ? c->AccessibleAction() : "", action);
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
    TWinControl* c = Control(child);
    if (!c) return standard_->accDoDefaultAction(child);
    if (!c->AccessibleAction()) return DISP_E_MEMBERNOTFOUND;
    // Not run inside the reader's call: a click may open a message box or
    // run a pass, and the reader would wait for it.
    return ::PostMessageA(hwnd_, CM_DEFAULTACTION, 0, 0) ? S_OK : E_FAIL;
  }

  // Everything else is the standard object's.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    return standard_->GetTypeInfoCount(count);
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override {
    return standard_->GetTypeInfo(index, locale, info);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID locale,
                                          DISPID* ids) override {
    return standard_->GetIDsOfNames(riid, names, count, locale, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID locale, WORD flags,
                                   DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                   UINT* argError) override {
    return standard_->Invoke(id, riid, locale, flags, params, result, exception, argError);
  }
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    return standard_->get_accParent(parent);
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override {
    return standard_->get_accChildCount(count);
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override {
    return standard_->get_accChild(child, object);
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    return standard_->get_accValue(child, value);
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override {
    return standard_->get_accDescription(child, text);
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    return standard_->get_accState(child, state);
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
    return standard_->get_accHelp(child, help);
  }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
    return standard_->get_accHelpTopic(file, child, topic);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* keys) override {
    return standard_->get_accKeyboardShortcut(child, keys);
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
    return standard_->get_accFocus(focus);
  }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
    return standard_->get_accSelection(selection);
  }
  HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override {
    return standard_->accSelect(flags, child);
  }
  HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height,
                                        VARIANT child) override {
    return standard_->accLocation(left, top, width, height, child);
  }
  HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
    return standard_->accNavigate(direction, start, end);
  }
  HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override {
    return standard_->accHitTest(x, y, child);
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
    return standard_->put_accName(child, name);
  }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
    return standard_->put_accValue(child, value);
  }

 private:
  ~ControlAccessible() { standard_->Release(); }

  // The control, when the question is about this object itself.
  TWinControl* Control(const VARIANT& child) const {
    return IsSelf(child) ? TWinControl::FromHandle(hwnd_) : nullptr;
  }

  HWND hwnd_;
  IAccessible* standard_;
  LONG refs_ = 1;
};

}  // namespace

LRESULT AnswerGetObject(HWND hwnd, WPARAM wParam, LPARAM lParam) {
  // The object id is 32 bits wide, whatever the width of lParam.
  if (static_cast<LONG>(static_cast<DWORD>(lParam)) != OBJID_CLIENT) return 0;
  IAccessible* standard = nullptr;
  if (FAILED(late::CreateStdAccessibleObject(hwnd, OBJID_CLIENT, __uuidof(IAccessible),
                                             reinterpret_cast<void**>(&standard))))
    return 0;
  auto* object = new ControlAccessible(hwnd, standard);
  const LRESULT result = late::LresultFromObject(__uuidof(IAccessible), wParam, object);
  object->Release();
  return result > 0 ? result : 0;  // a failure is a negative HRESULT
}

std::string WithoutMnemonics(const std::string& caption) {
  std::string out;
  for (size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&' && ++i == caption.size()) break;
    out += caption[i];
  }
  return out;
}
