// The clipboard's content as a history entry keeps it: its text, and beside it the formats
// that make it more than text (an image, formatted text, a list of files), read and put back
// in one open of the clipboard.
#pragma once

#include <cstddef>
#include <string>

#include "platform/desktop.h"

namespace clipboard {

constexpr const char* PngFormat = "PNG";
constexpr const char* HtmlFormat = "HTML Format";
constexpr const char* RtfFormat = "Rich Text Format";

// A block larger than this is not read: no entry keeps so much (the entry's own limit is
// lower, but a bitmap's PNG is only known once it is coded).
constexpr std::size_t MostBlockBytes = 256u << 20;

struct ClipboardContent {
  std::u16string text;
  // As the clipboard's blocks hold them, each empty when it is not there or not read.
  std::string png;       // "PNG", up to the end of the file
  std::string dib;       // CF_DIBV5, or else CF_DIB (which Windows makes of a CF_BITMAP), without a PNG
  std::string html;      // "HTML Format", up to its first zero
  std::string rtf;       // "Rich Text Format", up to its first zero
  std::string fileList;  // CF_HDROP: the DROPFILES block
  // Its owner asked that it not leave this computer ("CanUploadToCloudClipboard" as 0).
  bool keptOffCloud = false;
  bool Rich() const {
    return !png.empty() || !dib.empty() || !html.empty() || !rtf.empty() || !fileList.empty();
  }
};

// Opens the clipboard for `owner` and reads its text as GetClipboardText does, and which of the
// other formats an entry keeps: a file list whenever there is one; formatted text beside a text;
// an image only without text or a file list (a program that copies text as a picture too, as
// office programs do, gives a text entry). False when the clipboard cannot be opened or holds
// none of them. A block that cannot be locked raises platform::Error.
// With `pasteOwn`, the content is the program's own paste write, whose marks keep other
// histories out but not the program's own (paste_writes.h): they are not looked at.
bool GetClipboardContent(platform::Desktop& desktop, platform::Hwnd owner, ClipboardContent& content,
                         bool& markedPrivate, bool pasteOwn = false);

// Replaces the whole clipboard content: the text as CF_UNICODETEXT when there is one, and each
// format kept ("PNG" and the CF_DIBV5 given for an image, which Windows offers as CF_DIB and
// CF_BITMAP as well). False, with the clipboard untouched, when it cannot be opened; a failure
// after the open raises platform::Error, as SetClipboardText does.
bool SetClipboardContent(platform::Desktop& desktop, platform::Hwnd owner, const ClipboardContent& content);

// The same on a clipboard the caller has opened and emptied. With `delayImage`, the image's
// CF_DIBV5 is offered without its data, which its owner puts on when a program asks for it
// (PutImageData), unless the system refuses that: then it goes on at once. Returns whether the
// image waits for its data. A failure raises platform::Error.
bool PutOpenClipboardContent(platform::Desktop& desktop, const ClipboardContent& content, bool delayImage);
// Puts the content's CF_DIBV5 on the clipboard: for its owner's WM_RENDERFORMAT, or with the
// clipboard open by the owner. A failure raises platform::Error.
void PutImageData(platform::Desktop& desktop, const ClipboardContent& content);

// The paths of a DROPFILES block, one a line (CR LF between them); false when it is not one.
// A list of 8-bit names is read with the system's code page.
bool FileListText(platform::Desktop& desktop, const std::string& dropFiles, std::u16string& text);

}  // namespace clipboard
