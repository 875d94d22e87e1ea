// A copy of everything the clipboard holds, taken at one moment and put back later exactly.
//
//   clipboard::ClipboardSnapshot saved(desktop);
//   saved.Take(window);     // every format that can be copied
//   ...                     // the clipboard is used for something else
//   saved.Restore(window);  // the same formats again; an empty clipboard comes back empty
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/desktop.h"

namespace clipboard {

class ClipboardSnapshot {
 public:
  explicit ClipboardSnapshot(platform::Desktop& desktop) : desktop_(desktop) {}
  // Frees the copies that were not put back.
  ~ClipboardSnapshot();
  ClipboardSnapshot(const ClipboardSnapshot&) = delete;
  ClipboardSnapshot& operator=(const ClipboardSnapshot&) = delete;

  // Opens the clipboard for `owner` and copies every format it offers, having delayed-rendered
  // ones rendered now. A format that cannot be copied is skipped, and so is one that Windows
  // derives again from another on the clipboard. False, with nothing taken, when the clipboard
  // cannot be opened. Never raises.
  bool Take(platform::Hwnd owner);
  // Replaces the clipboard's content with the copies, which pass to the clipboard. False when
  // the clipboard cannot be opened; the copies then stay for another try. Restoring a snapshot
  // that was never taken does nothing and succeeds.
  //
  // Memory formats of `delayFrom` bytes or more are offered with their data delayed: handing a
  // block of megabytes to the system is the slow part of a restore, and the user should not
  // wait for it. `owner` then answers WM_RENDERFORMAT with RenderFormat, and should have them
  // all put on soon with RenderDelayed, so that they outlive the program.
  //
  // With `marked`, the content also carries the marks of a paste's own write (paste_writes.h):
  // giving the user's content back is no new copy for Windows' clipboard history.
  bool Restore(platform::Hwnd owner, std::size_t delayFrom = SIZE_MAX, bool marked = false);
  bool HasDelayed() const { return !items_.empty() && !taken_; }
  // Puts on the data of a delayed format (WM_RENDERFORMAT, or the clipboard open by the owner).
  // False when `format` is not one of them.
  bool RenderFormat(platform::Uint format);
  // Has every delayed format rendered now by reading it, which the clipboard's listeners do not
  // see as a change, then frees whatever was not asked for (the content has been replaced since).
  // False when the clipboard cannot be opened.
  bool RenderDelayed(platform::Hwnd owner);

  bool Taken() const { return taken_; }
  // Whether the content taken was marked as not for monitors and histories by its owner.
  bool MarkedPrivate() const { return markedPrivate_; }
  // The formats held, in the clipboard's order, and the formats left out.
  std::vector<platform::Uint> Formats() const;
  const std::vector<platform::Uint>& Skipped() const { return skipped_; }
  // The memory the copies' blocks take.
  std::size_t Bytes() const { return bytes_; }

 private:
  enum class Kind { Memory, Bitmap, Palette, EnhMetafile };
  struct Item {
    platform::Uint format;
    Kind kind;
    platform::Handle handle;
    std::size_t bytes;  // of a memory block
  };

  platform::Handle CopyBlock(platform::Hglobal block);
  bool Copy(platform::Uint format, Kind kind);
  void Free(const Item& item);
  void FreeAll();

  platform::Desktop& desktop_;
  std::vector<Item> items_;
  std::vector<platform::Uint> skipped_;
  std::size_t bytes_ = 0;
  bool taken_ = false;
  bool markedPrivate_ = false;
};

}  // namespace clipboard
