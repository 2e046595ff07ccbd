// The time of one query exchange as the client makes it (op_message: a new
// connection, one request, one reply), without a program's start-up in it.
//   exchange_time PORT [COUNT]     COUNT exchanges with 127.0.0.1:PORT (20)
// Prints the median and the best, in milliseconds; exit 1 when one failed.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/wire/op_message.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: exchange_time PORT [COUNT]\n", stderr);
    return 2;
  }
  const int port = std::atoi(argv[1]);
  const int count = argc > 2 ? std::clamp(std::atoi(argv[2]), 1, 1000) : 20;
  std::vector<double> ms;
  for (int k = 0; k < count; ++k) {
    std::string message = "TEST=H00&";
    const auto start = std::chrono::steady_clock::now();
    if (morbs::op_message("127.0.0.1", port, message, 0, {2, 0}) != 0) {
      std::fprintf(stderr, "exchange_time: no answer from port %d\n", port);
      return 1;
    }
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(ms.begin(), ms.end());
  std::printf("%.1f %.1f\n", ms[ms.size() / 2], ms.front());
  return 0;
}
