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
};

QTEST_MAIN(NetworkCancelTest)
#include "network_cancel_test.moc"
