#include "gbktext.h"
