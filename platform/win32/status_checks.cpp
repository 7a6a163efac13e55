// The portable status and Win32 codes carry the SDK's values.
#include <windows.h>

#include "common/status.h"

namespace torvo {

static_assert(kOk == S_OK && kFalse == S_FALSE);
static_assert(kNotImplemented == E_NOTIMPL && kNoInterface == E_NOINTERFACE && kPointer == E_POINTER);
static_assert(kFail == E_FAIL && kUnexpected == E_UNEXPECTED && kOutOfMemory == E_OUTOFMEMORY && kPending == E_PENDING);
static_assert(kInvalidArg == E_INVALIDARG);
static_assert(kDispException == DISP_E_EXCEPTION && kDispBadIndex == DISP_E_BADINDEX);
static_assert(kNoAggregation == CLASS_E_NOAGGREGATION && kClassNotAvailable == CLASS_E_CLASSNOTAVAILABLE);
static_assert(kErrorFileNotFound == ERROR_FILE_NOT_FOUND && kErrorAccessDenied == ERROR_ACCESS_DENIED);
static_assert(kErrorInsufficientBuffer == ERROR_INSUFFICIENT_BUFFER);
static_assert(HresultFromWin32(ERROR_INSUFFICIENT_BUFFER) == HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
static_assert(HresultFromWin32(ERROR_ACCESS_DENIED) == E_ACCESSDENIED);

}  // namespace torvo
