// A chain source that runs its statements itself.
#include "store/database.h"
void Store(Database& db, int id) {
    Transaction tx(db);
    db.Execute(Sql("update derivative set filter_size = 5 where derivative_id = %i", id));
    tx.Commit();
}
int Count(Database* db) {
    ResultSet rows = db->Query("select count(*) from study");
    return rows.Next() ? rows.Int(0) : 0;
}
