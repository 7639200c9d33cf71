#include "convert/Globals.h"

namespace Globals {

bool SQLFormNotSkipped = true;

} // namespace Globals
