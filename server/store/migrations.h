// Versioned schema migrations, applied in order at start; the applied versions are kept in
// `schema_migrations`. A migration is never edited once released: changes come as a new one.
#pragma once

#include <QString>
#include <vector>

namespace vq::store {

class Database;

struct Migration {
    int version;
    const char* name;
    // Statements separated by ";\n". "$ID" stands for the dialect's auto-increment key.
    const char* sql;
    // Work SQL alone cannot express, run after the statements in the same transaction.
    void (*step)(Database&) = nullptr;
};

const std::vector<Migration>& migrations();
// Applies every migration newer than the database's version. Throws StoreError.
void migrate(Database& db);

}  // namespace vq::store
