// The check the Configure dialog makes of each directory it is given: the directory must
// take a small file, and a missing one is offered for creation.
#pragma once

#include <string>

namespace larkspire {

class AppCore;

// Writes "ABCD" to dir/xxyyzzww.tmp (created new, never through a name planted there), reads
// it back and deletes it: true when the directory exists and takes files.
bool ProbeDirectory(const std::string& dir);
// Creates every missing directory of the path, ignoring errors (the probe tells the outcome).
void CreateDirectoryPath(const std::string& dir);
// The whole check with its messages: an empty field, the probe, the offer to create, the
// probe again. purpose names the contents ("report"), label the field ("Report directory").
bool CheckDirectory(AppCore& app, const std::string& dir, const std::string& purpose,
                    const std::string& label);

}  // namespace larkspire
