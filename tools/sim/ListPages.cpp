// The customer-number search: the search page with its selector and the result pages.
#include <algorithm>

#include "Markup.h"
#include "Pages.h"
#include "SimDate.h"

namespace larkspire::sim {
namespace {

std::string MissingPage(const std::string& customer) {
  return PageHead("PAIR - Customer Number Search") + Banner() +
         Fill(R"html(<BR>
<P><FONT FACE="Arial" COLOR="#CC0000">Sorry, there are no applications associated with customer number {CUSTOMER}.</FONT></P>
<P><A HREF="/cgi-bin/final/home.pl">Back to the search page</A></P>
)html",
              {{"CUSTOMER", Escape(customer)}}) +
         PageFoot();
}

// The index of result sets: one numbered line per set, the current one in bold.
std::string ResultSetIndex(const std::string& customer, int current, int count, int total,
                           int page_size) {
  std::string rows;
  for (int set = 1; set <= count; ++set) {
    const int first = (set - 1) * page_size + 1;
    const int last = std::min(total, set * page_size);
    const std::string range = "Results " + std::to_string(first) + " - " + std::to_string(last);
    rows += Fill(
        "\t<TR><TD ALIGN=\"right\"><FONT SIZE=\"-1\">{SET}:</FONT></TD>\n\t\t<TD "
        "NOWRAP>{LINK}</TD></TR>\n",
        {{"SET", std::to_string(set)},
         {"LINK", set == current ? "<B>" + range + "</B>"
                                 : "<A HREF=\"javascript:showSet(" + std::to_string(set) + ")\">" +
                                       range + "</A>"}});
  }
  return Fill(R"html(	<TABLE BORDER="0" CELLPADDING="2" CELLSPACING="0">
	<TR><TD COLSPAN="2" BGCOLOR="#CCCCFF"><FONT FACE="Arial" SIZE="-1"><STRONG>Customer Number {CUSTOMER}<BR>
		Sorted by Application No. Descending</STRONG></FONT></TD></TR>
{ROWS}	</TABLE>
)html",
              {{"CUSTOMER", Escape(customer)}, {"ROWS", rows}});
}

}  // namespace

std::string SearchPage(const CSimData& data) {
  std::string options;
  for (const CSimCustomer& customer : data.customers) {
    options += Fill("\t\t<OPTION VALUE=\"{NUMBER}\"{SELECTED}>{NUMBER}->{NAME}</OPTION>\n",
                    {{"NUMBER", Escape(customer.number)},
                     {"SELECTED", &customer == &data.customers.front() ? " SELECTED" : ""},
                     {"NAME", Escape(customer.name)}});
  }
  return ToCrLf(
      PageHead("Patent Application Information Retrieval") + Banner() +
      Fill(R"html(<FORM NAME="pairsearch" METHOD="POST" ACTION="/cgi-bin/final/pairsearch.pl">
<INPUT TYPE="hidden" NAME="USERCODE" VALUE="123">
<P><FONT FACE="Arial" COLOR="#CC0000">Please choose the search method</FONT>, enter the number and press SEARCH.</P>
<TABLE BORDER="0" CELLPADDING="4" CELLSPACING="0">
<TR>
	<TD><INPUT TYPE="radio" NAME="searchtype" VALUE="application" CHECKED>&nbsp;Application Number</TD>
	<TD><INPUT TYPE="text" NAME="ApplicationNumber" SIZE="12" MAXLENGTH="12"></TD>
</TR>
<TR>
	<TD><INPUT TYPE="radio" NAME="searchtype" VALUE="patent">&nbsp;Patent Number</TD>
	<TD><INPUT TYPE="text" NAME="patentnumber" SIZE="12" MAXLENGTH="12"></TD>
</TR>
<TR>
	<TD><INPUT TYPE="radio" NAME="searchtype" VALUE="publication">&nbsp;Publication Number</TD>
	<TD><INPUT TYPE="text" NAME="publicationnumber" SIZE="20" MAXLENGTH="20"></TD>
</TR>
<TR><TD COLSPAN="2" ALIGN="center"><INPUT TYPE="submit" NAME="numbersearch" VALUE="SEARCH"></TD></TR>
</TABLE>
<!-- customer number search -->
<TABLE BORDER="0" CELLPADDING="4" CELLSPACING="0">
<TR><TD COLSPAN="3"><FONT FACE="Arial"><B>Search by customer number:</B></FONT></TD></TR>
<TR>
	<TD>Sort by:&nbsp;<SELECT NAME="sortby">
		<OPTION VALUE="application" SELECTED>Application Number
		<OPTION VALUE="filing">Filing Date
	</SELECT></TD>
	<TD><SELECT NAME="customernumber" SIZE="1">
{OPTIONS}	</SELECT></TD>
	<TD><INPUT TYPE="submit" NAME="customersearch" VALUE="SEARCH"></TD>
</TR>
</TABLE>
</FORM>
)html",
           {{"OPTIONS", options}}) +
      PageFoot());
}

int ResultSetCount(const CSimData& data, const std::string& customer, int day) {
  const int total = static_cast<int>(CustomerApplications(data, customer, day).size());
  return (total + data.page_size - 1) / data.page_size;
}

std::string ResultPage(const CSimData& data, const std::string& customer, int result_set, int day) {
  const std::vector<CAppState> states = CustomerApplications(data, customer, day);
  const int total = static_cast<int>(states.size());
  const int count = (total + data.page_size - 1) / data.page_size;
  if (result_set < 1 || result_set > count) return MissingPage(customer);
  std::string rows;
  const int first = (result_set - 1) * data.page_size;
  for (int i = first; i < std::min(total, first + data.page_size); ++i) {
    const CAppState& state = states[i];
    rows += Fill(R"html(	<TR>
		<TD><A HREF="/cgi-bin/final/cusnum.pl?USERCODE=123&amp;ApplicationNumber={DIGITS}">{APPNUM}</A></TD>
		<TD>{PATNUM}</TD>
		<TD NOWRAP>{PUBNUM}</TD>
		<TD>{DOCKET}</TD>
		<TD ALIGN="center">{FILED}</TD>
		<TD>{STATUS}</TD>
	</TR>
)html",
                 {{"DIGITS", state.app->digits},
                  {"APPNUM", state.app->app_num},
                  {"PATNUM", state.pat_num.empty() ? "&nbsp;" : Escape(state.pat_num)},
                  {"PUBNUM", EscapeOrDash(state.pub_num)},
                  {"DOCKET", EscapeOrDash(state.docket)},
                  {"FILED", FormatSiteDate(state.app->filed)},
                  {"STATUS", EscapeOrDash(state.status)}});
  }
  return PageHead("PAIR - Customer Number " + customer) + Banner() +
         Fill(R"html(<TABLE WIDTH="100%" BORDER="0" CELLPADDING="0" CELLSPACING="0">
<TR>
<TD VALIGN="top" WIDTH="170">
{INDEX}</TD>
<TD VALIGN="top">
	<TABLE BORDER="1" CELLPADDING="3" CELLSPACING="0" WIDTH="100%">
	<TR BGCOLOR="#CCCCFF">
		<TD><A HREF="javascript:sortBy('application')">Application<BR>Number</A></TD>
		<TD>Patent<BR>Number</TD>
		<TD>Publication<BR>Number</TD>
		<TD>Attorney Docket<BR>Number</TD>
		<TD>Filing or 371(c)<BR>Date</TD>
		<TD>Status</TD>
	</TR>
{ROWS}	</TABLE>
</TD>
</TR>
</TABLE>
)html",
              {{"INDEX", ResultSetIndex(customer, result_set, count, total, data.page_size)},
               {"ROWS", rows}}) +
         PageFoot();
}

}  // namespace larkspire::sim
