// Kept for the callers that still include it; the names are in work_files.h.
#pragma once

#include "lists/work_files.h"
