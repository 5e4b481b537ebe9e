#include "orlix/stack_machine.h"
