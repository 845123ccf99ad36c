// The SQLite anchor for the dictionary build: imports the ministry file into a fresh database
// through one prepared statement in one transaction, then creates the two indexes the queries
// need (postal code; city and town). Text is stored as the file's bytes, as KOMPA keeps it.
//
//   sqlite_import SOURCE DATABASE

#include <sqlite3.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

bool Exec(sqlite3* db, const char* sql)
{
    char* error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) == SQLITE_OK)
        return true;
    std::fprintf(stderr, "sqlite_import: %s\n", error != nullptr ? error : "?");
    sqlite3_free(error);
    return false;
}

// The fields of a line of the bundled file: every text field is quoted, none holds a comma.
void Split(std::string_view line, std::vector<std::string_view>& fields)
{
    fields.clear();
    std::size_t start = 0;
    while (start <= line.size()) {
        std::size_t comma = line.find(',', start);
        if (comma == std::string_view::npos)
            comma = line.size();
        std::string_view f = line.substr(start, comma - start);
        if (f.size() >= 2 && f.front() == '"')
            f = f.substr(1, f.size() - 2);
        fields.push_back(f);
        start = comma + 1;
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: sqlite_import SOURCE DATABASE\n");
        return 2;
    }
    std::remove(argv[2]);
    sqlite3* db = nullptr;
    if (sqlite3_open(argv[2], &db) != SQLITE_OK)
        return 1;
    if (!Exec(db, "CREATE TABLE post(code TEXT, ken TEXT, city TEXT, town TEXT, addr TEXT);"
                  "BEGIN;"))
        return 1;
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO post VALUES(?1, ?2, ?3, ?4, ?3 || ?4)", -1, &insert,
                       nullptr);
    std::ifstream in(argv[1], std::ios::binary);
    std::string line;
    std::vector<std::string_view> fields;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        Split(line, fields);
        if (fields.size() < 9)
            continue;
        const int columns[] = {2, 6, 7, 8};
        for (int i = 0; i < 4; ++i) {
            const std::string_view f = fields[static_cast<std::size_t>(columns[i])];
            sqlite3_bind_text(insert, i + 1, f.data(), static_cast<int>(f.size()), SQLITE_STATIC);
        }
        if (sqlite3_step(insert) != SQLITE_DONE)
            return 1;
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    const bool ok = Exec(db, "CREATE INDEX post_code ON post(code);"
                             "CREATE INDEX post_addr ON post(addr);"
                             "COMMIT;");
    sqlite3_close(db);
    return ok ? 0 : 1;
}
