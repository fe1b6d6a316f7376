#include "remotedb/remote_db.h"

#include <mutex>
#include <system_error>
#include <thread>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "platform/events/event_wait.h"
#include "web/http_request.h"
#include "web/url.h"

namespace orbiq {

std::atomic<RoutineRef> gIllegalOperationHandler{nullptr};
std::atomic<RoutineRef> gDatabaseMissingHandler{nullptr};
std::atomic<RoutineRef> gSqlErrorHandler{nullptr};
std::atomic<RoutineRef> gUnexpectedReplyHandler{nullptr};

namespace {

// The codes that end a request at once, each with the handler that answers it.
struct ReplyCode {
    const Text& reply;
    std::atomic<RoutineRef>& handler;
};
const ReplyCode kFailureCodes[] = {
    {kReplyIllegalOperation, gIllegalOperationHandler},
    {kReplyDatabaseMissing, gDatabaseMissingHandler},
    {kReplySqlError, gSqlErrorHandler},
};

void Run(const std::atomic<RoutineRef>& handler) {
    if (RoutineRef routine = handler.load()) routine();
}

// The handler of a failure code; null when the reply is none of them.
const std::atomic<RoutineRef>* FailureHandler(const Text& reply) {
    for (const ReplyCode& code : kFailureCodes) {
        if (reply == code.reply) return &code.handler;
    }
    return nullptr;
}

// From the first request on, blocks of 1 MiB and more are mapped on their own and given back
// when freed, and a heap keeps no more than 1 MiB free at its top. By default glibc raises
// both bounds once it has freed a large block (up to 32 and 64 MiB), and a thread's heap
// then keeps the space of a freed reply for good: malloc_trim does not trim those tops.
void BoundWhatTheAllocatorKeeps() {
#if defined(__GLIBC__)
    static std::once_flag once;
    std::call_once(once, [] {
        mallopt(M_MMAP_THRESHOLD, 1 << 20);
        mallopt(M_TRIM_THRESHOLD, 1 << 20);
    });
#endif
}

// The server's fields are copied here, before anything is sent.
ByteSet PostToScript(const RemoteDbServer& server, const char* action, const Text& sql) {
    Text url = server.baseUrl + server.scriptName;
    Text body = Text(action) + Text("&mdb=") + server.databaseName + Text("&sql=") + PercentEncodeAllBytes(sql);
    int32_t timeout = server.timeoutSeconds;
    BoundWhatTheAllocatorKeeps();
    return SendHttpRequest(url, Text("POST"), {}, {}, body, timeout);
}

// A query's reply as read: the handler to run (a failure), or the table.
struct QueryReply {
    const std::atomic<RoutineRef>* handler = nullptr;
    ReplyTable table;
};

QueryReply ReadQueryReply(ByteSet body) {
    QueryReply read;
    const Text reply = Text::FromBytes(body);
    ByteSet().swap(body);
    if ((read.handler = FailureHandler(reply))) return read;
    if (reply.Find(kReplyRowToken) == -1) read.handler = &gUnexpectedReplyHandler;
    else read.table = BuildReplyTable(reply);
    return read;
}

}  // namespace

RemoteDbServer MakeRemoteDbServer(const Text& baseUrl, const Text& databaseName, const Text& scriptName,
                                  int32_t timeoutSeconds) {
    RemoteDbServer server;
    server.baseUrl = baseUrl.Right(1) == Text("/") ? baseUrl : baseUrl + Text("/");
    server.databaseName = databaseName;
    server.scriptName = scriptName;
    server.timeoutSeconds = timeoutSeconds;
    return server;
}

void SetReplyCodeHandlers(RoutineRef illegalOperation, RoutineRef databaseMissing, RoutineRef sqlError,
                          RoutineRef unexpectedReply) {
    gIllegalOperationHandler.store(illegalOperation);
    gDatabaseMissingHandler.store(databaseMissing);
    gSqlErrorHandler.store(sqlError);
    gUnexpectedReplyHandler.store(unexpectedReply);
}

void SetReplyCodeHandlers(const ReplyCodeHandlers& handlers) {
    SetReplyCodeHandlers(handlers.illegalOperation, handlers.databaseMissing, handlers.sqlError,
                         handlers.unexpectedReply);
}

void GiveBackFreedMemory() {
#if defined(__GLIBC__)
    static std::atomic<bool> running{false};
    if (running.exchange(true)) return;
    try {
        std::thread([] {
            malloc_trim(0);
            running.store(false);
        }).detach();
    } catch (const std::system_error&) {
        running.store(false);
    }
#endif
}

bool ExecuteRemoteSql(const RemoteDbServer& server, const Text& statement) {
    const Text reply = Text::FromBytes(PostToScript(server, "ac=do", statement));
    if (const auto* handler = FailureHandler(reply)) {
        Run(*handler);
        return false;
    }
    if (reply == kReplySuccess) return true;
    Run(gUnexpectedReplyHandler);
    return false;
}

ReplyTable RunRemoteQuery(const RemoteDbServer& server, const Text& query) {
    ByteSet body = PostToScript(server, "ac=show", query);
    QueryReply read;
    platform::RunWhileHandlingEvents([&] { read = ReadQueryReply(std::move(body)); });
    // The handler runs here, on the thread that made the request.
    if (read.handler) Run(*read.handler);
    return std::move(read.table);
}

std::optional<Text> BuildInsertStatement(const Text& tableName, const Text& record) {
    Text names, values;
    for (const Text& part : CutText(record, Text("|"))) {
        std::vector<Text> pieces = CutText(part, Text("="));
        if (pieces.size() != 2) return std::nullopt;
        names += pieces[0] + Text(",");
        values += pieces[1] + Text(",");
    }
    names = names.Left(names.Length() - 1);
    values = values.Left(values.Length() - 1);
    return Text("insert into ") + tableName + Text(" (") + names + Text(") values (") + values + Text(")");
}

bool InsertRemoteRecord(const RemoteDbServer& server, const Text& tableName, const Text& record) {
    std::optional<Text> statement = BuildInsertStatement(tableName, record);
    return statement && ExecuteRemoteSql(server, *statement);
}

Text BuildDeleteStatement(const Text& tableName, const Text& condition) {
    return Text("delete from ") + tableName + Text(" where ") + condition;
}

bool DeleteRemoteRecords(const RemoteDbServer& server, const Text& tableName, const Text& condition) {
    return ExecuteRemoteSql(server, BuildDeleteStatement(tableName, condition));
}

}  // namespace orbiq
