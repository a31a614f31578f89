// At scale 2 (a high-resolution screen) the pictures the window draws itself have twice the
// pixels, so they are as sharp as the text beside them: the busy strip's lights and envelope,
// and the row images the list shows.
#include <QLabel>
#include <QtTest>

#include "WidgetFinder.h"
#include "support/GuiTestApp.h"
#include "ui/BusyPanel.h"
#include "ui/EntryListView.h"
#include "ui/MainWindow.h"

using namespace larkspire;

class ScaleTwoTest : public QObject {
  Q_OBJECT

 private slots:
  void theBusyStripsPicturesHaveTwiceThePixels() {
    CBusyPanel panel;
    panel.SetEmailPending(true);
    panel.show();
    QCOMPARE(panel.devicePixelRatioF(), 2.0);
    int pictures = 0;
    for (QLabel* label : panel.findChildren<QLabel*>()) {
      const QPixmap picture = label->pixmap();
      if (picture.isNull()) continue;
      ++pictures;
      QCOMPARE(picture.devicePixelRatio(), 2.0);
      QCOMPARE(picture.size(), picture.deviceIndependentSize().toSize() * 2);
    }
    QCOMPARE(pictures, 3);  // the envelope and the two lights
    panel.LightSend(1000);
    for (QLabel* label : panel.findChildren<QLabel*>()) {
      if (!label->pixmap().isNull()) QCOMPARE(label->pixmap().devicePixelRatio(), 2.0);
    }
  }

  void rowImagesAreShownWithTwiceThePixels() {
    CGuiTestApp fixture;
    fixture->Entries().Insert(MakeEntry("A", "10/000,001"));
    CMainWindow window(*fixture);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    CEntryListView& list = List(window);
    const QIcon icon =
        list.model()->data(list.model()->index(0, 0), Qt::DecorationRole).value<QIcon>();
    const QPixmap shown = icon.pixmap(list.iconSize(), list.devicePixelRatioF());
    QCOMPARE(shown.size(), QSize(32, 32));
  }
};

int main(int argc, char** argv) {
  qputenv("QT_SCALE_FACTOR", "2");
  QApplication app(argc, argv);
  ScaleTwoTest test;
  QTEST_SET_MAIN_SOURCE_PATH
  return QTest::qExec(&test, argc, argv);
}

#include "scale_two_test.moc"
