// The built-in text templates and their expansion. A template is text with bracketed
// references ("[OrgName]", "[Status?same|changed]") that are replaced by variable values.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace larkspire {

class CRun;
class CEntry;

// Template numbers, as the resources are named.
enum TemplateId : int {
  kTemplateActivity = 1,
  kTemplateEntryAdded = 2,
  kTemplateEntryChanged = 3,
  kTemplateEntryDeleted = 4,
  kTemplateTestEmail = 5,
  kTemplateReportHeader = 6,
  kTemplateReportRow = 7,
  kTemplateReportFooter = 8,
  kTemplateStatusChange = 9,
  kTemplateWelcome = 10,
  kTemplateRules = 11,
  kTemplateUpgrade = 12,
  kTemplateProblem = 13,
  kTemplateReminder = 14,
};

// The template's text (CR LF line ends), or nothing when the resource is missing or empty.
std::optional<std::string> LoadTemplate(int number);

// How looked-up values go into the expansion.
enum class ValueEscaping {
  kNone,  // as they are (e-mails: plain text)
  // & < > " ' as character references, so no value (page text, a setting) becomes markup or
  // leaves an attribute; the program's own markup variables (IsMarkupVariable) stay as they are.
  kHtml,
};

// Appends the expansion of a template to out, byte for byte apart from the values' escaping.
// References resolve through LookupVariable, so the entry slots below decide what entry names
// mean; conditions compare the values as looked up.
void ExpandTemplate(CRun& app, std::string_view text, std::string& out,
                    ValueEscaping escaping = ValueEscaping::kNone);

// Fills the run's two entry slots (the entry being reported on and, for the "Old" names and
// [AllChanges], a copy of it as it was before) for its lifetime and puts back what was there
// before, so a lookup that needs its own entry (a status page address, say) can open a scope
// in the middle of an expansion without emptying the slots under it.
class CExpansionScope {
 public:
  CExpansionScope(CRun& run, const CEntry* current, const CEntry* previous = nullptr);
  ~CExpansionScope();
  CExpansionScope(const CExpansionScope&) = delete;
  CExpansionScope& operator=(const CExpansionScope&) = delete;

 private:
  CRun& run_;
  const CEntry* saved_current_;
  const CEntry* saved_previous_;
};

}  // namespace larkspire
