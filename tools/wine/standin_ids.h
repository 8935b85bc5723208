#pragma once

// Class identifiers of the test stand-in for ACP (ours, not ACP's).
#include <guiddef.h>

namespace orvan::standin {

// {93289958-BEBE-42E9-9DF4-54A8E55F807E}
inline constexpr GUID kTelescopeClsid = {
    0x93289958, 0xbebe, 0x42e9, {0x9d, 0xf4, 0x54, 0xa8, 0xe5, 0x5f, 0x80, 0x7e}};
// {84F2A173-6AC6-4534-8677-2DE26CDC44BA}
inline constexpr GUID kUtilClsid = {
    0x84f2a173, 0x6ac6, 0x4534, {0x86, 0x77, 0x2d, 0xe2, 0x6c, 0xdc, 0x44, 0xba}};

}  // namespace orvan::standin
