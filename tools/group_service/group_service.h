// A small stand-in for the QQ group-contact service, so that the program can be shown and tested
// without the internet. It knows a few sample groups and answers the two requests of a Generate
// click: the key request and the contact-page request.
//
//   httplib::Server server;
//   joincode::tools::RequestLog log;
//   joincode::tools::AddGroupServiceRoutes(server, &log);
//   int port = server.bind_to_any_port("127.0.0.1");  // then server.listen_after_bind()
//   // GET /wpa/g_wpa_get?guin=%5B6986280%5D&_=1370516986390 ->
//   {"ec":0,"data":{"key":[{"key":...}]}}
#pragma once

#include <httplib.h>

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace joincode::tools {

// One group the service knows. `keyAnswer` is the whole body of its key request; `param` is what
// its contact page carries after "\u0026param=".
struct SampleGroup {
  std::string number;
  std::string key;
  std::string param;
  std::string keyAnswer;
};

// The sample groups: 6986280 (the window's default), a group whose param is only spaces, one
// whose key holds reserved URL characters, and one whose key answer lacks the key markers.
const std::vector<SampleGroup>& SampleGroups();

// The key answer for the group number `number`: the group's JSON text, or an empty key list when
// the group is unknown.
std::string KeyAnswer(std::string_view number);

// The contact page for `key`: an HTML page whose script holds "\u0026param=" + param + "\";", or a
// page without a param when no group has that key.
std::string PageAnswer(std::string_view key);

// Decodes %XX escapes (either case of hex digits); a "%" not followed by two hex digits stays as it
// is, and "+" stays "+".
std::string PercentDecode(std::string_view text);

// The raw value of `name` in the query of `target` (everything after "name=" up to the next "&",
// or to the end for the last parameter), not decoded; empty when the parameter is missing.
std::string RawQueryValue(std::string_view target, std::string_view name);

// What one request brought: its request line and its header lines as "Name: value".
struct RequestRecord {
  std::string method;
  std::string target;
  std::string version;
  std::vector<std::string> headerLines;
  std::string body;

  std::string RequestLine() const { return method + " " + target + " " + version; }
};

// The requests the service has received, in order; safe to read while the server runs.
class RequestLog {
 public:
  void Add(RequestRecord record);
  std::vector<RequestRecord> Records() const;
  void Clear();

 private:
  mutable std::mutex mutex_;
  std::vector<RequestRecord> records_;
};

// The record of `request` as it arrived (header lines in the order the server keeps them, which
// sorts them by name; the connection details the server adds itself are left out).
RequestRecord RecordOf(const httplib::Request& request);

// Installs the two routes on `server`; each request is added to `log` when it is not null.
void AddGroupServiceRoutes(httplib::Server& server, RequestLog* log);

}  // namespace joincode::tools
