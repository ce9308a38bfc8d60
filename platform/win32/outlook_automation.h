// The Outlook host seam on COM automation: each object of platform/outlook_host.h wraps one
// automation object of Outlook or Office, driven late-bound by member name through its
// IDispatch, with its events received through connection-point sinks that dispatch the
// DISPIDs of event_dispid (arguments last first, CancelDefault by reference).
//
// Conventions of the object model kept here: a lookup by name or caption that Office answers
// with an error (no such bar or control) is S_OK with no object; control kinds come from the
// control's Type; button faces become OLE pictures (IPictureDisp) made from the pixels.
//
// Threading: Outlook's main thread only, like every object it wraps.
#pragma once

#include <oaidl.h>

#include <memory>

#include "platform/outlook_host.h"

// An automation object Outlook hands the add-in (OnConnection's Application, AddInInst).
// Null when `object` has no IDispatch.
std::shared_ptr<IAutomationObject> WrapAutomationObject(IUnknown* object);

// The interface ids this adapter asks for.
extern const IID kIidOutlookApplicationEvents;  // ApplicationEvents
extern const IID kIidOutlookExplorersEvents;    // ExplorersEvents
extern const IID kIidOutlookExplorerEvents;     // ExplorerEvents
extern const IID kIidCommandBarButtonEvents;    // _CommandBarButtonEvents
extern const IID kIidCommandBarComboBoxEvents;  // _CommandBarComboBoxEvents
extern const IID kIidOutlookApplicationObject;  // _Application
extern const IID kIidOutlookMailItem;           // _MailItem
