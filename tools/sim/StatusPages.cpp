// The pages of one application: status (bibliographic data and file history), foreign priority
// and continuity, and the answer for a number the site does not know.
#include <vector>

#include "Markup.h"
#include "Pages.h"
#include "SimDate.h"

namespace larkspire::sim {
namespace {

std::string SiteDateOrDash(int day) { return day ? FormatSiteDate(day) : "-"; }

// The site broke long locations before the parenthesised building name.
std::string LocationCell(const std::string& location) {
  const size_t paren = location.find(" (");
  if (paren == std::string::npos) return EscapeOrDash(location);
  return Escape(location.substr(0, paren)) + "<BR>\n\t\t" + Escape(location.substr(paren + 1));
}

// Titles came out of the database wrapped at about 60 characters.
std::string WrappedTitle(const std::string& title) {
  std::string out;
  size_t column = 0;
  for (char c : title) {
    if (c == ' ' && column > 60) {
      out += "\n\t\t";
      column = 0;
      continue;
    }
    out += c;
    ++column;
  }
  return out.empty() ? "-" : Escape(out);
}

// A hidden field names the form of each term tab; when the application has no such history the
// site left the field in, commented out.
std::string TermTab(bool present, const char* form, const char* caption,
                    const std::string& digits) {
  const std::string input = Fill(
      R"html(<INPUT TYPE="hidden" NAME="tabform" value="document.{FORM}">)html", {{"FORM", form}});
  if (!present) return "\t<!-- " + input + " -->\n";
  return Fill(
      R"html(	<TD BGCOLOR="#EEEEEE"><FORM NAME="{FORM}" METHOD="POST" ACTION="/cgi-bin/final/{SCRIPT}.pl">
		<INPUT TYPE="hidden" NAME="ApplicationNumber" VALUE="{DIGITS}">
		{INPUT}
		<A HREF="javascript:document.{FORM}.submit()">{CAPTION}</A></FORM></TD>
)html",
      {{"FORM", form},
       {"SCRIPT", std::string(form).substr(0, 3)},
       {"DIGITS", digits},
       {"INPUT", input},
       {"CAPTION", caption}});
}

std::string HistoryRows(const CAppState& state) {
  std::string rows;
  for (const CHistoryEvent& event : state.history) {
    rows += Fill("<TR>\n\t<TD VALIGN=\"top\" NOWRAP>{DATE}</TD>\n\t<TD>{TEXT}</TD>\n</TR>\n",
                 {{"DATE", FormatSiteDate(event.day)}, {"TEXT", Escape(event.text)}});
  }
  return rows;
}

std::string ContinuityTable(const char* caption, const char* side,
                            const std::vector<CContinuityRow>& rows) {
  std::string body;
  for (const CContinuityRow& row : rows) {
    body += Fill(R"html(<TR>
	<TD>{DESCRIPTION}</TD>
	<TD><A HREF="/cgi-bin/final/cusnum.pl?ApplicationNumber={DIGITS}">{NUMBER}</A></TD>
	<TD ALIGN="center">{FILED}</TD>
	<TD>{STATUS}</TD>
	<TD>{PATENT}</TD>
</TR>
)html",
                 {{"DESCRIPTION", Escape(row.description)},
                  {"DIGITS", NumberKey(row.number)},
                  {"NUMBER", Escape(row.number)},
                  {"FILED", row.filed.empty() ? "&nbsp;" : row.filed},
                  {"STATUS", Escape(row.status)},
                  {"PATENT", row.patent.empty() ? "&nbsp;" : Escape(row.patent)}});
  }
  if (rows.empty()) {
    body = Fill("<TR><TD COLSPAN=\"5\"><I>No {SIDE} Continuity Data Found.</I></TD></TR>\n",
                {{"SIDE", side}});
  }
  return Fill(R"html(<TABLE BORDER="1" CELLPADDING="3" CELLSPACING="0" WIDTH="100%">
<TR><TD COLSPAN="5" BGCOLOR="#CCCCFF">{CAPTION}</TD></TR>
<TR>
	<TH>Description</TH>
	<TH>{SIDE} Number</TH>
	<TH>{SIDE} Filing or 371(c) Date</TH>
	<TH>{SIDE} Status</TH>
	<TH>Patent Number</TH>
</TR>
{BODY}</TABLE>
)html",
              {{"CAPTION", caption}, {"SIDE", side}, {"BODY", body}});
}

}  // namespace

std::string StatusPage(const CSimData& data, const CAppState& state) {
  const CSimApplication& app = *state.app;
  const CSimCustomer* customer = data.FindCustomer(state.customer);
  std::string address;
  if (customer) {
    address = Escape(customer->name);
    for (const std::string& line : customer->address) address += "<BR>\n\t\t" + Escape(line);
  }
  // The head and the tabs came from one template written with CR LF; the data part was printed
  // by the script with bare LF.
  const std::string top =
      ToCrLf(PageHead("Patent Application Information Retrieval - " + app.app_num) + Banner() +
             Fill(R"html(<!-- ================= tabs ================= -->
<TABLE BORDER="0" CELLSPACING="2" CELLPADDING="3">
<TR>
	<TD BGCOLOR="#CCCCFF"><B>Application Data</B></TD>
	<TD BGCOLOR="#EEEEEE"><A HREF="/cgi-bin/final/ifw.pl?ApplicationNumber={DIGITS}">Image File Wrapper</A></TD>
)html",
                  {{"DIGITS", app.digits}}) +
             TermTab(state.pta, "ptahist_form", "Patent Term Adjustments", app.digits) +
             TermTab(state.pte, "ptehist_form", "Patent Term Extension History", app.digits) +
             "</TR>\n</TABLE>\n");
  const std::string data_part =
      Fill(R"html(<!-- ================= bibliographic data ================= -->
<BR>
<TABLE BORDER="0" CELLSPACING="0" CELLPADDING="3" WIDTH="100%">
<TR>
	<TD CLASS="lbl" NOWRAP WIDTH="20%">Application Number:</TD>
	<TD CLASS="val" WIDTH="30%">{APPNUM}</TD>
	<TD CLASS="lbl" NOWRAP WIDTH="20%">Filing or 371(c) Date:</TD>
	<TD CLASS="val">{FILED}</TD>
</TR>
<TR>
	<TD CLASS="lbl">Application Type:</TD>
	<TD CLASS="val">Utility</TD>
	<TD CLASS="lbl">Examiner Name:</TD>
	<TD CLASS="val">{EXAMINER}</TD>
</TR>
<TR>
	<TD CLASS="lbl">&nbsp;Group Art Unit:</TD>
	<TD CLASS="val">
		{ARTUNIT}
	</TD>
	<TD CLASS="lbl">Confirmation Number:</TD>
	<TD CLASS="val">{CONFIRM}</TD>
</TR>
<TR>
	<TD CLASS="lbl">Attorney Docket Number:</TD>
	<TD CLASS="val">{DOCKET}</TD>
	<TD CLASS="lbl">Class/ Sub-Class:</TD>
	<TD CLASS="val">{CLASS}</TD>
</TR>
<TR>
	<TD CLASS="lbl">Status:</TD>
	<TD CLASS="val"><FONT COLOR="#990000">{STATUS}</FONT></TD>
	<TD CLASS="lbl">Status Date:</TD>
	<TD CLASS="val">{STATUSDATE}</TD>
</TR>
<TR>
	<TD CLASS="lbl"><A HREF="javascript:openHelp('location')">Location</A>:</TD>
	<TD CLASS="val">{LOCATION}</TD>
	<TD CLASS="lbl">Location Date:</TD>
	<TD CLASS="val">{LOCATIONDATE}</TD>
</TR>
<TR>
	<TD CLASS="lbl">&nbsp;&nbsp;Earliest Publication No:</TD>
	<TD CLASS="val">{PUBNUM}</TD>
	<TD CLASS="lbl">Earliest Publication Date:</TD>
	<TD CLASS="val">{PUBDATE}</TD>
</TR>
<TR>
	<TD CLASS="lbl">Patent Number:</TD>
	<TD CLASS="val">{PATNUM}</TD>
	<TD CLASS="lbl">Issue Date of Patent:</TD>
	<TD CLASS="val">{ISSUED}</TD>
</TR>
<TR>
	<TD CLASS="lbl" VALIGN="top">Title of Invention:</TD>
	<TD CLASS="val" COLSPAN="3">{TITLE}</TD>
</TR>
</TABLE>
<!-- ================= correspondence ================= -->
<TABLE BORDER="0" CELLSPACING="0" CELLPADDING="3" WIDTH="100%">
<TR>
	<TD CLASS="lbl" VALIGN="top" WIDTH="20%">Customer Number:</TD>
	<TD CLASS="val"><A HREF="/cgi-bin/final/pairsearch.pl?searchtype=customer&amp;customernumber={CUSTNUM}">{CUSTNUM}</A></TD>
</TR>
<TR>
	<TD CLASS="lbl" VALIGN="top">Correspondence Address:</TD>
	<TD CLASS="val">{ADDRESS}</TD>
</TR>
</TABLE>
<!-- ================= file history ================= -->
<BR>
<TABLE BORDER="1" CELLSPACING="0" CELLPADDING="2" WIDTH="100%">
<TR><TD COLSPAN="2" BGCOLOR="#CCCCFF">File History</TD></TR>
<TR><TD WIDTH="15%"><B>Date</B></TD><TD><B>Contents Description</B></TD></TR>
{HISTORY}</TABLE>
)html",
           {{"APPNUM", app.app_num},
            {"FILED", FormatSiteDate(app.filed)},
            {"EXAMINER", EscapeOrDash(state.examiner)},
            {"ARTUNIT", EscapeOrDash(state.art_unit)},
            {"CONFIRM", EscapeOrDash(state.confirmation)},
            {"DOCKET", EscapeOrDash(state.docket)},
            {"CLASS", EscapeOrDash(state.class_text)},
            {"STATUS", EscapeOrDash(state.status)},
            {"STATUSDATE", SiteDateOrDash(state.status_day)},
            {"LOCATION", LocationCell(state.location)},
            {"LOCATIONDATE", SiteDateOrDash(state.location_day)},
            {"PUBNUM", EscapeOrDash(state.pub_num)},
            {"PUBDATE", SiteDateOrDash(state.pub_day)},
            {"PATNUM", EscapeOrDash(state.pat_num)},
            {"ISSUED", SiteDateOrDash(state.issue_day)},
            {"TITLE", WrappedTitle(state.title)},
            {"CUSTNUM", Escape(state.customer)},
            {"ADDRESS", address.empty() ? "-" : address},
            {"HISTORY", HistoryRows(state)}});
  return top + data_part + PageFoot();
}

std::string ForeignPriorityPage(const CAppState& state) {
  std::string page = PageHead("Patent Application Information Retrieval - Foreign Priority") +
                     Banner() +
                     Fill("<P><FONT FACE=\"Arial\"><B>Application {APPNUM}</B></FONT></P>\n",
                          {{"APPNUM", state.app->app_num}});
  if (state.foreign.empty()) {
    page += Fill(R"html(<BR>
<H4><FONT FACE="Arial" COLOR="#CC0000">No Foreign Priority data found for application {APPNUM}.</FONT></H4>
)html",
                 {{"APPNUM", state.app->app_num}});
  } else {
    std::string rows;
    for (const std::vector<std::string>& cells : state.foreign) {
      rows += "<TR>";
      for (const std::string& cell : cells) rows += "<TD>" + EscapeOrDash(cell) + "</TD>";
      rows += "</TR>\n";
    }
    page += Fill(R"html(<TABLE BORDER="1" CELLPADDING="3" CELLSPACING="0">
<TR><TD COLSPAN="3" BGCOLOR="#CCCCFF">Foreign Priority</TD></TR>
<TR><TH>Country</TH><TH>Priority</TH><TH>Priority Date</TH></TR>
{ROWS}</TABLE>
)html",
                 {{"ROWS", rows}});
  }
  return page + PageFoot();  // this script wrote bare LF throughout
}

std::string ContinuityPage(const CAppState& state) {
  std::string page = PageHead("Patent Application Information Retrieval - Continuity Data") +
                     Banner() +
                     Fill("<P><FONT FACE=\"Arial\"><B>Application {APPNUM}</B></FONT></P>\n",
                          {{"APPNUM", state.app->app_num}});
  if (state.parents.empty() && state.children.empty()) {
    page += Fill(R"html(<BR>
<P><FONT FACE="Arial">No Continuity data found for the application number {APPNUM}.</FONT></P>
)html",
                 {{"APPNUM", state.app->app_num}});
  } else {
    page += ContinuityTable("Parent Continuity Data", "Parent", state.parents) + "<BR>\n" +
            ContinuityTable("Child Continuity Data", "Child", state.children);
  }
  return ToCrLf(page + PageFoot());
}

std::string NotFoundPage(ESearch search, const std::string& number) {
  const char* kind = search == ESearch::kApplication ? "Application Number"
                     : search == ESearch::kPatent    ? "Patent Number"
                                                     : "Publication Number";
  return ToCrLf(PageHead("Patent Application Information Retrieval") + Banner() +
                Fill(R"html(<BR>
<TABLE BORDER="0" CELLPADDING="10"><TR><TD>
<FONT FACE="Arial" COLOR="#CC0000">Sorry, the entered {KIND} "{NUMBER}" was not found
in the PAIR database.</FONT>&#160;Please check the number and try again.
</TD></TR></TABLE>
)html",
                     {{"KIND", kind}, {"NUMBER", Escape(number)}}) +
                PageFoot());
}

}  // namespace larkspire::sim
