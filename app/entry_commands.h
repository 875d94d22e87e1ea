// What the user does to a history entry besides pasting it, from the history table and from
// quick paste: pin and unpin it, edit its text, make an action of it.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/notices.h"
#include "history/history_store.h"
#include "ui/application.h"

namespace app {

class TEditEntry;
class TTasks_form;

// The mark a pinned entry carries where it is listed.
constexpr std::u16string_view PinMark = u"\U0001F4CC";

// A name for an action made of a text: its first words, on one line, at most ActionNameChars
// characters (a first word longer than that is cut); "New Action" for a text without any.
constexpr std::size_t ActionNameChars = 32;
std::u16string ActionNameOf(std::u16string_view text);

class EntryCommands {
 public:
  struct Needs {
    ui::Application& app;
    history::HistoryStore& history;
    app::Notices& notices;
    // The action editor, which makes the action.
    std::function<TTasks_form&()> editor;
  };
  explicit EntryCommands(Needs needs);
  ~EntryCommands();
  EntryCommands(const EntryCommands&) = delete;
  EntryCommands& operator=(const EntryCommands&) = delete;

  // Pins the rows, or unpins them when every one is pinned.
  void TogglePins(const std::vector<int>& rows);
  // Opens "Edit entry" with the row's text and waits; an image or a list of files is refused
  // with a notice instead. Returns whether the entry changed.
  bool Edit(int row);
  // Opens the action editor for a new action holding the entry's text, named by its first
  // words; the editor's own checks then apply.
  void AddToActions(int row);

  // The "Edit entry" window while it is open, else null.
  TEditEntry* Dialog() const { return dialog_; }

 private:
  Needs needs_;
  TEditEntry* dialog_ = nullptr;
};

}  // namespace app
