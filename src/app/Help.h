// The help page and its pictures travel inside the program; Help writes them out and opens the
// page with the desktop's browser. The Help menu's web-site item lives here too.
#pragma once

#include <string>

namespace larkspire {

class AppCore;

inline constexpr const char* kHelpResourceType = "HelpFile";
inline constexpr const char* kHelpPageName = "help.html";

// Where the help is written: LogDir/Larkspire, or, before a logging directory is configured
// (the Configure dialog's HELP button on the first run), $XDG_RUNTIME_DIR/Larkspire-help, or
// without a runtime directory a private folder made in the temporary directory for the run
// ("" when none can be made).
std::string HelpFolder(AppCore& app);

// Writes every help resource into the help folder (creating it, replacing older files) under
// its resource name with "_" turned into "." and in lower case: HELP_HTML becomes help.html.
// The names are lower case because the page refers to its pictures so, and file names here are
// case-sensitive. Returns the page's path, or "" when it could not be written.
std::string WriteHelpFiles(AppCore& app);

// Help > Contents... and the HELP buttons; section names an anchor of the page ("config").
void ShowHelp(AppCore& app, const std::string& section = "");

// Help > Larkspire Web Site and the About box's buttons.
void GoToPublisherSite(AppCore& app);
void GoToMakerSite(AppCore& app);

}  // namespace larkspire
