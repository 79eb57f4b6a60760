#include "tdafile.h"
