// A throw-away certificate authority and a server certificate for 127.0.0.1 and localhost, made
// with the openssl command line in a temporary folder that goes away with the object.
//
//   TestCertificates certificates;
//   httplib::SSLServer server(certificates.File("server.pem").c_str(),
//                             certificates.File("server.key").c_str());
//   limits.testCaFile = certificates.File("ca.pem");
#pragma once

#include <filesystem>
#include <string>

namespace joincode::test_support {

class TestCertificates {
 public:
  TestCertificates();
  ~TestCertificates();
  TestCertificates(const TestCertificates&) = delete;
  TestCertificates& operator=(const TestCertificates&) = delete;

  // False when openssl could not make them; tests then fail with a clear message.
  [[nodiscard]] bool ok() const { return ok_; }
  // "ca.pem", "server.pem" or "server.key".
  [[nodiscard]] std::string File(const char* name) const { return (dir_ / name).string(); }

 private:
  std::filesystem::path dir_;
  bool ok_ = false;
};

}  // namespace joincode::test_support
