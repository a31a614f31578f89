#include "ui/CsvCommands.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>

#include "app/AppCore.h"
#include "entries/CsvExport.h"
#include "entries/CsvImport.h"
#include "notify/EntryCommands.h"
#include "platform/Files.h"
#include "rules/TextEncoding.h"
#include "ui/ImportPreviewDialog.h"

namespace larkspire {
namespace {

constexpr const char* kCsvFilter = "CSV files (*.csv);;All files (*)";

// The path as the file system spells it.
std::string FilePath(const QString& path) { return QFile::encodeName(path).toStdString(); }

// The path as a message shows it.
std::string ShownPath(const QString& path) { return Cp1252FromUtf8(path.toStdString()); }

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
  std::string bytes;
  if (!ReadWholeFile(FilePath(path), bytes)) {
    ShowFailure(core, "Import Failed", "Couldn't read " + ShownPath(path) + ".");
    return 0;
  }
  CsvImportPreview preview = PreviewCsvImport(bytes, core.Entries());
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
