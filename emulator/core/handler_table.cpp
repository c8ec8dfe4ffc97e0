#include "emulator/core/handler_table.h"

#include <algorithm>

namespace korvex::emu {
namespace {

bool Matches(const MessageHandler& h, const std::string& text) {
  return text.compare(0, h.code.size(), h.code) == 0;
}

bool Overlap(AppSet a, AppSet b) {
  for (PadApp app : {PadApp::Payment, PadApp::Loader, PadApp::LoaderBooting,
                     PadApp::PaymentStarting, PadApp::Download}) {
    if (a.Has(app) && b.Has(app)) return true;
  }
  return false;
}

}  // namespace

void HandlerTable::Add(MessageHandler handler) {
  std::erase_if(handlers_, [&](const MessageHandler& h) {
    return h.code == handler.code && Overlap(h.apps, handler.apps);
  });
  handlers_.push_back(std::move(handler));
  Reindex();
}

void HandlerTable::Reindex() {
  for (auto& bucket : byFirstByte_) bucket.clear();
  emptyCodes_.clear();
  for (size_t i = 0; i < handlers_.size(); ++i) {
    const std::string& code = handlers_[i].code;
    auto& bucket = code.empty() ? emptyCodes_ : byFirstByte_[static_cast<uint8_t>(code[0])];
    bucket.push_back(static_cast<uint16_t>(i));
  }
}

const MessageHandler* HandlerTable::Find(const std::string& text, PadApp app) const {
  const MessageHandler* best = nullptr;
  const auto consider = [&](const std::vector<uint16_t>& positions) {
    for (const uint16_t i : positions) {
      const MessageHandler& h = handlers_[i];
      if (!h.apps.Has(app) || !Matches(h, text)) continue;
      if (best == nullptr || h.code.size() > best->code.size()) best = &h;
    }
  };
  consider(emptyCodes_);
  if (!text.empty()) consider(byFirstByte_[static_cast<uint8_t>(text[0])]);
  return best;
}

bool HandlerTable::Known(const std::string& text) const {
  if (!emptyCodes_.empty()) return true;
  if (text.empty()) return false;
  const auto& positions = byFirstByte_[static_cast<uint8_t>(text[0])];
  return std::any_of(positions.begin(), positions.end(),
                     [&](uint16_t i) { return Matches(handlers_[i], text); });
}

std::function<std::string(const std::string&, PadServices&)> StatusReply(std::string code) {
  return [code](const std::string& status, PadServices&) { return code + status; };
}

}  // namespace korvex::emu
