#pragma once

// The part of the ACP stand-in its two hosts share: the objects "ACP.Telescope"
// and "ACP.Util", their class factories, the scenario they follow and their
// registration. The DLL (acp_standin.cpp) serves them inside the program's
// process; the local server (standin_server.cpp) in a process of its own,
// started by COM. Test tool, never shipped.
#include <span>
#include <string>

#include "support/wide.h"  // and with it windows.h
// The COM headers build on windows.h.
#include <objbase.h>

namespace orvan::standin {

enum class Host { InProcess, LocalServer };

struct Class {
  const wchar_t* prog_id;
  const CLSID* clsid;
};
std::span<const Class> Classes();

// Sets the module up before its first object: its host, its configuration
// file (standin_files.h; none: the observatory's defaults, no log) and, for a
// local server, what to do once nothing uses it any more (called on the
// thread that let go of the last object or lock).
void Start(Host host, std::wstring config_path, void (*unused)() = nullptr);

// The class object of `clsid`, without a reference added; nullptr if the
// class is not one of ours.
IClassFactory* ClassObject(REFCLSID clsid);

// Whether objects are alive or the server is locked (in-process, also while
// a class object is held).
bool InUse();

// Registers both classes with `server` as their InprocServer32 (the DLL's
// path) or LocalServer32 (the server's command line), in place of whichever
// kind was registered before. Refuses, changing nothing, when either
// identifier already belongs to another server.
HRESULT Register(Host host, const std::wstring& server);
void Unregister();

// The process of the program the stand-in serves, as the configuration names
// it; 0 if it names none.
DWORD ClientProcess();

// A local server ends at an event when its side file says so: whether it
// must watch the event clock, and one look at it (the process ends once that
// event is being played).
bool WatchesClock();
void LookAtClock();

}  // namespace orvan::standin
