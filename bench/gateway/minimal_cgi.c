// The smallest CGI program the web remote can be compared with: it writes a fixed page of the
// same size and shape as the first page of qvxweb.cgi, and nothing else.
#include <stdio.h>

static const char kPage[] =
    "Content-type: text/html\r\n"
    "\r\n"
    "<HTML><HEAD><TITLE>Web based Zarvel Sender v1.0.0</TITLE></HEAD>\r\n"
    "<BODY>\r\n"
    "<form action=\"qvxweb.cgi\" method=\"post\" name=\"ProtForm\" id=\"prot_form\">\r\n"
    "<b>Device:</b><br>\r\n"
    "<select name=\"DevList\" size=\"1\" single >\r\n"
    "<option value=\"TV\" >TV</option>\r\n"
    "<option value=\"VCR\" >VCR</option>\r\n"
    "<option value=\"Amp\" >Amp</option>\r\n"
    "<option value=\"X10&amp;Lamp\" >X10&amp;Lamp</option>\r\n"
    "<option value=\"X10&amp;Heater\" >X10&amp;Heater</option>\r\n"
    "<option value=\"Winamp\" >Winamp</option>\r\n"
    "<option value=\"Application\" >Application</option>\r\n"
    "<option value=\"IR Dimmer\" >IR Dimmer</option>\r\n"
    "\r\n"
    "</select><br>\r\n"
    "<b>Command:</b><br>\r\n"
    "<select name=\"CmdList\" size=\"1\" single >\r\n"
    "<option value=\"none\" >none</option>\r\n"
    "\r\n"
    "</select><br>\r\n"
    "<input name=\"LoadList\" type=\"submit\" id=\"btn_load\" value=\"Load\">\r\n"
    "<input name=\"SendCmd\" type=\"submit\" id=\"btn_send\" value=\"Send\"><br>\r\n"
    "</form>\r\n"
    "<b></b><br/>\r\n"
    "<body bgcolor=\"#FFFFFF\">\r\n"
    "</BODY></HTML>\r\n";

int main(void) {
  fwrite(kPage, 1, sizeof kPage - 1, stdout);
  return 0;
}
