// The emulator's HTTPS front: the same service as the plain front, its limits and faults
// included, behind a certificate a client can trust by itself; and `zenlet-restemu --tls`,
// which hands that certificate out beside its address.
#include <gtest/gtest.h>
#include <httplib.h>
#include <openssl/pem.h>
#include <signal.h>

#include <chrono>
#include <memory>
#include <string>

#include "tests/restemu/emulator_fixture.h"
#include "tests/support/child_process.h"

namespace {

// A client of `address` ("https://127.0.0.1:PORT") that trusts `pem` and nothing else.
std::unique_ptr<httplib::SSLClient> TrustingClient(const std::string& address,
                                                   const std::string& pem) {
  auto client = std::make_unique<httplib::SSLClient>(
      "127.0.0.1", std::stoi(address.substr(address.rfind(':') + 1)));
  X509_STORE* store = X509_STORE_new();
  BIO* bio = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
  X509* certificate = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr);
  EXPECT_NE(certificate, nullptr);
  if (certificate != nullptr) {
    X509_STORE_add_cert(store, certificate);
    X509_free(certificate);
  }
  BIO_free(bio);
  client->set_ca_cert_store(store);  // the client owns the store from here on
  client->enable_server_certificate_verification(true);
  client->set_read_timeout(10, 0);
  return client;
}

std::string Form(CRestTestClient& signer, const std::string& method, ParamMap params = {}) {
  return FormEncode(signer.Signed(method, std::move(params)));
}

TEST(TlsFrontTest, ServesTheServiceWithThePlainFrontsLimitsAndFaults) {
  CRestEmulator emulator(ParseScenario(kTestScenario, 0));
  emulator.StartTls();
  CRestTestClient signer(1);  // signs only; nothing is sent through it
  auto client = TrustingClient(emulator.TlsAddress(), emulator.CertificatePem());

  // A form body far beyond one TLS record, and the same call as multipart.
  auto answer = client->Post(
      "/restserver.php", Form(signer, "auth.createToken", {{"padding", std::string(40000, 'p')}}),
      "application/x-www-form-urlencoded");
  ASSERT_TRUE(answer) << httplib::to_string(answer.error());
  EXPECT_EQ(CXmlAnswer(answer->body).RootName(), "auth_createToken_response") << answer->body;
  httplib::MultipartFormDataItems parts;
  for (const auto& [name, value] : signer.Signed("auth.createToken")) {
    parts.push_back({name, value, "", ""});
  }
  answer = client->Post("/restserver.php", parts);
  ASSERT_TRUE(answer);
  EXPECT_EQ(CXmlAnswer(answer->body).RootName(), "auth_createToken_response") << answer->body;

  // A chunked body past the limit is refused as a long one is.
  const std::string large(2 * 1024 * 1024, 'a');
  answer = client->Post(
      "/restserver.php",
      [&large](std::size_t offset, httplib::DataSink& sink) {
        const std::size_t piece = std::min<std::size_t>(64 * 1024, large.size() - offset);
        sink.write(large.data() + offset, piece);
        if (offset + piece == large.size()) {
          sink.done();
        }
        return true;
      },
      "application/x-www-form-urlencoded");
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 413);

  // A dropped connection reaches the client as one.
  FaultSpec drop;
  drop.strMethod = "auth.createToken";
  drop.kind = FaultKind::kDropConnection;
  emulator.InjectFault(drop);
  answer = client->Post("/restserver.php", Form(signer, "auth.createToken"),
                        "application/x-www-form-urlencoded");
  EXPECT_FALSE(answer && answer->status == 200 &&
               CXmlAnswer(answer->body).RootName() == "auth_createToken_response");

  answer = client->Get("/");
  ASSERT_TRUE(answer);
  EXPECT_NE(answer->body.find("Ada Tester"), std::string::npos);
  EXPECT_EQ(emulator.Calls().size(), 3u);
}

TEST(TlsFrontTest, TheProgramPrintsItsCertificateAndOnlyAClientTrustingItGetsIn) {
  CChildProcess program(ZENLET_RESTEMU_PROGRAM, {"--tls", "--port", "0"});
  const std::optional<std::string> address = program.ReadLine(std::chrono::seconds(20));
  ASSERT_TRUE(address);
  ASSERT_EQ(address->rfind("https://127.0.0.1:", 0), 0u) << *address;
  std::string pem;
  for (std::optional<std::string> line; (line = program.ReadLine(std::chrono::seconds(5)));) {
    pem += *line + "\n";
    if (*line == "-----END CERTIFICATE-----") {
      break;
    }
  }
  ASSERT_EQ(pem.rfind("-----BEGIN CERTIFICATE-----\n", 0), 0u) << pem;

  auto trusting = TrustingClient(*address, pem);
  auto page = trusting->Get("/_emu/state");
  ASSERT_TRUE(page) << httplib::to_string(page.error());
  EXPECT_EQ(page->status, 200);

  // Another certificate of the same names is not this one.
  CRestEmulator other(ParseScenario(kTestScenario, 0));
  other.StartTls();
  auto distrusting = TrustingClient(*address, other.CertificatePem());
  page = distrusting->Get("/_emu/state");
  ASSERT_FALSE(page);
  EXPECT_EQ(page.error(), httplib::Error::SSLServerVerification);

  program.Signal(SIGTERM);
  EXPECT_EQ(program.Wait(), 0);
}

}  // namespace
