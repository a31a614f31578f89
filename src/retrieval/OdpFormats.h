// The Open Data Portal's value shapes turned into the texts the status site wrote, so an entry
// reads the same whichever source updated it: "2008-12-02" dates (and "12-02-2008" in list
// rows), "7,460,123" patent numbers, "US 2008-0228234 A1" publications, "10/123,456"
// application numbers, "435/006.000" classes, and Windows-1252 text.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace larkspire {

// The service speaks UTF-8; entries hold Windows-1252. Characters that code page lacks
// become "?". The input is assumed valid UTF-8 (the JSON parser checks it); a stray byte that
// starts no sequence becomes "?" too.
std::string Utf8ToWindows1252(std::string_view utf8);

// A date as yyyy-mm-dd, from "yyyy-mm-dd" or a date-time that begins with it ("...T03:14:15").
// Nothing when the text is not a real calendar date: a source that changes its date layout
// must fail loudly rather than blank every date.
std::optional<std::string> IsoDate(std::string_view text);
// The same date as mm-dd-yyyy, the layout of the status site's foreign-priority and
// continuity tables.
std::optional<std::string> SiteTableDate(std::string_view text);

// "7460123" and "07460123" as "7,460,123"; "RE12345" as "RE12,345", "D512345" as "D512,345".
// Texts of any other shape, and texts already grouped, come back as they were.
std::string FormatPatentNumber(std::string_view text);
// "US20140167116A1", "US 2014-0167116 A1" and "US2014/0167116 A1" as "US 2014-0167116 A1"
// (without the country when the text has none). Other shapes come back unchanged.
std::string FormatPublicationNumber(std::string_view text);
// Eight digits as "nn/nnn,nnn"; "PCTEP05012345" as "PCT/EP05/012345" and
// "PCTGB2015051728" as "PCT/GB2015/051728". Other shapes come back unchanged.
std::string FormatApplicationNumber(std::string_view text);
// A US class "class/subclass" as the status site showed it: a six-digit subclass gets its
// decimal point ("257/197000" is "257/197.000"), a subclass of up to three digits is padded
// ("345/617" is "345/617.000"). Other shapes come back unchanged.
std::string FormatUspcClass(std::string_view text);

}  // namespace larkspire
