#include "tools/com_outlook/automation_dispatch.h"

#include <oleauto.h>

#include <cwctype>
#include <deque>

#include "platform/win32/automation_call.h"
#include "platform/win32/win32_handles.h"

namespace {

bool SameName(const std::wstring& a, const wchar_t* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i] != L'\0'; ++i) {
    if (std::towlower(a[i]) != std::towlower(b[i])) {
      return false;
    }
  }
  return i == a.size() && b[i] == L'\0';
}

// The arguments of `parameters` from `given` (last first, as DISPPARAMS holds them), each
// converted into `converted`; fills `argumentError` with the DISPPARAMS position of one that
// does not convert.
HRESULT Convert(const std::vector<DispatchParameter>& parameters, const VARIANT* given, UINT count,
                std::deque<CVariant>* converted, UINT* argumentError) {
  if (count > parameters.size()) {
    return DISP_E_BADPARAMCOUNT;
  }
  converted->clear();
  for (std::size_t i = 0; i < parameters.size(); ++i) {
    converted->emplace_back();
    VARIANT* out = converted->back().Receive();
    if (i >= count || IsMissing(given[count - 1 - i])) {
      if (!parameters[i].bOptional) {
        return DISP_E_PARAMNOTOPTIONAL;
      }
      *out = Missing();
      continue;
    }
    if (FAILED(ConvertArgument(given[count - 1 - i], parameters[i].vt, out))) {
      if (argumentError != nullptr) {
        *argumentError = count - 1 - static_cast<UINT>(i);
      }
      return DISP_E_TYPEMISMATCH;
    }
  }
  return S_OK;
}

DispatchArguments Borrowed(std::deque<CVariant>& converted) {
  DispatchArguments arguments;
  for (CVariant& argument : converted) {
    arguments.push_back(argument.Get());
  }
  return arguments;
}

}  // namespace

bool IsMissing(const VARIANT& argument) {
  return argument.vt == VT_ERROR && argument.scode == DISP_E_PARAMNOTFOUND;
}

HRESULT ConvertArgument(const VARIANT& value, VARTYPE vt, VARIANT* converted) {
  VariantClear(converted);
  // The system's declarations take the source as writable; it is only read.
  HRESULT hr = VariantCopyInd(converted, const_cast<VARIANT*>(&value));
  if (SUCCEEDED(hr) && vt != VT_VARIANT) {
    hr = VariantChangeType(converted, converted, 0, vt);
  }
  return hr;
}

CDispatchTable::Member& CDispatchTable::Entry(const wchar_t* name) {
  for (Member& member : m_members) {
    if (SameName(member.strName, name)) {
      return member;
    }
  }
  Member member;
  member.strName = name;
  // Office gives a collection's Item the default member's id, and the others their own.
  member.id =
      SameName(member.strName, L"Item") ? DISPID_VALUE : static_cast<DISPID>(m_members.size() + 1);
  m_members.push_back(std::move(member));
  return m_members.back();
}

const CDispatchTable::Member* CDispatchTable::Find(DISPID id) const {
  for (const Member& member : m_members) {
    if (member.id == id) {
      return &member;
    }
  }
  return nullptr;
}

void CDispatchTable::Get(const wchar_t* name, DispatchGetter get,
                         std::vector<DispatchParameter> parameters) {
  Member& member = Entry(name);
  member.get = std::move(get);
  member.getParameters = std::move(parameters);
}

void CDispatchTable::Put(const wchar_t* name, VARTYPE vt, DispatchPutter put) {
  Member& member = Entry(name);
  member.putType = vt;
  member.put = std::move(put);
}

void CDispatchTable::Method(const wchar_t* name, std::vector<DispatchParameter> parameters,
                            DispatchGetter call) {
  Member& member = Entry(name);
  member.method = std::move(call);
  member.methodParameters = std::move(parameters);
}

HRESULT CDispatchTable::GetIDsOfNames(LPOLESTR* names, UINT count, DISPID* ids) const {
  if (names == nullptr || ids == nullptr || count == 0) {
    return E_INVALIDARG;
  }
  HRESULT hr = S_OK;
  for (UINT i = 0; i < count; ++i) {
    ids[i] = DISPID_UNKNOWN;
  }
  for (const Member& member : m_members) {
    if (names[0] != nullptr && SameName(member.strName, names[0])) {
      ids[0] = member.id;
    }
  }
  if (ids[0] == DISPID_UNKNOWN || count > 1) {
    hr = DISP_E_UNKNOWNNAME;  // no member of that name; no member takes named arguments
  }
  return hr;
}

HRESULT CDispatchTable::Invoke(DISPID id, WORD flags, DISPPARAMS* parameters, VARIANT* result,
                               EXCEPINFO* exception, UINT* argumentError,
                               const wchar_t* source) const {
  const Member* member = Find(id);
  if (member == nullptr) {
    return DISP_E_MEMBERNOTFOUND;
  }
  static const DISPPARAMS s_none{};
  const DISPPARAMS& given = parameters != nullptr ? *parameters : s_none;
  CVariant ignored;
  VARIANT* out = result != nullptr ? result : ignored.Receive();
  VariantInit(out);

  HRESULT hr = S_OK;
  std::deque<CVariant> converted;
  if ((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0) {
    // Only the kinds the member is declared with: no property here is put by reference.
    if ((flags & DISPATCH_PROPERTYPUT) == 0 || !member->put) {
      return DISP_E_MEMBERNOTFOUND;
    }
    if (given.cArgs != 1 || given.cNamedArgs != 1 ||
        given.rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
      return given.cArgs > 1 ? DISP_E_BADPARAMCOUNT : DISP_E_PARAMNOTOPTIONAL;
    }
    hr = Convert({{member->putType, false}}, given.rgvarg, 1, &converted, argumentError);
    if (FAILED(hr)) {
      return hr;
    }
    hr = member->put(converted[0].Get());
  } else {
    const bool asMethod = (flags & DISPATCH_METHOD) != 0 && member->method;
    const bool asGet = !asMethod && (flags & DISPATCH_PROPERTYGET) != 0 && member->get;
    if (!asMethod && !asGet) {
      return DISP_E_MEMBERNOTFOUND;
    }
    if (given.cNamedArgs != 0) {
      return DISP_E_NONAMEDARGS;
    }
    hr = Convert(asMethod ? member->methodParameters : member->getParameters, given.rgvarg,
                 given.cArgs, &converted, argumentError);
    if (FAILED(hr)) {
      return hr;
    }
    const DispatchArguments arguments = Borrowed(converted);
    hr = asMethod ? member->method(arguments, out) : member->get(arguments, out);
  }
  if (SUCCEEDED(hr)) {
    return hr;
  }
  VariantClear(out);
  if (exception != nullptr) {
    *exception = EXCEPINFO{};
    exception->scode = hr;
    exception->bstrSource = SysAllocString(source);
    exception->bstrDescription = SysAllocString(
        hr == E_INVALIDARG ? L"The index into the specified collection is out of bounds."
                           : L"The operation failed.");
  }
  return DISP_E_EXCEPTION;
}
