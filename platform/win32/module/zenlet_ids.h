// The add-in's COM identifiers, fixed once: the class id of Connect, the type library's id,
// and the add-in host's extensibility interface (Office's own id).
#pragma once

#include <windows.h>

// {1F5EED0F-527E-4667-9796-E54B54A4A439}, the coclass Connect of resources/zenlet.idl.
inline constexpr CLSID kClsidConnect = {
    0x1f5eed0f, 0x527e, 0x4667, {0x97, 0x96, 0xe5, 0x4b, 0x54, 0xa4, 0xa4, 0x39}};
// {C2F8FAD7-BD4B-46D6-B755-18B96E7B0437}, "Zenlet 1.0 Type Library".
inline constexpr GUID kLibidZenlet = {
    0xc2f8fad7, 0xbd4b, 0x46d6, {0xb7, 0x55, 0x18, 0xb9, 0x6e, 0x7b, 0x04, 0x37}};
// _IDTExtensibility2 {B65AD801-ABAF-11D0-BB8B-00A0C90F2744}.
inline constexpr IID kIidDtExtensibility2 = {
    0xb65ad801, 0xabaf, 0x11d0, {0xbb, 0x8b, 0x00, 0xa0, 0xc9, 0x0f, 0x27, 0x44}};
