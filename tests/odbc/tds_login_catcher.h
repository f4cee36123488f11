#pragma once

#include <cstdint>
#include <string>
#include <thread>

namespace leafward::testing {

// What a TDS 7 client sent in its login record.
struct CaughtLogin {
  bool received = false;
  std::string user;
  std::string password;
  std::string application;
  std::string server;
  std::string database;
};

// Plays the first steps of a SQL Server on 127.0.0.1: answers the pre-login without
// encryption, reads the login record that follows and hangs up. It shows what a driver really
// sends for a connection string.
class TdsLoginCatcher {
 public:
  TdsLoginCatcher();
  ~TdsLoginCatcher();
  TdsLoginCatcher(const TdsLoginCatcher&) = delete;
  TdsLoginCatcher& operator=(const TdsLoginCatcher&) = delete;

  std::uint16_t port() const { return port_; }
  // Waits for the exchange to end (at most a few seconds).
  CaughtLogin login();

 private:
  void serve();
  std::uint16_t port_ = 0;  // set by the listener's creation, so declared before it
  int listener_ = -1;
  CaughtLogin login_;
  std::thread thread_;
};

}  // namespace leafward::testing
