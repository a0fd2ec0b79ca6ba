#include "stats/system/shared_page.h"

#include "stats/system/windows/handles.h"

namespace stats {

namespace {

// The system's words for the last error, kept for as long as the program runs, since error()
// hands out a C string.
const char* LastErrorWords() {
  static thread_local std::string words;
  words = SystemWords(GetLastError());
  return words.c_str();
}

}  // namespace

SharedPage::SharedPage(size_t bytes) : owned_(true) {
  // Backed by the paging file. Not inheritable: a child gets an inheritable copy made for it
  // alone, in its handle list, and opens the same section by the copy's value.
  const unsigned long long size = bytes;
  const HANDLE section =
      CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE,
                         static_cast<DWORD>(size >> 32), static_cast<DWORD>(size), nullptr);
  if (section == nullptr) {
    error_ = LastErrorWords();
    return;
  }
  handle_ = reinterpret_cast<Handle>(section);
  Map(bytes);
}

SharedPage::SharedPage(Handle handle, size_t bytes) : handle_(handle) {
  // NO_HANDLE is also this process's own pseudo-handle, which strict handle checks would raise
  // on rather than refuse.
  if (handle == NO_HANDLE) {
    SetLastError(ERROR_INVALID_HANDLE);
    error_ = LastErrorWords();
    return;
  }
  Map(bytes);
}

void SharedPage::Map(size_t bytes) {
  void* page =
      MapViewOfFile(reinterpret_cast<HANDLE>(handle_), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, bytes);
  if (page == nullptr) {
    error_ = LastErrorWords();
  } else {
    bytes_ = page;
    size_ = bytes;
  }
}

SharedPage::~SharedPage() {
  if (bytes_ != nullptr) UnmapViewOfFile(bytes_);
  if (owned_ && handle_ != NO_HANDLE) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

}  // namespace stats
