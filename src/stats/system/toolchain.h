// The tools the sweep runs by name (the assembler, objcopy, objdump, llvm-mc, llvm-mca) as this
// system finds them on PATH and as its users get them.
#pragma once

#include <string>
#include <vector>

namespace stats {

// PATH's folders in order, split as this system separates them; empty ones left out.
std::vector<std::string> ProgramFolders();

// The file in `folder` that holds the program `name`: "/usr/bin/as",
// "C:\msys64\mingw64\bin\as.exe".
std::string ProgramIn(const std::string& folder, const std::string& name);

// The program a file in a folder holds, by its name ("llvm-mca-19.exe": "llvm-mca-19"); empty when
// the name is not a program's here.
std::string ProgramNamed(const std::string& file);

// Of `names`, those no folder on PATH holds.
std::vector<std::string> ProgramsMissing(const std::vector<std::string>& names);

enum class Toolkit { BINUTILS, LLVM };
// How a user of this system gets a kit's tools, to follow "...: ".
std::string HowToGet(Toolkit kit);

}  // namespace stats
