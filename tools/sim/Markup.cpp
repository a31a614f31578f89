#include "Markup.h"

namespace larkspire::sim {

std::string Escape(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '&') {
      out += "&amp;";
    } else if (c == '<') {
      out += "&lt;";
    } else if (c == '>') {
      out += "&gt;";
    } else {
      out += c;
    }
  }
  return out;
}

std::string EscapeOrDash(std::string_view text) { return text.empty() ? "-" : Escape(text); }

std::string Fill(std::string_view templ,
                 std::initializer_list<std::pair<std::string_view, std::string>> values) {
  std::string out;
  size_t pos = 0;
  while (pos < templ.size()) {
    const size_t open = templ.find('{', pos);
    const size_t close = open == std::string_view::npos ? open : templ.find('}', open);
    if (close == std::string_view::npos) break;
    const std::string_view name = templ.substr(open + 1, close - open - 1);
    const std::pair<std::string_view, std::string>* value = nullptr;
    for (const auto& candidate : values) {
      if (candidate.first == name) value = &candidate;
    }
    out.append(templ.substr(pos, open - pos));
    if (value) {
      out += value->second;
    } else {
      out.append(templ.substr(open, close - open + 1));  // a brace of script or style text
    }
    pos = close + 1;
  }
  out.append(templ.substr(pos));
  return out;
}

std::string ToCrLf(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    out += text[i];
  }
  return out;
}

std::string Collapse(std::string_view text) {
  std::string out;
  bool pending_space = false;
  for (char c : text) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      pending_space = !out.empty();
    } else {
      if (pending_space) out += ' ';
      pending_space = false;
      out += c;
    }
  }
  return out;
}

std::string PageHead(std::string_view title) {
  return Fill(R"html(<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.01 Transitional//EN">
<HTML>
<HEAD>
<TITLE>{TITLE}</TITLE>
<META HTTP-EQUIV="Content-Type" CONTENT="text/html; charset=iso-8859-1">
<META HTTP-EQUIV="Pragma" CONTENT="no-cache">
<STYLE TYPE="text/css">
<!--
  TD.lbl { font-family: Arial, Helvetica; font-size: 10pt; font-weight: bold; text-align: right }
  TD.val { font-family: Arial, Helvetica; font-size: 10pt }
  TH     { font-family: Arial, Helvetica; font-size: 9pt; background-color: #CCCCFF }
-->
</STYLE>
<SCRIPT LANGUAGE="JavaScript">
<!--
function openHelp(topic) {
	window.open("/pair/help/" + topic + ".html", "help", "width=480,height=360,scrollbars=yes");
}
//-->
</SCRIPT>
</HEAD>
)html",
              {{"TITLE", Escape(title)}});
}

std::string Banner() {
  return R"html(<BODY BGCOLOR="#FFFFFF" TEXT="#000000" LINK="#0000CC" VLINK="#660099" onLoad="self.focus()">
<!-- ================= banner ================= -->
<TABLE WIDTH="100%" BORDER="0" CELLSPACING="0" CELLPADDING="0">
<TR>
	<TD BGCOLOR="#003366" WIDTH="110"><A HREF="http://www.uspto.gov/"><IMG SRC="/images/pair/uspto_seal.gif" WIDTH="100" HEIGHT="60" BORDER="0" ALT="USPTO"></A></TD>
	<TD BGCOLOR="#003366" VALIGN="middle"><FONT FACE="Arial, Helvetica" SIZE="+1" COLOR="#FFFFFF">Patent Application Information Retrieval</FONT></TD>
	<td bgcolor="#003366" align="right"><a href="/cgi-bin/final/home.pl"><font face="Arial" size="-1" color="#FFFFFF">New Search</font></a>&nbsp;&nbsp;</td>
</TR>
</TABLE>
<!-- ================= end banner ================= -->
)html";
}

std::string PageFoot() {
  return R"html(<BR CLEAR="all" />
<HR SIZE="1" NOSHADE>
<P><FONT FACE="Arial" SIZE="-2">If you need help accessing PAIR, contact the
Electronic Business Center (EBC) at 1-866-217-9197 or <A HREF="mailto:ebc@uspto.gov">ebc@uspto.gov</A>.</FONT></P>
</BODY>
</HTML>
)html";
}

}  // namespace larkspire::sim
