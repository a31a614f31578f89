#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>

#include "app/AppCore.h"
#include "app/Installation.h"
#include "app/Upgrade.h"
#include "net/HttpGet.h"
#include "platform/Files.h"
#include "platform/ProgramInfo.h"
#include "support/HttpTestServer.h"
#include "support/RulesText.h"
#include "support/SmtpTestServer.h"
#include "support/TempDir.h"
#include "support/TestAppCore.h"
#include "support/TestSigningKey.h"

namespace larkspire {
namespace {

std::string ReadData(const std::string& name) {
  std::string bytes;
  EXPECT_TRUE(ReadWholeFile(std::string(LARKSPIRE_TEST_DATA) + "/lz/" + name, bytes)) << name;
  return bytes;
}

constexpr const char* kNewerRules = "9.9.99.000";
constexpr const char* kNewerProgram = "9.9.99";

// The publisher's server: each path answers with its body, anything else with 404.
CHttpTestServer::Responder Publisher(std::map<std::string, std::string> files) {
  return CHttpTestServer::Files(std::move(files));
}

// The user's private directory, for the test's lifetime: where upgrades unpack.
class CPrivatePlace {
 public:
  CPrivatePlace() {
    if (const char* old = std::getenv("XDG_RUNTIME_DIR")) old_ = old;
    ::setenv("XDG_RUNTIME_DIR", dir_.Path().c_str(), 1);
  }
  ~CPrivatePlace() {
    if (old_) {
      ::setenv("XDG_RUNTIME_DIR", old_->c_str(), 1);
    } else {
      ::unsetenv("XDG_RUNTIME_DIR");
    }
  }
  const CTempDir& Dir() const { return dir_; }

 private:
  CTempDir dir_;
  std::optional<std::string> old_;
};

// A second account on this machine for the test's lifetime (made with useradd, as root).
class CThrowAwayUser {
 public:
  CThrowAwayUser() : name_("lkspr" + std::to_string(::getpid())) {
    const std::string add =
        "useradd --no-create-home --shell /usr/sbin/nologin " + name_ + " >/dev/null 2>&1";
    if (std::system(add.c_str()) != 0) return;
    if (const passwd* entry = ::getpwnam(name_.c_str())) {
      uid_ = entry->pw_uid;
      gid_ = entry->pw_gid;
    }
  }
  ~CThrowAwayUser() {
    if (uid_ == 0) return;
    [[maybe_unused]] const int removed =
        std::system(("userdel " + name_ + " >/dev/null 2>&1").c_str());
  }
  bool Made() const { return uid_ != 0; }
  // Runs act as this user in a child process; its exit code.
  int Run(const std::function<int()>& act) const {
    const pid_t child = ::fork();
    if (child == 0) {
      if (::setgroups(0, nullptr) != 0 || ::setgid(gid_) != 0 || ::setuid(uid_) != 0) {
        ::_exit(99);
      }
      ::_exit(act());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  std::string name_;
  uid_t uid_ = 0;
  gid_t gid_ = 0;
};

class UpgradeTest : public ::testing::Test {
 protected:
  UpgradeTest() {
    CSettings& s = app_->Settings();
    s.LogDir.Set(dir_.Path());
    s.OrgName.Set("Hollis & Marsh");
    s.SmtpServer.Set(smtp_.HostPort());
    s.ReturnAddress.Set("docket@hollis.example");
    s.ProxyServer.Set("");
    s.Timeout.Set("1m");
    app_->Rules().update_due = false;
    app_->Rules().publisher_key = key_.PublicPem();
  }

  // Rules naming a newer program at the given addresses.
  void UseRules(const std::string& version, const std::map<std::string, std::string>& location) {
    app_->Rules().text = RulesWithLocation(version, location);
    app_->Rules().version = version;
  }
  std::string Url(CHttpTestServer& server, const std::string& path) {
    return "http://" + server.HostPort() + path;
  }
  UpgradeResult Upgrade() {
    return UpgradeProgram(*app_, [this](CUnpackedProgram&& p) {
      handed_over_.push_back(p.file.Path());
      unpacked_.push_back(std::move(p));
      smtp_sessions_at_hand_over_ = smtp_.Accepted();
    });
  }
  // The private directories upgrades have unpacked into.
  std::vector<std::string> UpgradeFolders() {
    std::vector<std::string> folders;
    for (const auto& item : std::filesystem::directory_iterator(private_.Dir().Path())) {
      const std::string name = item.path().filename().string();
      if (name.rfind(kUpgradeFolderPrefix, 0) == 0) folders.push_back(item.path().string());
    }
    return folders;
  }
  // Where older versions unpacked the program, in the logging directory itself.
  std::string SharedPlace() { return JoinPath(dir_.Path(), UpgradeFileName()); }
  // A release of the program at path: the file and its signed manifest.
  std::map<std::string, std::string> Release(const std::string& path, const std::string& bytes,
                                             const std::string& version = kNewerProgram) {
    const std::string name = path.substr(path.rfind('/') + 1);
    return {{path, bytes}, {path + ".manifest", key_.ManifestOf("program", version, name, bytes)}};
  }

  CTestSigningKey key_;
  CTempDir dir_;
  CPrivatePlace private_;
  CSmtpTestServer smtp_;
  CTestAppCore app_;
  CScriptedUi& ui_ = app_.Ui();
  std::vector<std::string> handed_over_;
  std::vector<CUnpackedProgram> unpacked_;
  int smtp_sessions_at_hand_over_ = -1;
};

TEST_F(UpgradeTest, TitleAndAboutBoxFollowTheRulesVersion) {
  struct Case {
    std::string rules_version;
    bool current;
    std::string suffix;
  };
  const std::string own = app_->VersionText();
  const Case cases[] = {
      {own + ".000", true, ""},
      {own, true, ""},
      {"9.9.99.000", false, " (v9.9.99 available - use Options|Upgrade)"},
      {"", false, ""},  // no rules version: nothing to advertise
  };
  for (const Case& c : cases) {
    app_->Rules().version = c.rules_version;
    EXPECT_EQ(ProgramIsCurrent(*app_), c.current) << c.rules_version;
    EXPECT_EQ(TitleVersionSuffix(*app_), c.suffix) << c.rules_version;
  }
}

TEST_F(UpgradeTest, ACurrentProgramIsNotDownloaded) {
  CHttpTestServer publisher(Publisher({}));
  UseRules(app_->VersionText() + ".000", {{"appc", Url(publisher, "/larkspire.ex_")}});
  EXPECT_EQ(Upgrade(), UpgradeResult::kCurrent);
  EXPECT_EQ(ui_.Texts(), std::vector<std::string>{"You are using the latest version available."});
  EXPECT_EQ(publisher.Accepted(), 0);
}

// The package manager owns a copy run from where the package installs it: nothing is downloaded
// or replaced, and the user is told how the package is upgraded.
TEST_F(UpgradeTest, APackagedProgramPointsToThePackageManager) {
  CHttpTestServer publisher(Publisher({}));
  CTestAppCore packaged(JoinPath(kPackagedProgramDirectory, "larkspire"));
  packaged->Rules().update_due = false;
  packaged->Rules().text =
      RulesWithLocation(kNewerRules, {{"appc", Url(publisher, "/larkspire.ex_")}});
  packaged->Rules().version = kNewerRules;
  EXPECT_EQ(UpgradeProgram(*packaged, [](CUnpackedProgram&&) { ADD_FAILURE() << "handed over"; }),
            UpgradeResult::kPackaged);
  ASSERT_EQ(packaged.Ui().Texts().size(), 1u);
  EXPECT_NE(packaged.Ui().Texts()[0].find("installed from a package"), std::string::npos);
  EXPECT_NE(packaged.Ui().Texts()[0].find("apt install --only-upgrade larkspire"),
            std::string::npos);
  EXPECT_EQ(TitleVersionSuffix(*packaged),
            " (v" + NewestVersion(*packaged) + " available - upgrade the package)");
  EXPECT_EQ(publisher.Accepted(), 0);
}

TEST_F(UpgradeTest, NoToTheQuestionDownloadsNothing) {
  CHttpTestServer publisher(Publisher({}));
  UseRules(kNewerRules, {{"appc", Url(publisher, "/larkspire.ex_")}});
  ui_.answers = {MsgAnswer::kNo};
  EXPECT_EQ(Upgrade(), UpgradeResult::kDeclined);
  EXPECT_EQ(ui_.Texts(),
            std::vector<std::string>{"Do you want to download and install the latest version?"});
  EXPECT_EQ(publisher.Accepted(), 0);
}

TEST_F(UpgradeTest, CompressedAndPlainDownloadsAreUnpackedReportedAndHandedOver) {
  struct Case {
    const char* name;
    bool with_appc;
    std::string served;
  };
  const Case cases[] = {
      {"compressed", true, ReadData("program_")},
      {"plain", false, ReadData("program")},
  };
  int sessions = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ui_ = CScriptedUi();
    handed_over_.clear();
    CHttpTestServer publisher(
        Publisher(Release(c.with_appc ? "/larkspire.ex_" : "/larkspire", c.served)));
    std::map<std::string, std::string> location = {{"app", Url(publisher, "/larkspire")},
                                                   {"appc", ""}};
    if (c.with_appc) location["appc"] = Url(publisher, "/larkspire.ex_");
    UseRules(kNewerRules, location);
    // A name another user of the directory planted where the program used to be unpacked is
    // neither written through nor started.
    RemoveFile(SharedPlace());
    ASSERT_EQ(::symlink(dir_.File("planted").c_str(), SharedPlace().c_str()), 0);
    ASSERT_TRUE(SaveFileAtomically(dir_.File("planted"), "planted"));

    EXPECT_EQ(Upgrade(), UpgradeResult::kHandedOver);
    // The manifest, then the program it vouches for.
    ASSERT_EQ(publisher.Requests().size(), 2u);
    // The download's busy display, then the report's.
    EXPECT_EQ(ui_.busy_captions,
              (std::vector<std::string>{"from " + publisher.HostPort(), "Send E-Mail"}));
    EXPECT_EQ(ui_.status_texts.at(0), std::string("Download ") + kProgramFileName + " v9.9.99");
    // The program is handed over from a new directory of the user's private directory, as a
    // file only this user may run, held open with the hash of the bytes unpacked.
    ASSERT_EQ(handed_over_.size(), 1u);
    const std::string program = handed_over_[0];
    const std::string folder = DirectoryOf(program);
    EXPECT_EQ(UpgradeFolders().size(), static_cast<std::size_t>(++sessions));
    EXPECT_EQ(folder.rfind(private_.Dir().File(kUpgradeFolderPrefix), 0), 0u) << folder;
    EXPECT_TRUE(IsIntact(unpacked_.back()));
    EXPECT_EQ(program, JoinPath(folder, UpgradeFileName()));
    EXPECT_TRUE(IsUpgradeRun(program));
    std::string unpacked;
    ASSERT_TRUE(ReadWholeFile(program, unpacked));
    EXPECT_EQ(unpacked, ReadData("program"));
    struct stat st {};
    ASSERT_EQ(::lstat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    ASSERT_EQ(::lstat(program.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    std::string planted;
    ASSERT_TRUE(ReadWholeFile(dir_.File("planted"), planted));
    EXPECT_EQ(planted, "planted");
    EXPECT_EQ(ui_.close_requests, 1);
    // The upgrade report went out before the hand-over; it went to the publisher's activity
    // address, and nothing was shown.
    ASSERT_TRUE(smtp_.WaitForSessions(sessions));
    EXPECT_EQ(smtp_sessions_at_hand_over_, sessions);
    EXPECT_NE(smtp_.Data().find("Upgrade for Hollis & Marsh"), std::string::npos);
    const std::vector<std::string> lines = smtp_.Lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "RCPT To: <activity@larkspire.example>"),
              lines.end());
    EXPECT_EQ(ui_.Texts(),
              std::vector<std::string>{"Do you want to download and install the latest version?"});
    // Later transfers use the configured time-out again.
    EXPECT_FALSE(app_->TimeoutFixed());
    EXPECT_EQ(app_->TimeoutMs(), 60000u);
  }
}

TEST_F(UpgradeTest, ADownloadThatIsNotAProgramChangesNothing) {
  const std::string cases[] = {
      "<HTML><BODY>Proxy error: the site could not be reached</BODY></HTML>",
      ReadData("program_").substr(0, 300),  // cut short in transfer
  };
  for (const std::string& served : cases) {
    ui_ = CScriptedUi();
    // Signed, so only the check that it is a program stands in the way.
    CHttpTestServer publisher(Publisher(Release("/larkspire.ex_", served)));
    UseRules(kNewerRules, {{"appc", Url(publisher, "/larkspire.ex_")}});
    EXPECT_EQ(Upgrade(), UpgradeResult::kCopyFailed);
    EXPECT_EQ(ui_.Texts().back(), "Couldn't properly copy downloaded file.");
    EXPECT_EQ(ui_.messages.back().caption, std::string(kCaption) + " - Copy failed.");
    EXPECT_TRUE(UpgradeFolders().empty());
  }
  EXPECT_TRUE(handed_over_.empty());
  EXPECT_EQ(smtp_.Accepted(), 0);
}

TEST_F(UpgradeTest, AFailedDownloadIsShownAndTheProgramStays) {
  CHttpTestServer publisher(Publisher({}));
  UseRules(kNewerRules, {{"appc", Url(publisher, "/larkspire.ex_")}});
  EXPECT_EQ(Upgrade(), UpgradeResult::kDownloadFailed);
  ASSERT_EQ(ui_.messages.size(), 2u);
  EXPECT_EQ(ui_.messages[1].caption, std::string(kCaption) + " - Download Failed");
  EXPECT_NE(ui_.messages[1].text.find("404"), std::string::npos) << ui_.messages[1].text;
  EXPECT_TRUE(UpgradeFolders().empty());
  EXPECT_TRUE(handed_over_.empty());
  EXPECT_EQ(ui_.close_requests, 0);
}

// A publisher (or something posing as one) that streams without end: the download stops at
// its cap and fails with the cap's text.
TEST_F(UpgradeTest, ADownloadPastItsCapFailsAndNothingIsUnpacked) {
  // The manifest vouches for a small program; what comes instead never ends.
  const std::string manifest = key_.ManifestOf("program", kNewerProgram, "larkspire.ex_", "z");
  CHttpTestServer publisher([manifest](const std::string& request, CTestConnection& c) {
    if (request.find(".manifest") != std::string::npos) {
      c.Write(CHttpTestServer::Ok(manifest));
      return;
    }
    c.Write(CHttpTestServer::Ok(""));
    const std::string chunk(65536, 'z');
    while (!c.Stopping() && c.Write(chunk)) {
    }
  });
  UseRules(kNewerRules, {{"appc", Url(publisher, "/larkspire.ex_")}});
  EXPECT_EQ(Upgrade(), UpgradeResult::kDownloadFailed);
  ASSERT_EQ(ui_.messages.size(), 2u);
  EXPECT_EQ(ui_.messages[1].caption, std::string(kCaption) + " - Download Failed");
  EXPECT_EQ(ui_.messages[1].text, "HttpGet: The download is larger than 64 MB.");
  EXPECT_TRUE(UpgradeFolders().empty());
}

TEST_F(UpgradeTest, RulesWithoutAProgramAddressFailTheDownloadAtOnce) {
  UseRules(kNewerRules, {{"appc", ""}, {"app", ""}});
  EXPECT_EQ(Upgrade(), UpgradeResult::kDownloadFailed);
  ASSERT_EQ(ui_.messages.size(), 2u);
  EXPECT_EQ(ui_.messages[1].text, kBadUrlMessage);
  EXPECT_TRUE(handed_over_.empty());
}

TEST_F(UpgradeTest, TheDownloadGoesDirectFirstThenThroughTheProxy) {
  CHttpTestServer origin(Publisher({}));
  CHttpTestServer proxy(Publisher(Release("/larkspire.ex_", ReadData("program_"))));
  app_->Settings().ProxyServer.Set(proxy.HostPort());
  UseRules(kNewerRules, {{"appc", Url(origin, "/larkspire.ex_")}});
  ASSERT_TRUE(app_->Rules().publisher_direct);
  EXPECT_EQ(Upgrade(), UpgradeResult::kHandedOver);
  // The manifest fails directly and comes through the proxy; the program then goes through
  // the proxy at once.
  ASSERT_EQ(origin.Requests().size(), 1u);
  EXPECT_EQ(CHttpTestServer::RequestLine(origin.Requests()[0]),
            "GET /larkspire.ex_.manifest HTTP/1.0");
  ASSERT_EQ(proxy.Requests().size(), 2u);
  EXPECT_EQ(CHttpTestServer::RequestLine(proxy.Requests()[0]),
            "GET //" + origin.HostPort() + "/larkspire.ex_.manifest HTTP/1.0");
  EXPECT_EQ(CHttpTestServer::RequestLine(proxy.Requests()[1]),
            "GET //" + origin.HostPort() + "/larkspire.ex_ HTTP/1.0");
  // The proxy is the way to the publisher for the rest of the run.
  EXPECT_FALSE(app_->Rules().publisher_direct);
  ASSERT_EQ(UpgradeFolders().size(), 1u);
  EXPECT_EQ(handed_over_,
            std::vector<std::string>{JoinPath(UpgradeFolders()[0], UpgradeFileName())});
}

TEST_F(UpgradeTest, WhenBothWaysFailTheProxysAnswerIsShown) {
  // The publisher's host cannot be reached directly; the proxy answers 404.
  CHttpTestServer proxy(Publisher({}));
  app_->Settings().ProxyServer.Set(proxy.HostPort());
  UseRules(kNewerRules, {{"appc", "http://127.0.0.1:1/larkspire.ex_"}});
  for (const bool direct_first : {true, false}) {
    SCOPED_TRACE(direct_first ? "direct first" : "proxy first");
    ui_ = CScriptedUi();
    app_->Rules().publisher_direct = direct_first;
    EXPECT_EQ(Upgrade(), UpgradeResult::kDownloadFailed);
    ASSERT_EQ(ui_.messages.size(), 2u);
    EXPECT_NE(ui_.messages[1].text.find("404"), std::string::npos) << ui_.messages[1].text;
    EXPECT_EQ(app_->Rules().publisher_direct, direct_first);
  }
  EXPECT_EQ(proxy.Requests().size(), 2u);
}

TEST_F(UpgradeTest, TheRulesAreBroughtUpToDateFirst) {
  CHttpTestServer publisher(Publisher({}));
  const std::string newer =
      RulesWithLocation(kNewerRules, {{"appc", Url(publisher, "/larkspire.ex_")}, {"app", ""}});
  CHttpTestServer rules_site(
      Publisher({{"/larkspire.txt", newer},
                 {"/larkspire.txt.manifest",
                  key_.ManifestOf("rules", kNewerRules, "larkspire.txt", newer)}}));
  UseRules(app_->VersionText() + ".000", {{"rules", Url(rules_site, "/larkspire.txt")}});
  app_->Rules().update_due = true;
  ui_.answers = {MsgAnswer::kNo};
  EXPECT_EQ(Upgrade(), UpgradeResult::kDeclined);
  EXPECT_EQ(rules_site.Requests().size(), 2u);
  EXPECT_EQ(app_->Rules().version, kNewerRules);
  EXPECT_GE(ui_.title_refreshes, 1);
}

TEST_F(UpgradeTest, TheNextStartRemovesTheUnpackedProgramsButAnUpgradeRunKeepsItsOwn) {
  const std::string folder = MakePrivateDirectory(private_.Dir().Path(), kUpgradeFolderPrefix);
  ASSERT_NE(folder, "");
  const std::string program = JoinPath(folder, UpgradeFileName());
  ASSERT_TRUE(CreateNewFile(program, "\177ELF newer", 0700));
  // Where the versions before unpacked: a private directory in the logging directory.
  const std::string older = MakePrivateDirectory(dir_.Path(), kUpgradeFolderPrefix);
  ASSERT_TRUE(CreateNewFile(JoinPath(older, UpgradeFileName()), "\177ELF older", 0700));
  ASSERT_TRUE(SaveFileAtomically(SharedPlace(), "\177ELF left by an older version"));
  // Another user's directory of the same name form is not this run's to remove.
  const std::string others = dir_.File(std::string(kUpgradeFolderPrefix) + "others");
  ASSERT_TRUE(MakeDirectories(others));
  const bool others_given_away = ::getuid() == 0 && ::chown(others.c_str(), 65534, 65534) == 0;

  CMemorySettingsBackend backend;
  backend.Write(kSettingsGroup, "LogDir", dir_.Path());
  // The upgrade run itself starts from the unpacked copy and must not delete it.
  { AppCore upgrade_run(backend, program); }
  EXPECT_TRUE(FileExists(program));
  { AppCore installed_run(backend, JoinPath(dir_.File("app"), kProgramFileName)); }
  EXPECT_FALSE(FileExists(program));
  EXPECT_FALSE(FileExists(folder));
  EXPECT_FALSE(FileExists(older));
  EXPECT_FALSE(FileExists(SharedPlace()));
  EXPECT_EQ(IsDirectory(others), others_given_away);
}

// Another user of a shared logging directory, played by a throw-away account: between the
// unpacking and the hand-over they rename the folder holding the program and put a folder of
// their own with a program of their own under its name.
TEST_F(UpgradeTest, AnotherUserCannotSwapTheUnpackedProgramBeforeItStarts) {
  if (::geteuid() != 0) GTEST_SKIP() << "making a second user needs root";
  const CThrowAwayUser other;
  if (!other.Made()) GTEST_SKIP() << "useradd could not make a second user here";
  // The office's directory: every user may write it.
  ASSERT_EQ(::chmod(dir_.Path().c_str(), 0777), 0);
  CHttpTestServer publisher(Publisher(Release("/larkspire.ex_", ReadData("program_"))));
  UseRules(kNewerRules, {{"appc", Url(publisher, "/larkspire.ex_")}});
  int swapped = -1;
  EXPECT_EQ(UpgradeProgram(*app_,
                           [&](CUnpackedProgram&& program) {
                             const std::string folder = DirectoryOf(program.file.Path());
                             const std::string aside = folder + ".aside";
                             const std::string own = program.file.Path();
                             swapped = other.Run([&] {
                               if (::rename(folder.c_str(), aside.c_str()) != 0) return 1;
                               if (::mkdir(folder.c_str(), 0755) != 0) return 2;
                               return CreateNewFile(own, "\177ELF the other user's", 0755) ? 0 : 3;
                             });
                             unpacked_.push_back(std::move(program));
                           }),
            UpgradeResult::kHandedOver);
  EXPECT_NE(swapped, 0) << "the other user swapped the program";
  ASSERT_EQ(unpacked_.size(), 1u);
  // What the hand-over starts, and what its name stands for, is the program downloaded.
  EXPECT_TRUE(IsIntact(unpacked_[0]));
  std::string held;
  ASSERT_TRUE(unpacked_[0].file.ReadBytes(held));
  EXPECT_EQ(held, ReadData("program"));
  std::string named;
  ASSERT_TRUE(ReadWholeFile(unpacked_[0].file.Path(), named));
  EXPECT_EQ(named, ReadData("program"));
}

TEST_F(UpgradeTest, AnUnpackedProgramChangedAfterItsCheckIsNotStarted) {
  CHttpTestServer publisher(Publisher(Release("/larkspire.ex_", ReadData("program_"))));
  UseRules(kNewerRules, {{"appc", Url(publisher, "/larkspire.ex_")}});
  ASSERT_EQ(Upgrade(), UpgradeResult::kHandedOver);
  ASSERT_EQ(unpacked_.size(), 1u);
  // Changed in place, through another open of its name.
  const int fd = ::open(unpacked_[0].file.Path().c_str(), O_WRONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::pwrite(fd, "X", 1, 100), 1);
  ::close(fd);
  EXPECT_FALSE(IsIntact(unpacked_[0]));
  EXPECT_FALSE(StartUnpackedProgram(unpacked_[0]));
}

TEST_F(UpgradeTest, ADownloadItsManifestDoesNotVouchForIsRefusedAndTheProgramStays) {
  const std::string program = ReadData("program_");
  std::string byte_changed = program;
  byte_changed[byte_changed.size() / 2] ^= 0x20;
  const CTestSigningKey stranger;
  const std::string own = app_->VersionText();
  const auto manifest = [&](const CTestSigningKey& key, const char* kind,
                            const std::string& version, const std::string& bytes) {
    return key.ManifestOf(kind, version, "larkspire.ex_", bytes);
  };
  const struct {
    const char* name;
    std::string served;
    std::string manifest;
    std::string reason;
    int requests;  // the file itself is not asked for when the manifest already fails
  } cases[] = {
      {"a program whose hash does not match", byte_changed,
       manifest(key_, "program", kNewerProgram, program),
       "the file's SHA-256 differs from its manifest's", 2},
      {"a manifest signed by another key", program,
       manifest(stranger, "program", kNewerProgram, program),
       "the manifest's signature is not the publisher's (the manifest was altered or signed "
       "with another key)",
       1},
      {"an older version", program, manifest(key_, "program", "4.2.03", program),
       "version 4.2.03 is older than " + own + " in use", 1},
      {"the version in use", program, manifest(key_, "program", own + ".0", program),
       "it is the version in use", 1},
      {"version zzz", program, manifest(key_, "program", "zzz", program),
       "the manifest's version 'zzz' is not a number", 1},
      {"a rules file's manifest", program, manifest(key_, "rules", kNewerProgram, program),
       "the manifest is for a file of kind 'rules', not 'program'", 1},
      {"the manifest of another file", program,
       key_.ManifestOf("program", kNewerProgram, "larkspire-beta.ex_", program),
       "the manifest is for the file 'larkspire-beta.ex_', not for 'larkspire.ex_' that the "
       "address names",
       1},
      {"an expired manifest", program,
       key_.SignManifest(ManifestBody("program", kNewerProgram, "larkspire.ex_", program) +
                         "expires: 2020-01-31\r\n"),
       "the manifest expired on 2020-01-31", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ui_ = CScriptedUi();
    CHttpTestServer publisher(
        Publisher({{"/larkspire.ex_", c.served}, {"/larkspire.ex_.manifest", c.manifest}}));
    UseRules(kNewerRules, {{"appc", Url(publisher, "/larkspire.ex_")}});
    std::string log_before;
    ReadWholeFile(JoinPath(dir_.Path(), "Larkspire.log"), log_before);

    EXPECT_EQ(Upgrade(), UpgradeResult::kRefused);
    EXPECT_EQ(publisher.Requests().size(), static_cast<std::size_t>(c.requests));
    const std::string shown =
        "The downloaded program was refused: " + c.reason + ". The program in use stays.";
    ASSERT_EQ(ui_.messages.size(), 2u);
    EXPECT_EQ(ui_.messages[1].caption, std::string(kCaption) + " - Upgrade Refused");
    EXPECT_EQ(ui_.messages[1].text, shown);
    std::string log;
    ReadWholeFile(JoinPath(dir_.Path(), "Larkspire.log"), log);
    EXPECT_NE(log.find("Upgrade Refused '" + shown + "'", log_before.size()), std::string::npos)
        << log.substr(log_before.size());
    EXPECT_TRUE(UpgradeFolders().empty());
    EXPECT_EQ(ui_.close_requests, 0);
  }
  EXPECT_TRUE(handed_over_.empty());
  EXPECT_EQ(smtp_.Accepted(), 0);
}

}  // namespace
}  // namespace larkspire
