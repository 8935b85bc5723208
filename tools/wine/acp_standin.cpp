// A stand-in for ACP on a test machine: an in-process COM server registering
// "ACP.Telescope" and "ACP.Util", answering from a scenario through the
// scripted observatory and writing one line per access to a log. Never
// shipped; it exists to drive the real OrvanACP.exe from outside.
//
// Configuration, read from the process environment when first used:
//   ORVAN_STANDIN_SCENARIO  the scenario file (answers, raises, nocreate)
//   ORVAN_STANDIN_LOG       where the observatory lines go (appended)
//   ORVAN_STANDIN_CLOCK     a file holding the index of the event being
//                           played; directives up to that event apply
// Without them it answers with the observatory's defaults and logs nothing.
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "observatory/com/variant.h"
#include "observatory/scripted/scripted_observatory.h"
#include "replay/apply.h"
#include "replay/scenario.h"
#include "standin_files.h"
#include "standin_ids.h"
#include "support/wide.h"

#include <olectl.h>

namespace {

using orvan::Error;
using orvan::Value;
using orvan::replay::Step;

HMODULE g_module = nullptr;
std::atomic<long> g_locks{0};

std::wstring Env(const wchar_t* name) {
  wchar_t buf[4096];
  const DWORD n = ::GetEnvironmentVariableW(name, buf, 4096);
  return n > 0 && n < 4096 ? std::wstring(buf, n) : std::wstring();
}

// The observatory of this process, its scenario and where it stands in it.
class Standin {
 public:
  Standin() {
    log_path_ = Env(orvan::wine::kLogVariable);
    clock_path_ = Env(orvan::wine::kClockVariable);
    observatory_ = std::make_unique<orvan::ScriptedObservatory>(
        [this](const std::string& line) { Write(line); });
    const std::wstring scenario = Env(orvan::wine::kScenarioVariable);
    if (!scenario.empty()) {
      try {
        steps_ = orvan::replay::ParseScenario(orvan::wine::ReadAll(scenario));
      } catch (const orvan::replay::ScenarioError& e) {
        Write(std::string("!! stand-in: bad scenario: ") + e.what());
      }
    }
  }

  orvan::ScriptedObservatory& observatory() { return *observatory_; }

  // Applies the directives that come before the event now being played.
  void Sync() {
    const int current = Clock();
    while (next_ < steps_.size()) {
      const Step& s = steps_[next_];
      if (s.IsEvent()) {
        if (events_passed_ >= current) return;
        ++events_passed_;
      } else {
        // Nest directives can't arise here: the driver refuses such
        // scenarios, as nothing outside the program can deliver them.
        orvan::replay::ApplyDirective(s, *observatory_);
      }
      ++next_;
    }
  }

 private:
  int Clock() const {
    if (clock_path_.empty()) return 1 << 30;
    const std::string text = orvan::wine::ReadAll(clock_path_);
    if (text.empty()) return last_clock_;
    try {
      last_clock_ = std::stoi(text);
    } catch (const std::exception&) {
    }
    return last_clock_;
  }

  void Write(const std::string& line) {
    if (log_path_.empty()) return;
    HANDLE f =
        ::CreateFileW(log_path_.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return;
    const std::string text = line + "\n";
    DWORD written = 0;
    ::WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    ::CloseHandle(f);
  }

  std::wstring log_path_;
  std::wstring clock_path_;
  std::unique_ptr<orvan::ScriptedObservatory> observatory_;
  std::vector<Step> steps_;
  std::size_t next_ = 0;
  int events_passed_ = 0;
  mutable int last_clock_ = 0;
};

Standin& TheStandin() {
  static Standin standin;
  return standin;
}

HRESULT Raised(const Error& e, EXCEPINFO* info) {
  if (info != nullptr) {
    *info = EXCEPINFO{};
    info->scode = static_cast<SCODE>(e.number());
    info->bstrSource = ::SysAllocString(L"ACP");
    info->bstrDescription = orvan::com::ToBstr(e.description());
  }
  return DISP_E_EXCEPTION;
}

// QueryInterface of an object with one interface besides IUnknown.
template <class Interface>
HRESULT QueryOne(Interface* self, REFIID riid, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (riid != IID_IUnknown && riid != iid) {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  *out = self;
  self->AddRef();
  return S_OK;
}

// One ACP object seen through IDispatch: names get identifiers on first
// lookup, and every access goes to the scripted object under the name as the
// caller spelled it.
class Dispatch final : public IDispatch {
 public:
  explicit Dispatch(std::shared_ptr<orvan::AutomationObject> object) : object_(std::move(object)) {
    ++g_locks;
  }
  ~Dispatch() { --g_locks; }
  Dispatch(const Dispatch&) = delete;
  Dispatch& operator=(const Dispatch&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    return QueryOne<IDispatch>(this, riid, IID_IDispatch, out);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info != nullptr) *info = nullptr;
    return E_NOTIMPL;
  }

  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    for (UINT i = 0; i < count; ++i) {
      const std::wstring name = names[i];
      std::size_t k = 0;
      while (k < names_.size() &&
             ::CompareStringOrdinal(names_[k].c_str(), -1, name.c_str(), -1, TRUE) != CSTR_EQUAL)
        ++k;
      if (k == names_.size()) names_.push_back(name);
      names_[k] = name;  // the caller's spelling, as the log shows it
      ids[i] = static_cast<DISPID>(k + 1);
    }
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* info, UINT*) override {
    if (id < 1 || static_cast<std::size_t>(id) > names_.size()) return DISP_E_MEMBERNOTFOUND;
    if (params == nullptr) return E_INVALIDARG;
    const std::string name = orvan::win::Narrow(names_[static_cast<std::size_t>(id) - 1]);
    TheStandin().Sync();
    try {
      if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        if (params->cArgs != 1 || params->cNamedArgs != 1 ||
            params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
          return DISP_E_BADPARAMCOUNT;
        object_->Put(name, orvan::com::FromVariant(params->rgvarg[0]));
        return S_OK;
      }
      const bool get = (flags & DISPATCH_PROPERTYGET) != 0 &&
                       ((flags & DISPATCH_METHOD) == 0 || params->cArgs == 0);
      Value answer;
      if (get) {
        if (params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
        answer = object_->Get(name);
      } else if (flags & DISPATCH_METHOD) {
        if (params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
        // COM passes the arguments last first.
        const UINT n = params->cArgs;
        std::vector<orvan::Argument> args;
        args.reserve(n);
        for (UINT i = 0; i < n; ++i) {
          VARIANT& v = params->rgvarg[n - 1 - i];
          if (v.vt == (VT_R8 | VT_BYREF))
            args.push_back(orvan::Argument::ByRef(*v.pdblVal));
          else
            args.push_back(orvan::Argument::ByValue(orvan::com::FromVariant(v)));
        }
        answer = object_->Call(name, args);
      } else {
        return DISP_E_MEMBERNOTFOUND;
      }
      if (result != nullptr) orvan::com::ToVariant(answer, *result);
      return S_OK;
    } catch (const Error& e) {
      return Raised(e, info);
    }
  }

 private:
  std::atomic<ULONG> refs_{1};
  std::shared_ptr<orvan::AutomationObject> object_;
  std::vector<std::wstring> names_;
};

// Creating an object is where the scripted observatory logs "create" and
// where a `nocreate` makes creation fail.
class ClassFactory final : public IClassFactory {
 public:
  explicit ClassFactory(const char* prog_id) : prog_id_(prog_id) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    return QueryOne<IClassFactory>(this, riid, IID_IClassFactory, out);
  }
  // Static instances: the module's lock count keeps the DLL loaded.
  ULONG STDMETHODCALLTYPE AddRef() override {
    ++g_locks;
    return 2;
  }
  ULONG STDMETHODCALLTYPE Release() override {
    --g_locks;
    return 1;
  }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    Standin& standin = TheStandin();
    standin.Sync();
    std::shared_ptr<orvan::AutomationObject> object;
    try {
      object = standin.observatory().Create(prog_id_);
    } catch (const Error& e) {
      return static_cast<HRESULT>(e.number());
    }
    auto* dispatch = new Dispatch(std::move(object));
    const HRESULT hr = dispatch->QueryInterface(riid, out);
    dispatch->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock)
      ++g_locks;
    else
      --g_locks;
    return S_OK;
  }

 private:
  const char* prog_id_;
};

ClassFactory g_telescope_factory("ACP.Telescope");
ClassFactory g_util_factory("ACP.Util");

struct Registration {
  const wchar_t* prog_id;
  const CLSID* clsid;
};
const Registration kClasses[] = {{L"ACP.Telescope", &orvan::standin::kTelescopeClsid},
                                 {L"ACP.Util", &orvan::standin::kUtilClsid}};

std::wstring ClsidText(const CLSID& clsid) {
  wchar_t text[64] = {};
  ::StringFromGUID2(clsid, text, 64);
  return text;
}

// The class a programmatic identifier names under `root`\`key_prefix` ("" if none).
std::wstring RegisteredClsid(HKEY root, const std::wstring& key_prefix, const wchar_t* prog_id) {
  wchar_t value[64] = {};
  DWORD size = sizeof value;
  const std::wstring key = key_prefix + prog_id + L"\\CLSID";
  if (::RegGetValueW(root, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value, &size) !=
      ERROR_SUCCESS)
    return {};
  return value;
}

// Whether the identifier names another class for this user or the machine.
bool TakenByAnother(const Registration& r) {
  const std::wstring ours = ClsidText(*r.clsid);
  for (const std::wstring& existing :
       {RegisteredClsid(HKEY_CLASSES_ROOT, L"", r.prog_id),
        RegisteredClsid(HKEY_CURRENT_USER, L"Software\\Classes\\", r.prog_id)})
    if (!existing.empty() && ::_wcsicmp(existing.c_str(), ours.c_str()) != 0) return true;
  return false;
}

bool SetString(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& value) {
  HKEY k = nullptr;
  if (::RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr) !=
      ERROR_SUCCESS)
    return false;
  const LONG rc = ::RegSetValueExW(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  ::RegCloseKey(k);
  return rc == ERROR_SUCCESS;
}

bool WriteClasses(HKEY root) {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(g_module, path, MAX_PATH);
  const std::wstring classes = L"Software\\Classes\\";
  for (const Registration& r : kClasses) {
    const std::wstring clsid = ClsidText(*r.clsid);
    const std::wstring description = std::wstring(L"OrvanACP test stand-in for ") + r.prog_id;
    const std::wstring clsid_key = classes + L"CLSID\\" + clsid;
    if (!SetString(root, classes + r.prog_id, nullptr, description) ||
        !SetString(root, classes + r.prog_id + L"\\CLSID", nullptr, clsid) ||
        !SetString(root, clsid_key, nullptr, description) ||
        !SetString(root, clsid_key + L"\\ProgID", nullptr, r.prog_id) ||
        !SetString(root, clsid_key + L"\\InprocServer32", nullptr, path) ||
        !SetString(root, clsid_key + L"\\InprocServer32", L"ThreadingModel", L"Apartment"))
      return false;
  }
  return true;
}

void DeleteClasses(HKEY root) {
  const std::wstring classes = L"Software\\Classes\\";
  for (const Registration& r : kClasses) {
    const std::wstring clsid = ClsidText(*r.clsid);
    if (::_wcsicmp(RegisteredClsid(root, classes, r.prog_id).c_str(), clsid.c_str()) == 0)
      ::RegDeleteTreeW(root, (classes + r.prog_id).c_str());
    ::RegDeleteTreeW(root, (classes + L"CLSID\\" + clsid).c_str());
  }
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    ::DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (clsid == orvan::standin::kTelescopeClsid)
    return g_telescope_factory.QueryInterface(riid, out);
  if (clsid == orvan::standin::kUtilClsid) return g_util_factory.QueryInterface(riid, out);
  return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  return g_locks == 0 ? S_OK : S_FALSE;
}

// Registers both classes for the current user. Refuses, changing nothing,
// when either identifier already belongs to another server. Where the
// system's class view does not take in the user's classes (Wine up to at
// least 8), the classes go to the machine's as well: the stand-in is only
// ever registered in a throwaway test prefix.
HRESULT STDAPICALLTYPE DllRegisterServer() {
  for (const Registration& r : kClasses)
    if (TakenByAnother(r)) return SELFREG_E_CLASS;
  if (!WriteClasses(HKEY_CURRENT_USER)) return SELFREG_E_CLASS;
  for (const Registration& r : kClasses) {
    if (::_wcsicmp(RegisteredClsid(HKEY_CLASSES_ROOT, L"", r.prog_id).c_str(),
                   ClsidText(*r.clsid).c_str()) != 0)
      return WriteClasses(HKEY_LOCAL_MACHINE) ? S_OK : SELFREG_E_CLASS;
  }
  return S_OK;
}

HRESULT STDAPICALLTYPE DllUnregisterServer() {
  DeleteClasses(HKEY_CURRENT_USER);
  DeleteClasses(HKEY_LOCAL_MACHINE);
  return S_OK;
}

}  // extern "C"
