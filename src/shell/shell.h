#pragma once

[[noreturn]] void ProgramEntry();
void WaitForKey();
