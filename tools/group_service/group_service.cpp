#include "group_service.h"

#include <cctype>
#include <utility>

namespace joincode::tools {
namespace {

std::string KeyJson(std::string_view key) {
  return std::string(R"({"ec":0,"data":{"key":[{"key":")") + std::string(key) + R"("}]}})";
}

SampleGroup Group(std::string number, std::string key, std::string param) {
  std::string answer = KeyJson(key);
  return {std::move(number), std::move(key), std::move(param), std::move(answer)};
}

std::vector<SampleGroup> MakeSampleGroups() {
  std::vector<SampleGroup> groups = {
      Group("6986280", "5f0c9e41b7d2a86e3c15f0d9a4b7e2c8", "Xc3vQk8ZpL2sNw7TfR0yHb6MjD9uAe4G"),
      Group("20130601", "b19e4d07c6a35f28e0d7a1c94b6f3e52", "   "),
      Group("31415926", "k&v=1+2", "PiGroup+Param/With=Slashes"),
  };
  // A service that changed its answer: the key stands under another name, so no key is found.
  groups.push_back({"27182818", "", "", R"({"ec":0,"data":{"idkey":[{"value":"e2718"}]}})"});
  return groups;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

void Log(RequestLog* log, const httplib::Request& request) {
  if (log != nullptr)
    log->Add(RecordOf(request));
}

}  // namespace

const std::vector<SampleGroup>& SampleGroups() {
  static const std::vector<SampleGroup> groups = MakeSampleGroups();
  return groups;
}

std::string KeyAnswer(std::string_view number) {
  for (const SampleGroup& group : SampleGroups()) {
    if (group.number == number)
      return group.keyAnswer;
  }
  return R"({"ec":0,"data":{"key":[]}})";
}

std::string PageAnswer(std::string_view key) {
  const std::string head =
      "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>QQ "
      "group</title></head>\n<body>\n";
  for (const SampleGroup& group : SampleGroups()) {
    if (!group.key.empty() && group.key == key) {
      return head +
             "<script>\nwindow.location.href = \"tencent://groupwpa/?subcmd=all\\u0026param=" +
             group.param + "\";\n</script>\n</body></html>\n";
    }
  }
  return head + "<p>No group has this key.</p>\n</body></html>\n";
}

std::string PercentDecode(std::string_view text) {
  std::string decoded;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 &&
        HexDigit(text[i + 2]) >= 0) {
      decoded.push_back(static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2])));
      i += 2;
    } else {
      decoded.push_back(text[i]);
    }
  }
  return decoded;
}

std::string RawQueryValue(std::string_view target, std::string_view name) {
  size_t query = target.find('?');
  if (query == std::string_view::npos)
    return {};
  std::string_view rest = target.substr(query + 1);
  while (!rest.empty()) {
    size_t end = rest.find('&');
    std::string_view pair = rest.substr(0, end);
    if (pair.size() > name.size() && pair.substr(0, name.size()) == name &&
        pair[name.size()] == '=') {
      return std::string(pair.substr(name.size() + 1));
    }
    if (end == std::string_view::npos)
      break;
    rest = rest.substr(end + 1);
  }
  return {};
}

void RequestLog::Add(RequestRecord record) {
  std::lock_guard<std::mutex> lock(mutex_);
  records_.push_back(std::move(record));
}

std::vector<RequestRecord> RequestLog::Records() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return records_;
}

void RequestLog::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  records_.clear();
}

RequestRecord RecordOf(const httplib::Request& request) {
  RequestRecord record{request.method, request.target, request.version, {}, request.body};
  for (const auto& [name, value] : request.headers) {
    // The server files the peer's and its own address among the headers; they never crossed the
    // wire.
    if (name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" ||
        name == "LOCAL_PORT") {
      continue;
    }
    record.headerLines.push_back(name + ": " + value);
  }
  return record;
}

void AddGroupServiceRoutes(httplib::Server& server, RequestLog* log) {
  server.Get("/wpa/g_wpa_get", [log](const httplib::Request& request, httplib::Response& response) {
    Log(log, request);
    // The number arrives bracketed and escaped, "%5B6986280%5D"; without brackets it names no
    // group.
    std::string guin = PercentDecode(RawQueryValue(request.target, "guin"));
    std::string number;
    if (guin.size() >= 2 && guin.front() == '[' && guin.back() == ']') {
      number = guin.substr(1, guin.size() - 2);
    }
    response.set_content(KeyAnswer(number), "application/json");
  });
  server.Get("/wpa/qunwpa", [log](const httplib::Request& request, httplib::Response& response) {
    Log(log, request);
    // The key comes unescaped and may hold "&" or "=": it is the whole rest of the query.
    std::string_view target = request.target;
    size_t at = target.find("?idkey=");
    std::string key = at == std::string_view::npos ? "" : std::string(target.substr(at + 7));
    response.set_content(PageAnswer(key), "text/html; charset=utf-8");
  });
}

}  // namespace joincode::tools
