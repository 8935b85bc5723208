// The ACP stand-in's registration in the throwaway test prefix: both classes
// under one server, DLL or local server, never over another server's.
#include <cwchar>

#include "standin.h"

#include <olectl.h>

namespace orvan::standin {
namespace {

const std::wstring kClassesKey = L"Software\\Classes\\";

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
bool TakenByAnother(const Class& c) {
  const std::wstring ours = ClsidText(*c.clsid);
  for (const std::wstring& existing : {RegisteredClsid(HKEY_CLASSES_ROOT, L"", c.prog_id),
                                       RegisteredClsid(HKEY_CURRENT_USER, kClassesKey, c.prog_id)})
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

bool WriteClasses(HKEY root, Host host, const std::wstring& server) {
  for (const Class& c : Classes()) {
    const std::wstring clsid = ClsidText(*c.clsid);
    const std::wstring description = std::wstring(L"OrvanACP test stand-in for ") + c.prog_id;
    const std::wstring clsid_key = kClassesKey + L"CLSID\\" + clsid;
    const std::wstring server_key =
        clsid_key + (host == Host::InProcess ? L"\\InprocServer32" : L"\\LocalServer32");
    if (!SetString(root, kClassesKey + c.prog_id, nullptr, description) ||
        !SetString(root, kClassesKey + c.prog_id + L"\\CLSID", nullptr, clsid) ||
        !SetString(root, clsid_key, nullptr, description) ||
        !SetString(root, clsid_key + L"\\ProgID", nullptr, c.prog_id) ||
        !SetString(root, server_key, nullptr, server))
      return false;
    if (host == Host::InProcess && !SetString(root, server_key, L"ThreadingModel", L"Apartment"))
      return false;
  }
  return true;
}

void DeleteClasses(HKEY root) {
  for (const Class& c : Classes()) {
    const std::wstring clsid = ClsidText(*c.clsid);
    if (::_wcsicmp(RegisteredClsid(root, kClassesKey, c.prog_id).c_str(), clsid.c_str()) == 0)
      ::RegDeleteTreeW(root, (kClassesKey + c.prog_id).c_str());
    ::RegDeleteTreeW(root, (kClassesKey + L"CLSID\\" + clsid).c_str());
  }
}

}  // namespace

// For the current user; where the system's class view does not take in the
// user's classes (Wine up to at least 8), for the machine as well: the
// stand-in is only ever registered in a throwaway test prefix.
HRESULT Register(Host host, const std::wstring& server) {
  for (const Class& c : Classes())
    if (TakenByAnother(c)) return SELFREG_E_CLASS;
  Unregister();
  if (!WriteClasses(HKEY_CURRENT_USER, host, server)) return SELFREG_E_CLASS;
  for (const Class& c : Classes()) {
    if (::_wcsicmp(RegisteredClsid(HKEY_CLASSES_ROOT, L"", c.prog_id).c_str(),
                   ClsidText(*c.clsid).c_str()) != 0)
      return WriteClasses(HKEY_LOCAL_MACHINE, host, server) ? S_OK : SELFREG_E_CLASS;
  }
  return S_OK;
}

void Unregister() {
  DeleteClasses(HKEY_CURRENT_USER);
  DeleteClasses(HKEY_LOCAL_MACHINE);
}

}  // namespace orvan::standin
