#pragma once
// The Firebird client library, loaded at run time into one table of the entry points the program
// uses. Loading waits for the first use, so a machine without the library starts normally and
// gets a clear error at its first connection. Internal to the database layer (and its tests).

#include <ibase.h>

#include <string>

namespace nx {

#define NX_FBCLIENT_ENTRY_POINTS(X) \
  X(isc_attach_database)            \
  X(isc_detach_database)            \
  X(isc_start_transaction)          \
  X(isc_commit_transaction)         \
  X(isc_rollback_transaction)       \
  X(isc_dsql_execute_immediate)     \
  X(isc_dsql_allocate_statement)    \
  X(isc_dsql_prepare)               \
  X(isc_dsql_describe)              \
  X(isc_dsql_sql_info)              \
  X(isc_dsql_execute)               \
  X(isc_dsql_execute2)              \
  X(isc_dsql_fetch)                 \
  X(isc_dsql_free_statement)        \
  X(isc_open_blob2)                 \
  X(isc_get_segment)                \
  X(isc_close_blob)                 \
  X(isc_service_attach)             \
  X(isc_service_start)              \
  X(isc_service_query)              \
  X(isc_service_detach)             \
  X(isc_decode_sql_date)            \
  X(isc_decode_sql_time)            \
  X(isc_decode_timestamp)           \
  X(fb_interpret)                   \
  X(isc_sqlcode)

struct ClientLibrary {
#define NX_FBCLIENT_MEMBER(name) decltype(&::name) name = nullptr;
  NX_FBCLIENT_ENTRY_POINTS(NX_FBCLIENT_MEMBER)
#undef NX_FBCLIENT_MEMBER
};

// The loaded table; EDatabaseError naming the library (and the system's reason, or the missing
// entry point) when it cannot be loaded. A failed load is tried again at the next call. A table
// once returned stays valid for the life of the program.
const ClientLibrary& FbClient();

// The file name loaded; the platform's default unless overridden. Overriding (tests: a missing
// library) drops the loaded table so that the next use loads by the new name; "" restores the
// default.
std::string ClientLibraryName();
void SetClientLibraryName(const std::string& name);

class EDatabaseError;

// The status vector's interpreted text as an error. The engine writes the texts it carries (an
// exception's message) in the connection's character set, given as for FromConnectionText.
// Interpret a status before the next call into the library: its texts may live in the library's
// own buffers.
EDatabaseError StatusError(const ClientLibrary& fb, const ISC_STATUS* status,
                           int connectionCodePage);
[[noreturn]] void ThrowStatus(const ClientLibrary& fb, const ISC_STATUS* status,
                              int connectionCodePage);

// True when the call that filled the status failed.
inline bool Failed(const ISC_STATUS* status) { return status[0] == 1 && status[1] != 0; }

}  // namespace nx
