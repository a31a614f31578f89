// A run nobody watches (a scheduled -auto run, a test): without a display it runs on Qt's
// offscreen platform, and it prints only its own messages, since a scheduler mails whatever a
// job prints.
#pragma once

namespace larkspire {

// Before the application object: with no display to show a window on (no DISPLAY or
// WAYLAND_DISPLAY) and no platform chosen, the offscreen platform is chosen. True when the run
// will be on the offscreen platform.
bool PrepareHeadlessPlatform();

// Qt's own remarks (a runtime directory it dislikes, what the offscreen platform cannot do)
// are dropped; its critical and fatal messages still go out.
void DropQtRemarks();

}  // namespace larkspire
