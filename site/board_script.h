// The message board's script "wms.asp" of the local stand-in: runs the posted statement or
// query against a SQLite database in its folder and answers with a reply code or a table.
#pragma once

#include <string>

namespace orbiq::site {

// Replies: "0" a statement that worked; "-1" an illegal request (unknown "ac", a database
// name that leaves the folder); "1" no such database file; "2" a statement refused or failing:
// empty, malformed, more than one, anything but an insert into or a delete from 留言列表 for
// "ac=do" and a select from it for "ac=show", or failing to run.
class BoardScript {
public:
    // folder: where the databases lie; "mdb.mdb" with the table 留言列表 is made when missing.
    explicit BoardScript(std::string folder);

    // The reply (GBK) to a form body of "ac", "mdb" and "sql" (percent-encoded GBK).
    std::string Answer(const std::string& formBody) const;

    const std::string& folder() const { return folder_; }

private:
    std::string folder_;
};

// The board's Access SQL in SQLite's words: "select top n ..." becomes "select ... limit n".
// format() is served by a function the script registers.
std::string TranslateAccessSql(const std::string& sql);

// Access's Format of a date and time ("yyyy-mm-dd hh:mm:ss" as SQLite stores it) with a
// pattern of yyyy, yy, mm, m, dd, d, hh, h, nn, n, ss, s; m and mm right after an hour
// mean minutes. Other text is copied. A value that is no date is returned unchanged.
std::string AccessFormatDate(const std::string& value, const std::string& pattern);

}  // namespace orbiq::site
