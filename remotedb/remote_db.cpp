#include "remotedb/remote_db.h"

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

// Runs the handler of a failure code; false when the reply is none of them.
bool HandleFailureCode(const Text& reply) {
    for (const ReplyCode& code : kFailureCodes) {
        if (reply == code.reply) {
            Run(code.handler);
            return true;
        }
    }
    return false;
}

// The server's fields are copied here, before anything is sent.
Text PostToScript(const RemoteDbServer& server, const char* action, const Text& sql) {
    Text url = server.baseUrl + server.scriptName;
    Text body = Text(action) + Text("&mdb=") + server.databaseName + Text("&sql=") + PercentEncodeAllBytes(sql);
    int32_t timeout = server.timeoutSeconds;
    return Text::FromBytes(SendHttpRequest(url, Text("POST"), {}, {}, body, timeout));
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

bool ExecuteRemoteSql(const RemoteDbServer& server, const Text& statement) {
    Text reply = PostToScript(server, "ac=do", statement);
    if (HandleFailureCode(reply)) return false;
    if (reply == kReplySuccess) return true;
    Run(gUnexpectedReplyHandler);
    return false;
}

ReplyTable RunRemoteQuery(const RemoteDbServer& server, const Text& query) {
    Text reply = PostToScript(server, "ac=show", query);
    if (HandleFailureCode(reply)) return {};
    if (reply.Find(kReplyRowToken) == -1) {
        Run(gUnexpectedReplyHandler);
        return {};
    }
    return BuildReplyTable(reply);
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
