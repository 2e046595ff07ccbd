#include "peers/morbnode/options.h"

#include <charconv>

namespace morbs::node {

const char* const usage_text =
    "usage: morbnode --root DIR [options]\n"
    "  One storage node of a local data network.\n"
    "  --root DIR              the node's state (created when missing)\n"
    "  --sn N                  the node's number (1)\n"
    "  --port P                query port (9201)\n"
    "  --sftp-port P           SFTP port (0: no SFTP service)\n"
    "  --announce-sftp-port P  the SFTP port told to clients (default: --sftp-port),\n"
    "                          e.g. that of a proxy in front of the node\n"
    "  --user U --password W   the SFTP login (morb / morb)\n"
    "  --capacity B            bytes per storage area (default: the disk's free space)\n"
    "  --capacity-accounts B, --capacity-accounts1 B   per area\n"
    "  --refuse-all            answer every request with the refusal\n"
    "  --answer-delay-ms N     answer N ms late\n"
    "  --never-answer          accept, read and never answer\n"
    "  --close-without-answer  close every connection without answering\n"
    "  --refuse-op NAME        answer requests with OP=NAME with the refusal (repeatable);\n"
    "                          NAME: chkaccount currentspace sshpasswd timeprec resv\n"
    "                          listfiles listfiles-add listfiles-chg listARCHI chkfile\n"
    "  --sftp-off              advertise --sftp-port but run no SFTP service\n"
    "  --disk-full-at B        no file the node writes grows beyond B bytes, as on a full disk\n"
    "  --log FILE              append every request received, one per line\n"
    "                          and a line \"SFTP login\" for every SFTP login\n"
    "  --reservation-expiry-s N   a reservation neither made nor written to for N\n"
    "                          seconds is given back with its data (86400)\n"
    "  --sftp-sessions N       SFTP sessions served at once (32); further logins wait\n"
    "  --sftp-queue-wait-s S   how long a login waits for a free session, oldest first (120)\n"
    "  --no-digest             never report a stored file's SHA256 in the chkfile reply\n"
    "  --refuse-listed-digests refuse a list or archive line that carries a SHA field\n"
    "  --corrupt-uploads       flip one byte of every stored file as it is written, the\n"
    "                          digest taken of what is stored, as a bad link would\n"
    "  --sftp-stall-after B    an SFTP session stops answering once B bytes were read or\n"
    "                          written in it, as a stalled link would\n"
    "  --sftp-fail-opens N     refuse the first N SFTP opens of a file (reading or writing,\n"
    "                          counted over all sessions) with permission denied\n"
    "  --sftp-fail-name TEXT   refuse every SFTP open of a path that holds TEXT likewise\n"
    "  --sftp-ciphers LIST     offer only these ciphers (comma-separated; secure ones only),\n"
    "                          to measure what another costs\n"
    "  --sftp-macs LIST        offer only these MACs, likewise\n"
    "usage: morbnode --ask PORT REQUEST\n"
    "  Sends one request to the node on 127.0.0.1:PORT and prints the reply.\n"
    "usage: morbnode --help | -h | --version\n"
    "  Exit status: 0 stopped by SIGTERM or SIGINT, or answered; 1 the node could not\n"
    "  start (a port taken, the root not writable) or --ask had no answer; 2 an option\n"
    "  it does not take.\n"
    "  See morbnode(8).\n";

namespace {

bool is_known_op(const std::string& name) {
  for (const char* op : {"chkaccount", "currentspace", "sshpasswd", "timeprec", "resv", "listfiles",
                         "listfiles-add", "listfiles-chg", "listARCHI", "chkfile"})
    if (name == op) return true;
  return false;
}

template <typename T>
bool to_number(const std::string& text, T& out) {
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return ec == std::errc() && end == text.data() + text.size();
}

}  // namespace

int announced_sftp_port(const Options& options) {
  return options.announced_sftp_port.value_or(options.sftp_port);
}

bool op_refused(const Options& options, const std::string& op, const std::string& sub) {
  if (options.refused_ops.count(op)) return true;
  return op == "listfiles" && options.refused_ops.count(op + "-" + sub);
}

std::optional<Options> parse_options(const std::vector<std::string>& args, std::string& error) {
  Options o;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= args.size()) return false;
      out = args[++i];
      return true;
    };
    std::string v;
    bool ok = true;
    if (a == "--refuse-all") o.refuse_all = true;
    else if (a == "--never-answer") o.never_answer = true;
    else if (a == "--close-without-answer") o.close_without_answer = true;
    else if (a == "--sftp-off") o.sftp_off = true;
    else if (a == "--no-digest") o.no_digest = true;
    else if (a == "--refuse-listed-digests") o.refuse_listed_digests = true;
    else if (a == "--corrupt-uploads") o.corrupt_uploads = true;
    else if (a == "--sftp-sessions")
      ok = value(v) && to_number(v, o.sftp_sessions) && o.sftp_sessions > 0 && o.sftp_sessions <= 1024;
    else if (a == "--sftp-queue-wait-s")
      ok = value(v) && to_number(v, o.sftp_queue_wait_s) && o.sftp_queue_wait_s >= 0 && o.sftp_queue_wait_s <= 86400;
    else if (a == "--sftp-stall-after") {
      int64_t b = 0;
      ok = value(v) && to_number(v, b) && b >= 0;
      if (ok) o.sftp_stall_after = b;
    }
    else if (a == "--sftp-fail-opens")
      ok = value(v) && to_number(v, o.sftp_fail_opens) && o.sftp_fail_opens >= 0;
    else if (a == "--sftp-fail-name")
      ok = value(o.sftp_fail_name) && !o.sftp_fail_name.empty();
    else if (a == "--sftp-ciphers" || a == "--sftp-macs") {
      std::optional<std::string> list;
      ok = value(v) && (list = a == "--sftp-ciphers" ? secure_ciphers(v) : secure_macs(v));
      if (ok) (a == "--sftp-ciphers" ? o.ssh_algorithms.ciphers : o.ssh_algorithms.macs) = *list;
    }
    else if (a == "--refuse-op") {
      ok = value(v) && is_known_op(v);
      if (ok) o.refused_ops.insert(v);
    }
    else if (a == "--root") ok = value(o.root);
    else if (a == "--user") ok = value(o.user);
    else if (a == "--password") ok = value(o.password);
    else if (a == "--log") ok = value(o.log_path);
    else if (a == "--sn") ok = value(v) && to_number(v, o.sn) && o.sn > 0;
    else if (a == "--port") ok = value(v) && to_number(v, o.port) && o.port > 0 && o.port < 65536;
    else if (a == "--sftp-port")
      ok = value(v) && to_number(v, o.sftp_port) && o.sftp_port >= 0 && o.sftp_port < 65536;
    else if (a == "--announce-sftp-port") {
      int p = 0;
      ok = value(v) && to_number(v, p) && p > 0 && p < 65536;
      if (ok) o.announced_sftp_port = p;
    }
    else if (a == "--answer-delay-ms") ok = value(v) && to_number(v, o.answer_delay_ms) && o.answer_delay_ms >= 0;
    else if (a == "--reservation-expiry-s")
      ok = value(v) && to_number(v, o.reservation_expiry_s) && o.reservation_expiry_s > 0;
    else if (a == "--disk-full-at") {
      int64_t b = 0;
      ok = value(v) && to_number(v, b) && b >= 0;
      if (ok) o.disk_full_at = b;
    } else if (a == "--capacity" || a == "--capacity-accounts" || a == "--capacity-accounts1") {
      int64_t c = 0;
      ok = value(v) && to_number(v, c) && c >= 0;
      if (ok && a != "--capacity-accounts1") o.capacity_accounts = c;
      if (ok && a != "--capacity-accounts") o.capacity_accounts1 = c;
    } else {
      error = "unknown option: " + a;
      return std::nullopt;
    }
    if (!ok) {
      error = "bad or missing value for " + a;
      return std::nullopt;
    }
  }
  if (o.root.empty()) {
    error = "--root is required";
    return std::nullopt;
  }
  if (o.user.empty() || o.user.find_first_of(":/&") != std::string::npos || o.user == "." ||
      o.user == "..") {
    error = "the user name must be a plain name without ':', '/' or '&'";
    return std::nullopt;
  }
  if (o.password.find('&') != std::string::npos) {
    error = "the password must not hold '&'";
    return std::nullopt;
  }
  return o;
}

}  // namespace morbs::node
