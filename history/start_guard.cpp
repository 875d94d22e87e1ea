#include "history/start_guard.h"

#include "grid/table_file.h"

namespace history {

namespace {

std::vector<std::string> ItemLines(const std::string& bytes) {
  std::vector<std::string> names;
  std::size_t at = 0;
  while (at < bytes.size()) {
    const std::size_t end = std::min(bytes.find('\n', at), bytes.size());
    std::string line = bytes.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (IsItemName(line)) names.push_back(std::move(line));
    at = end + 1;
  }
  return names;
}

}  // namespace

StartGuard::StartGuard(platform::IFiles& files, std::string historyPath)
    : files_(files), marker_(historyPath + ".starting"), setAsidePath_(historyPath + ".set-aside") {}

StartGuard::~StartGuard() {
  if (guarded_) guarded_->OnDecoding = guarded_->OnDecoded = nullptr;
  // A run that ends in order ends its start too.
  if (!finished_) files_.Delete(marker_);
}

std::vector<std::string> StartGuard::Begin() {
  std::string bytes;
  if (files_.ReadAll(setAsidePath_, bytes) == 0)
    for (std::string& name : ItemLines(bytes)) setAside_.insert(std::move(name));
  std::vector<std::string> found;
  if (files_.ReadAll(marker_, bytes) != 0) return found;
  for (std::string& name : ItemLines(bytes))
    if (setAside_.insert(name).second) found.push_back(std::move(name));
  if (!found.empty()) {
    std::string list;
    for (const std::string& name : setAside_) list += name + "\r\n";
    // Kept before the marker goes: were this write to fail, the marker is read again next time.
    if (grid::ReplaceFileContents(files_, setAsidePath_, list.data(), list.size()) != 0) return found;
  }
  files_.Delete(marker_);
  return found;
}

void StartGuard::Decoding(const std::string& item) {
  if (finished_) return;
  decoding_.insert(item);
  WriteMarker();
}

void StartGuard::Decoded(const std::string& item) {
  if (finished_) return;
  decoding_.erase(item);
  if (!decoding_.empty()) {
    WriteMarker();
    return;
  }
  finished_ = true;
  files_.Delete(marker_);
}

void StartGuard::WriteMarker() {
  std::string list;
  for (const std::string& name : decoding_) list += name + "\r\n";
  // Written through to the disk before the decoding starts, or a crash could overtake it.
  platform::FileHandle file = 0;
  if (files_.CreateForWriting(marker_, file) != 0) return;
  files_.Write(file, list.data(), list.size());
  files_.Flush(file);
  files_.Close(file);
}

std::string StartGuard::Guard(Thumbnails& thumbnails) {
  const std::vector<std::string> found = Begin();
  guarded_ = &thumbnails;
  thumbnails.SetAside(setAside_);
  thumbnails.OnDecoding = [this](const std::string& item) { Decoding(item); };
  thumbnails.OnDecoded = [this](const std::string& item) { Decoded(item); };
  if (found.empty()) return {};
  thumbnails.Disable();
  std::string names;
  for (const std::string& name : found) names += (names.empty() ? "" : ", ") + name;
  return "The last start ended while it drew the picture of an image entry (" + names +
         " in clipboard_history.items). That image is set aside: its entry stays, without a picture, and "
         "this run shows no pictures of images.";
}

}  // namespace history
