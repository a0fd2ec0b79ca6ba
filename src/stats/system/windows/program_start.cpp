#include "stats/system/program_start.h"

// clang-format off
// Before the other system headers, which need its types wherever a unity batch puts this file.
#include <windows.h>
// clang-format on
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>

#include "stats/system/windows/handles.h"

namespace stats {

std::vector<std::string> StartProgram(int argc, char** argv) {
  // A fault ends this program or a child it starts (which inherits the mode) with its code, never
  // with a dialog box that waits for someone to click.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  // Every output is written byte for byte as on Linux, LF as LF.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  int count = 0;
  wchar_t** words = CommandLineToArgvW(GetCommandLineW(), &count);
  // Without the wide words, the ones in the system's code page are the best left.
  if (words == nullptr) return {argv + 1, argv + argc};
  std::vector<std::string> arguments;
  for (int word = 1; word < count; ++word) arguments.push_back(Utf8(words[word]));
  LocalFree(words);
  return arguments;
}

}  // namespace stats
