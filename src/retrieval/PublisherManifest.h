// The signed manifest the publisher serves beside each of its files (the rules file, the
// program): the program takes a downloaded file only when its manifest carries the publisher's
// Ed25519 signature and the file's size and SHA-256 match it, and a version only when it is a
// number higher than the one in use.
//
// A manifest is CR LF lines of "key: value" (one space after the colon, the value running to
// the line end), served under the file's address with ".manifest" appended:
//
//   larkspire-manifest: 1
//   kind: rules
//   version: 4.2.05.000
//   file: larkspire.txt
//   size: 48213
//   sha256: 64 lower-case hexadecimal digits
//   expires: 2027-03-10
//   signature: base64 of the 64-byte Ed25519 signature
//
// The first line names the format. The signature line comes last and signs every byte before
// it, line ends included. kind is "rules" or "program"; version is digit groups separated by
// points; file is the name the file is served under, the last part of its address; size is its
// length in bytes. expires (optional: manifests signed before it existed have none) is the last
// day, in UTC, on which the manifest vouches for a new download, so an old release served again
// is refused once its manifest has run out. Lines with other keys are signed like the rest and
// otherwise ignored. tools/sign/sign-release.sh writes manifests.
//
// Every check answers "" when it passes and otherwise the reason, a phrase without a capital
// or a final stop (for "Rules update refused: " + reason + ".").
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace larkspire {

inline constexpr std::string_view kManifestSuffix = ".manifest";
inline constexpr std::string_view kManifestKindRules = "rules";
inline constexpr std::string_view kManifestKindProgram = "program";

struct PublisherManifest {
  std::string kind;
  std::string version;
  std::string file;
  uint64_t size = 0;
  std::string sha256;   // lower case
  std::string expires;  // yyyy-mm-dd; "" when the manifest names no end
};

// The address of the manifest of the file at file_address.
std::string ManifestAddress(std::string_view file_address);

// Checks the manifest's signature under public_key (PEM or the raw 32 bytes), then its format
// and fields, and that it is of the expected kind. Fills manifest only when all of it passes.
std::string VerifyManifest(std::string_view text, std::string_view public_key,
                           std::string_view kind, PublisherManifest& manifest);

// Whether the bytes are the file the manifest describes: its size and SHA-256, and for a rules
// file the version its own version line names.
std::string CheckFileAgainstManifest(const PublisherManifest& manifest, std::string_view bytes);

// Whether the manifest was made for the file at file_address: its file name is the address's
// last part (after the last '/', without a query or fragment).
std::string CheckServedName(const PublisherManifest& manifest, std::string_view file_address);

// Today's day number in UTC, the calendar expiry dates are written in.
int32_t TodayUtcDayNumber();
// Whether the manifest has run out on the day given: its expiry date lies before it.
bool ManifestExpired(const PublisherManifest& manifest, int32_t today);
// The refusal of a download whose manifest has run out: "" while it has not.
std::string CheckNotExpired(const PublisherManifest& manifest, int32_t today);

// Digit groups separated by single points, such as "4.2.10" or "4.2.04.000".
bool IsNumericVersion(std::string_view version);

// Compares group by group as numbers: "4.2.10" is above "4.2.9", "4.2.04" equals "4.2.4", a
// missing group counts as 0. Negative, 0 or positive as a is below, equal to or above b. A
// version that is not numeric is below every numeric one.
int CompareVersions(std::string_view a, std::string_view b);

// Whether offered may replace the version in use: it must be numeric and higher. A version in
// use that is not numeric (a file from before signed releases) gives way to any numeric one.
std::string CheckNewerVersion(std::string_view offered, std::string_view in_use);

}  // namespace larkspire
