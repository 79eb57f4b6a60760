#include "exportcancelevent.h"

CExportCancelEvent g_exportCancel;
