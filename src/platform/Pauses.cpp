#include "platform/Pauses.h"

#include <QThread>

namespace zqb {

void ThreadPauses::Pause(int milliseconds)
{
    if (milliseconds > 0) QThread::msleep(static_cast<unsigned long>(milliseconds));
}

}  // namespace zqb
