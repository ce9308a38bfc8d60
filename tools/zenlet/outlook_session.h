// Outlook's life with the add-in, as the zenlet program and the COM test Outlook both run it:
// one driver, two ways to bind the add-in to the simulated Outlook. Linked in (the zenlet
// program on Linux) the add-in's module is part of the program and the simulation is its
// platform; through COM (tools/com_outlook, Windows) zenlet.dll is created by its ProgID and
// reaches the simulation only as automation objects.
//
// Threading: Outlook's main thread, the simulation's.
#pragma once

#include "platform/sim/sim_outlook.h"
#include "tools/zenlet/driver.h"

// IDTExtensibility2's modes, as Outlook passes them: loaded as Outlook starts or later from
// the COM Add-ins dialog, unloaded as Outlook shuts down or from that dialog.
inline constexpr int kConnectAtStartup = 1;      // ext_cm_Startup
inline constexpr int kConnectAfterStartup = 0;   // ext_cm_AfterStartup
inline constexpr int kDisconnectAtShutdown = 0;  // ext_dm_HostShutdown
inline constexpr int kDisconnectByUser = 1;      // ext_dm_UserClosed

class IAddinBinding {
 public:
  virtual ~IAddinBinding() = default;
  // Outlook starts: OnConnection(ext_cm_Startup) with the simulation's Application and an
  // add-in instance, then OnStartupComplete.
  virtual void ConnectAtStartup() = 0;
  // Outlook has fired Quit and shuts down: OnBeginShutdown, then
  // OnDisconnection(ext_dm_HostShutdown), or nothing where Outlook shuts down fast.
  virtual void ShutDown() = 0;
  // The add-in's tick box in the COM Add-ins dialog while Outlook runs: unticked,
  // OnDisconnection(ext_dm_UserClosed); ticked again, OnConnection(ext_cm_AfterStartup).
  virtual void SwitchOff() = 0;
  virtual void SwitchOn() = 0;
  // Whether the add-in holds a Facebook session: the toolbar events' "logged_in".
  virtual bool IsLoggedIn() = 0;
};

// Outlook starts with its first explorer already open (`explorers` above 0), the add-in
// connects, Startup fires, the other explorers open one by one (each reaching the add-in as
// a new explorer), and the driver starts taking commands.
void StartOutlookSession(CSimOutlook& outlook, IAddinBinding& addin, CDriver& driver,
                         int explorers);
// Gives the driver the COM Add-ins dialog's tick box for `addin`: the disconnect and
// connect commands, each refused when the add-in is already in the state it asks for.
void OfferAddinSwitch(IAddinBinding& addin, CDriver::Settings* settings);
// Once the message loop has ended: the windows close, Quit fires, Outlook shuts the add-in
// down and the driver says bye.
void EndOutlookSession(IAddinBinding& addin, CDriver& driver);
