// The list of entries: a table over CEntryListModel with grid lines, whole-row multi-selection,
// the column widths of the settings, the sort arrow on the sorted column, and a header menu
// that hides and shows columns (kept in the settings, one column always left). Its selection is
// mirrored into the core's list, which the commands read; after the list changes the core's
// selection is shown again.
#pragma once

#include <QElapsedTimer>
#include <QTableView>
#include <QTimer>
#include <map>

class QMenu;

namespace larkspire {

inline constexpr int kRowRedrawMs = 250;

class CDocket;
class CEntry;
class CEntryList;
class CEntryListModel;
class CSettings;

class CEntryListView : public QTableView {
  Q_OBJECT

 public:
  CEntryListView(CEntryList& entries, QWidget* parent = nullptr);

  // Shown in an empty list: how it fills.
  static QString PlaceholderText();

  // The docket whose next deadlines the list shows.
  void SetDocket(const CDocket& docket);

  // (w + 15) x units / 2, w being the text width of "Last Update" in the list's font (the
  // next deadline's column, kNextDeadlineColumn, counts 5 units).
  int DefaultColumnWidth(int field_id) const;
  // A stored width wins over the default; 0 hides the column, and so does naming its caption in
  // HiddenColumns. A column hidden through the menu keeps its width for when it is shown again.
  void RestoreColumnWidths(CSettings& settings);
  void SaveColumnWidths(CSettings& settings) const;
  // Hides or shows a column as the header menu does; the last column shown stays.
  void SetColumnShown(int column, bool shown);
  // The header's menu: a checked item for each column shown.
  QMenu* CreateColumnMenu(QWidget* parent);
  // The header's arrow on the sorted column, pointing the way the list runs.
  void ShowSortIndicator(int field_id, bool ascending);

  // The first row shown at the top, and scrolling a row to the top.
  int TopIndex() const;
  void ScrollToTopIndex(int row);

  // After rows were added, removed or reordered: the model is reset and the core's selection
  // shown again.
  void Reload();
  // Rows changed in place are redrawn at most every kRowRedrawMs: the first change after a
  // quiet spell at once, the ones that follow together when the spell ends, so a run repaints
  // the list a few times a second rather than once per entry.
  void RedrawRow(int row);
  // The row with the keyboard focus, or -1.
  int FocusedRow() const;
  // The entry with the keyboard focus (null without one), and giving the focus back to it
  // after the list was re-sorted, so the focus stays with the entry, not the row number.
  const CEntry* FocusedEntry() const;
  void FocusEntry(const CEntry* entry);

 signals:
  void HeaderClicked(int field_id);
  void CellDoubleClicked(int field_id);
  void ContextMenuRequested(int field_id, const QPoint& global_pos);
  // Whenever the selection in the core's list changed through the view.
  void SelectionEdited();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void CopySelectionToCore(const QItemSelection& selected, const QItemSelection& deselected);
  void ShowCoreSelection();
  void RedrawChangedRows();
  int ShownColumnCount() const;
  QString ColumnCaption(int column) const;

  CEntryList& entries_;
  CEntryListModel* model_;
  bool showing_core_selection_ = false;
  QTimer redraw_timer_;
  QElapsedTimer since_redraw_;
  int changed_first_ = -1;  // the rows changed since the last redraw, -1 for none
  int changed_last_ = -1;
  // The columns hidden through the menu, with the width each had.
  std::map<int, int> chosen_hidden_;
};

}  // namespace larkspire
