#pragma once

#include <functional>

class QWidget;

namespace platform {

// Installs the widget side of the message-box service and the desktop viewer.
// parent: the window boxes belong to; a box stays usable even while that
// window is disabled during a long job.
void installWidgetServices(std::function<QWidget *()> parent);

} // namespace platform
