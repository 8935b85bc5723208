#include "observatory/com/com_factory.h"

#include <algorithm>
#include <vector>

#include "observatory/com/variant.h"
#include "support/error.h"
#include "support/wide.h"

namespace orvan::com {
namespace {

// Keeps VARIANTs cleared however a call ends.
class Variants {
 public:
  explicit Variants(std::size_t n) : v_(n) {
    for (VARIANT& v : v_) ::VariantInit(&v);
  }
  ~Variants() {
    for (VARIANT& v : v_) ::VariantClear(&v);
  }
  Variants(const Variants&) = delete;
  Variants& operator=(const Variants&) = delete;
  VARIANT* data() { return v_.data(); }
  VARIANT& operator[](std::size_t i) { return v_[i]; }

 private:
  std::vector<VARIANT> v_;
};

// What the object reported when it raised an exception: its number (the scode,
// or the 16-bit code as a control error) and its description, else the
// system's text for that number.
Error ErrorFromException(EXCEPINFO& info) {
  if (info.pfnDeferredFillIn != nullptr) info.pfnDeferredFillIn(&info);
  HRESULT number = info.scode;
  if (number == 0 && info.wCode != 0)
    number = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, info.wCode);
  if (number == 0) number = DISP_E_EXCEPTION;
  std::string description = FromBstr(info.bstrDescription);
  ::SysFreeString(info.bstrDescription);
  ::SysFreeString(info.bstrSource);
  ::SysFreeString(info.bstrHelpFile);
  if (description.empty()) return ErrorFromHResult(number);
  return Error(static_cast<std::uint32_t>(number), description);
}

Value Invoke(IDispatch* dispatch, DISPID id, WORD flags, DISPPARAMS& params) {
  Variants result(1);
  EXCEPINFO info{};
  UINT bad_arg = 0;
  const HRESULT hr =
      dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                       flags == DISPATCH_PROPERTYPUT ? nullptr : &result[0], &info, &bad_arg);
  if (hr == DISP_E_EXCEPTION) throw ErrorFromException(info);
  if (FAILED(hr)) throw ErrorFromHResult(hr);
  return FromVariant(result[0]);
}

}  // namespace

ComObject::ComObject(IDispatch* dispatch) : dispatch_(dispatch) {}

ComObject::~ComObject() {
  if (dispatch_ != nullptr) dispatch_->Release();
}

namespace {

char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool ComObject::IgnoringCase::operator()(std::string_view a, std::string_view b) const {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char x, char y) { return LowerAscii(x) < LowerAscii(y); });
}

// The first spelling the program uses is the one looked up; another spelling
// of the same name later reuses its DISPID, as the look-up ignores case.
long ComObject::Id(std::string_view member) {
  if (const auto found = ids_.find(member); found != ids_.end()) return found->second;
  std::wstring name = win::Widen(member);
  LPOLESTR names[1] = {name.data()};
  DISPID id = DISPID_UNKNOWN;
  const HRESULT hr = dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) throw ErrorFromHResult(hr);
  ids_.emplace(member, id);
  return id;
}

Value ComObject::Get(std::string_view member) {
  const DISPID id = Id(member);
  DISPPARAMS params{nullptr, nullptr, 0, 0};
  return Invoke(dispatch_, id, DISPATCH_PROPERTYGET, params);
}

void ComObject::Put(std::string_view member, const Value& value) {
  const DISPID id = Id(member);
  Variants arg(1);
  ToVariant(value, arg[0]);
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params{arg.data(), &named, 1, 1};
  Invoke(dispatch_, id, DISPATCH_PROPERTYPUT, params);
}

Value ComObject::Call(std::string_view member, std::span<Argument> args) {
  const DISPID id = Id(member);
  // COM takes the arguments last first. A by-reference argument points at the
  // caller's own variable, so the callee's writes land there directly.
  const std::size_t n = args.size();
  Variants vars(n);
  for (std::size_t i = 0; i < n; ++i) {
    Argument& a = args[i];
    VARIANT& v = vars[n - 1 - i];
    if (a.by_ref()) {
      v.vt = VT_R8 | VT_BYREF;
      v.pdblVal = a.ref;
    } else {
      ToVariant(a.value, v);
    }
  }
  DISPPARAMS params{n ? vars.data() : nullptr, nullptr, static_cast<UINT>(n), 0};
  Value result = Invoke(dispatch_, id, DISPATCH_METHOD, params);
  // The by-reference slots do not own what they point at.
  for (std::size_t i = 0; i < n; ++i)
    if (args[i].by_ref()) ::VariantInit(&vars[n - 1 - i]);
  return result;
}

std::shared_ptr<AutomationObject> ComFactory::Create(std::string_view prog_id) {
  const std::wstring id = win::Widen(prog_id);
  CLSID clsid{};
  HRESULT hr = ::CLSIDFromProgID(id.c_str(), &clsid);
  if (FAILED(hr)) throw ErrorFromHResult(hr);
  IDispatch* dispatch = nullptr;
  hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IDispatch,
                          reinterpret_cast<void**>(&dispatch));
  if (FAILED(hr)) throw ErrorFromHResult(hr);
  return std::make_shared<ComObject>(dispatch);
}

}  // namespace orvan::com
