#include "dbupdate/consulta.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <vector>

#include "dbupdate/client_library.h"
#include "dbupdate/conexion.h"
#include "dbupdate/connection_state.h"
#include "dbupdate/connection_text.h"
#include "dbupdate/database_error.h"

namespace nx {

namespace {

struct FreeDeleter {
  void operator()(XSQLDA* sqlda) const { std::free(sqlda); }
};
using Sqlda = std::unique_ptr<XSQLDA, FreeDeleter>;

Sqlda AllocateSqlda(short count) {
  const short n = std::max<short>(count, 1);
  auto* sqlda = static_cast<XSQLDA*>(std::calloc(1, XSQLDA_LENGTH(n)));
  if (sqlda == nullptr) throw std::bad_alloc();
  sqlda->version = SQLDA_VERSION1;
  sqlda->sqln = n;
  return Sqlda(sqlda);
}

// The buffer a column's value lands in, by its type.
size_t ValueSize(const XSQLVAR& var) {
  switch (var.sqltype & ~1) {
    case SQL_TEXT: return static_cast<size_t>(var.sqllen);
    case SQL_VARYING: return static_cast<size_t>(var.sqllen) + sizeof(short);
    case SQL_NULL: return 1;
    default: return std::max<size_t>(static_cast<size_t>(var.sqllen), sizeof(ISC_QUAD));
  }
}

// An integer with its decimal scale: -12345 with scale -2 is "-123.45".
std::string ScaledText(int64_t value, int scale) {
  const bool negative = value < 0;
  uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  std::string digits = std::to_string(magnitude);
  if (scale > 0) {
    digits.append(static_cast<size_t>(scale), '0');
  } else if (scale < 0) {
    const size_t decimals = static_cast<size_t>(-scale);
    if (digits.size() <= decimals) digits.insert(0, decimals + 1 - digits.size(), '0');
    digits.insert(digits.size() - decimals, 1, '.');
  }
  return negative ? "-" + digits : digits;
}

template <typename Float>
std::string FloatText(Float value) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::string DateText(const struct tm& parts) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", parts.tm_year + 1900, parts.tm_mon + 1,
                parts.tm_mday);
  return buffer;
}

std::string TimeText(const struct tm& parts, unsigned fraction) {
  char buffer[32];
  if (fraction == 0) {
    std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", parts.tm_hour, parts.tm_min,
                  parts.tm_sec);
  } else {
    std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d.%04u", parts.tm_hour, parts.tm_min,
                  parts.tm_sec, fraction);
  }
  return buffer;
}

}  // namespace

struct QueryState {
  const ClientLibrary* fb = nullptr;
  isc_db_handle* db = nullptr;
  int codePage = kCodePageLatin1;
  isc_tr_handle tr = 0;
  isc_stmt_handle stmt = 0;
  Sqlda sqlda;
  std::vector<std::vector<uint64_t>> values;  // 8-byte aligned, one per column
  std::vector<short> indicators;
  bool cursor = false;  // a SELECT: rows come by fetching; otherwise the one row of the execution
  bool eof = true;

  // Frees the statement and ends the transaction; nothing raised. Returns the error of a failed
  // commit, interpreted.
  std::optional<EDatabaseError> End(bool commit) {
    ISC_STATUS status[ISC_STATUS_LENGTH] = {};
    if (stmt != 0) fb->isc_dsql_free_statement(status, &stmt, DSQL_drop);
    stmt = 0;
    std::optional<EDatabaseError> failure;
    if (tr != 0 && commit) {
      fb->isc_commit_transaction(status, &tr);
      if (Failed(status)) failure = StatusError(*fb, status, codePage);
    }
    if (tr != 0) {
      ISC_STATUS ignored[ISC_STATUS_LENGTH] = {};
      fb->isc_rollback_transaction(ignored, &tr);
      tr = 0;
    }
    return failure;
  }

  [[noreturn]] void Fail(const ISC_STATUS* status) {
    EDatabaseError failure = StatusError(*fb, status, codePage);
    End(false);
    throw failure;
  }

  void Fetch() {
    ISC_STATUS status[ISC_STATUS_LENGTH] = {};
    const ISC_STATUS result = fb->isc_dsql_fetch(status, &stmt, SQLDA_VERSION1, sqlda.get());
    if (result == 100) {
      eof = true;
    } else if (result != 0) {
      eof = true;
      throw StatusError(*fb, status, codePage);
    } else {
      eof = false;
    }
  }

  std::string ReadBlob(const ISC_QUAD& stored) const {
    ISC_QUAD id = stored;
    ISC_STATUS status[ISC_STATUS_LENGTH] = {};
    isc_blob_handle blob = 0;
    isc_tr_handle transaction = tr;
    fb->isc_open_blob2(status, db, &transaction, &blob, &id, 0, nullptr);
    if (Failed(status)) throw StatusError(*fb, status, codePage);
    std::string content;
    char segment[32768];
    for (;;) {
      unsigned short got = 0;
      const ISC_STATUS result =
          fb->isc_get_segment(status, &blob, &got, sizeof segment, segment);
      if (result == 0 || result == isc_segment) {
        content.append(segment, got);
      } else if (result == isc_segstr_eof) {
        break;
      } else {
        EDatabaseError failure = StatusError(*fb, status, codePage);
        ISC_STATUS ignored[ISC_STATUS_LENGTH] = {};
        fb->isc_close_blob(ignored, &blob);
        throw failure;
      }
    }
    fb->isc_close_blob(status, &blob);
    return content;
  }
};

TConsulta::TConsulta(TConexion& conexion) : conexion_(&conexion) {
  conexion_->state_->queries.push_back(this);
}

TConsulta::~TConsulta() {
  Release();
  if (conexion_ != nullptr) {
    auto& queries = conexion_->state_->queries;
    queries.erase(std::remove(queries.begin(), queries.end(), this), queries.end());
  }
}

void TConsulta::SetSQL(const std::string& sql) {
  Close();
  sql_ = sql;
}

bool TConsulta::Active() const { return state_ != nullptr; }

bool TConsulta::Eof() const { return state_ == nullptr || state_->eof; }

int TConsulta::FieldCount() const { return state_ == nullptr ? 0 : state_->sqlda->sqld; }

void TConsulta::Release() {
  if (state_ == nullptr) return;
  state_->End(true);
  state_.reset();
}

void TConsulta::Close() {
  if (state_ == nullptr) return;
  std::optional<EDatabaseError> failure = state_->End(true);
  state_.reset();
  if (failure.has_value()) throw *failure;
}

void TConsulta::Open() {
  Close();
  if (conexion_ == nullptr || !conexion_->Connected()) {
    throw EDatabaseError("La conexión de la consulta no está abierta.");
  }
  ConnectionState& connection = *conexion_->state_;
  const std::string text = ToConnectionText(sql_, connection.codePage, "la consulta");
  if (text.find('\0') != std::string::npos) {
    throw EDatabaseError("La consulta contiene un carácter nulo.");
  }

  auto query = std::make_unique<QueryState>();
  QueryState& s = *query;
  s.fb = connection.fb;
  s.db = &connection.db;
  s.codePage = connection.codePage;
  const ClientLibrary& fb = *s.fb;
  ISC_STATUS status[ISC_STATUS_LENGTH] = {};

  fb.isc_start_transaction(status, &s.tr, 1, s.db,
                           static_cast<unsigned short>(sizeof kQueryTransaction),
                           kQueryTransaction);
  if (Failed(status)) s.Fail(status);
  fb.isc_dsql_allocate_statement(status, s.db, &s.stmt);
  if (Failed(status)) s.Fail(status);
  s.sqlda = AllocateSqlda(1);
  fb.isc_dsql_prepare(status, &s.tr, &s.stmt, 0, text.c_str(), connection.dialect,
                      s.sqlda.get());
  if (Failed(status)) s.Fail(status);

  char item = isc_info_sql_stmt_type;
  char info[16] = {};
  fb.isc_dsql_sql_info(status, &s.stmt, 1, &item, sizeof info, info);
  if (Failed(status)) s.Fail(status);
  int type = 0;
  if (info[0] == isc_info_sql_stmt_type) {
    const int length = static_cast<unsigned char>(info[1]) | static_cast<unsigned char>(info[2]) << 8;
    for (int i = length - 1; i >= 0 && i < 8; --i) {
      type = (type << 8) | static_cast<unsigned char>(info[3 + i]);
    }
  }
  const bool select = type == isc_info_sql_stmt_select || type == isc_info_sql_stmt_select_for_upd;
  if (!select && type != isc_info_sql_stmt_exec_procedure) {
    s.End(false);
    throw EDatabaseError("La sentencia de la consulta no devuelve filas.");
  }

  const short columns = s.sqlda->sqld;
  if (columns > s.sqlda->sqln) {
    s.sqlda = AllocateSqlda(columns);
    fb.isc_dsql_describe(status, &s.stmt, SQLDA_VERSION1, s.sqlda.get());
    if (Failed(status)) s.Fail(status);
  }
  s.values.resize(static_cast<size_t>(columns));
  s.indicators.assign(static_cast<size_t>(columns), 0);
  for (short i = 0; i < columns; ++i) {
    XSQLVAR& var = s.sqlda->sqlvar[i];
    // Never an empty buffer: the client refuses a null data pointer even for CHAR(0).
    s.values[i].assign(std::max<size_t>((ValueSize(var) + 7) / 8, 1), 0);
    var.sqldata = reinterpret_cast<ISC_SCHAR*>(s.values[i].data());
    var.sqltype |= 1;  // always report NULL through the indicator
    var.sqlind = &s.indicators[i];
  }

  if (select) {
    fb.isc_dsql_execute(status, &s.tr, &s.stmt, SQLDA_VERSION1, nullptr);
    if (Failed(status)) s.Fail(status);
    s.cursor = true;
    try {
      s.Fetch();
    } catch (...) {
      s.End(false);
      throw;
    }
  } else {
    fb.isc_dsql_execute2(status, &s.tr, &s.stmt, SQLDA_VERSION1, nullptr,
                         columns > 0 ? s.sqlda.get() : nullptr);
    if (Failed(status)) s.Fail(status);
    s.eof = columns == 0;
  }
  state_ = std::move(query);
}

void TConsulta::Next() {
  if (state_ == nullptr) throw EDatabaseError("La consulta no está abierta.");
  if (state_->eof) return;
  if (state_->cursor) {
    state_->Fetch();
  } else {
    state_->eof = true;
  }
}

std::string TConsulta::FieldAsString(int index) const {
  if (state_ == nullptr || state_->eof) {
    throw EDatabaseError("La consulta no tiene fila actual.");
  }
  const QueryState& s = *state_;
  if (index < 0 || index >= s.sqlda->sqld) {
    throw EDatabaseError("La consulta no tiene la columna " + std::to_string(index) + " (tiene " +
                         std::to_string(s.sqlda->sqld) + ").");
  }
  const XSQLVAR& var = s.sqlda->sqlvar[index];
  if (*var.sqlind < 0) return "";
  const char* data = var.sqldata;
  const auto read = [data](auto value) {
    std::memcpy(&value, data, sizeof value);
    return value;
  };
  switch (var.sqltype & ~1) {
    case SQL_TEXT:
      return FromConnectionText(std::string(data, static_cast<size_t>(var.sqllen)), s.codePage);
    case SQL_VARYING: {
      const auto length = static_cast<unsigned short>(read(short{}));
      return FromConnectionText(std::string(data + sizeof(short), length), s.codePage);
    }
    case SQL_SHORT: return ScaledText(read(int16_t{}), var.sqlscale);
    case SQL_LONG: return ScaledText(read(int32_t{}), var.sqlscale);
    case SQL_INT64: return ScaledText(read(int64_t{}), var.sqlscale);
    case SQL_FLOAT: return FloatText(read(float{}));
    case SQL_DOUBLE:
    case SQL_D_FLOAT: return FloatText(read(double{}));
    case SQL_BOOLEAN: return read(FB_BOOLEAN{}) != 0 ? "TRUE" : "FALSE";
    case SQL_TYPE_DATE: {
      const ISC_DATE date = read(ISC_DATE{});
      struct tm parts = {};
      s.fb->isc_decode_sql_date(&date, &parts);
      return DateText(parts);
    }
    case SQL_TYPE_TIME: {
      const ISC_TIME time = read(ISC_TIME{});
      struct tm parts = {};
      s.fb->isc_decode_sql_time(&time, &parts);
      return TimeText(parts, time % 10000);
    }
    case SQL_TIMESTAMP: {
      const ISC_TIMESTAMP stamp = read(ISC_TIMESTAMP{});
      struct tm parts = {};
      s.fb->isc_decode_timestamp(&stamp, &parts);
      return DateText(parts) + " " + TimeText(parts, stamp.timestamp_time % 10000);
    }
    case SQL_BLOB: {
      const std::string content = s.ReadBlob(read(ISC_QUAD{}));
      // Binary blobs keep every byte, one character each.
      return FromConnectionText(content, var.sqlsubtype == 1 ? s.codePage : kCodePageLatin1);
    }
    case SQL_NULL: return "";
    default: {
      const std::string name = FromConnectionText(
          std::string(var.aliasname, static_cast<size_t>(std::max<short>(var.aliasname_length, 0))),
          s.codePage);
      throw EDatabaseError("La columna " + std::to_string(index) + " (" + name +
                           ") es de un tipo que no se lee como texto (" +
                           std::to_string(var.sqltype & ~1) + ").");
    }
  }
}

}  // namespace nx
