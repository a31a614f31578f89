// "Larkspire® - Import": what a CSV file would add to the list and what it refuses, and why,
// before anything is added. Accepting it adds the additions; nothing else is decided here.
#pragma once

#include <QDialog>
#include <string>

#include "entries/CsvImport.h"

class QLabel;
class QPushButton;
class QTreeWidget;

namespace larkspire {

class CImportPreviewDialog : public QDialog {
  Q_OBJECT

 public:
  // file_name is shown as the user knows it (Windows-1252).
  CImportPreviewDialog(QWidget* parent, const std::string& file_name,
                       const CsvImportPreview& preview);

  QLabel& Summary() { return *summary_; }
  QTreeWidget& Additions() { return *additions_; }
  QTreeWidget& Refusals() { return *refusals_; }
  // Disabled when there is nothing to add.
  QPushButton& AddButton() { return *add_; }

 private:
  QLabel* summary_;
  QTreeWidget* additions_;
  QTreeWidget* refusals_;
  QPushButton* add_;
};

// "1 entry" or "N entries".
std::string CountOfEntries(std::size_t count);

}  // namespace larkspire
