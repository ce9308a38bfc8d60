// Late-bound calls on automation objects by member name (IDispatch::GetIDsOfNames, then
// Invoke), as the Outlook object model and Office's command bars are driven. Arguments are
// given in the member's own order and reversed into DISPPARAMS here; an omitted optional
// argument is a VT_ERROR of DISP_E_PARAMNOTFOUND (Missing()).
//
// Errors: the HRESULT of the lookup or of Invoke. Results are VARIANTs owned by the caller.
#pragma once

#include <oaidl.h>

#include <initializer_list>
#include <string>

#include "platform/win32/win32_handles.h"

// Arguments are borrowed: a text argument lives in a CVariant of the caller's for the call.
// The value an omitted optional argument carries.
VARIANT Missing();
VARIANT VariantOf(long value);
VARIANT VariantOf(bool value);
VARIANT VariantOf(IDispatch* object);  // borrowed, no reference added

// `object`.`name`(arguments...) as a property read (DISPATCH_PROPERTYGET) or a method call
// (DISPATCH_METHOD); `result` may be null.
HRESULT GetProperty(IDispatch* object, const wchar_t* name, VARIANT* result,
                    std::initializer_list<VARIANT> arguments = {});
HRESULT CallMethod(IDispatch* object, const wchar_t* name, std::initializer_list<VARIANT> arguments,
                   VARIANT* result = nullptr);
// `object`.`name` = value (DISPATCH_PROPERTYPUT), as Office's type libraries declare its
// properties, pictures included.
HRESULT PutProperty(IDispatch* object, const wchar_t* name, const VARIANT& value);
// An object into a property: the plain put first, and the by-reference put (Set, as
// DISPATCH_PROPERTYPUTREF) only when the object refuses the plain one as not its member.
HRESULT PutObjectProperty(IDispatch* object, const wchar_t* name, IDispatch* value);

// Typed reads of a property; on failure the out-value is unchanged.
HRESULT GetString(IDispatch* object, const wchar_t* name, std::wstring* text);
HRESULT GetLong(IDispatch* object, const wchar_t* name, long* value);
HRESULT GetBool(IDispatch* object, const wchar_t* name, bool* value);
// An object property; S_OK with null when the property is Nothing.
HRESULT GetObjectProperty(IDispatch* object, const wchar_t* name, TComPtr<IDispatch>* result,
                          std::initializer_list<VARIANT> arguments = {});
// The object a method returns; S_OK with null when it returns Nothing.
HRESULT CallForObject(IDispatch* object, const wchar_t* name,
                      std::initializer_list<VARIANT> arguments, TComPtr<IDispatch>* result);
