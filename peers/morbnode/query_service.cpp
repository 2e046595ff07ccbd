#include "peers/morbnode/query_service.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <thread>

#include "core/query_string.h"
#include "core/scrambler.h"
#include "core/wire.h"
#include "peers/morbnode/request_fields.h"
#include "peers/morbnode/requests.h"

namespace morbs::node {

namespace {
constexpr long request_wait_us = 2000000;  // a silent client cannot pin a thread
constexpr int never_answer_hold_ms = 30000;
constexpr int max_connections = 64;

// One request, one log line: bytes that would break the line are escaped.
std::string printable(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c >= 0x20 && c < 0x7f && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
      out += escaped;
    }
  }
  return out;
}
}  // namespace

bool QueryService::listen(std::string& error) {
  if (listener_.listen(options_.port)) return true;
  error = "cannot listen on 127.0.0.1:" + std::to_string(options_.port) + ": " + platform::error_text();
  return false;
}

void QueryService::serve(const std::atomic<bool>& stop) {
  while (!stop) {
    auto client = listener_.accept(100);
    if (!client) continue;
    // A flood of connections must not make a thread each.
    if (running_ >= max_connections) continue;
    ++running_;
    std::thread([this, c = std::move(*client), &stop]() mutable {
      handle(std::move(c), stop);
      --running_;
    }).detach();
  }
  listener_.close();
  // The connection threads use this object: wait for them (each is bounded
  // by its read and send time-outs and the stop flag).
  for (int waited = 0; running_ > 0 && waited < 10000; waited += 20)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

void QueryService::log(const std::string& request) {
  if (options_.log_path.empty()) return;
  std::lock_guard<std::mutex> lock(log_mutex_);
  std::ofstream(options_.log_path, std::ios::app) << printable(request) << "\n";
}

void QueryService::handle(platform::TcpSocket client, const std::atomic<bool>& stop) {
  client.set_receive_timeout(request_wait_us);
  client.set_send_timeout(request_wait_us);
  MessageBlock block{};
  if (client.receive_all(block.data(), block.size()) != static_cast<long>(block.size())) return;
  PlainBlock plain{};
  {
    // The scrambler keeps its generator in process-wide state.
    std::lock_guard<std::mutex> lock(scrambler_mutex_);
    decodeV1(block, 0, plain);
  }
  const std::string request(until_nul(std::string_view(plain.data(), plain.size())));
  log(request);

  if (options_.close_without_answer) return;
  if (options_.never_answer) {
    // Hold the connection open until the client gives up.
    for (int waited = 0; waited < never_answer_hold_ms && !stop && !client.wait_readable(100); waited += 100) {
    }
    return;
  }
  std::string reply;
  auto fields = Fields::parse(request);
  if (options_.refuse_all ||
      (fields && op_refused(options_, fields->get("OP"), fields->get("SUB")))) {
    reply = wire::refusal;
  } else {
    std::lock_guard<std::mutex> lock(state_mutex_);
    reply = answer(store_, options_, request);
  }
  if (options_.answer_delay_ms > 0)
    std::this_thread::sleep_for(std::chrono::milliseconds(options_.answer_delay_ms));
  MessageBlock out{};
  if (reply == wire::refusal) {
    std::memcpy(out.data(), wire::refusal.data(), wire::refusal.size());
  } else {
    std::lock_guard<std::mutex> lock(scrambler_mutex_);
    codeV1(reply, 0, out);
  }
  client.send_once(out.data(), out.size());
}

}  // namespace morbs::node
