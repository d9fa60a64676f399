#pragma once
// What a connection shares with its queries. Internal to the database layer.

#include <vector>

#include "dbupdate/client_library.h"
#include "dbupdate/parametros.h"
#include "platform/text.h"

namespace nx {

class TConsulta;

struct ConnectionState {
  TParametros params;
  const ClientLibrary* fb = nullptr;  // the library the attachment was made with
  isc_db_handle db = 0;
  int codePage = kCodePageLatin1;  // as for ToConnectionText
  unsigned short dialect = 3;
  std::vector<TConsulta*> queries;  // alive queries on this connection
};

// A statement's transaction: read committed, newest committed version, waiting on locks.
inline constexpr char kStatementTransaction[] = {isc_tpb_version3, isc_tpb_write,
                                                 isc_tpb_read_committed, isc_tpb_rec_version,
                                                 isc_tpb_wait};
// A query's transaction: a snapshot taken at its opening, so that rows it has still to deliver do
// not change under it while statements on the same connection commit.
inline constexpr char kQueryTransaction[] = {isc_tpb_version3, isc_tpb_write, isc_tpb_concurrency,
                                             isc_tpb_wait};

}  // namespace nx
