#include "tools/zenlet/outlook_session.h"

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

void EndOutlookSession(IAddinBinding& addin, CDriver& driver) {
  driver.CloseOutlook();
  addin.ShutDown();
  driver.SayBye();
}
