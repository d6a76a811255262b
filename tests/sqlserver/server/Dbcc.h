#pragma once
// DBCC CHECKIDENT: its statement as the parser leaves it and the reading of its tokens. Its run
// (Session::Dbcc) and IDENT_CURRENT (Session::IdentCurrent) are in Dbcc.cpp too.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "tests/sqlserver/server/Lexer.h"
#include "tests/sqlserver/server/Statements.h"

namespace morvane::tds {

// Reads what follows the word DBCC, from `pos` (left after the statement). CHECKIDENT only:
// DBCC CHECKIDENT (table [, NORESEED | RESEED [, value]]) [WITH NO_INFOMSGS]; any other DBCC
// command is refused as not modelled, text that is no such statement is a syntax error.
DbccCheckIdent ParseDbcc(const std::vector<Token>& tokens, std::size_t& pos);

// 't', 'db.dbo.t', '[dbo].[t]': the parts of a name written inside a string.
ObjectName NameFromText(const std::string& text);

}  // namespace morvane::tds
