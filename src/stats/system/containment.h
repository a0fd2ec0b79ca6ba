// The walls around a child of this program's own on this system, as capabilities: those the
// parent puts up as it creates the child, and those the child puts up itself once its code is
// placed. A child that cannot put up its own ends before any user byte runs, so a sweep that ran
// stood behind all of them. Beside them, the wall around the tools that read a user's text.
#pragma once

#include <string>
#include <vector>

namespace stats {

struct Containment {
  std::vector<std::string> at_creation;  // "process group", "limits"
  std::vector<std::string> once_placed;  // "system-call filter"
  bool tools_walled_in = false;          // the tools read no file but their input (tool_walls.h)
};

Containment ChildContainment();

// "system-call filter, process group, limits; the tools read only system files and their own": the
// child's own walls first, then the tools' ("the tools can read files" where they have none).
std::string ContainmentWords(const Containment& containment);

// For --help, after "underscores.": where a user's kernel runs here and what leaves it out, in
// lines of the help's indent and width, up to "checked" (after every timed chunk too).
extern const char USER_KERNEL_WALLS_HELP[];

}  // namespace stats
