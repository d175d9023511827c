#pragma once
#include <mariadb/mysql.h>
