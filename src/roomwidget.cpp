#include "roomwidget.h"
