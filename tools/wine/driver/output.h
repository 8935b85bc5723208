#pragma once

// What the driver's jobs share besides the program under test: printing
// transcript lines, reading scenarios, handing files to the stand-in.
#include <string>
#include <vector>

#include "replay/scenario.h"

namespace orvan::wine {

// One transcript line on standard output, flushed: a driver stopped midway
// leaves every line it had.
void Out(const std::string& line);

// Reads and parses a scenario; a fault is told on standard error (false).
bool LoadScenario(const std::wstring& path, std::vector<replay::Step>& steps);

// Replaces a file at once, so that the stand-in never reads half of it.
void WriteAtomically(const std::wstring& path, const std::string& text);

}  // namespace orvan::wine
