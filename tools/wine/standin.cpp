// The ACP stand-in's objects and scenario: "ACP.Telescope" and "ACP.Util"
// answer from a scenario through the scripted observatory and write one line
// per access to a log. Which directives apply follows the driver's event
// clock. A local server may also end itself where the scenario's side file
// says, as an observatory program that crashed or was closed would.
#include "standin.h"

#include <atomic>
#include <cwchar>
#include <map>
#include <memory>
#include <sstream>
#include <vector>

#include "observatory/com/variant.h"
#include "observatory/scripted/scripted_observatory.h"
#include "replay/apply.h"
#include "replay/scenario.h"
#include "standin_calls.h"
#include "standin_ending.h"
#include "standin_files.h"
#include "standin_ids.h"
#include "standin_mount.h"
#include "support/ascii.h"

#include <olectl.h>

namespace orvan::standin {
namespace {

using orvan::Error;
using orvan::Value;
using orvan::replay::Step;

Host g_host = Host::InProcess;
std::wstring g_config_path;
void (*g_unused)() = nullptr;
// Objects, server locks and, in-process, references to the class objects: a
// local server's own registration holds one for as long as it runs.
std::atomic<long> g_users{0};

void Use() {
  ++g_users;
}
void Unuse() {
  if (--g_users == 0 && g_unused != nullptr) g_unused();
}

// The exit status of a stand-in that ended as its side file asked.
constexpr UINT kEndedOnPurpose = 3;

// The observatory of this process, its scenario and where it stands in it.
class Standin {
 public:
  Standin() : Standin(wine::ReadConfig(g_config_path)) {}

  explicit Standin(const wine::StandinConfig& config) : calls_(config.calls) {
    log_path_ = config.log;
    clock_path_ = config.clock;
    client_ = static_cast<DWORD>(std::wcstoul(config.client.c_str(), nullptr, 10));
    if (!config.mount.empty()) mount_ = wine::MovingMount::Open(config.mount);
    observatory_ = std::make_unique<orvan::ScriptedObservatory>(
        [this](const std::string& line) { Write(line); });
    if (!config.scenario.empty()) {
      try {
        steps_ = orvan::replay::ParseScenario(wine::ReadAll(config.scenario));
      } catch (const orvan::replay::ScenarioError& e) {
        Write(std::string("!! stand-in: bad scenario: ") + e.what());
      }
    }
    // Inside the program's process an ending would end the program itself.
    if (g_host == Host::LocalServer && !config.ending.empty()) {
      ending_ = wine::ReadEnding(wine::ReadAll(config.ending), steps_);
      for (const std::string& bad : ending_.bad) Write("!! stand-in: " + bad);
    }
  }

  orvan::ScriptedObservatory& observatory() { return *observatory_; }
  DWORD client() const { return client_; }
  CallRecord& calls() { return calls_; }
  std::optional<wine::MovingMount>& mount() { return mount_; }
  // The event clock as the last access read it.
  int clock() const { return last_clock_; }

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

  // Counts an access; true when the stand-in ends during it.
  bool Access(const std::string& object, const std::string& member) {
    if (ending_.access == 0 || AsciiLower(object) != AsciiLower(ending_.object) ||
        AsciiLower(member) != AsciiLower(ending_.member))
      return false;
    return ++accesses_ == ending_.access;
  }

  bool WatchesClock() const { return ending_.event >= 0; }
  void LookAtClock() {
    if (ending_.event >= 0 && Clock() >= ending_.event) End();
  }

  // Ends the process at once, as a crash would: no answer, no farewell.
  [[noreturn]] void End() {
    ::TerminateProcess(::GetCurrentProcess(), kEndedOnPurpose);
    ::ExitProcess(kEndedOnPurpose);
  }

 private:
  int Clock() const {
    if (clock_path_.empty()) return 1 << 30;
    const std::string text = wine::ReadAll(clock_path_);
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
  DWORD client_ = 0;
  std::unique_ptr<orvan::ScriptedObservatory> observatory_;
  std::vector<Step> steps_;
  std::size_t next_ = 0;
  int events_passed_ = 0;
  mutable int last_clock_ = 0;
  wine::Ending ending_;
  int accesses_ = 0;
  CallRecord calls_;
  std::optional<wine::MovingMount> mount_;
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
  Dispatch(std::string object_name, std::shared_ptr<orvan::AutomationObject> object)
      : object_name_(std::move(object_name)), object_(std::move(object)) {
    Use();
  }
  ~Dispatch() { Unuse(); }
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
    const CallRecord::Micros began = CallRecord::Now();
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
    TheStandin().calls().LookedUp(began);
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* info, UINT*) override {
    const CallRecord::Micros began = CallRecord::Now();
    if (id < 1 || static_cast<std::size_t>(id) > names_.size()) return DISP_E_MEMBERNOTFOUND;
    if (params == nullptr) return E_INVALIDARG;
    const std::string name = orvan::win::Narrow(names_[static_cast<std::size_t>(id) - 1]);
    Standin& standin = TheStandin();
    standin.Sync();
    const bool last = standin.Access(object_name_, name);
    const HRESULT hr = Carry(name, flags, *params, result, info);
    standin.calls().Invoked(standin.clock(), began);
    if (last) standin.End();
    return hr;
  }

 private:
  HRESULT Carry(const std::string& name, WORD flags, DISPPARAMS& params, VARIANT* result,
                EXCEPINFO* info) {
    try {
      if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        if (params.cArgs != 1 || params.cNamedArgs != 1 ||
            params.rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
          return DISP_E_BADPARAMCOUNT;
        object_->Put(name, orvan::com::FromVariant(params.rgvarg[0]));
        return S_OK;
      }
      const bool get = (flags & DISPATCH_PROPERTYGET) != 0 &&
                       ((flags & DISPATCH_METHOD) == 0 || params.cArgs == 0);
      Value answer;
      std::optional<wine::MovingMount>& mount = TheStandin().mount();
      const bool telescope = object_name_ == orvan::ScriptedObservatory::kTelescope;
      if (get) {
        if (params.cArgs != 0) return DISP_E_BADPARAMCOUNT;
        // A moving mount reports where its pulses took it.
        if (mount && telescope &&
            (orvan::AsciiLower(name) == "rightascension" ||
             orvan::AsciiLower(name) == "declination")) {
          TheStandin().observatory().Answer(
              object_name_, name,
              {Value::R8(orvan::AsciiLower(name) == "declination" ? mount->dec() : mount->ra())});
        }
        answer = object_->Get(name);
      } else if (flags & DISPATCH_METHOD) {
        if (params.cNamedArgs != 0) return DISP_E_NONAMEDARGS;
        // COM passes the arguments last first.
        const UINT n = params.cArgs;
        std::vector<orvan::Argument> args;
        args.reserve(n);
        for (UINT i = 0; i < n; ++i) {
          VARIANT& v = params.rgvarg[n - 1 - i];
          if (v.vt == (VT_R8 | VT_BYREF))
            args.push_back(orvan::Argument::ByRef(*v.pdblVal));
          else
            args.push_back(orvan::Argument::ByValue(orvan::com::FromVariant(v)));
        }
        answer = object_->Call(name, args);
        if (mount && telescope && orvan::AsciiLower(name) == "pulseguide" && args.size() == 2) {
          // The program passes its duration by reference.
          mount->Pulse(static_cast<orvan::GuideDirection>(args[0].value.ToI2()),
                       args[1].by_ref() ? *args[1].ref : args[1].value.ToR8());
        }
      } else {
        return DISP_E_MEMBERNOTFOUND;
      }
      if (result != nullptr) orvan::com::ToVariant(answer, *result);
      return S_OK;
    } catch (const Error& e) {
      return Raised(e, info);
    }
  }

  std::atomic<ULONG> refs_{1};
  std::string object_name_;  // as scenarios spell it
  std::shared_ptr<orvan::AutomationObject> object_;
  std::vector<std::wstring> names_;
};

// Creating an object is where the scripted observatory logs "create" and
// where a `nocreate` makes creation fail.
class ClassFactory final : public IClassFactory {
 public:
  ClassFactory(const char* prog_id, const char* object_name)
      : prog_id_(prog_id), object_name_(object_name) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    return QueryOne<IClassFactory>(this, riid, IID_IClassFactory, out);
  }
  // Static instances: only their users are counted.
  ULONG STDMETHODCALLTYPE AddRef() override {
    if (g_host == Host::InProcess) Use();
    return 2;
  }
  ULONG STDMETHODCALLTYPE Release() override {
    if (g_host == Host::InProcess) Unuse();
    return 1;
  }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    // Held while creating, so that a local server that fails its only
    // creation ends all the same.
    Use();
    Standin& standin = TheStandin();
    standin.Sync();
    HRESULT hr = S_OK;
    try {
      auto* dispatch = new Dispatch(object_name_, standin.observatory().Create(prog_id_));
      hr = dispatch->QueryInterface(riid, out);
      dispatch->Release();
    } catch (const Error& e) {
      hr = static_cast<HRESULT>(e.number());
    }
    Unuse();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock)
      Use();
    else
      Unuse();
    return S_OK;
  }

 private:
  const char* prog_id_;
  const char* object_name_;
};

ClassFactory g_telescope_factory("ACP.Telescope", "Telescope");
ClassFactory g_util_factory("ACP.Util", "Util");

const Class kClasses[] = {{L"ACP.Telescope", &kTelescopeClsid}, {L"ACP.Util", &kUtilClsid}};

}  // namespace

std::span<const Class> Classes() {
  return kClasses;
}

void Start(Host host, std::wstring config_path, void (*unused)()) {
  g_host = host;
  g_config_path = std::move(config_path);
  g_unused = unused;
}

IClassFactory* ClassObject(REFCLSID clsid) {
  if (clsid == kTelescopeClsid) return &g_telescope_factory;
  if (clsid == kUtilClsid) return &g_util_factory;
  return nullptr;
}

bool InUse() {
  return g_users != 0;
}

DWORD ClientProcess() {
  return TheStandin().client();
}

bool WatchesClock() {
  return TheStandin().WatchesClock();
}

void LookAtClock() {
  TheStandin().LookAtClock();
}

}  // namespace orvan::standin
