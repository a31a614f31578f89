// Where the windows open, on two offscreen screens side by side with the pointer on the right
// one: with nothing saved the main window is centred on the pointer's screen and the Details
// and TCP/IP windows go beside it; a saved rectangle on a screen is kept, one off every screen
// is moved back onto one.
#include <QApplication>
#include <QCursor>
#include <QScreen>
#include <QStyle>
#include <QTemporaryFile>
#include <QtTest>

#include "WidgetFinder.h"
#include "support/GuiTestApp.h"
#include "ui/DetailsWindow.h"
#include "ui/FlowWindow.h"
#include "ui/MainWindow.h"
#include "ui/WindowPlacement.h"

using namespace larkspire;

namespace {

const QRect kLeftScreen(0, 0, 1366, 768);
const QRect kRightScreen(1366, 0, 1280, 1024);

QRect ScreenOf(const QWidget& window) {
  for (QScreen* screen : QGuiApplication::screens()) {
    if (screen->geometry().contains(window.geometry().center())) return screen->geometry();
  }
  return {};
}

int TitleRoom(const QWidget& window) {
  return window.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &window);
}

}  // namespace

class WindowPlacementTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { QCursor::setPos(kRightScreen.center()); }

  void theGeometryRules() {
    const QRect area(0, 30, 1000, 700);
    QCOMPARE(CentredIn(area, QSize(400, 300)), QRect(300, 230, 400, 300));
    QCOMPARE(CentredIn(area, QSize(2000, 300)), QRect(0, 230, 1000, 300));
    const QRect main(100, 100, 500, 400);
    QCOMPARE(BesideIn(area, main, QSize(300, 200), 10), QRect(610, 100, 300, 200));
    const QRect wide(300, 100, 600, 400);
    QCOMPARE(BesideIn(area, wide, QSize(250, 200), 10), QRect(40, 100, 250, 200));
    const QRect full(20, 40, 950, 500);
    QCOMPARE(BesideIn(area, full, QSize(250, 200), 10), QRect(750, 40, 250, 200));
    // Too little room for the whole width: narrower beside it, on the side with more room,
    // rather than over it.
    const QRect centred(250, 100, 500, 400);
    QCOMPARE(BesideIn(area, centred, QSize(300, 200), 10), QRect(760, 100, 240, 200));
    const QRect rightish(260, 100, 700, 400);
    QCOMPARE(BesideIn(area, rightish, QSize(300, 200), 10), QRect(0, 100, 250, 200));
    QCOMPARE(MovedInto(area, QRect(5000, -200, 300, 200)), QRect(700, 30, 300, 200));
    QCOMPARE(MovedInto(area, QRect(-50, 0, 3000, 200)), QRect(0, 30, 1000, 200));
    QCOMPARE(MovedInto(area, QRect(10, 40, 300, 200)), QRect(10, 40, 300, 200));
  }

  void withNothingSavedTheMainWindowIsCentredOnThePointersScreen() {
    CGuiTestApp fixture;
    CMainWindow window(*fixture);
    QCOMPARE(ScreenOf(window), kRightScreen);
    const QRect area = kRightScreen.adjusted(0, TitleRoom(window), 0, 0);
    QVERIFY(area.contains(window.geometry()));
    QVERIFY(qAbs(window.geometry().center().x() - area.center().x()) <= 1);
    QVERIFY(qAbs(window.geometry().center().y() - area.center().y()) <= 1);

    // The tool windows open on the same screen, tops level with its top, as far beside it as
    // the screen allows: at this width over its right-hand side, never over its menus.
    Details(window).Present();
    Flow(window).Present();
    for (QWidget* tool :
         {static_cast<QWidget*>(&Details(window)), static_cast<QWidget*>(&Flow(window))}) {
      const QRect rect = tool->geometry();
      QVERIFY2(area.contains(rect), qPrintable(tool->windowTitle()));
      QCOMPARE(rect.top(), window.geometry().top());
      QCOMPARE(rect.right(), area.right());
      QVERIFY(rect.left() > window.geometry().center().x());
    }
  }

  void detailsStayOffAMainWindowThatLeavesRoomBesideIt() {
    CGuiTestApp fixture;
    CMainWindow window(*fixture);
    // Centred on the 1280-wide screen with some 250 pixels on each side: too little for the
    // Details window's whole width, enough for a narrower one.
    window.setGeometry(QRect(kRightScreen.left() + 260, 100, 760, 600));
    Details(window).Present();
    const QRect rect = Details(window).geometry();
    QVERIFY(!rect.intersects(window.geometry()));
    QVERIFY(kRightScreen.contains(rect));
    QCOMPARE(rect.top(), window.geometry().top());
  }

  void aToolWindowFollowsWhereTheMainWindowIsWhenFirstShown() {
    CGuiTestApp fixture;
    CMainWindow window(*fixture);
    window.setGeometry(kLeftScreen.left() + 40, 100, 600, 400);
    Details(window).Present();
    QCOMPARE(ScreenOf(Details(window)), kLeftScreen);
    QVERIFY(!Details(window).geometry().intersects(window.geometry()));
    QVERIFY(Details(window).geometry().left() > window.geometry().right());
    QCOMPARE(Details(window).geometry().top(), 100);
  }

  void aSavedRectangleOnAScreenIsKept() {
    CGuiTestApp fixture({{"Left", "1500"}, {"Top", "200"}, {"Right", "2300"}, {"Bottom", "800"}});
    CMainWindow window(*fixture);
    QCOMPARE(window.geometry(), QRect(1500, 200, 800, 600));
  }

  void savedRectanglesOffEveryScreenComeBackOntoOne() {
    struct Case {
      const char* name;
      QRect saved;
      QRect screen;  // where it must lie afterwards
    };
    for (const Case& c : {
             // A screen that is gone: the pointer's screen takes it, the size kept.
             Case{"beyond every screen", QRect(5000, 300, 700, 500), kRightScreen},
             // Half over the left edge, and the title bar above the top.
             Case{"over the corner", QRect(-300, -40, 700, 500), kLeftScreen},
             // Taller than the left screen since its resolution went down.
             Case{"taller than its screen", QRect(100, 100, 900, 1000), kLeftScreen},
         }) {
      CGuiTestApp fixture({{"Left", std::to_string(c.saved.left())},
                           {"Top", std::to_string(c.saved.top())},
                           {"Right", std::to_string(c.saved.left() + c.saved.width())},
                           {"Bottom", std::to_string(c.saved.top() + c.saved.height())}});
      CMainWindow window(*fixture);
      const QRect area = c.screen.adjusted(0, TitleRoom(window), 0, 0);
      QVERIFY2(area.contains(window.geometry()), c.name);
      QCOMPARE(window.geometry().width(), c.saved.width());
      QCOMPARE(window.geometry().height(), std::min(c.saved.height(), area.height()));
    }
  }

  void aToolWindowSavedOffScreenComesBackToo() {
    CGuiTestApp fixture({{"DetailsLeft", "-900"},
                         {"DetailsTop", "2000"},
                         {"DetailsRight", "-500"},
                         {"DetailsBottom", "2400"},
                         {"DetailsVisible", "1"}});
    CMainWindow window(*fixture);
    QVERIFY(Details(window).isVisible());
    const QRect rect = Details(window).geometry();
    QCOMPARE(rect.size(), QSize(400, 400));
    QCOMPARE(ScreenOf(Details(window)), kRightScreen);
  }
};

int main(int argc, char** argv) {
  // Two screens side by side, as an office's laptop beside its monitor.
  QTemporaryFile config;
  config.setFileTemplate(QDir::tempPath() + "/larkspire-screens-XXXXXX.json");
  if (!config.open()) return 1;
  config.write(R"({"screens": [
      {"name": "left", "x": 0, "y": 0, "width": 1366, "height": 768, "logicalDpi": 96},
      {"name": "right", "x": 1366, "y": 0, "width": 1280, "height": 1024, "logicalDpi": 96}]})");
  config.close();
  qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config.fileName()).toLocal8Bit());
  QApplication app(argc, argv);
  WindowPlacementTest test;
  QTEST_SET_MAIN_SOURCE_PATH
  return QTest::qExec(&test, argc, argv);
}

#include "window_placement_test.moc"
