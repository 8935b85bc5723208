#include "observatory/com/variant.h"

#include <cstring>
#include <memory>

#include "observatory/com/com_factory.h"
#include "support/wide.h"

namespace orvan::com {

std::string FromBstr(BSTR b) {
  if (b == nullptr) return {};
  return win::Narrow(std::wstring_view(b, ::SysStringLen(b)));
}

BSTR ToBstr(const std::string& utf8) {
  const std::wstring w = win::Widen(utf8);
  BSTR b = ::SysAllocStringLen(w.data(), static_cast<UINT>(w.size()));
  if (b == nullptr) throw errors::ErrorOf(errors::kOutOfMemory);
  return b;
}

void ToVariant(const Value& value, VARIANT& out) {
  ::VariantInit(&out);
  switch (value.kind()) {
    case Value::Kind::Empty:
      out.vt = VT_EMPTY;
      break;
    case Value::Kind::Null:
      out.vt = VT_NULL;
      break;
    case Value::Kind::Bool:
      out.vt = VT_BOOL;
      out.boolVal = static_cast<VARIANT_BOOL>(value.integer());
      break;
    case Value::Kind::I1:
      out.vt = VT_I1;
      out.cVal = static_cast<CHAR>(value.integer());
      break;
    case Value::Kind::UI1:
      out.vt = VT_UI1;
      out.bVal = static_cast<BYTE>(value.integer());
      break;
    case Value::Kind::I2:
      out.vt = VT_I2;
      out.iVal = static_cast<SHORT>(value.integer());
      break;
    case Value::Kind::UI2:
      out.vt = VT_UI2;
      out.uiVal = static_cast<USHORT>(value.integer());
      break;
    case Value::Kind::I4:
      out.vt = VT_I4;
      out.lVal = static_cast<LONG>(value.integer());
      break;
    case Value::Kind::UI4:
      out.vt = VT_UI4;
      out.ulVal = static_cast<ULONG>(value.integer());
      break;
    case Value::Kind::I8:
      out.vt = VT_I8;
      out.llVal = value.integer();
      break;
    case Value::Kind::UI8:
      out.vt = VT_UI8;
      out.ullVal = value.unsigned_integer();
      break;
    case Value::Kind::R4:
      out.vt = VT_R4;
      out.fltVal = static_cast<float>(value.real());
      break;
    case Value::Kind::R8:
      out.vt = VT_R8;
      out.dblVal = value.real();
      break;
    case Value::Kind::Date:
      out.vt = VT_DATE;
      out.date = value.real();
      break;
    case Value::Kind::Currency:
      out.vt = VT_CY;
      out.cyVal.int64 = value.integer();
      break;
    case Value::Kind::Error:
      out.vt = VT_ERROR;
      out.scode = static_cast<SCODE>(value.integer());
      break;
    case Value::Kind::Str:
      out.bstrVal = ToBstr(value.text());
      out.vt = VT_BSTR;
      break;
    case Value::Kind::Object: {
      auto* object = dynamic_cast<ComObject*>(value.object().get());
      if (value.object() && object == nullptr) errors::TypeMismatch();
      out.vt = VT_DISPATCH;
      out.pdispVal = object ? object->dispatch() : nullptr;
      if (out.pdispVal) out.pdispVal->AddRef();
      break;
    }
  }
}

namespace {

struct VariantHolder {
  VARIANT v;
  VariantHolder() { ::VariantInit(&v); }
  ~VariantHolder() { ::VariantClear(&v); }
  VariantHolder(const VariantHolder&) = delete;
  VariantHolder& operator=(const VariantHolder&) = delete;
};

Value FromDirect(const VARIANT& in) {
  switch (in.vt) {
    case VT_EMPTY:
      return Value();
    case VT_NULL:
      return Value::Null();
    case VT_BOOL:
      return Value::Bool(static_cast<std::int16_t>(in.boolVal));
    case VT_I1:
      return Value::I1(static_cast<std::int8_t>(in.cVal));
    case VT_UI1:
      return Value::UI1(in.bVal);
    case VT_I2:
      return Value::I2(in.iVal);
    case VT_UI2:
      return Value::UI2(in.uiVal);
    case VT_I4:
      return Value::I4(in.lVal);
    case VT_UI4:
      return Value::UI4(in.ulVal);
    case VT_I8:
      return Value::I8(in.llVal);
    case VT_UI8:
      return Value::UI8(in.ullVal);
    case VT_R4:
      return Value::R4(in.fltVal);
    case VT_R8:
      return Value::R8(in.dblVal);
    case VT_DATE:
      return Value::Date(in.date);
    case VT_CY:
      return Value::Currency(in.cyVal.int64);
    case VT_ERROR:
      return Value::ErrorCode(static_cast<std::uint32_t>(in.scode));
    case VT_BSTR:
      return Value::Str(FromBstr(in.bstrVal));
    case VT_DISPATCH:
      if (in.pdispVal == nullptr) return Value::Object(nullptr);
      in.pdispVal->AddRef();
      return Value::Object(std::make_shared<ComObject>(in.pdispVal));
    case VT_UNKNOWN: {
      if (in.punkVal == nullptr) return Value::Object(nullptr);
      IDispatch* dispatch = nullptr;
      if (FAILED(in.punkVal->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch))))
        errors::TypeMismatch();
      return Value::Object(std::make_shared<ComObject>(dispatch));
    }
    default:
      break;
  }
  // No direct counterpart: let the automation runtime pick the nearest kind.
  VARTYPE target = VT_R8;
  if (in.vt == VT_INT) target = VT_I4;
  if (in.vt == VT_UINT) target = VT_UI4;
  if ((in.vt & (VT_ARRAY | VT_VECTOR)) != 0) errors::TypeMismatch();
  VariantHolder converted;
  const HRESULT hr = ::VariantChangeType(&converted.v, const_cast<VARIANT*>(&in), 0, target);
  if (FAILED(hr)) throw ErrorFromHResult(hr);
  return FromDirect(converted.v);
}

}  // namespace

Value FromVariant(const VARIANT& in) {
  if ((in.vt & VT_BYREF) == 0) return FromDirect(in);
  VariantHolder direct;
  const HRESULT hr = ::VariantCopyInd(&direct.v, const_cast<VARIANT*>(&in));
  if (FAILED(hr)) throw ErrorFromHResult(hr);
  return FromDirect(direct.v);
}

std::string SystemMessage(HRESULT hr) {
  wchar_t* text = nullptr;
  const DWORD n = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string out;
  if (n != 0 && text != nullptr) out = win::Narrow(std::wstring_view(text, n));
  if (text != nullptr) ::LocalFree(text);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' '))
    out.pop_back();
  return out;
}

Error ErrorFromHResult(HRESULT hr) {
  std::string text = SystemMessage(hr);
  if (text.empty()) {
    // The program's own texts for the numbers it most often meets, where
    // the system has no message table for them.
    switch (hr) {
      case CO_E_CLASSSTRING:
      case REGDB_E_CLASSNOTREG:
      case DISP_E_UNKNOWNNAME:
      case DISP_E_TYPEMISMATCH:
      case DISP_E_BADPARAMCOUNT:
      case DISP_E_MEMBERNOTFOUND:
        text = errors::TextOf(static_cast<std::uint32_t>(hr));
        break;
      default:
        text = "Automation error";
        break;
    }
  }
  return Error(static_cast<std::uint32_t>(hr), text);
}

}  // namespace orvan::com
