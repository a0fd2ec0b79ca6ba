// Handles, text and paths as the Windows side of the system layer keeps them: the layer above
// speaks UTF-8 and this side speaks UTF-16 to the system.
#pragma once

#include <windows.h>

#include <string>

namespace stats {

// Closes the handle when the scope ends; both of the system's "no handle" values are none.
class OwnedHandle {
 public:
  explicit OwnedHandle(HANDLE handle = nullptr) : handle_(handle) {}
  OwnedHandle(OwnedHandle&& other) noexcept : handle_(other.release()) {}
  OwnedHandle& operator=(OwnedHandle&& other) noexcept {
    reset(other.release());
    return *this;
  }
  ~OwnedHandle() { reset(); }
  HANDLE get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  HANDLE release() {
    const HANDLE handle = handle_;
    handle_ = nullptr;
    return handle;
  }
  void reset(HANDLE handle = nullptr) {
    if (*this) CloseHandle(handle_);
    handle_ = handle;
  }

 private:
  HANDLE handle_;
};

std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& wide);

// The system's words for an error code, without the final full stop and line end.
std::string SystemWords(DWORD error);

// The path of this very program, as the system loaded it; empty when it cannot say.
std::string ThisProgramsPath();

// What a path names: nothing, a folder, a file on a disk, or a device or pipe (NUL, CON, a named
// pipe), which takes bytes where it is and is never replaced.
enum class PathKind { MISSING, FOLDER, DISK_FILE, DEVICE };
PathKind KindOfPath(const std::string& path);

// Writes every byte to `handle`: 0, or the error of the write that failed.
DWORD WriteAllTo(HANDLE handle, const std::string& bytes);

}  // namespace stats
