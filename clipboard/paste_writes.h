// The marks on what the program puts on the clipboard only to paste it (an action's text, a
// plain-text offer, a queued entry, the restore afterwards): Windows' clipboard history, its
// cloud clipboard and other clipboard monitors leave such content alone, since the user did not
// copy it. What the user copies from the program (a re-copy of an entry) carries none.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "clipboard/clipboard_content.h"
#include "platform/desktop.h"

namespace clipboard {

constexpr const char* CanUploadToCloudFormat = "CanUploadToCloudClipboard";

// Puts the three marks on the clipboard the caller has opened and filled: "CanIncludeInClipboardHistory"
// and "CanUploadToCloudClipboard" as the DWORD 0, and "ExcludeClipboardContentFromMonitorProcessing".
// A mark the clipboard refuses is left out; the content stays. Never raises.
void PutPasteMarks(platform::Desktop& desktop);

// The formats SetClipboardContent puts on the clipboard for `content`, in its order, each with
// its block's bytes (a text's terminating zero included): what a paste offers with its data
// delayed.
std::vector<std::pair<platform::Uint, std::string>> ContentBlocks(platform::IClipboard& clipboard,
                                                                  const ClipboardContent& content);

}  // namespace clipboard
