#include "platform/qt/Yield.h"

#include <QCoreApplication>

namespace platform {

void DoEvents()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

} // namespace platform
