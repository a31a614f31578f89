// The rules file's "mail" section: changes an office does not want mailed by themselves, such
// as a new file location or a change of correspondence address. Such a change is still stored,
// counted and shown in the list; it only queues no notice unless something else changed with it.
#pragma once

namespace larkspire {

class CRun;
class CEntry;

// Whether the change from was to now is worth a mail: false only when every field it changed
// is listed in "quiet-fields" (data file keys, blank-separated) or is the last event, and
// that event's text is listed in "quiet-events" (#-separated, ignoring case, * for any text).
// Rules without the section mail every change.
bool MailsByItself(CRun& app, const CEntry& was, const CEntry& now);

}  // namespace larkspire
