#include "dataaccess/jet/jet_session.h"

#include "dataaccess/errors.h"

namespace leafward::jet {

std::unique_ptr<dataaccess::Session> openJetSession(const std::string&) {
  throw dataaccess::DataAccessError("Access files are not supported yet");
}

}  // namespace leafward::jet
