#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "net/Signature.h"
#include "platform/Files.h"
#include "retrieval/PublisherKey.h"
#include "retrieval/PublisherManifest.h"
#include "rules/Dates.h"
#include "support/TempDir.h"
#include "support/TestSigningKey.h"

namespace larkspire {
namespace {

const std::string kRules =
    "version: 4.2.05.000\r\n"
    "location:\r\n"
    " rules: https://www.larkspire.example/support/larkspire.txt\r\n"
    "end-of-rules\r\n";

std::string Replaced(std::string text, std::string_view from, std::string_view to) {
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

class PublisherManifestTest : public ::testing::Test {
 protected:
  // The manifest check and then the file check, as the program runs them: the first reason.
  std::string Refusal(const std::string& manifest_text, const std::string& bytes,
                      std::string_view kind = kManifestKindRules) {
    PublisherManifest manifest;
    const std::string why = VerifyManifest(manifest_text, key_.PublicPem(), kind, manifest);
    return why.empty() ? CheckFileAgainstManifest(manifest, bytes) : why;
  }

  const CTestSigningKey key_;
  const std::string body_ = ManifestBody("rules", "4.2.05.000", "larkspire.txt", kRules);
  const std::string manifest_ = key_.SignManifest(body_);
};

TEST_F(PublisherManifestTest, ASignedManifestIsReadAndVouchesForItsFile) {
  PublisherManifest manifest;
  EXPECT_EQ(VerifyManifest(manifest_, key_.PublicPem(), kManifestKindRules, manifest), "");
  EXPECT_EQ(manifest.kind, "rules");
  EXPECT_EQ(manifest.version, "4.2.05.000");
  EXPECT_EQ(manifest.file, "larkspire.txt");
  EXPECT_EQ(manifest.size, kRules.size());
  EXPECT_EQ(manifest.sha256, Sha256Hex(kRules));
  EXPECT_EQ(CheckFileAgainstManifest(manifest, kRules), "");
  // The raw form of the key serves as well.
  EXPECT_EQ(VerifyManifest(manifest_, key_.PublicRaw(), kManifestKindRules, manifest), "");

  // A program's manifest: no version line inside the file is looked for.
  const std::string program = std::string(
                                  "\x7f"
                                  "ELF",
                                  4) +
                              std::string(1000, '\0');
  const std::string program_manifest =
      key_.SignManifest(ManifestBody("program", "4.2.10", "larkspire", program));
  EXPECT_EQ(Refusal(program_manifest, program, kManifestKindProgram), "");
  EXPECT_EQ(ManifestAddress("https://www.larkspire.example/support/larkspire.txt"),
            "https://www.larkspire.example/support/larkspire.txt.manifest");
}

TEST_F(PublisherManifestTest, TamperingAndMistakesAreRefusedWithTheirReason) {
  const std::string not_signed =
      "the manifest's signature is not the publisher's (the manifest was altered or signed "
      "with another key)";
  std::string file_byte_changed = kRules;
  file_byte_changed[40] ^= 0x20;
  std::string manifest_byte_changed = manifest_;
  manifest_byte_changed[manifest_.find("size: ") + 6] ^= 0x01;
  const CTestSigningKey other;
  const std::string signature_line = manifest_.substr(body_.size());
  auto signed_body = [&](const std::string& body) { return key_.SignManifest(body); };
  const struct {
    const char* name;
    std::string manifest;
    std::string file;
    std::string reason;
  } cases[] = {
      {"one byte of the file changed", manifest_, file_byte_changed,
       "the file's SHA-256 differs from its manifest's"},
      {"file cut short", manifest_, kRules.substr(0, kRules.size() - 2),
       "the file has " + std::to_string(kRules.size() - 2) + " bytes, its manifest says " +
           std::to_string(kRules.size())},
      {"file with bytes added", manifest_, kRules + "x",
       "the file has " + std::to_string(kRules.size() + 1) + " bytes, its manifest says " +
           std::to_string(kRules.size())},
      {"one byte of the manifest changed", manifest_byte_changed, kRules, not_signed},
      {"signed by another key", other.SignManifest(body_), kRules, not_signed},
      {"signature moved onto another body",
       Replaced(body_, "4.2.05.000", "9.9.99.999") + signature_line, kRules, not_signed},
      {"version zzz, signed", signed_body(Replaced(body_, "version: 4.2.05.000", "version: zzz")),
       kRules, "the manifest's version 'zzz' is not a number"},
      {"hash that does not match, signed",
       signed_body(Replaced(body_, Sha256Hex(kRules), Sha256Hex(kRules + "x"))), kRules,
       "the file's SHA-256 differs from its manifest's"},
      {"manifest version not the file's own, signed",
       signed_body(Replaced(body_, "4.2.05.000", "4.2.06.000")), kRules,
       "the rules file names version '4.2.05.000', its manifest '4.2.06.000'"},
      {"a program's manifest for a rules file",
       signed_body(Replaced(body_, "kind: rules", "kind: program")), kRules,
       "the manifest is for a file of kind 'program', not 'rules'"},
      {"no signature line", body_, kRules, "the manifest has no signature line at its end"},
      {"signature line only", signature_line, kRules,
       "the manifest has no signature line at its end"},
      {"a line after the signature", manifest_ + "kind: rules\r\n", kRules,
       "the manifest has no signature line at its end"},
      {"no line end after the signature", manifest_.substr(0, manifest_.size() - 2), kRules,
       "the manifest has no signature line at its end"},
      {"signature not base64", Replaced(manifest_, "signature: ", "signature: *"), kRules,
       "the manifest's signature line is malformed"},
      {"signature cut short", body_ + "signature: " + Base64Encode(std::string(63, 'x')) + "\r\n",
       kRules, "the manifest's signature line is malformed"},
      {"empty", "", kRules, "the manifest has no signature line at its end"},
      {"another format, signed",
       signed_body(Replaced(body_, "larkspire-manifest: 1", "larkspire-manifest: 2")), kRules,
       "the manifest is not in the known format"},
      {"line without a key, signed", signed_body(body_ + "no separator\r\n"), kRules,
       "line 7 of the manifest is malformed"},
      {"control character, signed", signed_body(body_ + "note: a\tb\r\n"), kRules,
       "line 7 of the manifest is malformed"},
      {"bare line feed inside, signed",
       signed_body(Replaced(body_, "kind: rules\r\n", "kind: rules\nversion: 9\r\n")), kRules,
       "line 2 of the manifest is malformed"},
      {"field named twice, signed", signed_body(body_ + "version: 9.0\r\n"), kRules,
       "the manifest names 'version' more than once"},
      {"no size, signed",
       signed_body(Replaced(body_, "size: " + std::to_string(kRules.size()) + "\r\n", "")), kRules,
       "the manifest names no size"},
      {"size not a number, signed",
       signed_body(Replaced(body_, "size: " + std::to_string(kRules.size()), "size: -1")), kRules,
       "the manifest's size '-1' is not a number of bytes"},
      {"size beyond any file, signed",
       signed_body(
           Replaced(body_, "size: " + std::to_string(kRules.size()), "size: 18446744073709551616")),
       kRules, "the manifest's size '18446744073709551616' is not a number of bytes"},
      {"hash too short, signed",
       signed_body(Replaced(body_, Sha256Hex(kRules), Sha256Hex(kRules).substr(1))), kRules,
       "the manifest's SHA-256 '" + Sha256Hex(kRules).substr(1) + "' is not 64 hexadecimal digits"},
      {"file name with a path, signed",
       signed_body(Replaced(body_, "file: larkspire.txt", "file: ../larkspire.txt")), kRules,
       "the manifest's file name '../larkspire.txt' is not a plain name"},
      // The expiry date is signed with the rest: moving it on breaks the signature.
      {"expiry date moved on",
       Replaced(signed_body(body_ + "expires: 2027-03-10\r\n"), "2027-03-10", "2099-03-10"), kRules,
       not_signed},
      {"expiry date not a day, signed", signed_body(body_ + "expires: 2027-02-29\r\n"), kRules,
       "the manifest's expiry date '2027-02-29' is not a date (yyyy-mm-dd)"},
      {"expiry date in another form, signed", signed_body(body_ + "expires: 2027-3-10\r\n"), kRules,
       "the manifest's expiry date '2027-3-10' is not a date (yyyy-mm-dd)"},
      {"expiry date empty, signed", signed_body(body_ + "expires: \r\n"), kRules,
       "the manifest's expiry date '' is not a date (yyyy-mm-dd)"},
  };
  for (const auto& c : cases) EXPECT_EQ(Refusal(c.manifest, c.file), c.reason) << c.name;
}

TEST_F(PublisherManifestTest, WhatAManifestMayVaryInIsStillAccepted) {
  const std::string upper_hash = Replaced(body_, Sha256Hex(kRules), [&] {
    std::string hex = Sha256Hex(kRules);
    for (char& c : hex) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return hex;
  }());
  for (const std::string& body : {upper_hash, body_ + "released: 2025-06-01\r\n"}) {
    EXPECT_EQ(Refusal(key_.SignManifest(body), kRules), "") << body;
  }
  // A refused manifest leaves what the caller holds alone.
  PublisherManifest manifest;
  manifest.version = "kept";
  VerifyManifest(body_, key_.PublicPem(), kManifestKindRules, manifest);
  EXPECT_EQ(manifest.version, "kept");
}

TEST_F(PublisherManifestTest, ItVouchesOnlyForTheFileTheAddressNamesUntilItsExpiryDate) {
  PublisherManifest manifest;
  ASSERT_EQ(VerifyManifest(key_.SignManifest(body_ + "expires: 2027-03-10\r\n"), key_.PublicPem(),
                           kManifestKindRules, manifest),
            "");
  EXPECT_EQ(manifest.expires, "2027-03-10");
  const struct {
    const char* address;
    const char* refusal;  // null when the manifest was made for the address
  } addresses[] = {
      {"https://www.larkspire.example/support/larkspire.txt", nullptr},
      {"http://[::1]:8080/larkspire.txt?from=menu#top", nullptr},
      {"https://www.larkspire.example/support/larkspire.txt.bak",
       "the manifest is for the file 'larkspire.txt', not for 'larkspire.txt.bak' that the "
       "address names"},
      {"https://www.larkspire.example/support/larkspire.txt/",
       "the manifest is for the file 'larkspire.txt', not for '' that the address names"},
      {"https://www.larkspire.example/support/LARKSPIRE.TXT",
       "the manifest is for the file 'larkspire.txt', not for 'LARKSPIRE.TXT' that the address "
       "names"},
  };
  for (const auto& a : addresses) {
    EXPECT_EQ(CheckServedName(manifest, a.address), a.refusal ? a.refusal : "") << a.address;
  }

  const int32_t expiry = ParseDayNumber("2027-03-10");
  const struct {
    int32_t today;
    const char* refusal;
  } days[] = {{expiry - 1, ""}, {expiry, ""}, {expiry + 1, "the manifest expired on 2027-03-10"}};
  for (const auto& d : days) {
    EXPECT_EQ(ManifestExpired(manifest, d.today), *d.refusal != '\0') << d.today;
    EXPECT_EQ(CheckNotExpired(manifest, d.today), d.refusal) << d.today;
  }
  // Manifests signed before the field existed never run out.
  ASSERT_EQ(VerifyManifest(manifest_, key_.PublicPem(), kManifestKindRules, manifest), "");
  EXPECT_EQ(manifest.expires, "");
  EXPECT_FALSE(ManifestExpired(manifest, expiry + 100000));
}

TEST_F(PublisherManifestTest, TheBuiltInPublisherKeyIsAnEd25519KeyThatTestManifestsDoNotFool) {
  EXPECT_EQ(VerifyEd25519("m", std::string(64, '\0'), kPublisherPublicKey),
            SignatureCheck::kInvalid);
  PublisherManifest manifest;
  EXPECT_EQ(VerifyManifest(manifest_, kPublisherPublicKey, kManifestKindRules, manifest),
            "the manifest's signature is not the publisher's (the manifest was altered or signed "
            "with another key)");
  EXPECT_EQ(VerifyManifest(manifest_, "no key", kManifestKindRules, manifest),
            "the publisher's key cannot be read");
}

TEST(PublisherVersion, NumericVersionsAreDigitGroupsSeparatedByPoints) {
  for (const char* good : {"4", "4.2.10", "4.2.04.000", "0004", "99999999999999999999999.1"}) {
    EXPECT_TRUE(IsNumericVersion(good)) << good;
  }
  for (const char* bad : {"", ".", "4.", ".4", "4..2", "4.2a", " 4", "4 ", "-1", "+1", "4,2", "zzz",
                          "4.2.04.000\r"}) {
    EXPECT_FALSE(IsNumericVersion(bad)) << bad;
  }
}

TEST(PublisherVersion, VersionsCompareAsNumbersGroupByGroup) {
  const struct {
    const char* a;
    const char* b;
    int order;
  } cases[] = {
      {"4.2.10", "4.2.9", 1},
      {"4.2.9", "4.2.10", -1},
      {"4.2.04", "4.2.4", 0},
      {"4.2", "4.2.0.0", 0},
      {"4.2.0.1", "4.2", 1},
      {"4.2.04.000", "4.2.05", -1},
      {"10", "9", 1},
      {"0010", "9", 1},
      {"99999999999999999999999", "99999999999999999999998", 1},
      {"4.2.05.000", "4.2.05.000", 0},
      // Whatever is not numeric ranks below every numeric version.
      {"zzz", "0", -1},
      {"0", "zzz", 1},
      {"zzz", "", 0},
  };
  for (const auto& c : cases) {
    const int order = CompareVersions(c.a, c.b);
    EXPECT_EQ((order > 0) - (order < 0), c.order) << c.a << " vs " << c.b;
  }
}

TEST(PublisherVersion, OnlyAHigherNumericVersionMayReplaceTheOneInUse) {
  const struct {
    const char* offered;
    const char* in_use;
    const char* reason;
  } cases[] = {
      {"4.2.10", "4.2.9", ""},
      {"4.2.05.000", "4.2.04.000", ""},
      {"4.2.03.999", "4.2.04.000", "version 4.2.03.999 is older than 4.2.04.000 in use"},
      {"4.2.4", "4.2.04", "version 4.2.4 is the one in use"},
      {"zzz", "4.2.04.000", "version 'zzz' is not a number"},
      {"", "4.2.04.000", "version '' is not a number"},
      // A file from before signed releases (or an old "zzz") gives way to a real release.
      {"4.2.05.000", "zzz", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CheckNewerVersion(c.offered, c.in_use), c.reason) << c.offered << " " << c.in_use;
  }
}

// The publisher's tool and the program agree: what the script signs, the program accepts.
class SignReleaseScriptTest : public ::testing::Test {
 protected:
  SignReleaseScriptTest() { key_.WritePrivatePem(dir_.File("key.pem")); }

  // Runs the script with the arguments; its exit status.
  int Sign(const std::string& arguments) {
    const std::string command = std::string("bash ") + LARKSPIRE_SOURCE_DIR +
                                "/tools/sign/sign-release.sh -k " + dir_.File("key.pem") + " " +
                                arguments + " >" + dir_.File("output.txt") + " 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Read(const std::string& name) {
    std::string text;
    ReadWholeFile(dir_.File(name), text);
    return text;
  }

  CTempDir dir_;
  const CTestSigningKey key_;
};

TEST_F(SignReleaseScriptTest, ItsManifestsVerify) {
  ASSERT_TRUE(SaveFileAtomically(dir_.File("larkspire.txt"), kRules));
  ASSERT_EQ(Sign("-t rules -e 9999-12-31 " + dir_.File("larkspire.txt")), 0) << Read("output.txt");
  const std::string manifest_text = Read("larkspire.txt.manifest");
  EXPECT_EQ(manifest_text,
            key_.SignManifest(ManifestBody("rules", "4.2.05.000", "larkspire.txt", kRules) +
                              "expires: 9999-12-31\r\n"));
  PublisherManifest manifest;
  EXPECT_EQ(VerifyManifest(manifest_text, key_.PublicPem(), kManifestKindRules, manifest), "");
  EXPECT_EQ(CheckFileAgainstManifest(manifest, kRules), "");

  const std::string program = std::string(
                                  "\x7f"
                                  "ELF\0\0",
                                  6) +
                              std::string(70000, 'p');
  ASSERT_TRUE(SaveFileAtomically(dir_.File("build-output"), program));
  const int32_t before = TodayUtcDayNumber();
  ASSERT_EQ(Sign("-t program -v 4.2.10 -n larkspire -o " + dir_.File("larkspire.manifest") + " " +
                 dir_.File("build-output")),
            0)
      << Read("output.txt");
  const int32_t after = TodayUtcDayNumber();
  EXPECT_EQ(
      VerifyManifest(Read("larkspire.manifest"), key_.PublicPem(), kManifestKindProgram, manifest),
      "");
  EXPECT_EQ(manifest.file, "larkspire");
  EXPECT_EQ(manifest.version, "4.2.10");
  // Without -e, 90 days from the day it was signed (read on either side of a midnight).
  EXPECT_TRUE(manifest.expires == FormatDayNumber(before + 90) ||
              manifest.expires == FormatDayNumber(after + 90))
      << manifest.expires;
  EXPECT_EQ(CheckFileAgainstManifest(manifest, program), "");
}

TEST_F(SignReleaseScriptTest, ItRefusesWhatTheProgramWouldRefuse) {
  ASSERT_TRUE(SaveFileAtomically(dir_.File("larkspire.txt"), kRules));
  ASSERT_TRUE(SaveFileAtomically(dir_.File("zzz.txt"), "version: zzz\r\nend-of-rules\r\n"));
  ASSERT_TRUE(SaveFileAtomically(dir_.File("lf.txt"), "version: 4.2.05.000\nend-of-rules\n"));
  ASSERT_TRUE(SaveFileAtomically(dir_.File("program"), "program"));
  for (const std::string& arguments : {
           "-t rules " + dir_.File("zzz.txt"),
           "-t rules " + dir_.File("lf.txt"),
           "-t rules -v 4.2.06.000 " + dir_.File("larkspire.txt"),
           "-t program " + dir_.File("program"),
           "-t program -v zzz " + dir_.File("program"),
           "-t program -v 1.0 -n ../program " + dir_.File("program"),
           "-t library -v 1.0 " + dir_.File("program"),
           "-t program -v 1.0 -e 2027-02-29 " + dir_.File("program"),
           "-t program -v 1.0 -e 10.3.2027 " + dir_.File("program"),
           "-t program -v 1.0 -e 2020-01-31 " + dir_.File("program"),
       }) {
    EXPECT_EQ(Sign(arguments), 1) << arguments << ": " << Read("output.txt");
  }
  for (const char* name : {"zzz.txt", "lf.txt", "larkspire.txt", "program"}) {
    EXPECT_FALSE(FileExists(dir_.File(std::string(name) + ".manifest"))) << name;
  }
}

}  // namespace
}  // namespace larkspire
