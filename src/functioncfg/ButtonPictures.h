#pragma once

#include <QIcon>

namespace zqb {

// Small pictures for the four buttons of the function window, drawn rather than shipped.
QIcon LoadFilePicture();
QIcon SaveFilePicture();
QIcon ReadDevicePicture();
QIcon WriteDevicePicture();

}  // namespace zqb
