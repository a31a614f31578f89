#include "notify/Templates.h"

#include <algorithm>

#include "notify/Variables.h"
#include "platform/Markup.h"
#include "platform/Resources.h"
#include "rules/PageText.h"
#include "run/Run.h"

namespace larkspire {
namespace {

constexpr const char* kTemplateResourceType = "TemplateFile";

// The text from begin up to end, or to the end of the text when end is npos.
std::string_view Between(std::string_view text, std::size_t begin, std::size_t end) {
  return text.substr(begin, end == std::string_view::npos ? std::string_view::npos : end - begin);
}

// One pass over the selected text, so a value that itself holds "%Old%" or "%Cur%" is
// written as it is.
void AppendFilled(std::string_view selected, std::string_view current, std::string_view old,
                  bool fill_old, std::string& out) {
  std::size_t pos = 0;
  while (pos < selected.size()) {
    std::size_t mark = selected.find('%', pos);
    if (mark == std::string_view::npos) break;
    out.append(selected.substr(pos, mark - pos));
    std::string_view rest = selected.substr(mark);
    if (rest.starts_with("%Cur%")) {
      out.append(current);
      pos = mark + 5;
    } else if (fill_old && rest.starts_with("%Old%")) {
      out.append(old);
      pos = mark + 5;
    } else {
      out.push_back('%');
      pos = mark + 1;
    }
  }
  if (pos < selected.size()) out.append(selected.substr(pos));
}

// A reference's text between its brackets, with markers, written to out.
void ExpandReference(CRun& app, std::string_view ref, std::string& out, ValueEscaping escaping) {
  const std::size_t npos = std::string_view::npos;
  const std::size_t equals = ref.find('=');
  const std::size_t question = ref.find('?', equals == npos ? 0 : equals + 1);
  std::size_t bar_from = 0;
  if (question != npos) {
    bar_from = question + 1;
  } else if (equals != npos) {
    bar_from = equals + 1;
  }
  const std::size_t bar = ref.find('|', bar_from);

  const std::size_t name_end = std::min({equals, question, bar});
  const std::string_view name = ref.substr(0, name_end);
  const std::string value = LookupVariable(app, name);
  const bool escape = escaping == ValueEscaping::kHtml && !IsMarkupVariable(name);
  auto shown = [escape](const std::string& text) {
    return escape ? EncodeEntities(text, "&#39;") : text;
  };
  if (name_end == npos) {
    out.append(shown(value));
    return;
  }
  const std::string_view then_text =
      question == npos ? std::string_view() : Between(ref, question + 1, bar);
  const std::string_view else_text = bar == npos ? std::string_view() : Between(ref, bar + 1, npos);

  if (equals != npos) {
    const std::string_view compare = Between(ref, equals + 1, std::min(question, bar));
    const bool same = UpperAnsi(value) == UpperAnsi(compare);
    AppendFilled(same ? then_text : else_text, shown(value), {}, false, out);
    return;
  }
  std::string old_name(name);
  old_name += "Old";
  const std::string old = LookupVariable(app, old_name);
  AppendFilled(value == old ? then_text : else_text, shown(value), shown(old), true, out);
}

}  // namespace

std::optional<std::string> LoadTemplate(int number) {
  std::optional<std::string_view> data = FindResource(kTemplateResourceType, number);
  if (!data) return std::nullopt;
  return std::string(*data);
}

void ExpandTemplate(CRun& app, std::string_view text, std::string& out, ValueEscaping escaping) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t open = text.find('[', pos);
    if (open == std::string_view::npos) break;
    out.append(text.substr(pos, open - pos));
    const std::size_t close = text.find(']', open + 1);
    if (close == std::string_view::npos) {
      pos = open;
      break;
    }
    if (close + 1 < text.size() && text[close + 1] == ']') {
      // "[]]" and a reference directly followed by "]" both write one "]".
      out.push_back(']');
      pos = close + 2;
      continue;
    }
    const std::string_view ref = text.substr(open + 1, close - open - 1);
    if (ref.empty() || ref[0] == '[') {
      // "[]" writes "]", "[[]" writes "[".
      out.push_back(text[open + 1]);
    } else {
      ExpandReference(app, ref, out, escaping);
    }
    pos = close + 1;
  }
  if (pos < text.size()) out.append(text.substr(pos));
}

CExpansionScope::CExpansionScope(CRun& run, const CEntry* current, const CEntry* previous)
    : run_(run), saved_current_(run.Slots().current), saved_previous_(run.Slots().previous) {
  run.Slots() = {current, previous};
}

CExpansionScope::~CExpansionScope() { run_.Slots() = {saved_current_, saved_previous_}; }

}  // namespace larkspire
