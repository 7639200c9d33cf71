#include "platform/qt/FolderPicker.h"

#include "platform/qt/DialogService.h"

namespace platform {

QString PickFolder(DialogService& dialogs, QWidget* owner, const QString& prompt, const QString& startFolder)
{
    const QString chosen = dialogs.chooseFolder(owner, prompt, startFolder);
    const qsizetype nul = chosen.indexOf(QChar(u'\0'));
    return nul < 0 ? chosen : chosen.left(nul);
}

} // namespace platform
