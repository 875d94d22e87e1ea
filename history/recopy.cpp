#include "history/recopy.h"

#include "history/capture.h"
#include "history/history_table.h"

namespace history {

using namespace platform;

Recopy::Recopy(Desktop& desktop, ItemStore& items) : desktop_(desktop), items_(items), owner_(desktop) {}

void Recopy::Copy(const grid::Table& history, int row, std::weak_ptr<const void> requester,
                  std::function<void(bool whole)> copied) {
  if (row < 0 || row >= history.RowCount()) return;
  const std::uint64_t number = ++asked_;
  const Dword sequence = desktop_.Clipboard().GetClipboardSequenceNumber();
  const std::u16string reference = history.Cell(ItemsColumn, row);
  struct Made {
    std::u16string text;
    std::vector<std::string> names;
    std::shared_ptr<const ItemStore::Held> held;
  };
  Made made{history.Cell(Clipboadrs_history, row), ItemNames(reference), items_.HeldFor(reference)};
  EntryOfRowLater(
      desktop_, history, row, items_, alive_,
      [this, number, sequence, made = std::move(made), requester = std::move(requester),
       copied = std::move(copied)](std::shared_ptr<clipboard::ClipboardContent> content, bool whole) {
        if (requester.expired()) return;
        // A copy made meanwhile, by the user or a program, or a later re-copy, stays.
        if (number != asked_ || desktop_.Clipboard().GetClipboardSequenceNumber() != sequence) return;
        // Known before the write, which the recorder hears of at once.
        content_ = content;
        text_ = made.text;
        names_ = whole ? made.names : std::vector<std::string>();
        held_ = whole ? made.held : nullptr;
        try {
          if (!owner_.Put(std::move(content))) Forget();
        } catch (const std::exception&) {
          // As a double-click whose write failed: the clipboard keeps what it held.
          Forget();
        }
        if (copied) copied(whole);
      });
}

void Recopy::Forget() {
  content_.reset();
  text_.clear();
  names_.clear();
  held_.reset();
}

bool Recopy::EntryOnClipboard(CapturedEntry& entry) {
  if ((names_.empty() && !held_) || !owner_.OnClipboard()) return false;
  if (held_) {
    if (held_->picture.pixels.empty() || held_->content.Rich()) return false;
    entry.text = ImageText(held_->picture.width, held_->picture.height);
    entry.recopied = held_;
    return true;
  }
  // The items went on the clipboard as they are stored, each in its format.
  std::vector<Item> items;
  for (const std::string& name : names_) {
    const std::string_view kind = ItemKind(name);
    const std::string* bytes = kind == PngItem        ? &content_->png
                               : kind == HtmlItem     ? &content_->html
                               : kind == RtfItem      ? &content_->rtf
                               : kind == FileListItem ? &content_->fileList
                                                      : nullptr;
    if (!bytes || bytes->empty()) return false;
    items.push_back({name, *bytes});
  }
  entry.text = text_;
  entry.items = std::move(items);
  entry.prepared = true;
  return true;
}

}  // namespace history
