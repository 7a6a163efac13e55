// The C++ runtime's default terminate handler writes the demangled type of the exception to the
// standard error, which a DLL in Explorer does not have, and brings the runtime's demangler into
// the DLL: a seventh of the 32-bit DLL's size. Nothing escapes the COM boundary's guards, so a
// terminate can only be a fault of the DLL's own; it ends the process as the default handler does,
// without the message.
#include <cstdlib>
#include <exception>

namespace __gnu_cxx {

void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx
