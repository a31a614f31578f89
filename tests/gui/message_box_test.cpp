// Message boxes show server and page text (a status line, a proxy's bold text, a rules
// version): the text is plain, never markup with live links.
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

#include "ui/QtText.h"
#include "ui/QtUiHost.h"

using namespace larkspire;

class MessageBoxTest : public QObject {
  Q_OBJECT

 private slots:
  void textIsPlainAndButtonsAsAsked() {
    const std::string text =
        "HttpGet: HTTP Get Failed. (<a href=\"http://elsewhere.example/\">404</a> <b>x</b>)";
    const struct {
      MsgButtons buttons;
      MsgAnswer default_answer;
      QMessageBox::StandardButtons shown;
      QMessageBox::StandardButton default_button;
    } cases[] = {
        {MsgButtons::kOk, MsgAnswer::kOk, QMessageBox::Ok, QMessageBox::Ok},
        {MsgButtons::kYesNo, MsgAnswer::kNo, QMessageBox::Yes | QMessageBox::No, QMessageBox::No},
        {MsgButtons::kYesNoCancel, MsgAnswer::kCancel,
         QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Cancel},
    };
    for (const auto& c : cases) {
      const std::unique_ptr<QMessageBox> box =
          BuildMessageBox(nullptr, text, "Larkspire\xAE - Download Failed", c.buttons,
                          c.default_answer, MsgIcon::kDefault);
      QCOMPARE(box->textFormat(), Qt::PlainText);
      QCOMPARE(box->text(), ToQt(text));
      QCOMPARE(box->windowTitle(), ToQt("Larkspire\xAE - Download Failed"));
      QCOMPARE(box->standardButtons(), c.shown);
      QCOMPARE(box->standardButton(box->defaultButton()), c.default_button);
    }
  }
};

QTEST_MAIN(MessageBoxTest)
#include "message_box_test.moc"
