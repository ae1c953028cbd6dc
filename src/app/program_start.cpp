#include "app/program_start.h"

namespace joincode {

int ProgramStart() { return 0; }

}  // namespace joincode
