// The Details window's Deadlines part: every deadline of the selected entries (open, done and
// closed), with what opened it and each date, and the user's mark done and its undo, saved in
// the docket file at once. Hidden while the selected entries have no deadline, so Details looks
// as it did for an office without them.
#pragma once

#include <QWidget>
#include <string>
#include <vector>

class QLabel;
class QPushButton;
class QTableWidget;

namespace larkspire {

class CRun;
struct CDeadline;

// The table's columns.
enum DeadlinesPanelColumn : int {
  kDeadlineReference = 0,
  kDeadlineWhat,
  kDeadlineOpenedBy,
  kDeadlineComputed,
  kDeadlineDue,
  kDeadlineLastDate,
  kDeadlineState,
  kDeadlineColumnCount
};

// "Open", "Done" or "Closed: <event> on <date>".
std::string DeadlineStateText(const CDeadline& deadline);

class CDeadlinesPanel : public QWidget {
  Q_OBJECT

 public:
  CDeadlinesPanel(CRun& run, QWidget* parent);

  // Shows the deadlines of the entries selected in the run's list now.
  void Refresh();
  // Marks the deadline of the current row done, or undoes that, and saves the docket.
  void SetCurrentDone(bool done);
  QTableWidget& Table() { return *table_; }

 signals:
  // The docket changed and was saved: the list and Details show it anew.
  void DocketChanged();

 private:
  void UpdateButtons();
  void ShowContextMenu(const QPoint& pos);

  CRun& run_;
  QLabel* title_;
  QTableWidget* table_;
  QPushButton* done_button_;
  QPushButton* undo_button_;
  // The UID of each row's deadline.
  std::vector<std::string> uids_;
};

}  // namespace larkspire
