#include "childfrm.h"
