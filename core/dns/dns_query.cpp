#include "core/dns/dns_query.h"

#include "core/dns/dns_name.h"
#include "core/dns/dns_reply.h"
#include "core/report/reporter.h"
#include "platform/udp_socket.h"

namespace morbs {

namespace {

void put_u16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value >> 8));
  out.push_back(static_cast<uint8_t>(value & 0xFF));
}

DnsResult failed(int error_code, std::string& alias, Reporter& reporter) {
  reporter.say(format_text("Failed. Error Code : %d", error_code));
  alias = "null";
  return DnsResult::no_reply;
}

}  // namespace

std::vector<uint8_t> build_query(std::string_view host, uint16_t id) {
  std::vector<uint8_t> qname;
  if (!ChangetoDnsNameFormat(qname, host)) return {};
  std::vector<uint8_t> query;
  put_u16(query, id);
  put_u16(query, dns_flags_recursion_desired);
  put_u16(query, 1);  // QDCOUNT
  put_u16(query, 0);  // ANCOUNT
  put_u16(query, 0);  // NSCOUNT
  put_u16(query, 0);  // ARCOUNT
  query.insert(query.end(), qname.begin(), qname.end());
  put_u16(query, dns_type_a);
  put_u16(query, 1);  // QCLASS IN
  return query;
}

DnsResult ngethostbyname(std::string_view host, const std::string& server, const DnsOptions& options,
                         Reporter& reporter, std::string& address, std::string& alias) {
  address = "null";
  alias = "null";
  auto id = static_cast<uint16_t>(platform::current_process_id() & 0xFFFF);
  std::vector<uint8_t> query = build_query(host, id);
  if (query.empty()) return DnsResult::nothing;

  platform::UdpSocket socket;
  if (int error = socket.open(); error != 0) return failed(error, alias, reporter);
  // A query that never left cannot be answered: no point waiting for it.
  if (int error = socket.send_to(server, options.port, query); error != 0)
    return failed(error, alias, reporter);
  std::vector<uint8_t> reply;
  int error = 0;
  if (socket.receive(reply, dns_reply_limit, options.reply_wait_ms, error) < 0)
    return failed(error, alias, reporter);

  // A datagram that does not answer this very query counts as no answer.
  if (!answers_query(reply, query)) return DnsResult::nothing;
  DnsAnswer answer = read_reply(reply, query.size() - dns_header_size);
  address = answer.address;
  alias = answer.alias;
  return answer.result;
}

}  // namespace morbs
