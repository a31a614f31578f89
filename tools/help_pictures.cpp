// Makes the help page's pictures of the dialogs: each is built with sample settings, shown on
// the offscreen platform and grabbed. Usage:
//   QT_QPA_PLATFORM=offscreen larkspire-help-pictures OUTDIR
//   larkspire-help-pictures --convert IN OUT   (pictures taken elsewhere; format from OUT's name)
// The main window's pictures come from docs/: fig1 from main-window.png and fig4 from
// details-window.png (taken on a real window by scripts/screenshots.sh), fig1a from
// main-window-busy.png and fig4a from tcpip-window.png (made by the screenshots GUI test).
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <cstdio>
#include <string>

#include "app/AppCore.h"
#include "app/Configuration.h"
#include "app/ConfigureFlow.h"
#include "entries/Entry.h"
#include "net/PasswordScramble.h"
#include "notify/Variables.h"
#include "platform/SettingsBackend.h"
#include "rules/RulesFile.h"
#include "ui/AboutBox.h"
#include "ui/AddAddressDialog.h"
#include "ui/AddReferenceDialog.h"
#include "ui/AdvancedDialog.h"
#include "ui/ConfigureDialog.h"
#include "ui/PromptDialog.h"
#include "ui/QtText.h"

namespace {

using namespace larkspire;

constexpr int kQuality = 90;

bool Save(QWidget& widget, const QString& path) {
  widget.show();
  widget.adjustSize();
  QApplication::processEvents();
  const bool ok = widget.grab().save(path, "JPG", kQuality);
  std::fprintf(stderr, "%s %s\n", ok ? "wrote" : "could not write", qPrintable(path));
  widget.hide();
  return ok;
}

void FillSampleSettings(AppCore& app) {
  CSettings& s = app.Settings();
  s.OrgName.Set("Hollis & Marsh LLP");
  s.SmtpServer.Set("mail.hollis-marsh.example");
  s.ReturnAddress.Set("docketing@hollis-marsh.example");
  s.NotifyAddress.Items() = {"docketing@hollis-marsh.example", "a.hollis@hollis-marsh.example"};
  s.ShortcutFolder.Set("/home/ann/.local/share/applications/Grantwell");
  s.Install.Set("/home/ann/.local/share/Grantwell");
  s.LogDir.Set("/srv/larkspire/Log");
  s.ReportDir.Set("/srv/www/docketing");
  s.ProxyServer.Set("127.0.0.1:8080");
  s.UserName.Set("docketing");
  s.Password.Set(ScramblePassword("secret"));
}

int MakePictures(const QString& out) {
  CMemorySettingsBackend backend;
  AppCore app(backend, "/home/ann/.local/share/Grantwell/larkspire", "");
  LoadRules(app);
  FillSampleSettings(app);
  bool ok = true;

  CConfigureDialog configure(app, nullptr);
  ok = Save(configure, out + "/fig2.jpg") && ok;

  CConfiguration copy = ReadConfiguration(app);
  CAdvancedDialog advanced(app, copy, nullptr);
  ok = Save(advanced, out + "/fig2a.jpg") && ok;

  CAddAddressDialog add(app, nullptr);
  add.findChild<QLineEdit*>("address")->setText("b.marsh@hollis-marsh.example");
  ok = Save(add, out + "/fig3.jpg") && ok;

  QMessageBox disclaimer(QMessageBox::Warning, ToQt(std::string(kCaption) + " - Disclaimer"),
                         kDisclaimer, QMessageBox::Yes | QMessageBox::No);
  ok = Save(disclaimer, out + "/fig3a.jpg") && ok;

  CPromptDialog problem(nullptr, "Report Problem",
                        "Please describe your problem in some detail. When you click OK an email "
                        "message will be sent to \"support@larkspire.example\".",
                        "The art unit column stays empty for 10/123,456.");
  ok = Save(problem, out + "/fig5.jpg") && ok;

  app.Rules().version = "4.3.00.000";
  CAboutBox about(app, nullptr);
  ok = Save(about, out + "/fig7.jpg") && ok;

  QMessageBox upgrade(QMessageBox::Question, ToQt(kCaption),
                      "Do you want to download and install the latest version?",
                      QMessageBox::Yes | QMessageBox::No);
  ok = Save(upgrade, out + "/fig7a.jpg") && ok;

  CEntry entry;
  CAddReferenceDialog add_reference(nullptr, app, entry);
  add_reference.findChild<QLineEdit*>("reference")->setText("HM-1042-US");
  add_reference.findChild<QLineEdit*>("number")->setText("10/123,456");
  ok = Save(add_reference, out + "/fig8.jpg") && ok;

  CPromptDialog change(nullptr, "Change", std::string(kFields[kReference].column_caption) + ":",
                       "HM-1042-US-CON");
  ok = Save(change, out + "/fig10.jpg") && ok;
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc == 4 && std::string(argv[1]) == "--convert") {
    QPixmap picture(QString::fromLocal8Bit(argv[2]));
    return !picture.isNull() && picture.save(QString::fromLocal8Bit(argv[3]), nullptr, kQuality)
               ? 0
               : 1;
  }
  if (argc != 2) {
    std::fprintf(stderr, "usage: larkspire-help-pictures OUTDIR | --convert IN OUT\n");
    return 2;
  }
  return MakePictures(QString::fromLocal8Bit(argv[1]));
}
