#include "tools/restemu/fql.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <memory>
#include <optional>

namespace {

constexpr int kMaxNesting = 64;
// Long enough for any real query; it also bounds the depth of an AND or OR chain.
constexpr std::size_t kMaxTokens = 2000;

class CFqlError {
 public:
  explicit CFqlError(std::string message) : m_strMessage(std::move(message)) {}
  const std::string& Message() const { return m_strMessage; }

 private:
  std::string m_strMessage;
};

// ---- Values ------------------------------------------------------------------------------

struct Value {
  bool bNumber = false;
  std::int64_t nNumber = 0;
  std::string strText;

  static Value Num(std::int64_t n) {
    Value v;
    v.bNumber = true;
    v.nNumber = n;
    return v;
  }
  static Value Str(std::string s) {
    Value v;
    v.strText = std::move(s);
    return v;
  }
};

std::optional<std::int64_t> AsInteger(const Value& value) {
  if (value.bNumber) {
    return value.nNumber;
  }
  const std::string& text = value.strText;
  std::size_t i = (!text.empty() && text[0] == '-') ? 1 : 0;
  if (i == text.size() || text.size() - i > 18) {
    return std::nullopt;
  }
  for (std::size_t k = i; k < text.size(); ++k) {
    if (text[k] < '0' || text[k] > '9') {
      return std::nullopt;
    }
  }
  return std::stoll(text);
}

std::string AsText(const Value& value) {
  return value.bNumber ? std::to_string(value.nNumber) : value.strText;
}

// Numbers compare as numbers, also against text that is a whole number; all else as bytes.
int CompareValues(const Value& a, const Value& b) {
  if (a.bNumber || b.bNumber) {
    const auto x = AsInteger(a);
    const auto y = AsInteger(b);
    if (x && y) {
      return *x < *y ? -1 : (*x > *y ? 1 : 0);
    }
  }
  return AsText(a).compare(AsText(b)) < 0 ? -1 : (AsText(a) == AsText(b) ? 0 : 1);
}

bool IsTrue(const Value& value) {
  return value.bNumber ? value.nNumber != 0 : !value.strText.empty() && value.strText != "0";
}

std::int64_t CountCharacters(std::string_view text) {
  return std::count_if(text.begin(), text.end(),
                       [](char c) { return (static_cast<unsigned char>(c) & 0xC0u) != 0x80u; });
}

// ---- Tables ------------------------------------------------------------------------------

using Row = std::map<std::string, Value>;

struct Table {
  std::string strRowElement;
  std::vector<std::string> aColumns;  // what SELECT may name
  std::vector<std::string> aFields;   // what conditions may name
  std::vector<Row> aRows;
};

std::map<std::string, Table> BuildTables(const FqlTables& source) {
  std::map<std::string, Table> tables;
  Table& user = tables["user"];
  user.strRowElement = "user";
  user.aColumns = {"uid", "name", "status", "birthday", "wall_count"};
  user.aFields = {"uid", "name", "status.message", "status.time", "birthday", "wall_count"};
  for (const FqlUser& entry : source.aUsers) {
    user.aRows.push_back({{"uid", Value::Num(std::stoll(entry.person.strUid))},
                          {"name", Value::Str(entry.person.strName)},
                          {"status.message", Value::Str(entry.person.status.strMessage)},
                          {"status.time", Value::Num(entry.person.status.nTime)},
                          {"birthday", Value::Str(entry.person.strBirthday)},
                          {"wall_count", Value::Num(entry.nWallCount)}});
  }
  Table& friendTable = tables["friend"];
  friendTable.strRowElement = "friend_info";
  friendTable.aColumns = {"uid1", "uid2"};
  friendTable.aFields = friendTable.aColumns;
  for (const auto& pair : source.aFriendships) {
    friendTable.aRows.push_back({{"uid1", Value::Num(std::stoll(pair.first))},
                                 {"uid2", Value::Num(std::stoll(pair.second))}});
  }
  return tables;
}

// ---- Tokens ------------------------------------------------------------------------------

struct Token {
  enum class Type { kEnd, kWord, kNumber, kString, kSymbol };
  Type type = Type::kEnd;
  std::string strText;
  std::size_t nPosition = 0;
};

std::vector<Token> Tokenize(std::string_view query) {
  std::vector<Token> tokens;
  std::size_t i = 0;
  auto isWordChar = [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
  };
  while (i < query.size()) {
    const char c = query[i];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      ++i;
      continue;
    }
    Token token;
    token.nPosition = i;
    if (c >= '0' && c <= '9') {
      token.type = Token::Type::kNumber;
      while (i < query.size() && query[i] >= '0' && query[i] <= '9') {
        token.strText.push_back(query[i++]);
      }
    } else if (isWordChar(c)) {
      token.type = Token::Type::kWord;
      while (i < query.size() && isWordChar(query[i])) {
        token.strText.push_back(query[i++]);
      }
    } else if (c == '"' || c == '\'') {
      token.type = Token::Type::kString;
      ++i;
      bool bClosed = false;
      while (i < query.size()) {
        if (query[i] == '\\' && i + 1 < query.size()) {
          token.strText.push_back(query[i + 1]);
          i += 2;
        } else if (query[i] == c) {
          ++i;
          bClosed = true;
          break;
        } else {
          token.strText.push_back(query[i++]);
        }
      }
      if (!bClosed) {
        throw CFqlError("Parser error: unterminated string starting at position " +
                        std::to_string(token.nPosition) + ".");
      }
    } else {
      token.type = Token::Type::kSymbol;
      static const char* const kTwoCharacter[] = {"!=", "<>", "<=", ">="};
      for (const char* symbol : kTwoCharacter) {
        if (query.substr(i, 2) == symbol) {
          token.strText = symbol;
        }
      }
      if (token.strText.empty()) {
        if (std::string_view("(),.=<>").find(c) == std::string_view::npos) {
          throw CFqlError("Parser error: unexpected '" + std::string(1, c) + "' at position " +
                          std::to_string(i) + ".");
        }
        token.strText = std::string(1, c);
      }
      i += token.strText.size();
    }
    tokens.push_back(std::move(token));
    if (tokens.size() > kMaxTokens) {
      throw CFqlError("Parser error: the query is too long.");
    }
  }
  Token end;
  end.nPosition = query.size();
  tokens.push_back(end);
  return tokens;
}

// ---- Syntax tree -------------------------------------------------------------------------

struct Select;

struct Expr {
  enum class Kind { kNumber, kString, kField, kCall, kCompare, kAnd, kOr, kNot, kIn };
  Kind kind = Kind::kNumber;
  std::string strText;  // literal, field, function or comparison operator
  std::int64_t nNumber = 0;
  std::vector<std::unique_ptr<Expr>> aArgs;  // for kIn: the tested value, then the list
  std::unique_ptr<Select> sub;               // for kIn over a sub-query
};

struct Select {
  std::vector<std::string> aColumns;
  std::string strTable;
  std::unique_ptr<Expr> where;
  std::string strOrderField;
  bool bDescending = false;
  std::optional<std::int64_t> nLimit;
};

bool IsKeyword(const Token& token, std::string_view keyword) {
  if (token.type != Token::Type::kWord || token.strText.size() != keyword.size()) {
    return false;
  }
  for (std::size_t i = 0; i < keyword.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(token.strText[i])) != keyword[i]) {
      return false;
    }
  }
  return true;
}

class CParser {
 public:
  explicit CParser(std::vector<Token> tokens) : m_aTokens(std::move(tokens)) {}

  std::unique_ptr<Select> ParseQuery() {
    auto select = ParseSelect();
    if (Peek().type != Token::Type::kEnd) {
      Unexpected();
    }
    return select;
  }

 private:
  const Token& Peek() const { return m_aTokens[m_nNext]; }
  const Token& Take() { return m_aTokens[m_nNext < m_aTokens.size() - 1 ? m_nNext++ : m_nNext]; }

  [[noreturn]] void Unexpected() const {
    const Token& token = Peek();
    if (token.type == Token::Type::kEnd) {
      throw CFqlError("Parser error: unexpected end of query.");
    }
    throw CFqlError("Parser error: unexpected '" + token.strText + "' at position " +
                    std::to_string(token.nPosition) + ".");
  }

  void ExpectKeyword(std::string_view keyword) {
    if (!IsKeyword(Peek(), keyword)) {
      Unexpected();
    }
    Take();
  }

  bool TakeSymbol(std::string_view symbol) {
    if (Peek().type == Token::Type::kSymbol && Peek().strText == symbol) {
      Take();
      return true;
    }
    return false;
  }

  void ExpectSymbol(std::string_view symbol) {
    if (!TakeSymbol(symbol)) {
      Unexpected();
    }
  }

  std::string TakeName() {
    if (Peek().type != Token::Type::kWord || IsReserved(Peek())) {
      Unexpected();
    }
    return Take().strText;
  }

  static bool IsReserved(const Token& token) {
    for (std::string_view word : {"SELECT", "FROM", "WHERE", "AND", "OR", "NOT", "IN", "ORDER",
                                  "BY", "ASC", "DESC", "LIMIT"}) {
      if (IsKeyword(token, word)) {
        return true;
      }
    }
    return false;
  }

  std::string TakeFieldPath() {
    std::string path = TakeName();
    while (TakeSymbol(".")) {
      path += "." + TakeName();
    }
    return path;
  }

  std::int64_t TakeInteger() {
    if (Peek().type != Token::Type::kNumber || Peek().strText.size() > 18) {
      Unexpected();
    }
    return std::stoll(Take().strText);
  }

  // Guards the recursion against deeply nested input.
  class CDepth {
   public:
    explicit CDepth(int& depth) : m_rDepth(depth) {
      if (++m_rDepth > kMaxNesting) {
        throw CFqlError("Parser error: the query is nested too deeply.");
      }
    }
    ~CDepth() { --m_rDepth; }
    CDepth(const CDepth&) = delete;
    CDepth& operator=(const CDepth&) = delete;

   private:
    int& m_rDepth;
  };

  std::unique_ptr<Select> ParseSelect() {
    CDepth depth(m_nDepth);
    auto select = std::make_unique<Select>();
    ExpectKeyword("SELECT");
    do {
      select->aColumns.push_back(TakeName());
    } while (TakeSymbol(","));
    ExpectKeyword("FROM");
    select->strTable = TakeName();
    if (IsKeyword(Peek(), "WHERE")) {
      Take();
      select->where = ParseOr();
    }
    if (IsKeyword(Peek(), "ORDER")) {
      Take();
      ExpectKeyword("BY");
      select->strOrderField = TakeFieldPath();
      if (IsKeyword(Peek(), "DESC") || IsKeyword(Peek(), "ASC")) {
        select->bDescending = IsKeyword(Take(), "DESC");
      }
    }
    if (IsKeyword(Peek(), "LIMIT")) {
      Take();
      select->nLimit = TakeInteger();
    }
    return select;
  }

  std::unique_ptr<Expr> Binary(Expr::Kind kind, std::unique_ptr<Expr> left,
                               std::unique_ptr<Expr> right) {
    auto node = std::make_unique<Expr>();
    node->kind = kind;
    node->aArgs.push_back(std::move(left));
    node->aArgs.push_back(std::move(right));
    return node;
  }

  std::unique_ptr<Expr> ParseOr() {
    CDepth depth(m_nDepth);
    auto left = ParseAnd();
    while (IsKeyword(Peek(), "OR")) {
      Take();
      left = Binary(Expr::Kind::kOr, std::move(left), ParseAnd());
    }
    return left;
  }

  std::unique_ptr<Expr> ParseAnd() {
    auto left = ParseNot();
    while (IsKeyword(Peek(), "AND")) {
      Take();
      left = Binary(Expr::Kind::kAnd, std::move(left), ParseNot());
    }
    return left;
  }

  std::unique_ptr<Expr> ParseNot() {
    CDepth depth(m_nDepth);
    if (IsKeyword(Peek(), "NOT")) {
      Take();
      auto node = std::make_unique<Expr>();
      node->kind = Expr::Kind::kNot;
      node->aArgs.push_back(ParseNot());
      return node;
    }
    return ParseComparison();
  }

  std::unique_ptr<Expr> ParseComparison() {
    auto left = ParseOperand();
    if (IsKeyword(Peek(), "IN")) {
      Take();
      ExpectSymbol("(");
      auto node = std::make_unique<Expr>();
      node->kind = Expr::Kind::kIn;
      node->aArgs.push_back(std::move(left));
      if (IsKeyword(Peek(), "SELECT")) {
        node->sub = ParseSelect();
      } else {
        do {
          node->aArgs.push_back(ParseOperand());
        } while (TakeSymbol(","));
      }
      ExpectSymbol(")");
      return node;
    }
    for (std::string_view op : {"=", "!=", "<>", "<", "<=", ">", ">="}) {
      if (TakeSymbol(op)) {
        auto node = Binary(Expr::Kind::kCompare, std::move(left), ParseOperand());
        node->strText = std::string(op);
        return node;
      }
    }
    return left;
  }

  std::unique_ptr<Expr> ParseOperand() {
    CDepth depth(m_nDepth);
    auto node = std::make_unique<Expr>();
    const Token& token = Peek();
    if (token.type == Token::Type::kNumber) {
      node->kind = Expr::Kind::kNumber;
      node->nNumber = TakeInteger();
    } else if (token.type == Token::Type::kString) {
      node->kind = Expr::Kind::kString;
      node->strText = Take().strText;
    } else if (TakeSymbol("(")) {
      node = ParseOr();
      ExpectSymbol(")");
    } else {
      const std::string name = TakeName();
      if (TakeSymbol("(")) {
        node->kind = Expr::Kind::kCall;
        node->strText = name;
        if (!TakeSymbol(")")) {
          do {
            node->aArgs.push_back(ParseOr());
          } while (TakeSymbol(","));
          ExpectSymbol(")");
        }
      } else {
        node->kind = Expr::Kind::kField;
        node->strText = name;
        while (TakeSymbol(".")) {
          node->strText += "." + TakeName();
        }
      }
    }
    return node;
  }

  std::vector<Token> m_aTokens;
  std::size_t m_nNext = 0;
  int m_nDepth = 0;
};

// ---- Evaluation --------------------------------------------------------------------------

class CEvaluator {
 public:
  explicit CEvaluator(const FqlTables& source) : m_mapTables(BuildTables(source)) {}

  // The rows a query selects, each as its column values, and its table.
  std::pair<const Table*, std::vector<const Row*>> Run(Select& select) {
    auto found = m_mapTables.find(select.strTable);
    if (found == m_mapTables.end()) {
      throw CFqlError("Parser error: unknown table \"" + select.strTable + "\".");
    }
    const Table& table = found->second;
    for (const std::string& column : select.aColumns) {
      if (std::find(table.aColumns.begin(), table.aColumns.end(), column) == table.aColumns.end()) {
        throw CFqlError("Parser error: unknown field \"" + column + "\" in table " +
                        select.strTable + ".");
      }
    }
    if (select.where) {
      Check(*select.where, table, select.strTable);
    }
    if (!select.strOrderField.empty()) {
      CheckField(select.strOrderField, table, select.strTable);
    }

    std::vector<const Row*> rows;
    for (const Row& row : table.aRows) {
      if (!select.where || IsTrue(Evaluate(*select.where, row))) {
        rows.push_back(&row);
      }
    }
    if (!select.strOrderField.empty()) {
      const std::string& field = select.strOrderField;
      const bool bDescending = select.bDescending;
      std::stable_sort(rows.begin(), rows.end(), [&](const Row* a, const Row* b) {
        const int order = CompareValues(a->at(field), b->at(field));
        return bDescending ? order > 0 : order < 0;
      });
    }
    if (select.nLimit && rows.size() > static_cast<std::size_t>(*select.nLimit)) {
      rows.resize(static_cast<std::size_t>(*select.nLimit));
    }
    return {&table, rows};
  }

 private:
  static void CheckField(const std::string& field, const Table& table, const std::string& name) {
    if (std::find(table.aFields.begin(), table.aFields.end(), field) == table.aFields.end()) {
      throw CFqlError("Parser error: unknown field \"" + field + "\" in table " + name + ".");
    }
  }

  // Checks the field and function names once, so that a mistake is reported even when the
  // table has no rows, and runs each sub-query once.
  void Check(Expr& expr, const Table& table, const std::string& name) {
    if (expr.kind == Expr::Kind::kField) {
      CheckField(expr.strText, table, name);
    }
    if (expr.kind == Expr::Kind::kCall) {
      static const std::map<std::string, std::pair<std::size_t, std::size_t>> kArity = {
          {"strlen", {1, 1}},
          {"lower", {1, 1}},
          {"upper", {1, 1}},
          {"strpos", {2, 2}},
          {"concat", {1, 16}}};
      auto arity = kArity.find(expr.strText);
      if (arity == kArity.end()) {
        throw CFqlError("Parser error: unknown function \"" + expr.strText + "\".");
      }
      if (expr.aArgs.size() < arity->second.first || expr.aArgs.size() > arity->second.second) {
        throw CFqlError("Parser error: wrong number of arguments to " + expr.strText + ".");
      }
    }
    if (expr.kind == Expr::Kind::kIn && expr.sub) {
      if (expr.sub->aColumns.size() != 1) {
        throw CFqlError("Parser error: a sub-query must select exactly one field.");
      }
      const auto [subTable, subRows] = Run(*expr.sub);
      const std::string& column = expr.sub->aColumns[0];
      // A record column such as status has no single value to compare with.
      if (std::find(subTable->aFields.begin(), subTable->aFields.end(), column) ==
          subTable->aFields.end()) {
        throw CFqlError(
            "Parser error: a sub-query must select a field with a single value, not \"" + column +
            "\".");
      }
      for (const Row* row : subRows) {
        auto literal = std::make_unique<Expr>();
        const Value& value = row->at(column);
        literal->kind = value.bNumber ? Expr::Kind::kNumber : Expr::Kind::kString;
        literal->nNumber = value.nNumber;
        literal->strText = value.strText;
        expr.aArgs.push_back(std::move(literal));
      }
      expr.sub.reset();
    }
    for (auto& arg : expr.aArgs) {
      Check(*arg, table, name);
    }
  }

  Value Evaluate(const Expr& expr, const Row& row) const {
    switch (expr.kind) {
      case Expr::Kind::kNumber:
        return Value::Num(expr.nNumber);
      case Expr::Kind::kString:
        return Value::Str(expr.strText);
      case Expr::Kind::kField:
        return row.at(expr.strText);
      case Expr::Kind::kAnd:
        return Value::Num(IsTrue(Evaluate(*expr.aArgs[0], row)) &&
                          IsTrue(Evaluate(*expr.aArgs[1], row)));
      case Expr::Kind::kOr:
        return Value::Num(IsTrue(Evaluate(*expr.aArgs[0], row)) ||
                          IsTrue(Evaluate(*expr.aArgs[1], row)));
      case Expr::Kind::kNot:
        return Value::Num(!IsTrue(Evaluate(*expr.aArgs[0], row)));
      case Expr::Kind::kIn: {
        const Value tested = Evaluate(*expr.aArgs[0], row);
        for (std::size_t i = 1; i < expr.aArgs.size(); ++i) {
          if (CompareValues(tested, Evaluate(*expr.aArgs[i], row)) == 0) {
            return Value::Num(1);
          }
        }
        return Value::Num(0);
      }
      case Expr::Kind::kCompare: {
        const int order =
            CompareValues(Evaluate(*expr.aArgs[0], row), Evaluate(*expr.aArgs[1], row));
        const std::string& op = expr.strText;
        const bool bResult = op == "="                    ? order == 0
                             : (op == "!=" || op == "<>") ? order != 0
                             : op == "<"                  ? order < 0
                             : op == "<="                 ? order <= 0
                             : op == ">"                  ? order > 0
                                                          : order >= 0;
        return Value::Num(bResult);
      }
      case Expr::Kind::kCall:
        return Call(expr, row);
    }
    return Value::Num(0);
  }

  Value Call(const Expr& expr, const Row& row) const {
    std::vector<std::string> args;
    for (const auto& arg : expr.aArgs) {
      args.push_back(AsText(Evaluate(*arg, row)));
    }
    const std::string& name = expr.strText;
    if (name == "strlen") {
      return Value::Num(CountCharacters(args[0]));
    }
    if (name == "lower" || name == "upper") {
      std::string text = args[0];
      for (char& c : text) {
        if (c >= 'A' && c <= 'Z' && name == "lower") {
          c = static_cast<char>(c - 'A' + 'a');
        } else if (c >= 'a' && c <= 'z' && name == "upper") {
          c = static_cast<char>(c - 'a' + 'A');
        }
      }
      return Value::Str(text);
    }
    if (name == "strpos") {
      const std::size_t at = args[0].find(args[1]);
      return Value::Num(
          at == std::string::npos ? -1 : CountCharacters(std::string_view(args[0]).substr(0, at)));
    }
    std::string joined;
    for (const std::string& arg : args) {
      joined += arg;
    }
    return Value::Str(joined);
  }

  std::map<std::string, Table> m_mapTables;
};

CAnswerNode RowNode(const Table& table, const Select& select, const Row& row) {
  CAnswerNode node = CAnswerNode::Record(table.strRowElement);
  for (const std::string& column : select.aColumns) {
    if (column == "status") {
      node.Add(CAnswerNode::Record("status",
                                   {CAnswerNode::Text("message", row.at("status.message").strText),
                                    CAnswerNode::Number("time", row.at("status.time").nNumber)}));
      continue;
    }
    const Value& value = row.at(column);
    node.Add(value.bNumber ? CAnswerNode::Number(column, value.nNumber)
                           : CAnswerNode::Text(column, value.strText));
  }
  return node;
}

}  // namespace

FqlOutcome RunFqlQuery(std::string_view query, const FqlTables& tables) {
  FqlOutcome outcome;
  try {
    CParser parser(Tokenize(query));
    const std::unique_ptr<Select> select = parser.ParseQuery();
    CEvaluator evaluator(tables);
    const auto [table, rows] = evaluator.Run(*select);
    for (const Row* row : rows) {
      outcome.rows.Add(RowNode(*table, *select, *row));
    }
    outcome.bOk = true;
  } catch (const CFqlError& error) {
    outcome.strError = error.Message();
  }
  return outcome;
}
