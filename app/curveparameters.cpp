#include "curveparameters.h"
