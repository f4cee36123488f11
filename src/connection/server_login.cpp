#include "connection/server_login.h"

#include "connection/server_connection_string.h"

namespace leafward::connection {

using dataaccess::kAdStateClosed;
using dataaccess::kAdStateOpen;

bool openServerConnection(ServerLink& link, const ServerLogin& login, OnFailure rule) {
  runStep(rule, [&] {
    link.strConn = serverConnectionString(
        login.password, login.server,
        login.database ? std::optional<std::string_view>(*login.database) : std::nullopt);
  });
  runStep(rule, [&] {
    if (link.cnData.state() == kAdStateOpen) link.cnData.close();
  });
  runStep(rule, [&] { link.open(link.cnData, link.strConn); });
  return link.cnData.state() == kAdStateOpen;
}

bool listAccountSets(ServerLink& link, OnFailure rule, const std::function<void()>& listOpened,
                     const std::function<void(const std::string&)>& take) {
  runStep(rule, [&] { link.strSQL = kAccountSetQuery; });
  // The query's rows arrive in a recordset of their own, which becomes the shared one.
  runStep(rule, [&] {
    link.rsData = std::make_shared<dataaccess::Recordset>();
    link.rsData->open(link.strSQL, link.cnData, -1, -1, -1);
  });
  if (!link.rsData || link.rsData->state() == kAdStateClosed) return false;
  if (listOpened) runStep(rule, listOpened);
  for (;;) {
    bool atEnd = true;
    // An end test that cannot be evaluated ends the list rather than looping for ever.
    if (!runStep(rule, [&] { atEnd = link.rsData->eof(); }) || atEnd) break;
    runStep(rule, [&] { take(link.rsData->field("name").toText()); });
    if (!runStep(rule, [&] { link.rsData->moveNext(); })) break;
  }
  runStep(rule, [&] { link.rsData->close(); });
  return true;
}

}  // namespace leafward::connection
