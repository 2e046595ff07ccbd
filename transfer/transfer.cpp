#include "transfer/transfer.h"

namespace morbs {

std::string_view copy_text(Copy copy) { return copy == Copy::basic ? "basic" : "second"; }
std::string_view org_text(Copy copy) { return copy == Copy::basic ? "0" : "1"; }

std::string_view area_text(Area area) { return area == Area::accounts ? "accounts" : "accounts1"; }

std::optional<Area> area_of(std::string_view text) {
  if (text == "accounts") return Area::accounts;
  if (text == "accounts1") return Area::accounts1;
  return std::nullopt;
}

std::string place_of(const Transfer& t) {
  const size_t scheme = t.url.find("://");
  const size_t path = scheme == std::string::npos ? std::string::npos : t.url.find('/', scheme + 3);
  return t.url.substr(0, path) + " " + t.login;
}

}  // namespace morbs
