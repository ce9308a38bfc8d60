// The collaborators that the add-in's Outlook-facing objects share: the process's client and
// options, the module state, and the seams of the UI thread. Start-up code (CAddinModule)
// fills one and every object it makes takes what it needs from it; each member must outlive
// the objects made with it.
#pragma once

class CFacebookClient;
class CButtonImages;
class CFacebookRunner;
class CFBOpts;
class CFlowGate;
class CRememberedStatuses;
class CSessionKeeper;
class CLogger;
class CModuleState;
class IClipboard;
class IClock;
class IUserShell;
class IWindowSystem;
struct DeploymentConfig;

struct AddinServices {
  CFacebookClient& client;
  CFBOpts& options;
  CModuleState& moduleState;  // Outlook's application and major version
  const DeploymentConfig& deployment;
  IClock& clock;
  IWindowSystem& windowSystem;
  IUserShell& shell;
  IClipboard* pClipboard;  // may be null: the button faces then take the picture way only
  CLogger& log;            // the "tec" category
};

// What an explorer object needs besides, all of it the application object's, one for the
// process: the background runner, which the toolbar's commands ask for an immediate check
// and the status list for what is playing; the button pictures, whose clipboard format
// names are found out once; the remembered statuses every status box shows; the keeper
// that stores the session as it changes; and the gate that lets one login or status flow
// run at a time.
struct ExplorerServices : AddinServices {
  CFacebookRunner& runner;
  CButtonImages& buttonImages;
  CRememberedStatuses& rememberedStatuses;
  CSessionKeeper& session;
  CFlowGate& flows;
};
