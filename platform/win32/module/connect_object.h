// The COM class Connect that Outlook creates by its ProgID: an apartment-model object with
// IUnknown, IDispatch and the dual _IDTExtensibility2, whose dispatch side comes from the type
// library embedded in the module. It drives one portable CConnect and holds a module lock for
// its life, so DllCanUnloadNow answers S_FALSE while it lives.
#pragma once

#include <windows.h>

class CAddinModule;

// A new Connect object of `module`, answering `iid` into `*out`.
HRESULT CreateConnectObject(CAddinModule& module, HMODULE resources, REFIID iid, void** out);
