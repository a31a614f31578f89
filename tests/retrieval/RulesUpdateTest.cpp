#include <gtest/gtest.h>

#include "notify/Variables.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "retrieval/PublisherTrust.h"
#include "retrieval/RulesUpdate.h"
#include "rules/PageText.h"
#include "rules/RulesFile.h"
#include "support/HttpTestServer.h"
#include "support/NetTestApp.h"
#include "support/ScopedTimeZone.h"
#include "support/TempDir.h"
#include "support/TestSigningKey.h"

namespace larkspire {
namespace {

constexpr const char* kPublisherRules = "http://www.larkspire.example/support/larkspire.txt";
constexpr const char* kRulesPath = "/support/larkspire.txt";
constexpr const char* kManifestPath = "/support/larkspire.txt.manifest";
const std::string kNotThePublishers =
    "the manifest's signature is not the publisher's (the manifest was altered or signed with "
    "another key)";

std::string WithVersion(const std::string& rules, const std::string& version) {
  return ReplaceAll(rules, "version: 4.2.04.000", "version: " + version);
}

class RulesUpdateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app().Settings().LogDir.Set(dir_.Path());
    LoadRules(app());
    built_in_ = app().Rules().text;
    app().Rules().publisher_key = key_.PublicPem();
  }
  CRun& app() { return net_.App(); }

  // The rules in use point their publisher address at host:port.
  void PublishAt(const std::string& host_port) {
    app().Rules().text = ReplaceAll(built_in_, kPublisherRules, "http://" + host_port + kRulesPath);
  }
  std::string Manifest(const std::string& rules, const std::string& version) {
    return key_.ManifestOf("rules", version, "larkspire.txt", rules);
  }
  // A manifest of the rules' own version that vouches for downloads up to the day given.
  std::string ExpiringManifest(const std::string& rules, const std::string& expires) {
    return key_.SignManifest(
        ManifestBody("rules", ValueAfterMarker(rules, kVersionMarker), "larkspire.txt", rules) +
        "expires: " + expires + "\r\n");
  }
  // The publisher's two files: the rules and their manifest.
  static CHttpTestServer::Responder Serving(const std::string& rules, const std::string& manifest) {
    return CHttpTestServer::Files({{kRulesPath, rules}, {kManifestPath, manifest}});
  }
  std::string Log() {
    std::string log;
    ReadWholeFile(dir_.File("Larkspire.log"), log);
    return log;
  }

  CTempDir dir_;
  CNetTestApp net_;
  std::string built_in_;
  CTestSigningKey key_;
};

TEST_F(RulesUpdateTest, ANewerVersionIsUsedAtOnceAndSavedAtExitWithItsManifest) {
  const std::string newer = WithVersion(built_in_, "4.2.05.000");
  const std::string manifest = Manifest(newer, "4.2.05.000");
  CHttpTestServer server(Serving(newer, manifest));
  PublishAt(server.HostPort());
  UpdateRules(app());
  EXPECT_EQ(app().Rules().version, "4.2.05.000");
  EXPECT_EQ(app().Rules().text, newer);
  EXPECT_EQ(app().Rules().manifest, manifest);
  // The manifest is asked for first; the file only once the manifest offers a newer version.
  ASSERT_EQ(server.Requests().size(), 2u);
  EXPECT_EQ(CHttpTestServer::RequestLine(server.Requests()[0]),
            "GET /support/larkspire.txt.manifest HTTP/1.0");
  EXPECT_EQ(CHttpTestServer::RequestLine(server.Requests()[1]),
            "GET /support/larkspire.txt HTTP/1.0");
  // No copy without the Larkspire folder; with it, the text and its manifest byte for byte.
  SaveRules(app());
  EXPECT_FALSE(FileExists(dir_.File("Larkspire/rules.txt")));
  ASSERT_TRUE(MakeDirectories(dir_.File("Larkspire")));
  SaveRules(app());
  std::string saved;
  ASSERT_TRUE(ReadWholeFile(dir_.File("Larkspire/rules.txt"), saved));
  EXPECT_EQ(saved, newer);
  ASSERT_TRUE(ReadWholeFile(dir_.File("Larkspire/rules.txt.manifest"), saved));
  EXPECT_EQ(saved, manifest);
  // Once per run.
  UpdateRules(app());
  EXPECT_EQ(server.Accepted(), 2);
  EXPECT_EQ(Log().find("refused"), std::string::npos) << Log();
}

TEST_F(RulesUpdateTest, TheSameVersionOrAFailedTransferChangesNothingQuietly) {
  ASSERT_TRUE(MakeDirectories(dir_.File("Larkspire")));
  const std::string newer = WithVersion(built_in_, "4.2.05.000");
  const struct {
    const char* name;
    CHttpTestServer::Responder responder;
    int requests;
  } cases[] = {
      // The version in use: the file itself is not fetched.
      {"same version", Serving(built_in_, Manifest(built_in_, "4.2.04.000")), 1},
      {"no manifest", CHttpTestServer::Files({{kRulesPath, newer}}), 1},
      {"no rules file", CHttpTestServer::Files({{kManifestPath, Manifest(newer, "4.2.05.000")}}),
       2},
  };
  for (const auto& c : cases) {
    CHttpTestServer server(c.responder);
    PublishAt(server.HostPort());
    const std::string before = app().Rules().text;
    app().Rules().update_due = true;
    UpdateRules(app());
    EXPECT_EQ(server.Accepted(), c.requests) << c.name;
    EXPECT_EQ(app().Rules().text, before) << c.name;
    EXPECT_EQ(app().Rules().version, "4.2.04.000") << c.name;
    SaveRules(app());
    EXPECT_FALSE(FileExists(dir_.File("Larkspire/rules.txt"))) << c.name;
  }
  EXPECT_EQ(Log().find("refused"), std::string::npos) << Log();
}

TEST_F(RulesUpdateTest, TamperedFilesAreRefusedWithTheReasonAndTheRulesInUseStay) {
  ASSERT_TRUE(MakeDirectories(dir_.File("Larkspire")));
  const std::string newer = WithVersion(built_in_, "4.2.05.000");
  const std::string genuine = Manifest(newer, "4.2.05.000");
  std::string byte_changed = newer;
  byte_changed[byte_changed.find("pair.uspto.gov")] = 'q';  // "qair.uspto.gov"
  const std::string zzz = WithVersion(built_in_, "zzz");
  const std::string cut = newer.substr(0, newer.find("end-of-rules"));
  const CTestSigningKey stranger;
  const std::string older = WithVersion(built_in_, "4.2.03.000");

  const struct {
    const char* name;
    std::string rules;
    std::string manifest;
    std::string reason;
  } cases[] = {
      {"one byte of the rules changed", byte_changed, genuine,
       "the file's SHA-256 differs from its manifest's"},
      {"a manifest signed by another key", newer,
       stranger.ManifestOf("rules", "4.2.05.000", "larkspire.txt", newer), kNotThePublishers},
      {"one byte of the manifest changed", newer,
       ReplaceAll(genuine, "version: 4.2.05.000", "version: 4.2.06.000"), kNotThePublishers},
      {"an older version", older, Manifest(older, "4.2.03.000"),
       "version 4.2.03.000 is older than 4.2.04.000 in use"},
      {"version zzz with the genuine manifest", zzz, genuine,
       "the file has " + std::to_string(zzz.size()) + " bytes, its manifest says " +
           std::to_string(newer.size())},
      {"version zzz with a manifest of its own", zzz,
       stranger.ManifestOf("rules", "zzz", "larkspire.txt", zzz), kNotThePublishers},
      {"version zzz signed by the publisher's key", zzz, Manifest(zzz, "zzz"),
       "the manifest's version 'zzz' is not a number"},
      {"a program's manifest", newer, key_.ManifestOf("program", "4.2.05.000", "larkspire", newer),
       "the manifest is for a file of kind 'program', not 'rules'"},
      {"a signed file cut short", cut, Manifest(cut, "4.2.05.000"),
       "the rules file is not complete"},
      // The publisher's genuine manifest of another of its files, served at this address.
      {"a manifest made for another file", newer,
       key_.ManifestOf("rules", "4.2.05.000", "larkspire-test.txt", newer),
       "the manifest is for the file 'larkspire-test.txt', not for 'larkspire.txt' that the "
       "address names"},
      {"a manifest that has expired", newer, ExpiringManifest(newer, "2020-01-31"),
       "the manifest expired on 2020-01-31"},
  };
  std::size_t log_size = Log().size();
  for (const auto& c : cases) {
    CHttpTestServer server(Serving(c.rules, c.manifest));
    PublishAt(server.HostPort());
    const std::string before = app().Rules().text;
    app().Rules().update_due = true;
    UpdateRules(app());
    EXPECT_EQ(app().Rules().text, before) << c.name;
    EXPECT_EQ(app().Rules().version, "4.2.04.000") << c.name;
    EXPECT_FALSE(app().Rules().downloaded) << c.name;
    SaveRules(app());
    EXPECT_FALSE(FileExists(dir_.File("Larkspire/rules.txt"))) << c.name;
    const std::string log = Log();
    EXPECT_NE(log.find("Rules update refused: " + c.reason + ".\r\n", log_size), std::string::npos)
        << c.name << "\n"
        << log.substr(log_size);
    log_size = log.size();
  }
}

TEST_F(RulesUpdateTest, AManifestIsTakenUpToAndOnItsExpiryDayInUtc) {
  const std::string newer = WithVersion(built_in_, "4.2.05.000");
  const std::string manifest = ExpiringManifest(newer, "2027-03-10");
  CHttpTestServer server(Serving(newer, manifest));
  PublishAt(server.HostPort());
  // 2027-03-11 00:30 in UTC, still 2027-03-10 in the office's zone: UTC decides.
  const CScopedTimeZone zone("EST5EDT,M3.2.0,M11.1.0");
  SetFakeClockForTesting(int64_t{1804725000} * 1000);
  UpdateRules(app());
  EXPECT_EQ(app().Rules().version, "4.2.04.000");
  EXPECT_NE(Log().find("Rules update refused: the manifest expired on 2027-03-10.\r\n"),
            std::string::npos)
      << Log();
  // 2027-03-10 23:59 UTC.
  SetFakeClockForTesting(int64_t{1804723140} * 1000);
  app().Rules().update_due = true;
  UpdateRules(app());
  SetFakeClockForTesting(std::nullopt);
  EXPECT_EQ(app().Rules().version, "4.2.05.000");
  EXPECT_EQ(app().Rules().manifest, manifest);
}

TEST_F(RulesUpdateTest, AFailedDirectFetchIsRetriedThroughTheProxyOnlyWhenThereIsOne) {
  CTestServer refusing([](CTestConnection&) {});  // closes at once: no status line
  const std::string newer = WithVersion(built_in_, "4.2.05.000");
  CHttpTestServer proxy(Serving(newer, Manifest(newer, "4.2.05.000")));

  PublishAt(refusing.HostPort());
  app().Settings().ProxyServer.Set("");
  UpdateRules(app());
  EXPECT_EQ(refusing.Accepted(), 1);
  EXPECT_EQ(proxy.Accepted(), 0);
  EXPECT_EQ(app().Rules().version, "4.2.04.000");
  EXPECT_TRUE(app().Rules().publisher_direct);

  app().Rules().update_due = true;
  app().Settings().ProxyServer.Set(proxy.HostPort());
  UpdateRules(app());
  EXPECT_EQ(refusing.Accepted(), 2);
  ASSERT_EQ(proxy.Accepted(), 2);
  EXPECT_EQ(CHttpTestServer::RequestLine(proxy.Requests()[0]),
            "GET //" + refusing.HostPort() + "/support/larkspire.txt.manifest HTTP/1.0");
  // The proxy worked for the manifest: the rules themselves go through it straight away.
  EXPECT_EQ(CHttpTestServer::RequestLine(proxy.Requests()[1]),
            "GET //" + refusing.HostPort() + "/support/larkspire.txt HTTP/1.0");
  EXPECT_EQ(app().Rules().version, "4.2.05.000");
  // The publisher's files go through the proxy for the rest of the run.
  EXPECT_FALSE(app().Rules().publisher_direct);
}

TEST_F(RulesUpdateTest, WithTheBuiltInKeyAManifestOfAnyOtherKeyIsRefused) {
  const std::string newer = WithVersion(built_in_, "4.2.05.000");
  CHttpTestServer server(Serving(newer, Manifest(newer, "4.2.05.000")));
  PublishAt(server.HostPort());
  app().Rules().publisher_key.reset();
  UpdateRules(app());
  EXPECT_EQ(app().Rules().version, "4.2.04.000");
  EXPECT_EQ(server.Accepted(), 1);
  EXPECT_NE(Log().find("Rules update refused: " + kNotThePublishers + "."), std::string::npos);
}

TEST_F(RulesUpdateTest, AKeyFileTakesThePlaceOfTheBuiltInKeyAndAnUnreadableOneAcceptsNothing) {
  const std::string newer = WithVersion(built_in_, "4.2.05.000");
  CHttpTestServer server(Serving(newer, Manifest(newer, "4.2.05.000")));
  PublishAt(server.HostPort());
  app().Rules().publisher_key.reset();

  UsePublisherKeyFile(app(), dir_.File("missing.pem"));
  EXPECT_EQ(PublisherKeyInUse(app()), "");
  UpdateRules(app());
  EXPECT_EQ(app().Rules().version, "4.2.04.000");
  EXPECT_NE(Log().find("**publisher key replaced by " + dir_.File("missing.pem") +
                       " (LARKSPIRE_PUBLISHER_KEY), which cannot be read: no publisher file is "
                       "accepted**"),
            std::string::npos)
      << Log();
  EXPECT_NE(Log().find("Rules update refused: the publisher's key cannot be read."),
            std::string::npos);

  ASSERT_TRUE(SaveFileAtomically(dir_.File("key.pem"), key_.PublicPem()));
  UsePublisherKeyFile(app(), dir_.File("key.pem"));
  EXPECT_EQ(PublisherKeyInUse(app()), key_.PublicPem());
  app().Rules().update_due = true;
  UpdateRules(app());
  EXPECT_EQ(app().Rules().version, "4.2.05.000");
}

TEST_F(RulesUpdateTest, WhileTheOfficesOwnRulesAreInUseNothingIsFetched) {
  CHttpTestServer server(CHttpTestServer::Files({}));
  ASSERT_TRUE(MakeDirectories(dir_.File("Larkspire")));
  const std::string office = ReplaceAll(WithVersion(built_in_, "4.2.01.000"), kPublisherRules,
                                        "http://" + server.HostPort() + kRulesPath);
  ASSERT_TRUE(SaveFileAtomically(dir_.File("Larkspire/office-rules.txt"), office));
  LoadRules(app());
  LoadSavedRules(app());
  EXPECT_TRUE(app().Rules().office_file);
  UpdateRules(app());
  EXPECT_EQ(server.Accepted(), 0);
  EXPECT_EQ(app().Rules().text, office);
  EXPECT_FALSE(app().Rules().downloaded);
}

// The copy saved by an earlier run, checked again at start.
class SavedRulesTest : public RulesUpdateTest {
 protected:
  void Save(const std::string& text, const std::string& manifest) {
    ASSERT_TRUE(MakeDirectories(dir_.File("Larkspire")));
    ASSERT_TRUE(SaveFileAtomically(dir_.File("Larkspire/rules.txt"), text));
    if (manifest.empty()) {
      RemoveFile(dir_.File("Larkspire/rules.txt.manifest"));
    } else {
      ASSERT_TRUE(SaveFileAtomically(dir_.File("Larkspire/rules.txt.manifest"), manifest));
    }
  }
  void Start() {
    LoadRules(app());
    LoadSavedRules(app());
  }
};

TEST_F(SavedRulesTest, OnlyANewerCopyItsManifestVouchesForIsTaken) {
  const struct {
    const char* version;
    bool chosen;
  } cases[] = {{"4.2.05.000", true},
               {"4.2.04.001", true},
               {"4.2.10", true},
               {"4.2.04.000", false},
               {"4.2.03.999", false}};
  for (const auto& c : cases) {
    std::string text = WithVersion(built_in_, c.version);
    text = ReplaceAll(text, "support@larkspire.example", "help@larkspire.example");
    const std::string manifest = Manifest(text, c.version);
    Save(text, manifest);
    Start();
    EXPECT_EQ(app().Rules().text == text, c.chosen) << c.version;
    EXPECT_EQ(app().Rules().version, c.chosen ? c.version : "4.2.04.000");
    EXPECT_EQ(app().Rules().manifest, c.chosen ? manifest : "") << c.version;
    EXPECT_EQ(LookupRule(app(), "location", "support"),
              c.chosen ? "help@larkspire.example" : "support@larkspire.example");
  }
  // A copy not taken because it is not newer is no fault.
  EXPECT_EQ(Log().find("not used"), std::string::npos) << Log();
}

TEST_F(SavedRulesTest, ACopyItsManifestDoesNotVouchForIsLoggedAndTheBuiltInRulesUsed) {
  const std::string newer = WithVersion(built_in_, "4.2.05.000");
  const std::string genuine = Manifest(newer, "4.2.05.000");
  std::string byte_changed = newer;
  byte_changed[byte_changed.find("pair.uspto.gov")] = 'q';
  const std::string zzz = WithVersion(built_in_, "zzz");
  const CTestSigningKey stranger;
  const struct {
    const char* name;
    std::string text;
    std::string manifest;  // "" for none on disk
    std::string reason;
  } cases[] = {
      {"no manifest (saved before releases were signed)", newer, "",
       "it has no manifest beside it"},
      {"version zzz without a manifest", zzz, "", "it has no manifest beside it"},
      {"one byte changed on disk", byte_changed, genuine,
       "the file's SHA-256 differs from its manifest's"},
      {"cut short on disk", newer.substr(0, newer.size() / 2), genuine,
       "the file has " + std::to_string(newer.size() / 2) + " bytes, its manifest says " +
           std::to_string(newer.size())},
      {"signed by another key", newer,
       stranger.ManifestOf("rules", "4.2.05.000", "larkspire.txt", newer), kNotThePublishers},
  };
  for (const auto& c : cases) {
    Save(c.text, c.manifest);
    const std::size_t log_size = Log().size();
    Start();
    EXPECT_EQ(app().Rules().version, "4.2.04.000") << c.name;
    EXPECT_EQ(app().Rules().text, built_in_) << c.name;
    // One record, stamped with the time.
    const std::string log = Log().substr(log_size);
    EXPECT_TRUE(log.ends_with("> Saved rules " + dir_.File("Larkspire/rules.txt") +
                              " not used: " + c.reason + ".\r\n"))
        << c.name << ": " << log;
    EXPECT_EQ(log.find("\r\n"), log.size() - 2) << c.name << ": " << log;
  }
}

TEST_F(SavedRulesTest, ACopyWhoseManifestHasExpiredStaysInUseAndTheLogSaysSo) {
  const std::string newer = WithVersion(built_in_, "4.2.05.000");
  const struct {
    const char* expires;
    bool logged;
  } cases[] = {{"2020-01-31", true}, {"9999-12-31", false}};
  for (const auto& c : cases) {
    Save(newer, ExpiringManifest(newer, c.expires));
    const std::size_t log_size = Log().size();
    Start();
    EXPECT_EQ(app().Rules().version, "4.2.05.000") << c.expires;
    const std::string log = Log().substr(log_size);
    EXPECT_EQ(log.ends_with("> Saved rules " + dir_.File("Larkspire/rules.txt") +
                            " kept in use; their manifest expired on " + c.expires + ".\r\n"),
              c.logged)
        << c.expires << ": " << log;
    EXPECT_EQ(log.find("not used"), std::string::npos) << log;
  }
}

TEST_F(SavedRulesTest, NulPaddingAfterTheTextIsDroppedBeforeTheCheck) {
  const std::string text = WithVersion(built_in_, "4.2.05.000");
  Save(text + std::string(16, '\0'), Manifest(text, "4.2.05.000"));
  Start();
  EXPECT_EQ(app().Rules().version, "4.2.05.000");
  EXPECT_EQ(app().Rules().text, text);
}

TEST_F(SavedRulesTest, TheOfficesOwnFileKeepsTheSavedCopyOut) {
  const std::string newer = WithVersion(built_in_, "4.2.05.000");
  Save(newer, Manifest(newer, "4.2.05.000"));
  const std::string office = WithVersion(built_in_, "4.2.01.000");
  ASSERT_TRUE(SaveFileAtomically(dir_.File("Larkspire/office-rules.txt"), office));
  Start();
  EXPECT_TRUE(app().Rules().office_file);
  EXPECT_EQ(app().Rules().text, office);
  EXPECT_EQ(app().Rules().version, "4.2.01.000");
}

}  // namespace
}  // namespace larkspire
