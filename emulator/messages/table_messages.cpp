// EST, MVT and version records. Besides the layouts, the table update must
// follow its chain on one connection (when strictOrder is on): a table's
// records are deleted only after its information was asked, added only after
// it was emptied, and the version record is saved only after both tables were
// emptied and the MVT table refilled.
#include "emulator/messages/message_checks.h"
#include "emulator/messages/record_layout.h"
#include "emulator/messages/standard_messages.h"
#include "emulator/messages/table_request.h"
#include "link/framing.h"

namespace korvex::emu {
namespace {

using Check = std::optional<Rejection>;

TableRequest Parsed(const std::string& text) {
  return std::get<TableRequest>(ParseTableRequest(text));
}

bool Strict(PadServices& pad) {
  return pad.Config().strictOrder;
}

size_t Limit(PadServices& pad, int table) {
  return table == kEstTable ? pad.Config().limits.est : pad.Config().limits.mvt;
}

Check ParseOnly(const std::string& text, PadServices&) {
  auto parsed = ParseTableRequest(text);
  if (auto* rejection = std::get_if<Rejection>(&parsed)) return *rejection;
  return std::nullopt;
}

Check CheckRead(const std::string& text, PadServices& pad) {
  if (auto problem = ParseOnly(text, pad)) return problem;
  if (Parsed(text).record < 1) return Rejection{kStatusBadFormat, "record 000 cannot be read"};
  return std::nullopt;
}

Check CheckDelete(const std::string& text, PadServices& pad) {
  if (auto problem = ParseOnly(text, pad)) return problem;
  const TableRequest r = Parsed(text);
  const std::string name = TableName(r.table);
  if (r.table != kEstTable && r.table != kMvtTable) {
    return Rejection{kStatusBadTable, "records are deleted from EST and MVT only"};
  }
  if (Strict(pad) && !pad.Progress().asked[r.table]) {
    return Rejection{kStatusOutOfOrder,
                     name + " record deleted before the " + name + " information was asked"};
  }
  const size_t size = pad.Pad().Records(r.table).size();
  if (size == 0 || size_t(r.record) > size) {
    return Rejection{kStatusNoRecord, "no " + name + " record " + PadNumber(r.record, 3) +
                                          " to delete (table holds " + std::to_string(size) + ")"};
  }
  return std::nullopt;
}

// Field count, FS termination and the table's own layout.
Check CheckRecord(const TableRequest& r, size_t position) {
  const int expected = TableFieldCount(r.table);
  if (r.fieldCount != expected) {
    return Rejection{kStatusBadFormat, TableName(r.table) + " records have " +
                                           PadNumber(expected, 3) + " fields, request says " +
                                           PadNumber(r.fieldCount, 3)};
  }
  const auto fields = SplitFields(r.data);
  if (!fields) return Rejection{kStatusBadRecord, "record does not end with FS"};
  if (fields->size() != size_t(r.fieldCount)) {
    return Rejection{kStatusBadRecord, "record has " + std::to_string(fields->size()) +
                                           " fields, the request says " +
                                           std::to_string(r.fieldCount)};
  }
  std::optional<std::string> problem;
  if (r.table == kEstTable) problem = CheckEstRecord(*fields, position);
  if (r.table == kMvtTable) problem = CheckMvtRecord(*fields, position);
  if (r.table == kVersionTable) problem = CheckVersionRecord(*fields);
  if (problem) return Rejection{kStatusBadRecord, *problem};
  return std::nullopt;
}

Check CheckAdd(const std::string& text, PadServices& pad) {
  if (auto problem = ParseOnly(text, pad)) return problem;
  const TableRequest r = Parsed(text);
  const std::string name = TableName(r.table);
  if (r.table != kEstTable && r.table != kMvtTable) {
    return Rejection{kStatusBadTable, "records are added to EST and MVT only"};
  }
  if (Strict(pad) && !pad.Progress().emptied[r.table]) {
    return Rejection{kStatusOutOfOrder, name + " record added before the " + name +
                                            " table was emptied on this connection"};
  }
  const auto& records = pad.Pad().Records(r.table);
  if (auto problem = CheckRecord(r, records.size() + 1)) return problem;
  if (r.table == kEstTable) {
    for (const auto& old : records) {
      if (EstRid(old) == EstRid(r.data)) {
        return Rejection{kStatusDuplicate, "EST already holds RID " + EstRid(r.data)};
      }
    }
  }
  return std::nullopt;
}

Check CheckSave(const std::string& text, PadServices& pad) {
  if (auto problem = ParseOnly(text, pad)) return problem;
  const TableRequest r = Parsed(text);
  if (r.table != kVersionTable || r.record != 1) {
    return Rejection{kStatusBadTable, "only version record 001 of table 03 is written"};
  }
  UpdateProgress& p = pad.Progress();
  if (Strict(pad) && !(p.emptied[kEstTable] && p.emptied[kMvtTable] && p.added[kMvtTable] > 0)) {
    return Rejection{kStatusOutOfOrder,
                     "version saved before EST and MVT were emptied and refilled on this "
                     "connection"};
  }
  return CheckRecord(r, 1);
}

void TableInfo(const std::string& text, PadServices& pad) {
  const TableRequest r = Parsed(text);
  const size_t count = pad.Pad().Records(r.table).size();
  pad.Progress().asked[r.table] = true;
  if (count == 0) pad.Progress().emptied[r.table] = true;
  pad.Reply("D01" + kStatusOk + FS + PadNumber(count, 3) + FS);
}

void ReadRecord(const std::string& text, PadServices& pad) {
  const TableRequest r = Parsed(text);
  const auto& records = pad.Pad().Records(r.table);
  if (size_t(r.record) <= records.size()) {
    pad.Reply("D03" + kStatusOk + records[r.record - 1]);
    return;
  }
  const ReplySettings& replies = pad.Config().replies;
  if (r.table == kVersionTable && replies.missingVersion == MissingVersion::Empty) {
    pad.Reply("D03" + kStatusOk);
  } else {
    pad.Reply("D03" + (r.table == kVersionTable ? replies.missingVersionStatus : kStatusNoRecord));
  }
}

void DeleteRecord(const std::string& text, PadServices& pad) {
  const TableRequest r = Parsed(text);
  auto& records = pad.Pad().Records(r.table);
  records.erase(records.begin() + (r.record == 0 ? 0 : r.record - 1));
  pad.Pad().Touch();
  if (records.empty()) pad.Progress().emptied[r.table] = true;
  pad.Reply("D06" + kStatusOk);
}

void AddRecord(const std::string& text, PadServices& pad) {
  const TableRequest r = Parsed(text);
  auto& records = pad.Pad().Records(r.table);
  const std::string& reply = pad.Config().replies.addReply;
  if (records.size() >= Limit(pad, r.table)) {
    pad.Note(TableName(r.table) + " table full at " + std::to_string(records.size()) + " records");
    pad.Reply(reply + kStatusTableFull);
    return;
  }
  records.push_back(r.data);
  pad.Pad().Touch();
  ++pad.Progress().added[r.table];
  pad.Reply(reply + kStatusOk);
}

void SaveVersion(const std::string& text, PadServices& pad) {
  pad.Pad().Records(kVersionTable) = {Parsed(text).data};
  pad.Pad().Touch();
  pad.Reply(pad.Config().replies.saveReply + kStatusOk);
}

std::function<std::string(const std::string&, PadServices&)> AddFailure(bool save) {
  return [save](const std::string& status, PadServices& pad) {
    const ReplySettings& r = pad.Config().replies;
    return (save ? r.saveReply : r.addReply) + status;
  };
}

}  // namespace

void RegisterTableMessages(HandlerTable& table) {
  table.Add({"D01", PadApp::Payment, ParseOnly, TableInfo, StatusReply("D01")});
  table.Add({"D03", PadApp::Payment, CheckRead, ReadRecord, StatusReply("D03")});
  table.Add({"D06", PadApp::Payment, CheckDelete, DeleteRecord, StatusReply("D06")});
  table.Add({"D04", PadApp::Payment, CheckAdd, AddRecord, AddFailure(false)});
  table.Add({"D05", PadApp::Payment, CheckSave, SaveVersion, AddFailure(true)});
}

}  // namespace korvex::emu
