// A first start of the add-in for the restart test: wired with the Linux adapters (the
// settings store and its protection in the user's settings folder among them), it logs in to the
// emulated service on PORT through the browser pages and stores the session as closing an explorer
// window does, then exits.
//
//   zenlet_log_in_once PORT
#include <cstdio>
#include <cstdlib>

#include "common/process_instance.h"
#include "platform/platform.h"
#include "platform/posix/posix_platform.h"
#include "settings/options.h"
#include "settings/session_store.h"
#include "tests/integration/emulated_service.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: zenlet_log_in_once PORT\n", stderr);
    return 64;
  }
  CPosixPlatform posix;
  const Platform platform = posix.Bundle();
  SetPlatform(platform);
  CFBOpts options(platform.pRegistry, platform.pProtector, &GetLogger("opt"));
  CProcessInstance<CFBOpts> wiring(options);

  CFacebookClient client(EmulatorDeployment(std::atoi(argv[1])), *platform.pHttp, *platform.pXml,
                         *platform.pClock, GetLogger("fap"));
  if (!LogInThroughTheBrowser(client, std::atoi(argv[1]))) {
    std::fputs("login failed\n", stderr);
    return 1;
  }
  SaveSessionToOptions(client, *GetOptions());
  return GetOptions()->Save() == kRegOk ? 0 : 2;
}
