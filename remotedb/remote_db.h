// The client of the message board's remote database script: the server record, the
// statement and query requests, the reply codes with their handlers, the reply table and
// the insert and delete statement builders.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <vector>

#include "common/text.h"
#include "common/unit_ref.h"

namespace orbiq {

// One script and its database. The requests read it while they build the request, never after.
struct RemoteDbServer {
    Text baseUrl;       // the script's folder, always ending in "/"
    Text databaseName;  // sent unencoded as the form field "mdb"
    Text scriptName;    // appended to baseUrl
    int32_t timeoutSeconds = 0;  // 0: the request call's 90 seconds
};

// A copy of the texts; "/" is added unless the base URL's last byte is one.
RemoteDbServer MakeRemoteDbServer(const Text& baseUrl, const Text& databaseName, const Text& scriptName,
                                  int32_t timeoutSeconds);

// The script's replies that the client tells apart, and the row and column tokens of a table.
inline const Text kReplySuccess{"0"};
inline const Text kReplyIllegalOperation{"-1"};
inline const Text kReplyDatabaseMissing{"1"};
inline const Text kReplySqlError{"2"};
inline const Text kReplyRowToken{"[ZOTRAMEK/row]"};
inline const Text kReplyColumnToken{"[ZOTRAMEK/Col]"};

// The routines run for failing replies, one set for the whole program. Written on the UI
// thread, read by requests on any thread; empty until SetReplyCodeHandlers.
struct ReplyCodeHandlers {
    RoutineRef illegalOperation = nullptr;  // "-1"
    RoutineRef databaseMissing = nullptr;   // "1"
    RoutineRef sqlError = nullptr;          // "2"
    RoutineRef unexpectedReply = nullptr;   // any other failing reply, the empty one included
};
extern std::atomic<RoutineRef> gIllegalOperationHandler;
extern std::atomic<RoutineRef> gDatabaseMissingHandler;
extern std::atomic<RoutineRef> gSqlErrorHandler;
extern std::atomic<RoutineRef> gUnexpectedReplyHandler;

void SetReplyCodeHandlers(RoutineRef illegalOperation, RoutineRef databaseMissing, RoutineRef sqlError,
                          RoutineRef unexpectedReply);
void SetReplyCodeHandlers(const ReplyCodeHandlers& handlers);

// The text table of a query reply: row 1 holds the column names, the rows after it the data.
// Every row has columnCount cells. Empty (no rows, no columns) after a failed query.
struct ReplyTable {
    std::vector<std::vector<Text>> rows;
    int32_t columnCount = 0;
};

// What a table keeps of a reply, far above the board's 50 rows of three short cells: the
// rows and columns past these bounds are dropped as if the reply had been cut there, and a
// longer cell keeps the whole characters that fit. So a misbehaving script costs the reader
// one pass over at most the reply, and the table stays small whatever the reply holds.
constexpr int32_t kReplyMaxDataRows = 500;
constexpr int32_t kReplyMaxColumns = 64;
constexpr size_t kReplyMaxCellBytes = 512;

// Builds the table from a reply that holds the row token: rows cut at the row token, cells
// at the column token; row 1 sets the column count, longer rows are cut, shorter ones padded.
// A reply that ends with the row token has no data row after it (the header alone: no row).
// The reply is read only as far as the bounds above reach.
ReplyTable BuildReplyTable(const Text& reply);

int32_t GetReplyColumnCount(const ReplyTable& table);
// The name of column k (from 1); "" out of range.
Text GetReplyColumnName(const ReplyTable& table, int32_t column);
// The number of data rows; 0 below two rows.
int32_t GetReplyRowCount(const ReplyTable& table);
// The cell of data row n (from 1) under the leftmost column named exactly so; "" when absent.
Text GetReplyCell(const ReplyTable& table, int32_t row, const Text& columnName);

// Posts "ac=do": true only for the reply "0". Every failure runs exactly one handler, on the
// calling thread, before returning.
bool ExecuteRemoteSql(const RemoteDbServer& server, const Text& statement);
// Posts "ac=show": the table of a reply that holds the row token; otherwise the empty table,
// after one handler has run. On a thread with an event loop (the UI thread) the reply is read
// on a thread of its own while the caller keeps handling its events, as during the request.
ReplyTable RunRemoteQuery(const RemoteDbServer& server, const Text& query);

// Gives the heaps' free pages back to the system (the allocator keeps them otherwise), on a
// short-lived thread of its own that nobody waits for; one at a time. From the first request
// on, blocks of 1 MiB and more are given back as soon as they are freed.
void GiveBackFreedMemory();

// The statement "insert into T (n1,n2) values (v1,v2)" from the record "n1=v1|n2=v2", sent
// with ExecuteRemoteSql. A part that does not cut into exactly one name and one value makes
// it return false at once: nothing is sent and no handler runs.
std::optional<Text> BuildInsertStatement(const Text& tableName, const Text& record);
bool InsertRemoteRecord(const RemoteDbServer& server, const Text& tableName, const Text& record);

// "delete from T where condition", the condition as written, sent with ExecuteRemoteSql.
Text BuildDeleteStatement(const Text& tableName, const Text& condition);
bool DeleteRemoteRecords(const RemoteDbServer& server, const Text& tableName, const Text& condition);

}  // namespace orbiq
