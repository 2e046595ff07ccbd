#include "transfer/transfer.h"

#include "platform/sftp_transfers.h"

namespace morbs {

std::string_view copy_text(Copy copy) { return copy == Copy::basic ? "basic" : "second"; }
std::string_view org_text(Copy copy) { return copy == Copy::basic ? "0" : "1"; }

std::string_view area_text(Area area) { return area == Area::accounts ? "accounts" : "accounts1"; }

std::optional<Area> area_of(std::string_view text) {
  if (text == "accounts") return Area::accounts;
  if (text == "accounts1") return Area::accounts1;
  return std::nullopt;
}

std::string place_of(const Transfer& t) { return platform::connection_place(t.url, t.login); }

}  // namespace morbs
