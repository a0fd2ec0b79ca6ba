#include "stats/system/scratch_folder.h"

#include <random>

#include "stats/system/windows/handles.h"

namespace stats {

namespace {

// The system's folder for temporary files, without the separator it ends with.
std::string TemporaryFolder() {
  wchar_t path[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, path);
  if (length == 0 || length > MAX_PATH) return ".";
  std::string folder = Utf8(std::wstring(path, length));
  while (folder.size() > 1 && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
  return folder;
}

}  // namespace

ScratchFolder::ScratchFolder(std::vector<std::string> files) : files_(std::move(files)) {
  parent_ = TemporaryFolder();
  // A name no one else has made: made exclusively, and tried again when it was taken.
  std::random_device seed;
  std::mt19937 pick(seed());
  const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  DWORD error = ERROR_ALREADY_EXISTS;
  for (int attempt = 0; attempt < 100 && error == ERROR_ALREADY_EXISTS; ++attempt) {
    std::string path = parent_ + "\\absbench-stats-";
    for (int letter = 0; letter < 6; ++letter) path += letters[pick() % (sizeof letters - 1)];
    if (CreateDirectoryW(Wide(path).c_str(), nullptr)) {
      path_ = path;
      return;
    }
    error = GetLastError();
  }
  error_ = SystemWords(error);
}

ScratchFolder::~ScratchFolder() {
  if (path_.empty()) return;  // nothing was made, so nothing is removed
  for (const std::string& file : files_) DeleteFileW(Wide(*this / file).c_str());
  RemoveDirectoryW(Wide(path_).c_str());
}

std::string ScratchFolder::Problem(const std::string& purpose) const {
  return "cannot make a folder for " + purpose + " in " + parent_ + ": " + error_;
}

std::string WriteNewFile(const std::string& path, const std::string& text) {
  const std::wstring wide = Wide(path);
  OwnedHandle file(CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return SystemWords(GetLastError());
  DWORD error = WriteAllTo(file.get(), text);
  if (!CloseHandle(file.release()) && error == 0) error = GetLastError();
  if (error == 0) return "";
  // Half a source would be another program: none is left.
  DeleteFileW(wide.c_str());
  return SystemWords(error);
}

}  // namespace stats
