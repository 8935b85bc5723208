// Drives the real OrvanACP.exe the way a user and the observatory would, and
// prints what it sees in transcript form. Test tool, never shipped.
//
//   orvan-wine-driver register DLL
//       registers the ACP stand-in for the current user (DllRegisterServer)
//   orvan-wine-driver play EXE SCENARIO WORKDIR [--calls] [-- ARGS...]
//       plays SCENARIO against EXE from another process; the stand-in reads
//       the scenario and the event clock and writes its log in WORKDIR; with
//       --calls also WORKDIR\calls, every call it took and its time
//       (bench/cycle-time); with --, EXE is started with ARGS on its
//       command line (none if nothing follows), and its exit status ends
//       the transcript
//   orvan-wine-driver inspect EXE WORKDIR
//       starts EXE, prints its identity, its window's geometry and keyboard
//       behaviour, and closes it once WORKDIR\release exists
//   orvan-wine-driver nest SCENARIO
//       plays SCENARIO in this process on the real Windows main window, where
//       an event nested on an access is posted as its window message and
//       dispatched during the access, as COM's modal loop does while an
//       out-of-process ACP answers; prints the whole transcript
//   orvan-wine-driver startup EXE N
//       starts EXE N times, one after the other, and prints for each run the
//       milliseconds until its main window is visible (bench/startup-time)
//   orvan-wine-driver write-held FILE SOURCE SECONDS
//       writes SOURCE's bytes to FILE and keeps it open for writing SECONDS
//       more; prints the UTC time just before it closes it (tests/wine)
#include <cstdio>
#include <string>

#include "driver/jobs.h"

#include <fcntl.h>
#include <io.h>

namespace {

// play's arguments after EXE SCENARIO WORKDIR; false if they are not its own.
bool PlayOptions(int argc, wchar_t** argv, orvan::wine::Record& record,
                 orvan::wine::Arguments& args) {
  int i = 5;
  if (i < argc && std::wstring(argv[i]) == L"--calls") {
    record = orvan::wine::Record::Calls;
    ++i;
  }
  if (i < argc && std::wstring(argv[i]) == L"--") {
    args.emplace(argv + i + 1, argv + argc);
    i = argc;
  }
  return i == argc;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  const std::wstring command = argc > 1 ? argv[1] : L"";
  if (command == L"register" && argc == 3) return orvan::wine::Register(argv[2]);
  orvan::wine::Record record = orvan::wine::Record::LogOnly;
  orvan::wine::Arguments args;
  if (command == L"play" && argc >= 5 && PlayOptions(argc, argv, record, args))
    return orvan::wine::Play(argv[2], argv[3], argv[4], record, args);
  if (command == L"inspect" && argc == 4) return orvan::wine::Inspect(argv[2], argv[3]);
  if (command == L"nest" && argc == 3) return orvan::wine::Nest(argv[2]);
  if (command == L"startup" && argc == 4 && _wtoi(argv[3]) > 0)
    return orvan::wine::Startup(argv[2], _wtoi(argv[3]));
  if (command == L"write-held" && argc == 5 && _wtoi(argv[4]) > 0)
    return orvan::wine::WriteHeld(argv[2], argv[3], _wtoi(argv[4]));
  std::fprintf(stderr,
               "usage: orvan-wine-driver register DLL | "
               "play EXE SCENARIO WORKDIR [--calls] [-- ARGS...] | "
               "inspect EXE WORKDIR | nest SCENARIO | startup EXE N | "
               "write-held FILE SOURCE SECONDS\n");
  return 2;
}
