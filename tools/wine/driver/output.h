#pragma once

// What the driver's jobs share besides the program under test: printing
// transcript lines, reading scenarios, handing files to the stand-in and
// waiting for its local server.
#include <string>
#include <vector>

#include "replay/scenario.h"
#include "standin_files.h"

namespace orvan::wine {

// One transcript line on standard output, flushed: a driver stopped midway
// leaves every line it had.
void Out(const std::string& line);

// Reads and parses a scenario; a fault is told on standard error (false).
bool LoadScenario(const std::wstring& path, std::vector<replay::Step>& steps);

// Replaces a file at once, so that the stand-in never reads half of it.
void WriteAtomically(const std::wstring& path, const std::string& text);

// Hands the stand-in its configuration: WORK\standin.cfg, which the local
// server's registered command line names, and the same file in this
// process's environment, which the program and so the DLL inherit. An empty
// configuration: the observatory's defaults, no log.
void HandToStandin(const StandinConfig& config, const std::wstring& work);

// The scenario's side file (NAME.standin beside NAME.scn); "" if it has none.
std::wstring SideFileOf(const std::wstring& scenario);

// Waits until the stand-in's local server, if one runs, has ended; false if
// it still runs at the limit.
bool StandinServerEnded();

}  // namespace orvan::wine
