// Placeholder until the simulator lands.
#include "ZUR.h"
#include "ZURSim.h"
