#include "driver/output.h"

#include <cstdio>
#include <fstream>

#include "wine_limits.h"

namespace orvan::wine {

void Out(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

bool LoadScenario(const std::wstring& path, std::vector<replay::Step>& steps) {
  try {
    steps = replay::ParseScenario(ReadAll(path));
    return true;
  } catch (const replay::ScenarioError& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return false;
  }
}

void WriteAtomically(const std::wstring& path, const std::string& text) {
  const std::wstring tmp = path + L".tmp";
  {
    std::ofstream out(tmp.c_str(), std::ios::binary | std::ios::trunc);
    out << text;
  }
  ::MoveFileExW(tmp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

void HandToStandin(const StandinConfig& config, const std::wstring& work) {
  const std::wstring path = work + L"\\standin.cfg";
  WriteAtomically(path, ConfigText(config));
  ::SetEnvironmentVariableW(kConfigVariable, path.c_str());
}

std::wstring SideFileOf(const std::wstring& scenario) {
  const std::wstring suffix = L".scn";
  if (scenario.size() < suffix.size() ||
      scenario.compare(scenario.size() - suffix.size(), suffix.size(), suffix) != 0)
    return {};
  const std::wstring side = scenario.substr(0, scenario.size() - suffix.size()) + L".standin";
  return ::GetFileAttributesW(side.c_str()) != INVALID_FILE_ATTRIBUTES ? side : std::wstring();
}

bool StandinServerEnded() {
  HANDLE running = ::OpenMutexW(SYNCHRONIZE, FALSE, kServerMutex);
  if (running == nullptr) return true;
  const DWORD r = ::WaitForSingleObject(running, limits::Ms(limits::kServerEnd));
  const bool ended = r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
  if (ended) ::ReleaseMutex(running);
  ::CloseHandle(running);
  return ended;
}

}  // namespace orvan::wine
