// A first start of the add-in for the restart test: wired as the Linux host wires itself
// (the SQLite registry and the AES-GCM protector in the user's settings folder, libcurl,
// libxml2), it logs in to the emulated service on PORT through the browser pages and stores
// the session as closing an explorer window does, then exits.
//
//   zenlet_log_in_once PORT
#include <cstdio>
#include <cstdlib>

#include "platform/openssl/aes_gcm_data_protector.h"
#include "platform/platform.h"
#include "platform/sqlite/sqlite_registry.h"
#include "settings/options.h"
#include "settings/session_store.h"
#include "tests/integration/emulated_service.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: zenlet_log_in_once PORT\n", stderr);
    return 64;
  }
  CSqliteRegistry registry(CSqliteRegistry::DefaultPath(), GetLogger("opt"));
  CAesGcmDataProtector protector(CAesGcmDataProtector::DefaultKeyPath(), GetLogger("opt"));
  Platform platform;
  platform.pRegistry = &registry;
  platform.pProtector = &protector;
  SetPlatform(platform);

  CCurlHttpTransport transport;
  CLibxml2Parser parser;
  CPosixClock clock;
  CFacebookClient client(EmulatorDeployment(std::atoi(argv[1])), transport, parser, clock,
                         GetLogger("fap"));
  if (!LogInThroughTheBrowser(client, std::atoi(argv[1]))) {
    std::fputs("login failed\n", stderr);
    return 1;
  }
  SaveSessionToOptions(client, *GetOptions());
  return GetOptions()->Save() == kRegOk ? 0 : 2;
}
