#include "app/Help.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>

#include "app/AppCore.h"
#include "app/Sites.h"
#include "platform/Files.h"
#include "platform/Resources.h"

namespace larkspire {
namespace {

bool IsHelpResource(const EmbeddedResource& r) {
  std::string type = r.type;
  for (char& c : type) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return type == "helpfile";
}

std::string HelpFileName(const std::string& resource_name) {
  std::string name = resource_name;
  for (char& c : name) {
    c = c == '_' ? '.' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return name;
}

void Open(AppCore& app, const std::string& address) {
  if (app.Ui()) app.Ui()->OpenDocument(address);
}

}  // namespace

std::string HelpFolder(AppCore& app) {
  const std::string& log_dir = app.Settings().LogDir.Text();
  if (!log_dir.empty()) return JoinPath(log_dir, "Larkspire");
  // Never a fixed name in the shared temporary directory, where another user could have made
  // it first: the user's own runtime directory, else a new private directory for this run.
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && *runtime == '/' && IsDirectory(runtime)) {
    return JoinPath(runtime, "Larkspire-help");
  }
  std::string& folder = app.TemporaryHelpFolder();
  if (folder.empty()) {
    std::error_code ec;
    const std::string temp = std::filesystem::temp_directory_path(ec).string();
    folder = MakePrivateDirectory(ec ? "/tmp" : temp, "Larkspire-help-");
  }
  return folder;
}

std::string WriteHelpFiles(AppCore& app) {
  const std::string folder = HelpFolder(app);
  if (folder.empty() || !MakeDirectories(folder)) return std::string();
  bool page_written = false;
  for (const EmbeddedResource* r = kEmbeddedResources; r->type != nullptr; ++r) {
    if (!IsHelpResource(*r)) continue;
    const std::string name = HelpFileName(r->name);
    const bool written = SaveFileAtomically(
        JoinPath(folder, name), std::string_view(reinterpret_cast<const char*>(r->data), r->size));
    if (name == kHelpPageName) page_written = written;
  }
  return page_written ? JoinPath(folder, kHelpPageName) : std::string();
}

void ShowHelp(AppCore& app, const std::string& section) {
  const std::string page = WriteHelpFiles(app);
  if (page.empty()) {
    app.ShowError("Help", "The help file could not be written to " + HelpFolder(app) + ".");
    return;
  }
  Open(app, section.empty() ? page : "file://" + page + "#" + section);
}

void GoToPublisherSite(AppCore& app) { Open(app, kPublisherSiteAddress); }

void GoToMakerSite(AppCore& app) { Open(app, kMakerSiteAddress); }

}  // namespace larkspire
