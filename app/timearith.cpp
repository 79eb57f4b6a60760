#include "timearith.h"
