// Resource identifiers shared by quellix.rc and the code.
#pragma once

// String table: the registry object's exception messages.
#define IDS_REG_INVALID_TYPE   65414
#define IDS_REG_CREATE_FAILED  65415
#define IDS_REG_SET_FAILED     65416
#define IDS_REG_GET_FAILED     65417
