// Renders the main window with a dozen entries, the Details window and the TCP/IP window
// offscreen. With LARKSPIRE_SCREENSHOTS_DIR set the busy main window and the TCP/IP window are
// written there (docs/ keeps them; its pictures of the idle main window and of Details are taken
// on a real window by scripts/screenshots.sh); either way the test checks that the windows
// render with text.
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QtTest>

#include "WidgetFinder.h"
#include "rules/Dates.h"
#include "support/GuiTestApp.h"
#include "ui/BusyPanel.h"
#include "ui/DetailsWindow.h"
#include "ui/EntryListView.h"
#include "ui/FlowWindow.h"
#include "ui/MainWindow.h"

using namespace larkspire;

namespace {

struct Sample {
  const char* reference;
  const char* app_num;
  const char* filed;
  const char* examiner;
  const char* art;
  const char* status;
  const char* history;
  int frequency;
  int updated_days_ago;  // -1: never
  int changed_days_ago;
  const char* error;
};

const Sample kSamples[] = {
    {"CAL-0101US", "10/512,334", "2004-03-18", "NGUYEN, THANH", "2131", "Patented Case",
     "Recordation of Patent Grant Mailed", 1, 0, 3, ""},
    {"CAL-0102US", "10/734,018", "2003-12-11", "PATEL, RAJ", "1614", "Non Final Action Mailed",
     "Mail Non-Final Rejection", 0, 0, 1, ""},
    {"CAL-0107US", "11/020,775", "2004-12-22", "MORGAN, LISA", "3728", "Notice of Allowance Mailed",
     "Mail Notice of Allowance", 1, 5, 30, ""},
    {"CAL-0112US", "11/104,220", "2005-04-12", "OKAFOR, CHIDI", "2617", "Response to Non-Final",
     "Response after Non-Final Action", 0, 1, 12, ""},
    {"CAL-0118US", "11/233,961", "2005-09-23", "BRENNAN, KATE", "1797", "Docketed New Case",
     "Case Docketed to Examiner in GAU", 2, 40, 60, ""},
    {"CAL-0120US", "11/300,148", "2005-12-14", "", "", "", "", 0, -1, -1,
     "WinSock: Disconnected by server."},
    {"CAL-0125US", "11/405,672", "2006-04-17", "SATO, KENJI", "2182", "Final Rejection Mailed",
     "Mail Final Rejection (PTOL - 326)", 0, 0, 6, ""},
    {"CAL-0131US", "11/512,009", "2006-08-29", "WEBER, ANNA", "1645", "Appeal Brief Filed",
     "Appeal Brief Filed", 1, 2, 9, ""},
    {"CAL-0133US", "11/620,487", "2007-01-05", "DIAZ, MARCO", "3652", "Restriction Required",
     "Mail Restriction Requirement", 0, 3, 2, "Operation timed out."},
    {"CAL-0140US", "11/733,250", "2007-04-10", "KOWALSKI, PIOTR", "2454", "Awaiting Response",
     "Information Disclosure Statement (IDS) Filed", 3, 100, 100, ""},
    {"CAL-0144US", "11/851,603", "2007-09-07", "HUANG, MEI", "1712", "Abandoned",
     "Abandonment for Failure to Respond to Office Action", 4, 200, 150, ""},
    {"CAL-0150US", "12/010,918", "2008-01-31", "FISCHER, JONAS", "2836", "Docketed New Case",
     "Preliminary Amendment", 0, 0, 0, ""},
};

CEntry SampleEntry(const Sample& s) {
  const int32_t today = TodayDayNumber();
  CEntry entry;
  entry.SetText(kReference, s.reference);
  entry.SetText(kDocketNumber, s.reference);
  entry.SetText(kAppNum, s.app_num);
  entry.SetText(kFilingDate, s.filed);
  entry.SetText(kExaminer, s.examiner);
  entry.SetText(kArtUnit, s.art);
  entry.SetText(kStatus, s.status);
  entry.SetText(kLastHistoryText, s.history);
  if (*s.history) entry.SetText(kLastHistoryDate, FormatDayNumber(today - s.changed_days_ago));
  entry.SetText(kCustNum, "24301");
  entry.SetText(kConfirmNum, "4417");
  entry.SetText(kClass, "707/200");
  entry.SetText(kLocation, "ELECTRONIC");
  entry.SetText(kError, s.error);
  entry.frequency = s.frequency;
  entry.last_update = s.updated_days_ago < 0 ? 0 : today - s.updated_days_ago;
  entry.last_change = s.changed_days_ago < 0 ? 0 : today - s.changed_days_ago;
  return entry;
}

void Save(QWidget& widget, const QString& name) {
  const QPixmap picture = widget.grab();
  QVERIFY(!picture.isNull());
  const QString dir = qEnvironmentVariable("LARKSPIRE_SCREENSHOTS_DIR");
  if (!dir.isEmpty()) QVERIFY(picture.save(dir + "/" + name, "PNG"));
}

// Whether the picture holds dark pixels (text) inside the rectangle.
bool HasInk(QWidget& widget, const QRect& area) {
  const QImage image = widget.grab(area).toImage();
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (qGray(image.pixel(x, y)) < 100) return true;
    }
  }
  return false;
}

}  // namespace

class ScreenshotsTest : public QObject {
  Q_OBJECT

 private slots:
  void windows() {
    QVERIFY2(!QFontDatabase::families().isEmpty(), "no fonts: install fonts-dejavu-core");
    CGuiTestApp fixture;
    CMainWindow window(*fixture);
    for (const Sample& sample : kSamples) fixture->Entries().Insert(SampleEntry(sample));
    fixture->Entries().SetSort(kReference, false);
    fixture->Entries().SetSelected(1, true);
    fixture->Entries().SetSelected(6, true);
    window.RefreshList();
    window.RefreshTitle();
    window.setGeometry(20, 20, 1180, 420);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCoreApplication::processEvents();
    const QRect first_row = List(window).visualRect(List(window).model()->index(0, kReference));
    QVERIFY(HasInk(List(window), first_row.translated(List(window).viewport()->pos())));

    fixture->BeginBusy("Update Status (All)", 12);
    window.SetStatusText("CAL-0107US (3 of 12)");
    window.SetProgress(3);
    fixture->Entries().SetUpdating(2, true);
    window.RedrawRow(2);
    QCoreApplication::processEvents();
    Save(window, "main-window-busy.png");
    fixture->Entries().SetUpdating(2, false);
    fixture->EndBusy();

    CDetailsWindow& details = Details(window);
    details.setGeometry(40, 40, 460, 560);
    details.Present();
    QTRY_VERIFY(!details.RefreshPending());
    QVERIFY(details.SummaryText().find("CAL-0102US") != std::string::npos);
    QVERIFY(HasInk(details, details.rect()));

    CFlowWindow& flow = Flow(window);
    const char* lines[] = {
        "012.31 HttpGet(0): Connecting to 127.0.0.1:8080",
        "012.32 HttpGet(0): Connected",
        "012.32 HttpGet(0): GET http://pair.uspto.gov/cgi-bin/final/pair?11020775 HTTP/1.0",
        "012.58 HttpGet(0): HTTP/1.0 200 OK",
        "012.58 HttpGet(0): Received 41326 bytes",
        "012.59 HttpGet(0): Closed",
        "013.02 SendMail: Connecting to mail.example.com:25",
        "013.10 SendMail: 220 mail.example.com ESMTP",
        "013.10 SendMail: HELO workstation",
        "013.12 SendMail: 250 mail.example.com",
    };
    for (const char* line : lines) flow.AppendFlow(std::string(line) + "\r\n");
    flow.setGeometry(60, 60, 640, 300);
    flow.Present();
    QCoreApplication::processEvents();
    QVERIFY(HasInk(flow, Child<QPlainTextEdit>(flow, "text").geometry()));
    Save(flow, "tcpip-window.png");
  }
};

QTEST_MAIN(ScreenshotsTest)
#include "screenshots_test.moc"
