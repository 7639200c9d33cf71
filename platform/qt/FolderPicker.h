#pragma once
// The system's folder browser for choosing a folder.

#include <QString>

class QWidget;

namespace platform {

class DialogService;

// Shows the folder dialog of `dialogs` modally over `owner`, titled `prompt` and opening on
// `startFolder` (handed on unchecked, also when empty or missing). Returns the chosen folder's path
// as the system gives it, cut at a NUL character should one occur, or an empty text on cancel.
QString PickFolder(DialogService& dialogs, QWidget* owner, const QString& prompt, const QString& startFolder);

} // namespace platform
