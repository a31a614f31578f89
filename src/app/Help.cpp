#include "app/Help.h"

#include <unistd.h>

#include <cctype>
#include <filesystem>

#include "app/AppCore.h"
#include "platform/Resources.h"
#include "app/Sites.h"
#include "platform/Files.h"

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

std::string HelpFolder(const AppCore& app) {
  const std::string& log_dir = app.Settings().LogDir.Text();
  if (!log_dir.empty()) return JoinPath(log_dir, "Larkspire");
  std::error_code ec;
  const std::string temp = std::filesystem::temp_directory_path(ec).string();
  return JoinPath(ec ? "/tmp" : temp, "Larkspire-help-" + std::to_string(::getuid()));
}

std::string WriteHelpFiles(const AppCore& app) {
  const std::string folder = HelpFolder(app);
  MakeDirectories(folder);
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
