#pragma once
// A query on a connection (the setup window's `q` on `con`, `QX` on `ConX`): a statement text
// that delivers rows, read one row at a time, every column as text. The query runs in a
// transaction of its own, a snapshot taken when it opens and committed when it closes, so
// statements executed on the same connection while it is delivering rows neither end nor change
// what it reads. Every failure raises EDatabaseError.
//
// Column values as text (UTF-8): NULL is the empty text; integers and NUMERIC/DECIMAL in decimal
// with the column's scale ("-123.45", "0.05"); floating-point numbers in the shortest text that
// reads back to the same value, with a point; DATE "YYYY-MM-DD", TIME "HH:MM:SS", TIMESTAMP
// "YYYY-MM-DD HH:MM:SS", each followed by ".ffff" when the ten-thousandths are not zero;
// BOOLEAN "TRUE"/"FALSE"; CHAR (with its padding), VARCHAR and BLOBs whole, whatever their size.

#include <memory>
#include <string>

namespace nx {

class TConexion;
struct QueryState;

class TConsulta {
 public:
  explicit TConsulta(TConexion& conexion);
  ~TConsulta();
  TConsulta(const TConsulta&) = delete;
  TConsulta& operator=(const TConsulta&) = delete;

  // The statement text; setting it closes an open query.
  void SetSQL(const std::string& sql);
  const std::string& SQL() const { return sql_; }

  // Prepares and executes the statement and fetches the first row; an open query is closed first.
  // The connection must be open. A statement that delivers no rows (neither a SELECT nor an
  // EXECUTE PROCEDURE / RETURNING) is refused before it runs.
  void Open();
  // Commits the query's transaction and frees the statement. Nothing happens when closed.
  void Close();
  bool Active() const;

  // True when there is no current row (a closed query included).
  bool Eof() const;
  void Next();

  int FieldCount() const;
  // Column `index` (from 0) of the current row.
  std::string FieldAsString(int index) const;

 private:
  friend class TConexion;
  // Ends the query without raising (its connection is closing).
  void Release();

  TConexion* conexion_;
  std::string sql_;
  std::unique_ptr<QueryState> state_;
};

}  // namespace nx
