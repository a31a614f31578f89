// File > Import... and File > Export...: the list as a spreadsheet file and back. Export writes
// the list as it is shown; import previews a CSV file of references and numbers and adds what
// the preview accepts, each entry as the Add command adds one.
#pragma once

#include <QString>
#include <cstddef>

class QWidget;

namespace larkspire {

class AppCore;

// Ask for a file name, then do the work below.
void ExportListCommand(AppCore& core, QWidget* parent);
void ImportListCommand(AppCore& core, QWidget* parent);

// Writes the list to path; a failure is shown. False when nothing was written.
bool ExportListFile(AppCore& core, const QString& path);
// Reads path and shows the preview; when the user accepts it, adds the accepted entries with
// the duplicate check and their "entry added" notices, re-sorts and saves the list. Returns how
// many were added. The file is read and previewed on a worker while the window stays alive
// (Cancel ends the wait, adding nothing); one larger than kImportMaxBytes is refused unread.
std::size_t ImportListFile(AppCore& core, QWidget* parent, const QString& path);

}  // namespace larkspire
