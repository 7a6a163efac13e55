#include "registrar/register_mode.h"

namespace torvo {

bool g_registerPerUser = false;

}  // namespace torvo
