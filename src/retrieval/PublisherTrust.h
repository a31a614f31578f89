// What vouches for a file of the publisher (the rules, the program): its manifest, signed with
// the key the program carries, and the file's size and SHA-256 matching that manifest.
#pragma once

#include <string>
#include <string_view>

#include "retrieval/PublisherManifest.h"

namespace larkspire {

class CRun;

// Names the environment variable whose PEM file replaces the built-in key. It exists so that
// tests and demonstrations can sign with a key of their own; only whoever starts the program
// can set it, and the log says when it is in effect.
inline constexpr const char* kPublisherKeyVariable = "LARKSPIRE_PUBLISHER_KEY";

// The public key manifests are checked with: the built-in one unless the run was given another.
std::string_view PublisherKeyInUse(const CRun& app);
// Takes the public key in the PEM file at path in place of the built-in one, and logs it. A
// file that cannot be read leaves no usable key, so nothing is accepted rather than something
// checked with a key nobody meant.
void UsePublisherKeyFile(CRun& app, const std::string& path);

// Checks a manifest and the file it describes: the manifest's signature under the key in use,
// its fields and kind, the file's size and SHA-256, and for a rules file that it is complete.
// "" with manifest filled when all pass, else why not (a phrase, as PublisherManifest.h gives).
std::string CheckSignedFile(const CRun& app, std::string_view kind, std::string_view manifest_text,
                            std::string_view bytes, PublisherManifest& manifest);

}  // namespace larkspire
