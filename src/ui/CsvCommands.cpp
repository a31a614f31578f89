#include "ui/CsvCommands.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <memory>
#include <vector>

#include "app/AppCore.h"
#include "entries/CsvExport.h"
#include "entries/CsvImport.h"
#include "notify/EntryCommands.h"
#include "platform/CappedRead.h"
#include "rules/TextEncoding.h"
#include "run/BackgroundJob.h"
#include "ui/ImportPreviewDialog.h"

namespace larkspire {
namespace {

constexpr const char* kCsvFilter = "CSV files (*.csv);;All files (*)";

// The path as the file system spells it.
std::string FilePath(const QString& path) { return QFile::encodeName(path).toStdString(); }

// The path as a message shows it.
std::string ShownPath(const QString& path) { return Cp1252FromUtf8(path.toStdString()); }

// The reading of an import file, done on a worker with a copy of the list to check against: an
// abort leaves the worker running, and the list may change meanwhile.
struct CImportJob {
  std::string path;
  CEntryList listed;
  FileRead read = FileRead::kFailed;
  CsvImportPreview preview;
};

void ShowFailure(AppCore& core, const std::string& title, const std::string& text) {
  core.MessageBox(text, MsgButtons::kOk, MsgAnswer::kOk, title, std::nullopt, MsgIcon::kWarning);
}

}  // namespace

void ExportListCommand(AppCore& core, QWidget* parent) {
  const QString path = QFileDialog::getSaveFileName(
      parent, QString::fromLatin1(kCaption) + " - Export",
      QDir::home().filePath(QStringLiteral("Larkspire.csv")), QString::fromLatin1(kCsvFilter));
  if (!path.isEmpty()) ExportListFile(core, path);
}

void ImportListCommand(AppCore& core, QWidget* parent) {
  const QString path =
      QFileDialog::getOpenFileName(parent, QString::fromLatin1(kCaption) + " - Import",
                                   QDir::homePath(), QString::fromLatin1(kCsvFilter));
  if (!path.isEmpty()) ImportListFile(core, parent, path);
}

bool ExportListFile(AppCore& core, const QString& path) {
  if (ExportListCsv(core.Entries(), FilePath(path))) return true;
  ShowFailure(core, "Export Failed", "Couldn't write " + ShownPath(path) + ".");
  return false;
}

std::size_t ImportListFile(AppCore& core, QWidget* parent, const QString& path) {
  const auto job = std::make_shared<CImportJob>();
  job->path = FilePath(path);
  std::vector<CEntry> listed;
  for (std::size_t row = 0; row < core.Entries().Size(); ++row) {
    listed.push_back(core.Entries().At(row));
  }
  job->listed.InsertAll(std::move(listed));

  core.BeginBusy("Import", 0);
  if (core.Ui()) {
    core.Ui()->ShowTimeoutChoice(false);
    core.Ui()->SetStatusText("Reading " + ShownPath(path));
  }
  const bool ended = RunInBackground(core, [job] {
    std::string bytes;
    job->read = ReadFileUpTo(job->path, kImportMaxBytes, bytes);
    if (job->read == FileRead::kRead) job->preview = PreviewCsvImport(bytes, job->listed);
  });
  if (core.Ui()) core.Ui()->ShowTimeoutChoice(true);
  core.EndBusy();
  // Cancelled, or the window is closing: nothing was added.
  if (!ended) return 0;

  if (job->read == FileRead::kFailed) {
    ShowFailure(core, "Import Failed", "Couldn't read " + ShownPath(path) + ".");
    return 0;
  }
  if (job->read == FileRead::kTooLarge) {
    ShowFailure(core, "Import Failed", ShownPath(path) + "\n\n" + kImportTooLarge);
    return 0;
  }
  CsvImportPreview& preview = job->preview;
  if (!preview.problem.empty()) {
    ShowFailure(core, "Import Failed", ShownPath(path) + "\n\n" + preview.problem);
    return 0;
  }
  CImportPreviewDialog dialog(parent, ShownPath(path), preview);
  if (dialog.exec() != QDialog::Accepted) return 0;

  std::size_t added = 0;
  // As the Delete command does, the notices stop at the first that cannot be queued: its
  // message is shown once, not once per row.
  bool notices_failed = false;
  for (CsvImportRow& row : preview.additions) {
    const AddFlags flags = AddFlags::kCheckDuplicate | AddFlags::kNoRefresh |
                           (notices_failed ? AddFlags::kNone : AddFlags::kNotify);
    const std::size_t before = core.Entries().Size();
    if (!AddEntry(core, std::move(row.entry), flags).empty()) notices_failed = true;
    if (core.Entries().Size() > before) ++added;
  }
  core.Entries().Sort();
  if (core.Ui()) core.Ui()->RefreshList();
  SaveEntries(core);
  return added;
}

}  // namespace larkspire
