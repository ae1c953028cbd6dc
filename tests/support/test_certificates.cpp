#include "support/test_certificates.h"

#include <cstdlib>
#include <fstream>

namespace joincode::test_support {

TestCertificates::TestCertificates() {
  char pattern[] = "/tmp/joincode-tls-XXXXXX";
  const char* made = mkdtemp(pattern);
  if (made == nullptr)
    return;
  dir_ = made;
  std::ofstream(dir_ / "ext.cnf") << "subjectAltName=IP:127.0.0.1,DNS:localhost\n";
  const std::string commands =
      "cd '" + dir_.string() + "' && " +
      "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes "
      "-keyout ca.key -out ca.pem -days 2 -subj /CN=joincode-test-ca && "
      "openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes "
      "-keyout server.key -out server.csr -subj /CN=127.0.0.1 && "
      "openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial "
      "-out server.pem -days 2 -extfile ext.cnf";
  ok_ = std::system(("(" + commands + ") >/dev/null 2>&1").c_str()) == 0;
}

TestCertificates::~TestCertificates() {
  std::error_code ignored;
  if (!dir_.empty())
    std::filesystem::remove_all(dir_, ignored);
}

}  // namespace joincode::test_support
