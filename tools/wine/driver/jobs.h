#pragma once

// The driver's jobs, one unit each; see main.cpp for what each does.
#include <optional>
#include <string>
#include <vector>

namespace orvan::wine {

// What the stand-in records besides its observatory log.
enum class Record { LogOnly, Calls };

// The program's command line after its name, when the driver was given one
// (`play ... -- ARGS`); then the transcript also tells its exit status.
using Arguments = std::optional<std::vector<std::wstring>>;

int Register(const std::wstring& dll);
int Play(const std::wstring& exe, const std::wstring& scenario, const std::wstring& work,
         Record record = Record::LogOnly, const Arguments& args = std::nullopt);
int Inspect(const std::wstring& exe, const std::wstring& work);
int Nest(const std::wstring& scenario);
int Startup(const std::wstring& exe, int runs);
int WriteHeld(const std::wstring& file, const std::wstring& source, int seconds);

}  // namespace orvan::wine
