// The user's re-copy of a history entry (a double-click on its row, or Enter on it): the entry
// goes back on the clipboard whole, written by a window of its own (clipboard::ContentOwner) that
// puts an image's bitmap on only when a program asks for it. A stored image is decoded away from
// the window's thread first; so is the bitmap of an image whose PNG is still being coded.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "clipboard/content_owner.h"
#include "grid/table.h"
#include "history/capture.h"
#include "history/item_store.h"
#include "platform/desktop.h"

namespace history {

class Recopy {
 public:
  Recopy(platform::Desktop& desktop, ItemStore& items);
  Recopy(const Recopy&) = delete;
  Recopy& operator=(const Recopy&) = delete;

  // The window that owns what a re-copy put on the clipboard.
  platform::Hwnd Window() const { return owner_.Window(); }

  // Puts the row's entry on the clipboard once its image is decoded (at once for a row without
  // one), then tells `copied` whether it was whole (an item missing or damaged: what could be read
  // went on, at least the text). A row outside the table does nothing. Nothing goes on when
  // `requester` has gone by then, nor once the clipboard has changed since, or another re-copy
  // was asked for: the user's newer copy is never replaced by an older one.
  void Copy(const grid::Table& history, int row, std::weak_ptr<const void> requester,
            std::function<void(bool whole)> copied);

  // Whether the clipboard holds what the last re-copy of an entry with items put there; then
  // `entry` is made what the recorder records for it, without reading it back: its bitmap waits
  // for a program to ask for it, and its PNG may be megabytes. The entry's text and its items as
  // stored (prepared), or the picture of an image whose PNG is still being coded (`recopied`).
  // False for a re-copy that was not whole, and for one of a text alone.
  bool EntryOnClipboard(CapturedEntry& entry);

  // Whether the image of the last re-copy still waits for a program to ask for its bitmap.
  bool ImageDelayed() const { return owner_.ImageDelayed(); }

 private:
  void Forget();

  platform::Desktop& desktop_;
  ItemStore& items_;
  clipboard::ContentOwner owner_;
  // What the content put last was made of: the row's text and items, or an image's picture.
  std::shared_ptr<const clipboard::ClipboardContent> content_;
  std::u16string text_;
  std::vector<std::string> names_;
  std::shared_ptr<const ItemStore::Held> held_;
  std::uint64_t asked_ = 0;  // the number of the last re-copy asked for
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace history
