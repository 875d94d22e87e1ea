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
  std::shared_ptr<const ItemStore::Held> held = items_.HeldFor(history.Cell(ItemsColumn, row));
  EntryOfRowLater(
      desktop_, history, row, items_, alive_,
      [this, number, sequence, held = std::move(held), requester = std::move(requester),
       copied = std::move(copied)](std::shared_ptr<clipboard::ClipboardContent> content, bool whole) {
        if (requester.expired()) return;
        // A copy made meanwhile, by the user or a program, or a later re-copy, stays.
        if (number != asked_ || desktop_.Clipboard().GetClipboardSequenceNumber() != sequence) return;
        held_ = held;
        try {
          if (!owner_.Put(std::move(content))) held_.reset();
        } catch (const std::exception&) {
          // As a double-click whose write failed: the clipboard keeps what it held.
          held_.reset();
        }
        if (copied) copied(whole);
      });
}

std::shared_ptr<const ItemStore::Held> Recopy::HeldOnClipboard() {
  if (!held_ || !owner_.OnClipboard()) return nullptr;
  return held_;
}

}  // namespace history
