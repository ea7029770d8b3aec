#include "EntityConfig.h"

EntityConfig g_EntityConfig;
