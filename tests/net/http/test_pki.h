#pragma once
// Certificates made at test time: a private CA and server certificates it
// signs, written as PEM files into a temporary folder that is removed again.
#include <string>

namespace quillet::test {

struct ServerCertificate {
  std::string certFile;
  std::string keyFile;
};

class TestPki {
 public:
  TestPki();  // creates the folder and the CA
  ~TestPki();
  TestPki(const TestPki&) = delete;
  TestPki& operator=(const TestPki&) = delete;

  const std::string& CaFile() const { return caFile_; }
  // A server certificate signed by this CA for the subject alternative names
  // given in OpenSSL's form ("IP:127.0.0.1,DNS:localhost"), valid from
  // `validFromDays` to `validToDays` days from now.
  ServerCertificate Issue(const std::string& name, const std::string& altNames, int validFromDays = -1,
                          int validToDays = 30);

 private:
  std::string folder_;
  std::string caFile_;
  void* caKey_ = nullptr;   // EVP_PKEY
  void* caCert_ = nullptr;  // X509
};

}  // namespace quillet::test
