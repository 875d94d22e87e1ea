// Small pictures of image entries for the rows on screen: each made in the background from the
// entry's stored PNG the first time a row asks for it, and kept for the rows looked at lately.
// No picture of the whole history is ever held: only what was on screen.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "history/item_store.h"
#include "platform/desktop.h"

namespace history {

class Thumbnails {
 public:
  // `items` must outlive the thumbnails.
  Thumbnails(platform::Desktop& desktop, ItemStore& items) : desktop_(desktop), items_(items) {}
  Thumbnails(const Thumbnails&) = delete;
  Thumbnails& operator=(const Thumbnails&) = delete;

  // The picture of the entry whose row refers to `reference`, fitting `width` by `height`; null
  // when it has no image, it cannot be read, or it is still being made (OnReady is told then).
  const platform::Picture* Of(std::u16string_view reference, int width, int height);
  std::function<void()> OnReady;

  // How many are kept at most; past that the oldest are forgotten.
  static constexpr std::size_t MostKept = 256;

 private:
  struct Kept {
    platform::Picture picture;
    bool ready = false;
    bool failed = false;
    std::uint64_t used = 0;
  };
  void Forget();

  platform::Desktop& desktop_;
  ItemStore& items_;
  std::unordered_map<std::string, std::shared_ptr<Kept>> kept_;
  std::uint64_t uses_ = 0;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace history
