// Identification of the fitted riser from its four strap pads.
#ifndef BOARDCFG_DRIVER_RISER_H
#define BOARDCFG_DRIVER_RISER_H

#include "driver/board_service.h"

RiserId ReadRiserId();

#endif
