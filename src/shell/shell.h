#pragma once

// Where the process starts: C linkage, so that the Windows image can name it as its entry point.
extern "C" [[noreturn]] void ProgramEntry();
void WaitForKey();
