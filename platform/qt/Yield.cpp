#include "platform/qt/Yield.h"

#include "platform/Clock.h"

#include <QCoreApplication>

namespace platform {

void DoEvents()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void PacedEvents::letRun()
{
    if (lastPass_ && CoarseNow() - *lastPass_ < std::chrono::milliseconds(1))
        return;
    DoEvents();
    lastPass_ = CoarseNow();
}

} // namespace platform
