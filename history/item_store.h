// What an entry keeps besides its text (an image, formatted text, a list of files), as items in
// a folder beside the history file: one file per item, named by the SHA-256 of its content and
// the kind's extension, so that the same image copied twice is stored once. An entry's row
// refers to its items by name; an item no row refers to goes at the next full write.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "clipboard/clipboard_content.h"
#include "platform/desktop.h"

namespace history {

// An entry whose items pass this keeps its text only.
constexpr std::size_t MostItemBytes = 64u << 20;

// The extensions of the kinds, which say what an item holds.
constexpr std::string_view PngItem = "png";
constexpr std::string_view HtmlItem = "html";
constexpr std::string_view RtfItem = "rtf";
constexpr std::string_view FileListItem = "hdrop";

struct Item {
  std::string name;   // "<64 hex digits>.<extension>"
  std::string bytes;  // as the clipboard format holds them
};

// Whether the name is one an item can have (nothing that leads out of the folder).
bool IsItemName(std::string_view name);
std::string_view ItemKind(std::string_view name);  // the extension

// A row's reference to its items: their names joined by ';'. Names that are not items' are
// left out when it is read.
std::u16string ItemReference(const std::vector<std::string>& names);
std::vector<std::string> ItemNames(std::u16string_view reference);
// How many of the reference's names ItemNames leaves out.
std::size_t UnfitItemNames(std::u16string_view reference);

// The text of an image entry: "[Image W×H]", its width and height in pixels.
std::u16string ImageText(int width, int height);

// The entry's text, from what the change read: the clipboard's text, the paths of a file list,
// or the size of an image. Empty when the content gives no entry (an image that cannot be read).
std::u16string EntryText(platform::Desktop& desktop, const clipboard::ClipboardContent& content);

// Whether a PNG a program copied is one to keep: its chunks and header hold (clipboard::CheckPng)
// and, unless it is too large to decode, it decodes. May run on any thread.
bool PngFitsToKeep(platform::IImages& images, const std::string& png);

// The item of `bytes` of a kind, named by their hash; false when the hash failed. May run on
// any thread.
bool MakeItem(platform::ICrypto& crypto, std::string bytes, std::string_view kind, Item& item);

class ItemStore {
 public:
  // The folder is asked for anew at every use, as the history file's name is.
  ItemStore(platform::Desktop& desktop, std::function<std::string()> folder);

  std::string Folder() const { return folder_(); }
  std::string PathOf(const std::string& name) const { return Folder() + "\\" + name; }

  // Writes the item unless its file is there already (made in one step, so that a crash leaves
  // either no file or the whole of it); `seal` seals it for the Windows account. The folder is
  // made when missing. Returns 0 or the Windows error.
  platform::Dword Put(const Item& item, bool seal);
  // The item's content; false when its file is missing, cannot be opened, or does not hold what
  // its name says (damaged).
  bool Get(const std::string& name, std::string& bytes);
  // The same without the check of the content against its name, for what only shows it.
  bool Read(const std::string& name, std::string& bytes);
  // Removes every file of the folder that `kept` does not name, and the folder once empty is
  // left (it costs nothing). Files it cannot remove stay.
  void Sweep(const std::unordered_set<std::string>& kept);
  // Whether the sealed form of an item is what is on the disk; rewrites an item in the other
  // form. Returns 0 or the Windows error.
  platform::Dword Reseal(const std::string& name, bool seal);

  // What a row recorded before its items were made keeps meanwhile, under the placeholder its
  // row refers to (see journal.h): the content as it was read, an image as its picture, so
  // that a re-copy gives it back and its thumbnail is drawn from it.
  struct Held {
    clipboard::ClipboardContent content;
    platform::Picture picture;
  };
  void Hold(std::u16string placeholder, std::shared_ptr<const Held> held);
  std::shared_ptr<const Held> HeldFor(std::u16string_view placeholder) const;
  void Release(std::u16string_view placeholder);

 private:
  platform::Desktop& desktop_;
  std::function<std::string()> folder_;
  std::vector<std::pair<std::u16string, std::shared_ptr<const Held>>> held_;
};

// The folder of the items beside a history or export file: the file's name without its
// extension, then ".items".
std::string ItemsFolderOf(const std::string& file);

// The clipboard content of an entry whose row refers to items: the text, and each item read
// (an image as "PNG" and as a CF_DIBV5 of its pixels). Returns false when an item is missing or
// damaged; the content then holds what could be read.
bool EntryContent(platform::Desktop& desktop, ItemStore& store, const std::u16string& text,
                  std::u16string_view reference, clipboard::ClipboardContent& content);

// The parts of EntryContent, for a re-copy whose items are read on the window's thread and
// decoded away from it: whether an item's bytes are what its name says, and adding an item to
// the content (an image decoded into its DIB). Both may run on any thread.
bool ItemHolds(platform::ICrypto& crypto, std::string_view name, const std::string& bytes);
void AddItemContent(platform::IImages& images, std::string_view name, std::string bytes,
                    clipboard::ClipboardContent& content);
// The content of an entry whose items are still being made, from what its row holds meanwhile
// (the picture as a CF_DIBV5). May run on any thread.
void HeldContent(const ItemStore::Held& held, const std::u16string& text,
                 clipboard::ClipboardContent& content);
// The entry's text in the content, once its items are in.
void FinishEntryContent(const std::u16string& text, clipboard::ClipboardContent& content);

}  // namespace history
