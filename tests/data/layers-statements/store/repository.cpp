// The repository may do all of it.
#include "store/database.h"
int Count(Database& db) {
    int n = 0;
    db.QueryInt(Sql("select count(*) from site where study_id = %i", 1), n);
    Statement stmt(db, "select 1");
    stmt.Execute();
    return n;
}
