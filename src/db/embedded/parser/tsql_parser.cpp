#include "db/embedded/parser/tsql_parser.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <set>

#include "db/embedded/parser/tsql_tokenizer.h"
#include "db/errors.h"
#include "db/server_messages.h"

namespace moltaro::db::embedded {

std::string NotSupported(std::string_view construct) {
  return "This statement is not supported by the embedded server: " + std::string(construct) + ".";
}

namespace {

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// Words that end an expression or a list and so cannot be bare aliases.
const std::set<std::string>& Reserved() {
  static const std::set<std::string> words = {
      "ADD",     "ALL",         "ALTER",     "AND",       "AS",         "ASC",       "BEGIN",
      "BETWEEN", "BREAK",       "BY",        "CASE",      "CHECK",      "CLOSE",     "COLLATE",
      "COMMIT",  "CONSTRAINT",  "CONTINUE",  "CREATE",    "CROSS",      "CURSOR",    "DEALLOCATE",
      "DECLARE", "DEFAULT",     "DELETE",    "DESC",      "DISTINCT",   "DROP",      "ELSE",
      "END",     "EXCEPT",      "EXEC",      "EXECUTE",   "EXISTS",     "FETCH",     "FOR",
      "FOREIGN", "FROM",        "FULL",      "GO",        "GOTO",       "GRANT",     "GROUP",
      "HAVING",  "IF",          "IN",        "INNER",     "INSERT",     "INTERSECT", "INTO",
      "IS",      "JOIN",        "KEY",       "LEFT",      "LIKE",       "NOT",       "NULL",
      "ON",      "OPEN",        "OPTION",    "OR",        "ORDER",      "OUTER",     "PRIMARY",
      "PRINT",   "PROC",        "PROCEDURE", "RAISERROR", "REFERENCES", "RETURN",    "REVOKE",
      "RIGHT",   "ROLLBACK",    "SELECT",    "SET",       "TABLE",      "THEN",      "TOP",
      "TRAN",    "TRANSACTION", "TRUNCATE",  "UNION",     "UNIQUE",     "UPDATE",    "USE",
      "VALUES",  "WHEN",        "WHERE",     "WHILE",     "WITH",       "MERGE",     "OUTPUT",
      "SAVE",    "WAITFOR"};
  return words;
}

class Parser {
 public:
  explicit Parser(std::string_view sql) : sql_(sql), tokens_(Tokenize(sql)) {}

  Batch Run() {
    Batch batch;
    bool first = true;
    while (!AtEnd()) {
      if (AcceptSymbol(";")) continue;
      batch.statements.push_back(ParseStatement(first));
      first = false;
    }
    CheckLabels(batch.statements);
    batch.parameterCount = parameterCount_;
    batch.parameterNames = std::move(parameterNames_);
    return batch;
  }

 private:
  // ---- token access ----------------------------------------------------
  const Token& Peek(std::size_t ahead = 0) const {
    const std::size_t i = pos_ + ahead;
    return i < tokens_.size() ? tokens_[i] : tokens_.back();
  }
  bool AtEnd() const { return Peek().kind == TokenKind::End; }
  const Token& Take() {
    const Token& t = Peek();
    if (pos_ < tokens_.size() - 1) ++pos_;
    return t;
  }
  bool PeekWord(std::string_view w, std::size_t ahead = 0) const { return IsWord(Peek(ahead), w); }
  bool PeekSymbol(std::string_view s, std::size_t ahead = 0) const {
    const Token& t = Peek(ahead);
    return t.kind == TokenKind::Symbol && t.text == s;
  }
  bool AcceptWord(std::string_view w) {
    if (!PeekWord(w)) return false;
    Take();
    return true;
  }
  bool AcceptSymbol(std::string_view s) {
    if (!PeekSymbol(s)) return false;
    Take();
    return true;
  }
  [[noreturn]] void Fail() const { Fail(Peek()); }
  [[noreturn]] void Fail(const Token& t) const {
    std::string near;
    if (t.kind == TokenKind::End) {
      near = pos_ > 0 ? tokens_[pos_ - 1].text : std::string();
    } else {
      near = t.text;
    }
    throw ServerErrorByNumber(102, {near});
  }
  void ExpectWord(std::string_view w) {
    if (!AcceptWord(w)) Fail();
  }
  void ExpectSymbol(std::string_view s) {
    if (!AcceptSymbol(s)) Fail();
  }
  std::size_t LastEnd() const { return pos_ > 0 ? tokens_[pos_ - 1].end : 0; }

  struct DepthGuard {
    explicit DepthGuard(Parser& p) : parser(p) {
      if (++parser.depth_ > kMaxNesting) {
        throw ServerErrorByNumber(191);
      }
    }
    ~DepthGuard() { --parser.depth_; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;
    Parser& parser;
  };

  bool IsIdentifier(const Token& t) const {
    if (t.kind == TokenKind::Quoted) return true;
    return t.kind == TokenKind::Word && Reserved().count(Upper(t.text)) == 0;
  }
  // An identifier; keywords are accepted where the grammar leaves no doubt.
  std::string Identifier(bool allowKeyword = false) {
    const Token& t = Peek();
    if (t.kind == TokenKind::Quoted ||
        (t.kind == TokenKind::Word && (allowKeyword || IsIdentifier(t)))) {
      return Take().text;
    }
    Fail();
  }

  ObjectName ParseObjectName() {
    if (Peek().kind == TokenKind::Variable) {
      // A table variable: parsed so that function bodies read, refused when run.
      ObjectName name;
      name.name = Take().text;
      return name;
    }
    std::vector<std::string> parts;
    parts.push_back(Identifier(true));
    while (PeekSymbol(".")) {
      Take();
      if (PeekSymbol(".")) {
        parts.emplace_back();  // db..name
        continue;
      }
      parts.push_back(Identifier(true));
    }
    if (parts.size() > 4) Fail();
    ObjectName name;
    name.name = parts.back();
    if (parts.size() >= 2) name.schema = parts[parts.size() - 2];
    if (parts.size() >= 3) name.database = parts[parts.size() - 3];
    if (parts.size() == 4) {
      throw UnsupportedConstruct("linked server name " + parts[0]);
    }
    return name;
  }

  // ---- statements --------------------------------------------------------
  StatementPtr ParseStatement(bool firstInBatch = false) {
    DepthGuard guard(*this);
    const std::size_t start = Peek().offset;
    const std::size_t startToken = pos_;
    const int parametersBefore = parameterCount_;
    StatementPtr s;
    try {
      s = ParseStatementBody(firstInBatch);
    } catch (const UnsupportedConstruct& e) {
      s = SkipUnsupported(startToken, parametersBefore, e.what());
    }
    s->offset = start;
    s->endOffset = LastEnd();
    return s;
  }

  // ---- statements the server does not run ------------------------------
  // The statement that failed on an unsupported construct is read to its end
  // so that the rest of the batch parses: to the end of the batch for a
  // routine or trigger (their body is the rest of it), else to the next
  // statement's first word at its own level, a `;`, or the END or ELSE of
  // an enclosing block.
  StatementPtr SkipUnsupported(std::size_t startToken, int parametersBefore, std::string message) {
    auto s = std::make_unique<UnsupportedStatement>();
    s->message = std::move(message);
    std::size_t i = startToken;
    const bool routine = (IsWord(tokens_[i], "CREATE") || IsWord(tokens_[i], "ALTER")) && [&] {
      std::size_t k = i + 1;
      if (IsWord(tokens_[k], "OR") && IsWord(tokens_[k + 1], "ALTER")) k += 2;
      for (const char* w : {"PROC", "PROCEDURE", "FUNCTION", "TRIGGER", "VIEW"}) {
        if (IsWord(tokens_[k], w)) return true;
      }
      return false;
    }();
    const bool setIsClause = IsWord(tokens_[i], "ALTER") || IsWord(tokens_[i], "UPDATE");
    const bool insert = IsWord(tokens_[i], "INSERT");
    int depth = 0;
    bool sawUpdate = false;
    for (; tokens_[i].kind != TokenKind::End; ++i) {
      const Token& t = tokens_[i];
      const bool ownStart = i == startToken;
      if (!routine && depth == 0 && !ownStart && i >= pos_) {
        if (t.kind == TokenKind::Symbol && t.text == ";") break;
        if (IsWord(t, "END") || IsWord(t, "ELSE")) break;
        const bool insertExec = insert && (IsWord(t, "EXEC") || IsWord(t, "EXECUTE"));
        if (!insertExec && StartsStatementAfter(i, setIsClause || sawUpdate)) break;
      }
      if (t.kind == TokenKind::Symbol && t.text == "(") ++depth;
      if (t.kind == TokenKind::Symbol && t.text == ")") depth = std::max(0, depth - 1);
      if (IsWord(t, "UPDATE")) sawUpdate = true;
      if (IsWord(t, "CASE") || (IsWord(t, "BEGIN") && !IsTransactionWord(tokens_[i + 1]))) {
        ++depth;
      }
      if (IsWord(t, "END") && depth > 0) {
        --depth;
        // END TRY, END CATCH
        if (IsWord(tokens_[i + 1], "TRY") || IsWord(tokens_[i + 1], "CATCH")) ++i;
      }
    }
    if (i == startToken) ++i;
    pos_ = i;
    parameterCount_ = parametersBefore;
    for (std::size_t k = startToken; k < i; ++k) {
      if (tokens_[k].kind == TokenKind::Parameter) ++parameterCount_;
    }
    // A condition that cannot run takes its IF's or WHILE's statements with it.
    const bool conditional =
        IsWord(tokens_[startToken], "IF") || IsWord(tokens_[startToken], "WHILE");
    if (conditional && !AtEnd() && !PeekWord("END") && !PeekWord("ELSE")) {
      ParseStatement();
      while (AcceptSymbol(";")) {
      }
      if (IsWord(tokens_[startToken], "IF") && AcceptWord("ELSE")) ParseStatement();
    }
    return s;
  }

  static bool IsTransactionWord(const Token& t) {
    return IsWord(t, "TRAN") || IsWord(t, "TRANSACTION") || IsWord(t, "DISTRIBUTED") ||
           IsWord(t, "DIALOG") || IsWord(t, "CONVERSATION");
  }

  // Whether the word at token i begins a statement rather than continuing
  // the one before it (UNION SELECT, ON DELETE, FOR UPDATE, THEN INSERT …).
  bool StartsStatementAfter(std::size_t i, bool setIsClause) const {
    static const std::set<std::string> starters = {
        "SELECT",     "INSERT",  "UPDATE",   "DELETE",   "CREATE",     "ALTER",  "DROP",   "EXEC",
        "EXECUTE",    "DECLARE", "SET",      "IF",       "WHILE",      "BEGIN",  "RETURN", "PRINT",
        "RAISERROR",  "USE",     "COMMIT",   "ROLLBACK", "TRUNCATE",   "GRANT",  "REVOKE", "DENY",
        "DBCC",       "BREAK",   "CONTINUE", "GOTO",     "WAITFOR",    "OPEN",   "FETCH",  "CLOSE",
        "DEALLOCATE", "MERGE",   "THROW",    "SAVE",     "CHECKPOINT", "BACKUP", "RESTORE"};
    static const std::set<std::string> continuing = {"UNION", "ALL",  "EXCEPT", "INTERSECT",
                                                     "FOR",   "AS",   "ON",     "OF",
                                                     "AFTER", "THEN", "INTO",   "WITH"};
    const Token& t = tokens_[i];
    if (t.kind != TokenKind::Word) return false;
    const std::string w = Upper(t.text);
    if (!starters.count(w)) return false;
    if (w == "SET" && setIsClause) return false;
    const Token& before = tokens_[i - 1];
    if (before.kind == TokenKind::Symbol && before.text == ",") return false;
    return !(before.kind == TokenKind::Word && continuing.count(Upper(before.text)));
  }

  StatementPtr ParseStatementBody(bool firstInBatch) {
    const Token& t = Peek();
    if (PeekWord("SELECT") || (PeekSymbol("(") && LooksLikeSelectInParens())) {
      auto s = std::make_unique<SelectStatement>();
      s->select = ParseQuery();
      return s;
    }
    if (PeekWord("WITH")) return ParseWithStatement();
    if (t.kind != TokenKind::Word) Fail();
    const std::string w = Upper(t.text);
    if (w == "INSERT") return ParseInsert();
    if (w == "UPDATE" && !PeekWord("STATISTICS", 1)) return ParseUpdate();
    if (w == "DELETE") return ParseDelete();
    if (w == "MERGE") return ParseMerge();
    if (w == "TRUNCATE") {
      Take();
      ExpectWord("TABLE");
      auto s = std::make_unique<TruncateStatement>();
      s->table = ParseObjectName();
      return s;
    }
    if (w == "CREATE") return ParseCreate(false);
    if (w == "ALTER") return ParseAlter();
    if (w == "DROP") return ParseDrop();
    if (w == "EXEC" || w == "EXECUTE") {
      Take();
      return ParseExecBody();
    }
    if (w == "DECLARE") return ParseDeclare();
    if (w == "SET") return ParseSet();
    if (w == "IF") return ParseIf();
    if (w == "WHILE") {
      Take();
      auto s = std::make_unique<WhileStatement>();
      s->condition = ParseCondition();
      s->body = ParseStatement();
      return s;
    }
    if (w == "BEGIN") {
      if (PeekWord("TRAN", 1) || PeekWord("TRANSACTION", 1)) {
        Take();
        Take();
        auto s = std::make_unique<TransactionStatement>();
        s->action = "BEGIN";
        s->name = ParseTransactionName();
        if (s->name && AcceptWord("WITH")) {
          ExpectWord("MARK");
          if (Peek().kind == TokenKind::String) Take();
        }
        return s;
      }
      if (PeekWord("TRY", 1)) return ParseTry();
      Take();
      auto block = std::make_unique<BlockStatement>();
      while (!PeekWord("END")) {
        if (AtEnd()) Fail();
        if (AcceptSymbol(";")) continue;
        block->statements.push_back(ParseStatement());
      }
      Take();
      return block;
    }
    if (w == "COMMIT" || w == "ROLLBACK") {
      Take();
      auto s = std::make_unique<TransactionStatement>();
      s->action = w;
      if (AcceptWord("TRAN") || AcceptWord("TRANSACTION")) {
        s->name = ParseTransactionName();
      } else {
        AcceptWord("WORK");
      }
      return s;
    }
    if (w == "SAVE") {
      Take();
      if (!AcceptWord("TRAN")) ExpectWord("TRANSACTION");
      auto s = std::make_unique<TransactionStatement>();
      s->action = "SAVE";
      s->name = ParseTransactionName();
      if (!s->name) Fail();
      return s;
    }
    if (w == "THROW") {
      Take();
      auto s = std::make_unique<ThrowStatement>();
      if (StartsExpression()) {
        s->args.push_back(ParseExpr());
        ExpectSymbol(",");
        s->args.push_back(ParseExpr());
        ExpectSymbol(",");
        s->args.push_back(ParseExpr());
      }
      return s;
    }
    if (w == "WAITFOR") {
      Take();
      auto s = std::make_unique<WaitforStatement>();
      if (!PeekWord("DELAY") && !PeekWord("TIME")) {
        throw UnsupportedConstruct("WAITFOR " + Upper(Peek().text));
      }
      s->kind = Upper(Take().text);
      s->value = ParseExpr();
      return s;
    }
    if (w == "DBCC") {
      Take();
      auto s = std::make_unique<DbccStatement>();
      s->command = Upper(Identifier(false));
      if (AcceptSymbol("(")) {
        if (!PeekSymbol(")")) {
          do s->arguments.push_back(ParseExpr());
          while (AcceptSymbol(","));
        }
        ExpectSymbol(")");
      }
      if (PeekWord("WITH")) {
        Take();
        do s->options.push_back(Upper(Identifier(false)));
        while (AcceptSymbol(","));
      }
      return s;
    }
    if (w == "RECONFIGURE") {
      Take();
      if (AcceptWord("WITH")) ExpectWord("OVERRIDE");
      return std::make_unique<SimpleStatement>(StatementKind::Reconfigure);
    }
    if (w == "CHECKPOINT") {
      Take();
      if (Peek().kind == TokenKind::Number) Take();  // the checkpoint's duration
      return std::make_unique<SimpleStatement>(StatementKind::Checkpoint);
    }
    if (w == "UPDATE" && PeekWord("STATISTICS", 1)) return ParseUpdateStatistics();
    if (w == "GRANT" || w == "DENY" || w == "REVOKE") return ParsePermission();
    if (w == "BREAK") {
      Take();
      return std::make_unique<SimpleStatement>(StatementKind::Break);
    }
    if (w == "GOTO") {
      Take();
      auto s = std::make_unique<LabelStatement>(StatementKind::Goto);
      s->label = Identifier(true);
      return s;
    }
    if (IsIdentifier(t) && PeekSymbol(":", 1)) {
      auto s = std::make_unique<LabelStatement>(StatementKind::Label);
      s->label = Take().text;
      Take();
      return s;
    }
    if (w == "CONTINUE") {
      Take();
      return std::make_unique<SimpleStatement>(StatementKind::Continue);
    }
    if (w == "RETURN") {
      Take();
      auto s = std::make_unique<ReturnStatement>();
      if (StartsExpression()) s->value = ParseExpr();
      return s;
    }
    if (w == "PRINT") {
      Take();
      auto s = std::make_unique<PrintStatement>();
      s->value = ParseExpr();
      return s;
    }
    if (w == "RAISERROR") {
      Take();
      auto s = std::make_unique<RaiserrorStatement>();
      if (!AcceptSymbol("(")) throw UnsupportedConstruct("RAISERROR without parentheses");
      s->args.push_back(ParseExpr());
      while (AcceptSymbol(",")) s->args.push_back(ParseExpr());
      ExpectSymbol(")");
      if (AcceptWord("WITH")) {
        do {
          const std::string option = Upper(Identifier(true));
          if (option != "LOG" && option != "NOWAIT" && option != "SETERROR") {
            throw ServerErrorByNumber(102, {option});
          }
          s->options.push_back(option);
        } while (AcceptSymbol(","));
      }
      return s;
    }
    if (w == "USE") {
      Take();
      auto s = std::make_unique<UseStatement>();
      s->database = Identifier(true);
      return s;
    }
    if (w == "GO") throw ServerErrorByNumber(102, {"GO"});
    if (firstInBatch && IsIdentifier(t)) {
      // A batch may begin with a bare procedure name.
      return ParseExecBody();
    }
    static const std::set<std::string> known = {
        "DECLARE", "OPEN", "FETCH",    "CLOSE",    "DEALLOCATE", "BULK",       "BACKUP",  "RESTORE",
        "DBCC",    "KILL", "SHUTDOWN", "READTEXT", "WRITETEXT",  "UPDATETEXT", "DISABLE", "ENABLE"};
    if (w == "OPEN" || w == "FETCH" || w == "CLOSE" || w == "DEALLOCATE") {
      return ParseCursorStatement();
    }
    if (known.count(w)) throw UnsupportedConstruct(w);
    Fail();
  }

  // WITH a AS (…), b (x, y) AS (…) followed by the statement using them.
  StatementPtr ParseWithStatement() {
    ExpectWord("WITH");
    std::vector<CommonTableExpr> ctes;
    do {
      CommonTableExpr cte;
      cte.name = Identifier(true);
      if (PeekSymbol("(")) cte.columns = ParseColumnList();
      ExpectWord("AS");
      ExpectSymbol("(");
      cte.query = ParseQuery();
      ExpectSymbol(")");
      ctes.push_back(std::move(cte));
    } while (AcceptSymbol(","));
    if (PeekWord("SELECT") || (PeekSymbol("(") && LooksLikeSelectInParens())) {
      auto s = std::make_unique<SelectStatement>();
      s->select = ParseQuery();
      s->select->with = std::move(ctes);
      return s;
    }
    if (PeekWord("INSERT")) {
      auto s = ParseInsert();
      if (!s->select) throw UnsupportedConstruct("WITH before INSERT … VALUES");
      s->select->with = std::move(ctes);
      return s;
    }
    if (PeekWord("UPDATE")) {
      auto s = ParseUpdate();
      s->with = std::move(ctes);
      return s;
    }
    if (PeekWord("DELETE")) {
      auto s = ParseDelete();
      s->with = std::move(ctes);
      return s;
    }
    if (PeekWord("MERGE")) {
      auto s = ParseMerge();
      s->with = std::move(ctes);
      return s;
    }
    Fail();
  }

  // A transaction's or save point's name after TRAN: a word or a variable;
  // none when the statement ends there.
  ExprPtr ParseTransactionName() {
    const Token& t = Peek();
    auto name = std::make_unique<Expr>();
    if (t.kind == TokenKind::Variable) {
      name->kind = ExprKind::Variable;
    } else if (IsIdentifier(t) && !PeekSymbol(":", 1)) {  // not the next statement's label
      name->kind = ExprKind::String;
    } else {
      return nullptr;
    }
    name->text = Take().text;
    return name;
  }

  // BEGIN TRY … END TRY BEGIN CATCH … END CATCH; either block may be empty
  // of statements only in CATCH, as in SQL Server.
  StatementPtr ParseTry() {
    Take();
    Take();
    auto s = std::make_unique<TryStatement>();
    s->body = ParseBlockUntil("TRY");
    if (s->body.empty()) Fail();
    if (!PeekWord("BEGIN") || !PeekWord("CATCH", 1)) Fail();
    Take();
    Take();
    s->handler = ParseBlockUntil("CATCH");
    return s;
  }

  // Statements up to END `word`, which is taken.
  std::vector<StatementPtr> ParseBlockUntil(std::string_view word) {
    std::vector<StatementPtr> statements;
    while (!(PeekWord("END") && PeekWord(word, 1))) {
      if (AtEnd()) Fail();
      if (AcceptSymbol(";")) continue;
      statements.push_back(ParseStatement());
    }
    Take();
    Take();
    return statements;
  }

  // UPDATE STATISTICS table [name | (name, …)] [WITH options]
  StatementPtr ParseUpdateStatistics() {
    Take();
    Take();
    auto s = std::make_unique<UpdateStatisticsStatement>();
    s->table = ParseObjectName();
    if (AcceptSymbol("(")) {
      s->statistics = Identifier(true);
      while (AcceptSymbol(",")) Identifier(true);
      ExpectSymbol(")");
    } else if (IsIdentifier(Peek())) {
      s->statistics = Identifier(true);
    }
    if (AcceptWord("WITH")) {
      do {
        Identifier(true);
        if (AcceptSymbol("=")) Take();
        if (Peek().kind == TokenKind::Number) {  // SAMPLE n PERCENT|ROWS
          Take();
          if (PeekWord("PERCENT") || PeekWord("ROWS")) Take();
        }
      } while (AcceptSymbol(","));
    }
    return s;
  }

  StatementPtr ParsePermission() {
    auto s = std::make_unique<PermissionStatement>();
    s->action = Upper(Take().text);
    if (s->action == "REVOKE" && PeekWord("GRANT") && PeekWord("OPTION", 1)) {
      Take();
      Take();
      ExpectWord("FOR");
    }
    do {
      std::string permission;
      while (Peek().kind == TokenKind::Word && !PeekWord("ON") && !PeekWord("TO") &&
             !PeekWord("FROM")) {
        permission += (permission.empty() ? "" : " ") + Upper(Take().text);
      }
      if (permission.empty()) Fail();
      if (PeekSymbol("(")) ParenthesisedText();  // columns
      s->permissions.push_back(permission == "ALL PRIVILEGES" ? "ALL" : permission);
    } while (AcceptSymbol(","));
    if (AcceptWord("ON")) {
      if (Peek().kind == TokenKind::Word && PeekSymbol("::", 1)) {
        s->securableClass = Upper(Take().text);
        Take();
        s->securable = ParseObjectName();
      } else {
        s->securable = ParseObjectName();
      }
      if (PeekSymbol("(")) ParenthesisedText();  // columns
    }
    if (!AcceptWord("TO") && !(s->action == "REVOKE" && AcceptWord("FROM"))) Fail();
    do s->principals.push_back(Identifier(true));
    while (AcceptSymbol(","));
    if (s->action == "GRANT" && AcceptWord("WITH")) {
      ExpectWord("GRANT");
      ExpectWord("OPTION");
    }
    AcceptWord("CASCADE");
    if (AcceptWord("AS")) Identifier(true);
    return s;
  }

  bool LooksLikeSelectInParens() const {
    std::size_t i = 0;
    while (PeekSymbol("(", i)) ++i;
    return PeekWord("SELECT", i);
  }

  bool StartsExpression() const {
    const Token& t = Peek();
    switch (t.kind) {
      case TokenKind::Number:
      case TokenKind::String:
      case TokenKind::Parameter:
      case TokenKind::Variable:
      case TokenKind::Quoted:
        return true;
      case TokenKind::Symbol:
        return t.text == "(" || t.text == "-" || t.text == "+" || t.text == "~";
      case TokenKind::Word:
        return PeekWord("NULL") || PeekWord("CASE") || PeekWord("EXISTS") ||
               (IsIdentifier(t) && PeekSymbol("(", 1)) || (IsIdentifier(t) && PeekSymbol(".", 1));
      default:
        return false;
    }
  }

  std::unique_ptr<InsertStatement> ParseInsert() {
    Take();
    auto s = std::make_unique<InsertStatement>();
    AcceptWord("INTO");
    s->table = ParseObjectName();
    if (PeekSymbol("(") && !LooksLikeSelectInParens()) {
      Take();
      do {
        s->columns.push_back(Identifier(true));
      } while (AcceptSymbol(","));
      ExpectSymbol(")");
    }
    s->output = ParseOutputClause();
    if (AcceptWord("VALUES")) {
      do {
        ExpectSymbol("(");
        std::vector<ExprPtr> row;
        do row.push_back(ParseInsertValue());
        while (AcceptSymbol(","));
        ExpectSymbol(")");
        s->rows.push_back(std::move(row));
      } while (AcceptSymbol(","));
    } else if (PeekWord("SELECT") || PeekSymbol("(")) {
      s->select = ParseQuery();
    } else if (AcceptWord("DEFAULT")) {
      ExpectWord("VALUES");
      s->defaultValues = true;
    } else if (PeekWord("EXEC") || PeekWord("EXECUTE")) {
      const std::size_t execStart = Take().offset;
      s->exec = ParseExecBody();
      s->exec->offset = execStart;
      s->exec->endOffset = LastEnd();
    } else {
      Fail();
    }
    return s;
  }

  ExprPtr ParseTopClause() {
    if (!AcceptWord("TOP")) return nullptr;
    if (AcceptSymbol("(")) {
      ExprPtr e = ParseExpr();
      ExpectSymbol(")");
      return e;
    }
    if (Peek().kind != TokenKind::Number && Peek().kind != TokenKind::Parameter &&
        Peek().kind != TokenKind::Variable)
      Fail();
    return ParsePrimary();
  }

  std::unique_ptr<UpdateStatement> ParseUpdate() {
    Take();
    auto s = std::make_unique<UpdateStatement>();
    s->top = ParseTopClause();
    s->table = ParseObjectName();
    SkipTableHints();
    ExpectWord("SET");
    s->assignments = ParseAssignments();
    s->output = ParseOutputClause();
    if (AcceptWord("FROM")) s->from = ParseFromList();
    if (AcceptWord("WHERE")) s->where = ParseCondition();
    return s;
  }

  // OUTPUT item, … [INTO table [(columns)]] of INSERT, UPDATE, DELETE and
  // MERGE; none when the statement has no OUTPUT.
  std::unique_ptr<OutputClause> ParseOutputClause() {
    if (!AcceptWord("OUTPUT")) return nullptr;
    auto output = std::make_unique<OutputClause>();
    do {
      if (PeekSymbol("$") && PeekWord("ACTION", 1)) {
        Take();
        Take();
        SelectItem item;
        item.expr = std::make_unique<Expr>();
        item.expr->kind = ExprKind::Column;
        item.expr->parts = {"$action"};
        if (AcceptWord("AS")) {
          item.alias = Identifier(true);
          item.hasAlias = true;
        } else if (IsIdentifier(Peek())) {
          item.alias = Take().text;
          item.hasAlias = true;
        }
        output->items.push_back(std::move(item));
      } else {
        output->items.push_back(ParseSelectItem());
      }
    } while (AcceptSymbol(","));
    if (AcceptWord("INTO")) {
      output->into = ParseObjectName();
      if (AcceptSymbol("(")) {
        do output->intoColumns.push_back(Identifier(true));
        while (AcceptSymbol(","));
        ExpectSymbol(")");
      }
    }
    return output;
  }

  // The SET list of an UPDATE: column = value, @variable = value.
  std::vector<Assignment> ParseAssignments() {
    std::vector<Assignment> assignments;
    do {
      Assignment a;
      if (Peek().kind == TokenKind::Variable) {
        a.variable = Take().text;
        if (AcceptSymbol("=")) {
          if (IsIdentifier(Peek()) && PeekSymbol("=", 1)) {
            throw UnsupportedConstruct("SET @variable = column = expression");
          }
        } else {
          Fail();
        }
      } else {
        a.column.push_back(Identifier(true));
        while (AcceptSymbol(".")) a.column.push_back(Identifier(true));
        const Token& op = Peek();
        if (op.kind == TokenKind::Symbol && (op.text == "=" || op.text == "+=" || op.text == "-=" ||
                                             op.text == "*=" || op.text == "/=")) {
          a.op = Take().text;
        } else {
          Fail();
        }
      }
      a.value = ParseExpr();
      assignments.push_back(std::move(a));
    } while (AcceptSymbol(","));
    return assignments;
  }

  // A value of a VALUES row: an expression or DEFAULT.
  ExprPtr ParseInsertValue() {
    if (!PeekWord("DEFAULT")) return ParseExpr();
    Take();
    auto d = std::make_unique<Expr>();
    d->kind = ExprKind::Function;
    d->text = "DEFAULT";
    return d;
  }

  std::unique_ptr<DeleteStatement> ParseDelete() {
    Take();
    auto s = std::make_unique<DeleteStatement>();
    s->top = ParseTopClause();
    AcceptWord("FROM");
    s->table = ParseObjectName();
    SkipTableHints();
    s->output = ParseOutputClause();
    if (AcceptWord("FROM")) s->from = ParseFromList();
    if (AcceptWord("WHERE")) s->where = ParseCondition();
    return s;
  }

  // MERGE [TOP (n)] [INTO] target [WITH (hints)] [[AS] alias] USING source
  // ON condition WHEN … ; — the semicolon is part of the statement.
  std::unique_ptr<MergeStatement> ParseMerge() {
    Take();
    auto s = std::make_unique<MergeStatement>();
    if (AcceptWord("TOP")) {
      ExpectSymbol("(");
      s->top = ParseExpr();
      ExpectSymbol(")");
      if (PeekWord("PERCENT")) throw UnsupportedConstruct("TOP … PERCENT");
    }
    AcceptWord("INTO");
    s->target = ParseObjectName();
    SkipTableHints();
    if (AcceptWord("AS")) {
      s->targetAlias = Identifier(true);
    } else if (IsIdentifier(Peek()) && !PeekWord("USING")) {
      s->targetAlias = Take().text;
    }
    ExpectWord("USING");
    s->source = ParseMergeSource();
    ExpectWord("ON");
    s->on = ParseCondition();
    while (PeekWord("WHEN")) s->clauses.push_back(ParseMergeClause());
    if (s->clauses.empty()) Fail();
    CheckMergeClauses(s->clauses);
    s->output = ParseOutputClause();
    if (AcceptWord("OPTION")) ParenthesisedText();
    if (!PeekSymbol(";")) throw ServerErrorByNumber(10713);
    return s;
  }

  // The source of a MERGE: a table, a derived table, or a table value
  // constructor, read as the UNION ALL of its rows; a derived table may name
  // its columns after its alias.
  TableRef ParseMergeSource() {
    if (!(PeekSymbol("(") && PeekWord("VALUES", 1))) {
      TableRef ref = ParseTableRef(JoinKind::First);
      if (ref.derived && PeekSymbol("(")) NameDerivedColumns(*ref.derived, ref.alias);
      return ref;
    }
    Take();
    Take();
    std::vector<std::vector<ExprPtr>> rows;
    do {
      ExpectSymbol("(");
      std::vector<ExprPtr>& row = rows.emplace_back();
      do row.push_back(ParseExpr());
      while (AcceptSymbol(","));
      ExpectSymbol(")");
      if (row.size() != rows.front().size()) throw ServerErrorByNumber(10709);
    } while (AcceptSymbol(","));
    ExpectSymbol(")");
    TableRef ref;
    AcceptWord("AS");
    ref.alias = Identifier(true);
    std::unique_ptr<Select>* next = &ref.derived;
    for (auto& row : rows) {
      *next = std::make_unique<Select>();
      for (ExprPtr& value : row) {
        SelectItem item;
        item.expr = std::move(value);
        (*next)->items.push_back(std::move(item));
      }
      (*next)->unionAll = true;
      next = &(*next)->unionNext;
    }
    if (!PeekSymbol("(")) Fail();
    NameDerivedColumns(*ref.derived, ref.alias);
    return ref;
  }

  // AS alias (a, b, …) after a derived table: the names of its columns.
  void NameDerivedColumns(Select& query, const std::string& alias) {
    const std::vector<std::string> names = ParseColumnList();
    if (names.size() != query.items.size()) {
      throw ServerErrorByNumber(names.size() < query.items.size() ? 8158 : 8159, {alias});
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
      SelectItem& item = query.items[i];
      if (item.expr->kind == ExprKind::Star) {
        throw UnsupportedConstruct("column names for a derived table that selects *");
      }
      item.alias = names[i];
      item.hasAlias = true;
    }
  }

  // WHEN [NOT] MATCHED [BY TARGET | BY SOURCE] [AND condition] THEN action
  MergeClause ParseMergeClause() {
    ExpectWord("WHEN");
    MergeClause c;
    if (!AcceptWord("MATCHED")) {
      ExpectWord("NOT");
      ExpectWord("MATCHED");
      c.match = MergeMatch::NotMatchedByTarget;
      if (AcceptWord("BY")) {
        if (AcceptWord("SOURCE")) {
          c.match = MergeMatch::NotMatchedBySource;
        } else {
          ExpectWord("TARGET");
        }
      }
    }
    if (AcceptWord("AND")) c.condition = ParseCondition();
    ExpectWord("THEN");
    const bool insertClause = c.match == MergeMatch::NotMatchedByTarget;
    if (PeekWord("UPDATE") || PeekWord("DELETE")) {
      const std::string action = Upper(Take().text);
      if (insertClause) throw ServerErrorByNumber(10710, {action});
      c.action = action == "UPDATE" ? MergeAction::Update : MergeAction::Delete;
      if (c.action == MergeAction::Update) {
        ExpectWord("SET");
        c.assignments = ParseAssignments();
        for (const Assignment& a : c.assignments) {
          if (!a.variable.empty()) throw UnsupportedConstruct("SET @variable in a MERGE");
        }
      }
      return c;
    }
    ExpectWord("INSERT");
    if (!insertClause) {
      throw ServerErrorByNumber(
          10711, {c.match == MergeMatch::Matched ? "WHEN MATCHED" : "WHEN NOT MATCHED BY SOURCE"});
    }
    c.action = MergeAction::Insert;
    if (AcceptSymbol("(")) {
      do {
        c.columns.push_back(Identifier(true));
        if (PeekSymbol(".")) throw ServerErrorByNumber(10739);
      } while (AcceptSymbol(","));
      ExpectSymbol(")");
    }
    if (AcceptWord("DEFAULT")) {
      ExpectWord("VALUES");
      c.defaultValues = true;
      return c;
    }
    ExpectWord("VALUES");
    ExpectSymbol("(");
    do c.values.push_back(ParseInsertValue());
    while (AcceptSymbol(","));
    ExpectSymbol(")");
    return c;
  }

  // At most one INSERT clause; at most one UPDATE and one DELETE among the
  // WHEN MATCHED clauses and among the BY SOURCE ones, where only the last
  // may go without a condition.
  static void CheckMergeClauses(const std::vector<MergeClause>& clauses) {
    int inserts = 0;
    for (const MergeClause& c : clauses) inserts += c.match == MergeMatch::NotMatchedByTarget;
    if (inserts > 1) throw ServerErrorByNumber(10714, {"WHEN NOT MATCHED", "INSERT"});
    for (const MergeMatch match : {MergeMatch::Matched, MergeMatch::NotMatchedBySource}) {
      const char* name =
          match == MergeMatch::Matched ? "WHEN MATCHED" : "WHEN NOT MATCHED BY SOURCE";
      const MergeClause* previous = nullptr;
      bool updates = false, deletes = false;
      for (const MergeClause& c : clauses) {
        if (c.match != match) continue;
        if (previous && !previous->condition) throw ServerErrorByNumber(5324, {name, name});
        bool& seen = c.action == MergeAction::Update ? updates : deletes;
        if (seen) {
          throw ServerErrorByNumber(10714,
                                    {name, c.action == MergeAction::Update ? "UPDATE" : "DELETE"});
        }
        seen = true;
        previous = &c;
      }
    }
  }

  static bool IsLockingHint(const std::string& hint) {
    static const std::set<std::string> kHints = {
        "NOLOCK",       "READUNCOMMITTED", "ROWLOCK",        "UPDLOCK", "HOLDLOCK",
        "TABLOCK",      "TABLOCKX",        "READPAST",       "PAGLOCK", "XLOCK",
        "SERIALIZABLE", "READCOMMITTED",   "REPEATABLEREAD", "NOWAIT",  "READCOMMITTEDLOCK"};
    return kHints.count(hint) > 0;
  }

  // WITH (NOLOCK, …), or the older form without WITH: t (NOLOCK). Locking
  // hints change nothing here: SQLite serialises writers and readers see
  // committed data.
  void SkipTableHints() {
    const bool with = PeekWord("WITH") && PeekSymbol("(", 1);
    const bool bare =
        PeekSymbol("(") && Peek(1).kind == TokenKind::Word && IsLockingHint(Upper(Peek(1).text));
    if (!with && !bare) return;
    if (with) Take();
    Take();
    do {
      const std::string hint = Upper(Identifier(true));
      if (!IsLockingHint(hint)) throw UnsupportedConstruct("table hint " + hint);
    } while (AcceptSymbol(","));
    ExpectSymbol(")");
  }

  // ---- CREATE / ALTER / DROP -----------------------------------------------
  StatementPtr ParseCreate(bool alter) {
    Take();
    if (!alter && PeekWord("OR") && PeekWord("ALTER", 1)) {
      Take();
      Take();
      StatementPtr routine;
      if (PeekWord("PROCEDURE") || PeekWord("PROC")) {
        routine = ParseCreateProcedure(false);
      } else if (PeekWord("FUNCTION")) {
        routine = ParseCreateFunction(false);
      } else if (PeekWord("VIEW")) {
        routine = ParseCreateView(false);
      } else if (PeekWord("TRIGGER")) {
        routine = ParseCreateTrigger(false);
      } else if (Peek().kind == TokenKind::Word) {
        throw UnsupportedConstruct("CREATE OR ALTER " + Upper(Peek().text));
      } else {
        Fail();
      }
      static_cast<CreateRoutineStatement&>(*routine).createOrAlter = true;
      return routine;
    }
    if (!alter && PeekWord("DATABASE")) return ParseCreateDatabase();
    if (!alter && PeekWord("TABLE")) {
      Take();
      auto s = std::make_unique<CreateTableStatement>();
      s->table = ParseObjectName();
      ParseTableBody(*s);
      return s;
    }
    if (!alter && (PeekWord("UNIQUE") || PeekWord("CLUSTERED") || PeekWord("NONCLUSTERED") ||
                   PeekWord("INDEX"))) {
      return ParseCreateIndex();
    }
    if (!alter && PeekWord("TYPE")) return ParseCreateType();
    if (!alter && AcceptWord("STATISTICS")) {
      auto s = std::make_unique<StatisticsStatement>();
      const std::string name = Identifier(true);
      ExpectWord("ON");
      s->statistics.emplace_back(ParseObjectName(), name);
      s->columns = ParseColumnList();
      if (AcceptWord("WHERE")) ParseCondition();
      if (AcceptWord("WITH")) {
        do {
          Identifier(true);
          if (Peek().kind == TokenKind::Number) {
            Take();
            if (!AcceptWord("PERCENT")) AcceptWord("ROWS");
          }
        } while (AcceptSymbol(","));
      }
      return s;
    }
    if (!alter && (PeekWord("RULE") || PeekWord("DEFAULT"))) {
      auto s = std::make_unique<CreateBoundObjectStatement>();
      s->rule = Upper(Take().text) == "RULE";
      s->name = ParseObjectName();
      ExpectWord("AS");
      const std::size_t from = Peek().offset;
      s->expr = s->rule ? ParseCondition() : ParseExpr();
      s->text = std::string(sql_.substr(from, LastEnd() - from));
      return s;
    }
    if (PeekWord("PROCEDURE") || PeekWord("PROC")) return ParseCreateProcedure(alter);
    if (!alter && AcceptWord("SCHEMA")) {
      auto s = std::make_unique<SchemaStatement>(StatementKind::CreateSchema);
      s->name = Identifier(true);
      if (AcceptWord("AUTHORIZATION")) s->owner = Identifier(true);
      return s;
    }
    if (PeekWord("FUNCTION")) return ParseCreateFunction(alter);
    if (PeekWord("VIEW")) return ParseCreateView(alter);
    if (PeekWord("TRIGGER")) return ParseCreateTrigger(alter);
    if (!alter && AcceptWord("ROLE")) {
      auto s = std::make_unique<PrincipalStatement>(PrincipalStatement::Action::CreateRole);
      s->name = Identifier(true);
      if (AcceptWord("AUTHORIZATION")) s->owner = Identifier(true);
      return s;
    }
    if (!alter && AcceptWord("USER")) return ParseCreateUser();
    if (!alter && AcceptWord("LOGIN")) return ParseCreateLogin();
    if (Peek().kind == TokenKind::Word)
      throw UnsupportedConstruct((alter ? "ALTER " : "CREATE ") + Upper(Peek().text));
    Fail();
  }

  // CREATE USER name [{FOR | FROM} LOGIN login | WITHOUT LOGIN]
  //   [WITH DEFAULT_SCHEMA = schema]
  StatementPtr ParseCreateUser() {
    auto s = std::make_unique<PrincipalStatement>(PrincipalStatement::Action::CreateUser);
    s->name = Identifier(true);
    if (AcceptWord("FOR") || AcceptWord("FROM")) {
      if (PeekWord("CERTIFICATE") || PeekWord("ASYMMETRIC") || PeekWord("EXTERNAL")) {
        throw UnsupportedConstruct("CREATE USER FROM " + Upper(Peek().text));
      }
      ExpectWord("LOGIN");
      s->login = Identifier(true);
    } else if (AcceptWord("WITHOUT")) {
      ExpectWord("LOGIN");
      s->withoutLogin = true;
    }
    if (AcceptWord("WITH")) {
      do {
        const std::string option = Upper(Identifier(true));
        ExpectSymbol("=");
        if (option != "DEFAULT_SCHEMA") throw UnsupportedConstruct("CREATE USER WITH " + option);
        s->defaultSchema = Identifier(true);
      } while (AcceptSymbol(","));
    }
    return s;
  }

  // CREATE LOGIN name {WITH PASSWORD = '…' [HASHED] [MUST_CHANGE] [, option = value …]
  //   | FROM WINDOWS [WITH …] | FROM CERTIFICATE … | FROM ASYMMETRIC KEY …}
  StatementPtr ParseCreateLogin() {
    auto s = std::make_unique<PrincipalStatement>(PrincipalStatement::Action::CreateLogin);
    s->name = Identifier(true);
    if (AcceptWord("FROM")) {
      if (!AcceptWord("WINDOWS")) {
        throw UnsupportedConstruct("CREATE LOGIN FROM " + Upper(Peek().text));
      }
      s->fromWindows = true;
      if (!AcceptWord("WITH")) return s;
    } else {
      ExpectWord("WITH");
    }
    do {
      Identifier(true);
      ExpectSymbol("=");
      const Token& value = Peek();
      if (value.kind == TokenKind::End || (value.kind == TokenKind::Symbol)) Fail();
      Take();
      while (PeekWord("HASHED") || PeekWord("MUST_CHANGE")) Take();
    } while (AcceptSymbol(","));
    return s;
  }

  StatementPtr ParseCreateType() {
    Take();
    auto s = std::make_unique<CreateTypeStatement>();
    s->name = ParseObjectName();
    if (PeekWord("AS")) throw DatabaseError(NotSupported("table types (CREATE TYPE … AS TABLE)"));
    if (PeekWord("EXTERNAL")) throw DatabaseError(NotSupported("CLR types"));
    ExpectWord("FROM");
    s->base = ParseType();
    if (AcceptWord("NULL")) {
      s->nullable = true;
    } else if (AcceptWord("NOT")) {
      ExpectWord("NULL");
      s->nullable = false;
    }
    return s;
  }

  StatementPtr ParseCreateDatabase() {
    Take();
    auto s = std::make_unique<CreateDatabaseStatement>();
    s->name = Identifier(true);
    if (AcceptWord("ON")) {
      AcceptWord("PRIMARY");
      ParseFileSpecs(s->dataFiles);
      if (AcceptWord("LOG")) {
        ExpectWord("ON");
        ParseFileSpecs(s->logFiles);
      }
    }
    if (AcceptWord("COLLATE")) s->collation = Identifier(true);
    if (PeekWord("WITH") || PeekWord("FOR"))
      throw UnsupportedConstruct("CREATE DATABASE " + Upper(Peek().text));
    return s;
  }

  void ParseFileSpecs(std::vector<DatabaseFile>& files) {
    do {
      ExpectSymbol("(");
      DatabaseFile file;
      do {
        const std::string key = Upper(Identifier(true));
        ExpectSymbol("=");
        if (key == "NAME") {
          file.logicalName = Peek().kind == TokenKind::String ? Take().text : Identifier(true);
        } else if (key == "FILENAME") {
          if (Peek().kind != TokenKind::String) Fail();
          file.fileName = Take().text;
        } else if (key == "SIZE" || key == "MAXSIZE" || key == "FILEGROWTH") {
          if (PeekWord("UNLIMITED")) {
            Take();
          } else if (Peek().kind == TokenKind::Number) {
            Take();
            if (PeekSymbol("%")) {
              Take();
            } else if (PeekWord("KB") || PeekWord("MB") || PeekWord("GB") || PeekWord("TB")) {
              Take();
            }
          } else {
            Fail();
          }
        } else if (key == "NEWNAME") {
          Identifier(true);
        } else {
          Fail();
        }
      } while (AcceptSymbol(","));
      ExpectSymbol(")");
      files.push_back(std::move(file));
    } while (AcceptSymbol(","));
  }

  TypeSpec ParseType() {
    TypeSpec type;
    std::string name = Identifier(true);
    if (AcceptSymbol(".")) name = Identifier(true);  // dbo.type / sys.type
    type.name = Lower(name);
    if (type.name == "double" && AcceptWord("PRECISION")) type.name = "float";
    if ((type.name == "char" || type.name == "character" || type.name == "nchar" ||
         type.name == "national") &&
        PeekWord("VARYING")) {
      Take();
      type.name = type.name == "nchar" ? "nvarchar" : "varchar";
    }
    if (AcceptSymbol("(")) {
      if (AcceptWord("MAX")) {
        type.length = -2;
      } else {
        if (Peek().kind != TokenKind::Number) Fail();
        const std::string n = Take().text;
        if (n.find_first_not_of("0123456789") != std::string::npos || n.size() > 9) Fail();
        const int v = std::stoi(n);
        type.length = v;
        type.precision = v;
        if (AcceptSymbol(",")) {
          if (Peek().kind != TokenKind::Number) Fail();
          const std::string sc = Take().text;
          if (sc.find_first_not_of("0123456789") != std::string::npos || sc.size() > 9) Fail();
          type.scale = std::stoi(sc);
        }
      }
      ExpectSymbol(")");
    }
    return type;
  }

  // The text of a DEFAULT as written, parenthesised as the server keeps it.
  std::string DefaultText(std::size_t from, std::size_t to) const {
    std::string text(sql_.substr(from, to - from));
    if (text.size() >= 2 && text.front() == '(' && text.back() == ')') {
      // Keep as written when the outer parentheses enclose the whole.
      int depth = 0;
      bool wholly = true;
      bool inString = false;
      for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\'') inString = !inString;
        if (inString) continue;
        if (c == '(') ++depth;
        if (c == ')') {
          --depth;
          if (depth == 0 && i + 1 < text.size()) wholly = false;
        }
      }
      if (wholly) return text;
    }
    return "(" + text + ")";
  }

  void ParseDefault(ExprPtr& expr, std::string& text) {
    const std::size_t from = Peek().offset;
    expr = ParseExpr();
    text = DefaultText(from, LastEnd());
  }

  // Whether a column's definition goes on without a type: its end, or
  // straight to its constraints.
  bool NoTypeFollows() const {
    if (PeekSymbol(",") || PeekSymbol(")")) return true;
    for (const char* word : {"NULL", "NOT", "CONSTRAINT", "PRIMARY", "UNIQUE", "DEFAULT"}) {
      if (PeekWord(word)) return true;
    }
    return false;
  }

  // `tableConstraints`: where a key written after the column with a column
  // list of its own goes (`a int PRIMARY KEY (a, b)`, as SQL Server takes it);
  // null where that cannot stand.
  ColumnDef ParseColumnDef(bool alterColumn,
                           std::vector<TableConstraint>* tableConstraints = nullptr) {
    ColumnDef c;
    c.name = Identifier(true);
    if (!alterColumn && AcceptWord("AS")) {
      c.computed = true;
      ParseDefault(c.computedExpr, c.computedText);
      c.persisted = AcceptWord("PERSISTED");
    } else if (!alterColumn && Lower(c.name) == "timestamp" && NoTypeFollows()) {
      // A column written as the bare word timestamp is a timestamp column of
      // that name, as SQL Server reads it.
      c.type.name = "timestamp";
    } else {
      c.type = ParseType();
    }
    if (alterColumn) {
      if (AcceptWord("COLLATE")) c.collation = Identifier(true);
      if (AcceptWord("NULL")) {
        c.nullable = true;
      } else if (AcceptWord("NOT")) {
        ExpectWord("NULL");
        c.nullable = false;
      }
      return c;
    }
    while (true) {
      std::string constraintName;
      if (AcceptWord("CONSTRAINT")) constraintName = Identifier(true);
      if (AcceptWord("NULL")) {
        c.nullable = true;
      } else if (AcceptWord("NOT")) {
        if (AcceptWord("FOR")) {
          ExpectWord("REPLICATION");
          continue;
        }
        ExpectWord("NULL");
        c.nullable = false;
      } else if (AcceptWord("DEFAULT")) {
        c.defaultName = constraintName;
        ParseDefault(c.defaultExpr, c.defaultText);
      } else if (AcceptWord("IDENTITY")) {
        c.identity = true;
        if (AcceptSymbol("(")) {
          c.identitySeed = SignedInteger();
          ExpectSymbol(",");
          c.identityIncrement = SignedInteger();
          ExpectSymbol(")");
        }
        if (PeekWord("NOT") && PeekWord("FOR", 1)) {
          Take();
          Take();
          ExpectWord("REPLICATION");
        }
      } else if (tableConstraints && KeyWithColumnListFollows()) {
        tableConstraints->push_back(ParseTableConstraint(constraintName));
      } else if (AcceptWord("PRIMARY")) {
        ExpectWord("KEY");
        c.primaryKey = true;
        c.keyConstraintName = constraintName;
        ParseColumnKeyOptions(c);
      } else if (AcceptWord("UNIQUE")) {
        c.unique = true;
        c.keyConstraintName = constraintName;
        ParseColumnKeyOptions(c);
      } else if (AcceptWord("COLLATE")) {
        c.collation = Identifier(true);
      } else if (AcceptWord("ROWGUIDCOL")) {
      } else if (PeekWord("CHECK")) {
        TableConstraint check = ParseTableConstraint(constraintName);
        check.columns.push_back(c.name);
        c.checks.push_back(std::move(check));
      } else if (PeekWord("REFERENCES") || PeekWord("FOREIGN")) {
        AcceptWord("FOREIGN");
        if (PeekWord("KEY")) Take();
        TableConstraint fk;
        fk.kind = ConstraintKind::ForeignKey;
        fk.name = constraintName;
        fk.columns.push_back(c.name);
        ParseReferences(fk);
        c.checks.push_back(std::move(fk));
      } else {
        if (!constraintName.empty()) Fail();
        break;
      }
    }
    return c;
  }

  // PRIMARY KEY or UNIQUE, [NON]CLUSTERED, then a column list.
  bool KeyWithColumnListFollows() const {
    std::size_t k = 0;
    if (PeekWord("PRIMARY") && PeekWord("KEY", 1)) {
      k = 2;
    } else if (PeekWord("UNIQUE")) {
      k = 1;
    } else {
      return false;
    }
    if (PeekWord("CLUSTERED", k) || PeekWord("NONCLUSTERED", k)) ++k;
    return PeekSymbol("(", k);
  }

  // [CLUSTERED | NONCLUSTERED] [WITH (options)] [ON filegroup] of a column's key.
  void ParseColumnKeyOptions(ColumnDef& c) {
    if (AcceptWord("CLUSTERED")) {
      c.keyClustered = true;
    } else if (AcceptWord("NONCLUSTERED")) {
      c.keyClustered = false;
    }
    SkipIndexOptions();
  }

  long long SignedInteger() {
    bool negative = AcceptSymbol("-");
    if (!negative) AcceptSymbol("+");
    if (Peek().kind != TokenKind::Number) Fail();
    const std::string digits = Take().text;
    if (digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 18) Fail();
    const long long v = std::stoll(digits);
    return negative ? -v : v;
  }

  std::vector<std::string> ParseColumnList() {
    std::vector<std::string> cols;
    ExpectSymbol("(");
    do {
      cols.push_back(Identifier(true));
      if (!AcceptWord("ASC")) AcceptWord("DESC");
    } while (AcceptSymbol(","));
    ExpectSymbol(")");
    return cols;
  }

  // REFERENCES table [(columns)]
  //   [ON DELETE|UPDATE NO ACTION|CASCADE|SET NULL|SET DEFAULT] [NOT FOR REPLICATION]
  void ParseReferences(TableConstraint& fk) {
    ExpectWord("REFERENCES");
    fk.references = ParseObjectName();
    if (PeekSymbol("(")) fk.referencedColumns = ParseColumnList();
    while (PeekWord("ON") && (PeekWord("DELETE", 1) || PeekWord("UPDATE", 1))) {
      Take();
      ReferentialAction& action = IsWord(Take(), "DELETE") ? fk.onDelete : fk.onUpdate;
      if (AcceptWord("NO")) {
        ExpectWord("ACTION");
        action = ReferentialAction::NoAction;
      } else if (AcceptWord("CASCADE")) {
        action = ReferentialAction::Cascade;
      } else if (AcceptWord("SET")) {
        if (AcceptWord("NULL")) {
          action = ReferentialAction::SetNull;
        } else {
          ExpectWord("DEFAULT");
          action = ReferentialAction::SetDefault;
        }
      } else {
        Fail();
      }
    }
    if (PeekWord("NOT") && PeekWord("FOR", 1)) {
      Take();
      Take();
      ExpectWord("REPLICATION");
    }
  }

  // A table-level constraint; `name` already read (may be empty).
  TableConstraint ParseTableConstraint(std::string name) {
    TableConstraint k;
    k.name = std::move(name);
    if (AcceptWord("PRIMARY")) {
      ExpectWord("KEY");
      k.kind = ConstraintKind::PrimaryKey;
      k.clustered = !AcceptWord("NONCLUSTERED");
      k.clusteredWritten = !k.clustered || AcceptWord("CLUSTERED");
      k.columns = ParseColumnList();
      SkipIndexOptions();
    } else if (AcceptWord("UNIQUE")) {
      k.kind = ConstraintKind::Unique;
      if (AcceptWord("CLUSTERED")) k.clustered = true;
      k.clusteredWritten = k.clustered || AcceptWord("NONCLUSTERED");
      k.columns = ParseColumnList();
      SkipIndexOptions();
    } else if (AcceptWord("DEFAULT")) {
      k.kind = ConstraintKind::Default;
      ParseDefault(k.defaultExpr, k.defaultText);
      ExpectWord("FOR");
      k.columns.push_back(Identifier(true));
      if (AcceptWord("WITH")) ExpectWord("VALUES");
    } else if (AcceptWord("CHECK")) {
      k.kind = ConstraintKind::Check;
      if (PeekWord("NOT")) {
        Take();
        ExpectWord("FOR");
        ExpectWord("REPLICATION");
      }
      if (!PeekSymbol("(")) Fail();
      ParseDefault(k.defaultExpr, k.defaultText);
    } else if (AcceptWord("FOREIGN")) {
      ExpectWord("KEY");
      k.kind = ConstraintKind::ForeignKey;
      k.columns = ParseColumnList();
      ParseReferences(k);
    } else {
      Fail();
    }
    return k;
  }

  void SkipIndexOptions() {
    if (PeekWord("WITH") && PeekSymbol("(", 1)) {
      Take();
      Take();
      int depth = 1;
      while (depth > 0) {
        if (AtEnd()) Fail();
        if (PeekSymbol("(")) ++depth;
        if (PeekSymbol(")")) --depth;
        Take();
      }
    } else if (PeekWord("WITH") && PeekWord("FILLFACTOR", 1)) {
      Take();
      Take();
      ExpectSymbol("=");
      if (Peek().kind != TokenKind::Number) Fail();
      Take();
    }
    if (AcceptWord("ON")) Identifier(true);
  }

  void ParseTableBody(CreateTableStatement& s) {
    ExpectSymbol("(");
    do {
      if (PeekSymbol(")") && (!s.columns.empty() || !s.constraints.empty()))
        break;  // trailing comma
      if (AcceptWord("CONSTRAINT")) {
        std::string name = Identifier(true);
        s.constraints.push_back(ParseTableConstraint(std::move(name)));
      } else if (PeekWord("PRIMARY") || PeekWord("UNIQUE") || PeekWord("CHECK") ||
                 PeekWord("FOREIGN")) {
        s.constraints.push_back(ParseTableConstraint(std::string()));
      } else {
        s.columns.push_back(ParseColumnDef(false, &s.constraints));
      }
    } while (AcceptSymbol(","));
    ExpectSymbol(")");
    while (true) {
      if (AcceptWord("ON") || AcceptWord("TEXTIMAGE_ON")) {
        Identifier(true);
      } else if (PeekWord("WITH") && PeekSymbol("(", 1)) {
        SkipIndexOptions();
      } else {
        break;
      }
    }
  }

  StatementPtr ParseCreateIndex() {
    auto s = std::make_unique<CreateIndexStatement>();
    s->unique = AcceptWord("UNIQUE");
    if (AcceptWord("CLUSTERED")) s->clustered = true;
    AcceptWord("NONCLUSTERED");
    ExpectWord("INDEX");
    s->name = Identifier(true);
    ExpectWord("ON");
    s->table = ParseObjectName();
    ExpectSymbol("(");
    do {
      s->columns.push_back(Identifier(true));
      bool desc = false;
      if (AcceptWord("DESC")) {
        desc = true;
      } else {
        AcceptWord("ASC");
      }
      s->descending.push_back(desc);
    } while (AcceptSymbol(","));
    ExpectSymbol(")");
    if (AcceptWord("INCLUDE")) s->included = ParseColumnList();
    if (AcceptWord("WHERE")) s->where = ParseCondition();
    s->options = ParseIndexOptions();
    if (AcceptWord("ON")) {
      Identifier(true);
      // ON partition_scheme (column)
      if (AcceptSymbol("(")) {
        Identifier(true);
        ExpectSymbol(")");
      }
    }
    return s;
  }

  // WITH (option = value, …), or the older WITH option [= value], … list.
  std::vector<std::pair<std::string, std::string>> ParseIndexOptions() {
    std::vector<std::pair<std::string, std::string>> options;
    if (!AcceptWord("WITH")) return options;
    const bool parenthesised = AcceptSymbol("(");
    do {
      std::string name = Upper(Identifier(false));
      std::string value = "ON";
      if (AcceptSymbol("=")) {
        if (Peek().kind != TokenKind::Word && Peek().kind != TokenKind::Number) Fail();
        value = Upper(Take().text);
        // MAXDOP = n, DATA_COMPRESSION = PAGE ON PARTITIONS (…) and the like
        if (PeekWord("ON") && PeekWord("PARTITIONS", 1)) {
          Take();
          Take();
          ExpectSymbol("(");
          int depth = 1;
          while (depth > 0) {
            if (AtEnd()) Fail();
            if (PeekSymbol("(")) ++depth;
            if (PeekSymbol(")")) --depth;
            Take();
          }
        }
      }
      options.emplace_back(std::move(name), std::move(value));
    } while (AcceptSymbol(","));
    if (parenthesised) ExpectSymbol(")");
    return options;
  }

  std::vector<RoutineParameter> ParseRoutineParameters(bool function) {
    std::vector<RoutineParameter> params;
    const bool parens = AcceptSymbol("(");
    if (parens && AcceptSymbol(")")) return params;
    if (!parens && Peek().kind != TokenKind::Variable) return params;
    do {
      RoutineParameter p;
      if (Peek().kind != TokenKind::Variable) Fail();
      p.name = Take().text;
      AcceptWord("AS");
      p.type = ParseType();
      if (PeekWord("VARYING")) Take();
      if (AcceptSymbol("=")) p.defaultValue = ParseExpr();
      if (AcceptWord("OUTPUT") || AcceptWord("OUT")) p.output = true;
      if (AcceptWord("READONLY")) {
      }
      params.push_back(std::move(p));
    } while (AcceptSymbol(","));
    if (parens) ExpectSymbol(")");
    (void)function;
    return params;
  }

  void SkipRoutineOptions() {
    if (AcceptWord("WITH")) {
      do {
        const std::string opt = Upper(Identifier(true));
        if (opt == "EXECUTE" || opt == "EXEC") {
          ExpectWord("AS");
          Identifier(true);
          if (Peek().kind == TokenKind::String) Take();
        }
      } while (AcceptSymbol(","));
    }
  }

  std::vector<StatementPtr> ParseBodyToEnd() {
    std::vector<StatementPtr> body;
    while (!AtEnd()) {
      if (AcceptSymbol(";")) continue;
      body.push_back(ParseStatement());
    }
    CheckLabels(body);
    return body;
  }

  // A batch's or routine's labels are unique (132) and every GOTO names one
  // of them (133), as SQL Server checks before anything runs.
  static void CheckLabels(const std::vector<StatementPtr>& body) {
    std::vector<std::string> labels;
    std::vector<std::string> targets;
    CollectLabels(body, labels, targets);
    for (std::size_t i = 0; i < labels.size(); ++i) {
      for (std::size_t k = 0; k < i; ++k) {
        if (Upper(labels[k]) == Upper(labels[i])) throw ServerErrorByNumber(132, {labels[i]});
      }
    }
    for (const std::string& target : targets) {
      const bool declared = std::any_of(labels.begin(), labels.end(), [&](const std::string& l) {
        return Upper(l) == Upper(target);
      });
      if (!declared) throw ServerErrorByNumber(133, {target});
    }
  }

  static void CollectLabels(const std::vector<StatementPtr>& list, std::vector<std::string>& labels,
                            std::vector<std::string>& targets) {
    for (const StatementPtr& s : list) CollectLabels(s.get(), labels, targets);
  }

  static void CollectLabels(const Statement* s, std::vector<std::string>& labels,
                            std::vector<std::string>& targets) {
    if (!s) return;
    switch (s->kind) {
      case StatementKind::Label:
        labels.push_back(static_cast<const LabelStatement&>(*s).label);
        break;
      case StatementKind::Goto:
        targets.push_back(static_cast<const LabelStatement&>(*s).label);
        break;
      case StatementKind::If: {
        const auto& i = static_cast<const IfStatement&>(*s);
        CollectLabels(i.then.get(), labels, targets);
        CollectLabels(i.otherwise.get(), labels, targets);
        break;
      }
      case StatementKind::While:
        CollectLabels(static_cast<const WhileStatement&>(*s).body.get(), labels, targets);
        break;
      case StatementKind::Block:
        CollectLabels(static_cast<const BlockStatement&>(*s).statements, labels, targets);
        break;
      case StatementKind::Try:
        CollectLabels(static_cast<const TryStatement&>(*s).body, labels, targets);
        CollectLabels(static_cast<const TryStatement&>(*s).handler, labels, targets);
        break;
      default:
        break;
    }
  }

  StatementPtr ParseCreateProcedure(bool alter) {
    Take();
    auto s = std::make_unique<CreateRoutineStatement>();
    s->alter = alter;
    s->routine = RoutineKind::Procedure;
    s->name = ParseObjectName();
    if (AcceptSymbol(";")) {
      if (Peek().kind != TokenKind::Number) Fail();
      Take();
    }
    s->parameters = ParseRoutineParameters(false);
    SkipRoutineOptions();
    if (AcceptWord("FOR")) ExpectWord("REPLICATION");
    ExpectWord("AS");
    if (PeekWord("EXTERNAL")) throw UnsupportedConstruct("CLR procedures");
    s->body = ParseBodyToEnd();
    return s;
  }

  // CREATE TRIGGER name ON table {AFTER | FOR | INSTEAD OF} INSERT, UPDATE,
  // DELETE [NOT FOR REPLICATION] AS body
  StatementPtr ParseCreateTrigger(bool alter) {
    Take();
    auto s = std::make_unique<CreateRoutineStatement>();
    s->alter = alter;
    s->routine = RoutineKind::Trigger;
    s->name = ParseObjectName();
    ExpectWord("ON");
    if (PeekWord("DATABASE") || PeekWord("ALL")) {
      throw UnsupportedConstruct("DDL triggers");
    }
    s->triggerTable = ParseObjectName();
    SkipRoutineOptions();
    if (AcceptWord("INSTEAD")) {
      ExpectWord("OF");
      s->insteadOf = true;
    } else if (!AcceptWord("AFTER")) {
      ExpectWord("FOR");
    }
    do {
      const std::string event = Upper(Identifier(true));
      if (event != "INSERT" && event != "UPDATE" && event != "DELETE") Fail();
      if (std::find(s->triggerEvents.begin(), s->triggerEvents.end(), event) ==
          s->triggerEvents.end()) {
        s->triggerEvents.push_back(event);
      }
    } while (AcceptSymbol(","));
    if (AcceptWord("WITH")) ExpectWord("APPEND");
    if (AcceptWord("NOT")) {
      ExpectWord("FOR");
      ExpectWord("REPLICATION");
    }
    ExpectWord("AS");
    s->body = ParseBodyToEnd();
    return s;
  }

  StatementPtr ParseCreateFunction(bool alter) {
    Take();
    auto s = std::make_unique<CreateRoutineStatement>();
    s->alter = alter;
    s->name = ParseObjectName();
    if (!PeekSymbol("(")) Fail();
    s->parameters = ParseRoutineParameters(true);
    ExpectWord("RETURNS");
    if (AcceptWord("TABLE")) {
      s->routine = RoutineKind::InlineFunction;
      SkipRoutineOptions();
      AcceptWord("AS");
      ExpectWord("RETURN");
      s->query = ParseQuery();
      while (AcceptSymbol(";")) {
      }
      if (!AtEnd()) Fail();
      return s;
    }
    if (Peek().kind == TokenKind::Variable) {
      s->routine = RoutineKind::TableFunction;
      s->returnTable = Take().text;
      ExpectWord("TABLE");
      s->returnShape = std::make_shared<CreateTableStatement>();
      s->returnShape->table.name = s->returnTable;
      ParseTableBodyColumnsOnly(*s->returnShape);
      SkipRoutineOptions();
      AcceptWord("AS");
      s->body = ParseBodyToEnd();
      return s;
    }
    s->routine = RoutineKind::ScalarFunction;
    s->returns = ParseType();
    SkipRoutineOptions();
    AcceptWord("AS");
    s->body = ParseBodyToEnd();
    return s;
  }

  void ParseTableBodyColumnsOnly(CreateTableStatement& shape) {
    ExpectSymbol("(");
    do {
      if (PeekWord("PRIMARY") || PeekWord("UNIQUE")) {
        shape.constraints.push_back(ParseTableConstraint(std::string()));
      } else {
        shape.columns.push_back(ParseColumnDef(false));
      }
    } while (AcceptSymbol(","));
    ExpectSymbol(")");
  }

  StatementPtr ParseCreateView(bool alter) {
    Take();
    auto s = std::make_unique<CreateRoutineStatement>();
    s->alter = alter;
    s->routine = RoutineKind::View;
    s->name = ParseObjectName();
    if (PeekSymbol("(")) throw UnsupportedConstruct("column list of a view");
    SkipRoutineOptions();
    ExpectWord("AS");
    s->query = ParseQuery();
    while (AcceptSymbol(";")) {
    }
    if (PeekWord("WITH")) {
      Take();
      ExpectWord("CHECK");
      ExpectWord("OPTION");
    }
    return s;
  }

  StatementPtr ParseAlter() {
    if (PeekWord("DATABASE", 1)) {
      Take();
      Take();
      auto s = std::make_unique<AlterDatabaseStatement>();
      s->name = Identifier(true);
      if (AcceptWord("COLLATE")) {
        s->collation = Identifier(true);
        return s;
      }
      if (PeekWord("MODIFY") || PeekWord("ADD") || PeekWord("REMOVE")) {
        throw UnsupportedConstruct("ALTER DATABASE " + Upper(Peek().text));
      }
      ExpectWord("SET");
      do s->options.push_back(ParseDatabaseOption());
      while (AcceptSymbol(","));
      if (AcceptWord("WITH")) {
        if (AcceptWord("NO_WAIT")) {
        } else {
          ExpectWord("ROLLBACK");
          if (!AcceptWord("IMMEDIATE")) {
            ExpectWord("AFTER");
            SignedInteger();
            AcceptWord("SECONDS");
          }
        }
      }
      return s;
    }
    if (PeekWord("TABLE", 1)) {
      Take();
      Take();
      return ParseAlterTable();
    }
    if (PeekWord("PROCEDURE", 1) || PeekWord("PROC", 1) || PeekWord("FUNCTION", 1) ||
        PeekWord("VIEW", 1) || PeekWord("TRIGGER", 1)) {
      return ParseCreate(true);
    }
    if (PeekWord("ROLE", 1)) {
      Take();
      Take();
      const std::string role = Identifier(true);
      const bool add = AcceptWord("ADD");
      if (!add && !AcceptWord("DROP"))
        throw UnsupportedConstruct("ALTER ROLE " + Upper(Peek().text));
      ExpectWord("MEMBER");
      auto s =
          std::make_unique<PrincipalStatement>(add ? PrincipalStatement::Action::AddRoleMember
                                                   : PrincipalStatement::Action::DropRoleMember);
      s->name = role;
      s->member = Identifier(true);
      return s;
    }
    if (PeekWord("AUTHORIZATION", 1)) {
      Take();
      Take();
      auto s = std::make_unique<PrincipalStatement>(PrincipalStatement::Action::AlterAuthorization);
      ExpectWord("ON");
      if (Peek().kind == TokenKind::Word && PeekSymbol("::", 1)) {
        s->securableClass = Upper(Take().text);
        Take();
      }
      const ObjectName securable = ParseObjectName();
      s->name = securable.name;
      ExpectWord("TO");
      if (AcceptWord("SCHEMA")) {
        ExpectWord("OWNER");
        s->toSchemaOwner = true;
      } else {
        s->owner = Identifier(true);
      }
      return s;
    }
    if (Peek(1).kind == TokenKind::Word) throw UnsupportedConstruct("ALTER " + Upper(Peek(1).text));
    Take();
    Fail();
  }

  // One option of ALTER DATABASE … SET: a word alone (SINGLE_USER,
  // READ_WRITE …), `name [=] value` (TARGET_RECOVERY_TIME = 60 SECONDS), or
  // `name (settings)` (FILESTREAM, CHANGE_TRACKING), kept as written.
  DatabaseOption ParseDatabaseOption() {
    static const std::set<std::string> alone = {
        "SINGLE_USER",   "MULTI_USER",     "RESTRICTED_USER", "READ_ONLY",
        "READ_WRITE",    "ONLINE",         "OFFLINE",         "EMERGENCY",
        "ENABLE_BROKER", "DISABLE_BROKER", "NEW_BROKER",      "ERROR_BROKER_CONVERSATIONS"};
    DatabaseOption o;
    o.option = Upper(Identifier(true));
    if (alone.count(o.option)) return o;
    AcceptSymbol("=");
    if (PeekSymbol("(")) {
      o.value = ParenthesisedText();
      return o;
    }
    if (Peek().kind != TokenKind::Word && Peek().kind != TokenKind::Number) Fail();
    o.value = Upper(Take().text);
    if (PeekWord("SECONDS") || PeekWord("MINUTES")) o.value += " " + Upper(Take().text);
    // CHANGE_TRACKING = ON (AUTO_CLEANUP = ON …)
    if (PeekSymbol("(")) o.value += " " + ParenthesisedText();
    return o;
  }

  // The text of a balanced parenthesised group, taken whole.
  std::string ParenthesisedText() {
    const std::size_t start = Peek().offset;
    int depth = 0;
    do {
      if (AtEnd()) Fail();
      if (PeekSymbol("(")) ++depth;
      if (PeekSymbol(")")) --depth;
      Take();
    } while (depth > 0);
    return std::string(sql_.substr(start, LastEnd() - start));
  }

  StatementPtr ParseAlterTable() {
    auto s = std::make_unique<AlterTableStatement>();
    s->table = ParseObjectName();
    if (PeekWord("WITH") && (PeekWord("CHECK", 1) || PeekWord("NOCHECK", 1))) {
      Take();
      s->noCheck = IsWord(Take(), "NOCHECK");
      s->withCheck = !s->noCheck;
    }
    if (PeekWord("CHECK") || PeekWord("NOCHECK")) {
      s->action = IsWord(Take(), "CHECK") ? AlterTableAction::CheckConstraints
                                          : AlterTableAction::NoCheckConstraints;
      ExpectWord("CONSTRAINT");
      if (AcceptWord("ALL")) {
        s->allConstraints = true;
        return s;
      }
      do {
        s->names.push_back(Identifier(true));
      } while (AcceptSymbol(","));
      return s;
    }
    if (AcceptWord("ADD")) {
      if (PeekWord("CONSTRAINT") || PeekWord("PRIMARY") || PeekWord("UNIQUE") ||
          PeekWord("DEFAULT") || PeekWord("CHECK") || PeekWord("FOREIGN")) {
        s->action = AlterTableAction::AddConstraint;
        do {
          std::string name;
          if (AcceptWord("CONSTRAINT")) name = Identifier(true);
          s->constraints.push_back(ParseTableConstraint(std::move(name)));
        } while (AcceptSymbol(","));
        return s;
      }
      s->action = AlterTableAction::AddColumns;
      do {
        s->columns.push_back(ParseColumnDef(false));
      } while (AcceptSymbol(","));
      return s;
    }
    if (AcceptWord("ALTER")) {
      ExpectWord("COLUMN");
      s->action = AlterTableAction::AlterColumn;
      s->columns.push_back(ParseColumnDef(true));
      return s;
    }
    if (AcceptWord("DROP")) {
      if (AcceptWord("COLUMN")) {
        s->action = AlterTableAction::DropColumns;
        do {
          AcceptWord("COLUMN");
          s->names.push_back(Identifier(true));
        } while (AcceptSymbol(","));
        return s;
      }
      s->action = AlterTableAction::DropConstraint;
      do {
        AcceptWord("CONSTRAINT");
        s->names.push_back(Identifier(true));
      } while (AcceptSymbol(","));
      return s;
    }
    Fail();
  }

  bool AcceptIfExists() {
    if (!PeekWord("IF") || !PeekWord("EXISTS", 1)) return false;
    Take();
    Take();
    return true;
  }

  StatementPtr ParseDrop() {
    Take();
    if (AcceptWord("DATABASE")) {
      auto s = std::make_unique<DropDatabaseStatement>();
      do {
        s->names.push_back(Identifier(true));
      } while (AcceptSymbol(","));
      return s;
    }
    if (AcceptWord("TABLE")) {
      auto s = std::make_unique<DropTableStatement>();
      s->ifExists = AcceptIfExists();
      do {
        s->tables.push_back(ParseObjectName());
      } while (AcceptSymbol(","));
      return s;
    }
    if (AcceptWord("INDEX")) {
      auto s = std::make_unique<DropIndexStatement>();
      s->ifExists = AcceptIfExists();
      do {
        ObjectName n = ParseObjectName();
        if (AcceptWord("ON")) {
          ObjectName table = ParseObjectName();
          s->indexes.emplace_back(table, n.name);
        } else {
          if (n.schema.empty()) Fail();
          ObjectName table;
          table.name = n.schema;
          table.schema = n.database;
          s->indexes.emplace_back(table, n.name);
        }
      } while (AcceptSymbol(","));
      return s;
    }
    for (const auto& [word, action] : {std::pair{"ROLE", PrincipalStatement::Action::DropRole},
                                       std::pair{"USER", PrincipalStatement::Action::DropUser},
                                       std::pair{"LOGIN", PrincipalStatement::Action::DropLogin}}) {
      if (!AcceptWord(word)) continue;
      auto s = std::make_unique<PrincipalStatement>(action);
      if (action != PrincipalStatement::Action::DropLogin) s->ifExists = AcceptIfExists();
      s->name = Identifier(true);
      return s;
    }
    if (AcceptWord("SCHEMA")) {
      auto s = std::make_unique<SchemaStatement>(StatementKind::DropSchema);
      s->name = Identifier(true);
      return s;
    }
    if (AcceptWord("STATISTICS")) {
      auto s = std::make_unique<StatisticsStatement>();
      s->drop = true;
      do {
        ObjectName n = ParseObjectName();
        if (n.schema.empty()) Fail();
        ObjectName table;
        table.name = n.schema;
        table.schema = n.database;
        s->statistics.emplace_back(table, n.name);
      } while (AcceptSymbol(","));
      return s;
    }
    if (PeekWord("RULE") || PeekWord("DEFAULT")) {
      auto s = std::make_unique<DropBoundObjectStatement>();
      s->rule = Upper(Take().text) == "RULE";
      s->ifExists = AcceptIfExists();
      do {
        s->names.push_back(ParseObjectName());
      } while (AcceptSymbol(","));
      return s;
    }
    if (AcceptWord("TYPE")) {
      auto s = std::make_unique<DropTypeStatement>();
      s->ifExists = AcceptIfExists();
      s->name = ParseObjectName();
      return s;
    }
    RoutineKind kind;
    if (AcceptWord("PROCEDURE") || AcceptWord("PROC")) {
      kind = RoutineKind::Procedure;
    } else if (AcceptWord("FUNCTION")) {
      kind = RoutineKind::ScalarFunction;
    } else if (AcceptWord("VIEW")) {
      kind = RoutineKind::View;
    } else if (AcceptWord("TRIGGER")) {
      kind = RoutineKind::Trigger;
    } else {
      if (Peek().kind == TokenKind::Word) throw UnsupportedConstruct("DROP " + Upper(Peek().text));
      Fail();
    }
    auto s = std::make_unique<DropRoutineStatement>();
    s->routine = kind;
    s->ifExists = AcceptIfExists();
    do {
      s->names.push_back(ParseObjectName());
    } while (AcceptSymbol(","));
    return s;
  }

  // ---- procedural --------------------------------------------------------
  std::unique_ptr<ExecStatement> ParseExecBody() {
    auto s = std::make_unique<ExecStatement>();
    if (PeekSymbol("(")) {
      Take();
      s->dynamicSql = ParseExpr();
      ExpectSymbol(")");
      return s;
    }
    if (Peek().kind == TokenKind::Variable && PeekSymbol("=", 1)) {
      s->returnVariable = Take().text;
      Take();
    } else if (Peek().kind == TokenKind::Variable) {
      throw UnsupportedConstruct("EXEC of a procedure named by a variable");
    }
    s->procedure = ParseObjectName();
    if (AcceptSymbol(";")) {
      if (Peek().kind != TokenKind::Number) Fail();
      Take();
    }
    if (!StartsArgument()) return s;
    do {
      ExecArgument a;
      if (Peek().kind == TokenKind::Variable && PeekSymbol("=", 1)) {
        a.name = Take().text;
        Take();
      }
      if (AcceptWord("DEFAULT")) {
      } else if (BareWordArgument()) {
        // sp_addtype id, 'varchar(11)' … , [PRIMARY]: a name passes as a string.
        a.value = std::make_unique<Expr>();
        a.value->kind = ExprKind::String;
        a.value->offset = Peek().offset;
        a.value->text = Take().text;
        a.value->endOffset = LastEnd();
      } else {
        a.value = ParseExpr();
      }
      if (AcceptWord("OUTPUT") || AcceptWord("OUT")) a.output = true;
      s->arguments.push_back(std::move(a));
    } while (AcceptSymbol(","));
    if (PeekWord("WITH")) throw UnsupportedConstruct("EXEC … WITH");
    return s;
  }

  // A name standing alone as a procedure's argument (`EXEC sp_addtype id,
  // 'varchar(11)'`, `… , [PRIMARY]`) passes as a string, as SQL Server passes it.
  bool BareWordArgument() const {
    const Token& t = Peek();
    if (t.kind != TokenKind::Quoted && !(t.kind == TokenKind::Word && IsIdentifier(t))) {
      return false;
    }
    const Token& next = Peek(1);
    if (next.kind == TokenKind::End || next.kind == TokenKind::Word) return true;
    return next.kind == TokenKind::Symbol && (next.text == "," || next.text == ";");
  }

  bool StartsArgument() const {
    if (BareWordArgument()) return true;
    const Token& t = Peek();
    // A first argument that is a bare name is told from the start of the
    // next statement by what follows it: a comma, the end, or a keyword.
    if ((t.kind == TokenKind::Word || t.kind == TokenKind::Quoted) && BareWordArgument()) {
      const Token& next = Peek(1);
      if (PeekSymbol(",", 1) || PeekSymbol(";", 1) || next.kind == TokenKind::End ||
          (next.kind == TokenKind::Word && Reserved().count(Upper(next.text)) != 0)) {
        return true;
      }
    }
    switch (t.kind) {
      case TokenKind::Number:
      case TokenKind::String:
      case TokenKind::Parameter:
      case TokenKind::Variable:
        return true;
      case TokenKind::Symbol:
        return t.text == "-" || t.text == "+" || t.text == "(";
      case TokenKind::Word:
        return PeekWord("NULL") || PeekWord("DEFAULT");
      default:
        return false;
    }
  }

  // The ISO form (name [INSENSITIVE] [SCROLL] CURSOR FOR) and T-SQL's
  // (name CURSOR [options] FOR), then FOR UPDATE [OF …] or FOR READ ONLY.
  StatementPtr ParseDeclareCursor() {
    auto s = std::make_unique<DeclareCursorStatement>();
    s->name = Identifier(true);
    static const std::set<std::string> kOptions = {
        "LOCAL",      "GLOBAL",       "FORWARD_ONLY", "SCROLL",    "STATIC",
        "KEYSET",     "DYNAMIC",      "FAST_FORWARD", "READ_ONLY", "SCROLL_LOCKS",
        "OPTIMISTIC", "TYPE_WARNING", "INSENSITIVE"};
    bool cursorSeen = false;
    while (!PeekWord("FOR")) {
      if (!cursorSeen && AcceptWord("CURSOR")) {
        cursorSeen = true;
        continue;
      }
      const std::string option = Peek().kind == TokenKind::Word ? Upper(Peek().text) : "";
      if (!kOptions.count(option)) Fail();
      Take();
      if (option == "LOCAL") s->local = true;
      if (option == "SCROLL" || option == "STATIC" || option == "KEYSET" || option == "DYNAMIC" ||
          option == "INSENSITIVE") {
        s->scroll = s->scroll || option != "INSENSITIVE";
      }
    }
    if (!cursorSeen) Fail();
    ExpectWord("FOR");
    const std::size_t start = Peek().offset;
    cursorQuery_ = true;
    ParseQuery();
    cursorQuery_ = false;
    s->queryText = std::string(sql_.substr(start, LastEnd() - start));
    if (AcceptWord("FOR")) {
      if (AcceptWord("READ")) {
        ExpectWord("ONLY");
      } else {
        ExpectWord("UPDATE");
        if (AcceptWord("OF")) {
          do Identifier(true);
          while (AcceptSymbol(","));
        }
      }
    }
    return s;
  }

  // OPEN / CLOSE / DEALLOCATE [GLOBAL] name, and
  // FETCH [[NEXT|PRIOR|FIRST|LAST|ABSOLUTE n|RELATIVE n] FROM] [GLOBAL] name [INTO @v, …]
  StatementPtr ParseCursorStatement() {
    auto s = std::make_unique<CursorStatement>();
    s->action = Upper(Take().text);
    if (s->action == "FETCH") {
      static const std::set<std::string> kDirections = {"NEXT", "PRIOR",    "FIRST",
                                                        "LAST", "ABSOLUTE", "RELATIVE"};
      const std::string word = Peek().kind == TokenKind::Word ? Upper(Peek().text) : "";
      if (kDirections.count(word) &&
          (PeekWord("FROM", 1) || word == "ABSOLUTE" || word == "RELATIVE")) {
        s->direction = Upper(Take().text);
        if (s->direction == "ABSOLUTE" || s->direction == "RELATIVE") s->offset = ParseUnary();
        ExpectWord("FROM");
      } else {
        AcceptWord("FROM");
      }
    }
    if (PeekWord("GLOBAL") && IsIdentifier(Peek(1))) {
      Take();
      s->global = true;
    }
    if (Peek().kind == TokenKind::Variable) throw UnsupportedConstruct("cursor variables");
    s->name = Identifier(true);
    if (s->action == "FETCH" && AcceptWord("INTO")) {
      do {
        if (Peek().kind != TokenKind::Variable) Fail();
        s->into.push_back(Take().text);
      } while (AcceptSymbol(","));
    }
    return s;
  }

  StatementPtr ParseDeclare() {
    Take();
    auto s = std::make_unique<DeclareStatement>();
    do {
      if (Peek().kind != TokenKind::Variable) {
        if (s->items.empty() && IsIdentifier(Peek()) &&
            (PeekWord("CURSOR", 1) || PeekWord("INSENSITIVE", 1) || PeekWord("SCROLL", 1))) {
          return ParseDeclareCursor();
        }
        Fail();
      }
      DeclareItem item;
      item.name = Take().text;
      AcceptWord("AS");
      if (AcceptWord("TABLE")) {
        item.table = std::make_shared<CreateTableStatement>();
        item.table->table.name = item.name;
        ParseTableBody(*item.table);
        s->items.push_back(std::move(item));
        continue;
      }
      if (PeekWord("CURSOR")) throw UnsupportedConstruct("cursor variables");
      item.type = ParseType();
      if (AcceptSymbol("=")) item.initial = ParseExpr();
      s->items.push_back(std::move(item));
    } while (AcceptSymbol(","));
    return s;
  }

  StatementPtr ParseSet() {
    Take();
    if (Peek().kind == TokenKind::Variable) {
      auto s = std::make_unique<SetVariableStatement>();
      s->variable = Take().text;
      const Token& op = Peek();
      if (op.kind == TokenKind::Symbol && (op.text == "=" || op.text == "+=" || op.text == "-=" ||
                                           op.text == "*=" || op.text == "/=")) {
        s->op = Take().text;
      } else {
        Fail();
      }
      s->value = ParseExpr();
      return s;
    }
    auto s = std::make_unique<SetOptionStatement>();
    s->option = Upper(Identifier(true));
    if (s->option == "IDENTITY_INSERT") {
      s->table = ParseObjectName();
      if (!PeekWord("ON") && !PeekWord("OFF")) Fail();
      s->value = Upper(Take().text);
      return s;
    }
    if (s->option == "TRANSACTION") {
      ExpectWord("ISOLATION");
      ExpectWord("LEVEL");
      while (Peek().kind == TokenKind::Word && !PeekWord("SET") && !PeekWord("SELECT")) Take();
      return s;
    }
    if (s->option == "STATISTICS") s->option += " " + Upper(Identifier(true));
    while (AcceptSymbol(",")) Identifier(true);
    if (s->option == "LOCK_TIMEOUT" && AcceptSymbol("-")) {
      if (Peek().kind != TokenKind::Number) Fail();
      s->value = "-" + Take().text;
    } else if (Peek().kind == TokenKind::Word || Peek().kind == TokenKind::Number ||
               Peek().kind == TokenKind::String || Peek().kind == TokenKind::Quoted) {
      // SET LANGUAGE us_english, 'us_english', N'us_english' or [us_english]
      s->value = Upper(Take().text);
    } else if (Peek().kind == TokenKind::Variable) {
      s->value = Take().text;
      s->variable = true;
    } else {
      Fail();
    }
    return s;
  }

  StatementPtr ParseIf() {
    Take();
    auto s = std::make_unique<IfStatement>();
    s->condition = ParseCondition();
    s->then = ParseStatement();
    while (AcceptSymbol(";")) {
    }
    if (AcceptWord("ELSE")) s->otherwise = ParseStatement();
    return s;
  }

  // ---- queries -----------------------------------------------------------
  // OPTION (hint, …): MAXRECURSION is kept; hints about plans change nothing
  // here and are accepted.
  void ParseQueryHints(Select& select) {
    ExpectSymbol("(");
    do {
      const std::string hint = Upper(Identifier(false));
      if (hint == "MAXRECURSION") {
        if (Peek().kind != TokenKind::Number ||
            Peek().text.find_first_not_of("0123456789") != std::string::npos) {
          Fail();
        }
        const std::string n = Take().text;
        if (n.size() > 5 || std::stoi(n) > 32767) throw ServerErrorByNumber(310, {n, "32767"});
        select.maxRecursion = std::stoi(n);
      } else if (hint == "MAXDOP" || hint == "FAST") {
        if (Peek().kind != TokenKind::Number) Fail();
        Take();
      } else if (hint == "FORCE") {
        ExpectWord("ORDER");
      } else if (hint == "KEEP" || hint == "KEEPFIXED") {
        ExpectWord("PLAN");
      } else if (hint == "OPTIMIZE") {
        ExpectWord("FOR");
        ExpectWord("UNKNOWN");
      } else if (hint != "RECOMPILE" && hint != "ROBUST") {
        throw UnsupportedConstruct("query hint OPTION (" + hint + ")");
      }
      if (hint == "ROBUST") ExpectWord("PLAN");
    } while (AcceptSymbol(","));
    ExpectSymbol(")");
  }

  // BY item [ASC|DESC], … after ORDER.
  std::vector<OrderItem> ParseOrderByList() {
    ExpectWord("BY");
    std::vector<OrderItem> items;
    do {
      OrderItem item;
      item.expr = ParseExpr();
      if (AcceptWord("DESC")) {
        item.descending = true;
      } else {
        AcceptWord("ASC");
      }
      items.push_back(std::move(item));
    } while (AcceptSymbol(","));
    return items;
  }

  std::unique_ptr<Select> ParseQuery() {
    DepthGuard guard(*this);
    std::unique_ptr<Select> first;
    if (PeekSymbol("(")) {
      Take();
      first = ParseQuery();
      ExpectSymbol(")");
    } else {
      first = ParseSelectCore();
    }
    Select* last = first.get();
    bool unionOrExcept = false;
    while (PeekWord("UNION") || PeekWord("EXCEPT") || PeekWord("INTERSECT")) {
      const std::string word = Upper(Take().text);
      if (word == "INTERSECT") {
        // INTERSECT binds tighter than UNION and EXCEPT; SQLite reads the
        // chain from left to right.
        if (unionOrExcept) {
          throw UnsupportedConstruct("INTERSECT after UNION or EXCEPT without parentheses");
        }
        last->combine = Select::Combine::Intersect;
      } else {
        unionOrExcept = true;
        last->combine = word == "UNION" ? Select::Combine::Union : Select::Combine::Except;
        if (word == "UNION") last->unionAll = AcceptWord("ALL");
      }
      if (PeekSymbol("(")) {
        Take();
        last->unionNext = ParseQuery();
        ExpectSymbol(")");
        // A parenthesised chain is one operand: it becomes a derived table.
        if (last->unionNext->unionNext || !last->unionNext->orderBy.empty()) {
          last->unionNext = AsDerivedTable(std::move(last->unionNext));
        }
      } else {
        last->unionNext = ParseSelectCore();
      }
      last = last->unionNext.get();
    }
    if (AcceptWord("ORDER")) first->orderBy = ParseOrderByList();
    if (cursorQuery_ && PeekWord("FOR")) return first;  // FOR UPDATE / READ ONLY of a cursor
    if (PeekWord("FOR") && PeekWord("XML", 1)) {
      Take();
      Take();
      first->forXml = ParseForXml();
    }
    if (AcceptWord("OPTION")) ParseQueryHints(*first);
    if (PeekWord("FOR") || PeekWord("COMPUTE")) {
      throw UnsupportedConstruct("SELECT … " + Upper(Peek().text));
    }
    return first;
  }

  // After FOR XML: the mode, its row name and the options.
  Select::ForXml ParseForXml() {
    Select::ForXml x;
    auto optionalName = [&]() -> std::optional<std::string> {
      if (!AcceptSymbol("(")) return std::nullopt;
      if (Peek().kind != TokenKind::String) Fail();
      std::string name = Take().text;
      ExpectSymbol(")");
      return name;
    };
    const std::string mode = Upper(Identifier(false));
    if (mode == "RAW") {
      x.mode = Select::ForXml::Mode::Raw;
      x.rowName = optionalName();
    } else if (mode == "PATH") {
      x.mode = Select::ForXml::Mode::Path;
      x.rowName = optionalName();
    } else if (mode == "AUTO") {
      x.mode = Select::ForXml::Mode::Auto;
    } else {
      throw UnsupportedConstruct("FOR XML " + mode);
    }
    while (AcceptSymbol(",")) {
      const std::string option = Upper(Identifier(false));
      if (option == "TYPE") {
        x.type = true;
      } else if (option == "ELEMENTS") {
        if (PeekWord("XSINIL")) throw UnsupportedConstruct("FOR XML … ELEMENTS XSINIL");
        AcceptWord("ABSENT");
        x.elements = true;
      } else if (option == "ROOT") {
        x.root = optionalName().value_or("root");
      } else {
        throw UnsupportedConstruct("FOR XML … " + option);
      }
    }
    return x;
  }

  // SELECT * FROM (query) AS moltaro_operand_n.
  std::unique_ptr<Select> AsDerivedTable(std::unique_ptr<Select> query) {
    auto wrapper = std::make_unique<Select>();
    SelectItem all;
    all.expr = std::make_unique<Expr>();
    all.expr->kind = ExprKind::Star;
    wrapper->items.push_back(std::move(all));
    TableRef derived;
    derived.derived = std::move(query);
    derived.alias = "moltaro_operand_" + std::to_string(++derivedOperands_);
    derived.setOperand = true;
    wrapper->from.push_back(std::move(derived));
    return wrapper;
  }

  std::unique_ptr<Select> ParseSelectCore() {
    ExpectWord("SELECT");
    auto s = std::make_unique<Select>();
    if (AcceptWord("DISTINCT")) {
      s->distinct = true;
    } else {
      AcceptWord("ALL");
    }
    s->top = ParseTopClause();
    if (s->top) {
      if (AcceptWord("PERCENT")) s->topPercent = true;
      if (AcceptWord("WITH")) throw UnsupportedConstruct("TOP … WITH TIES");
    }
    do {
      s->items.push_back(ParseSelectItem());
    } while (AcceptSymbol(","));
    if (AcceptWord("INTO")) s->into = ParseObjectName();
    if (AcceptWord("FROM")) s->from = ParseFromList();
    if (AcceptWord("WHERE")) s->where = ParseCondition();
    if (AcceptWord("GROUP")) {
      ExpectWord("BY");
      if (PeekWord("ALL")) throw UnsupportedConstruct("GROUP BY ALL");
      if (PeekWord("GROUPING") && PeekWord("SETS", 1)) {
        throw UnsupportedConstruct("GROUP BY GROUPING SETS");
      }
      if ((PeekWord("ROLLUP") || PeekWord("CUBE")) && PeekSymbol("(", 1)) {
        // The ISO form: GROUP BY ROLLUP (a, b).
        s->grouping =
            Upper(Take().text) == "ROLLUP" ? Select::Grouping::Rollup : Select::Grouping::Cube;
        ExpectSymbol("(");
        do s->groupBy.push_back(ParseExpr());
        while (AcceptSymbol(","));
        ExpectSymbol(")");
        if (PeekSymbol(",")) throw UnsupportedConstruct("ROLLUP or CUBE beside other groups");
      } else {
        do {
          s->groupBy.push_back(ParseExpr());
        } while (AcceptSymbol(","));
        if (AcceptWord("WITH")) {
          if (AcceptWord("ROLLUP")) {
            s->grouping = Select::Grouping::Rollup;
          } else {
            ExpectWord("CUBE");
            s->grouping = Select::Grouping::Cube;
          }
        }
      }
    }
    if (AcceptWord("HAVING")) s->having = ParseCondition();
    return s;
  }

  SelectItem ParseSelectItem() {
    SelectItem item;
    if (Peek().kind == TokenKind::Variable && PeekSymbol("=", 1)) {
      item.variable = Take().text;
      Take();
      item.expr = ParseExpr();
      return item;
    }
    if ((IsIdentifier(Peek()) || Peek().kind == TokenKind::String) && PeekSymbol("=", 1)) {
      item.alias = Take().text;
      item.hasAlias = true;
      Take();
      item.expr = ParseExpr();
      return item;
    }
    if (PeekSymbol("*")) {
      Take();
      item.expr = std::make_unique<Expr>();
      item.expr->kind = ExprKind::Star;
      return item;
    }
    item.expr = ParseExpr();
    if (AcceptWord("AS")) {
      if (Peek().kind == TokenKind::String) {
        item.alias = Take().text;
      } else {
        item.alias = Identifier(true);
      }
      item.hasAlias = true;
    } else if ((IsIdentifier(Peek()) && !PeekSymbol(":", 1)) || Peek().kind == TokenKind::String) {
      item.alias = Take().text;
      item.hasAlias = true;
    }
    return item;
  }

  std::vector<TableRef> ParseFromList() {
    std::vector<TableRef> refs;
    refs.push_back(ParseTableRef(JoinKind::First));
    while (true) {
      if (AcceptSymbol(",")) {
        refs.push_back(ParseTableRef(JoinKind::Comma));
        continue;
      }
      JoinKind kind;
      if (AcceptWord("JOIN")) {
        kind = JoinKind::Inner;
      } else if (PeekWord("INNER") && PeekWord("JOIN", 1)) {
        Take();
        Take();
        kind = JoinKind::Inner;
      } else if (PeekWord("LEFT") || PeekWord("RIGHT") || PeekWord("FULL")) {
        const std::string w = Upper(Take().text);
        AcceptWord("OUTER");
        ExpectWord("JOIN");
        kind = w == "LEFT" ? JoinKind::Left : w == "RIGHT" ? JoinKind::Right : JoinKind::Full;
      } else if (PeekWord("CROSS") && PeekWord("APPLY", 1)) {
        Take();
        Take();
        kind = JoinKind::CrossApply;
      } else if (PeekWord("CROSS")) {
        Take();
        ExpectWord("JOIN");
        kind = JoinKind::Cross;
      } else if (PeekWord("OUTER") && PeekWord("APPLY", 1)) {
        Take();
        Take();
        kind = JoinKind::OuterApply;
      } else {
        break;
      }
      TableRef ref = ParseTableRef(kind);
      if (kind != JoinKind::Cross && kind != JoinKind::CrossApply && kind != JoinKind::OuterApply) {
        ExpectWord("ON");
        ref.on = ParseCondition();
      }
      refs.push_back(std::move(ref));
    }
    return refs;
  }

  TableRef ParseTableRef(JoinKind kind) {
    DepthGuard guard(*this);
    TableRef ref;
    ref.join = kind;
    if (PeekSymbol("(")) {
      Take();
      if (!PeekWord("SELECT") && !(PeekSymbol("(") && LooksLikeSelectInParens())) {
        // A parenthesised join: its tables keep their own names.
        ref.nested = ParseFromList();
        ExpectSymbol(")");
        return ref;
      }
      ref.derived = ParseQuery();
      ExpectSymbol(")");
    } else {
      // ::fn_listextendedproperty(…), the old spelling of a system function
      if (PeekSymbol("::")) throw UnsupportedConstruct("table-valued function in FROM");
      ref.name = ParseObjectName();
      if (PeekSymbol("(") &&
          !(Peek(1).kind == TokenKind::Word && IsLockingHint(Upper(Peek(1).text)))) {
        Take();
        ref.function = true;
        if (!PeekSymbol(")")) {
          do {
            if (PeekWord("DEFAULT")) {
              // The parameter's default, as in INSERT … VALUES.
              Take();
              auto d = std::make_unique<Expr>();
              d->kind = ExprKind::Function;
              d->text = "DEFAULT";
              ref.arguments.push_back(std::move(d));
            } else {
              ref.arguments.push_back(ParseExpr());
            }
          } while (AcceptSymbol(","));
        }
        ExpectSymbol(")");
      }
    }
    if (AcceptWord("AS")) {
      ref.alias = Identifier(true);
    } else if (IsIdentifier(Peek()) && !PeekSymbol(":", 1)) {  // not the next statement's label
      ref.alias = Take().text;
    }
    SkipTableHints();
    if (ref.derived && ref.alias.empty()) Fail();
    return ref;
  }

  // ---- expressions ---------------------------------------------------------
  ExprPtr ParseCondition() { return ParseExpr(); }

  ExprPtr MakeBinary(std::string op, ExprPtr a, ExprPtr b, std::size_t offset) {
    auto e = std::make_unique<Expr>();
    e->kind = ExprKind::Binary;
    e->text = std::move(op);
    e->offset = offset;
    e->args.push_back(std::move(a));
    e->args.push_back(std::move(b));
    e->endOffset = LastEnd();
    return e;
  }

  ExprPtr ParseExpr() {
    DepthGuard guard(*this);
    const std::size_t start = Peek().offset;
    ExprPtr left = ParseAnd();
    while (AcceptWord("OR")) {
      left = MakeBinary("OR", std::move(left), ParseAnd(), start);
    }
    return left;
  }

  ExprPtr ParseAnd() {
    const std::size_t start = Peek().offset;
    ExprPtr left = ParseNot();
    while (AcceptWord("AND")) {
      left = MakeBinary("AND", std::move(left), ParseNot(), start);
    }
    return left;
  }

  ExprPtr ParseNot() {
    DepthGuard guard(*this);
    if (PeekWord("NOT")) {
      const std::size_t start = Take().offset;
      auto e = std::make_unique<Expr>();
      e->kind = ExprKind::Unary;
      e->text = "NOT";
      e->offset = start;
      e->args.push_back(ParseNot());
      e->endOffset = LastEnd();
      return e;
    }
    return ParsePredicate();
  }

  ExprPtr ParsePredicate() {
    const std::size_t start = Peek().offset;
    if (PeekWord("EXISTS")) {
      Take();
      ExpectSymbol("(");
      auto e = std::make_unique<Expr>();
      e->kind = ExprKind::Exists;
      e->offset = start;
      e->select = ParseQuery();
      ExpectSymbol(")");
      e->endOffset = LastEnd();
      return e;
    }
    ExprPtr left = ParseAdditive();
    while (true) {
      const Token& t = Peek();
      if (t.kind == TokenKind::Symbol &&
          (t.text == "=" || t.text == "<>" || t.text == "!=" || t.text == "<" || t.text == ">" ||
           t.text == "<=" || t.text == ">=" || t.text == "!<" || t.text == ">!" ||
           t.text == "!>")) {
        std::string op = Take().text;
        if (op == "!=") op = "<>";
        if (op == "!<") op = ">=";
        if (op == "!>") op = "<=";
        if (PeekWord("ALL") || PeekWord("ANY") || PeekWord("SOME")) {
          throw UnsupportedConstruct(Upper(Peek().text) + " comparison");
        }
        left = MakeBinary(op, std::move(left), ParseAdditive(), start);
        continue;
      }
      bool negated = false;
      if (PeekWord("NOT") && (PeekWord("LIKE", 1) || PeekWord("IN", 1) || PeekWord("BETWEEN", 1))) {
        Take();
        negated = true;
      }
      if (AcceptWord("LIKE")) {
        auto e = std::make_unique<Expr>();
        e->kind = ExprKind::Like;
        e->negated = negated;
        e->offset = start;
        e->args.push_back(std::move(left));
        e->args.push_back(ParseAdditive());
        if (AcceptWord("ESCAPE")) e->args.push_back(ParseAdditive());
        e->endOffset = LastEnd();
        left = std::move(e);
        continue;
      }
      if (AcceptWord("BETWEEN")) {
        auto e = std::make_unique<Expr>();
        e->kind = ExprKind::Between;
        e->negated = negated;
        e->offset = start;
        e->args.push_back(std::move(left));
        e->args.push_back(ParseAdditive());
        ExpectWord("AND");
        e->args.push_back(ParseAdditive());
        e->endOffset = LastEnd();
        left = std::move(e);
        continue;
      }
      if (AcceptWord("IN")) {
        auto e = std::make_unique<Expr>();
        e->kind = ExprKind::In;
        e->negated = negated;
        e->offset = start;
        e->args.push_back(std::move(left));
        ExpectSymbol("(");
        if (PeekWord("SELECT")) {
          e->select = ParseQuery();
        } else {
          do {
            e->args.push_back(ParseExpr());
          } while (AcceptSymbol(","));
        }
        ExpectSymbol(")");
        e->endOffset = LastEnd();
        left = std::move(e);
        continue;
      }
      if (negated) Fail();
      if (PeekWord("IS")) {
        Take();
        auto e = std::make_unique<Expr>();
        e->kind = ExprKind::IsNull;
        e->offset = start;
        e->negated = AcceptWord("NOT");
        ExpectWord("NULL");
        e->args.push_back(std::move(left));
        e->endOffset = LastEnd();
        left = std::move(e);
        continue;
      }
      break;
    }
    return left;
  }

  ExprPtr ParseAdditive() {
    DepthGuard guard(*this);
    const std::size_t start = Peek().offset;
    ExprPtr left = ParseMultiplicative();
    while (true) {
      const Token& t = Peek();
      if (t.kind == TokenKind::Symbol &&
          (t.text == "+" || t.text == "-" || t.text == "&" || t.text == "|" || t.text == "^")) {
        std::string op = Take().text;
        left = MakeBinary(op, std::move(left), ParseMultiplicative(), start);
        continue;
      }
      break;
    }
    return left;
  }

  ExprPtr ParseMultiplicative() {
    const std::size_t start = Peek().offset;
    ExprPtr left = ParseUnary();
    while (true) {
      const Token& t = Peek();
      if (t.kind == TokenKind::Symbol && (t.text == "*" || t.text == "/" || t.text == "%")) {
        std::string op = Take().text;
        left = MakeBinary(op, std::move(left), ParseUnary(), start);
        continue;
      }
      break;
    }
    if (PeekWord("COLLATE")) {
      Take();
      auto e = std::make_unique<Expr>();
      e->kind = ExprKind::Function;
      e->text = "COLLATE";
      e->offset = start;
      e->parts.push_back(Identifier(true));
      e->args.push_back(std::move(left));
      e->endOffset = LastEnd();
      return e;
    }
    return left;
  }

  ExprPtr ParseUnary() {
    DepthGuard guard(*this);
    const Token& t = Peek();
    if (t.kind == TokenKind::Symbol && (t.text == "-" || t.text == "+" || t.text == "~")) {
      const std::size_t start = t.offset;
      std::string op = Take().text;
      ExprPtr operand = ParseUnary();
      if (op == "-" && (operand->kind == ExprKind::Integer || operand->kind == ExprKind::Float) &&
          operand->text.front() != '-') {
        operand->text = "-" + operand->text;
        operand->offset = start;
        return operand;
      }
      auto e = std::make_unique<Expr>();
      e->kind = ExprKind::Unary;
      e->text = op;
      e->offset = start;
      e->args.push_back(std::move(operand));
      e->endOffset = LastEnd();
      return e;
    }
    return ParsePrimary();
  }

  ExprPtr ParsePrimary() {
    const Token& t = Peek();
    auto e = std::make_unique<Expr>();
    e->offset = t.offset;
    switch (t.kind) {
      case TokenKind::Number: {
        e->text = Take().text;
        if (e->text.size() >= 2 && (e->text[1] == 'x' || e->text[1] == 'X')) {
          // varbinary; the binder decides where it reads as an integer.
          e->kind = ExprKind::BinaryConstant;
          e->text = e->text.substr(2);
          break;
        }
        const bool integral = e->text.find_first_of(".eE") == std::string::npos;
        e->kind = integral && e->text.size() <= 18 ? ExprKind::Integer : ExprKind::Float;
        break;
      }
      case TokenKind::String:
        e->kind = ExprKind::String;
        e->national = t.national;
        e->text = Take().text;
        break;
      case TokenKind::Parameter:
        e->kind = ExprKind::Parameter;
        e->text = Take().text;
        e->index = parameterCount_++;
        parameterNames_.push_back(e->text);
        break;
      case TokenKind::Variable:
        e->kind = ExprKind::Variable;
        e->text = Take().text;
        if (PeekSymbol(".")) return ParseXmlMethod(std::move(e));
        break;
      case TokenKind::Symbol:
        if (t.text == "(") {
          Take();
          if (PeekWord("SELECT")) {
            e->kind = ExprKind::Subquery;
            e->select = ParseQuery();
            ExpectSymbol(")");
            if (PeekSymbol(".")) return ParseXmlMethod(std::move(e));
          } else {
            e = ParseExpr();
            ExpectSymbol(")");
            // Keep the parentheses' extent for default texts.
          }
          break;
        }
        if (t.text == "$") {
          ParseMoneyLiteral(*e);
          break;
        }
        Fail();
      case TokenKind::Word:
      case TokenKind::Quoted:
        ParseNamePrimary(*e);
        break;
      case TokenKind::End:
        Fail();
    }
    e->endOffset = LastEnd();
    return e;
  }

  void ParseNamePrimary(Expr& e) {
    const Token& t = Peek();
    if (t.kind == TokenKind::Word) {
      if (IsWord(t, "NULL")) {
        Take();
        e.kind = ExprKind::Null;
        return;
      }
      if (IsWord(t, "CASE")) {
        ParseCase(e);
        return;
      }
      if (PeekSymbol("(", 1)) {
        ParseFunction(e);
        return;
      }
      // The niladic functions written without parentheses; USER is CURRENT_USER.
      if (IsWord(t, "USER") || IsWord(t, "CURRENT_USER") || IsWord(t, "SESSION_USER") ||
          IsWord(t, "SYSTEM_USER")) {
        e.kind = ExprKind::Function;
        e.text = IsWord(t, "USER") ? "CURRENT_USER" : Upper(t.text);
        Take();
        return;
      }
      if (!IsIdentifier(t) && !IsWord(t, "LEFT") && !IsWord(t, "RIGHT")) Fail();
    }
    e.kind = ExprKind::Column;
    e.parts.push_back(Take().text);
    while (PeekSymbol(".")) {
      Take();
      if (PeekSymbol("*")) {
        Take();
        e.kind = ExprKind::Star;
        return;
      }
      e.parts.push_back(Identifier(true));
      if (PeekSymbol("(")) {
        // dbo.fn(…): a user function call
        std::string name = e.parts.back();
        e.parts.pop_back();
        e.kind = ExprKind::Function;
        e.text = name;
        ParseArguments(e);
        return;
      }
    }
    if (e.parts.size() > 4) Fail();
  }

  void ParseArguments(Expr& e) {
    ExpectSymbol("(");
    if (AcceptSymbol(")")) return;
    if (AcceptWord("DISTINCT")) {
      e.distinct = true;
    } else {
      AcceptWord("ALL");
    }
    if (PeekSymbol("*")) {
      Take();
      e.star = true;
    } else {
      do {
        e.args.push_back(ParseExpr());
      } while (AcceptSymbol(","));
    }
    ExpectSymbol(")");
  }

  // $12.50, -$3: a money constant.
  void ParseMoneyLiteral(Expr& e) {
    Take();
    const bool negative = AcceptSymbol("-");
    if (!negative) AcceptSymbol("+");
    if (Peek().kind != TokenKind::Number) Fail();
    auto number = std::make_unique<Expr>();
    number->offset = Peek().offset;
    number->text = (negative ? "-" : "") + Take().text;
    if (number->text.find_first_not_of("-0123456789.") != std::string::npos) Fail();
    number->kind = number->text.find('.') == std::string::npos && number->text.size() <= 18
                       ? ExprKind::Integer
                       : ExprKind::Float;
    number->endOffset = LastEnd();
    e.kind = ExprKind::Cast;
    e.text = "CAST";
    e.type.name = "money";
    e.args.push_back(std::move(number));
  }

  // xml.value(path, 'type') on an xml variable or a FOR XML … TYPE query,
  // for the paths that read the document's text, as that type.
  ExprPtr ParseXmlMethod(ExprPtr xml) {
    Take();
    const std::string method = Identifier(false);
    if (Upper(method) != "VALUE") {
      throw UnsupportedConstruct("the xml method " + method + "()");
    }
    ExpectSymbol("(");
    if (Peek().kind != TokenKind::String) Fail();
    std::string path = Take().text;
    path.erase(std::remove(path.begin(), path.end(), ' '), path.end());
    static constexpr std::string_view kWholeDocument[] = {".", "(.)[1]", "/", "(/)[1]"};
    static constexpr std::string_view kFirstText[] = {"./text()[1]", "(./text())[1]", "text()[1]",
                                                      "(text())[1]", "(/text())[1]"};
    std::string_view function;
    if (std::find(std::begin(kWholeDocument), std::end(kWholeDocument), path) !=
        std::end(kWholeDocument)) {
      function = kXmlStringValueFunction;
    } else if (std::find(std::begin(kFirstText), std::end(kFirstText), path) !=
               std::end(kFirstText)) {
      function = kXmlFirstTextFunction;
    } else {
      throw UnsupportedConstruct("the xml method value() with the path '" + path + "'");
    }
    ExpectSymbol(",");
    if (Peek().kind != TokenKind::String) Fail();
    const std::string typeText = Take().text;
    ExpectSymbol(")");
    auto text = std::make_unique<Expr>();
    text->kind = ExprKind::Function;
    text->text = std::string(function);
    text->offset = xml->offset;
    text->args.push_back(std::move(xml));
    auto cast = std::make_unique<Expr>();
    cast->kind = ExprKind::Cast;
    cast->text = "CAST";
    cast->offset = text->offset;
    cast->type = TypeOfText(typeText);
    cast->args.push_back(std::move(text));
    cast->endOffset = LastEnd();
    return cast;
  }

  // A type written as text ('nvarchar(max)'), read by a parser of its own.
  static TypeSpec TypeOfText(const std::string& text) {
    Parser inner(text);
    TypeSpec type = inner.ParseType();
    if (inner.Peek().kind != TokenKind::End) inner.Fail();
    return type;
  }

  void ParseFunction(Expr& e) {
    const std::string name = Take().text;
    const std::string upper = Upper(name);
    e.kind = ExprKind::Function;
    e.text = name;
    if (upper == "CAST" || upper == "TRY_CAST") {
      ExpectSymbol("(");
      e.kind = ExprKind::Cast;
      e.args.push_back(ParseExpr());
      ExpectWord("AS");
      e.type = ParseType();
      ExpectSymbol(")");
      return;
    }
    if (upper == "CONVERT" || upper == "TRY_CONVERT") {
      ExpectSymbol("(");
      e.kind = ExprKind::Cast;
      e.type = ParseType();
      ExpectSymbol(",");
      e.args.push_back(ParseExpr());
      if (AcceptSymbol(",")) {
        if (Peek().kind != TokenKind::Number) Fail();
        const std::string s = Take().text;
        if (s.find_first_not_of("0123456789") != std::string::npos || s.size() > 4) Fail();
        e.style = std::stoi(s);
      }
      ExpectSymbol(")");
      return;
    }
    if (upper == "DATEADD" || upper == "DATEDIFF" || upper == "DATEDIFF_BIG" ||
        upper == "DATEPART" || upper == "DATENAME") {
      ExpectSymbol("(");
      auto part = std::make_unique<Expr>();
      part->kind = ExprKind::String;
      part->text = Upper(Identifier(true));
      e.args.push_back(std::move(part));
      while (AcceptSymbol(",")) e.args.push_back(ParseExpr());
      ExpectSymbol(")");
      return;
    }
    if (upper == "TRIM") {
      // TRIM([characters FROM] text): the text comes first in `args`.
      ExpectSymbol("(");
      e.args.push_back(ParseExpr());
      if (AcceptWord("FROM")) e.args.insert(e.args.begin(), ParseExpr());
      ExpectSymbol(")");
      return;
    }
    ParseArguments(e);
    if (upper == "STRING_AGG" && AcceptWord("WITHIN")) {
      ExpectWord("GROUP");
      ExpectSymbol("(");
      ExpectWord("ORDER");
      ExpectWord("BY");
      do {
        e.args.push_back(ParseExpr());
        const bool descending = AcceptWord("DESC");
        if (!descending) AcceptWord("ASC");
        e.orderDescending.push_back(descending);
      } while (AcceptSymbol(","));
      ExpectSymbol(")");
    }
    if (PeekWord("OVER")) ParseOver(e);
  }

  void ParseOver(Expr& e) {
    ExpectWord("OVER");
    ExpectSymbol("(");
    e.over = std::make_unique<WindowSpec>();
    if (AcceptWord("PARTITION")) {
      ExpectWord("BY");
      do e.over->partitionBy.push_back(ParseExpr());
      while (AcceptSymbol(","));
    }
    if (AcceptWord("ORDER")) e.over->orderBy = ParseOrderByList();
    if (PeekWord("ROWS") || PeekWord("RANGE")) {
      // The frame's grammar is SQLite's too: kept word by word.
      static const std::set<std::string> kFrameWords = {"ROWS",      "RANGE",     "BETWEEN",
                                                        "AND",       "UNBOUNDED", "PRECEDING",
                                                        "FOLLOWING", "CURRENT",   "ROW"};
      while (!PeekSymbol(")")) {
        const Token& t = Peek();
        if (t.kind == TokenKind::Number &&
            t.text.find_first_not_of("0123456789") == std::string::npos) {
          e.over->frame.push_back(Take().text);
        } else if (t.kind == TokenKind::Word && kFrameWords.count(Upper(t.text))) {
          e.over->frame.push_back(Upper(Take().text));
        } else {
          Fail();
        }
      }
    }
    ExpectSymbol(")");
  }

  void ParseCase(Expr& e) {
    Take();
    e.kind = ExprKind::Case;
    if (!PeekWord("WHEN")) {
      e.args.push_back(ParseExpr());
    } else {
      e.args.push_back(nullptr);
    }
    if (!PeekWord("WHEN")) Fail();
    while (AcceptWord("WHEN")) {
      e.args.push_back(ParseExpr());
      ExpectWord("THEN");
      e.args.push_back(ParseExpr());
    }
    if (AcceptWord("ELSE")) {
      e.args.push_back(ParseExpr());
    } else {
      e.args.push_back(nullptr);
    }
    ExpectWord("END");
  }

  std::string_view sql_;
  std::vector<Token> tokens_;
  std::size_t pos_ = 0;
  int depth_ = 0;
  int parameterCount_ = 0;
  bool cursorQuery_ = false;  // a cursor's query ends at its FOR UPDATE / READ ONLY
  int derivedOperands_ = 0;   // names the derived tables parenthesised set operands become
  std::vector<std::string> parameterNames_;
};

}  // namespace

Batch ParseBatch(std::string_view sql) {
  return Parser(sql).Run();
}

}  // namespace moltaro::db::embedded
