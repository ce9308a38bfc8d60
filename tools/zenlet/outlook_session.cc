#include "tools/zenlet/outlook_session.h"

#include <memory>
#include <string>

void StartOutlookSession(CSimOutlook& outlook, IAddinBinding& addin, CDriver& driver,
                         int explorers) {
  // Outlook starts with one window; the others open as the user opens them, so that each
  // reaches the add-in as a new explorer (at connection it takes only the active one).
  if (explorers > 0) {
    outlook.OpenExplorer();
  }
  addin.ConnectAtStartup();
  outlook.FireStartup();
  for (int i = 1; i < explorers; ++i) {
    outlook.OpenExplorer();
  }
  driver.Start();
}

void OfferAddinSwitch(IAddinBinding& addin, CDriver::Settings* settings) {
  auto pConnected = std::make_shared<bool>(true);
  settings->disconnect = [&addin, pConnected]() -> std::string {
    if (!*pConnected) {
      return "the add-in is switched off already";
    }
    *pConnected = false;
    addin.SwitchOff();
    return std::string();
  };
  settings->connect = [&addin, pConnected]() -> std::string {
    if (*pConnected) {
      return "the add-in is switched on already";
    }
    *pConnected = true;
    addin.SwitchOn();
    return std::string();
  };
}

void EndOutlookSession(IAddinBinding& addin, CDriver& driver) {
  driver.CloseOutlook();
  addin.ShutDown();
  driver.SayBye();
}
