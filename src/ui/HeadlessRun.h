// A run nobody watches (a scheduled -auto run, a test): without a display it runs on Qt's
// offscreen platform, and it prints only its own messages, since a scheduler mails whatever a
// job prints.
#pragma once

namespace larkspire {

// Before the application object. With no display to show a window on (no DISPLAY or
// WAYLAND_DISPLAY) and no platform chosen, an unattended run is put on the offscreen platform;
// any other run would wait for a user who cannot see it, so false is returned and it must end.
bool ChoosePlatform(bool unattended);
// Whether the run will be on the offscreen platform (chosen here or by the caller).
bool OnOffscreenPlatform();

// Qt's own remarks (a runtime directory it dislikes, what the offscreen platform cannot do)
// are dropped; its critical and fatal messages still go out.
void DropQtRemarks();

}  // namespace larkspire
