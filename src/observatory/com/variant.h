#pragma once

// Automation values <-> COM VARIANTs, both ways, for the client (the program)
// and for any server written against orvan::Value.
#include <string>

#include "observatory/value.h"
#include "support/error.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// The COM headers build on windows.h.
#include <objbase.h>
#include <oleauto.h>

namespace orvan::com {

// Fills `out` (which must be VT_EMPTY or already cleared) from `value`. An
// object value must wrap a COM object; anything else raises Type mismatch.
void ToVariant(const Value& value, VARIANT& out);

// The value a VARIANT holds. By-reference variants are read through; kinds
// with no direct counterpart are converted by the automation runtime
// (VT_DECIMAL to r8, VT_INT/VT_UINT to i4/ui4). Raises Type mismatch for
// arrays and other kinds no value can hold.
Value FromVariant(const VARIANT& in);

// The system's text for an error number, without the trailing line break;
// empty when it has none.
std::string SystemMessage(HRESULT hr);

// An orvan::Error for a failed COM call: the number and the system's text
// (or a fixed text for the numbers the system may not describe).
Error ErrorFromHResult(HRESULT hr);

// BSTR <-> UTF-8.
std::string FromBstr(BSTR b);
BSTR ToBstr(const std::string& utf8);

}  // namespace orvan::com
