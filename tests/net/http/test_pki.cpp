#include "test_pki.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace quillet::test {
namespace {

EVP_PKEY* NewKey() {
  EVP_PKEY* key = EVP_EC_gen("P-256");
  if (key == nullptr) throw std::runtime_error("EC key generation failed");
  return key;
}

void AddExtension(X509* cert, X509* issuer, int nid, const char* value) {
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, issuer, cert, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
  if (extension == nullptr) throw std::runtime_error("bad certificate extension");
  X509_add_ext(cert, extension, -1);
  X509_EXTENSION_free(extension);
}

X509* NewCertificate(EVP_PKEY* key, const std::string& commonName, long serial, int validFromDays, int validToDays) {
  X509* cert = X509_new();
  X509_set_version(cert, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(cert), serial);
  X509_gmtime_adj(X509_getm_notBefore(cert), static_cast<long>(validFromDays) * 86400);
  X509_gmtime_adj(X509_getm_notAfter(cert), static_cast<long>(validToDays) * 86400);
  X509_set_pubkey(cert, key);
  X509_NAME_add_entry_by_txt(X509_get_subject_name(cert), "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>(commonName.c_str()), -1, -1, 0);
  return cert;
}

void WritePem(const std::string& path, X509* cert, EVP_PKEY* key) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) throw std::runtime_error("cannot write " + path);
  const bool ok = cert != nullptr ? PEM_write_X509(file, cert) == 1
                                  : PEM_write_PrivateKey(file, key, nullptr, nullptr, 0, nullptr, nullptr) == 1;
  std::fclose(file);
  if (!ok) throw std::runtime_error("cannot write " + path);
}

}  // namespace

TestPki::TestPki() {
  std::string pattern = (std::filesystem::temp_directory_path() / "quillet-pki-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  folder_ = pattern;
  caFile_ = folder_ + "/ca.pem";

  EVP_PKEY* key = NewKey();
  // A unique name per CA, so that two test CAs are never mistaken for each other.
  X509* cert = NewCertificate(key, "Quillet Test CA " + folder_.substr(folder_.size() - 6), 1, -1, 30);
  X509_set_issuer_name(cert, X509_get_subject_name(cert));
  AddExtension(cert, cert, NID_basic_constraints, "critical,CA:TRUE");
  AddExtension(cert, cert, NID_key_usage, "critical,keyCertSign,cRLSign");
  AddExtension(cert, cert, NID_subject_key_identifier, "hash");
  X509_sign(cert, key, EVP_sha256());
  WritePem(caFile_, cert, nullptr);
  caKey_ = key;
  caCert_ = cert;
}

TestPki::~TestPki() {
  X509_free(static_cast<X509*>(caCert_));
  EVP_PKEY_free(static_cast<EVP_PKEY*>(caKey_));
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

ServerCertificate TestPki::Issue(const std::string& name, const std::string& altNames, int validFromDays,
                                 int validToDays) {
  static long serial = 100;
  auto* caCert = static_cast<X509*>(caCert_);
  EVP_PKEY* key = NewKey();
  X509* cert = NewCertificate(key, name, ++serial, validFromDays, validToDays);
  X509_set_issuer_name(cert, X509_get_subject_name(caCert));
  AddExtension(cert, caCert, NID_basic_constraints, "critical,CA:FALSE");
  AddExtension(cert, caCert, NID_key_usage, "critical,digitalSignature");
  AddExtension(cert, caCert, NID_ext_key_usage, "serverAuth");
  AddExtension(cert, caCert, NID_subject_key_identifier, "hash");
  AddExtension(cert, caCert, NID_authority_key_identifier, "keyid:always");
  AddExtension(cert, caCert, NID_subject_alt_name, altNames.c_str());
  X509_sign(cert, static_cast<EVP_PKEY*>(caKey_), EVP_sha256());

  ServerCertificate files{folder_ + "/" + name + ".pem", folder_ + "/" + name + ".key"};
  WritePem(files.certFile, cert, nullptr);
  WritePem(files.keyFile, nullptr, key);
  X509_free(cert);
  EVP_PKEY_free(key);
  return files;
}

}  // namespace quillet::test
