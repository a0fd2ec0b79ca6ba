// Fresh pages for machine code, never writable and executable at once: written while read-write,
// then made read-execute before anything runs in them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace stats {

class CodeArena {
 public:
  explicit CodeArena(size_t bytes);
  CodeArena(const CodeArena&) = delete;
  CodeArena& operator=(const CodeArena&) = delete;
  ~CodeArena();

  // Empty when the pages could not be had, with the reason in error().
  bool ok() const { return bytes_ != nullptr; }
  const std::string& error() const { return error_; }
  size_t size() const { return size_; }

  // Writable until MakeExecutable; null afterwards.
  uint8_t* writable() { return executable_ ? nullptr : bytes_; }
  const uint8_t* bytes() const { return bytes_; }
  // False, with the system's reason in error(), when it refuses executable pages.
  bool MakeExecutable();

 private:
  uint8_t* bytes_ = nullptr;
  size_t size_ = 0;
  bool executable_ = false;
  std::string error_;
};

}  // namespace stats
