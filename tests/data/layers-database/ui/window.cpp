#include "store/connection_internal.h"
