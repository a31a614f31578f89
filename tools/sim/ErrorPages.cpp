// What came back instead of a PAIR page when something between the program and PAIR failed.
#include "Markup.h"
#include "Pages.h"

namespace larkspire::sim {

std::string ErrorPage(int number, const CSimData& data) {
  switch (number) {
    case 1:  // the USPTO/Direct proxy could not reach PAIR
      return ToCrLf(R"html(<HTML>
<HEAD><TITLE>USPTO/Direct - Proxy Error</TITLE></HEAD>
<BODY BGCOLOR="#FFFFFF">
<H3><FONT FACE="Arial">Error from client proxy on 127.0.0.1:8080</FONT></H3>
<P>The proxy could not complete the request for pair.uspto.gov:&nbsp;<B>Proxy timeout</B></P>
<P>The remote server did not answer within the time allowed.</P>
<!-- USPTO/Direct 2.1 -->
</BODY>
</HTML>
)html");
    case 2:  // the proxy refused to pass the request on
      return ToCrLf(R"html(<HTML>
<HEAD><TITLE>USPTO/Direct</TITLE></HEAD>
<BODY BGCOLOR="#FFFFFF">
<H3><FONT FACE="Arial">USPTO/Direct</FONT></H3>
<P>USPTO/Direct detected a security problem while processing a request.
The request was not sent.  Please restart USPTO/Direct and try again.</P>
</BODY>
</HTML>
)html");
    case 3:  // a lost session lands on the search page
      return SearchPage(data);
    default:  // 4: PAIR itself is down
      return R"html(<HTML>
<HEAD><TITLE>Patent Application Information Retrieval</TITLE></HEAD>
<BODY BGCOLOR="#FFFFFF">
<TABLE WIDTH="100%"><TR><TD ALIGN="center">
<H2><FONT FACE="Arial">Patent Application Information Retrieval</FONT></H2>
<P><FONT FACE="Arial" COLOR="#CC0000">Unable to connect to the PAIR database. Please try again later.</FONT></P>
</TD></TR></TABLE>
</BODY>
</HTML>
)html";
  }
}

}  // namespace larkspire::sim
