#include "tools/restemu/self_signed_certificate.h"

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>
#include <stdexcept>

namespace {

constexpr long kValidDays = 365;
constexpr long kHourSeconds = 60 * 60;

void Require(bool ok, const char* what) {
  if (!ok) {
    throw std::runtime_error(std::string("the certificate could not be made: ") + what);
  }
}

template <typename T, void (*Free)(T*)>
struct Freer {
  void operator()(T* object) const { Free(object); }
};
using BignumPtr = std::unique_ptr<BIGNUM, Freer<BIGNUM, BN_free>>;
using OctetsPtr =
    std::unique_ptr<ASN1_OCTET_STRING, Freer<ASN1_OCTET_STRING, ASN1_OCTET_STRING_free>>;

void FreeBio(BIO* bio) {
  BIO_free(bio);
}
using BioPtr = std::unique_ptr<BIO, Freer<BIO, FreeBio>>;

// One extension in OpenSSL's configuration syntax ("critical,CA:TRUE").
void AddExtension(X509* certificate, int nid, const std::string& value) {
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str());
  Require(extension != nullptr && X509_add_ext(certificate, extension, -1) == 1, "extension");
  X509_EXTENSION_free(extension);
}

}  // namespace

CSelfSignedCertificate::CSelfSignedCertificate(const std::vector<std::string>& hosts) {
  Require(!hosts.empty(), "no host to name");
  // An elliptic-curve key: made in a moment, where an RSA key of like strength takes a
  // noticeable part of a second at every start.
  m_pKey = EVP_EC_gen("P-256");
  m_pCertificate = X509_new();
  try {
    Require(m_pKey != nullptr && m_pCertificate != nullptr, "key");
    X509* certificate = m_pCertificate;
    Require(X509_set_version(certificate, 2) == 1, "version");
    // A random serial, so that a client never takes two of these for the same certificate.
    const BignumPtr serial(BN_new());
    Require(serial != nullptr &&
                BN_rand(serial.get(), 64, BN_RAND_TOP_ONE, BN_RAND_BOTTOM_ANY) == 1 &&
                BN_to_ASN1_INTEGER(serial.get(), X509_get_serialNumber(certificate)) != nullptr,
            "serial number");
    Require(X509_gmtime_adj(X509_getm_notBefore(certificate), -kHourSeconds) != nullptr &&
                X509_gmtime_adj(X509_getm_notAfter(certificate), kValidDays * 24 * kHourSeconds) !=
                    nullptr,
            "validity");
    X509_NAME* name = X509_get_subject_name(certificate);
    const auto* commonName = reinterpret_cast<const unsigned char*>(hosts.front().c_str());
    Require(X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC,
                                       reinterpret_cast<const unsigned char*>("Zenlet emulator"),
                                       -1, -1, 0) == 1 &&
                X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, commonName, -1, -1, 0) == 1 &&
                X509_set_issuer_name(certificate, name) == 1,
            "name");
    Require(X509_set_pubkey(certificate, m_pKey) == 1, "public key");

    std::string alternativeNames;
    for (const std::string& host : hosts) {
      if (!alternativeNames.empty()) {
        alternativeNames += ",";
      }
      if (OctetsPtr(a2i_IPADDRESS(host.c_str())) != nullptr) {
        alternativeNames += "IP:" + host + ",";
      }
      alternativeNames += "DNS:" + host;
    }
    // A certificate that is its own root: it may sign (itself), and it serves TLS.
    AddExtension(certificate, NID_basic_constraints, "critical,CA:TRUE");
    AddExtension(certificate, NID_key_usage, "critical,digitalSignature,keyCertSign");
    AddExtension(certificate, NID_ext_key_usage, "serverAuth");
    AddExtension(certificate, NID_subject_key_identifier, "hash");
    AddExtension(certificate, NID_subject_alt_name, alternativeNames);
    Require(X509_sign(certificate, m_pKey, EVP_sha256()) > 0, "signature");

    const BioPtr pem(BIO_new(BIO_s_mem()));
    Require(pem != nullptr && PEM_write_bio_X509(pem.get(), certificate) == 1, "PEM");
    char* data = nullptr;
    const long size = BIO_get_mem_data(pem.get(), &data);
    m_strPem.assign(data, static_cast<std::size_t>(size));
  } catch (...) {
    X509_free(m_pCertificate);
    EVP_PKEY_free(m_pKey);
    throw;
  }
}

CSelfSignedCertificate::~CSelfSignedCertificate() {
  X509_free(m_pCertificate);
  EVP_PKEY_free(m_pKey);
}

const std::vector<std::string>& LoopbackHosts() {
  static const std::vector<std::string> hosts = {"127.0.0.1", "localhost"};
  return hosts;
}
