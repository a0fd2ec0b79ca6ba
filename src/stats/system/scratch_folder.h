// A folder of its own for a tool's files, in the system's place for temporary files, removed with
// the files named to it.
#pragma once

#include <string>
#include <vector>

namespace stats {

class ScratchFolder {
 public:
  // `files`: the names the tools will write there, removed with the folder.
  explicit ScratchFolder(std::vector<std::string> files);
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  ~ScratchFolder();
  bool ok() const { return !path_.empty(); }
  // "cannot make a folder for the assembler in /tmp: reason", for `purpose` "the assembler".
  std::string Problem(const std::string& purpose) const;
  std::string operator/(const std::string& file) const { return path_ + "/" + file; }
  const std::string& path() const { return path_; }

 private:
  std::vector<std::string> files_;
  std::string parent_, path_, error_;
};

// Writes `text` whole to a new file, or says why not: a cut source would be another program.
std::string WriteNewFile(const std::string& path, const std::string& text);

}  // namespace stats
