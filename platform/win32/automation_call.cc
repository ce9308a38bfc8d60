#include "platform/win32/automation_call.h"

#include <algorithm>
#include <vector>

namespace {

HRESULT Invoke(IDispatch* object, const wchar_t* name, WORD flags,
               std::initializer_list<VARIANT> arguments, VARIANT* result) {
  if (object == nullptr) {
    return E_POINTER;
  }
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR member = const_cast<LPOLESTR>(name);
  HRESULT hr = object->GetIDsOfNames(IID_NULL, &member, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) {
    return hr;
  }
  // DISPPARAMS takes the arguments last first.
  std::vector<VARIANT> reversed(arguments.begin(), arguments.end());
  std::reverse(reversed.begin(), reversed.end());
  DISPID putId = DISPID_PROPERTYPUT;
  DISPPARAMS parameters{};
  parameters.rgvarg = reversed.empty() ? nullptr : reversed.data();
  parameters.cArgs = static_cast<UINT>(reversed.size());
  if ((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0) {
    parameters.rgdispidNamedArgs = &putId;
    parameters.cNamedArgs = 1;
  }
  CVariant ignored;
  EXCEPINFO exception{};
  hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &parameters,
                      result != nullptr ? result : ignored.Receive(), &exception, nullptr);
  // An exception's texts belong to the caller of Invoke.
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrHelpFile);
  if (hr == DISP_E_EXCEPTION && FAILED(exception.scode)) {
    hr = exception.scode;
  }
  return hr;
}

HRESULT ObjectOf(CVariant& value, TComPtr<IDispatch>* result) {
  const VARIANT& v = value.Get();
  if (v.vt == VT_EMPTY || v.vt == VT_NULL ||
      ((v.vt == VT_DISPATCH || v.vt == VT_UNKNOWN) && v.punkVal == nullptr)) {
    result->Reset();
    return S_OK;
  }
  if (v.vt == VT_DISPATCH) {
    *result = TComPtr<IDispatch>(v.pdispVal);
    return S_OK;
  }
  if (v.vt == VT_UNKNOWN) {
    return v.punkVal->QueryInterface(IID_IDispatch, result->ReceiveVoid());
  }
  return DISP_E_TYPEMISMATCH;
}

}  // namespace

VARIANT Missing() {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_ERROR;
  v.scode = DISP_E_PARAMNOTFOUND;
  return v;
}

VARIANT VariantOf(long value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = value;
  return v;
}

VARIANT VariantOf(bool value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BOOL;
  v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  return v;
}

VARIANT VariantOf(IDispatch* object) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_DISPATCH;
  v.pdispVal = object;
  return v;
}

HRESULT GetProperty(IDispatch* object, const wchar_t* name, VARIANT* result,
                    std::initializer_list<VARIANT> arguments) {
  return Invoke(object, name, DISPATCH_PROPERTYGET | DISPATCH_METHOD, arguments, result);
}

HRESULT CallMethod(IDispatch* object, const wchar_t* name, std::initializer_list<VARIANT> arguments,
                   VARIANT* result) {
  return Invoke(object, name, DISPATCH_METHOD, arguments, result);
}

HRESULT PutProperty(IDispatch* object, const wchar_t* name, const VARIANT& value) {
  return Invoke(object, name, DISPATCH_PROPERTYPUT, {value}, nullptr);
}

HRESULT PutObjectProperty(IDispatch* object, const wchar_t* name, IDispatch* value) {
  const HRESULT hr = PutProperty(object, name, VariantOf(value));
  if (hr != DISP_E_MEMBERNOTFOUND) {
    return hr;
  }
  return Invoke(object, name, DISPATCH_PROPERTYPUTREF, {VariantOf(value)}, nullptr);
}

HRESULT GetString(IDispatch* object, const wchar_t* name, std::wstring* text) {
  CVariant value;
  HRESULT hr = GetProperty(object, name, value.Receive());
  if (SUCCEEDED(hr)) {
    hr = VariantChangeType(value.Address(), value.Address(), 0, VT_BSTR);
  }
  if (SUCCEEDED(hr)) {
    const BSTR bstr = value.Get().bstrVal;
    text->assign(bstr != nullptr ? bstr : L"", bstr != nullptr ? SysStringLen(bstr) : 0);
  }
  return hr;
}

HRESULT GetLong(IDispatch* object, const wchar_t* name, long* number) {
  CVariant value;
  HRESULT hr = GetProperty(object, name, value.Receive());
  if (SUCCEEDED(hr)) {
    hr = VariantChangeType(value.Address(), value.Address(), 0, VT_I4);
  }
  if (SUCCEEDED(hr)) {
    *number = value.Get().lVal;
  }
  return hr;
}

HRESULT GetBool(IDispatch* object, const wchar_t* name, bool* flag) {
  CVariant value;
  HRESULT hr = GetProperty(object, name, value.Receive());
  if (SUCCEEDED(hr)) {
    hr = VariantChangeType(value.Address(), value.Address(), 0, VT_BOOL);
  }
  if (SUCCEEDED(hr)) {
    *flag = value.Get().boolVal != VARIANT_FALSE;
  }
  return hr;
}

HRESULT GetObjectProperty(IDispatch* object, const wchar_t* name, TComPtr<IDispatch>* result,
                          std::initializer_list<VARIANT> arguments) {
  CVariant value;
  const HRESULT hr = GetProperty(object, name, value.Receive(), arguments);
  return FAILED(hr) ? hr : ObjectOf(value, result);
}

HRESULT CallForObject(IDispatch* object, const wchar_t* name,
                      std::initializer_list<VARIANT> arguments, TComPtr<IDispatch>* result) {
  CVariant value;
  const HRESULT hr = CallMethod(object, name, arguments, value.Receive());
  return FAILED(hr) ? hr : ObjectOf(value, result);
}
