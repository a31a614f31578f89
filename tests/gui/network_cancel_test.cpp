// Cancel during a fetch: the Cancel button of the busy display reaches the worker that waits
// on a server which never answers, and the fetch ends with "Operation canceled." long before
// its time-out.
#include <QPushButton>
#include <QtTest>

#include "WidgetFinder.h"
#include "retrieval/Fetch.h"
#include "support/GuiTestApp.h"
#include "support/HttpTestServer.h"
#include "ui/BusyPanel.h"
#include "ui/FlowWindow.h"
#include "ui/MainWindow.h"

using namespace larkspire;

class NetworkCancelTest : public QObject {
  Q_OBJECT

 private slots:
  void cancelEndsAStalledFetch() {
    // The server reads the request and then keeps the connection open without a word.
    CHttpTestServer server([](const std::string&, CTestConnection& connection) {
      connection.WaitForPeerClose(60000);
    });
    CGuiTestApp fixture({{"Timeout", "10 minutes"}});
    CMainWindow window(*fixture);
    window.show();
    bool busy_seen = false;
    QTimer::singleShot(300, &window, [&] {
      busy_seen = !Child<QPushButton>(Busy(window), "cancel").isHidden() && fixture->Busy();
      Child<QPushButton>(Busy(window), "cancel").click();
    });
    std::string page = "untouched";
    const std::string error =
        FetchPage(*fixture, "http://" + server.HostPort() + "/stall", true, false, page);
    QVERIFY(busy_seen);
    QCOMPARE(error, std::string("Operation canceled."));
    QCOMPARE(page, std::string("untouched"));
    QCOMPARE(fixture->AbortReason(), kAbortCanceled);
    QVERIFY(!fixture->Busy());
    QVERIFY(Child<QPushButton>(Busy(window), "cancel").isHidden());
    // The flow log told the TCP/IP window about the cancel.
    window.DrainFlowLog();
    QVERIFY(fixture->Transcript().text.find("Cancelling...") != std::string::npos);
  }

  // A quit asked for while a fetch waits (the desktop's session ending, say) ends every nested
  // event loop Qt starts from then on. The wait must still handle events: the Cancel button
  // pressed after the quit ends the fetch at once, and the quit ends the main loop afterwards.
  void quitDuringAWaitIsKeptAndTheWaitStillHandlesCancel() {
    // Without events the wait would run until the server gives up and closes.
    CHttpTestServer server(
        [](const std::string&, CTestConnection& connection) { connection.WaitForPeerClose(5000); });
    CGuiTestApp fixture({{"Timeout", "10 minutes"}});
    CMainWindow window(*fixture);
    window.show();
    std::string error = "not fetched";
    std::string page = "untouched";
    bool cancel_handled = false;
    QTimer::singleShot(0, &window, [&] {
      QTimer::singleShot(100, [] { QCoreApplication::exit(7); });
      QTimer::singleShot(400, &window, [&] {
        cancel_handled = true;
        Child<QPushButton>(Busy(window), "cancel").click();
      });
      error = FetchPage(*fixture, "http://" + server.HostPort() + "/stall", true, false, page);
    });
    const int exit_code = QCoreApplication::exec();
    QVERIFY(cancel_handled);
    QCOMPARE(error, std::string("Operation canceled."));
    QCOMPARE(page, std::string("untouched"));
    QCOMPARE(exit_code, 7);
    QVERIFY(!fixture->Busy());
  }
};

QTEST_MAIN(NetworkCancelTest)
#include "network_cancel_test.moc"
