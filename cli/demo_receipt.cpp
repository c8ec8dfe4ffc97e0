#include "cli/demo_receipt.h"

#include <algorithm>
#include <cctype>
#include <iomanip>
#include <string>

#include "cli/card_data.h"

namespace korvex::cli {

namespace {

struct ReceiptItem {
  const char* label;
  const char* key;  // getTag key
};

constexpr ReceiptItem kReceipt[] = {
    {"application (AID)", "AID"},
    {"card (PAN)", "PAN"},
    {"expiry (EXPD)", "EXPD"},
    {"sequence number (CSN)", "CSN"},
    {"cryptogram information (9F27)", "9F27"},
    {"transaction counter (9F36)", "9F36"},
    {"verification results (95)", "95"},
    {"status information (9B)", "9B"},
    {"response code (AUTHRESP)", "AUTHRESP"},
};

// The kind of cryptogram in its two top bits.
std::string CryptogramKind(const std::string& cid) {
  const bool hex = cid.size() == 2 && std::isxdigit(static_cast<unsigned char>(cid[0])) &&
                   std::isxdigit(static_cast<unsigned char>(cid[1]));
  if (!hex) return "unknown";
  switch (std::stoi(cid, nullptr, 16) & 0xC0) {
    case 0x00: return "AAC";
    case 0x40: return "TC";
    case 0x80: return "ARQC";
    default: return "unknown";
  }
}

}  // namespace

void PrintReceipt(Korvex& control, bool showCardData, std::ostream& out) {
  size_t width = 0;
  for (const ReceiptItem& item : kReceipt) width = std::max(width, std::string(item.label).size());
  for (const ReceiptItem& item : kReceipt) {
    const std::string value = control.getTag(item.key);
    out << std::left << std::setw(int(width) + 2) << item.label
        << (showCardData ? value : MaskTagValue(item.key, value)) << "\n";
  }
}

PurchaseOutcome OutcomeOf(Korvex& control) {
  const std::string cid = control.getTag("9F27");
  const std::string kind = CryptogramKind(cid);
  const std::string detail = " (cryptogram " + kind + ", 9F27 " + cid + ", response code " +
                             control.getTag("AUTHRESP") + ")";
  if (kind == "TC") return {true, "approved" + detail};
  if (kind == "AAC") return {false, "declined" + detail};
  return {false, "not finished" + detail};
}

}  // namespace korvex::cli
