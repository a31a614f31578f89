#include "notify/DigestCompose.h"

#include <algorithm>
#include <map>
#include <optional>

#include "docket/Deadline.h"
#include "net/MimeHeaders.h"
#include "notify/ReminderSchedule.h"
#include "platform/Markup.h"

namespace larkspire {
namespace {

// A piece of the digest that goes whole into one part, as text and as HTML rows.
struct CDigestUnit {
  DigestItemKind kind = DigestItemKind::kChange;
  std::string text;
  std::string html;
};

std::string Html(std::string_view text) { return EncodeEntities(text, "&#39;"); }

// "R&D-1, 10/123,456", or whichever of the two the entry has.
std::string Named(const std::string& reference, const std::string& number) {
  if (reference.empty()) return number;
  if (number.empty()) return reference;
  return reference + ", " + number;
}

// What groups the changes of one application: its number, or its reference when it has none.
std::string ChangeKey(const CDigestItem& item) {
  return item.number.empty() ? "\n" + item.reference : item.number;
}

std::string HtmlCells(std::initializer_list<std::string_view> cells) {
  std::string row = "<tr>";
  for (std::string_view cell : cells) row += "<td>" + Html(cell) + "</td>";
  return row + "</tr>\r\n";
}

// The changes of one application, the failures and the new entries, in the order the digest
// lists them.
std::vector<CDigestUnit> Units(const std::vector<CDigestItem>& items) {
  std::vector<CDigestUnit> changes;
  std::vector<CDigestUnit> others;
  std::map<std::string, std::size_t> change_of;  // by number (or reference)
  for (const CDigestItem& item : items) {
    const std::string name = Named(item.reference, item.number);
    if (item.kind == DigestItemKind::kChange) {
      auto [at, fresh] = change_of.emplace(ChangeKey(item), changes.size());
      if (fresh) {
        changes.push_back(
            {DigestItemKind::kChange, name + "\r\n",
             "<tr><th colspan=\"3\" align=\"left\">" + Html(name) + "</th></tr>\r\n"});
      }
      CDigestUnit& unit = changes[at->second];
      for (const CDigestField& field : item.fields) {
        unit.text +=
            "  " + field.name + ": now \"" + field.now + "\", was \"" + field.was + "\"\r\n";
        unit.html += HtmlCells({field.name, field.now, field.was});
      }
    } else if (item.kind == DigestItemKind::kFailed) {
      others.push_back({item.kind, "  " + name + ": " + item.error + "\r\n",
                        HtmlCells({item.reference, item.number, item.error})});
    } else {
      others.push_back({item.kind, "  " + name + "\r\n", HtmlCells({item.reference, item.number})});
    }
  }
  // Failures before new entries, each in the order seen.
  for (DigestItemKind kind : {DigestItemKind::kFailed, DigestItemKind::kNew}) {
    for (CDigestUnit& unit : others) {
      if (unit.kind == kind) changes.push_back(std::move(unit));
    }
  }
  return changes;
}

struct CSectionTitles {
  const char* text;
  const char* html_head;  // the table's header row
};

CSectionTitles TitlesOf(DigestItemKind kind) {
  switch (kind) {
    case DigestItemKind::kChange:
      return {"Changes", "<tr><th>Field</th><th>Now</th><th>Was</th></tr>"};
    case DigestItemKind::kFailed:
      return {"Entries that failed", "<tr><th>Reference</th><th>Number</th><th>Why</th></tr>"};
    case DigestItemKind::kNew:
      return {"New entries", "<tr><th>Reference</th><th>Number</th></tr>"};
  }
  return {"", ""};
}

int CountOf(const std::vector<CDigestItem>& items, DigestItemKind kind) {
  std::map<std::string, int> seen;
  int count = 0;
  for (const CDigestItem& item : items) {
    if (item.kind != kind) continue;
    // Two changes of one application count once.
    if (kind == DigestItemKind::kChange && seen[ChangeKey(item)]++ > 0) continue;
    ++count;
  }
  return count;
}

// One message of units [first, last) of the digest.
std::string Message(const CDigestContent& content, const std::vector<CDigestUnit>& units,
                    std::size_t first, std::size_t last, bool with_deadlines, int part, int parts) {
  const int changed = CountOf(content.items, DigestItemKind::kChange);
  const int failed = CountOf(content.items, DigestItemKind::kFailed);
  const int added = CountOf(content.items, DigestItemKind::kNew);
  std::string subject = "Subject: Digest for " + content.org_name + ", " +
                        IsoDayText(content.today) + ": " + std::to_string(changed) + " changed, " +
                        std::to_string(failed) + " failed, " + std::to_string(added) + " new";
  if (parts > 1) {
    subject += " (part " + std::to_string(part) + " of " + std::to_string(parts) + ")";
  }
  const std::string intro = "This is the digest of " + content.org_name + "'s notifications of " +
                            IsoDayText(content.today) + ".";
  std::string text = intro + "\r\n";
  std::string html = "<html><body>\r\n<p>" + Html(intro) + "</p>\r\n";
  std::optional<DigestItemKind> open_kind;
  const auto close_table = [&] {
    if (open_kind) html += "</table>\r\n";
    open_kind.reset();
  };
  const auto emit = [&](const CDigestUnit& unit) {
    if (open_kind != unit.kind) {
      close_table();
      const CSectionTitles titles = TitlesOf(unit.kind);
      text += std::string("\r\n") + titles.text + ":\r\n";
      html += std::string("<h3>") + titles.text + "</h3>\r\n<table border=\"1\">\r\n" +
              titles.html_head + "\r\n";
      open_kind = unit.kind;
    }
    text += unit.text;
    html += unit.html;
  };
  std::size_t k = first;
  for (; k < last && units[k].kind == DigestItemKind::kChange; ++k) emit(units[k]);
  close_table();
  if (with_deadlines && !content.deadlines.empty()) {
    const std::string title =
        "Deadlines in the next " + std::to_string(kDigestDeadlineDays) + " days";
    text += "\r\n" + title + ":\r\n";
    html += "<h3>" + Html(title) +
            "</h3>\r\n<table border=\"1\">\r\n<tr><th>Due</th><th>What</th><th>Reference</th>"
            "<th>Number</th></tr>\r\n";
    for (const CDigestDeadline& deadline : content.deadlines) {
      text += "  " + IsoDayText(deadline.due) + "  " + deadline.what + ", " +
              Named(deadline.reference, deadline.number) + "\r\n";
      html +=
          HtmlCells({IsoDayText(deadline.due), deadline.what, deadline.reference, deadline.number});
    }
    html += "</table>\r\n";
  }
  for (; k < last; ++k) emit(units[k]);
  close_table();
  html += "</body></html>\r\n";
  return subject + "\r\n" + MultipartAlternative(text, html);
}

// Room the subject, introduction and section titles of a part may take.
constexpr std::size_t kPartFrame = 2048;

std::size_t DeadlinesSize(const std::vector<CDigestDeadline>& deadlines) {
  std::size_t size = 0;
  for (const CDigestDeadline& deadline : deadlines) {
    // Each value at most six times longer as HTML, plus the row's own markup.
    size += 7 * (deadline.what.size() + deadline.reference.size() + deadline.number.size()) + 128;
  }
  return size;
}

}  // namespace

std::vector<CDigestDeadline> DigestDeadlines(const std::vector<const CDeadline*>& open,
                                             int32_t today) {
  std::vector<CDigestDeadline> coming;
  for (const CDeadline* deadline : open) {
    if (deadline->due < today || deadline->due > today + kDigestDeadlineDays) continue;
    coming.push_back({deadline->due, deadline->what, deadline->reference, deadline->entry_key});
  }
  std::stable_sort(
      coming.begin(), coming.end(),
      [](const CDigestDeadline& a, const CDigestDeadline& b) { return a.due < b.due; });
  return coming;
}

std::vector<std::string> ComposeDigestMessages(const CDigestContent& content, std::size_t limit) {
  if (content.items.empty()) return {};
  const std::vector<CDigestUnit> units = Units(content.items);
  const std::size_t frame = kPartFrame + content.org_name.size() * 8;
  // Where each part begins: as many whole units as its bound lets in.
  std::vector<std::size_t> starts{0};
  std::size_t text = DeadlinesSize(content.deadlines);
  std::size_t html = text;
  for (std::size_t k = 0; k < units.size(); ++k) {
    const std::size_t more_text = text + units[k].text.size();
    const std::size_t more_html = html + units[k].html.size();
    if (k > starts.back() && MultipartAlternativeBound(more_text, more_html) + frame > limit) {
      starts.push_back(k);
      text = units[k].text.size();
      html = units[k].html.size();
    } else {
      text = more_text;
      html = more_html;
    }
  }
  std::vector<std::string> messages;
  const int parts = static_cast<int>(starts.size());
  for (std::size_t p = 0; p < starts.size(); ++p) {
    const std::size_t last = p + 1 < starts.size() ? starts[p + 1] : units.size();
    messages.push_back(
        Message(content, units, starts[p], last, p == 0, static_cast<int>(p) + 1, parts));
  }
  return messages;
}

}  // namespace larkspire
