#include <malloc.h>

#include "platform/services.h"

void return_free_memory() { malloc_trim(0); }
