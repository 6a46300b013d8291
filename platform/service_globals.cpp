#include "platform/service_globals.h"

ServiceGlobalsRecord ServiceGlobals;
