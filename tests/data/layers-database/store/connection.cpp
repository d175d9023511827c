#include <errmsg.h>
#include <mysql.h>
#include "store/connection_internal.h"
