// Dispatch as an Office type library does it, for the COM test Outlook's objects: members
// found by name (case-insensitive), then invoked only as the kinds they are declared with.
// A property read as a method, a plain property put by reference (DISPATCH_PROPERTYPUTREF),
// or any other kind a member lacks answers DISP_E_MEMBERNOTFOUND. Arguments arrive last
// first in DISPPARAMS and are handed to the member in its own order, converted to their
// declared types (DISP_E_TYPEMISMATCH with the argument's position otherwise); an omitted
// optional argument is VT_ERROR with DISP_E_PARAMNOTFOUND; too many give
// DISP_E_BADPARAMCOUNT, a missing required one DISP_E_PARAMNOTOPTIONAL. A put takes its value
// as the one named argument DISPID_PROPERTYPUT. A member that fails raises its failure as
// DISP_E_EXCEPTION with an EXCEPINFO whose scode is that failure, as Office's objects do.
//
// Threading: the apartment of the object that owns the table.
#pragma once

#include <oaidl.h>

#include <functional>
#include <string>
#include <vector>

// A member's argument: its declared type (VT_I4, VT_BOOL, VT_BSTR, VT_DISPATCH, or VT_VARIANT
// for any) and whether it may be omitted.
struct DispatchParameter {
  VARTYPE vt = VT_VARIANT;
  bool bOptional = false;
};

// Arguments in the member's order, each converted to its declared type; an omitted one is
// VT_ERROR / DISP_E_PARAMNOTFOUND. Borrowed for the call.
using DispatchArguments = std::vector<VARIANT>;

// The result is VT_EMPTY on entry; a getter or method fills it.
using DispatchGetter = std::function<HRESULT(const DispatchArguments&, VARIANT* result)>;
// The value comes converted to the member's value type.
using DispatchPutter = std::function<HRESULT(const VARIANT& value)>;

bool IsMissing(const VARIANT& argument);
// `value` (by reference or not) converted to `vt` into `converted`.
HRESULT ConvertArgument(const VARIANT& value, VARTYPE vt, VARIANT* converted);

class CDispatchTable {
 public:
  // A property with `parameters` (an indexed one such as Item or List) read with
  // DISPATCH_PROPERTYGET.
  void Get(const wchar_t* name, DispatchGetter get, std::vector<DispatchParameter> parameters = {});
  // The plain put of the same property (DISPATCH_PROPERTYPUT), its value converted to `vt`.
  void Put(const wchar_t* name, VARTYPE vt, DispatchPutter put);
  // A method (DISPATCH_METHOD).
  void Method(const wchar_t* name, std::vector<DispatchParameter> parameters, DispatchGetter call);

  HRESULT GetIDsOfNames(LPOLESTR* names, UINT count, DISPID* ids) const;
  // `source` names the object in an EXCEPINFO.
  HRESULT Invoke(DISPID id, WORD flags, DISPPARAMS* parameters, VARIANT* result,
                 EXCEPINFO* exception, UINT* argumentError, const wchar_t* source) const;

 private:
  struct Member {
    std::wstring strName;
    DISPID id = 0;
    DispatchGetter get;
    std::vector<DispatchParameter> getParameters;
    VARTYPE putType = VT_EMPTY;
    DispatchPutter put;
    DispatchGetter method;
    std::vector<DispatchParameter> methodParameters;
  };

  Member& Entry(const wchar_t* name);
  const Member* Find(DISPID id) const;

  std::vector<Member> m_members;
};
