#pragma once
#include <mysql.h>
