#include <gtest/gtest.h>
#include <sys/stat.h>

#include "app/AppCore.h"
#include "app/Installation.h"
#include "platform/Files.h"
#include "platform/ProgramInfo.h"
#include "platform/Resources.h"
#include "platform/Shortcuts.h"
#include "support/TempDir.h"
#include "support/TestAppCore.h"

namespace larkspire {
namespace {

constexpr const char* kNewProgram = "\177ELF new program";

// A program file in place of the running one, and an application directory beside it.
class InstallationTest : public ::testing::Test {
 protected:
  explicit InstallationTest(const std::string& running_name = kProgramFileName)
      : running_(dir_.File("download/" + running_name)) {
    MakeDirectories(dir_.File("download"));
    MakeDirectories(dir_.File("apps"));
    EXPECT_TRUE(SaveFileAtomically(running_, kNewProgram));
    ::chmod(running_.c_str(), 0755);
    app_ = std::make_unique<CTestAppCore>(running_);
    App().Settings().Install.Set(dir_.File("apps"));
    App().Settings().ShortcutFolder.Set(dir_.File("share/applications/Grantwell"));
    App().Settings().OrgName.Set("Hollis & Marsh");
    hooks_.hand_over = [this](const std::string& program) { handed_over_.push_back(program); };
    hooks_.configure = [this] {
      ++configure_runs_;
      return true;
    };
    hooks_.wait = [this](int ms) { waits_.push_back(ms); };
  }

  AppCore& App() { return **app_; }
  CScriptedUi& Ui() { return app_->Ui(); }
  std::string Target() { return dir_.File("apps/") + kProgramFileName; }
  std::string Read(const std::string& path) {
    std::string bytes;
    ReadWholeFile(path, bytes);
    return bytes;
  }
  std::string Shortcut(const std::string& name) {
    return Read(dir_.File("share/applications/Grantwell/" + name + ".desktop"));
  }
  std::string StoredInstall() {
    return App().Settings().Backend().Read(kProductGroup, "Install").value_or("<none>");
  }

  CTempDir dir_;
  std::string running_;
  std::unique_ptr<CTestAppCore> app_;
  CInstallHooks hooks_;
  std::vector<std::string> handed_over_;
  std::vector<int> waits_;
  int configure_runs_ = 0;
};

TEST_F(InstallationTest, YesReplacesTheOlderCopyAndWritesSettingsAndShortcuts) {
  ASSERT_TRUE(SaveFileAtomically(Target(), "old program, longer than the new one"));
  MakeDirectories(dir_.File("share/applications/Grantwell"));
  ASSERT_TRUE(
      SaveFileAtomically(dir_.File("share/applications/Grantwell/help.desktop"), "old help link"));
  Ui().answers = {MsgAnswer::kYes};

  EXPECT_EQ(RunInstallation(App(), false, hooks_), InstallResult::kInstalled);
  ASSERT_EQ(Ui().messages.size(), 1u);
  EXPECT_EQ(Ui().messages[0].text,
            "You are running " + running_ + "\nPreviously you ran " + Target() +
                "\n\nDo you want to overwrite the previous copy of " + kProgramFileName +
                "?\n\nIf you choose NO the Application Directory will be changed to " +
                dir_.File("download") + ".");
  EXPECT_EQ(Ui().messages[0].buttons, MsgButtons::kYesNoCancel);
  EXPECT_EQ(Read(Target()), kNewProgram);
  struct stat st {};
  ASSERT_EQ(::stat(Target().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0755u);

  EXPECT_EQ(StoredInstall(), dir_.File("apps"));
  EXPECT_EQ(App().Settings().Backend().Read(kSettingsGroup, "OrgName"), "Hollis & Marsh");
  EXPECT_NE(Shortcut("Larkspire").find("\nExec=" + DesktopExecValue(Target(), "") + "\n"),
            std::string::npos);
  EXPECT_NE(Shortcut("Larkspire (auto)").find("\nExec=" + DesktopExecValue(Target(), "-auto")),
            std::string::npos);
  EXPECT_NE(Shortcut("Larkspire Web Site").find("Type=Link"), std::string::npos);
  EXPECT_NE(Shortcut("Calverin Web Site").find("Type=Link"), std::string::npos);
  EXPECT_FALSE(FileExists(dir_.File("share/applications/Grantwell/help.desktop")));
  // The icon the shortcuts name, beside the menu they are in: the program's own pictures.
  for (const auto& [file, resource] : {std::pair{"16x16/apps/larkspire.png", "LARKSPIRE_16_PNG"},
                                       std::pair{"256x256/apps/larkspire.png", "LARKSPIRE_256_PNG"},
                                       std::pair{"scalable/apps/larkspire.svg", "LARKSPIRE_SVG"}}) {
    const std::optional<std::string_view> picture = FindResource("ICON", resource);
    ASSERT_TRUE(picture) << resource;
    EXPECT_EQ(Read(dir_.File("share/icons/hicolor/") + file), *picture) << file;
  }
  for (int size : kIconSizes) {
    const std::string pixels = std::to_string(size);
    EXPECT_TRUE(FileExists(
        dir_.File("share/icons/hicolor/" + pixels + "x" + pixels + "/apps/larkspire.png")))
        << size;
  }
  EXPECT_TRUE(handed_over_.empty());
  EXPECT_EQ(Ui().close_requests, 0);
}

TEST_F(InstallationTest, NoMovesTheApplicationDirectoryWithoutCopying) {
  Ui().answers = {MsgAnswer::kNo};
  EXPECT_EQ(RunInstallation(App(), false, hooks_), InstallResult::kInstalled);
  EXPECT_FALSE(FileExists(Target()));
  EXPECT_EQ(App().Settings().Install.Text(), dir_.File("download"));
  EXPECT_EQ(StoredInstall(), dir_.File("download"));
  EXPECT_NE(Shortcut("Larkspire").find(DesktopExecValue(running_, "")), std::string::npos);
}

TEST_F(InstallationTest, CancelClosesTheWindowAndChangesNothing) {
  Ui().answers = {MsgAnswer::kCancel};
  EXPECT_EQ(RunInstallation(App(), false, hooks_), InstallResult::kWindowClosing);
  EXPECT_EQ(Ui().close_requests, 1);
  EXPECT_FALSE(FileExists(Target()));
  EXPECT_EQ(StoredInstall(), "<none>");
  EXPECT_FALSE(IsDirectory(dir_.File("share/applications/Grantwell")));
}

TEST_F(InstallationTest, AForcedRunCopiesWithoutAsking) {
  EXPECT_EQ(RunInstallation(App(), true, hooks_), InstallResult::kInstalled);
  EXPECT_TRUE(Ui().messages.empty());
  EXPECT_EQ(Read(Target()), kNewProgram);
}

TEST_F(InstallationTest, TheInstalledCopyOnlyRefreshesSettingsAndShortcuts) {
  App().Settings().Install.Set(dir_.File("download"));
  EXPECT_EQ(RunInstallation(App(), false, hooks_), InstallResult::kInstalled);
  EXPECT_TRUE(Ui().messages.empty());
  EXPECT_EQ(StoredInstall(), dir_.File("download"));
  EXPECT_FALSE(Shortcut("Larkspire").empty());
}

// The package's program is the package manager's: whatever directory was chosen, nothing is
// copied, the settings name the package's directory, and the menu leads there with the
// system's icon.
TEST_F(InstallationTest, APackagedProgramWritesOnlyTheUsersFiles) {
  const std::string packaged = std::string(kPackagedProgramDirectory) + "/" + kProgramFileName;
  app_ = std::make_unique<CTestAppCore>(packaged);
  App().Settings().Install.Set(dir_.File("apps"));
  App().Settings().ShortcutFolder.Set(dir_.File("share/applications/Grantwell"));
  for (bool forced : {false, true}) {
    EXPECT_EQ(RunInstallation(App(), forced, hooks_), InstallResult::kInstalled);
    EXPECT_TRUE(Ui().messages.empty());
    EXPECT_FALSE(FileExists(Target()));
    EXPECT_EQ(StoredInstall(), kPackagedProgramDirectory);
    EXPECT_NE(Shortcut("Larkspire").find("\nExec=" + DesktopExecValue(packaged, "") + "\n"),
              std::string::npos);
    EXPECT_NE(Shortcut("Larkspire (auto)").find(DesktopExecValue(packaged, "-auto")),
              std::string::npos);
    EXPECT_NE(Shortcut("Calverin Web Site").find("Type=Link"), std::string::npos);
    EXPECT_FALSE(IsDirectory(dir_.File("share/icons")));
  }
}

TEST_F(InstallationTest, AFailedCopyIsReportedAndSendsTheUserToConfigure) {
  App().Settings().Install.Set(dir_.File("not-there"));
  Ui().answers = {MsgAnswer::kYes};
  EXPECT_EQ(RunInstallation(App(), false, hooks_), InstallResult::kInstalled);
  EXPECT_EQ(Ui().Texts().back(),
            "Couldn't copy the application exe file to the new application directory.");
  EXPECT_EQ(configure_runs_, 1);
  EXPECT_EQ(App().Settings().Install.Text(), dir_.File("download"));
  // The shortcuts lead to the copy that exists.
  EXPECT_NE(Shortcut("Larkspire").find(DesktopExecValue(running_, "")), std::string::npos);
  EXPECT_TRUE(waits_.empty());
}

TEST_F(InstallationTest, AConfigureThatClosesTheWindowEndsTheStep) {
  App().Settings().Install.Set(dir_.File("not-there"));
  hooks_.configure = [] { return false; };
  EXPECT_EQ(RunInstallation(App(), true, hooks_), InstallResult::kWindowClosing);
  EXPECT_FALSE(IsDirectory(dir_.File("share/applications/Grantwell")));
}

class UpgradeRunTest : public InstallationTest {
 protected:
  UpgradeRunTest() : InstallationTest(UpgradeFileName()) {}
};

TEST_F(UpgradeRunTest, RetriesTheCopyUntilItWorksThenHandsOver) {
  App().Settings().Install.Set(dir_.File("busy"));
  // The directory appears while the third pause runs, as a file lets go in the old copy.
  hooks_.wait = [this](int ms) {
    waits_.push_back(ms);
    if (waits_.size() == 3) MakeDirectories(dir_.File("busy"));
  };
  EXPECT_EQ(RunInstallation(App(), false, hooks_), InstallResult::kHandedOver);
  EXPECT_TRUE(Ui().messages.empty());
  EXPECT_EQ(waits_, (std::vector<int>{1000, 1000, 1000}));
  const std::string target = dir_.File("busy/") + kProgramFileName;
  EXPECT_EQ(Read(target), kNewProgram);
  EXPECT_EQ(handed_over_, std::vector<std::string>{target});
  EXPECT_EQ(Ui().close_requests, 1);
}

TEST_F(UpgradeRunTest, GivesUpSilentlyAfterTenAttempts) {
  App().Settings().Install.Set(dir_.File("never"));
  EXPECT_EQ(RunInstallation(App(), false, hooks_), InstallResult::kHandedOver);
  EXPECT_EQ(waits_.size(), 9u);
  EXPECT_TRUE(Ui().messages.empty());
  EXPECT_EQ(configure_runs_, 0);
  EXPECT_EQ(handed_over_, std::vector<std::string>{dir_.File("never/") + kProgramFileName});
}

TEST(InstallationNamesTest, UpgradeRunsAreKnownByTheirFileName) {
  EXPECT_TRUE(IsUpgradeRun("/var/log/larkspire/" + UpgradeFileName()));
  EXPECT_FALSE(IsUpgradeRun(std::string("/opt/larkspire_temp/") + kProgramFileName));
  EXPECT_FALSE(IsUpgradeRun(std::string("/opt/larkspire/") + kProgramFileName));
}

}  // namespace
}  // namespace larkspire
