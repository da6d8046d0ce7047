#include "gateway/page.h"

#include "qvx/config/devices.h"
#include "qvx/config/general.h"
#include "qvx/config/store.h"
#include "qvx/config/text.h"

namespace qvx::gateway {
namespace {

struct Fields {
  const char* device;
  const char* command;
  const char* send;
};

Fields FieldNames(PageKind kind) {
  return kind == PageKind::Wap ? Fields{"devlist", "cmdlist", "sendcmd"}
                               : Fields{"DevList", "CmdList", "SendCmd"};
}

std::string Escape(std::string_view text, PageKind kind) {
  return kind == PageKind::Wap ? EscapeWml(text) : EscapeHtml(text);
}

void SendWapTemplate(CgiOutput& out) {
  out.SendLine("<template>");
  for (const char* action : {"load", "sendcmd"}) {
    const bool send = std::string_view(action) == "sendcmd";
    out.SendLine(send ? "<do type=\"accept\" name=\"sendcmd\" label=\"Send\">"
                      : "<do type=\"accept\" name=\"load\" label=\"Load\">");
    out.SendLine("<go method=\"post\" href=\"qvxwap.cgi\">");
    out.SendLine("<postfield name=\"devlist\" value=\"$(devlist)\"/>");
    out.SendLine("<postfield name=\"cmdlist\" value=\"$(cmdlist)\"/>");
    out.SendLine(send ? "<postfield name=\"sendcmd\" value=\"send\"/>"
                      : "<postfield name=\"sendcmd\" value=\"xxx\"/>");
    out.SendLine("</go></do>");
  }
  out.SendLine("</template>");
}

// Background of the web page: green for a result ending in ".", red for one ending in "!".
std::string_view ResultColour(std::string_view result) {
  const std::string_view trimmed = TrimBlanks(result);
  if (trimmed.ends_with('.')) return "#00FF00";
  if (trimmed.ends_with('!')) return "#FF0000";
  return "#FFFFFF";
}

std::string Version(const ConfigStore& store) { return store.version; }

void SendConfigurationError(CgiOutput& out, PageKind kind, const ConfigStore& store) {
  if (kind == PageKind::Wap) {
    SendPageHeader(out, kind, "");
    // A card around the text keeps the deck well-formed.
    out.SendLine("<card id=\"qvx\" title=\"Zarvel\">");
    out.SendLine("<p>");
    out.SendLine("Configuration file Error!");
    out.SendLine("</p>");
    out.SendLine("</card>");
    out.SendLine("</wml>");
  } else {
    SendPageHeader(out, kind, "Web based Infrared Sender v" + Version(store));
    out.SendLine("<b>Configuration file Error!</b><br/>");
    out.SendLine("</BODY></HTML>");
  }
}

}  // namespace

std::string EscapeWml(std::string_view text) {
  std::string escaped;
  for (const char c : text) {
    switch (c) {
      case '&': escaped += "&#38;"; break;
      case '<': escaped += "&#60;"; break;
      case '>': escaped += "&#62;"; break;
      case '"': escaped += "&#34;"; break;
      case '\'': escaped += "&#39;"; break;
      case '$': escaped += "$$"; break;
      default: escaped += c;
    }
  }
  return escaped;
}

std::string EscapeHtml(std::string_view text) {
  std::string escaped;
  for (const char c : text) {
    switch (c) {
      case '&': escaped += "&amp;"; break;
      case '<': escaped += "&lt;"; break;
      case '>': escaped += "&gt;"; break;
      case '"': escaped += "&quot;"; break;
      case '\'': escaped += "&#39;"; break;
      default: escaped += c;
    }
  }
  return escaped;
}

std::string BuildOptionList(std::string_view list, PageKind kind, std::string_view selected) {
  std::string options;
  for (const auto& item : FillListFromText(list)) {
    const std::string shown = Escape(item, kind);
    const bool isSelected = kind == PageKind::Web && EqualsIgnoreCase(item, selected);
    options += "<option value=\"" + shown + "\" " + (isSelected ? " selected>" : ">") + shown +
               "</option>\r\n";
  }
  return options;
}

void SendPageHeader(CgiOutput& out, PageKind kind, std::string_view title) {
  if (kind == PageKind::Wap) {
    out.SendLine("Content-type: text/vnd.wap.wml");
    out.SendLine("");
    out.SendLine("<?xml version=\"1.0\"?>");
    out.SendLine(
        "<!DOCTYPE wml PUBLIC \"-//WAPFORUM//DTD WML 1.1//EN\" "
        "\"http://www.wapforum.org/DTD/wml_1.1.xml\">");
    out.SendLine("<wml>");
  } else {
    out.SendLine("Content-type: text/html");
    out.SendLine("");
    out.SendLine("<HTML><HEAD><TITLE>" + std::string(title) + "</TITLE></HEAD>");
    out.SendLine("<BODY>");
  }
}

void SendErrorPage(CgiOutput& out, PageKind kind, std::string_view scriptName,
                   std::string_view description) {
  out.Restart();
  SendPageHeader(out, kind, "Internal Error");
  const std::string script = Escape(scriptName, kind);
  if (kind == PageKind::Wap) {
    // The card is opened here so that the one closed below exists.
    out.SendLine("<card id=\"error\" title=\"Internal Error\">");
    out.SendLine("<p>");
    out.SendLine("<b>Error in " + script + "</b>");
  } else {
    out.SendLine("<H1>Error in " + script + "</H1>");
  }
  out.SendLine("The following internal error has occurred:");
  out.SendLine(Escape(description, kind));
  out.SendLine("Please note what you were doing when this problem occurred, ");
  out.SendLine("so we can identify and correct it. Write down the Web page you were ");
  out.SendLine("using, any data you may have entered into a form or search box, ");
  out.SendLine("and anything else that may help us duplicate the problem.");
  out.SendLine("Then contact the administrator of this service");
  if (kind == PageKind::Wap) {
    out.SendLine("</p>");
    out.SendLine("</card>");
    out.SendLine("</wml>");
  } else {
    out.SendLine("</BODY></HTML>");
  }
  out.FlushAndCut();
}

void BuildGatewayPage(CgiOutput& out, PageKind kind, const CgiRequest& request, ConfigStore& store,
                      const CommandSender& send) {
  const Fields names = FieldNames(kind);
  const std::string device = GetFieldValue(request, names.device);
  const std::string command = GetFieldValue(request, names.command);
  const bool sendRequested = EqualsIgnoreCase(GetFieldValue(request, names.send), "send");

  const LoadResult loaded = LoadGatewayConfig(store);
  if (loaded.unreadable) throw CgiError(53, "File not found: " + store.path.string());
  if (!loaded.ok) {
    SendConfigurationError(out, kind, store);
    return;
  }
  const std::string deviceOptions =
      BuildOptionList(BuildDeviceList(store, Variant::Gateway), kind, device);
  const std::string commandOptions =
      BuildOptionList(CommandListText(store, device, Variant::Gateway), kind, command);
  const auto runSend = [&] {
    if (!sendRequested) return std::string();
    store.currentDevice = device;
    store.currentCommand = command;
    return send(store);
  };

  if (kind == PageKind::Wap) {
    SendPageHeader(out, kind, "");
    SendWapTemplate(out);
    out.SendLine("<card id=\"qvx\" title=\"Zarvel\">");
    out.SendLine("<p>");
    out.SendLine("Device:<br/>");
    out.SendLine("<select name=\"devlist\" value=\"devlist\" title=\"devlist:\">");
    out.SendLine(deviceOptions);
    out.SendLine("</select><br/>");
    out.SendLine("Command:<br/>");
    out.SendLine("<select name=\"cmdlist\" value=\"cmdlist\" title=\"cmdlist:\">");
    out.SendLine(commandOptions);
    out.SendLine("</select><br/>");
    const std::string result = runSend();
    out.SendLine("<b>" + EscapeWml(result) + "</b><br/>");
    out.SendLine("</p>");
    out.SendLine("</card>");
    out.SendLine("</wml>");
    return;
  }

  SendPageHeader(out, kind, "Web based Zarvel Sender v" + Version(store));
  out.SendLine("<form action=\"qvxweb.cgi\" method=\"post\" name=\"ProtForm\" id=\"prot_form\">");
  out.SendLine("<b>Device:</b><br>");
  out.SendLine("<select name=\"DevList\" size=\"1\" single >");
  out.SendLine(deviceOptions);
  out.SendLine("</select><br>");
  out.SendLine("<b>Command:</b><br>");
  out.SendLine("<select name=\"CmdList\" size=\"1\" single >");
  out.SendLine(commandOptions);
  out.SendLine("</select><br>");
  out.SendLine("<input name=\"LoadList\" type=\"submit\" id=\"btn_load\" value=\"Load\">");
  out.SendLine("<input name=\"SendCmd\" type=\"submit\" id=\"btn_send\" value=\"Send\"><br>");
  const std::string result = runSend();
  out.SendLine("</form>");
  out.SendLine("<b>" + EscapeHtml(result) + "</b><br/>");
  out.SendLine("<body bgcolor=\"" + std::string(ResultColour(result)) + "\">");
  out.SendLine("</BODY></HTML>");
}

void RunGateway(PageKind kind, const std::function<const char*(const char*)>& getenv,
                const std::function<std::string(std::size_t)>& readBody, CgiOutput& out,
                ConfigStore& store, const CommandSender& send) {
  CgiRequest request;
  try {
    request = ReadCgiEnvironment(getenv);
    ReadFormData(request, readBody);
    BuildGatewayPage(out, kind, request, store, send);
    out.Flush();
  } catch (const CgiError& error) {
    SendErrorPage(out, kind, request.Variable("SCRIPT_NAME"),
                  std::string(error.what()) + " Error Number = " +
                      (error.number() >= 0 ? " " : "") + std::to_string(error.number()));
  } catch (const std::exception& error) {
    SendErrorPage(out, kind, request.Variable("SCRIPT_NAME"),
                  std::string(error.what()) + " Error Number =  5");
  }
}

}  // namespace qvx::gateway
