#pragma once

// The driver's jobs, one unit each; see main.cpp for what each does.
#include <string>

namespace orvan::wine {

// What the stand-in records besides its observatory log.
enum class Record { LogOnly, Calls };

int Register(const std::wstring& dll);
int Play(const std::wstring& exe, const std::wstring& scenario, const std::wstring& work,
         Record record = Record::LogOnly);
int Inspect(const std::wstring& exe, const std::wstring& work);
int Nest(const std::wstring& scenario);
int Startup(const std::wstring& exe, int runs);

}  // namespace orvan::wine
