#include "startup/setup_state.h"

SetupState setupState;
