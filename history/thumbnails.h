// Small pictures of image entries for the rows on screen: each made in the background from the
// entry's stored PNG the first time a row asks for it, and kept for the rows looked at lately.
// No picture of the whole history is ever held: only what was on screen, each read at its
// small size.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

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
  // when it has no image or it is still being made (OnReady is told then). An image whose
  // picture cannot be made (its file missing or damaged, too large to decode, set aside) has a
  // plain grey mark in its place, made once and kept like a picture.
  const platform::Picture* Of(std::u16string_view reference, int width, int height);
  std::function<void()> OnReady;
  // The items of the row that referred to `placeholder` are made: it refers to `reference` now,
  // whose picture is the one made meanwhile.
  void Settled(std::u16string_view placeholder, std::u16string_view reference);

  // Told of each decoding before it is handed to the background, and again once it has ended,
  // by the item's name: what a crash in the middle of one would leave unfinished.
  std::function<void(const std::string& item)> OnDecoding;
  std::function<void(const std::string& item)> OnDecoded;

  // No picture is made from now on (every image has the mark), or none of these items'.
  void Disable() { disabled_ = true; }
  void SetAside(std::unordered_set<std::string> items) { setAside_ = std::move(items); }
  bool Disabled() const { return disabled_; }

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
  static std::string KeyOf(std::string_view name, int width, int height);
  const platform::Picture* OfHeld(std::u16string_view placeholder, int width, int height);

  platform::Desktop& desktop_;
  ItemStore& items_;
  std::unordered_map<std::string, std::shared_ptr<Kept>> kept_;
  std::uint64_t uses_ = 0;
  bool disabled_ = false;
  std::unordered_set<std::string> setAside_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// The picture made smaller, keeping its shape, to fit the box (platform::FitSize), by taking the
// nearest pixels; empty for a box without area.
platform::Picture FitPicture(const platform::Picture& picture, int boxWidth, int boxHeight);

// The mark in place of a picture that cannot be made: a light grey square with a darker frame,
// as large as fits the box.
platform::Picture NeutralMark(int width, int height);

}  // namespace history
