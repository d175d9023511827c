// Statement texts live in store/; this source calls Sql() and db.Execute() nowhere.
#include "store/database.h"
#include "store/study_repository.h"
int StatementCount = 0;
void Load(Database& db) {
    Transaction tx(db);  // a ResultSet is never held here
    StudyRepository(db).Name(1);
    tx.Commit();
}
