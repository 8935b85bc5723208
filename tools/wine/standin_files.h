#pragma once

// What the driver hands the ACP stand-in: a configuration file naming the
// scenario, the event clock (the index of the event being played), the
// observatory log, the side file of out-of-process arrangements, the
// program's process and, for bench/cycle-time, where to record every call.
// The DLL finds the configuration through the program's environment; the
// local server, which COM starts without that environment, on its command
// line. Shared by both tools.
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

#include "support/wide.h"

namespace orvan::wine {

// The variable naming the configuration file in the program's environment.
inline constexpr wchar_t kConfigVariable[] = L"ORVAN_STANDIN_CONFIG";
// Held by a running local server; abandoned when its process ends.
inline constexpr wchar_t kServerMutex[] = L"OrvanACP.StandinServer";

// The whole file; "" when it can't be read.
inline std::string ReadAll(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

struct StandinConfig {
  std::wstring scenario;  // answers, raises, nocreate
  std::wstring log;       // where the observatory lines go (appended)
  std::wstring clock;     // directives up to the event it names apply
  std::wstring ending;    // the side file: when a local server ends
  std::wstring client;    // the program's process id, once it is started
  std::wstring calls;     // the record of calls and their times (standin_calls.h)
  std::wstring mount;     // a mount its pulses move (standin_mount.h)
};

// The file's lines, `key=value` each, UTF-8.
struct ConfigKey {
  std::string_view key;
  std::wstring StandinConfig::*field;
};
inline constexpr ConfigKey kConfigKeys[] = {
    {"scenario", &StandinConfig::scenario}, {"log", &StandinConfig::log},
    {"clock", &StandinConfig::clock},       {"ending", &StandinConfig::ending},
    {"client", &StandinConfig::client},     {"calls", &StandinConfig::calls},
    {"mount", &StandinConfig::mount}};

inline std::string ConfigText(const StandinConfig& config) {
  std::string text;
  for (const ConfigKey& k : kConfigKeys)
    if (!(config.*k.field).empty())
      text += std::string(k.key) + "=" + win::Narrow(config.*k.field) + "\n";
  return text;
}

// Unknown keys are passed over; a missing file leaves every field empty.
inline StandinConfig ReadConfig(const std::wstring& path) {
  StandinConfig config;
  if (path.empty()) return config;
  std::istringstream lines(ReadAll(path));
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t eq = line.find('=');
    for (const ConfigKey& k : kConfigKeys)
      if (eq != std::string::npos && line.compare(0, eq, k.key) == 0 && eq == k.key.size())
        config.*k.field = win::Widen(std::string_view(line).substr(eq + 1));
  }
  return config;
}

}  // namespace orvan::wine
