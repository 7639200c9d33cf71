#pragma once
// Plain-text clipboard access that survives a clipboard held for a moment by another program, and
// the copy of a report list's rows as aligned text.

#include <QString>

class QAbstractItemModel;

namespace platform {

// One attempt at each clipboard operation; false when the clipboard would not take it.
class ClipboardAccess {
public:
    virtual ~ClipboardAccess() = default;
    virtual bool tryClear() = 0;
    virtual bool trySetText(const QString& text, int format) = 0;
};

// The system clipboard (QGuiApplication::clipboard()); an attempt counts when reading back agrees.
ClipboardAccess& systemClipboard();

inline constexpr int kClipboardAttempts = 1000;

// Empties the clipboard, trying up to kClipboardAttempts times; failures are not reported.
void ClearClipboard(ClipboardAccess& clipboard = systemClipboard());
// Places the text, as plain text for format 0, else under that clipboard format number; tries up
// to kClipboardAttempts times and tells whether an attempt succeeded.
bool SetClipboardText(const QString& text, int format = 0, ClipboardAccess& clipboard = systemClipboard());

// The text CopyCheckedRowsToClipboard places: one line per checked row, cells padded with spaces
// to the widest text of their column over all rows and separated by tabs; each line loses its
// final tab and trailing spaces and ends in CR LF. A row counts as checked when its first cell is
// checked or carries no check box at all.
QString checkedRowsText(const QAbstractItemModel& list);
// Nothing happens for a list without rows; otherwise clears the clipboard and places that text.
void CopyCheckedRowsToClipboard(const QAbstractItemModel& list, ClipboardAccess& clipboard = systemClipboard());

} // namespace platform
